#!/usr/bin/env bash
# Builds the shipped 32-bit Quillframe.exe and runs the example app in the preview runtime: the page
# rendered by Debian's Chromium inside the exe's own window (docs/preview.md). With a display it stays
# open until you close it; headless it runs under Xvfb and saves build/example/screenshot.png.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

bash scripts/setup.sh
cmake --preset win32-test >/dev/null
cmake --build build/win32-test -j2 --target Quillframe qf_preview_runtime qf_preview_run example_extension example_app

if [ -n "${DISPLAY:-}" ]; then
  exec scripts/preview.sh build/win32-test/bin/examples
fi
exec scripts/preview.sh --screenshot "$root/build/example/screenshot.png" build/win32-test/bin/examples
