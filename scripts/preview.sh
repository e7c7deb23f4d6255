#!/usr/bin/env bash
# Runs a Quillframe app in the preview runtime: Debian's Chromium, driven over DevTools by
# EmbeddedBrowserWebView.dll, inside the host's own window (docs/preview.md).
#
#   scripts/preview.sh [--x64] [--screenshot FILE] [--seconds N] [--watch] [--quiet] [--devtools] APP_FOLDER
#
# The app is staged in a temporary folder (its files linked, never changed) with the built exe and
# the preview runtime: in the app's webview2\ folder when its manifest asks for a fixed runtime,
# otherwise installed for the Wine prefix through the registry. With a display the window stays until
# you close it; without one (or with --screenshot) it runs under Xvfb, saves a screenshot once the page
# is shown, and ends. --x64 runs the 64-bit twin instead of the shipped 32-bit exe. The page's console
# and uncaught errors are printed as they happen (--quiet: not). --watch reloads the page when a file under
# www/ changes and restarts the app when package.json does. --devtools opens DevTools for the page.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

preset=win32-test arch=x86 wine=/usr/lib/wine/wine screenshot= seconds=6 watch=
while [ $# -gt 1 ]; do
  case $1 in
    --x64) preset=win64-test arch=x64 wine=/usr/lib/wine/wine64; shift ;;
    --screenshot) screenshot=$2; shift 2 ;;
    --seconds) seconds=$2; shift 2 ;;
    --watch) watch=1; shift ;;
    # Read by the preview runtime.
    --quiet) export QUILLFRAME_PREVIEW_CONSOLE=0; shift ;;
    --devtools) export QUILLFRAME_PREVIEW_DEVTOOLS=1; shift ;;
    *) echo "preview.sh: unknown option $1" >&2; exit 2 ;;
  esac
done
app=${1:?usage: scripts/preview.sh [--x64] [--screenshot FILE] [--seconds N] [--watch] [--quiet] [--devtools] APP_FOLDER}
app=$(cd "$app" && pwd)
[ -f "$app/package.json" ] || { echo "preview.sh: no package.json in $app" >&2; exit 2; }
if [ -n "$watch" ] && { [ -z "${DISPLAY:-}" ] || [ -n "$screenshot" ]; }; then
  echo "preview.sh: --watch needs a display and no --screenshot" >&2
  exit 2
fi

# QUILLFRAME_PREVIEW_BIN_DIR: another build's bin folder (the tests' own).
bin=${QUILLFRAME_PREVIEW_BIN_DIR:-$root/build/$preset/bin}
runtime=$bin/preview/EBWebView/$arch/EmbeddedBrowserWebView.dll
for f in "$bin/Quillframe.exe" "$runtime"; do
  [ -f "$f" ] || { echo "preview.sh: $f is missing: cmake --build build/$preset --target Quillframe qf_preview_runtime" >&2; exit 2; }
done

# A prefix of its own: an installed preview runtime must not show up in the tests' prefix.
export WINEPREFIX=${WINEPREFIX:-$root/build/wine/preview-prefix} WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "preview.sh: creating the Wine prefix $WINEPREFIX"
  mkdir -p "$WINEPREFIX"
  /usr/lib/wine/wine64 wineboot -i >/dev/null 2>&1
  /usr/lib/wine/wineserver64 -w
fi
stage=$(mktemp -d /tmp/quillframe-preview.XXXXXX)
trap 'rm -rf "$stage"' EXIT
cp -rs "$app/." "$stage/"
rm -f "$stage/Quillframe.exe"
cp "$bin/Quillframe.exe" "$stage/"

version=$(python3 -c 'import sys; print(open(sys.argv[1],"rb").read().decode("utf-16-le","ignore").split("ProductVersion\0")[1].split("\0")[0].strip("\0"))' "$runtime" 2>/dev/null || echo 156.0.0.0)
if grep -q '"distribution-mode"[[:space:]]*:[[:space:]]*"fixed"' "$app/package.json"; then
  rm -rf "$stage/webview2"
  mkdir -p "$stage/webview2/EBWebView/$arch"
  cp "$runtime" "$stage/webview2/EBWebView/$arch/"
else
  # Installed for the prefix: <folder>\EBWebView\<arch>\, the folder named by the stable channel's
  # ClientState key (value EBWebView) and ending in the version.
  folder='C:\Program Files (x86)\Quillframe Preview\Application\'$version
  unix=$WINEPREFIX/drive_c/Program\ Files\ \(x86\)/Quillframe\ Preview/Application/$version/EBWebView/$arch
  mkdir -p "$unix"
  cp "$runtime" "$unix/"
  key='HKLM\SOFTWARE\WOW6432Node\Microsoft\EdgeUpdate\ClientState\{F3017226-FE2A-4295-8BDF-00C3A9A7E4C5}'
  # reg.exe by its full path: a bare "reg" goes through ShellExecuteEx, which now and then fails.
  /usr/lib/wine/wine64 'C:\windows\system32\reg.exe' add "$key" /v EBWebView /t REG_SZ /d "$folder" /f >/dev/null 2>&1 ||
    { echo "error: could not register the preview runtime in the Wine prefix" >&2; exit 1; }
fi

if [ -n "$watch" ]; then
  # The app's own www/, not links to its files: files an editor adds or replaces are served as they are now.
  rm -rf "$stage/www"
  ln -s "$app/www" "$stage/www"
  cd "$stage"
  python3 "$root/scripts/preview_watch.py" "$app" -- "$wine" "$stage/Quillframe.exe"
  exit $?
fi

if [ -n "${DISPLAY:-}" ] && [ -z "$screenshot" ]; then
  cd "$stage"
  "$wine" "$stage/Quillframe.exe"
  exit $?
fi

screenshot=${screenshot:-$root/build/preview-screenshot.png}
mkdir -p "$(dirname "$screenshot")"
echo "Starting $(basename "$app") headless in the preview (the 32-bit exe runs emulated here: allow a minute or two)..."
xvfb-run -a -s "-screen 0 1280x900x24" bash -c '
  wine=$1 stage=$2 shot=$3 seconds=$4
  # A wineserver left running keeps the display it started with.
  /usr/lib/wine/wineserver64 -k 2>/dev/null || true
  # No window manager here: unmanaged windows skip Wine waiting for one.
  /usr/lib/wine/wine64 "C:\\windows\\system32\\reg.exe" add "HKCU\Software\Wine\X11 Driver" /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
  cd "$stage"; "$wine" "$stage/Quillframe.exe" & host=$!
  for _ in $(seq 600); do
    xdotool search --onlyvisible --class "^quillframe-preview-" >/dev/null 2>&1 && break
    kill -0 $host 2>/dev/null || break
    sleep 0.5
  done
  sleep "$seconds"
  import -window root "$shot"
  [ -n "${QF_PREVIEW_DEBUG:-}" ] && xwininfo -root -tree | grep -iE "quillframe|chromium" >&2
  kill $host 2>/dev/null; wait $host 2>/dev/null || true
' _ "$wine" "$stage" "$screenshot" "$seconds"
echo "screenshot: $screenshot"
