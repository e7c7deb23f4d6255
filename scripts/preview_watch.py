#!/usr/bin/env python3
"""The watch loop of `preview.sh --watch`: runs the app, reloads its page when a file under www/ changes,
and restarts the app when package.json changes (the host reads its manifest at start-up only).

    preview_watch.py APP_FOLDER -- COMMAND...

Editors save in many ways (writing in place, writing a temporary file and renaming it over the old one,
deleting and creating again, several files at once); the folder is therefore compared as a whole, every
file by inode, size and modification time, and one reload follows once nothing has changed for 200 ms.
The page is reached through the browser endpoint the preview runtime writes to the file named by
QUILLFRAME_PREVIEW_ENDPOINT_FILE. Ends with the app's exit code when the app ends by itself."""

import base64
import http.client
import json
import os
import socket
import subprocess
import sys
import tempfile
import time

QUIET_SECONDS = 0.2  # a save is over once nothing has changed for this long
POLL_SECONDS = 0.05
CLOSE_SECONDS = 10  # how long a closed app may take to end before it is killed


def ignored(name):
    """Editors' swap and backup files, which change while nobody saves."""
    return name.startswith(".") or name.endswith(("~", ".swp", ".swx"))


def snapshot(app):
    """package.json and every file under www/, each with what any save changes: inode, size, time."""
    files = {}
    paths = [os.path.join(app, "package.json")]
    for folder, _, names in os.walk(os.path.join(app, "www"), followlinks=True):
        paths += [os.path.join(folder, name) for name in names if not ignored(name)]
    for path in paths:
        try:
            facts = os.stat(path)
        except OSError:
            continue
        files[os.path.relpath(path, app)] = (facts.st_ino, facts.st_size, facts.st_mtime_ns)
    return files


class Coalescer:
    """Changes are noted as they are seen; once none has come for `quiet` seconds, one action is due for
    all of them: "restart" when package.json is among them, else "reload"."""

    def __init__(self, quiet=QUIET_SECONDS):
        self.quiet, self.paths, self.last = quiet, set(), None

    def note(self, paths, now):
        if paths:
            self.paths |= set(paths)
            self.last = now

    def due(self, now):
        """(action, changed paths) when one is due, else None."""
        if not self.paths or now - self.last < self.quiet:
            return None
        paths, self.paths = sorted(self.paths), set()
        return ("restart" if "package.json" in paths else "reload"), paths


class PageConnection:
    """A DevTools WebSocket to the app's page: a command and its answer at a time."""

    def __init__(self, endpoint_file):
        with open(endpoint_file) as file:
            port = int(file.read().split("/")[2].split(":")[1])
        connection = http.client.HTTPConnection("127.0.0.1", port, timeout=5)
        connection.request("GET", "/json/list")
        targets = json.loads(connection.getresponse().read())
        page = next(t for t in targets if t["type"] == "page" and not t["url"].startswith("devtools://"))
        path = page["webSocketDebuggerUrl"].split(str(port), 1)[1]
        self.sock = socket.create_connection(("127.0.0.1", port), timeout=5)
        key = base64.b64encode(os.urandom(16)).decode()
        self.sock.sendall(f"GET {path} HTTP/1.1\r\nHost: 127.0.0.1:{port}\r\nUpgrade: websocket\r\n"
                          f"Connection: Upgrade\r\nSec-WebSocket-Key: {key}\r\nSec-WebSocket-Version: 13\r\n\r\n"
                          .encode())
        head = b""
        while b"\r\n\r\n" not in head:
            head += self._read(1)
        if not head.startswith(b"HTTP/1.1 101"):
            raise OSError("the page refused the DevTools connection")

    def _read(self, count):
        data = b""
        while len(data) < count:
            chunk = self.sock.recv(count - len(data))
            if not chunk:
                raise OSError("DevTools connection closed")
            data += chunk
        return data

    def call(self, method, params, answered=True):
        data = json.dumps({"id": 1, "method": method, "params": params}).encode()
        size = len(data)
        head = bytes([0x81]) + (bytes([0x80 | size]) if size < 126 else bytes([0x80 | 126]) + size.to_bytes(2, "big"))
        self.sock.sendall(head + b"\0\0\0\0" + data)  # a zero mask key: nothing here needs it random
        while answered:
            first, second = self._read(2)
            size = second & 0x7F
            if size >= 126:
                size = int.from_bytes(self._read(2 if size == 126 else 8), "big")
            payload = self._read(size)
            if first & 0x0F == 1 and json.loads(payload).get("id") == 1:
                return

    def close(self):
        self.sock.close()


def say(text):
    print(f"preview.sh: {text}", file=sys.stderr, flush=True)


def reload_page(endpoint_file, paths):
    try:
        page = PageConnection(endpoint_file)
        page.call("Page.reload", {"ignoreCache": True})
        page.close()
        say(f"{', '.join(paths)} changed: page reloaded")
    except (OSError, ValueError, StopIteration, IndexError) as error:
        say(f"{', '.join(paths)} changed, but the page could not be reloaded ({error})")


def end_app(app, endpoint_file):
    """window.close() through the page, as a person closing the window; killed when it does not end."""
    try:
        page = PageConnection(endpoint_file)
        page.call("Runtime.evaluate", {"expression": "window.close()"}, answered=False)
        page.close()
        app.wait(CLOSE_SECONDS)
    except (OSError, ValueError, StopIteration, IndexError, subprocess.TimeoutExpired):
        # No page (a box about the manifest, say) or no end: the runtime's watchdog ends Chromium.
        app.kill()
        app.wait()


def watch(folder, command):
    endpoint_file = os.path.join(tempfile.mkdtemp(prefix="quillframe-watch."), "endpoint")
    env = {**os.environ, "QUILLFRAME_PREVIEW_ENDPOINT_FILE": endpoint_file}
    coalescer, files = Coalescer(), snapshot(folder)
    app = subprocess.Popen(command, env=env)
    say(f"watching {folder}: www/ reloads the page, package.json restarts the app")
    while True:
        time.sleep(POLL_SECONDS)
        now_files = snapshot(folder)
        coalescer.note({path for path in files.keys() | now_files.keys() if files.get(path) != now_files.get(path)},
                       time.monotonic())
        files = now_files
        due = coalescer.due(time.monotonic())
        if due and due[0] == "reload" and app.poll() is None:
            # An editor's temporary file, come and gone within the save, is not worth naming.
            reload_page(endpoint_file, [path for path in due[1] if path in files] or due[1])
        elif due and due[0] == "restart":
            end_app(app, endpoint_file)
            if os.path.exists(endpoint_file):
                os.remove(endpoint_file)  # the new Chromium's endpoint replaces it
            app = subprocess.Popen(command, env=env)
            say("package.json changed: app restarted")
        elif app.poll() is not None:
            return app.returncode


def main():
    if len(sys.argv) < 4 or sys.argv[2] != "--":
        sys.exit("usage: preview_watch.py APP_FOLDER -- COMMAND...")
    try:
        sys.exit(watch(os.path.abspath(sys.argv[1]), sys.argv[3:]))
    except KeyboardInterrupt:
        sys.exit(130)


if __name__ == "__main__":
    main()
