#!/usr/bin/env bash
# Runs a Quillframe app in the preview runtime: Debian's Chromium, driven over DevTools by
# EmbeddedBrowserWebView.dll, inside the host's own window (docs/preview.md lists every option).
#
#   scripts/preview.sh [--x64] [--exe FILE] [--screenshot FILE] [--seconds N] [--timeout N] [--watch] [--quiet]
#                      [--devtools] APP_FOLDER
#
# The app is staged in a temporary folder (its files linked, never changed) with an exe and the preview
# runtime: in the app's webview2\ folder when its manifest asks for a fixed runtime, otherwise installed for
# the Wine prefix through the registry. The exe is the app's own (<name>.exe or Quillframe.exe beside
# package.json, or --exe FILE), else the built one (--x64: the 64-bit twin). A box the host shows is printed
# at once, and so are the page's console and uncaught errors (--quiet: not). With a display the window stays
# until you close it; without one (or with --screenshot) it runs under Xvfb with a window manager, saves a
# picture of the app's window N seconds after the page shows, and ends. No page within the timeout, or a box
# without a display, ends the run with a non-zero exit code. --watch reloads the page when a file under www/
# changes and restarts the app when package.json does. --devtools opens DevTools for the page.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
arguments=("$@")
usage="usage: scripts/preview.sh [--x64] [--exe FILE] [--screenshot FILE] [--seconds N] [--timeout N] [--watch] [--quiet] [--devtools] APP_FOLDER"

x64= exe= screenshot= seconds=2 timeout= watch=
while [ $# -gt 1 ]; do
  case $1 in
    --x64) x64=1; shift ;;
    --exe) exe=$(realpath "$2"); shift 2 ;;
    --screenshot) screenshot=$2; shift 2 ;;
    --seconds) seconds=$2; shift 2 ;;
    --timeout) timeout=$2; shift 2 ;;
    --watch) watch=1; shift ;;
    # Read by the preview runtime.
    --quiet) export QUILLFRAME_PREVIEW_CONSOLE=0; shift ;;
    --devtools) export QUILLFRAME_PREVIEW_DEVTOOLS=1; shift ;;
    *) echo "preview.sh: unknown option $1" >&2; echo "$usage" >&2; exit 2 ;;
  esac
done
app=${1:?$usage}
app=$(cd "$app" && pwd)
[ -f "$app/package.json" ] || { echo "preview.sh: no package.json in $app" >&2; exit 2; }
if [ -n "$watch" ] && { [ -z "${DISPLAY:-}" ] || [ -n "$screenshot" ]; }; then
  echo "preview.sh: --watch needs a display and no --screenshot" >&2
  exit 2
fi

# The exe: --exe, else the app's own, else the one built (--x64 always the built 64-bit twin).
[ -n "$exe$x64" ] || exe=$(python3 "$root/scripts/app_folder.py" exe "$app")
if [ -n "$exe" ]; then
  arch=$(python3 "$root/scripts/app_folder.py" machine "$exe")
  [ -n "$arch" ] || { echo "preview.sh: $exe is not a Windows x86 or x64 program" >&2; exit 2; }
  [ -n "${QF_PREVIEW_XVFB:-}" ] || echo "preview.sh: running the app's own $(basename "$exe") ($arch)"
else
  arch=x86; [ -n "$x64" ] && arch=x64
fi
if [ "$arch" = x64 ]; then preset=win64-test; else preset=win32-test; fi
# A 32-bit program starts in seconds where the machine runs it, in about a minute under qemu (docs/testing.md).
if [ -z "$timeout" ]; then
  timeout=60
  [ "$arch" = x86 ] && grep -qx enabled /proc/sys/fs/binfmt_misc/qemu-i386 2>/dev/null && timeout=600
fi

# The bin folders the tests use (QF_BIN_DIR, QF_BIN32_DIR), by default those of the presets.
bin64=${QF_BIN_DIR:-$root/build/win64-test/bin} bin32=${QF_BIN32_DIR:-$root/build/win32-test/bin}
if [ "$arch" = x64 ]; then bin=$bin64 wine=/usr/lib/wine/wine64; else bin=$bin32 wine=/usr/lib/wine/wine; fi
# QUILLFRAME_PREVIEW_BIN_DIR: another build's bin folder for the chosen architecture (a test's own).
bin=${QUILLFRAME_PREVIEW_BIN_DIR:-$bin}
runtime=$bin/preview/EBWebView/$arch/EmbeddedBrowserWebView.dll
launcher=$bin/preview/qf_preview_run.exe
# The 64-bit launcher starts at native speed, and starts a 32-bit host as well as a 64-bit one.
[ -f "$bin64/preview/qf_preview_run.exe" ] && launcher=$bin64/preview/qf_preview_run.exe
for f in "${exe:-$bin/Quillframe.exe}" "$runtime" "$launcher"; do
  [ -f "$f" ] || { echo "preview.sh: $f is missing: cmake --build build/$preset --target Quillframe qf_preview_runtime qf_preview_run" >&2; exit 2; }
done

# Without a display, or for a picture, the whole run goes onto a virtual screen of its own.
if [ -z "${QF_PREVIEW_XVFB:-}" ] && { [ -z "${DISPLAY:-}" ] || [ -n "$screenshot" ]; }; then
  screenshot=${screenshot:-$root/build/preview-screenshot.png}
  mkdir -p "$(dirname "$screenshot")"
  screenshot=$(realpath "$screenshot")
  echo "preview.sh: starting $(basename "$app") headless, on Xvfb with a window manager"
  # Xvfb started here rather than through xvfb-run, whose own clean-up can fail after the run and replace the
  # run's exit code with its own.
  fifo=$(mktemp -u /tmp/quillframe-preview-display.XXXXXX)
  mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 1280x900x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 & xvfb=$!
  trap 'kill $xvfb 2>/dev/null || true' EXIT
  number=
  read -r -t 30 number <"$fifo" || true
  rm -f "$fifo"
  [ -n "$number" ] || { echo "preview.sh: Xvfb did not start" >&2; exit 1; }
  code=0
  DISPLAY=:$number QF_PREVIEW_XVFB=1 QF_PREVIEW_SHOT=$screenshot "$0" "${arguments[@]}" || code=$?
  exit $code
fi

# A prefix of its own: an installed preview runtime must not show up in the tests' prefix.
own_prefix=${WINEPREFIX:+no}
export WINEPREFIX=${WINEPREFIX:-$root/build/wine/preview-prefix} WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "preview.sh: creating the Wine prefix $WINEPREFIX"
  mkdir -p "$WINEPREFIX"
  /usr/lib/wine/wine64 wineboot -i >/dev/null 2>&1
  /usr/lib/wine/wineserver64 -w
fi
# Earlier versions of this script wrote Managed=N into their prefix for headless runs, which left every later
# run on a desktop without a window manager's frame. Nothing else writes the preview's own prefix: it goes.
if [ -z "$own_prefix" ] && awk '/^\[/ { section = /^\[Software\\\\Wine\\\\X11 Driver\]/ }
    section && /^"Managed"="N"/ { found = 1 } END { exit !found }' "$WINEPREFIX/user.reg"; then
  /usr/lib/wine/wine64 'C:\windows\system32\reg.exe' delete 'HKCU\Software\Wine\X11 Driver' /v Managed /f >/dev/null 2>&1 || true
fi
# Wine's own Marlett draws the caption buttons of the windows it frames itself; Debian's Wine does not find
# it among fonts-wine's files, and shows the letters "0 1 r" in their place.
fonts=$WINEPREFIX/drive_c/windows/Fonts
[ -f "$fonts/marlett.ttf" ] || cp /usr/share/wine/fonts/marlett.ttf "$fonts/" 2>/dev/null || true
stage=$(mktemp -d /tmp/quillframe-preview.XXXXXX)
trap 'rm -rf "$stage"' EXIT
cp -rs "$app/." "$stage/"
program=${exe:-$bin/Quillframe.exe}
rm -f "$stage/Quillframe.exe" "$stage/$(basename "$program")"
cp "$program" "$stage/"
program=$stage/$(basename "$program")
windows_program=Z:${program//\//\\}

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
  python3 "$root/scripts/preview_watch.py" "$app" -- "$wine" "$program"
  exit $?
fi

run_log=$stage/run.log
started=$SECONDS

# The host's Wine processes, told apart by the staged exe's Windows path on their command line.
app_pids() { grep -laF "$windows_program" /proc/[0-9]*/cmdline 2>/dev/null | cut -d/ -f3; }

parent_of() { xwininfo -children -id "$1" 2>/dev/null | sed -n 's/^  Parent window id: \(0x[0-9a-f]*\).*/\1/p'; }

# Chromium's window once the runtime has placed it in this host's window (Wine marks its X windows with the
# process's pid): another preview's page on the same screen does not count.
page_window() {
  local window pid pids=" $(app_pids | tr '\n' ' ')"
  for window in $(xdotool search --onlyvisible --class '^quillframe-preview-' 2>/dev/null); do
    pid=$(xprop -id "$(parent_of "$window")" _NET_WM_PID 2>/dev/null | sed -n 's/.* = //p')
    [[ -n $pid && $pids == *" $pid "* ]] && { echo "$window"; return 0; }
  done
  return 1
}

end_app() {
  kill $(app_pids) 2>/dev/null
  for _ in $(seq 50); do kill -0 $runner 2>/dev/null || break; sleep 0.1; done
  kill $runner 2>/dev/null || true
}

# Why no page shows: the runtime's last words, or else what is left.
say_why() {
  if grep -q '^preview: ' "$run_log"; then
    echo "preview.sh: the preview runtime said:" >&2
    grep '^preview: ' "$run_log" | tail -n 5 >&2
  elif [ -n "$(app_pids)" ]; then
    echo "preview.sh: no box and no error: the host shows its window at the start page's DOMContentLoaded," \
      "which never came (a script that does not end? a start page that does not load?)" >&2
  fi
}

headless=${QF_PREVIEW_XVFB:-}
if [ -n "$headless" ]; then
  # A wineserver left running keeps the display it started with.
  /usr/lib/wine/wineserver64 -k 2>/dev/null || true
  # A window manager, as on a desktop: Wine's windows stay managed, so nothing is written into the prefix
  # that would change how a later run on a desktop behaves.
  if command -v openbox >/dev/null; then
    openbox --sm-disable >/dev/null 2>&1 & wm=$!
    # Wine's own processes go before the screen does, which they would otherwise report.
    trap '/usr/lib/wine/wineserver64 -k 2>/dev/null; kill $wm 2>/dev/null; rm -rf "$stage"' EXIT
    for _ in $(seq 50); do xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q '#' && break; sleep 0.1; done
  fi
fi

cd "$stage"
: >"$run_log"
/usr/lib/wine/wine64 "$launcher" ${headless:+--end-on-box} -- "$windows_program" >"$run_log" 2>&1 & runner=$!
tail -n +1 -f --pid=$runner "$run_log" &
page=
while [ $((SECONDS - started)) -lt "$timeout" ] && kill -0 $runner 2>/dev/null; do
  page=$(page_window) && break
  sleep 0.5
done

if [ -n "$page" ]; then
  echo "preview.sh: the page shows after $((SECONDS - started)) s"
  if [ -z "$headless" ]; then
    wait $runner && exit 0 || exit $?
  fi
  sleep "$seconds"
  import -window "$(parent_of "$page")" "$QF_PREVIEW_SHOT"
  end_app
  echo "screenshot of the app's window: $QF_PREVIEW_SHOT"
  exit 0
fi
if ! kill -0 $runner 2>/dev/null; then
  code=0; wait $runner || code=$?
  echo "preview.sh: the app ended with exit code $code before its page showed" >&2
  [ $code = 0 ] && say_why
  exit $(( code == 0 ? 1 : code ))
fi
if [ -z "$headless" ] && grep -q '^box: ' "$run_log"; then
  # The box stays for the person at the screen; the host ends once it is answered.
  wait $runner && exit 1 || exit $?
fi
echo "preview.sh: no page after $timeout s (--timeout N gives more)" >&2
say_why
end_app
exit 1
