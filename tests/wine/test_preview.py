"""The preview runtime end to end: the real exe, the real example app and Debian's Chromium, driven
through the host's own code. A second DevTools client (this test) watches and acts as the user would;
it reaches Chromium through the port WEBVIEW2_ADDITIONAL_BROWSER_ARGUMENTS gives it."""

import base64
import hashlib
import json
import os
import shutil
import socket
import subprocess
import threading
import time
from pathlib import Path

import pytest

import harness

EXAMPLE = "examples"  # the example app as the build staged it in the bin folder
FAILED_TO_START = "Failed to start the web view (0x80070002)"


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def http_get(port, path):
    """The body of a GET on loopback (Chromium keeps the connection open: the length tells the end)."""
    with socket.create_connection(("127.0.0.1", port), timeout=5) as connection:
        connection.sendall(f"GET {path} HTTP/1.1\r\nHost: 127.0.0.1:{port}\r\n\r\n".encode())

        def more():
            # A Chromium that is ending may close the connection before it answers.
            chunk = connection.recv(65536)
            if not chunk:
                raise ConnectionError(f"GET {path}: closed before the whole answer")
            return chunk
        answer = b""
        while b"\r\n\r\n" not in answer:
            answer += more()
        head, body = answer.split(b"\r\n\r\n", 1)
        length = int(next(line.split(b":")[1] for line in head.split(b"\r\n") if line.lower().startswith(b"content-length")))
        while len(body) < length:
            body += more()
        return body


class Cdp:
    """A small DevTools client: commands with answers, events kept for the asking."""

    def __init__(self, url):
        host, _, rest = url[len("ws://"):].partition("/")
        address, _, port = host.partition(":")
        self.sock = socket.create_connection((address, int(port)), timeout=30)
        key = base64.b64encode(os.urandom(16)).decode()
        self.sock.sendall(f"GET /{rest} HTTP/1.1\r\nHost: {host}\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
                          f"Sec-WebSocket-Key: {key}\r\nSec-WebSocket-Version: 13\r\n\r\n".encode())
        head = b""
        while b"\r\n\r\n" not in head:
            # A browser that is ending may close the connection before it answers: its end must not spin.
            byte = self.sock.recv(1)
            if not byte:
                raise ConnectionError("DevTools closed the connection before the upgrade")
            head += byte
        assert head.startswith(b"HTTP/1.1 101"), head
        self.next_id = 0
        self.events = []

    def _send(self, text):
        data = text.encode()
        header = bytes([0x81])
        if len(data) < 126:
            header += bytes([0x80 | len(data)])
        elif len(data) < 65536:
            header += bytes([0x80 | 126]) + len(data).to_bytes(2, "big")
        else:
            header += bytes([0x80 | 127]) + len(data).to_bytes(8, "big")
        self.sock.sendall(header + b"\0\0\0\0" + data)

    def _read(self, count):
        data = b""
        while len(data) < count:
            chunk = self.sock.recv(count - len(data))
            if not chunk:
                raise ConnectionError("DevTools connection closed")
            data += chunk
        return data

    def _receive(self):
        first, second = self._read(2)
        length = second & 0x7F
        if length == 126:
            length = int.from_bytes(self._read(2), "big")
        elif length == 127:
            length = int.from_bytes(self._read(8), "big")
        return json.loads(self._read(length)) if first & 0x0F == 1 else None

    def _request(self, method, session, params):
        self.next_id += 1
        message = {"id": self.next_id, "method": method, "params": params}
        if session:
            message["sessionId"] = session
        self._send(json.dumps(message))

    def call(self, method, session=None, **params):
        self._request(method, session, params)
        while True:
            answer = self._receive()
            if answer is None:
                continue
            if answer.get("id") == self.next_id:
                assert "error" not in answer, answer
                return answer["result"]
            if "method" in answer:
                self.events.append(answer)

    def evaluate(self, session, expression, gesture=False):
        result = self.call("Runtime.evaluate", session, expression=expression, awaitPromise=True,
                           returnByValue=True, userGesture=gesture)
        assert "exceptionDetails" not in result, result
        return result["result"].get("value")

    def close_window(self, session):
        """window.close() on the page, not waiting for an answer: the app may end, and Chromium with
        it, before one is sent."""
        self._request("Runtime.evaluate", session, {"expression": "window.close()"})

    def wait_for(self, session, expression, timeout=30):
        deadline = time.monotonic() + timeout
        value = None
        while time.monotonic() < deadline:
            # The page may still be loading: what is not there yet counts as nothing.
            value = self.evaluate(session, f"(() => {{ try {{ return {expression}; }} catch {{ return null; }} }})()")
            if value:
                return value
            time.sleep(0.2)
        raise AssertionError(f"{expression} stayed {value!r}")


class PreviewRun:
    """The app running in a thread under the harness's observer, and our DevTools client on its page."""

    def __init__(self, app, env=None, timeout=90):
        self.app, self.port = app, free_port()
        env = dict(env or {})
        env.setdefault("WEBVIEW2_ADDITIONAL_BROWSER_ARGUMENTS", f"--remote-debugging-port={self.port}")
        self.result = None
        self.thread = threading.Thread(target=self._run, args=(env, timeout), daemon=True)
        self.thread.start()

    def _run(self, env, timeout):
        self.result = self.app.run(timeout=timeout, env=env, allow_timeout=True)

    def attach(self, timeout=60):
        """Our own session on the app's page once it shows the app's origin."""
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            try:
                url = json.loads(http_get(self.port, "/json/version"))["webSocketDebuggerUrl"]
                self.cdp = Cdp(url)
                for target in self.cdp.call("Target.getTargets")["targetInfos"]:
                    if target["type"] == "page" and target["url"].startswith("https://quillframe.localhost/"):
                        self.target = target["targetId"]
                        self.session = self.cdp.call("Target.attachToTarget", targetId=self.target,
                                                     flatten=True)["sessionId"]
                        return self.session
                self.cdp.sock.close()
            except (OSError, ValueError, KeyError, IndexError):
                pass
            time.sleep(0.5)
        raise AssertionError(f"no page of the app on port {self.port}")

    def finish(self, timeout=60):
        self.thread.join(timeout)
        assert not self.thread.is_alive(), "the app did not end"
        return self.result


def preview_app(app):
    """The example app in a fresh folder with the preview runtime as its fixed runtime."""
    shutil.copytree(app.bin_dir / EXAMPLE, app.folder, dirs_exist_ok=True)
    manifest = json.loads((app.folder / "package.json").read_text())
    manifest["settings"]["distribution-mode"] = "fixed"
    app.manifest(manifest)
    app.remove_user_data()  # a fresh profile: nothing left from an earlier run counts
    runtime = app.bin_dir / "preview" / "EBWebView"
    shutil.copytree(runtime, app.folder / "webview2" / "EBWebView", dirs_exist_ok=True)
    app.loader(None)  # the exe's own loader finds it
    return manifest


def command_line(process):
    """A /proc entry's command line; empty once the process is gone."""
    try:
        return (process / "cmdline").read_bytes()
    except OSError:
        return b""


def chromium_pids(profile):
    """Processes whose command line names the app's Chromium profile (reached through the prefix's
    dosdevices, so only the part under the drive counts)."""
    profile = "/" + str(Path(*Path(profile).parts[Path(profile).parts.index("drive_c") + 1:]))
    return [int(entry.name) for entry in Path("/proc").iterdir()
            if entry.name.isdigit() and profile.encode() in command_line(entry)]


def host_pids(app):
    exe = harness.to_windows(app.exe).encode()
    return [int(p.name) for p in Path("/proc").iterdir() if p.name.isdigit() and command_line(p).startswith(exe)]


@pytest.fixture(autouse=True)
def no_host_left_behind(app):
    """A test that fails while its app runs must not leave the app, and so its Chromium on the profile
    every test here shares, to the next test."""
    yield
    left = host_pids(app)
    for pid in left:
        os.kill(pid, 9)
    if left:
        profile = app.user_data_dir(json.loads((app.folder / "package.json").read_text())["name"]) / "EBWebView"
        wait_until(lambda: not chromium_pids(profile), 10, "Chromium outlived a host killed after its test")


def process_group(pid):
    try:
        return os.getpgid(pid)
    except OSError:
        return None


def wait_until(condition, timeout, what):
    """The condition's first true answer, asked until the timeout."""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        answer = condition()
        if answer:
            return answer
        time.sleep(0.25)
    raise AssertionError(what)


def x11(session, *args):
    return subprocess.run(["xdotool", *args], env=session.env(), capture_output=True, text=True,
                          timeout=30).stdout.strip()


def host_windows(session, title):
    """The host's windows with this caption: Chromium's windows take the page's title too.
    Named ones are listed first, so that any Chromium window among them already has its class."""
    named = x11(session, "search", "--name", f"^{title}$").split()
    chromium = x11(session, "search", "--class", "^quillframe-preview-").split()
    return [window for window in named if window not in chromium]


def host_geometry(session, title):
    """The size of the host's window, or None while it cannot be found (Wine may be re-creating it)."""
    window = next(iter(host_windows(session, title)), None)
    lines = x11(session, "getwindowgeometry", "--shell", window).split("\n") if window else []
    shell = dict(line.split("=", 1) for line in lines if "=" in line)
    return (int(shell["WIDTH"]), int(shell["HEIGHT"])) if "WIDTH" in shell else None


@pytest.fixture
def shell_urls(wine_session, tmp_path):
    """Wine's browser for links handed to the shell, for one test: a script that writes the URL down."""
    log = tmp_path / "shell-urls.txt"
    script = tmp_path / "record-url.sh"
    script.write_text(f"#!/bin/sh\necho \"$1\" >> {log}\n")
    script.chmod(0o755)
    wine_session.reg_add(r"HKCU\Software\Wine\WineBrowser", "Browsers", "REG_SZ", str(script))
    yield log
    wine_session.reg("delete", r"HKCU\Software\Wine\WineBrowser", "/v", "Browsers", "/f")


def test_the_example_app_runs_in_chromium_through_the_host(app, wine_session, shell_urls, tmp_path):
    manifest = preview_app(app)
    profile = app.user_data_dir(manifest["name"]) / "EBWebView"
    run = PreviewRun(app)
    session = run.attach()
    cdp = run.cdp

    # Real JavaScript through the bridge: wrapper-init, then the extension and back.
    cdp.wait_for(session, "document.getElementById('components').textContent === 'quillframe.example.echo'")
    cdp.evaluate(session, "document.getElementById('echo').click()", gesture=True)
    cdp.wait_for(session, "document.getElementById('extension-log').textContent.includes('hello from the page')")
    cdp.wait_for(session, "document.getElementById('modules').textContent === 'module and worker running (42)'")
    assert cdp.evaluate(session, "document.fonts.check('16px \"Example Serif\"') && "
                                 "document.getElementById('picture').naturalWidth") == 320

    # The page is on screen inside the host's window: page-coloured pixels in its area, not the host's white
    # (nor black, before Chromium's window has drawn its first frame).
    shot = tmp_path / "page.png"

    def page_colour_shown():
        subprocess.run(["import", "-window", "root", "-crop", "200x40+300+60", str(shot)], env=wine_session.env(),
                       check=True)
        return "#FBFAF7" in subprocess.run(["convert", str(shot), "-format", "%c", "histogram:info:-"],
                                           capture_output=True, text=True).stdout.upper()
    wait_until(page_colour_shown, 10, f"the page is not shown in the host's window: {shot}")

    # The video seeks through the host's ranges: seeked fires, and the host answered 206.
    # (Loaded again under another URL so that its requests come after ours began watching.)
    cdp.call("Network.enable", session)
    assert cdp.evaluate(session, """new Promise((done) => { const v = document.getElementById('clip');
        v.addEventListener('seeked', () => done(v.currentTime > 4), { once: true });
        v.addEventListener('loadedmetadata', () => { v.currentTime = 5; }, { once: true });
        v.src = 'media/clip.webm?again'; })""")
    ranges = [e["params"]["response"]["status"] for e in cdp.events if e.get("method") == "Network.responseReceived"
              and "/media/clip.webm" in e["params"]["response"]["url"]]
    assert 206 in ranges, ranges

    # A title change shows in the window's caption.
    cdp.evaluate(session, "document.title = 'Changed by the page'")
    wait_until(lambda: host_windows(wine_session, "Changed by the page"), 10, "caption unchanged")

    # Full screen covers the screen and comes back.
    before = host_geometry(wine_session, "Changed by the page")
    cdp.evaluate(session, "document.documentElement.requestFullscreen().then(() => true)", gesture=True)
    screen = tuple(int(n) for n in harness.SCREEN.split("x")[:2])
    wait_until(lambda: host_geometry(wine_session, "Changed by the page") == screen, 10, "not full screen")
    cdp.evaluate(session, "document.exitFullscreen().then(() => true)")
    wait_until(lambda: host_geometry(wine_session, "Changed by the page") == before, 10, "not restored")

    # Bundle mode: leaving the app's origin is cancelled and the page stays.
    cdp.evaluate(session, "location.href = 'https://example.com/'; true")
    time.sleep(1.5)
    assert cdp.evaluate(session, "location.href") == "https://quillframe.localhost/index.html"

    # A target=_blank link reaches the shell, and no Chromium window is left for it.
    cdp.evaluate(session, "document.getElementById('external').click()", gesture=True)
    wait_until(lambda: shell_urls.exists() and "https://example.com/" in shell_urls.read_text(), 20,
               "the link did not reach the shell")
    wait_until(lambda: [t["type"] for t in cdp.call("Target.getTargets")["targetInfos"]].count("page") == 1, 10,
               "the pop-up's page is still there")
    visible = x11(wine_session, "search", "--onlyvisible", "--class", "^quillframe-preview-").split()
    assert len(visible) == 1, visible

    # window.close() ends the app with exit code 0 and leaves no Chromium behind.
    cdp.close_window(session)
    result = run.finish()
    assert (result.exit_code, result.boxes) == (0, []), result.describe()
    wait_until(lambda: not chromium_pids(profile), 10, "Chromium outlived the host")


def test_killing_the_host_leaves_no_chromium(app, wine_session):
    manifest = preview_app(app)
    profile = app.user_data_dir(manifest["name"]) / "EBWebView"
    run = PreviewRun(app)
    run.attach()
    assert chromium_pids(profile)
    host = host_pids(app)
    assert host
    for pid in host:
        os.kill(pid, 9)
    run.finish()
    wait_until(lambda: not chromium_pids(profile), 10, "Chromium outlived the killed host")


def test_a_crashed_page_is_reloaded_and_answers_again(app):
    preview_app(app)
    run = PreviewRun(app)
    session = run.attach()
    cdp = run.cdp
    answered = "document.getElementById('components').textContent === 'quillframe.example.echo'"
    cdp.wait_for(session, answered)
    cdp.call("Inspector.enable", session)
    cdp.next_id += 1  # Page.crash is never answered
    cdp._send(json.dumps({"id": cdp.next_id, "method": "Page.crash", "params": {}, "sessionId": session}))
    methods = lambda: [event["method"] for event in cdp.events]
    wait_until(lambda: cdp.call("Target.getTargets") and "Inspector.targetReloadedAfterCrash" in methods(), 30,
               f"the crashed page was not reloaded: {methods()}")
    assert "Inspector.targetCrashed" in methods()
    # wrapper-init again, from the new renderer.
    cdp.wait_for(session, answered)
    cdp.close_window(session)
    result = run.finish()
    assert (result.exit_code, result.boxes) == (0, []), result.describe()


MIB = 1 << 20
# Ranges of the first are cut from a file larger than any one answer; the second, whole, is more than one
# DevTools message carries.
RANGED, WHOLE = 40 * MIB, 70 * MIB

# The page fetches each row and answers [status, Content-Range, SHA-256 of the body].
FETCH_ROWS_JS = """async (rows) => {
    const hex = async (body) => Array.from(new Uint8Array(await crypto.subtle.digest('SHA-256', body)),
                                           (b) => b.toString(16).padStart(2, '0')).join('');
    const get = async ([path, range]) => {
        try {
            const answer = await fetch(path, range ? { headers: { Range: range } } : {});
            return [answer.status, answer.headers.get('Content-Range'), await hex(await answer.arrayBuffer())];
        } catch (error) {
            return [0, null, String(error)];
        }
    };
    const each = [];
    for (const row of rows.each) each.push(await get(row));
    return { each, together: await Promise.all(rows.together.map(get)) };
}"""


def slice_row(data, path, first, last, range_value=None):
    """What a client must receive for the bytes first..last of the file."""
    return ([path, range_value or f"bytes={first}-{last}"],
            [206, f"bytes {first}-{last}/{len(data)}", hashlib.sha256(data[first:last + 1]).hexdigest()])


@pytest.mark.parametrize("relay", [True, False], ids=["relay", "over DevTools"])
def test_the_page_gets_the_hosts_answers_byte_exact_through_chromium(app, relay):
    preview_app(app)
    ranged, whole = os.urandom(RANGED), os.urandom(WHOLE)
    (app.folder / "www" / "ranged.bin").write_bytes(ranged)
    (app.folder / "www" / "whole.bin").write_bytes(whole)
    end = RANGED - 1
    rows = [
        slice_row(ranged, "/ranged.bin", 0, 99),
        slice_row(ranged, "/ranged.bin", 20 * MIB - 3, 21 * MIB + 4),
        slice_row(ranged, "/ranged.bin", end, end),
        slice_row(ranged, "/ranged.bin", RANGED - 3 * MIB - 1, end, f"bytes={RANGED - 3 * MIB - 1}-"),
        slice_row(ranged, "/ranged.bin", RANGED - 500, end, "bytes=-500"),
        (["/ranged.bin", f"bytes={RANGED}-"], [416, None, None]),
        (["/missing.bin", None], [404, None, None]),
        (["/whole.bin", None], [200, None, hashlib.sha256(whole).hexdigest()]),
    ]
    together = [slice_row(ranged, "/ranged.bin", first, first + index % 1000)
                for index in range(300) for first in [index * (RANGED // 300) + index]]

    run = PreviewRun(app, env={} if relay else {"QUILLFRAME_PREVIEW_RELAY": "0"})
    session = run.attach()
    run.cdp.sock.settimeout(120)  # the page reads 70 MiB whole within this one evaluation
    run.cdp.wait_for(session, "document.readyState === 'complete'")
    asked = {"each": [row for row, _ in rows], "together": [row for row, _ in together]}
    got = run.cdp.evaluate(session, f"({FETCH_ROWS_JS})({json.dumps(asked)})")
    run.cdp.close_window(session)
    run.finish()

    # Bodies of refusals are the host's business; a client acts on the status.
    received = [[status, content_range, digest if expected[2] else None]
                for (status, content_range, digest), (_, expected) in zip(got["each"], rows)]
    assert received[:-1] == [expected for _, expected in rows[:-1]]
    assert got["together"] == [expected for _, expected in together]
    # Last: a whole answer larger than one DevTools message arrives in one piece through the relay; over
    # DevTools it is refused, and the page's fetch fails.
    if relay:
        assert received[-1] == rows[-1][1], got["each"][-1]
    else:
        assert received[-1][0] == 0, got["each"][-1]


def test_when_chromium_dies_a_new_one_shows_the_app_in_the_same_window(app, wine_session):
    manifest = preview_app(app)
    profile = app.user_data_dir(manifest["name"]) / "EBWebView"
    run = PreviewRun(app)
    run.attach()
    # The host's X window may not carry its caption yet when the page is first there.
    windows = set(wait_until(lambda: host_windows(wine_session, "Quillframe example"), 10, "no host window"))
    assert len(windows) == 1, windows
    # Ours among any other run's: the browser has our port, its helpers its process group, the watchdog is its parent.
    ours = [(pid, command_line(Path(f"/proc/{pid}"))) for pid in chromium_pids(profile)]
    browser = [pid for pid, line in ours if line.startswith(b"/usr/lib/chromium/chromium\0")
               and f"--remote-debugging-port={run.port}".encode() in line]
    assert len(browser) == 1, browser
    old = {pid for pid, _ in ours if process_group(pid) == browser[0]}
    old.add(int(Path(f"/proc/{browser[0]}/stat").read_text().rsplit(")", 1)[1].split()[1]))
    os.kill(browser[0], 9)
    run.cdp.sock.close()
    session = run.attach()
    run.cdp.wait_for(session, "document.getElementById('components').textContent === 'quillframe.example.echo'")
    # The caption follows the new page's title, which it may not have yet.
    wait_until(lambda: set(host_windows(wine_session, "Quillframe example")) == windows, 10,
               "the app is not back in the same window")

    def shown_inside():
        page = x11(wine_session, "search", "--onlyvisible", "--class", "^quillframe-preview-").split()
        children = "".join(subprocess.run(["xwininfo", "-children", "-id", window], env=wine_session.env(),
                                          capture_output=True, text=True, timeout=30).stdout for window in windows)
        return len(page) == 1 and hex(int(page[0])) + " " in children
    wait_until(shown_inside, 10, "the new Chromium's window is not shown inside the host's")
    wait_until(lambda: not old & set(chromium_pids(profile)), 10, "a process of the old Chromium is left")
    assert "Chromium ended" in (profile / "preview.log").read_text(errors="replace")
    run.cdp.close_window(session)
    result = run.finish()
    assert (result.exit_code, result.boxes) == (0, []), result.describe()


def test_a_missing_chromium_fails_the_start_with_its_code(app):
    preview_app(app)
    result = app.run(timeout=60, env={"QUILLFRAME_PREVIEW_CHROMIUM": "/nonexistent/chromium"})
    assert [box["text"] for box in result.boxes] == [FAILED_TO_START]
    assert result.exit_code == 1


def test_playwright_attaches_through_the_environment_and_clicks(app, tmp_path):
    node_modules = harness.REPO / "build" / "node" / "node_modules"
    if not (node_modules / "playwright-core").is_dir():
        pytest.skip("playwright-core is not installed (scripts/setup.sh installs it)")
    preview_app(app)
    run = PreviewRun(app)
    run.attach()
    script = tmp_path / "click.js"
    script.write_text("""
const { chromium } = require('playwright-core');
(async () => {
  const browser = await chromium.connectOverCDP('http://127.0.0.1:' + process.argv[2]);
  const page = browser.contexts()[0].pages().find((p) => p.url().startsWith('https://quillframe.localhost/'));
  await page.click('#echo');
  await page.waitForFunction(() => document.getElementById('extension-log').textContent.includes('hello'));
  console.log(await page.title());
  // The app may end, and Chromium with it, before the answer comes: run.finish() checks the exit.
  await page.evaluate(() => window.close()).catch(() => {});
})().catch((error) => { console.error(error); process.exit(1); });
""")
    done = subprocess.run(["node", str(script), str(run.port)], env={**os.environ, "NODE_PATH": str(node_modules)},
                          capture_output=True, text=True, timeout=60)
    assert done.returncode == 0, done.stderr
    assert done.stdout.strip() == "Quillframe example"
    assert run.finish().exit_code == 0


@pytest.mark.exe32
def test_the_shipped_exe_shows_the_example_in_chromium(app32):
    preview_app(app32)
    run = PreviewRun(app32, timeout=400)
    session = run.attach(timeout=300)
    run.cdp.wait_for(session, "document.getElementById('components').textContent === 'quillframe.example.echo'",
                     timeout=120)
    run.cdp.close_window(session)
    assert run.finish(timeout=300).exit_code == 0
