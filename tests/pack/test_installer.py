"""The installer quillframe-pack makes, run under Wine in a prefix of this module's own: a silent install
(files, uninstall key, shortcuts), the installed app running, an install and an uninstall refused while it
runs, an upgrade, a refused downgrade and the uninstall. The app's name and title are full of script
metacharacters; every step leaves the app's user data folder alone.

Needs quillframe-pack from the native build (QF_NATIVE_BIN_DIR) and the win64-test build (QF_BIN_DIR): the
x86-64 host to brand, the observer and the stand-in runtime, which the installed app starts with.
"""
import json
import os
import re
import subprocess
import sys
import time
from pathlib import Path

import pytest

ROOT = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(ROOT / "tests" / "wine"))
import harness  # noqa: E402

NATIVE_BIN = Path(os.environ.get("QF_NATIVE_BIN_DIR", ROOT / "build" / "native" / "bin"))
WINE32 = "/usr/lib/wine/wine"  # NSIS installers are 32-bit programs
UNINSTALL_KEY = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall"

# No spaces in the name: "_?=" (an uninstall that waits, for its exit code) takes the folder unquoted.
NAME = "qf-inst$x{y}%z%é"
TITLE = "\"$INSTDIR\" ${X} $\\n \\ ' `` & é"
TITLE_2 = "Renamed: " + TITLE  # version 2.0.0 renames the app and so its shortcut
PUBLISHER = "Pub \"$0\" & Co"
APP_RUNNING, DOWNGRADE_REFUSED = 2, 3
STEP_SECONDS = 120


@pytest.fixture(scope="module")
def wine(tmp_path_factory):
    with harness.wine_session_on_display(tmp_path_factory.mktemp("wine") / "prefix") as session:
        # A new prefix links the desktop to $HOME; the desktop shortcut belongs in the prefix.
        desktop = profile(session) / "Desktop"
        if desktop.is_symlink():
            desktop.unlink()
        desktop.mkdir(exist_ok=True)
        yield session


def profile(session):
    return session.local_appdata.parent.parent


def pack(folder, out, version, title, www, desktop_shortcut=False):
    """The installer of a stand-in app of this version, whose www holds `www`."""
    app = folder / version
    for relative, text in {"index.html": "<!doctype html><title>start</title>", **www}.items():
        (app / "www" / relative).parent.mkdir(parents=True, exist_ok=True)
        (app / "www" / relative).write_text(text)
    (app / "package.json").write_text(json.dumps(
        {"name": NAME, "version": version, "author": PUBLISHER, "window": {"title": title}}))
    (app / "WebView2Loader.dll").write_bytes((harness.bin_dir_64() / "WebView2Loader.dll").read_bytes())
    args = [str(NATIVE_BIN / "quillframe-pack"), str(app), "--out", str(out / version), "--allow-problems",
            "--exe", str(harness.bin_dir_64() / "Quillframe.exe")]
    args += ["--desktop-shortcut"] if desktop_shortcut else []
    done = subprocess.run(args, capture_output=True, text=True, timeout=STEP_SECONDS)
    assert done.returncode == 0, done.stdout[-3000:] + done.stderr[-3000:]
    [setup] = (out / version).glob("*-setup.exe")
    return setup


class Installation:
    """Where the app lands in the Wine prefix, and how it is installed, run and removed."""

    def __init__(self, session):
        self.session = session
        self.folder = session.local_appdata / "Programs" / NAME
        self.folder_windows = session.local_appdata_windows + rf"\Programs\{NAME}"
        self.user_data = session.local_appdata / NAME
        self.start_menu = profile(session) / "AppData/Roaming/Microsoft/Windows/Start Menu/Programs"
        self.uninstaller = self.folder / f"Uninstall {NAME}.exe"

    def run(self, *args):
        return harness.run_quietly([WINE32, *map(str, args)], self.session.env(), STEP_SECONDS)[0]

    def install(self, setup):
        return self.run(setup, "/S")

    def uninstall_and_wait(self):
        """Uninstalls as Windows would (the uninstaller hands over to a copy of itself and ends at once)."""
        self.run(self.uninstaller, "/S")
        deadline = time.monotonic() + STEP_SECONDS
        while self.folder.exists() or self.key() is not None:
            assert time.monotonic() < deadline, "the uninstaller did not finish"
            time.sleep(0.5)

    def key(self):
        """The uninstall key's values (DWORDs as ints), or None when it is missing."""
        exported = self.session.prefix.parent / "uninstall-key.reg"
        exported.unlink(missing_ok=True)
        code, _ = harness.run_quietly([harness.WINE64, harness.REG, "export", rf"{UNINSTALL_KEY}\{NAME}",
                                       harness.to_windows(exported), "/y"], self.session.env(), STEP_SECONDS)
        return parse_reg_export(exported.read_text(encoding="utf-16")) if code == 0 else None

    def shortcuts(self):
        """How many shortcuts the Start menu and the desktop hold."""
        folders = (self.start_menu, profile(self.session) / "Desktop")
        return tuple(len(list(folder.glob("*.lnk"))) for folder in folders)

    def files(self):
        return sorted(p.relative_to(self.folder).as_posix() for p in self.folder.rglob("*") if p.is_file())


def parse_reg_export(text):
    values = {}
    for line in text.splitlines():
        if not line.startswith('"'):
            continue
        name, _, data = line[1:].partition('"=')
        if data.startswith("dword:"):
            values[name] = int(data[6:], 16)
        else:
            values[name] = re.sub(r"\\(.)", r"\1", data[1:-1])
    return values


@pytest.fixture(scope="module")
def setups(tmp_path_factory):
    folder, out = tmp_path_factory.mktemp("apps"), tmp_path_factory.mktemp("out")
    return {"1.0.0": pack(folder, out, "1.0.0", TITLE, {"old.txt": "1"}, desktop_shortcut=True),
            "2.0.0": pack(folder, out, "2.0.0", TITLE_2, {"new.txt": "2"})}


@pytest.fixture(scope="module")
def installed(wine, setups):
    """Version 1.0.0 installed silently, over a user data folder the web runtime would have filled."""
    installation = Installation(wine)
    (installation.user_data / "EBWebView").mkdir(parents=True, exist_ok=True)
    (installation.user_data / "EBWebView" / "Local State").write_text("{}")
    assert installation.install(setups["1.0.0"]) == 0
    return installation


def test_the_silent_install_writes_files_key_and_shortcuts(installed):
    exe = f"{NAME}.exe"
    assert installed.files() == sorted([exe, installed.uninstaller.name, "WebView2Loader.dll", "package.json",
                                        "www/index.html", "www/old.txt"])
    folder = installed.folder_windows
    uninstaller = rf'"{folder}\{installed.uninstaller.name}"'
    key = installed.key()
    assert key.pop("EstimatedSize") > 0
    shortcut_name = key.pop("ShortcutName")
    assert key == {"DisplayName": TITLE, "DisplayVersion": "1.0.0", "Publisher": PUBLISHER,
                   "DisplayIcon": rf"{folder}\{exe}", "InstallLocation": folder, "UninstallString": uninstaller,
                   "QuietUninstallString": uninstaller + " /S", "NoModify": 1, "NoRepair": 1,
                   "FileVersion": "1.0.0.0"}
    for shortcuts in (installed.start_menu, profile(installed.session) / "Desktop"):
        [shortcut] = shortcuts.glob("*.lnk")
        assert shortcut.name == shortcut_name + ".lnk"
        assert exe.encode("utf-16-le") in shortcut.read_bytes()


def start_installed_app(installation):
    """Starts the installed exe and returns its process once it has asked the stand-in runtime for an
    environment, with the user data folder the installer must leave alone."""
    app = subprocess.Popen([harness.WINE64, str(installation.folder / f"{NAME}.exe")],
                           env=installation.session.env(), stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL)
    transcript = installation.folder / "webview2-transcript.jsonl"
    deadline = time.monotonic() + STEP_SECONDS
    while not (calls := [line for line in harness.read_json_lines(transcript)
                         if line.get("call") == "CreateCoreWebView2EnvironmentWithOptions"]):
        assert app.poll() is None and time.monotonic() < deadline, f"the installed app did not start ({app.poll()})"
        time.sleep(0.5)
    assert calls[0]["userDataFolder"] == installation.session.local_appdata_windows + "\\" + NAME
    return app


def install(version):
    return lambda installation, setups: installation.install(setups[version])


def uninstall_in_place(installation, _setups):
    """Waits for the uninstaller's exit code: "_?=" keeps it from handing over to a copy of itself."""
    return installation.run(installation.uninstaller, "/S", "_?=" + installation.folder_windows)


def uninstall(installation, _setups):
    installation.uninstall_and_wait()
    return 0


# (step, app running, what it does, exit code, DisplayVersion afterwards (None: no key), www afterwards,
#  shortcuts afterwards (Start menu, desktop))
STEPS = [
    ("install 2.0.0 while the app runs", True, install("2.0.0"), APP_RUNNING, "1.0.0", ["index.html", "old.txt"],
     (1, 1)),
    ("uninstall while the app runs", True, uninstall_in_place, APP_RUNNING, "1.0.0", ["index.html", "old.txt"],
     (1, 1)),
    ("upgrade to 2.0.0", False, install("2.0.0"), 0, "2.0.0", ["index.html", "new.txt"], (1, 0)),
    ("downgrade to 1.0.0", False, install("1.0.0"), DOWNGRADE_REFUSED, "2.0.0", ["index.html", "new.txt"], (1, 0)),
    ("uninstall", False, uninstall, 0, None, [], (0, 0)),
]


def test_running_app_upgrade_downgrade_and_uninstall(installed, setups):
    app = start_installed_app(installed)
    user_data = sorted(installed.user_data.rglob("*"))
    try:
        for step, running, act, exit_code, version, www, shortcuts in STEPS:
            if not running and app.poll() is None:
                app.kill()
                app.wait(STEP_SECONDS)
            assert act(installed, setups) == exit_code, step
            key = installed.key()
            assert (key and key["DisplayVersion"]) == version, step
            assert sorted(p.name for p in (installed.folder / "www").glob("*")) == www, step
            assert installed.shortcuts() == shortcuts, step
            assert sorted(installed.user_data.rglob("*")) == user_data, step
    finally:
        app.kill()
