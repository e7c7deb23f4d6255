#!/usr/bin/env python3
"""Lists the includes under src/ that cross from one room to another and fails on any that points the wrong way.

Rooms and their levels: common 0; content, bridge, installer, loader 1; webview 2; app 3. A room may include only
rooms of a lower level: never a higher one, and never a sibling on its own level.
Usage: scripts/check_rooms.py [--quiet]   (exit code 1 when an include points the wrong way)
"""

import pathlib
import re
import sys

LEVELS = {"common": 0, "content": 1, "bridge": 1, "installer": 1, "loader": 1, "webview": 2, "app": 3}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([a-z_]+)/[^"]+"', re.MULTILINE)


def cross_room_includes(src):
    """(file, including room, included room) for every include of another room."""
    for path in sorted(src.rglob("*")):
        if path.suffix not in (".h", ".cpp", ".c") or not path.is_file():
            continue
        room = path.relative_to(src).parts[0]
        for included in INCLUDE.findall(path.read_text(encoding="utf-8")):
            if included in LEVELS and included != room:
                yield path.relative_to(src.parent), room, included


def main():
    src = pathlib.Path(__file__).resolve().parent.parent / "src"
    unknown = sorted(p.name for p in src.iterdir() if p.is_dir() and p.name not in LEVELS)
    wrong = [f"src/{name}/ is no known room" for name in unknown]
    for path, room, included in cross_room_includes(src):
        ok = LEVELS[included] < LEVELS[room]
        if "--quiet" not in sys.argv:
            print(f"{'ok   ' if ok else 'WRONG'} {path}: {room} -> {included}")
        if not ok:
            wrong.append(f"{path}: {room} (level {LEVELS[room]}) includes {included} (level {LEVELS[included]})")
    for line in wrong:
        print("wrong way:", line, file=sys.stderr)
    return 1 if wrong else 0


if __name__ == "__main__":
    sys.exit(main())
