#!/bin/bash
# Brings a fresh Debian 12 machine to everything the build and the tests need.
# Run as root; safe to run again, and silent when nothing is missing.
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

if [ "$(id -u)" != 0 ]; then
  echo "setup.sh: run as root" >&2
  exit 1
fi

packages=(
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 mingw-w64-i686-dev mingw-w64-x86-64-dev
  wine wine32:i386 wine64 xvfb xauth
  nlohmann-json3-dev googletest libgtest-dev python3-pytest
  cmake ninja-build clang libclang-rt-14-dev qemu-user-static
  chromium xdotool imagemagick ffmpeg fonts-dejavu-core
  nsis osslsigncode openssl libstb-dev openbox x11-utils fonts-wine
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing+=("$p")
done
# Node may come from another source than Debian (its own npm included); only the commands matter.
command -v node >/dev/null || missing+=(nodejs)
command -v npm >/dev/null || missing+=(npm)

if [ ${#missing[@]} -gt 0 ]; then
  echo "setup.sh: installing ${missing[*]}"
  dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
fi

# 32-bit Wine needs 32-bit ELF; where the kernel cannot run it, qemu user emulation does.
if ! /lib/ld-linux.so.2 --version >/dev/null 2>&1; then
  binfmt=/proc/sys/fs/binfmt_misc
  [ -e "$binfmt/register" ] || mount -t binfmt_misc binfmt_misc "$binfmt"
  if [ ! -e "$binfmt/qemu-i386" ]; then
    printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:OCF' > "$binfmt/register"
  fi
  echo 1 > "$binfmt/qemu-i386"
  if ! /lib/ld-linux.so.2 --version >/dev/null 2>&1; then
    echo "setup.sh: this machine cannot run 32-bit programs, not even through qemu-i386" >&2
    exit 1
  fi
fi

# The shared Wine prefix of the tests; made once, reused afterwards.
prefix="$repo/build/wine/prefix"
if [ ! -f "$prefix/system.reg" ]; then
  echo "setup.sh: creating the Wine prefix $prefix"
  mkdir -p "$prefix"
  log="$repo/build/wine/wineboot.log"
  if ! WINEPREFIX="$prefix" WINEDLLOVERRIDES="mscoree,mshtml=" WINEDEBUG=-all \
      /usr/lib/wine/wine64 wineboot -i >"$log" 2>&1; then
    cat "$log" >&2
    exit 1
  fi
  WINEPREFIX="$prefix" /usr/lib/wine/wineserver64 -w
fi

# Playwright's client library, for the test that attaches to the preview as outside tools do.
if [ ! -d "$repo/build/node/node_modules/playwright-core" ]; then
  echo "setup.sh: installing playwright-core into build/node"
  npm install --silent --no-audit --no-fund --prefix "$repo/build/node" playwright-core@1 >/dev/null
fi
