"""The release of the example app as quillframe-pack makes it: the installer's size against the app's own files
zipped, and the time from `setup.exe /S` to installed against starting a 32-bit program under the same Wine and
unpacking the same files from the portable zip.

    python3 bench/pack_bench.py NATIVE_BIN BUILD32 RESULTS_JSONL

Runs under the Wine prefix and display of scripts/bench.sh (WINEPREFIX, DISPLAY).
"""
import json
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time
import zipfile
from pathlib import Path

RUNS = 5
WINE32 = "/usr/lib/wine/wine"
AIM_BYTES = 512 * 1024


def stripped_host(build, stage):
    strip = next(line.split("=", 1)[1].strip() for line in open(build / "CMakeCache.txt")
                 if line.startswith("CMAKE_STRIP:FILEPATH="))
    host = stage / "Quillframe.exe"
    subprocess.run([strip, "--strip-unneeded", "-o", host, build / "bin" / "Quillframe.exe"], check=True)
    return host


def app_files_zipped(app, target):
    """The app's own files (what it adds to the host), deflated as well as Python's zip can."""
    with zipfile.ZipFile(target, "w", zipfile.ZIP_DEFLATED, compresslevel=9) as archive:
        for path in sorted(app.rglob("*")):
            if path.is_file():
                archive.write(path, path.relative_to(app))
    return target.stat().st_size


def median_seconds(action):
    times = []
    for _ in range(RUNS):
        start = time.perf_counter()
        action()
        times.append(time.perf_counter() - start)
    return statistics.median(times)


def main(native_bin, build32, results):
    app = build32 / "bin" / "examples"
    name = json.loads((app / "package.json").read_text())["name"]
    with tempfile.TemporaryDirectory() as temp:
        stage, out = Path(temp), Path(temp) / "out"
        done = subprocess.run([native_bin / "quillframe-pack", app, "--out", out, "--allow-problems",
                               "--exe", stripped_host(build32, stage)], capture_output=True, text=True)
        if done.returncode != 0:
            sys.exit("pack_bench: quillframe-pack failed: " + done.stdout + done.stderr)
        setup = next(out.glob("*-setup.exe"))
        portable = next(out.glob("*-win32.zip"))
        own = app_files_zipped(app, stage / "own.zip")
        size = setup.stat().st_size
        installed = Path(os.environ["WINEPREFIX"]) / "drive_c" / "users" / os.environ.get("USER", "root")
        install = lambda: subprocess.run([WINE32, setup, "/S"], check=True, stdout=subprocess.DEVNULL,  # noqa: E731
                                       stderr=subprocess.DEVNULL)
        unzip = lambda: (shutil.rmtree(stage / "unzipped", ignore_errors=True),  # noqa: E731
                         zipfile.ZipFile(portable).extractall(stage / "unzipped"))
        # The least an installer can cost: a 32-bit program started under the same Wine, and the files unpacked.
        start = lambda: subprocess.run([WINE32, r"C:\windows\syswow64\cmd.exe", "/c", "exit"],  # noqa: E731
                                       check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        seconds, floor = median_seconds(install), median_seconds(start) + median_seconds(unzip)
        uninstaller = next(installed.glob(f"AppData/Local/Programs/{name}/Uninstall*.exe"), None)
        if uninstaller:
            subprocess.run([WINE32, uninstaller, "/S"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    lines = [
        {"item": "installer", "figure": "example app's setup.exe (floor: its own files zipped)", "unit": "bytes",
         "host": size, "floor": own, "ratio": size / own},
        {"item": "installer overhead", "figure": "setup.exe minus the app's files zipped (floor: 0.5 MB)",
         "unit": "bytes", "host": size - own, "floor": AIM_BYTES, "ratio": (size - own) / AIM_BYTES},
        {"item": "installer", "figure": f"setup.exe /S to installed, median of {RUNS} (floor: start a 32-bit program, unzip the portable zip)",
         "unit": "s", "host": seconds, "floor": floor, "ratio": seconds / floor},
    ]
    with open(results, "a") as out_file:
        for line in lines:
            out_file.write(json.dumps(line) + "\n")


if __name__ == "__main__":
    main(Path(sys.argv[1]), Path(sys.argv[2]), sys.argv[3])
