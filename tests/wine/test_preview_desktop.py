"""The preview on a desktop as a person uses it: with a window manager (Debian's openbox) and without one,
the page is part of the host's window; and scripts/preview.sh as a new author meets it: boxes said at once,
the app's own exe, a picture of the app's window, a new app from scripts/new-app.sh."""

import os
import shutil
import signal
import subprocess
import sys
import threading
import time

import pytest

import harness
from test_preview import PreviewRun, chromium_pids, host_windows, preview_app, wait_until, x11

sys.path.insert(0, str(harness.REPO / "scripts"))
import app_folder  # noqa: E402

TITLE = "Quillframe example"
READY = "document.getElementById('components').textContent === 'quillframe.example.echo'"


def geometry(session, window):
    """Absolute position and size of an X window, or None once it is gone."""
    done = subprocess.run(["xwininfo", "-id", window], env=session.env(), capture_output=True, text=True, timeout=30)
    values = {}
    for line in done.stdout.splitlines():
        key, _, value = line.strip().partition(":")
        values[key] = value.strip()
    keys = ("Absolute upper-left X", "Absolute upper-left Y", "Width", "Height")
    return tuple(int(values[k]) for k in keys) if all(k in values for k in keys) else None


def parent_of(session, window):
    tree = subprocess.run(["xwininfo", "-children", "-id", window], env=session.env(), capture_output=True,
                          text=True, timeout=30).stdout
    line = next(line for line in tree.splitlines() if line.strip().startswith("Parent window id:"))
    return int(line.split(":")[1].split()[0], 16), "(the root window)" in line


def root_property(session, name):
    return subprocess.run(["xprop", "-root", name], env=session.env(), capture_output=True, text=True,
                          timeout=30).stdout


def drag(session, start, end):
    """The left button pressed at `start` and let go at `end`, moving in steps as a hand does."""
    steps = [("mousemove", str(start[0] + (end[0] - start[0]) * i // 5), str(start[1] + (end[1] - start[1]) * i // 5))
             for i in range(1, 6)]
    x11(session, "mousemove", str(start[0]), str(start[1]), "sleep", "0.3", "mousedown", "1", "sleep", "0.3",
        *[word for step in steps for word in (*step, "sleep", "0.1")], "sleep", "0.3", "mouseup", "1")


class Busy:
    """Keeps a process stopped most of the time, as a loaded machine keeps a window manager waiting, until
    calmed: the runtime must not race it while it still frames Chromium's window."""

    def __init__(self, process):
        self.process, self.stop = process, threading.Event()
        self.thread = threading.Thread(target=self._throttle, daemon=True)
        self.thread.start()

    def _throttle(self):
        while not self.stop.is_set():
            self.process.send_signal(signal.SIGSTOP)
            time.sleep(0.4)
            self.process.send_signal(signal.SIGCONT)
            time.sleep(0.05)

    def calm(self):
        self.stop.set()
        self.thread.join()
        self.process.send_signal(signal.SIGCONT)


@pytest.fixture(params=["no window manager", "openbox", "busy openbox"])
def desktop(request, wine_session):
    """The display as the app meets it: bare (Wine draws the frames), or managed by openbox, which Wine's
    windows are then left to (Managed=Y for the apps started during the test), idle or busy until the page
    shows. Yields a Busy (calm at once when idle), or None without a window manager."""
    if request.param == "no window manager":
        yield None
        return
    if not shutil.which("openbox"):
        pytest.skip("openbox is not installed (scripts/setup.sh installs it)")
    wine_session.reg_add(r"HKCU\Software\Wine\X11 Driver", "Managed", "REG_SZ", "Y")
    wm = subprocess.Popen(["openbox", "--sm-disable"], env=wine_session.env(), stdout=subprocess.DEVNULL,
                          stderr=subprocess.DEVNULL)
    try:
        wait_until(lambda: "#" in root_property(wine_session, "_NET_SUPPORTING_WM_CHECK"), 10, "openbox did not start")
        busy = Busy(wm)
        if request.param == "openbox":
            busy.calm()
        yield busy
        busy.calm()
    finally:
        wm.terminate()
        wm.wait(10)
        wine_session.reg_add(r"HKCU\Software\Wine\X11 Driver", "Managed", "REG_SZ", "N")


def test_the_page_is_part_of_the_host_window(app, wine_session, desktop):
    manifest = preview_app(app)
    profile = app.user_data_dir(manifest["name"]) / "EBWebView"
    run = PreviewRun(app)
    session = run.attach()
    run.cdp.wait_for(session, READY)

    # One window: Chromium's is a child of the host's X window, never a top-level of its own.
    page = wait_until(lambda: x11(wine_session, "search", "--onlyvisible", "--class", "^quillframe-preview-").split(),
                      10, "Chromium's window is not shown")
    assert len(page) == 1, page
    page = page[0]
    hosts = wait_until(lambda: host_windows(wine_session, TITLE), 10, "no host window")
    assert len(hosts) == 1, hosts
    host = hex(int(hosts[0]))
    wait_until(lambda: parent_of(wine_session, page)[0] == int(host, 16), 10,
               f"Chromium's window is not inside the host's: {parent_of(wine_session, page)}")
    if desktop:
        desktop.calm()

        def clients():
            listed = root_property(wine_session, "_NET_CLIENT_LIST").split("#")[-1]
            return [int(c, 16) for c in listed.replace(",", " ").split()]
        # The window manager may still be catching up on what it was kept from.
        wait_until(lambda: clients() == [int(host, 16)], 10, f"the window manager lists {clients()}")

    # Moving and resizing the host's window as a person does carry the page: the window manager's title bar
    # and (openbox) its resizing, or Wine's own caption and frame.
    def offset():
        inner, outer = geometry(wine_session, page), geometry(wine_session, host)
        return inner[0] - outer[0], inner[1] - outer[1]
    before, (x, y, width, height) = offset(), geometry(wine_session, host)
    caption = (x + width // 2, y - 8) if desktop else (x + width // 2, y + 10)
    drag(wine_session, caption, (caption[0] + 60, caption[1] + 40))
    wait_until(lambda: geometry(wine_session, host)[:2] == (x + 60, y + 40), 10,
               f"the window did not move: {geometry(wine_session, host)}")
    assert offset() == before
    if desktop:
        x11(wine_session, "windowsize", host, "700", "500")
    else:
        corner = (x + 60 + width - 2, y + 40 + height - 2)
        drag(wine_session, corner, (corner[0] - 200, corner[1] - 140))
    wait_until(lambda: geometry(wine_session, host)[2:] == (width - 200, height - 140), 10,
               f"the window kept its size: {geometry(wine_session, host)}")
    # Wine draws the frame of an unmanaged window inside its X window; the page fills the rest.
    frame = 0 if desktop else 2 * before[0]
    wait_until(lambda: geometry(wine_session, page)[2] == width - 200 - frame, 10,
               f"the page kept its size: {geometry(wine_session, page)}")
    assert run.cdp.evaluate(session, "[innerWidth, innerHeight]") == list(geometry(wine_session, page)[2:])

    if desktop:
        # Activated by the window manager, the host's window hands the keyboard to the page.
        x11(wine_session, "windowminimize", "--sync", host)
        wait_until(lambda: not run.cdp.evaluate(session, "document.hasFocus()"), 10, "the page kept the focus")
        x11(wine_session, "windowactivate", "--sync", host)
        wait_until(lambda: run.cdp.evaluate(session, "document.hasFocus()"), 10, "the page did not get the focus")
        # Closed from the window manager (Alt+F4): the app ends with 0 and takes Chromium with it.
        x11(wine_session, "key", "--clearmodifiers", "alt+F4")
    else:
        run.cdp.close_window(session)
    result = run.finish()
    assert (result.exit_code, result.boxes) == (0, []), result.describe()
    wait_until(lambda: not chromium_pids(profile), 10, "Chromium outlived the host")


def test_a_page_without_a_title_gets_the_runtime_s_default_caption(app, wine_session):
    manifest = preview_app(app)
    manifest["main"] = "untitled.html"
    app.manifest(manifest)
    app.www({"untitled.html": "<!doctype html><p>No title here</p>"})
    run = PreviewRun(app)
    session = run.attach()
    run.cdp.wait_for(session, "document.readyState === 'complete'")
    wait_until(lambda: x11(wine_session, "search", "--name", "^quillframe\\.localhost/untitled\\.html$"), 10,
               "the caption is not the default made from the document's URI")
    run.cdp.close_window(session)
    assert run.finish().exit_code == 0


@pytest.mark.parametrize("name, file_name", [
    ("MyApp", "MyApp.exe"),
    ("My App 2", "My App 2.exe"),
    ("Ünïcode", "Ünïcode.exe"),
    ("", None),
    ("  ", None),
    ("sub\\app", None),
    ("../app", None),
    ("a:b", None),
    ('say "hi"', None),
    ("app.", None),
    ("app ", None),
    ("CON", None),
    ("nul.txt", None),
    ("tab\there", None),
    (42, None),
])
def test_an_app_name_becomes_a_file_name_only_when_windows_takes_it_as_one(name, file_name):
    assert app_folder.file_name(name, ".exe") == file_name


def preview_sh(*args, timeout=300):
    """scripts/preview.sh headless (its own Xvfb and prefix), with the bin folders under test."""
    env = {k: v for k, v in os.environ.items() if k != "DISPLAY"}
    env.update(QF_BIN_DIR=str(harness.bin_dir_64()), QF_BIN32_DIR=str(harness.bin_dir_32()))
    return subprocess.run(["bash", str(harness.REPO / "scripts" / "preview.sh"), *map(str, args)], env=env,
                          capture_output=True, text=True, timeout=timeout)


def test_preview_sh_says_what_stops_an_app_and_runs_a_new_app_with_its_own_exe(tmp_path):
    # A manifest that does not parse: the host's box is printed at once and the run fails.
    broken = tmp_path / "broken"
    (broken / "www").mkdir(parents=True)
    (broken / "package.json").write_text('{"name": "Broken",}')
    started = time.monotonic()
    done = preview_sh("--x64", broken)
    assert done.returncode == 1, done.stdout + done.stderr
    assert "box: Quillframe: Failed to parse package.json." in done.stdout, done.stdout
    assert time.monotonic() - started < 120

    # A page that never finishes parsing never shows: the run says so at its timeout and fails.
    (broken / "package.json").write_text('{"name": "Stuck"}')
    (broken / "www" / "index.html").write_text("<!doctype html><script>for (;;) {}</script>")
    done = preview_sh("--x64", "--timeout", "15", broken)
    assert done.returncode == 1, done.stdout + done.stderr
    assert "no page after 15 s" in done.stderr, done.stderr

    # A new app from new-app.sh (tests/doctor passes it), shipped with its exe renamed after it: the preview
    # runs that exe and pictures the app's window (its client area: the window manager draws the frame).
    made = tmp_path / "Fresh App"
    subprocess.run(["bash", str(harness.REPO / "scripts" / "new-app.sh"), str(made)], check=True, timeout=60)
    shutil.copyfile(harness.bin_dir_64() / "Quillframe.exe", made / "Fresh App.exe")
    shot = tmp_path / "shot.png"
    done = preview_sh("--screenshot", shot, made)
    assert done.returncode == 0, done.stdout + done.stderr
    assert "running the app's own Fresh App.exe (x64)" in done.stdout
    size = subprocess.run(["identify", "-format", "%w %h", str(shot)], capture_output=True, text=True).stdout
    assert size == "1024 768", size
    colours = subprocess.run(["convert", str(shot), "-format", "%k", "info:-"], capture_output=True, text=True).stdout
    assert int(colours) > 2, "the picture shows no page"
