"""Preview runtime bench (never part of the test command), one JSON row per figure. The app is started
as scripts/preview.sh starts it, through the preview's launcher:

- the example app from process start to first contentful paint, beside the same page opened by
  Chromium alone (started directly, fresh profile, page from a loopback server);
- 64 KiB and 1 MiB ranges fetched by the app's page through the preview (the host's answers streamed
  by the runtime's loopback server behind its TLS relay; over DevTools with --devtools) against the
  same ranges from a plain loopback HTTP server, fetched by the same page; ratio is the preview's time
  over the loopback's;
- a 200 MiB file read whole by the page (one GET, no Range, read to the end with a reader) through
  the preview and from the loopback server: MB/s (10^6 bytes) for both, whether each came as one
  200 answer of the whole length, and how much the host's resident set grew during the preview's
  read. A read that fails is reported in the row ("error"), not raised.

    xvfb-run -a -s "-screen 0 1280x900x24" python3 bench/preview_bench.py [--starts N] [--fetches N]
        [--wholes N] [--devtools]

Uses the 64-bit twin (build/win64-test) and writes build/bench/preview.json."""

import argparse
import base64
import functools
import http.server
import json
import os
import signal
import statistics
import subprocess
import sys
import tempfile
import threading
import time
from pathlib import Path

REPO = Path(__file__).resolve().parents[1]
sys.path.insert(0, str(REPO / "tests" / "wine"))
import harness  # noqa: E402
from test_preview import Cdp, PreviewRun, command_line, free_port, host_pids, http_get, preview_app  # noqa: E402

DATA_SIZE = 64 << 20
WHOLE_SIZE = 200 << 20
# The whole file is one random piece over and over: written and served a piece at a time, never held whole.
PIECE_SIZE = 4 << 20
CHROMIUM = "/usr/lib/chromium/chromium"
PAINTED = ("(() => { const p = performance.getEntriesByName('first-contentful-paint')[0];"
           " return p && performance.timeOrigin + p.startTime; })()")


class RangeHandler(http.server.BaseHTTPRequestHandler):
    """Single byte ranges of one file, the whole file of repeated pieces, with the CORS headers a page of
    another origin needs."""
    protocol_version = "HTTP/1.1"
    data = b""
    piece = b""

    def log_message(self, *args):
        pass

    def do_OPTIONS(self):
        self.send_response(204)
        self._cors()
        self.send_header("Content-Length", "0")
        self.end_headers()

    def do_GET(self):
        if self.path == "/whole.bin":
            self._whole()
            return
        first, _, last = self.headers.get("Range", "bytes=0-").removeprefix("bytes=").partition("-")
        first, last = int(first), min(int(last or len(self.data) - 1), len(self.data) - 1)
        self.send_response(206)
        self._cors()
        self.send_header("Content-Type", "application/octet-stream")
        self.send_header("Content-Range", f"bytes {first}-{last}/{len(self.data)}")
        self.send_header("Content-Length", str(last - first + 1))
        self.end_headers()
        self.wfile.write(self.data[first:last + 1])

    def _whole(self):
        self.send_response(200)
        self._cors()
        self.send_header("Content-Type", "application/octet-stream")
        self.send_header("Content-Length", str(WHOLE_SIZE))
        self.end_headers()
        for _ in range(WHOLE_SIZE // len(self.piece)):
            self.wfile.write(self.piece)

    def _cors(self):
        self.send_header("Access-Control-Allow-Origin", "*")
        self.send_header("Access-Control-Allow-Headers", "Range")
        self.send_header("Cache-Control", "no-store")


class AppHandler(http.server.SimpleHTTPRequestHandler):
    """The app's www folder as a plain web server gives it to Chromium alone."""
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass


def serve(handler):
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server


# The app's environment: empty for the relay, the preview's own way when python3 and openssl are there.
RUN_ENV = {}


class LauncherRun(PreviewRun):
    """The app started as scripts/preview.sh starts it, through the preview's launcher (which looks for boxes
    every 100 ms), not under the tests' observer, whose look at the host's windows every 20 ms takes Wine's
    time from the host while it streams."""

    def _run(self, env, timeout):
        app = self.app
        app._put_program()
        launcher = app.bin_dir / "preview" / "qf_preview_run.exe"
        self.result = subprocess.run([harness.WINE64, str(launcher), "--", harness.to_windows(app.exe)],
                                     env=app.session.env(env), cwd=app.folder, timeout=timeout,
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode

FETCHES = """async (url, size, count) => {
  const times = [];
  for (let i = 0; i < count; ++i) {
    const first = Math.floor(Math.random() * (%d - size));
    const start = performance.now();
    const answer = await fetch(url, { headers: { Range: `bytes=${first}-${first + size - 1}` }, cache: 'no-store' });
    const body = await answer.arrayBuffer();
    if (answer.status !== 206 || body.byteLength !== size) throw new Error(`${answer.status} ${body.byteLength}`);
    times.push(performance.now() - start);
  }
  times.sort((a, b) => a - b);
  return times[Math.floor(times.length / 2)];
}""" % DATA_SIZE

# Bytes counted as they come, none kept: the page holds no more than one chunk at a time.
WHOLE = """async (url) => {
  const start = performance.now();
  try {
    const answer = await fetch(url, { cache: 'no-store' });
    const reader = answer.body.getReader();
    let bytes = 0;
    for (let part = await reader.read(); !part.done; part = await reader.read()) bytes += part.value.byteLength;
    return { status: answer.status, bytes, ms: performance.now() - start };
  } catch (error) {
    return { error: String(error), ms: performance.now() - start };
  }
}"""


def first_paint(app, runs):
    """Process start to the page's first contentful paint, on one clock (epoch milliseconds)."""
    figures = []
    for _ in range(runs):
        started = time.time() * 1000
        run = LauncherRun(app, env=RUN_ENV)
        session = run.attach()
        painted = run.cdp.wait_for(session, PAINTED)
        figures.append(painted - started)
        run.cdp.evaluate(session, "window.close(); true")
        run.finish()
    return statistics.median(figures)


def page_session(port, prefix, timeout=60):
    """A DevTools client on the Chromium at `port` and a session on its page whose address starts with
    `prefix`, once both are there."""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        try:
            cdp = Cdp(json.loads(http_get(port, "/json/version"))["webSocketDebuggerUrl"])
            for target in cdp.call("Target.getTargets")["targetInfos"]:
                if target["type"] == "page" and target["url"].startswith(prefix):
                    return cdp, cdp.call("Target.attachToTarget", targetId=target["targetId"],
                                         flatten=True)["sessionId"]
            cdp.sock.close()
        except (OSError, ValueError, KeyError):
            pass
        time.sleep(0.1)
    raise AssertionError(f"no page at {prefix} on port {port}")


def end_group(process, profile):
    """Chromium's whole process group, and then whatever of it still names the profile."""
    os.killpg(process.pid, signal.SIGKILL)
    process.wait()
    deadline = time.monotonic() + 10
    while time.monotonic() < deadline:
        left = [int(p.name) for p in Path("/proc").iterdir()
                if p.name.isdigit() and f"--user-data-dir={profile}".encode() in command_line(p)]
        if not left:
            return
        for pid in left:
            try:
                os.kill(pid, signal.SIGKILL)
            except OSError:
                pass
        time.sleep(0.1)


def chromium_alone(www_port, runs):
    """The same page opened by Chromium alone, each run with a fresh profile: process start to first
    contentful paint, as first_paint measures it."""
    page = f"http://127.0.0.1:{www_port}/"
    figures = []
    for _ in range(runs):
        with tempfile.TemporaryDirectory(ignore_cleanup_errors=True) as profile:
            port = free_port()
            # As root Chromium needs --no-sandbox; --test-type keeps the warning bar about it away, as
            # the preview does. The window is the app's size.
            arguments = [CHROMIUM, "--no-sandbox", "--test-type", f"--user-data-dir={profile}", "--no-first-run",
                         "--no-default-browser-check", f"--remote-debugging-port={port}", "--window-size=900,640",
                         f"--app={page}index.html"]
            started = time.time() * 1000
            chromium = subprocess.Popen(arguments, start_new_session=True, stdin=subprocess.DEVNULL,
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            try:
                cdp, session = page_session(port, page)
                figures.append(cdp.wait_for(session, PAINTED) - started)
                cdp.sock.close()
            finally:
                end_group(chromium, profile)
    return statistics.median(figures)


def interception_floor(cdp, session, size, count):
    """The same fetch answered by this script at once through Fetch.fulfillRequest, body encoded ahead:
    what Chromium's interception itself costs, with no host behind it."""
    cdp.call("Fetch.enable", session, patterns=[{"urlPattern": "https://quillframe.localhost/floor*",
                                                 "requestStage": "Request"}])
    body = base64.b64encode(os.urandom(size)).decode()
    times = []
    for index in range(count):
        cdp.next_id += 1
        waiting = cdp.next_id
        expression = ("(async () => { const start = performance.now(); const answer = await fetch('floor?%d');"
                      " await answer.arrayBuffer(); return performance.now() - start; })()" % index)
        cdp._send(json.dumps({"id": waiting, "method": "Runtime.evaluate", "sessionId": session,
                              "params": {"expression": expression, "awaitPromise": True, "returnByValue": True}}))
        while True:
            message = cdp._receive()
            if message and message.get("method") == "Fetch.requestPaused":
                cdp.next_id += 1
                cdp._send(json.dumps({"id": cdp.next_id, "method": "Fetch.fulfillRequest", "sessionId": session,
                                      "params": {"requestId": message["params"]["requestId"], "responseCode": 200,
                                                 "body": body}}))
            elif message and message.get("id") == waiting:
                times.append(message["result"]["result"]["value"])
                break
    cdp.call("Fetch.disable", session)
    return statistics.median(times)


def allow_loopback(run):
    """Over DevTools the app's page comes from no address, which Chromium counts as public: its fetches from
    the loopback server then wait for the user's leave. Through the relay the page is on loopback itself."""
    if RUN_ENV:
        for name in ("local-network-access", "local-network", "loopback-network"):
            run.cdp.call("Browser.setPermission", permission={"name": name}, setting="granted",
                         origin="https://quillframe.localhost")


def timed_fetches(run, session, url, size, fetches):
    run.cdp.evaluate(session, f"({FETCHES})('{url}', {size}, 3)")  # warm-up
    return run.cdp.evaluate(session, f"({FETCHES})('{url}', {size}, {fetches})")


def ranges(app, server_port, fetches):
    """Both sides fetched by the app's own page, the loopback server's answers as a cross-origin fetch
    (the server allows it): one page, so that both meet the same renderer, with the same work beside."""
    run = LauncherRun(app, env=RUN_ENV, timeout=600)
    session = run.attach()
    run.cdp.wait_for(session, "document.readyState === 'complete'")
    allow_loopback(run)
    figures = {}
    for size in (64 << 10, 1 << 20):
        figures[(size, "preview")] = timed_fetches(run, session, "bench.bin", size, fetches)
        figures[(size, "loopback")] = timed_fetches(run, session, f"http://127.0.0.1:{server_port}/bench.bin", size,
                                                    fetches)
        figures[(size, "floor")] = interception_floor(run.cdp, session, size, fetches)
    run.cdp.evaluate(session, "window.close(); true")
    run.finish()
    return figures


def resident_kib(pids):
    total = 0
    for pid in pids:
        try:
            lines = Path(f"/proc/{pid}/status").read_text().splitlines()
        except OSError:
            continue
        total += next((int(line.split()[1]) for line in lines if line.startswith("VmRSS:")), 0)
    return total


def with_peak_growth(pids, action):
    """action()'s result, and how far (MiB) the processes' summed resident set rose above its value just
    before, sampled every 50 ms while it ran."""
    before = resident_kib(pids)
    peak, done = [before], threading.Event()

    def sample():
        while not done.wait(0.05):
            peak.append(resident_kib(pids))
    sampler = threading.Thread(target=sample, daemon=True)
    sampler.start()
    try:
        result = action()
    finally:
        done.set()
        sampler.join()
    return result, (max(peak) - before) / 1024


def whole_reads(app, server_port, reads):
    """The 200 MiB file read whole `reads` times from each side; a side stops at its first failure."""
    run = LauncherRun(app, env=RUN_ENV, timeout=900)
    session = run.attach()
    run.cdp.wait_for(session, "document.readyState === 'complete'")
    allow_loopback(run)
    run.cdp.sock.settimeout(600)  # a slow whole read answers after minutes, not seconds
    pids = host_pids(app)
    preview, loopback_reads, growth = [], [], []
    for _ in range(reads):
        if not preview or "error" not in preview[-1]:
            answer, grown = with_peak_growth(pids, lambda: run.cdp.evaluate(session, f"({WHOLE})('whole.bin')"))
            preview.append(answer)
            growth.append(grown)
        if not loopback_reads or "error" not in loopback_reads[-1]:
            loopback_reads.append(run.cdp.evaluate(session, f"({WHOLE})('http://127.0.0.1:{server_port}/whole.bin')"))
    run.cdp.sock.settimeout(30)
    run.cdp.evaluate(session, "window.close(); true")
    run.finish()
    # No host found by its command line: no growth to report rather than a made-up zero.
    return preview, loopback_reads, max(growth) if pids else None


def write_whole(path, piece):
    with open(path, "wb") as out:
        for _ in range(WHOLE_SIZE // len(piece)):
            out.write(piece)


def whole_side(reads):
    """MB/s of the median read, whether every read was one 200 answer of the whole length, or the first
    failure."""
    failed = next((read for read in reads if "error" in read), None)
    if failed:
        return {"error": failed["error"]}
    ms = statistics.median(read["ms"] for read in reads)
    whole = all(read["status"] == 200 and read["bytes"] == WHOLE_SIZE for read in reads)
    return {"mb_s": round(WHOLE_SIZE / 1e6 / (ms / 1000), 1), "ms": ms, "whole": whole,
            "status": reads[-1]["status"], "bytes": reads[-1]["bytes"]}


def whole_row(preview_reads, loopback_reads, growth):
    preview, loopback = whole_side(preview_reads), whole_side(loopback_reads)
    reads = max(len(preview_reads), len(loopback_reads))
    row = {"figure": f"200 MiB file read whole from the page (median of {reads})",
           "preview_mb_s": preview.get("mb_s"), "loopback_mb_s": loopback.get("mb_s"), "ratio": None,
           "preview_one_whole_200": preview.get("whole"), "preview_status": preview.get("status"),
           "preview_bytes": preview.get("bytes"), "loopback_one_whole_200": loopback.get("whole"),
           "preview_rss_growth_mib": None if growth is None else round(growth, 1)}
    if "ms" in preview and "ms" in loopback:
        row["ratio"] = round(preview["ms"] / loopback["ms"], 2)
    errors = [f"{side}: {figures['error']}" for side, figures in (("preview", preview), ("loopback", loopback))
              if "error" in figures]
    if errors:
        row["error"] = "; ".join(errors)
    return row


def measure(options, server, data, piece):
    with harness.wine_session_on_display() as session, tempfile.TemporaryDirectory() as folder:
        app = harness.AppFolder(session, Path(folder) / "app", harness.bin_dir_64())
        preview_app(app)
        paint = first_paint(app, options.starts)
        www = serve(functools.partial(AppHandler, directory=str(app.folder / "www")))
        alone = chromium_alone(www.server_address[1], options.starts)
        www.shutdown()
        (app.folder / "www" / "bench.bin").write_bytes(data)
        fetched = ranges(app, server.server_address[1], options.fetches)
        write_whole(app.folder / "www" / "whole.bin", piece)
        wholes = whole_reads(app, server.server_address[1], options.wholes)
        app.remove_user_data()
    return paint, alone, fetched, wholes


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--starts", type=int, default=5)
    parser.add_argument("--fetches", type=int, default=40)
    parser.add_argument("--wholes", type=int, default=3)
    parser.add_argument("--devtools", action="store_true",
                        help="the host's answers over DevTools, as the preview serves them without socat")
    options = parser.parse_args()
    if options.devtools:
        RUN_ENV["QUILLFRAME_PREVIEW_RELAY"] = "0"
    data, piece = os.urandom(DATA_SIZE), os.urandom(PIECE_SIZE)
    RangeHandler.data, RangeHandler.piece = data, piece
    server = serve(RangeHandler)
    paint, alone, fetched, wholes = measure(options, server, data, piece)
    server.shutdown()
    rows = [{"figure": "example app: process start to first contentful paint (median)", "ms": round(paint),
             "chromium_alone_ms": round(alone)}]
    for size, label in ((64 << 10, "64 KiB"), (1 << 20, "1 MiB")):
        preview, loopback = fetched[(size, "preview")], fetched[(size, "loopback")]
        rows.append({"figure": f"{label} range fetch from the page (median)", "preview_ms": round(preview, 2),
                     "loopback_ms": round(loopback, 2), "ratio": round(preview / loopback, 2),
                     "interception_floor_ms": round(fetched[(size, "floor")], 2)})
    rows.append(whole_row(*wholes))
    out = REPO / "build" / "bench"
    out.mkdir(parents=True, exist_ok=True)
    (out / "preview.json").write_text(json.dumps(rows, indent=1))
    for row in rows:
        print(json.dumps(row))


if __name__ == "__main__":
    main()
