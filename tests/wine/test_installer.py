"""The runtime installer, as the person at the screen sees it when no evergreen runtime is
installed: the install box, then a small progress window while the bootstrapper downloads from
the (loopback) link service, then the bootstrapper runs and the app goes on, or the failure box.

The app is the loopback twin (QuillframeLoopback.exe). The stand-in bootstrapper it downloads
records how it was started and "installs" the runtime by writing a version into the marker file
that the stand-in loader answers from. The progress window is watched from outside by
progress_observer.exe, whose hook library records every bar position the app sets, so the last
one is seen although the window closes right after it."""

import json
import select
import subprocess
from dataclasses import dataclass
from pathlib import Path

import pytest

import harness
from bootstrapper_server import PATH, BootstrapperServer

NAME = "qf-test-installer"
TITLE = "Installer Test"
INSTALL_TEXT = "No runtime yet: it will be installed now."
DOWNLOADING = "Fetching the runtime…"
FAILED_TEXT = "The runtime could not be installed."
VERSION = "120.0.2210.55"
SETUP_FILE = "Webview2Setup.exe"

VERSION_CHECK = "GetAvailableCoreWebView2BrowserVersionString"
CREATE_ENVIRONMENT = "CreateCoreWebView2EnvironmentWithOptions"

WS_VISIBLE, WS_CHILD = 0x10000000, 0x40000000
WS_CAPTION, WS_SYSMENU, WS_MINIMIZEBOX = 0x00C00000, 0x00080000, 0x00020000
WS_THICKFRAME, WS_MAXIMIZEBOX = 0x00040000, 0x00010000
WS_EX_WINDOWEDGE = 0x00000100  # the window manager adds it to every captioned window

INSTALL_BOX = (INSTALL_TEXT, TITLE, "information", ["OK"])
FAILED_BOX = (FAILED_TEXT, TITLE, "error", ["OK"])


@dataclass
class Outcome:
    result: harness.RunResult
    requests: list
    observed: list      # progress_observer.exe: the window seen from outside, polled positions
    hooked: list        # progress_hook.dll: what the app's UI thread was sent
    bootstrapper: list  # one line per start of the stand-in bootstrapper
    marker: Path

    @property
    def boxes(self):
        return [(box["text"], box["caption"], box["icon"], box["buttons"]) for box in self.result.boxes]

    def observed_window(self):
        return next(event["window"] for event in self.observed if event["event"] == "window")

    def hooked_events(self, kind):
        return [event for event in self.hooked if event["event"] == kind]

    def describe(self):
        return (f"{self.result.describe()}\nrequests: {len(self.requests)}\nobserved: {self.observed}\n"
                f"hooked: {self.hooked}\nbootstrapper: {self.bootstrapper}")


class Installer:
    """An app without a runtime, ready to run through the installer path."""

    def __init__(self, app, scratch):
        self.app = app
        self.scratch = scratch
        app.use_exe("QuillframeLoopback.exe")
        app.manifest({"name": NAME, "window": {"title": TITLE},
                      "messages": {"install-webview2": INSTALL_TEXT, "downloading": DOWNLOADING,
                                   "install-webview2-failed": FAILED_TEXT}})
        app.www({"index.html": "<!doctype html><title>installed</title>"})
        app.scenario({"evergreenVersion": None, "steps": [{"do": "close"}]})
        self.bootstrapper_exe = harness.bin_dir_64() / "stand_in_bootstrapper.exe"

    @property
    def user_data_dir(self):
        return self.app.user_data_dir(NAME)

    @property
    def user_data_dir_windows(self):
        return self.app.user_data_dir_windows(NAME)

    def run(self, mode, env=None, timeout=90, close_early=False):
        marker = self.scratch / "runtime-marker.txt"
        logs = {name: self.scratch / f"{name}.jsonl" for name in ("bootstrapper", "hook")}
        for path in (marker, *logs.values()):
            path.unlink(missing_ok=True)
        env = {"QF_TEST_RUNTIME_MARKER": harness.to_windows(marker),
               "QF_TEST_BOOTSTRAPPER_LOG": harness.to_windows(logs["bootstrapper"]),
               "QF_TEST_PROGRESS_LOG": harness.to_windows(logs["hook"]), **(env or {})}
        with _Observer(self.app.session, self.scratch / "observer.stop", timeout, close_early) as observed, \
                BootstrapperServer(self.bootstrapper_exe.read_bytes(), mode) as server:
            result = self.app.run(timeout=timeout, env=env)
        return Outcome(result, server.requests, observed, harness.read_json_lines(logs["hook"]),
                       harness.read_json_lines(logs["bootstrapper"]), marker)


class _Observer:
    """progress_observer.exe for the length of one app run; its lines land in the list that
    entering returns, once the run is over. With `close_early` it closes the progress window as
    soon as it sees it."""

    def __init__(self, session, stop, timeout, close_early):
        self.session, self.stop, self.timeout = session, stop, timeout
        self.options = ["--close"] if close_early else []
        self.lines = []

    def __enter__(self):
        self.stop.unlink(missing_ok=True)
        program = harness.bin_dir_64() / "progress_observer.exe"
        self.process = subprocess.Popen(
            [harness.WINE64, str(program), harness.to_windows(self.stop), str(int(self.timeout * 1000)),
             *self.options],
            env=self.session.env(), stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        # The hook must be in place before the app starts.
        ready, _, _ = select.select([self.process.stdout], [], [], 60)
        first = self.process.stdout.readline() if ready else ""
        if '"hooked","ok":true' not in first:
            self.process.kill()
            self.process.communicate()
            raise harness.WineError(f"progress observer not ready: {first!r}")
        return self.lines

    def __exit__(self, *exc):
        self.stop.touch()
        try:
            out, _ = self.process.communicate(timeout=30)
        except subprocess.TimeoutExpired:
            self.process.kill()
            out, _ = self.process.communicate()
        self.lines.extend(json.loads(line) for line in out.splitlines() if line.strip())


@pytest.fixture
def installer(app, tmp_path):
    return Installer(app, tmp_path)


def _bar_positions(outcome):
    return [event["pos"] for event in outcome.hooked_events("setpos")]


# --- a download that works --------------------------------------------------------------------

def test_the_downloaded_bootstrapper_installs_the_runtime_and_the_app_goes_on(installer):
    outcome = installer.run("sized")
    assert outcome.boxes == [INSTALL_BOX], outcome.describe()
    assert len(outcome.requests) == 1 and outcome.requests[0]["path"] == PATH

    # The setup file stays in the user data folder, byte for byte what was served.
    setup = installer.user_data_dir / SETUP_FILE
    assert setup.read_bytes() == installer.bootstrapper_exe.read_bytes()

    # Started once, from the user data folder, with no arguments at all.
    assert len(outcome.bootstrapper) == 1, outcome.describe()
    started = outcome.bootstrapper[0]
    assert started["currentDirectory"].rstrip("\\").lower() == installer.user_data_dir_windows.lower()
    assert started["arguments"] == []
    assert started["module"].lower() == (installer.user_data_dir_windows + "\\" + SETUP_FILE).lower()

    # The second question finds the runtime, and start-up carries on to the web view.
    checks = outcome.result.calls(VERSION_CHECK)
    assert [(check["folder"], check["version"]) for check in checks] == [(None, None), (None, VERSION)]
    assert len(outcome.result.calls(CREATE_ENVIRONMENT)) == 1
    assert outcome.result.exit_code == 0, outcome.describe()


def _assert_window_shape(window):
    assert window["class"] == "WebView2Setup"
    assert window["title"] == DOWNLOADING
    assert window["parent"] is None
    wanted = WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX
    assert window["style"] & wanted == wanted
    assert window["style"] & (WS_THICKFRAME | WS_MAXIMIZEBOX) == 0
    assert window["exStyle"] & ~WS_EX_WINDOWEDGE == 0
    left, top, right, bottom = window["window"]
    screen_width, screen_height = window["screen"]
    assert (right - left, bottom - top) == (300, 90)
    assert (left, top) == (screen_width // 2 - 150, screen_height // 2 - 45)


def _assert_bar_shape(window):
    _, _, client_width, client_height = window["client"]
    bar = window["bar"]
    assert bar["class"].lower() == "msctls_progress32"
    assert bar["text"] == ""
    assert bar["style"] == WS_CHILD | WS_VISIBLE
    assert bar["rect"] == [10, 10, client_width - 10, client_height - 10]
    assert (bar["low"], bar["high"], bar["step"]) == (0, 100, 1)


def _assert_bar_follows_the_download(outcome):
    positions = _bar_positions(outcome)
    assert positions == sorted(positions), positions
    assert len(set(positions)) >= 5, positions
    assert positions[-1] == 100
    assert all(event["fromOtherThread"] for event in outcome.hooked_events("setpos"))
    # The download thread closes the window once the bar is full.
    closes = outcome.hooked_events("close")
    assert len(closes) == 1 and closes[0]["fromOtherThread"], outcome.describe()
    assert closes[0]["window"]["bar"]["pos"] == 100
    # Seen from outside too, while it moved.
    polled = [event["pos"] for event in outcome.observed if event["event"] == "pos" and event["pos"] >= 0]
    assert polled == sorted(polled) and len(set(polled)) >= 3, polled


def test_the_progress_window_follows_the_download_after_the_install_box(installer):
    outcome = installer.run("sized")
    events = outcome.result.events
    box_at = next(i for i, event in enumerate(events) if event["event"] == "box")
    window_at = next(i for i, event in enumerate(events)
                     if event["event"] == "window" and event.get("class") == "WebView2Setup")
    assert box_at < window_at, outcome.describe()
    window = outcome.observed_window()
    _assert_window_shape(window)
    _assert_bar_shape(window)
    _assert_bar_follows_the_download(outcome)


def test_without_a_size_from_the_server_the_bar_stays_at_0_and_the_install_goes_on(installer):
    outcome = installer.run("unsized")
    assert _bar_positions(outcome) == []
    closes = outcome.hooked_events("close")
    assert len(closes) == 1 and closes[0]["window"]["bar"]["pos"] == 0, outcome.describe()
    assert (installer.user_data_dir / SETUP_FILE).read_bytes() == installer.bootstrapper_exe.read_bytes()
    assert len(outcome.bootstrapper) == 1
    assert outcome.boxes == [INSTALL_BOX]
    assert outcome.result.exit_code == 0, outcome.describe()


def test_closing_the_progress_window_cancels_nothing_and_the_bootstrapper_still_runs(installer):
    outcome = installer.run("sized", close_early=True)
    assert any(event["event"] == "gone" for event in outcome.observed), outcome.describe()
    # The window was gone before the download ended, so the full bar was never shown ...
    assert 100 not in _bar_positions(outcome)
    # Closed by the person (through the UI thread), never again by the download thread.
    assert [close["fromOtherThread"] for close in outcome.hooked_events("close")] == [False]
    # ... yet the download went on to the end and the bootstrapper ran.
    assert (installer.user_data_dir / SETUP_FILE).read_bytes() == installer.bootstrapper_exe.read_bytes()
    assert len(outcome.bootstrapper) == 1
    assert outcome.boxes == [INSTALL_BOX]
    assert outcome.result.exit_code == 0, outcome.describe()


def test_at_120_dpi_the_window_and_its_margins_are_scaled(installer, dpi):
    dpi(120)
    outcome = installer.run("sized")
    window = outcome.observed_window()
    left, top, right, bottom = window["window"]
    assert (right - left, bottom - top) == (375, 113)  # 300 and 90 (112.5 rounded up)
    screen_width, screen_height = window["screen"]
    assert (left, top) == (screen_width // 2 - 375 // 2, screen_height // 2 - 113 // 2)
    # 10 scales to 13 but 20 to 25: the right and bottom margins are one pixel narrower.
    _, _, client_width, client_height = window["client"]
    assert window["bar"]["rect"] == [13, 13, client_width - 12, client_height - 12]


def test_an_existing_user_data_folder_is_used_without_a_box(installer):
    installer.user_data_dir.mkdir(parents=True)
    (installer.user_data_dir / "kept.txt").write_text("from an earlier run")
    outcome = installer.run("sized")
    assert outcome.boxes == [INSTALL_BOX], outcome.describe()
    assert (installer.user_data_dir / "kept.txt").read_text() == "from an earlier run"
    assert len(outcome.bootstrapper) == 1
    assert outcome.result.exit_code == 0


# --- a download that fails --------------------------------------------------------------------

FAILURES = {
    "nothing listens": "refused",
    "not found": "missing",
    "connection reset": "reset",
}


@pytest.mark.parametrize("mode", FAILURES.values(), ids=FAILURES.keys())
def test_a_failed_download_starts_nothing_and_start_up_reports_it(installer, mode):
    outcome = installer.run(mode)
    assert outcome.boxes == [INSTALL_BOX, FAILED_BOX], outcome.describe()
    assert outcome.bootstrapper == []
    assert not outcome.marker.exists()
    checks = outcome.result.calls(VERSION_CHECK)
    assert [(check["folder"], check["version"]) for check in checks] == [(None, None), (None, None)]
    assert outcome.result.calls(CREATE_ENVIRONMENT) == []
    assert outcome.result.exit_code == 1


@pytest.mark.parametrize("mode", ["refused", "missing"])
def test_a_setup_file_left_from_an_earlier_run_is_not_started_after_a_failed_download(installer, mode):
    # A working bootstrapper sits where the download would go: starting it would "install".
    installer.user_data_dir.mkdir(parents=True)
    (installer.user_data_dir / SETUP_FILE).write_bytes(installer.bootstrapper_exe.read_bytes())
    outcome = installer.run(mode)
    assert outcome.bootstrapper == [], outcome.describe()
    assert not outcome.marker.exists()
    assert outcome.boxes == [INSTALL_BOX, FAILED_BOX]
    assert outcome.result.exit_code == 1


def test_when_the_download_thread_cannot_start_the_window_closes_and_start_up_reports_it(installer):
    outcome = installer.run("sized", env={"QF_TEST_FAIL_THREAD_START": "1"}, timeout=60)
    blocked = outcome.hooked_events("threadStartBlocked")
    assert len(blocked) == 1 and blocked[0]["imports"] >= 1, outcome.describe()
    assert len(outcome.hooked_events("destroy")) == 1
    assert outcome.requests == []
    assert outcome.bootstrapper == []
    assert outcome.boxes == [INSTALL_BOX, FAILED_BOX], outcome.describe()
    assert outcome.result.exit_code == 1


# --- the installer's own system libraries missing ---------------------------------------------

def _without(installer, dll):
    """The app's environment with one system DLL disabled in Wine, so loading it fails."""
    return {"WINEDLLOVERRIDES": f"{installer.app.session.env()['WINEDLLOVERRIDES']};{dll}="}


def test_without_comctl32_the_app_still_starts_and_the_installer_reports_the_common_controls(installer):
    outcome = installer.run("sized", env=_without(installer, "comctl32"))
    common_controls = ("Failed to initialize common controls", TITLE, "error", ["OK"])
    assert outcome.boxes == [INSTALL_BOX, common_controls, FAILED_BOX], outcome.describe()
    # No progress window, hence no download.
    assert not any(event["event"] == "window" for event in outcome.observed), outcome.describe()
    assert outcome.requests == []
    assert outcome.bootstrapper == []
    assert outcome.result.exit_code == 1


def test_without_urlmon_the_download_fails_and_start_up_reports_it(installer):
    outcome = installer.run("sized", env=_without(installer, "urlmon"))
    # The progress window came up as always, and the download thread closed it.
    closes = outcome.hooked_events("close")
    assert len(closes) == 1 and closes[0]["fromOtherThread"], outcome.describe()
    _assert_window_shape(closes[0]["window"])
    _assert_bar_shape(closes[0]["window"])
    assert outcome.requests == []
    assert outcome.bootstrapper == []
    assert outcome.boxes == [INSTALL_BOX, FAILED_BOX], outcome.describe()
    assert outcome.result.exit_code == 1
