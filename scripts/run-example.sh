#!/usr/bin/env bash
# Builds Quillframe.exe (32-bit) and runs the example app under Wine.
# With a display it stays open until you close it; headless it runs under Xvfb,
# saves a screenshot to build/example/screenshot.png once the page has talked to
# the host and the extension, and closes itself.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

bash scripts/setup.sh
cmake --preset win32-test >/dev/null
cmake --build build/win32-test -j2 --target Quillframe WebView2Loader example_extension example_app

app=$root/build/example
rm -rf "$app"
mkdir -p "$app"
# The example app as the build staged it: package.json, www/ with the page
# library, and the example extension.
cp -r build/win32-test/bin/examples/. "$app/"
cp build/win32-test/bin/Quillframe.exe "$app/"
# No web engine can run here: the test stand-in of WebView2Loader.dll plays the
# runtime and draws a plain view of what the page is sent.
cp build/win32-test/bin/WebView2Loader.dll "$app/"

export WINEPREFIX=${WINEPREFIX:-$root/build/wine/prefix} WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wine=/usr/lib/wine/wine   # the 32-bit loader: this is the shipped exe

if [ -n "${DISPLAY:-}" ]; then
  exec "$wine" "$app/Quillframe.exe"
fi

# Headless: what the example page's script does first, then a pause for the picture.
cat > "$app/webview2-scenario.json" <<'JSON'
{"steps": [
  {"do": "postMessage", "string": "{\"type\":\"wrapper-init\"}"},
  {"do": "postMessage", "string": "{\"type\":\"extension-message\",\"text\":\"hello from the page\"}"},
  {"do": "waitForPosts", "count": 2, "timeoutMs": 10000},
  {"do": "wait", "ms": 4000},
  {"do": "close"}
]}
JSON
echo "Starting the example app headless (32-bit Wine is emulated here: allow a minute or two)..."
xvfb-run -a -s "-screen 0 1280x900x24" bash -c '
  "$1" "$2/Quillframe.exe" & pid=$!
  for _ in $(seq 600); do
    grep -q "PostWebMessageAsJson" "$2/webview2-transcript.jsonl" 2>/dev/null && break
    sleep 0.5
  done
  sleep 2
  import -window root "$2/screenshot.png" 2>/dev/null || true
  wait $pid; echo "exit code: $?"
' _ "$wine" "$app"
grep -h '"call":"WebView.PostWebMessageAsJson"' "$app/webview2-transcript.jsonl" || true
echo "screenshot: $app/screenshot.png"
