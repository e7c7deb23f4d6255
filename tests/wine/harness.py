"""Runs the real Quillframe.exe under Wine and reports what a person at the screen and the
WebView2 runtime would have seen: every message box (caption, text, icon, buttons), the
app's top-level windows, the exit code, and the stand-in runtime's transcript.

One Wine session serves a whole pytest run: one X display, one Wine prefix (by default
build/wine/prefix, or $QF_WINEPREFIX), one wineserver kept alive between the tests. Two
runs that share a prefix take turns (a lock file beside it), because both would share the
same wineserver and the same user data folders.

Every app runs from a fresh folder that a test fills (manifest, www\\, stand-in runtime,
extension, scenario). The observer tool (tests/tools, qf_observer.exe) starts the exe,
answers each message box with OK and reports one JSON line per event.

Environment: QF_BIN_DIR (default build/win64-test/bin) and QF_BIN32_DIR (default
build/win32-test/bin) name the bin folders; QF_WINEPREFIX the Wine prefix (created when
missing); DISPLAY an X display to use instead of a private Xvfb. Variables starting with
QF_TEST_ are not passed to the apps unless a test hands them to run(env=...).
"""

import base64
import contextlib
import fcntl
import json
import os
import shutil
import subprocess
import tempfile
import time
from dataclasses import dataclass, field
from pathlib import Path

REPO = Path(__file__).resolve().parents[2]
WINE64 = "/usr/lib/wine/wine64"
WINESERVER = "/usr/lib/wine/wineserver64"
# By its full path: a bare "reg" goes through start.exe and ShellExecuteEx, which now and then
# fails to start it ("ShellExecuteEx failed: Internal error").
REG = r"C:\windows\system32\reg.exe"

# fonts-wine's Marlett, which Debian's Wine does not find by itself.
MARLETT = "/usr/share/wine/fonts/marlett.ttf"

# Extra seconds the harness waits for the observer after its own timeout has ended the app.
OBSERVER_GRACE = 30

DEFAULT_DPI = 96

# The private X screen (scripts/test.sh gives xvfb-run the same): room for a 1024x768 window at 144 DPI.
SCREEN = "2560x1600x24"


def bin_dir_64():
    return Path(os.environ.get("QF_BIN_DIR", REPO / "build" / "win64-test" / "bin"))


def bin_dir_32():
    return Path(os.environ.get("QF_BIN32_DIR", REPO / "build" / "win32-test" / "bin"))


def wine_prefix():
    return Path(os.environ.get("QF_WINEPREFIX", REPO / "build" / "wine" / "prefix"))


def to_windows(path):
    """Unix path -> the same file through Wine's Z: drive."""
    return "Z:" + str(Path(path).absolute()).replace("/", "\\")


class WineError(RuntimeError):
    pass


class AppTimeout(AssertionError):
    """The app was still running when its time was up; it has been ended with its children."""


class WineSession:
    def __init__(self, display, prefix=None):
        self.display = display
        self.prefix = Path(prefix or wine_prefix())
        self.observer = bin_dir_64() / "qf_observer.exe"
        self.local_appdata_windows = None
        self.local_appdata = None
        self._lock = None

    # -- environment -------------------------------------------------------------------------

    def env(self, extra=None):
        env = {k: v for k, v in os.environ.items() if not k.startswith("QF_TEST_")}
        env.update(WINEPREFIX=str(self.prefix), WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=",
                   DISPLAY=self.display)
        env.pop("WINEARCH", None)
        env.update(extra or {})
        return env

    def wine(self, *args, timeout=120):
        code, output = run_quietly([WINE64, *map(str, args)], self.env(), timeout)
        if code != 0:
            raise WineError(f"wine64 {' '.join(map(str, args))} failed ({code}): {output[-2000:]}")

    def wineserver(self, *args):
        run_quietly([WINESERVER, *args], self.env(), timeout=120)

    def to_unix(self, windows_path):
        """A path on Wine's C: or Z: drive -> the Unix path."""
        drive, _, rest = windows_path.partition(":")
        parts = [p for p in rest.split("\\") if p]
        if drive.upper() == "Z":
            return Path("/", *parts)
        if drive.upper() == "C":
            return Path(self.prefix, "drive_c", *parts)
        raise ValueError(f"no Unix path for {windows_path!r}")

    # -- life cycle --------------------------------------------------------------------------

    def start(self):
        if not self.observer.exists():
            raise WineError(f"{self.observer} is missing: build the win64-test preset first")
        self.prefix.parent.mkdir(parents=True, exist_ok=True)
        self._lock = open(self.prefix.parent / (self.prefix.name + ".lock"), "w")
        try:
            fcntl.flock(self._lock, fcntl.LOCK_EX | fcntl.LOCK_NB)
        except BlockingIOError:
            print(f"\nwaiting for another test run that uses the Wine prefix {self.prefix} "
                  "(set QF_WINEPREFIX to use a prefix of your own)", flush=True)
            fcntl.flock(self._lock, fcntl.LOCK_EX)
        # A wineserver left behind would keep the display of its own session.
        self.wineserver("-k")
        self.wineserver("-w")
        if not (self.prefix / "system.reg").exists():
            self.wine("wineboot", "-i", timeout=900)
            self.wineserver("-w")
        self.wineserver("-p")
        # The caption buttons of the windows Wine frames itself need its Marlett (scripts/preview.sh).
        fonts = self.prefix / "drive_c" / "windows" / "Fonts"
        if not (fonts / "marlett.ttf").exists() and Path(MARLETT).exists():
            shutil.copyfile(MARLETT, fonts / "marlett.ttf")
        # Without a window manager, Wine waits up to two seconds after hiding each managed
        # window for a state change that never comes; unmanaged windows skip that wait.
        self.reg_add(r"HKCU\Software\Wine\X11 Driver", "Managed", "REG_SZ", "N")
        self.set_dpi(DEFAULT_DPI)
        info = self.observe_info()
        self.local_appdata_windows = info["localAppData"]
        self.local_appdata = self.to_unix(self.local_appdata_windows)

    def stop(self):
        self.wineserver("-k")
        if self._lock:
            self._lock.close()
            self._lock = None

    # -- settings ----------------------------------------------------------------------------

    def reg(self, *args):
        """reg.exe with these arguments; a failure raises."""
        self.wine(REG, *args)

    def reg_add(self, key, name, kind, data, *flags):
        """`flags` e.g. "/reg:32" for the 32-bit registry view."""
        self.reg("add", key, "/v", name, "/t", kind, "/d", str(data), "/f", *flags)

    def reg_delete(self, key, *flags):
        """Removes a key with everything under it; a missing key is no error, a key left in place is.
        A later test must not find what an earlier one registered."""
        for _ in range(3):
            code, output = run_quietly([WINE64, REG, "delete", key, "/f", *flags], self.env(), 120)
            if run_quietly([WINE64, REG, "query", key, *flags], self.env(), 120)[0] != 0:
                return
        raise WineError(f"reg delete {key} left it in place ({code}): {output[-2000:]}")

    def set_dpi(self, dpi):
        """System DPI for processes started from now on."""
        self.reg_add(r"HKCU\Control Panel\Desktop", "LogPixels", "REG_DWORD", dpi)

    def observe_info(self):
        """What a Windows program of this session sees: local app data folder and system DPI."""
        out = self.prefix.parent / f"observer-info-{os.getpid()}.jsonl"
        out.unlink(missing_ok=True)
        try:
            self.wine(self.observer, "--out", to_windows(out), "--info")
            return json.loads(out.read_text().splitlines()[-1])
        finally:
            out.unlink(missing_ok=True)

    # -- observed runs -----------------------------------------------------------------------

    def observe(self, command, out, cwd, timeout, snapshots_at=(), env=None, pid=None):
        """Starts `command` (Windows paths) from `cwd` under the observer, or watches the running
        process `pid` (a Windows process id) instead, and returns the observer's events."""
        args = [WINE64, str(self.observer), "--out", to_windows(out), "--timeout", str(int(timeout * 1000))]
        for at in snapshots_at:
            args += ["--snapshot-at", str(int(at * 1000))]
        args += ["--pid", str(pid)] if pid is not None else ["--cwd", to_windows(cwd), "--", *command]
        try:
            run_quietly(args, self.env(env), timeout + OBSERVER_GRACE, cwd)
        except subprocess.TimeoutExpired:
            # The observer itself hangs: end everything in this prefix and start over.
            self.wineserver("-k")
            self.wineserver("-p")
        if not out.exists():
            return []
        return [json.loads(line) for line in out.read_text(encoding="utf-8").splitlines() if line.strip()]


@dataclass
class RunResult:
    events: list
    transcript: list
    user_data_dir: Path
    exit_code: int = None
    timed_out: bool = False
    boxes: list = field(default_factory=list)
    windows: list = field(default_factory=list)
    snapshots: list = field(default_factory=list)

    def calls(self, name):
        """Transcript lines of one call (e.g. "GetAvailableCoreWebView2BrowserVersionString")."""
        return [line for line in self.transcript if line.get("call") == name]

    def describe(self):
        return json.dumps({"exit": self.exit_code, "timedOut": self.timed_out, "boxes": self.boxes,
                           "transcriptTail": self.transcript[-20:]}, indent=1, ensure_ascii=False)


LOADERS = {"standin": "WebView2Loader.dll", "no-exports": "qf_no_exports.dll", "text": None, None: None}
RUNTIME_DLL = "EmbeddedBrowserWebView.dll"


class AppFolder:
    """A fresh app folder: Quillframe.exe (or another exe of the bin folder), the stand-in
    WebView2Loader.dll, and whatever a test puts beside them."""

    def __init__(self, session, folder, bin_dir):
        self.session = session
        self.folder = Path(folder)
        self.bin_dir = Path(bin_dir)
        self.exe_name = "Quillframe.exe"
        self.loader_kind = "standin"
        self._names = set()
        self.folder.mkdir(parents=True, exist_ok=True)

    def _copy_from_bin(self, name, as_name=None):
        source = self.bin_dir / name
        if not source.exists():
            raise WineError(f"{source} is missing: build the test presets first")
        shutil.copyfile(source, self.folder / (as_name or name))

    # -- contents ----------------------------------------------------------------------------

    def use_exe(self, name):
        """Run another exe of the bin folder instead (e.g. "QuillframeLoopback.exe")."""
        self.exe_name = name

    def write(self, relative, data):
        path = self.folder / relative
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_bytes(data.encode("utf-8") if isinstance(data, str) else data)
        return path

    def manifest(self, value):
        """package.json: a dict (written as JSON), raw bytes or text, or None for no file."""
        path = self.folder / "package.json"
        if value is None:
            path.unlink(missing_ok=True)
            return
        if isinstance(value, dict):
            if isinstance(value.get("name"), str):
                self._names.add(value["name"])
            value = json.dumps(value, ensure_ascii=False)
        self.write("package.json", value)

    def www(self, files):
        for relative, data in files.items():
            self.write(Path("www") / relative, data)

    def fixed_runtime(self, present=True):
        """webview2\\msedgewebview2.exe: what makes the stand-in report a fixed runtime."""
        if present:
            self.write("webview2/msedgewebview2.exe", b"MZ")
        else:
            shutil.rmtree(self.folder / "webview2", ignore_errors=True)

    @property
    def architecture(self):
        """The runtime DLL's subfolder that matches the exe: "x86" or "x64"."""
        return "x86" if self.bin_dir == bin_dir_32() else "x64"

    def runtime_twin(self, folder):
        """The stand-in's runtime build as `folder`\\EBWebView\\<architecture>\\EmbeddedBrowserWebView.dll
        (`folder` relative to the app folder, or absolute); returns the DLL's path."""
        target = self.folder / folder / "EBWebView" / self.architecture / RUNTIME_DLL
        target.parent.mkdir(parents=True, exist_ok=True)
        shutil.copyfile(self.bin_dir / RUNTIME_DLL, target)
        return target

    def loader(self, kind):
        """WebView2Loader.dll at the next run: "standin" (the scripted runtime, the default),
        "no-exports" (a DLL without the loader functions), "text" (a text file) or None (absent)."""
        if kind not in LOADERS:
            raise ValueError(kind)
        self.loader_kind = kind

    def _put_program(self):
        self._copy_from_bin(self.exe_name)
        (self.folder / "WebView2Loader.dll").unlink(missing_ok=True)
        if LOADERS[self.loader_kind]:
            self._copy_from_bin(LOADERS[self.loader_kind], "WebView2Loader.dll")
        elif self.loader_kind == "text":
            self.write("WebView2Loader.dll", "not a library\r\n")

    def extension(self, dll):
        """An extension library (path, or a name relative to the bin folder) as ZU2DavErudoze.dll."""
        source = Path(dll) if Path(dll).is_absolute() else self.bin_dir / dll
        shutil.copyfile(source, self.folder / "ZU2DavErudoze.dll")

    def scenario(self, value):
        """webview2-scenario.json for the stand-in runtime (see tests/runtime/README.md)."""
        self.write("webview2-scenario.json", json.dumps(value, ensure_ascii=False))

    # -- user data ---------------------------------------------------------------------------

    def user_data_dir(self, name):
        """Unix path of the WebView2 user data folder of an app named `name`."""
        self._names.add(name)
        path = self.session.local_appdata / name
        if path.resolve().parent != self.session.local_appdata.resolve():
            raise ValueError(f"{name!r} does not name a folder directly under LocalAppData")
        return path

    def user_data_dir_windows(self, name):
        return self.session.local_appdata_windows + "\\" + name

    def remove_user_data(self):
        for name in self._names:
            with contextlib.suppress(ValueError):
                path = self.user_data_dir(name)
                if path.is_dir() and not path.is_symlink():
                    shutil.rmtree(path, ignore_errors=True)
                else:
                    path.unlink(missing_ok=True)

    # -- running -----------------------------------------------------------------------------

    @property
    def exe(self):
        return self.folder / self.exe_name

    def run(self, timeout=30, cwd=None, env=None, snapshots_at=(), allow_timeout=False, args=()):
        """Starts the exe (from `cwd`, default its own folder; `env` adds environment variables;
        `snapshots_at` asks for snapshots of its windows that many seconds after the start),
        answers every message box with OK, and returns once it has exited. Past `timeout` seconds the app and everything it
        started are ended, and AppTimeout is raised unless `allow_timeout`."""
        self._put_program()
        cwd = Path(cwd or self.folder)
        out = self.folder.parent / f"observer-{time.monotonic_ns()}.jsonl"
        transcript_path = self.folder / "webview2-transcript.jsonl"
        transcript_path.unlink(missing_ok=True)
        events = self.session.observe([to_windows(self.exe), *args], out, cwd, timeout, snapshots_at, env)
        name = self._manifest_name()
        result = RunResult(events=events, transcript=read_json_lines(transcript_path),
                           user_data_dir=self.user_data_dir(name) if name else None)
        for event in events:
            kind = event.get("event")
            if kind == "exit":
                result.exit_code = event["code"]
            elif kind == "timeout":
                result.timed_out = True
            elif kind == "box":
                result.boxes.append(event)
            elif kind == "window":
                result.windows.append(event)
            elif kind == "snapshot":
                result.snapshots.append(event)
            elif kind == "error":
                raise WineError(f"the observer could not start {self.exe}: {event}")
        if result.exit_code is None and not result.timed_out:
            raise WineError(f"no exit code for {self.exe}; observer events: {events}")
        if result.timed_out and not allow_timeout:
            raise AppTimeout(f"{self.exe_name} still running after {timeout} s:\n{result.describe()}")
        return result

    def _manifest_name(self):
        """The manifest's "name" when it names a folder directly under LocalAppData."""
        with contextlib.suppress(OSError, ValueError, AttributeError):
            name = json.loads((self.folder / "package.json").read_bytes()).get("name")
            if isinstance(name, str) and name:
                self.user_data_dir(name)
                return name
        return None


# The ClientState subkeys of the runtime's release channels, in the order the loader searches them.
RUNTIME_CHANNELS = {
    "stable": "{F3017226-FE2A-4295-8BDF-00C3A9A7E4C5}",
    "beta": "{2CD8A007-E189-409D-A2C8-9AF4EF3C72AA}",
    "dev": "{0D50BFEC-CD6A-4F9A-964C-C7416E3ACB10}",
    "canary": "{65C35B14-6C1D-4122-AC46-7148CC9D6497}",
}
RUNTIME_UPDATE_KEY = r"Software\Microsoft\EdgeUpdate"


class InstalledRuntimes:
    """Runtime folders registered as the runtime's own installer registers them: value EBWebView under
    HKLM or HKCU\\Software\\Microsoft\\EdgeUpdate\\ClientState\\{channel}, in the 32-bit registry view."""

    def __init__(self, session):
        self.session = session
        self._roots = set()

    def register(self, root, channel, folder):
        """`root` "HKLM" or "HKCU"; `folder` a Unix path."""
        self._roots.add(root)
        key = rf"{root}\{RUNTIME_UPDATE_KEY}\ClientState\{RUNTIME_CHANNELS[channel]}"
        self.session.reg_add(key, "EBWebView", "REG_SZ", to_windows(folder), "/reg:32")

    def unregister_all(self, roots=None):
        """Removes the values registered here, or everything under `roots` (e.g. left by a killed run)."""
        for root in sorted(roots or self._roots):
            self.session.reg_delete(rf"{root}\{RUNTIME_UPDATE_KEY}", "/reg:32")
        self._roots.clear()


def run_quietly(args, env, timeout, cwd=None):
    """Runs a command and returns its exit code and output. The output goes through a file,
    not a pipe: Wine's background processes inherit it and would hold a pipe open."""
    with tempfile.TemporaryFile() as output:
        done = subprocess.run(args, env=env, cwd=cwd, stdin=subprocess.DEVNULL, stdout=output,
                              stderr=subprocess.STDOUT, timeout=timeout)
        output.seek(0)
        return done.returncode, output.read().decode(errors="replace")


def read_json_lines(path):
    path = Path(path)
    if not path.exists():
        return []
    return [json.loads(line) for line in path.read_text(encoding="utf-8").splitlines() if line.strip()]


def decode_body(served):
    """The body bytes of a `served` transcript line."""
    return base64.b64decode(served.get("bodyBase64") or "")


def _start_xvfb():
    read_end, write_end = os.pipe()
    server = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0", SCREEN, "-nolisten", "tcp"],
                              pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write_end)
    with os.fdopen(read_end) as answer:
        number = answer.readline().strip()
    if not number:
        server.kill()
        raise WineError("Xvfb did not start")
    return server, ":" + number


@contextlib.contextmanager
def wine_session_on_display(prefix=None):
    """A started WineSession on $DISPLAY, or on a private Xvfb when there is none; `prefix` a Wine
    prefix of its own instead of the shared one."""
    xvfb, display = (None, os.environ["DISPLAY"]) if os.environ.get("DISPLAY") else _start_xvfb()
    session = WineSession(display, prefix)
    try:
        session.start()
        yield session
    finally:
        session.stop()
        if xvfb:
            xvfb.terminate()
            xvfb.wait()
