#!/usr/bin/env bash
# Checks an app folder the way Quillframe.exe reads it at start-up, and prints
# a checklist with a fix for every problem:
#
#   scripts/doctor.sh APP_FOLDER [--json]
#
# Builds the native quillframe-doctor first when it is missing or out of date
# (build/native, the native preset). Exit code 0 when the app would start and
# serve its start page, 1 when not.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$root/build/native

if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake --preset native -S "$root" -B "$build" >/dev/null
fi
cmake --build "$build" -j2 --target quillframe-doctor >/dev/null
exec "$build/bin/quillframe-doctor" "$@"
