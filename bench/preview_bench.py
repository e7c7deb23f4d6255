"""Preview runtime bench (never part of the test command): the example app from process start to first
paint, and ranges fetched by a page through the preview (the host's answers handed to Chromium over
DevTools) against the same ranges from a plain loopback HTTP server, in the same Chromium and page.

    xvfb-run -a -s "-screen 0 1280x900x24" python3 bench/preview_bench.py [--starts N] [--fetches N]

Uses the 64-bit twin (build/win64-test) and writes build/bench/preview.json."""

import argparse
import base64
import http.server
import json
import os
import statistics
import sys
import tempfile
import threading
import time
from pathlib import Path

REPO = Path(__file__).resolve().parents[1]
sys.path.insert(0, str(REPO / "tests" / "wine"))
import harness  # noqa: E402
from test_preview import PreviewRun, preview_app  # noqa: E402

DATA_SIZE = 64 << 20


class RangeHandler(http.server.BaseHTTPRequestHandler):
    """Single byte ranges of one file, with the CORS headers a page of another origin needs."""
    protocol_version = "HTTP/1.1"
    data = b""

    def log_message(self, *args):
        pass

    def do_OPTIONS(self):
        self.send_response(204)
        self._cors()
        self.send_header("Content-Length", "0")
        self.end_headers()

    def do_GET(self):
        if self.path == "/page.html":
            body = b"<!doctype html><title>loopback</title>"
            self.send_response(200)
            self.send_header("Content-Type", "text/html")
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            self.wfile.write(body)
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

    def _cors(self):
        self.send_header("Access-Control-Allow-Origin", "*")
        self.send_header("Access-Control-Allow-Headers", "Range")
        self.send_header("Cache-Control", "no-store")


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


def first_paint(app, runs):
    """Process start to the page's first contentful paint, on one clock (epoch milliseconds)."""
    figures = []
    for _ in range(runs):
        started = time.time() * 1000
        run = PreviewRun(app)
        session = run.attach()
        painted = run.cdp.wait_for(session, "(() => { const p = performance.getEntriesByName("
                                            "'first-contentful-paint')[0]; return p && performance.timeOrigin + "
                                            "p.startTime; })()")
        figures.append(painted - started)
        run.cdp.evaluate(session, "window.close(); true")
        run.finish()
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


def ranges(app, server_port, fetches):
    run = PreviewRun(app)
    session = run.attach()
    run.cdp.wait_for(session, "document.readyState === 'complete'")
    # The loopback server's own page in a second window of the same Chromium: same-origin fetches, as the
    # app's page makes them.
    target = run.cdp.call("Target.createTarget", url=f"http://127.0.0.1:{server_port}/page.html")["targetId"]
    loopback = run.cdp.call("Target.attachToTarget", targetId=target, flatten=True)["sessionId"]
    run.cdp.wait_for(loopback, "document.readyState === 'complete'")
    figures = {}
    for size in (64 << 10, 1 << 20):
        for name, where in (("preview", session), ("loopback", loopback)):
            run.cdp.evaluate(where, f"({FETCHES})('bench.bin', {size}, 3)")  # warm-up
            figures[(size, name)] = run.cdp.evaluate(where, f"({FETCHES})('bench.bin', {size}, {fetches})")
        figures[(size, "floor")] = interception_floor(run.cdp, session, size, fetches)
    run.cdp.call("Target.closeTarget", targetId=target)
    run.cdp.evaluate(session, "window.close(); true")
    run.finish()
    return figures


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--starts", type=int, default=5)
    parser.add_argument("--fetches", type=int, default=40)
    options = parser.parse_args()
    data = os.urandom(DATA_SIZE)
    RangeHandler.data = data
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), RangeHandler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    with harness.wine_session_on_display() as session, tempfile.TemporaryDirectory() as folder:
        app = harness.AppFolder(session, Path(folder) / "app", harness.bin_dir_64())
        preview_app(app)
        paint = first_paint(app, options.starts)
        (app.folder / "www" / "bench.bin").write_bytes(data)
        fetched = ranges(app, server.server_address[1], options.fetches)
        app.remove_user_data()
    server.shutdown()
    rows = [{"figure": "example app: process start to first contentful paint (median)", "ms": round(paint)}]
    for size, label in ((64 << 10, "64 KiB"), (1 << 20, "1 MiB")):
        preview, loopback = fetched[(size, "preview")], fetched[(size, "loopback")]
        rows.append({"figure": f"{label} range fetch from the page (median)", "preview_ms": round(preview, 2),
                     "loopback_ms": round(loopback, 2), "ratio": round(preview / loopback, 2),
                     "interception_floor_ms": round(fetched[(size, "floor")], 2)})
    out = REPO / "build" / "bench"
    out.mkdir(parents=True, exist_ok=True)
    (out / "preview.json").write_text(json.dumps(rows, indent=1))
    for row in rows:
        print(json.dumps(row))


if __name__ == "__main__":
    main()
