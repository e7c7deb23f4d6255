"""Loopback stand-in for the vendor's link service that hands out the runtime
bootstrapper. The test-only QuillframeLoopback.exe downloads from
http://127.0.0.1:47813/fwlink/p/?LinkId=2124703; this server answers that one
address in the way a test asks for:

  "sized"    200 with Content-Length, body sent in paced chunks (the bar moves)
  "unsized"  200 without Content-Length, body paced, end marked by closing
  "missing"  404
  "reset"    the connection is reset before any answer
  "refused"  nothing listens on the port at all

Every request is recorded (path, headers) so a test can tell whether a download
was attempted at all.
"""

import http.server
import socket
import struct
import threading
import time

HOST = "127.0.0.1"
PORT = 47813
PATH = "/fwlink/p/?LinkId=2124703"
MODES = ("sized", "unsized", "missing", "reset", "refused")


class _Handler(http.server.BaseHTTPRequestHandler):
    # HTTP/1.0: one request per connection, so an unsized body ends at the close.
    protocol_version = "HTTP/1.0"

    def do_GET(self):
        server = self.server
        server.requests.append({"path": self.path, "headers": dict(self.headers)})
        if self.path != PATH:
            self.send_error(404)
            return
        getattr(self, "_answer_" + server.mode)(server)

    def _start(self, length):
        self.send_response(200)
        self.send_header("Content-Type", "application/octet-stream")
        # Nothing may be cached: the next test must reach this server again.
        self.send_header("Cache-Control", "no-store, no-cache, must-revalidate")
        self.send_header("Pragma", "no-cache")
        self.send_header("Expires", "0")
        if length is not None:
            self.send_header("Content-Length", str(length))
        self.end_headers()

    def _send_paced(self, server):
        body = server.body
        size = max(1, -(-len(body) // server.chunks))
        for start in range(0, len(body), size):
            time.sleep(server.pause)
            self.wfile.write(body[start:start + size])
            self.wfile.flush()

    def _answer_sized(self, server):
        self._start(len(server.body))
        self._send_paced(server)

    def _answer_unsized(self, server):
        self._start(None)
        self._send_paced(server)
        self.close_connection = True

    def _answer_missing(self, server):
        self.send_error(404, "Not Found")

    def _answer_reset(self, server):
        # SO_LINGER with a zero timeout turns the close into a reset.
        self.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
        self.close_connection = True

    def log_message(self, format, *args):
        pass


class _Server(http.server.ThreadingHTTPServer):
    allow_reuse_address = True
    daemon_threads = True


class BootstrapperServer:
    """Serves `body` (the stand-in bootstrapper's bytes) in `mode` on the fixed
    loopback port while used as a context manager."""

    def __init__(self, body=b"", mode="sized", chunks=20, pause=0.1):
        if mode not in MODES:
            raise ValueError(f"unknown mode {mode!r}")
        self._settings = {"body": body, "mode": mode, "chunks": chunks, "pause": pause}
        self._requests = []
        self._server = None
        self._thread = None

    @property
    def requests(self):
        return list(self._requests)

    def __enter__(self):
        if self._settings["mode"] != "refused":
            self._server = _Server((HOST, PORT), _Handler)
            for key, value in self._settings.items():
                setattr(self._server, key, value)
            self._server.requests = self._requests
            self._thread = threading.Thread(target=self._server.serve_forever, daemon=True)
            self._thread.start()
        return self

    def __exit__(self, *exc):
        if self._server:
            self._server.shutdown()
            self._server.server_close()
            self._thread.join()
