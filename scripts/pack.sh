#!/usr/bin/env bash
# Turns an app folder into what its author ships: the branded exe, a portable
# zip and a per-user installer, optionally signed (docs/distribution.md):
#
#   scripts/pack.sh APP_FOLDER [--out DIR] [--sign PFX_FILE --sign-password-file FILE]
#                   [--desktop-shortcut] [--allow-problems] [--exe HOST_EXE]
#
# Builds the native quillframe-pack and the shipped 32-bit Quillframe.exe first
# when they are missing or out of date (build/native, build/win32), and brands a
# stripped copy of that exe unless --exe names another host.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
native=$root/build/native
win32=$root/build/win32

build() {  # preset, folder, target: quiet unless it fails
  local log
  log=$(mktemp)
  if ! { [ -f "$2/CMakeCache.txt" ] || cmake --preset "$1" -S "$root" -B "$2"; } >"$log" 2>&1 ||
     ! cmake --build "$2" -j2 --target "$3" >>"$log" 2>&1; then
    cat "$log" >&2
    rm -f "$log"
    echo "pack.sh: building $3 failed (above); scripts/setup.sh installs what the build needs" >&2
    exit 1
  fi
  rm -f "$log"
}

build native "$native" quillframe-pack
host=()
if [[ " $* " != *" --exe "* ]]; then
  build win32 "$win32" Quillframe
  stage=$(mktemp -d)
  trap 'rm -rf "$stage"' EXIT
  # Symbols help only a debugger on the build machine.
  strip=$(sed -n 's/^CMAKE_STRIP:FILEPATH=//p' "$win32/CMakeCache.txt")
  "$strip" --strip-unneeded -o "$stage/Quillframe.exe" "$win32/bin/Quillframe.exe"
  host=(--exe "$stage/Quillframe.exe")
fi
"$native/bin/quillframe-pack" "$@" "${host[@]}"
