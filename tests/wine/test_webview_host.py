"""The web view host and the main window as the runtime and the user see them: how the web view
is constructed (settings, bounds, handlers, filter, start URL, environment options, folders),
when and how the window shows, its size and styles at each DPI, full screen, the event handlers
(navigation, permissions, pop-ups, title, close) and what happens when the runtime fails."""

import math
import struct
import time

import pytest

from harness import to_windows
from webview_steps import (FRAME_EX_STYLES, NAME, ORIGIN, TITLE, WRAPPER_INIT, WS_CAPTION, WS_MAXIMIZEBOX, wait,
                           WS_MINIMIZEBOX, WS_SYSMENU, WS_THICKFRAME, fullscreen_element, manifest, message, module_app,
                           navigate, post, rect_size, run_page, snapshot, title)

PERMISSION_ALLOW = 1
PERMISSION_DEFAULT = 0


def scale(value, dpi):
    """Logical to device pixels the way the host does: single-precision product, then the ceiling."""
    as_float = lambda number: struct.unpack("f", struct.pack("f", number))[0]  # noqa: E731
    return int(math.ceil(as_float(as_float(value) * as_float(dpi / 96.0))))


# -- construction ------------------------------------------------------------------------------

CONSTRUCTIONS = {
    "bundle-defaults": dict(),
    "bundle-subfolder-fixed": dict(main="pages/start page.html?x=1&y=%20#top", distribution_mode="fixed",
                                   chromium_args="--disable-gpu --lang=de", devtools=False),
    "remote": dict(main="https://example.com/app/?q=1", content_mode="remote"),
}

SETTINGS_ORDER = ["IsScriptEnabled", "AreHostObjectsAllowed", "AreDefaultScriptDialogsEnabled", "IsWebMessageEnabled",
                  "IsZoomControlEnabled", "AreDefaultContextMenusEnabled", "AreDevToolsEnabled"]


@pytest.fixture(scope="module", params=list(CONSTRUCTIONS))
def construction(request, wine_session, tmp_path_factory):
    options = CONSTRUCTIONS[request.param]
    app = module_app(wine_session, tmp_path_factory, request.param)
    if options.get("distribution_mode") == "fixed":
        app.fixed_runtime()
    run = run_page(app, [snapshot()], manifest(**options))
    yield request.param, options, app, run
    app.remove_user_data()


def test_settings_are_applied_in_order_with_devtools_from_the_manifest(construction):
    _, options, _, run = construction
    settings = [line for line in run.transcript if line["call"].startswith("Settings.put_")]
    devtools = 0 if options.get("devtools") is False else 1
    assert [(line["call"][len("Settings.put_"):], line["value"]) for line in settings] == list(
        zip(SETTINGS_ORDER, [1, 0, 1, 1, 0, 1, devtools]))


def test_the_web_view_is_configured_then_registered_then_navigated_in_order(construction):
    kind, options, _, run = construction
    calls = run.host_call_names(run.before_steps())
    first, last = calls.index("WebView.get_Settings"), calls.index("WebView.Navigate")
    bundle_only = ["WebView.AddWebResourceRequestedFilter", "WebView.add_WebResourceRequested",
                   "WebView.add_NavigationStarting"]
    assert calls[first:last + 1] == [
        "WebView.get_Settings", *[f"Settings.put_{name}" for name in SETTINGS_ORDER], "Controller.put_Bounds",
        "WebView.add_DocumentTitleChanged", *(bundle_only if kind != "remote" else []),
        "WebView.add_PermissionRequested", "WebView.add_ContainsFullScreenElementChanged",
        "WebView.add_WindowCloseRequested", "WebView.add_NewWindowRequested", "WebView.add_WebMessageReceived",
        "WebView.add_DOMContentLoaded", "WebView.add_ProcessFailed", "WebView.Navigate"]
    registrations = [line for line in run.transcript if line["call"].startswith("WebView.add_")]
    assert [line["order"] for line in registrations] == list(range(1, len(registrations) + 1))
    assert all(line["tokenNull"] is True for line in registrations)
    # The web view and its second interface come from the controller before any of it.
    assert calls.index("Controller.get_CoreWebView2") < first
    assert [line["interface"] for line in run.calls("WebView.QueryInterface")
            if line["hr"] == "0x00000000"][:1] == ["ICoreWebView2_2"]


def test_the_filter_exists_only_in_bundle_mode(construction):
    kind, _, _, run = construction
    filters = [(line["uri"], line["context"]) for line in run.calls("WebView.AddWebResourceRequestedFilter")]
    assert filters == ([] if kind == "remote" else [(ORIGIN + "*", 0)])


def test_the_start_url_is_the_origin_and_main_verbatim(construction):
    kind, options, _, run = construction
    expected = {"bundle-defaults": ORIGIN + "index.html", "bundle-subfolder-fixed": ORIGIN + options.get("main", ""),
                "remote": options.get("main")}[kind]
    assert [line["uri"] for line in run.calls("WebView.Navigate")] == [expected]


def test_the_environment_gets_the_runtime_folder_user_data_folder_and_options(construction):
    kind, options, app, run = construction
    [environment] = run.calls("CreateCoreWebView2EnvironmentWithOptions")
    fixed = kind == "bundle-subfolder-fixed"
    # The fixed runtime is always the one beside the exe, by absolute path.
    runtime_folder = to_windows(app.folder) + "\\webview2" if fixed else None
    assert environment["folder"] == runtime_folder
    assert [line["folder"] for line in run.calls("GetAvailableCoreWebView2BrowserVersionString")] == [runtime_folder]
    assert environment["userDataFolder"] == app.user_data_dir_windows(NAME)
    assert environment["optionsNull"] is False
    values = environment["options"]
    assert values["AdditionalBrowserArguments"] == options.get("chromium_args", "")
    assert values["TargetCompatibleBrowserVersion"] == "120.0.2210.55"
    assert values["Language"] is None
    assert {name: values[name] for name in (
        "AllowSingleSignOnUsingOSPrimaryAccount", "ExclusiveUserDataFolderAccess", "IsCustomCrashReportingEnabled",
        "EnableTrackingPrevention", "AreBrowserExtensionsEnabled", "CustomSchemeRegistrationCount")} == {
        "AllowSingleSignOnUsingOSPrimaryAccount": 0, "ExclusiveUserDataFolderAccess": 0,
        "IsCustomCrashReportingEnabled": 0, "EnableTrackingPrevention": 1, "AreBrowserExtensionsEnabled": 0,
        "CustomSchemeRegistrationCount": 0}
    assert values["interfaces"] == {f"Options{n}": n <= 6 for n in range(2, 9)}
    assert values["sameIdentity"] is True
    assert values["unknownInterface"] == "0x80004002"
    assert all(hr == "0x80004003" for hr in values["nullOutPointer"].values())


def test_the_web_view_fills_the_client_area_of_its_parent(construction):
    _, _, _, run = construction
    [controller] = run.calls("Environment.CreateCoreWebView2Controller")
    shot = run.snapshot(0)
    assert controller["parentWindow"] == shot["window"]
    bounds = [line["rect"] for line in run.calls("Controller.put_Bounds")]
    assert bounds[0] == shot["clientRect"] == [0, 0, 1024, 768]
    assert shot["viewRect"] == shot["clientRect"]


# -- showing the window, title, focus -----------------------------------------------------------

def test_the_window_shows_only_at_dom_content_loaded_and_the_caption_follows_the_page(app):
    steps = [snapshot(), {"do": "domContentLoaded"}, snapshot(), title("Gr\u00fc\u00dfe \u2013 \u65e5\u672c"),
             snapshot(), navigate(ORIGIN + "second.html"), {"do": "domContentLoaded"}, title(""), snapshot()]
    run = run_page(app, steps, manifest(title="Start Title \u00e9"), manualLoad=True)
    hidden = run.snapshot(0)
    assert hidden["visible"] is False and hidden["caption"] == "Start Title \u00e9"
    assert run.host_call_names(run.before_steps()).count("Controller.put_IsVisible") == 0

    shown = run.step_lines(1)
    assert [(line["call"], line.get("value", line.get("reason"))) for line in shown
            if line["call"] in ("Controller.put_IsVisible", "Controller.MoveFocus")] == [
        ("Controller.put_IsVisible", 1), ("Controller.MoveFocus", 0)]
    visible = run.snapshot(2)
    assert visible["visible"] and visible["viewVisible"] and visible["focusInView"]

    assert run.snapshot(4)["caption"] == "Gr\u00fc\u00dfe \u2013 \u65e5\u672c"
    assert [line["result"] for line in run.step_calls(3, "WebView.get_DocumentTitle")] == [
        "Gr\u00fc\u00dfe \u2013 \u65e5\u672c"]
    # Every later load gives the focus back to the web view.
    assert [line["call"] for line in run.step_calls(6, "Controller.MoveFocus")] == ["Controller.MoveFocus"]
    assert run.snapshot(8)["caption"] == ""


# -- size, styles and position at each DPI ------------------------------------------------------

WINDOWS = [
    # dpi, manifest width and height, resizable
    (96, 1024, 768, True),
    (144, 1024, 768, False),  # needs a screen of at least 1600 by 1200
    (144, 800, 600, True),
    (120, 801, 601, True),
]


@pytest.mark.parametrize("dpi_value, width, height, resizable", WINDOWS,
                         ids=[f"{row[0]}dpi-{row[1]}x{row[2]}-{'resizable' if row[3] else 'fixed'}" for row in WINDOWS])
def test_client_area_styles_size_and_position_follow_the_manifest_and_the_dpi(app, dpi, dpi_value, width, height,
                                                                              resizable):
    dpi(dpi_value)
    steps = [snapshot(),
             message("set-window-size", windowWidth=640, windowHeight=480), snapshot(),
             message("set-window-position", windowX=100, windowY=50), snapshot(),
             message("set-window-position", windowX=-30, windowY=-20), snapshot()]
    run = run_page(app, steps, manifest(width=width, height=height, resizable=resizable))

    first = run.snapshot(0)
    monitor = rect_size(first["monitorRect"])
    frame = [outer - inner for outer, inner in zip(rect_size(first["windowRect"]), rect_size(first["clientRect"]))]
    if scale(width, dpi_value) + frame[0] > monitor[0] or scale(height, dpi_value) + frame[1] > monitor[1]:
        pytest.skip(f"the screen {monitor} cannot hold the window, which the system shrinks to fit")
    assert rect_size(first["clientRect"]) == (scale(width, dpi_value), scale(height, dpi_value))
    assert first["viewRect"] == first["clientRect"]
    style = first["style"]
    assert style & (WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX) == WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX
    assert bool(style & WS_THICKFRAME) is resizable
    assert bool(style & WS_MAXIMIZEBOX) is resizable
    assert first["caption"] == TITLE

    resized = run.snapshot(2)
    client = (scale(640, dpi_value), scale(480, dpi_value))
    assert rect_size(resized["clientRect"]) == client
    assert resized["windowRect"][:2] == first["windowRect"][:2], "resizing does not move the window"
    # The web view follows every WM_SIZE.
    assert run.step_calls(1, "Controller.put_Bounds")[-1]["rect"] == [0, 0, *client]
    assert resized["viewRect"] == [0, 0, *client]

    for index, (x, y) in ((4, (100, 50)), (6, (-30, -20))):
        moved = run.snapshot(index)
        assert moved["windowRect"][:2] == [scale(x, dpi_value), scale(y, dpi_value)]
        assert rect_size(moved["windowRect"]) == rect_size(resized["windowRect"])
        assert run.step_calls(index - 1, "Controller.NotifyParentWindowPositionChanged")


def test_a_huge_size_at_a_high_dpi_does_not_wrap_around(app, dpi):
    """3e9 device pixels at 144 DPI lie beyond 32 bits; the system then limits the window to the
    largest size it allows, while a wrapped, negative size would shrink it to almost nothing."""
    dpi(144)
    huge = 2_000_000_000
    steps = [snapshot(), message("set-window-size", windowWidth=400, windowHeight=300), snapshot(),
             message("set-window-size", windowWidth=huge, windowHeight=huge), snapshot()]
    run = run_page(app, steps, manifest(width=huge, height=huge))
    created, small, grown = run.snapshot(0), run.snapshot(2), run.snapshot(4)
    monitor = rect_size(created["monitorRect"])
    assert rect_size(small["clientRect"]) == (600, 450)
    for shot in (created, grown):
        width, height = rect_size(shot["windowRect"])
        assert width >= monitor[0] and height >= monitor[1], shot["windowRect"]


# -- full screen --------------------------------------------------------------------------------

def windowed_state(shot):
    return {key: shot[key] for key in ("style", "exStyle", "windowRect", "clientRect")}


def assert_full_screen(shot):
    assert shot["windowRect"] == shot["monitorRect"]
    assert shot["style"] & (WS_CAPTION | WS_THICKFRAME) == 0
    assert shot["exStyle"] & FRAME_EX_STYLES == 0
    assert rect_size(shot["clientRect"]) == rect_size(shot["monitorRect"])
    assert shot["viewRect"] == shot["clientRect"]


def test_full_screen_from_the_page_element_and_from_messages_covers_the_monitor_and_restores(app):
    steps = [
        message("set-window-position", windowX=40, windowY=30), snapshot(),       # 0, 1
        fullscreen_element(True), snapshot(),                                     # 2, 3
        message("set-window-size", windowWidth=500, windowHeight=400),           # 4: ignored
        message("set-window-position", windowX=5, windowY=5),                    # 5: ignored
        message("set-fullscreen", fullscreen=True), fullscreen_element(True),     # 6, 7: already there
        snapshot(),                                                               # 8
        fullscreen_element(False), snapshot(),                                    # 9, 10
        message("set-fullscreen", fullscreen=True), snapshot(),                   # 11, 12
        fullscreen_element(True),                                                 # 13: entering twice
        message("set-fullscreen"), snapshot(),                                    # 14, 15: a missing flag leaves
        message("set-fullscreen", fullscreen=1), snapshot(),                      # 16, 17: 1 is no boolean
    ]
    run = run_page(app, steps)
    windowed = run.snapshot(1)
    assert windowed["windowRect"][:2] == [40, 30]
    assert windowed["style"] & (WS_CAPTION | WS_THICKFRAME) == WS_CAPTION | WS_THICKFRAME
    assert windowed["windowRect"] != windowed["monitorRect"]

    assert [line["result"] for line in run.step_calls(2, "WebView.get_ContainsFullScreenElement")] == [1]
    assert_full_screen(run.snapshot(3))
    assert run.step_calls(2, "Controller.put_Bounds")[-1]["rect"] == run.snapshot(3)["clientRect"]
    assert run.snapshot(8) == run.snapshot(3)
    for ignored in (4, 5, 6, 7):
        assert run.step_calls(ignored, "Controller.put_Bounds") == []

    assert windowed_state(run.snapshot(10)) == windowed_state(windowed)
    assert_full_screen(run.snapshot(12))
    # Left once after entering twice: the state saved on the first entry comes back.
    assert windowed_state(run.snapshot(15)) == windowed_state(windowed)
    assert windowed_state(run.snapshot(17)) == windowed_state(windowed)
    assert run.step_calls(16, "Controller.put_Bounds") == []


# -- close ---------------------------------------------------------------------------------------

def test_a_close_request_from_the_page_ends_the_app_with_exit_code_0(app):
    run = run_page(app, [{"do": "closeRequest"}, snapshot()], close=False)
    assert run.event_result(0, "WindowCloseRequested")["results"] == ["0x00000000"]
    # The window was gone as soon as the request had been handled.
    assert run.snapshot(1)["window"] is None
    assert run.transcript[-1]["call"] == "exit"
    # The web view ends with the release of its objects, not with Close.
    assert run.calls("Controller.Close") == []


# -- navigation, messages and permissions by origin ---------------------------------------------

NAVIGATIONS = [
    # uri, allowed in bundle mode
    ("about:blank", False),
    ("https://example.com/", False),
    (ORIGIN, True),
    (ORIGIN + "page.html#x", True),
    (ORIGIN + "sub/page.html?q=1", True),
    ("https://quillframe.localhost", False),
    ("https://quillframe.localhost.evil.test/", False),
    ("https://quillframe.localhost@evil.test/", False),
    ("HTTPS://QUILLFRAME.LOCALHOST/", False),
    ("https://quillframe.localhost:443/", False),
    ("http://quillframe.localhost/", False),
]


def test_bundle_mode_navigates_only_within_the_origin(app):
    steps = [navigate(uri) for uri, _ in NAVIGATIONS]
    run = run_page(app, steps, www={"index.html": "i", "page.html": "p", "sub/page.html": "s"})
    for index, (uri, allowed) in enumerate(NAVIGATIONS):
        result = run.event_result(index, "NavigationStarting")
        assert bool(result["cancel"]) is (not allowed), uri
        assert [line["value"] for line in run.step_calls(index, "NavigationStartingEventArgs.put_Cancel")] == (
            [] if allowed else [1])
        # An allowed navigation loads (its document is requested); a cancelled one ends silently.
        assert bool(run.step_calls(index, "served")) is allowed, uri


REMOTE_MAIN = "https://example.com"
REMOTE_SOURCES = [
    # source, trusted
    ("https://example.com#frag", True),
    ("https://example.com/", True),
    ("https://example.com/other/page?x=1", True),
    ("https://example.com:443/", True),  # the prefix, then the default port
    ("https://example.com.evil.test/", False),
    ("https://example.com@evil.test/", False),
    ("https://example.com:8443/", False),
    ("https://EXAMPLE.com/", False),
    ("http://example.com/", False),
    ("https://example.co", False),
    ("about:blank", False),
]


def test_remote_mode_trusts_messages_only_from_the_main_origin_and_navigates_anywhere(app):
    steps = [post(WRAPPER_INIT, source) for source, _ in REMOTE_SOURCES]
    steps += [navigate("https://elsewhere.example/"), post(WRAPPER_INIT)]
    run = run_page(app, steps, manifest(main=REMOTE_MAIN, content_mode="remote"))
    for index, (source, trusted) in enumerate(REMOTE_SOURCES):
        assert len(run.posts(index)) == (1 if trusted else 0), source
    navigation = len(REMOTE_SOURCES)
    [event] = [line for line in run.step_lines(navigation)
               if line["call"] == "event" and line["event"] == "NavigationStarting"]
    assert event["handlers"] == 0
    assert not run.event_result(navigation, "NavigationStarting")["cancel"]
    # The page now shown is not the app's: its messages are ignored.
    assert run.posts(navigation + 1) == []


def test_remote_mode_ignores_other_pages_of_the_site_when_main_has_a_path(app):
    main = "https://example.com/app/"
    sources = [(main, True), (main + "#x", True), (main + "sub?y", True), ("https://example.com/other", False),
               ("https://example.com/app", False)]
    run = run_page(app, [post(WRAPPER_INIT, source) for source, _ in sources], manifest(main=main,
                                                                                         content_mode="remote"))
    assert [len(run.posts(index)) for index in range(len(sources))] == [int(trusted) for _, trusted in sources]


PERMISSIONS = [
    # content mode, main, uri, kind, state
    ("bundle", None, ORIGIN + "cam.html", 2, PERMISSION_ALLOW),
    ("bundle", None, ORIGIN, 1, PERMISSION_ALLOW),
    ("bundle", None, ORIGIN + "geo.html", 3, PERMISSION_ALLOW),
    ("bundle", None, ORIGIN + "n.html", 4, PERMISSION_ALLOW),
    ("bundle", None, "https://QUILLFRAME.localhost/x", 6, PERMISSION_ALLOW),
    ("bundle", None, "https://other.example/", 2, PERMISSION_DEFAULT),
    ("bundle", None, "https://quillframe.localhost:8443/", 1, PERMISSION_DEFAULT),
    ("bundle", None, "http://quillframe.localhost/", 3, PERMISSION_DEFAULT),
    ("bundle", None, "https://quillframe.localhost.evil.test/", 4, PERMISSION_DEFAULT),
    ("remote", "https://example.com/app/", "https://example.com/other", 2, PERMISSION_ALLOW),
    ("remote", "https://example.com/app/", "https://example.com:443/app/", 1, PERMISSION_ALLOW),
    ("remote", "https://example.com/app/", "https://example.com.evil.test/app/", 2, PERMISSION_DEFAULT),
    ("remote", "https://example.com/app/", "https://example.com@evil.test/", 2, PERMISSION_DEFAULT),
    ("remote", "https://example.com/app/", "https://example.com:8443/app/", 3, PERMISSION_DEFAULT),
]


@pytest.mark.parametrize("mode", ["bundle", "remote"])
def test_permissions_are_granted_to_the_app_origin_only(app, mode):
    rows = [row for row in PERMISSIONS if row[0] == mode]
    steps = [{"do": "permission", "uri": uri, "kind": kind} for _, _, uri, kind, _ in rows]
    run = run_page(app, steps, manifest(main=rows[0][1], content_mode=mode if mode == "remote" else None))
    for index, (_, _, uri, _, state) in enumerate(rows):
        assert run.event_result(index, "PermissionRequested")["state"] == state, uri
        assert [line["value"] for line in run.step_calls(index, "PermissionRequestedEventArgs.put_State")] == (
            [PERMISSION_ALLOW] if state == PERMISSION_ALLOW else [])


# -- pop-ups ---------------------------------------------------------------------------------------

SHELL_OPENED = ["https://example.com/a?b=1", "http://example.com/", "mailto:someone@example.com?subject=Hi",
                "HTTPS://EXAMPLE.COM/upper", "MailTo:x@example.com"]
SHELL_REFUSED = ["ftp://example.com/file", "qfprobe:hello", "javascript:alert(1)", "about:blank", "",
                 "\\\\server\\share\\x", "mailto", "https"]


@pytest.fixture
def shell_recorder(wine_session, tmp_path):
    """Points Wine's default browser and mail program at a script that records what it is asked to
    open, and registers a qfprobe: scheme and a .qfprobe file type that would reach it too."""
    log = tmp_path / "opened.txt"
    script = tmp_path / "record-open.sh"
    script.write_text(f'#!/bin/sh\nprintf "%s\\n" "$*" >> "{log}"\n')
    script.chmod(0o755)
    browser = r"HKCU\Software\Wine\WineBrowser"
    command = r'"C:\windows\system32\winebrowser.exe" "%1"'
    keys = [r"HKCR\qfprobe", r"HKCR\.qfprobe", r"HKCR\qfprobefile"]
    for name in ("Browsers", "Mailers"):
        wine_session.reg_add(browser, name, "REG_SZ", str(script))
    wine_session.reg("add", keys[0], "/ve", "/d", "URL:qfprobe", "/f")
    wine_session.reg("add", keys[0], "/v", "URL Protocol", "/d", "", "/f")
    wine_session.reg("add", keys[0] + r"\shell\open\command", "/ve", "/d", command, "/f")
    wine_session.reg("add", keys[1], "/ve", "/d", "qfprobefile", "/f")
    wine_session.reg("add", keys[2] + r"\shell\open\command", "/ve", "/d", command, "/f")
    probe_file = tmp_path / "probe.qfprobe"
    probe_file.write_text("probe")
    try:
        yield log, probe_file
    finally:
        for name in ("Browsers", "Mailers"):
            wine_session.reg("delete", browser, "/v", name, "/f")
        for key in keys:
            wine_session.reg("delete", key, "/f")


def recorded(log):
    return log.read_text().splitlines() if log.exists() else []


def test_pop_ups_open_only_web_and_mail_links_in_the_default_programs(app, shell_recorder):
    log, probe_file = shell_recorder
    file_uri = "file:///" + to_windows(probe_file).replace("\\", "/")
    # The probe file by URI and by plain path: the shell would hand both to the recorder.
    refused = [*SHELL_REFUSED, file_uri, to_windows(probe_file)]
    # The probes first, so that they would have been recorded by the time the links are.
    uris = [*refused, *SHELL_OPENED]
    run = run_page(app, [{"do": "newWindow", "uri": uri} for uri in uris])
    for index, uri in enumerate(uris):
        result = run.event_result(index, "NewWindowRequested")
        assert (result["handled"], result["popupOpened"]) == (True, False), uri

    deadline = time.monotonic() + 60
    while len(recorded(log)) < len(SHELL_OPENED) and time.monotonic() < deadline:
        time.sleep(0.5)
    time.sleep(3)
    opened = recorded(log)
    assert sorted(text.lower() for text in opened) == sorted(uri.lower() for uri in SHELL_OPENED), opened


def test_the_shell_recorder_sees_the_probes_when_they_are_opened(wine_session, shell_recorder):
    """The refused probes above would have been seen, had they reached the shell."""
    log, probe_file = shell_recorder
    file_uri = "file:///" + to_windows(probe_file).replace("\\", "/")
    for target in ("qfprobe:hello", "ftp://example.com/file", file_uri, to_windows(probe_file)):
        wine_session.wine("start", target)
    deadline = time.monotonic() + 60
    while len(recorded(log)) < 4 and time.monotonic() < deadline:
        time.sleep(0.5)
    opened = recorded(log)
    assert sorted(opened) == sorted(["qfprobe:hello", "ftp://example.com/file", *["file://" + str(probe_file)] * 2])


# -- the runtime fails ---------------------------------------------------------------------------

FAILURES = [
    ("environment-call", {"environmentCreation": {"returns": "0x80004005"}}, "0x80004005"),
    ("environment-completion", {"environmentCreation": {"errorCode": "0x80070005"}}, "0x80070005"),
    ("environment-null", {"environmentCreation": {"nullEnvironment": True}}, "0x80004003"),
    ("controller-call", {"controllerCreation": {"returns": "0x8007000E"}}, "0x8007000E"),
    ("controller-completion", {"controllerCreation": {"errorCode": "0x80004005"}}, "0x80004005"),
    ("controller-null", {"controllerCreation": {"nullController": True}}, "0x80004003"),
]


@pytest.mark.parametrize("scenario, code", [row[1:] for row in FAILURES], ids=[row[0] for row in FAILURES])
def test_a_runtime_that_fails_to_start_is_reported_and_ends_the_app_with_1(app, scenario, code):
    app.manifest(manifest(title="Failing \u00c4pp"))
    app.www({"index.html": "x"})
    app.scenario({**scenario, "steps": [snapshot()]})
    result = app.run(timeout=40)
    assert result.exit_code == 1, result.describe()
    assert [(box["caption"], box["text"], box["icon"], box["buttons"], box["owner"]) for box in result.boxes] == [
        ("Failing \u00c4pp", f"Failed to start the web view ({code})", "error", ["OK"], 0)]
    assert not [line for line in result.transcript if line["call"] in ("WebView.Navigate", "snapshot")]


# -- runtime process failures --------------------------------------------------------------------

def process_failed(kind):
    return {"do": "processFailed", "kind": kind}


# kind: 0 browser process exited, 1 page renderer exited, 2 renderer unresponsive, 3 frame renderer, 6 GPU.
@pytest.mark.parametrize("kind, reloads, new_environments", [(1, 1, 0), (0, 0, 1), (2, 0, 0), (3, 0, 0), (6, 0, 0)])
def test_a_failed_runtime_process_is_recovered_by_kind(app, kind, reloads, new_environments):
    run = run_page(app, [snapshot(), fullscreen_element(True), process_failed(kind), wait(300), snapshot(),
                         post(WRAPPER_INIT), snapshot()])
    assert len(run.step_calls(2, "WebView.Reload")) == reloads
    environments = run.calls("CreateCoreWebView2EnvironmentWithOptions")
    assert len(environments) == 1 + new_environments
    # A new environment gets what the first got, and the app starts over at its start page.
    assert len({repr((line["folder"], line["userDataFolder"], line["options"])) for line in environments}) == 1
    assert [line["uri"] for line in run.calls("WebView.Navigate")] == [ORIGIN + "index.html"] * (1 + new_environments)
    first, before, after = run.snapshot(0), run.snapshot(4), run.snapshot(6)
    # The window stays as it was: visible, full screen, the web view filling it.
    assert before["visible"] and after["visible"]
    assert after["windowRect"] == before["windowRect"] == after["monitorRect"] != first["windowRect"]
    assert after["viewRect"] == [0, 0, *rect_size(after["clientRect"])]
    assert run.posts(5) == ['{"registeredComponentIds":[],"type":"wrapper-init-response"}']
    after_failure = run.host_call_names(run.step_lines(2) + run.step_lines(3))
    assert after_failure.count("WebView.add_WebMessageReceived") == new_environments
    assert after_failure.count("WebView.AddWebResourceRequestedFilter") == new_environments


def test_the_fourth_failure_in_a_minute_ends_the_app(app):
    app.manifest(manifest())
    app.www({"index.html": "x"})
    app.scenario({"steps": [process_failed(1), process_failed(0), wait(300), process_failed(1), process_failed(1),
                            wait(2000)]})
    result = app.run(timeout=40)
    assert result.exit_code == 1, result.describe()
    assert [(box["caption"], box["text"]) for box in result.boxes] == [
        (TITLE, "Failed to start the web view (0x8007042B)")]
    assert len(result.calls("WebView.Reload")) == 2
