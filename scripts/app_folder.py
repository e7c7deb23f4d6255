"""App folders for the scripts: what preview.sh needs to know of one, and a new one for new-app.sh.

  app_folder.py exe APP_FOLDER      the app's own exe (<name>.exe or Quillframe.exe), or nothing
  app_folder.py machine EXE         x86 or x64, from the PE header
  app_folder.py new FOLDER [NAME]   a minimal app (NAME defaults to the folder's name)
"""

import json
import re
import shutil
import struct
import sys
import zlib
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]

# What Windows refuses in a file name, and the device names it keeps for itself.
REFUSED_CHARACTERS = re.compile(r'[\x00-\x1f<>:"/\\|?*]')
DEVICE_NAMES = {"CON", "PRN", "AUX", "NUL", *(f"COM{n}" for n in range(1, 10)), *(f"LPT{n}" for n in range(1, 10))}
MACHINES = {0x14C: "x86", 0x8664: "x64"}


def file_name(app_name, suffix=""):
    """An app's name (the manifest's "name") made a file or folder name: `app_name` + `suffix` as it stands,
    or None when Windows would not take it as one name in a folder (empty, a path, a character or device
    name it refuses, a trailing dot or space)."""
    if not isinstance(app_name, str) or not app_name.strip() or REFUSED_CHARACTERS.search(app_name):
        return None
    if app_name.endswith((".", " ")) or app_name.split(".")[0].strip().upper() in DEVICE_NAMES:
        return None
    return app_name + suffix


def find_in(folder, name):
    """The entry of `folder` called `name`, letter case aside as on Windows."""
    return next((entry for entry in sorted(folder.iterdir()) if entry.name.lower() == name.lower()
                 and entry.is_file()), None)


def own_exe(folder):
    """The exe an app folder ships: `<name>.exe` after the manifest's name, else Quillframe.exe."""
    folder = Path(folder)
    try:
        name = json.loads(find_in(folder, "package.json").read_bytes().decode("utf-8-sig")).get("name")
    except (OSError, ValueError, AttributeError):
        name = None
    candidates = [file_name(name, ".exe"), "Quillframe.exe"]
    return next((found for found in (find_in(folder, c) for c in candidates if c) if found), None)


def machine(exe):
    """"x86" or "x64" for a PE file; None for anything else."""
    data = Path(exe).read_bytes()[:4096]
    if data[:2] != b"MZ" or len(data) < 64:
        return None
    header = int.from_bytes(data[60:64], "little")
    if data[header:header + 4] != b"PE\0\0":
        return None
    return MACHINES.get(int.from_bytes(data[header + 4:header + 6], "little"))


def png(size, rgb):
    """A square PNG of one colour with a lighter inner square: an icon the host's GDI+ reads."""
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    inner = range(size // 4, size - size // 4)
    rows = b"".join(b"\0" + b"".join(bytes(c + ((255 - c) // 2 if x in inner and y in inner else 0) for c in rgb)
                                      for x in range(size)) for y in range(size))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b""))


INDEX_HTML = """<!doctype html>
<html lang="en">
<head>
  <meta charset="utf-8">
  <title>{title}</title>
</head>
<body>
  <h1>{title}</h1>
  <p id="host">Asking the host...</p>
  <script type="module">
    import { init } from './quillframe-page.js';
    const host = document.getElementById('host');
    init().then((components) => { host.textContent = `Host answered; extension components: ${components.length}`; },
                (error) => { host.textContent = `No host: ${error.message}`; });
  </script>
</body>
</html>
"""


def new_app(folder, name=None):
    """A minimal app in `folder` (made; it must not hold a package.json yet): manifest, www/index.html, the
    page library as www/quillframe-page.js and an icon. Returns the manifest written."""
    folder = Path(folder)
    name = name or folder.resolve().name
    if not file_name(name):
        raise ValueError(f"{name!r} cannot be an app's name: it names the app's data folder (pass another)")
    if (folder / "package.json").exists():
        raise FileExistsError(f"{folder / 'package.json'} exists already")
    (folder / "www").mkdir(parents=True, exist_ok=True)
    manifest = {"name": name, "version": "0.1.0", "main": "index.html",
                "window": {"title": name, "width": 1024, "height": 768, "icon": "www/icon.png"}}
    (folder / "package.json").write_text(json.dumps(manifest, indent=2, ensure_ascii=False) + "\n", encoding="utf-8")
    title = name.replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;")
    (folder / "www" / "index.html").write_text(INDEX_HTML.replace("{title}", title), encoding="utf-8")
    shutil.copyfile(ROOT / "pagelib" / "index.js", folder / "www" / "quillframe-page.js")
    shutil.copyfile(ROOT / "pagelib" / "index.d.ts", folder / "www" / "quillframe-page.d.ts")
    (folder / "www" / "icon.png").write_bytes(png(32, (43, 108, 176)))
    return manifest


def main(command, path, *rest):
    if command == "new":
        try:
            new_app(path, *rest)
        except (ValueError, OSError) as error:
            sys.exit(f"new-app.sh: {error}")
        return
    answer = own_exe(path) if command == "exe" else machine(path) if command == "machine" else None
    if answer:
        print(answer)


if __name__ == "__main__":
    main(*sys.argv[1:])
