"""Start-up of the real exe, as the person starting it sees it: which message box comes up
(text, caption, icon), the exit code, and what the WebView2 runtime is asked for."""

import struct
import zlib

import pytest

from bootstrapper_server import BootstrapperServer
import harness

LOAD_FAILED = "Failed to load package.json. Check the file is in the same folder as the app."
PARSE_FAILED = "Failed to parse package.json. Check the file has valid JSON and that all parameters are correct."
FIXED_MISSING = ('This app is set to "fixed" distribution mode, but the WebView2 control failed to initialize. '
                 'Check there is a valid fixed distribution of Microsoft Edge WebView2 runtime in the "webview2" '
                 'subfolder.')
DEFAULT_INSTALL = ("This app requires the Microsoft Edge WebView2 runtime. It will be downloaded and installed for "
                   "you now.")
DEFAULT_INSTALL_FAILED = ("Failed to install the Microsoft Edge WebView2 runtime. Check that you have permission to "
                          "install it, and that your Internet connection is working. Run the app again to try again.")

VERSION_CHECK = "GetAvailableCoreWebView2BrowserVersionString"
CREATE_ENVIRONMENT = "CreateCoreWebView2EnvironmentWithOptions"

# Lets an app that starts fine end by itself once its page has loaded.
CLOSE_AFTER_LOAD = {"steps": [{"do": "close"}]}
PAGE = {"index.html": "<!doctype html><title>start</title>"}


def boxes_of(result):
    return [(box["text"], box["caption"], box["icon"], box["buttons"]) for box in result.boxes]


def error_box(text, caption="Quillframe"):
    return (text, caption, "error", ["OK"])


def runs_to_the_end(result):
    """No box, the runtime was asked for an environment, and the window closed normally."""
    assert boxes_of(result) == [], result.describe()
    assert len(result.calls(CREATE_ENVIRONMENT)) == 1, result.describe()
    assert result.exit_code == 0, result.describe()


def tiny_png():
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    pixels = zlib.compress(b"\x00\xff\x00\x00\xff")
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", 1, 1, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", pixels) + chunk(b"IEND", b""))


# --- the manifest: found, read and parsed, or one of two boxes ----------------------------------

MANIFEST_FAILURES = {
    "missing": (None, LOAD_FAILED),
    "empty": (b"", LOAD_FAILED),
    "white space only": (b" \r\n\t ", PARSE_FAILED),
    "truncated JSON": (b'{"name": "app"', PARSE_FAILED),
    "trailing text": (b'{"name": "app"} x', PARSE_FAILED),
    "line comment": (b'{"name": "app"} // note', PARSE_FAILED),
    "NUL inside the value": (b'{"name": "a\x00pp"}', PARSE_FAILED),
    "top level array": (b'["app"]', PARSE_FAILED),
    "no name": ({"main": "index.html"}, PARSE_FAILED),
    "empty name": ({"name": ""}, PARSE_FAILED),
    "numeric name": ({"name": 5}, PARSE_FAILED),
    "empty name with a title": ({"name": "", "window": {"title": "My Title"}}, PARSE_FAILED),
    "distribution mode in capitals": ({"name": "app", "settings": {"distribution-mode": "Evergreen"}},
                                      PARSE_FAILED),
    "unknown distribution mode": ({"name": "app", "settings": {"distribution-mode": "bundled"}}, PARSE_FAILED),
    "unknown content mode": ({"name": "app", "settings": {"content-mode": "local"}}, PARSE_FAILED),
    "both modes unknown": ({"name": "app", "settings": {"distribution-mode": "x", "content-mode": "y"}},
                           PARSE_FAILED),
}


@pytest.mark.parametrize("manifest,text", MANIFEST_FAILURES.values(), ids=MANIFEST_FAILURES.keys())
def test_an_unusable_manifest_ends_start_up_with_its_box(app, manifest, text):
    app.manifest(manifest)
    result = app.run()
    assert boxes_of(result) == [error_box(text)]
    assert result.exit_code == 1
    assert result.calls(VERSION_CHECK) == []


def test_a_manifest_in_the_current_directory_does_not_count(app, tmp_path):
    elsewhere = tmp_path / "elsewhere"
    elsewhere.mkdir()
    (elsewhere / "package.json").write_text('{"name": "elsewhere"}')
    result = app.run(cwd=elsewhere)
    assert boxes_of(result) == [error_box(LOAD_FAILED)]
    assert result.exit_code == 1


def test_the_manifest_beside_the_exe_is_used_from_any_current_directory(app, tmp_path):
    elsewhere = tmp_path / "elsewhere"
    elsewhere.mkdir()
    (elsewhere / "package.json").write_text("not JSON")
    app.manifest({"name": "qf-test-beside"})
    app.www(PAGE)
    app.scenario(CLOSE_AFTER_LOAD)
    runs_to_the_end(app.run(cwd=elsewhere))


def test_a_manifest_with_a_byte_order_mark_and_text_after_a_nul_is_accepted(app):
    app.manifest(b'\xef\xbb\xbf{"name": "qf-test-bom"}\x00 this part is ignored')
    app.www(PAGE)
    app.scenario(CLOSE_AFTER_LOAD)
    runs_to_the_end(app.run())


# --- the loader library -------------------------------------------------------------------------

# Which loader answers, and the fallback from a missing or damaged one: test_loader.py.


def test_the_manifest_is_checked_before_the_loader(app):
    app.loader(None)
    result = app.run()
    assert boxes_of(result) == [error_box(LOAD_FAILED)]


# --- fixed distribution -------------------------------------------------------------------------

FIXED_TITLES = {
    "manifest title": ({"title": "Fixed Ünïcode Title"}, "Fixed Ünïcode Title"),
    "default title": ({}, "Quillframe"),
}


@pytest.mark.parametrize("window,caption", FIXED_TITLES.values(), ids=FIXED_TITLES.keys())
def test_fixed_mode_without_a_runtime_fails_without_offering_the_installer(app, window, caption):
    app.manifest({"name": "qf-test-fixed", "window": window, "settings": {"distribution-mode": "fixed"}})
    app.scenario({"evergreenVersion": None})
    result = app.run()
    assert boxes_of(result) == [error_box(FIXED_MISSING, caption)]
    assert result.exit_code == 1
    checks = result.calls(VERSION_CHECK)
    assert [check["version"] for check in checks] == [None]
    assert checks[0]["folder"] is not None
    assert not result.user_data_dir.exists()


def _names_app_webview2_folder(app, folder, cwd):
    """Whether the folder value (absolute, or relative to the current directory) is the
    webview2 folder beside the exe."""
    wanted = harness.to_windows(app.folder / "webview2").lower()
    if len(folder) > 1 and folder[1] == ":":
        return folder.lower() == wanted
    return (harness.to_windows(cwd) + "\\" + folder).lower() == wanted


def test_fixed_mode_hands_the_runtime_the_webview2_folder(app):
    app.manifest({"name": "qf-test-fixed-ok", "settings": {"distribution-mode": "fixed"}})
    app.fixed_runtime()
    app.www(PAGE)
    app.scenario(CLOSE_AFTER_LOAD)
    result = app.run()
    runs_to_the_end(result)
    folders = [call["folder"] for call in result.calls(VERSION_CHECK) + result.calls(CREATE_ENVIRONMENT)]
    assert len(folders) == 2
    assert all(_names_app_webview2_folder(app, folder, app.folder) for folder in folders), folders


def test_fixed_mode_finds_the_runtime_beside_the_exe_from_another_directory(app, tmp_path):
    elsewhere = tmp_path / "elsewhere"
    elsewhere.mkdir()
    app.manifest({"name": "qf-test-fixed-cwd", "settings": {"distribution-mode": "fixed"}})
    app.fixed_runtime()
    app.www(PAGE)
    app.scenario(CLOSE_AFTER_LOAD)
    result = app.run(cwd=elsewhere)
    runs_to_the_end(result)
    folder = result.calls(CREATE_ENVIRONMENT)[0]["folder"]
    assert _names_app_webview2_folder(app, folder, elsewhere), folder


# --- evergreen distribution ---------------------------------------------------------------------

INSTALL_TEXTS = {
    "default texts": ({}, DEFAULT_INSTALL, DEFAULT_INSTALL_FAILED),
    "the manifest's texts": ({"install-webview2": "Installing ✓ now", "install-webview2-failed": "No luck"},
                             "Installing ✓ now", "No luck"),
}


@pytest.mark.parametrize("messages,install,failed", INSTALL_TEXTS.values(), ids=INSTALL_TEXTS.keys())
def test_evergreen_without_a_runtime_offers_the_install_then_reports_its_failure(app, messages, install, failed):
    app.use_exe("QuillframeLoopback.exe")
    app.manifest({"name": "qf-test-evergreen", "window": {"title": "Ever Green"}, "messages": messages})
    app.scenario({"evergreenVersion": None})
    with BootstrapperServer(mode="missing") as server:
        result = app.run(timeout=60)
    assert boxes_of(result)[:1] == [(install, "Ever Green", "information", ["OK"])]
    assert len(server.requests) == 1
    assert boxes_of(result)[1:] == [error_box(failed, "Ever Green")]
    assert [(check["folder"], check["version"]) for check in result.calls(VERSION_CHECK)] == [(None, None)] * 2
    assert result.exit_code == 1


def test_evergreen_with_a_runtime_asks_once_and_goes_on(app):
    app.manifest({"name": "qf-test-evergreen-ok"})
    app.www(PAGE)
    app.scenario(CLOSE_AFTER_LOAD)
    result = app.run()
    runs_to_the_end(result)
    assert [check["folder"] for check in result.calls(VERSION_CHECK)] == [None]
    assert result.calls(CREATE_ENVIRONMENT)[0]["folder"] is None


# --- the user data folder -----------------------------------------------------------------------

NAMES = {
    "plain": "qf-test-plain",
    "with a space": "qf test with space",
    "non-ASCII": "qf-test-Café-☕",
    "characters that folders may not hold": "qf-test|<not>?allowed*",
}


@pytest.mark.parametrize("name", NAMES.values(), ids=NAMES.keys())
def test_the_user_data_folder_is_local_app_data_and_the_name(app, name):
    app.manifest({"name": name})
    app.www(PAGE)
    app.scenario(CLOSE_AFTER_LOAD)
    result = app.run()
    runs_to_the_end(result)
    assert result.calls(CREATE_ENVIRONMENT)[0]["userDataFolder"] == app.user_data_dir_windows(name)


# --- the window icon ----------------------------------------------------------------------------

ICONS = {
    "missing file": lambda app: "missing.png",
    "not an image": lambda app: app.write("fake.png", b"this is not an image").name,
    "absolute path": lambda app: harness.to_windows(app.write("absolute/icon.png", tiny_png())),
    "valid image": lambda app: app.write("icon.png", tiny_png()).name,
}


@pytest.mark.parametrize("icon", ICONS.values(), ids=ICONS.keys())
def test_an_unusable_icon_is_not_reported(app, icon):
    app.manifest({"name": "qf-test-icon", "window": {"icon": icon(app)}})
    app.www(PAGE)
    app.scenario(CLOSE_AFTER_LOAD)
    runs_to_the_end(app.run())


# --- the shipped 32-bit exe ---------------------------------------------------------------------

EXE32_TIMEOUT = 600


@pytest.mark.exe32
def test_32_bit_exe_reports_a_missing_manifest(app32):
    result = app32.run(timeout=EXE32_TIMEOUT)
    assert boxes_of(result) == [error_box(LOAD_FAILED)]
    assert result.exit_code == 1
