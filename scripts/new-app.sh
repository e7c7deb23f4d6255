#!/usr/bin/env bash
# Makes a minimal app to start from: package.json, www/index.html, the page library as
# www/quillframe-page.js (with its types) and an icon, which the doctor passes and the preview runs.
#
#   scripts/new-app.sh FOLDER [NAME]     NAME (the manifest's "name") defaults to the folder's name
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
[ $# -ge 1 ] || { echo "usage: scripts/new-app.sh FOLDER [NAME]" >&2; exit 2; }
python3 "$root/scripts/app_folder.py" new "$@"
folder=$(printf '%q' "$1")
echo "new-app.sh: made $1; check it with scripts/doctor.sh $folder, run it with scripts/preview.sh $folder" \
  "and ship it with scripts/pack.sh $folder"
