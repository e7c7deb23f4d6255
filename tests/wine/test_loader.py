"""Which loader answers and which runtime it finds. Microsoft's WebView2Loader.dll beside the exe (played by
the stand-in's loader build) keeps priority when it is usable; otherwise the built-in loader finds a fixed
runtime in the app's webview2 folder, or an installed one through the registry, and calls its
EmbeddedBrowserWebView.dll (the stand-in's runtime build). The version answers come from qf_loader_probe.exe,
which asks the built-in loader directly; everything else from starts of the app."""

import json
import shutil

import pytest

from bootstrapper_server import BootstrapperServer
import harness

OK = "0x00000000"
FILE_NOT_FOUND = "0x80070002"
NO_VERSION_RESOURCE = "0x80070714"
ACCESS_DENIED = "0x80070005"
RUNTIME_VERSION = "120.0.2210.55"  # the runtime build's ProductVersion

LOADER_DOOR = "CreateCoreWebView2EnvironmentWithOptions"
RUNTIME_DOOR = "CreateWebViewEnvironmentWithOptionsInternal"
VERSION_CHECK = "GetAvailableCoreWebView2BrowserVersionString"
CLOSE_AFTER_LOAD = {"steps": [{"do": "close"}]}
PAGE = {"index.html": "<!doctype html><title>start</title>"}
FIXED = {"distribution-mode": "fixed"}


def boxes_of(result):
    return [(box["text"], box["caption"], box["icon"], box["buttons"]) for box in result.boxes]


def same_file(windows_path, unix_path):
    return windows_path.lower() == harness.to_windows(unix_path).lower()


def register(app, runtimes, registrations):
    """Each (root, channel, version, has_dll) becomes <scratch>/<root>-<channel>/<version>, registered; the
    runtime DLL is put in it when has_dll. Returns the DLL paths by (root, channel)."""
    dlls = {}
    for root, channel, version, has_dll in registrations:
        folder = app.folder.parent / "runtimes" / f"{root}-{channel}" / version
        folder.mkdir(parents=True, exist_ok=True)
        if has_dll:
            dlls[root, channel] = app.runtime_twin(folder)
        runtimes.register(root, channel, folder)
    return dlls


# --- version answers of the built-in loader -------------------------------------------------------

def probe(app, folder):
    args = [str(app.bin_dir / "qf_loader_probe.exe")] + ([harness.to_windows(folder)] if folder else [])
    code, output = harness.run_quietly([harness.WINE64, *args], app.session.env(), 120)
    assert code == 0, output
    return json.loads([line for line in output.splitlines() if line.startswith("{")][-1])


def fixed_dll(kind):
    """A fixed runtime folder's DLL: the runtime build, one without a version resource, or none."""
    def put(app):
        folder = app.folder / "webview2"
        folder.mkdir(parents=True, exist_ok=True)
        if kind == "runtime":
            app.runtime_twin(folder)
        elif kind == "no version resource":
            target = folder / "EBWebView" / app.architecture / harness.RUNTIME_DLL
            target.parent.mkdir(parents=True)
            shutil.copyfile(app.bin_dir / "qf_no_exports.dll", target)
        return folder
    return put


VERSION_CASES = {
    "fixed: the DLL's product version": (fixed_dll("runtime"), [], (OK, RUNTIME_VERSION)),
    "fixed: no DLL": (fixed_dll(None), [], (FILE_NOT_FOUND, None)),
    "fixed: no version resource": (fixed_dll("no version resource"), [], (NO_VERSION_RESOURCE, None)),
    "installed: none": (None, [], (FILE_NOT_FOUND, None)),
    "installed: HKLM, named by its folder": (None, [("HKLM", "stable", "120.0.0.1", True)], (OK, "120.0.0.1")),
    "installed: HKCU, beta": (None, [("HKCU", "beta", "121.0.0.2", True)], (OK, "121.0.0.2 beta")),
    "installed: HKLM before HKCU": (None, [("HKCU", "stable", "120.0.0.2", True),
                                           ("HKLM", "stable", "120.0.0.1", True)], (OK, "120.0.0.1")),
    "installed: a folder without the DLL, the next channel wins": (
        None, [("HKLM", "stable", "120.0.0.1", False), ("HKCU", "stable", "120.0.0.2", False),
               ("HKLM", "dev", "122.0.0.3", True), ("HKLM", "canary", "123.0.0.4", True)], (OK, "122.0.0.3 dev")),
}


@pytest.mark.parametrize("fixed,registrations,expected", VERSION_CASES.values(), ids=VERSION_CASES.keys())
def test_the_built_in_loader_reports_the_runtime_it_finds(app, installed_runtimes, fixed, registrations, expected):
    register(app, installed_runtimes, registrations)
    answer = probe(app, fixed(app) if fixed else None)
    assert (answer["hr"], answer["version"]) == expected


# --- which loader, which runtime, how it is called -----------------------------------------------

START_CASES = {
    "no loader, fixed runtime folder": (None, FIXED, [], "fixed"),
    "no loader, installed through HKLM": (None, {}, [("HKLM", "stable", "120.0.0.1", True)], ("HKLM", "stable")),
    "no loader, installed through HKCU, beta": (None, {}, [("HKCU", "beta", "121.0.0.2", True)], ("HKCU", "beta")),
    "WebView2Loader.dll present: preferred": ("standin", FIXED, [], "loader"),
    "loader is a text file: built-in": ("text", FIXED, [], "fixed"),
    "loader without its functions: built-in": ("no-exports", {}, [("HKLM", "stable", "120.0.0.1", True)],
                                               ("HKLM", "stable")),
}


@pytest.mark.parametrize("loader,settings,registrations,answering", START_CASES.values(), ids=START_CASES.keys())
def test_the_app_starts_on_the_runtime_its_loader_finds(app, installed_runtimes, loader, settings, registrations,
                                                        answering):
    name = "qf-test-loader"
    app.manifest({"name": name, "settings": settings})
    app.www(PAGE)
    app.scenario(CLOSE_AFTER_LOAD)
    app.loader(loader)
    app.fixed_runtime()  # what the stand-in loader's fixed version check looks for
    dlls = register(app, installed_runtimes, registrations)
    dlls["fixed"] = app.runtime_twin("webview2")
    result = app.run()
    assert (boxes_of(result), result.exit_code) == ([], 0), result.describe()
    [load] = result.calls("load")
    if answering == "loader":
        assert same_file(load["module"], app.folder / "WebView2Loader.dll")
        assert len(result.calls(LOADER_DOOR)) == 1 and result.calls(RUNTIME_DOOR) == []
        return
    assert same_file(load["module"], dlls[answering]), load
    assert result.calls(VERSION_CHECK) == result.calls(LOADER_DOOR) == []
    [call] = result.calls(RUNTIME_DOOR)
    assert (call["checked"], call["kind"]) == (1, 1 if answering == "fixed" else 0)
    assert call["userDataFolder"] == app.user_data_dir_windows(name)


def test_without_any_runtime_the_installer_is_offered(app, installed_runtimes):
    app.use_exe("QuillframeLoopback.exe")
    app.manifest({"name": "qf-test-loader-install", "window": {"title": "No Runtime"},
                  "messages": {"install-webview2": "Installing", "install-webview2-failed": "Not installed"}})
    app.loader(None)
    with BootstrapperServer(mode="missing") as server:
        result = app.run(timeout=60)
    assert boxes_of(result) == [("Installing", "No Runtime", "information", ["OK"]),
                                ("Not installed", "No Runtime", "error", ["OK"])]
    assert len(server.requests) == 1
    assert result.exit_code == 1


# --- a creation that fails through its completion, retried by the loader -------------------------

RETRY_DOORS = {"WebView2Loader.dll": "standin", "built-in loader": None}


@pytest.mark.parametrize("loader", RETRY_DOORS.values(), ids=RETRY_DOORS.keys())
def test_creation_state_outlives_a_failed_completion(app, loader):
    app.manifest({"name": "qf-test-loader-retry", "window": {"title": "Retry Title"}, "settings": FIXED,
                  "chromium-args": "--lang=de"})
    app.scenario({"environmentCreation": {"errorCode": ACCESS_DENIED, "retry": True}})
    app.loader(loader)
    app.fixed_runtime()
    app.runtime_twin("webview2")
    result = app.run()
    assert boxes_of(result) == [(f"Failed to start the web view ({ACCESS_DENIED})", "Retry Title", "error", ["OK"])]
    assert result.exit_code == 1
    [creation] = result.calls(LOADER_DOOR if loader else RUNTIME_DOOR)
    [retry] = result.calls("retry")
    read_again = {key: value for key, value in retry.items() if key != "call"}
    assert read_again == {key: creation[key] for key in read_again}, result.describe()
    assert {"userDataFolder", "options"} | ({"folder"} if loader else set()) <= read_again.keys()


# --- the shipped 32-bit exe ------------------------------------------------------------------------

EXE32_TIMEOUT = 600


@pytest.mark.exe32
def test_32_bit_exe_starts_the_example_without_microsofts_loader(app32, installed_runtimes):
    shutil.copytree(app32.bin_dir / "examples", app32.folder, dirs_exist_ok=True)
    manifest = json.loads((app32.folder / "package.json").read_text(encoding="utf-8"))
    app32.scenario({"steps": [{"do": "postMessage", "string": '{"type":"wrapper-init"}'},
                              {"do": "waitForPosts", "count": 1, "timeoutMs": 30000}, {"do": "close"}]})
    app32.loader(None)
    runtimes = register(app32, installed_runtimes, [("HKLM", "stable", "120.0.0.1", True)])
    fixed = app32.runtime_twin("webview2")
    for phase, dll, kind in (("installed", runtimes["HKLM", "stable"], 0), ("fixed", fixed, 1)):
        if phase == "fixed":
            installed_runtimes.unregister_all()
            manifest.setdefault("settings", {})["distribution-mode"] = "fixed"
            app32.manifest(manifest)
        result = app32.run(timeout=EXE32_TIMEOUT)
        assert (boxes_of(result), result.exit_code) == ([], 0), (phase, result.describe())
        assert same_file(result.calls("load")[0]["module"], dll), phase
        assert [call["kind"] for call in result.calls(RUNTIME_DOOR)] == [kind], phase
        assert result.calls("WebView.PostWebMessageAsJson"), phase
