"""The preview as an author uses it every day, end to end: `preview.sh --watch` reloading the page and
restarting the app, the page's console in the terminal, permissions as the host decides, DevTools as the
manifest allows. Helpers come from test_preview.py; each wait is bounded."""

import json
import os
import shutil
import signal
import subprocess
import sys
import time

import pytest

import harness
from test_preview import PreviewRun, chromium_pids, free_port, host_windows, wait_until, x11

sys.path.insert(0, str(harness.REPO / "scripts"))
from preview_watch import Coalescer  # noqa: E402

NAME = "QuillframeDevloop"
RANGE_FILE_SIZE = 1 << 16  # a range of it is cut from the host's mapped view of the file

PAGE = """<!doctype html>
<title>Devloop</title>
<script>
console.log('hello %s', 'console', 42);
new Worker('worker.js');
fetch('data.bin', { headers: { Range: 'bytes=0-3' } }).then((r) => r.text()).then((text) => {
  window.rangeText = text;
  document.title = 'Devloop ' + text;
});
Promise.reject(new Error('nope'));
</script>
<script src="app.js"></script>
"""


def devloop_app(app, settings=None, files=None):
    """A small app of its own with the preview runtime as its fixed runtime: a page that logs, throws,
    rejects, starts a worker that warns, and reads the first bytes of a larger file by range."""
    manifest = {"name": NAME, "main": "index.html", "window": {"title": "Devloop", "width": 640, "height": 480},
                "settings": {"distribution-mode": "fixed", **(settings or {})}}
    app.manifest(manifest)
    app.www(files or {"index.html": PAGE, "app.js": "window.version = 1;\nthrow new Error('boom');\n",
                      "worker.js": "console.warn('from the worker', 7);\n",
                      "data.bin": b"AAAA" + bytes(RANGE_FILE_SIZE - 4)})
    shutil.copytree(app.bin_dir / "preview" / "EBWebView", app.folder / "webview2" / "EBWebView", dirs_exist_ok=True)
    app.loader(None)
    app.remove_user_data()
    return app.user_data_dir(NAME) / "EBWebView"


def save_by_rename(path, data):
    """As editors save: a new file written beside, renamed over the old one (a new inode)."""
    temporary = path.with_name(path.name + ".new")
    temporary.write_bytes(data)
    os.replace(temporary, path)


class WatchRun:
    """`preview.sh --x64 --watch` on the session's display and prefix; its output kept in a file."""

    def __init__(self, app, session, tmp_path):
        self.port, self.output = free_port(), tmp_path / "preview-output.txt"
        env = session.env({"WEBVIEW2_ADDITIONAL_BROWSER_ARGUMENTS": f"--remote-debugging-port={self.port}",
                           "QUILLFRAME_PREVIEW_BIN_DIR": str(app.bin_dir)})
        with open(self.output, "wb") as out:
            self.process = subprocess.Popen(["bash", str(harness.REPO / "scripts" / "preview.sh"), "--x64", "--watch",
                                             str(app.folder)], env=env, stdout=out, stderr=subprocess.STDOUT,
                                            start_new_session=True)

    def text(self):
        return self.output.read_text(errors="replace")

    def shows(self, line, timeout=30):
        wait_until(lambda: line in self.text(), timeout, f"no {line!r} in:\n{self.text()}")

    def end(self):
        if self.process.poll() is None:
            os.killpg(self.process.pid, signal.SIGKILL)
            self.process.wait(30)


@pytest.fixture
def watch_run(app, wine_session, tmp_path):
    runs = []
    yield lambda: runs.append(WatchRun(app, wine_session, tmp_path)) or runs[-1]
    for run in runs:
        run.end()


@pytest.mark.parametrize("events, due", [
    # (ms, paths changed) as seen -> (ms, action) due, asked every 50 ms
    ([(0, {"www/app.js"})], [(200, "reload")]),
    # a write, then a rename over it, then a second file: one reload after the last
    ([(0, {"www/a.js.new"}), (50, {"www/a.js", "www/a.js.new"}), (150, {"www/b.css"})], [(350, "reload")]),
    ([(0, {"www/a.js"}), (100, {"package.json"})], [(300, "restart")]),
    ([(0, {"www/a.js"}), (500, {"www/a.js"})], [(200, "reload"), (700, "reload")]),
])
def test_saves_coalesce_into_one_action_after_a_quiet_200_ms(events, due):
    coalescer, seen = Coalescer(quiet=200), []
    for now in range(0, 1001, 50):
        for at, paths in events:
            if at == now:
                coalescer.note(paths, now)
        action = coalescer.due(now)
        if action:
            seen.append((now, action[0]))
    assert seen == due


def test_watch_reloads_new_bytes_restarts_and_prints_the_console(app, wine_session, watch_run):
    profile = devloop_app(app)
    run = watch_run()
    page = PreviewRun.__new__(PreviewRun)
    page.port = run.port
    session = page.attach(timeout=90)
    page.cdp.wait_for(session, "window.rangeText === 'AAAA' && window.version === 1")

    # The console, one line each, with the source of errors.
    for line in ["[page log] hello console 42", "[page error] Uncaught Error: boom (app.js:2)",
                 "[page error] Uncaught (in promise) Error: nope (index.html:10)",
                 "[worker warning] from the worker 7"]:
        run.shows(line)
    windows = wait_until(lambda: host_windows(wine_session, "Devloop AAAA"), 10, "no host window")
    geometry = x11(wine_session, "getwindowgeometry", windows[0])

    # One save renames a new app.js over the old, another replaces the file the page read by range: one
    # reload, and the page gets the new bytes of both.
    save_by_rename(app.folder / "www" / "app.js", b"window.version = 2;\n")
    save_by_rename(app.folder / "www" / "data.bin", b"BBBB" + bytes(RANGE_FILE_SIZE - 4))
    page.cdp.wait_for(session, "window.rangeText === 'BBBB' && window.version === 2")
    run.shows("page reloaded")
    reloads = [line for line in run.text().splitlines() if "page reloaded" in line]
    assert reloads == ["preview.sh: www/app.js, www/data.bin changed: page reloaded"], reloads
    windows = wait_until(lambda: host_windows(wine_session, "Devloop BBBB"), 10, "caption unchanged")
    assert x11(wine_session, "getwindowgeometry", windows[0]) == geometry

    # package.json restarts the app, which shows the page again.
    page.cdp.sock.close()
    app.manifest({**json.loads((app.folder / "package.json").read_text()), "version": "1.0.1"})
    run.shows("package.json changed: app restarted")
    session = page.attach(timeout=90)
    page.cdp.wait_for(session, "window.rangeText === 'BBBB'")

    page.cdp.close_window(session)
    assert run.process.wait(60) == 0, run.text()
    wait_until(lambda: not chromium_pids(profile), 10, "Chromium outlived the app")


def test_permissions_are_granted_as_the_host_decides_and_devtools_open(app):
    profile = devloop_app(app)
    port = free_port()
    run = PreviewRun(app, env={"QUILLFRAME_PREVIEW_DEVTOOLS": "1", "WEBVIEW2_ADDITIONAL_BROWSER_ARGUMENTS":
                               f"--remote-debugging-port={port} --use-fake-device-for-media-stream"})
    run.port = port
    session = run.attach()
    cdp = run.cdp
    cdp.wait_for(session, "window.rangeText === 'AAAA'")
    # Chromium's own prompt would leave these waiting: the host's answer comes first.
    # (Geolocation may have no position to give here, but is not refused: 1 is PERMISSION_DENIED.)
    asked = """Promise.race([new Promise((done) => setTimeout(() => done('prompted'), 10000)), Promise.all([
        navigator.mediaDevices.getUserMedia({ video: true, audio: true }).then((s) => s.getTracks().length),
        Notification.requestPermission(),
        new Promise((done) => navigator.geolocation.getCurrentPosition(() => done(true),
                                                                        (e) => done(e.code !== 1), { timeout: 3000 }))])])"""
    assert cdp.evaluate(session, asked) == [2, "granted", True]
    wait_until(lambda: any(t["url"].startswith("devtools://") for t in cdp.call("Target.getTargets")["targetInfos"]),
               20, "DevTools did not open")
    cdp.close_window(session)
    result = run.finish()
    assert (result.exit_code, result.boxes) == (0, []), result.describe()
    wait_until(lambda: not chromium_pids(profile), 10, "Chromium outlived the app")


def test_devtools_stay_closed_when_the_manifest_turns_them_off(app):
    profile = devloop_app(app, {"enable-devtools": False})
    run = PreviewRun(app, env={"QUILLFRAME_PREVIEW_DEVTOOLS": "1"})
    session = run.attach()
    cdp = run.cdp
    cdp.wait_for(session, "window.rangeText === 'AAAA'")
    log = profile / "preview.log"
    wait_until(lambda: "DevTools not opened" in log.read_text(errors="replace"), 10, "no word on DevTools")
    # The keys never reach Chromium, and a DevTools window opened anyway (Inspect) is closed at once.
    assert cdp.evaluate(session, """(() => { const key = new KeyboardEvent('keydown', { key: 'F12', cancelable: true });
        dispatchEvent(key); return key.defaultPrevented; })()""")
    page = next(t for t in cdp.call("Target.getTargets")["targetInfos"] if t["type"] == "page")
    cdp.call("Target.openDevTools", targetId=page["targetId"])
    wait_until(lambda: not any(t["url"].startswith("devtools://")
                               for t in cdp.call("Target.getTargets")["targetInfos"]), 10, "DevTools stayed open")
    cdp.close_window(session)
    assert run.finish().exit_code == 0
