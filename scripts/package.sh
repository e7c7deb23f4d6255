#!/usr/bin/env bash
# Builds the shipped 32-bit Quillframe.exe and packs it, with the example app
# beside it, quillframe-doctor.exe, quillframe-pack.exe, the page library with its types, the
# extension header and the documents for app authors, into
# dist/Quillframe-<version>-win32.zip.
#
#   scripts/package.sh [--build-dir DIR] [--out DIR]
#
# --build-dir: the build folder of the win32 preset (default build/win32)
# --out:       where the zip goes (default dist)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=$root/build/win32
out=$root/dist

while [ $# -gt 0 ]; do
  case $1 in
    --build-dir) build=$(realpath -m "$2"); shift 2 ;;
    --out) out=$(realpath -m "$2"); shift 2 ;;
    *) echo "usage: $0 [--build-dir DIR] [--out DIR]" >&2; exit 2 ;;
  esac
done

version=$(sed -n 's/^project(Quillframe VERSION \([0-9][0-9.]*\)[ )].*/\1/p' CMakeLists.txt)
if [ -z "$version" ]; then
  echo "package.sh: no project(Quillframe VERSION ...) in CMakeLists.txt" >&2
  exit 1
fi
name=Quillframe-$version-win32

cmake --preset win32 -B "$build" >/dev/null
cmake --build "$build" -j2 --target Quillframe quillframe-doctor quillframe-pack example_extension example_app

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
dir=$stage/$name
mkdir -p "$dir/include/quillframe" "$dir/docs" "$dir/pagelib"

cp "$build/bin/Quillframe.exe" "$build/bin/quillframe-doctor.exe" "$build/bin/quillframe-pack.exe" "$dir/"
# The example app as the build staged it: its manifest, its pages with the page
# library, and its extension.
cp "$build/bin/examples/package.json" "$build/bin/examples/ZU2DavErudoze.dll" "$dir/"
cp -r "$build/bin/examples/www" "$dir/"
# Symbols help only a debugger on the build machine.
strip=$(sed -n 's/^CMAKE_STRIP:FILEPATH=//p' "$build/CMakeCache.txt")
"$strip" --strip-unneeded "$dir/Quillframe.exe" "$dir/quillframe-doctor.exe" "$dir/quillframe-pack.exe" "$dir/ZU2DavErudoze.dll"
cp include/quillframe/extension.h "$dir/include/quillframe/"
# The page library under the name its README and the example app use, with its
# types beside it (editors find quillframe-page.d.ts for quillframe-page.js).
cp pagelib/index.js "$dir/pagelib/quillframe-page.js"
cp pagelib/index.d.ts "$dir/pagelib/quillframe-page.d.ts"
cp pagelib/README.md "$dir/pagelib/README.md"
for doc in manifest page-protocol extensions security distribution troubleshooting; do
  cp "docs/$doc.md" "$dir/docs/"
done

# Windows line ends, so that every text editor shows the lines.
sed 's/$/\r/' > "$dir/README.txt" <<EOF
Quillframe $version for Windows (32-bit)

Quillframe.exe shows a web app in a desktop window: the pages of the www folder
beside it, described by package.json, in a Microsoft Edge WebView2 control.

This folder is a complete example app: start Quillframe.exe. It uses the
WebView2 runtime installed on the machine (Windows 11 has it); if there is none,
the app offers to download and install it.

Quillframe.exe finds the runtime itself. If you prefer Microsoft's loader, put
its x86 WebView2Loader.dll (WebView2 SDK, NuGet package Microsoft.Web.WebView2,
file build\\native\\x86\\WebView2Loader.dll) beside Quillframe.exe: when present
and usable, it is used instead (docs\\distribution.md).

For your own app, replace package.json and the www folder with yours (keep
quillframe-page.js in it when your pages talk to the host: a fresh copy with
its types is in pagelib\\), and replace ZU2DavErudoze.dll with your native
extension or delete it. Your app's folder then looks like this:

  MyApp\\
    Quillframe.exe        from this package; you may rename it
    package.json          your manifest (docs\\manifest.md)
    www\\                  your pages, scripts, styles, fonts and media
      index.html
      quillframe-page.js  optional: the page library (docs\\page-protocol.md)
    ZU2DavErudoze.dll     optional: your native extension (docs\\extensions.md)
    webview2\\             optional: a fixed-version runtime (docs\\distribution.md)
    WebView2Loader.dll    optional: Microsoft's x86 loader

Before you ship, check the folder: quillframe-doctor.exe MyApp (in a command
prompt) reads it the way Quillframe.exe will and prints what would go wrong,
with the fix: the manifest, the start page, the icon, a fixed runtime, your
extension DLL (32-bit, its exports, the DLLs it needs) and the files of www\\.

The include, pagelib and docs folders, quillframe-doctor.exe, quillframe-pack.exe
and this file need not ship with your app. To make the release, run
quillframe-pack.exe MyApp --out dist (it needs NSIS 3 for the installer; see
docs\\distribution.md).

What this package holds:

  Quillframe.exe                   the host
  quillframe-doctor.exe            checks an app folder before it ships
  quillframe-pack.exe              makes your app's release: the exe with your
                                   icon and version, a zip and an installer
  package.json, www\\               the example app
  ZU2DavErudoze.dll                the example app's extension
  pagelib\\quillframe-page.js       the page library, with its types
                                   (quillframe-page.d.ts) and README.md
  include\\quillframe\\extension.h   the C interface for native extensions
  docs\\                            manifest, page protocol, extensions, security,
                                   distribution, troubleshooting
  README.txt                       this file
EOF

mkdir -p "$out"
rm -f "$out/$name.zip"
if command -v zip >/dev/null; then
  (cd "$stage" && zip -X -r -q "$out/$name.zip" "$name")
else
  python3 - "$stage" "$name" "$out/$name.zip" <<'PY'
import os, sys, zipfile
stage, name, target = sys.argv[1:]
with zipfile.ZipFile(target, "w", zipfile.ZIP_DEFLATED) as archive:
    for folder, _dirs, files in os.walk(os.path.join(stage, name)):
        for file in sorted(files):
            path = os.path.join(folder, file)
            archive.write(path, os.path.relpath(path, stage))
PY
fi
echo "$out/$name.zip"
