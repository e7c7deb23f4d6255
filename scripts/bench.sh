#!/usr/bin/env bash
# Benchmarks of the host, each figure against a floor measured in the same run
# on the same machine. Prints a table and writes it as JSON to
# build/bench/results.json. Never part of the test command.
#
#   scripts/bench.sh [--runs N] [--scale-files N] [--no-32]
#
# --runs:        start-up runs of each program (default 10; the median counts)
# --scale-files: 256 MiB sparse files offered to the cache-scale item (default 40)
# --no-32:       skip the cache-scale item, which runs the 32-bit bench under
#                emulated 32-bit Wine (about a minute to start here)
#
# Build folders: $QF_BENCH_BUILD64 (default build/bench-w64, preset win64-test)
# and $QF_BENCH_BUILD32 (default build/bench-w32, preset win32-test). Wine
# prefix: $QF_WINEPREFIX (default build/bench/prefix).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
runs=10
scale_files=40
with_32=1
while [ $# -gt 0 ]; do
  case $1 in
    --runs) runs=$2; shift 2 ;;
    --scale-files) scale_files=$2; shift 2 ;;
    --no-32) with_32=0; shift ;;
    *) echo "usage: $0 [--runs N] [--scale-files N] [--no-32]" >&2; exit 2 ;;
  esac
done

b64=$(realpath -m "${QF_BENCH_BUILD64:-$root/build/bench-w64}")
b32=$(realpath -m "${QF_BENCH_BUILD32:-$root/build/bench-w32}")
out=$root/build/bench
data=$out/data
mkdir -p "$out"

step() { printf '== %s\n' "$*" >&2; }
winpath() { printf 'Z:%s' "$(realpath -m "$1" | tr / '\\')"; }

# -- build ------------------------------------------------------------------------------------------
step "building (x86-64 twin in $b64, shipped 32-bit exe in $b32)"
[ -f "$b64/CMakeCache.txt" ] || cmake --preset win64-test -B "$b64" >/dev/null
cmake --build "$b64" -j2 --target Quillframe WebView2Loader example_extension example_app qf_bench qf_launch \
  qf_bare_window qf_bare_window_imports >/dev/null
[ -f "$b32/CMakeCache.txt" ] || cmake --preset win32-test -B "$b32" >/dev/null
cmake --build "$b32" -j2 --target Quillframe qf_bare_window example_extension example_app \
  $([ $with_32 = 1 ] && echo qf_bench) >/dev/null

# -- data -------------------------------------------------------------------------------------------
step "preparing files in $data"
python3 - "$data" <<'EOF'
import os, sys
data = sys.argv[1]
small = os.path.join(data, "www", "small")
os.makedirs(small, exist_ok=True)
for label, size in (("1k", 1024), ("16k", 16 * 1024), ("256k", 256 * 1024)):
    for index in range(16):
        path = os.path.join(small, f"{label}_{index:02d}.bin")
        if not os.path.exists(path) or os.path.getsize(path) != size:
            with open(path, "wb") as file:
                file.write(os.urandom(size))
media = os.path.join(data, "www", "media")
os.makedirs(media, exist_ok=True)
path = os.path.join(media, "seek.bin")
if not os.path.exists(path) or os.path.getsize(path) != 256 << 20:
    with open(path, "wb") as file:
        for _ in range(256):
            file.write(os.urandom(1 << 20))
EOF
if [ $with_32 = 1 ]; then
  # Sparse: the item needs address space, not disk.
  mkdir -p "$data/scale/www/big"
  for i in $(seq 0 $((scale_files - 1))); do truncate -s 256M "$data/scale/www/big/$(printf %03d "$i").bin"; done
fi

# Start-up: the example app beside the x86-64 twin and the stand-in runtime
# (whose page does nothing after loading), and the bare window, plain and
# linked with the host's libraries, in a folder of their own.
app=$out/startup-app
rm -rf "$app" "$out/startup-bare"
mkdir -p "$app" "$out/startup-bare"
cp "$b64/bin/Quillframe.exe" "$b64/bin/WebView2Loader.dll" "$b64/bin/examples/package.json" \
  "$b64/bin/examples/ZU2DavErudoze.dll" "$app/"
cp -r "$b64/bin/examples/www" "$app/"
echo '{"steps": []}' > "$app/webview2-scenario.json"
cp "$b64/bin/qf_bare_window.exe" "$b64/bin/qf_bare_window_imports.exe" "$out/startup-bare/"

# -- wine -------------------------------------------------------------------------------------------
export WINEPREFIX=${QF_WINEPREFIX:-$out/prefix}
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset WINEARCH
xvfb_pid=
cleanup() {
  /usr/lib/wine/wineserver64 -k 2>/dev/null || true
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; fi
}
trap cleanup EXIT
if [ -z "${DISPLAY:-}" ]; then
  fifo=$(mktemp -u)
  mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
  xvfb_pid=$!
  read -r -t 30 number < "$fifo"
  rm -f "$fifo"
  export DISPLAY=:$number
fi
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  step "creating the Wine prefix $WINEPREFIX"
  /usr/lib/wine/wine64 wineboot -i >/dev/null 2>&1
  /usr/lib/wine/wineserver64 -w
fi
# A server that is already running (the prefix's own, kept alive) serves just as well.
/usr/lib/wine/wineserver64 -p 2>/dev/null || true
# Unmanaged windows: without a window manager Wine would wait on managed ones.
/usr/lib/wine/wine64 'C:\windows\system32\reg.exe' add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1

results=$out/results.jsonl
: > "$results"
bench64() { /usr/lib/wine/wine64 "$b64/bin/qf_bench.exe" "$@" >> "$results"; }

step "start-up ($runs runs each)"
/usr/lib/wine/wine64 "$b64/bin/qf_launch.exe" "$runs" "$(winpath "$out/startup-bare/qf_bare_window.exe")" \
  "$(winpath "$app/Quillframe.exe")" "$(winpath "$out/startup-bare/qf_bare_window_imports.exe")" >> "$results"
step "small files"
bench64 serve "$(winpath "$data")\\"
step "seeking"
bench64 seek "$(winpath "$data")\\"
step "bridge"
bench64 bridge "$(winpath "$data")\\" "$(winpath "$b64/bin/examples")\\"
step "footprint"
bench64 footprint "$(winpath "$data")\\" "$(winpath "$b64/bin/examples")\\"
python3 - "$b32" "$results" <<'EOF'
import json, os, shutil, subprocess, sys, tempfile
build, results = sys.argv[1:]
strip = next(line.split("=", 1)[1].strip() for line in open(os.path.join(build, "CMakeCache.txt"))
             if line.startswith("CMAKE_STRIP:FILEPATH="))
sizes = {}
with tempfile.TemporaryDirectory() as stage:
    for name in ("Quillframe.exe", "qf_bare_window.exe"):
        copy = os.path.join(stage, name)
        shutil.copyfile(os.path.join(build, "bin", name), copy)
        subprocess.run([strip, "--strip-unneeded", copy], check=True)  # as scripts/package.sh ships it
        sizes[name] = os.path.getsize(copy)
host, floor = sizes["Quillframe.exe"], sizes["qf_bare_window.exe"]
with open(results, "a") as out:
    out.write(json.dumps({"item": "footprint", "figure": "shipped 32-bit Quillframe.exe, stripped (floor: bare window)",
                          "unit": "bytes", "host": host, "floor": floor, "ratio": host / floor}) + "\n")
EOF
if [ $with_32 = 1 ]; then
  step "cache scale (32-bit bench under emulated 32-bit Wine; slow to start)"
  /usr/lib/wine/wine "$b32/bin/qf_bench.exe" scale "$(winpath "$data/scale")\\" "$scale_files" >> "$results"
fi

step "installer (example app)"
native=$root/build/native
[ -f "$native/CMakeCache.txt" ] || cmake --preset native -B "$native" >/dev/null
cmake --build "$native" -j2 --target quillframe-pack >/dev/null
python3 "$root/bench/pack_bench.py" "$native/bin" "$b32" "$results"

python3 "$root/bench/report.py" "$results" "$out/results.json"
