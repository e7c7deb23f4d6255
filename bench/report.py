"""Turns the bench's JSON lines into the table scripts/bench.sh prints and into results.json.

Every line holds a figure of the host, the same figure of its floor, and their ratio as a cost:
1 means as good as the floor, 2 twice the cost (half the rate, twice the time or the size).

    python3 bench/report.py results.jsonl results.json
"""

import json
import platform
import sys
from datetime import datetime, timezone

# The aims the host is held to, by item: a test of the ratio and how to say it.
AIMS = {
    "start-up": (lambda line: line["ratio"] <= 1.10, "within 10% of the bare window"),
    "serve": (lambda line: line["ratio"] <= 1.5, "within 1.5x of the floor"),
    "seek": (lambda line: line["ratio"] <= 1.5, "within 1.5x of the floor"),
    "cache scale": (lambda line: line["ratio"] <= 1.0, "every seek answered"),
    "installer overhead": (lambda line: line["ratio"] <= 1.0, "at most 0.5 MB"),
}


def aim_of(line):
    if line["item"] == "footprint" and line["unit"] in ("bytes", "handles") and "after" in line["figure"]:
        # Counts of handles must not move; the heap may wobble by a page or two.
        limit = 1.0 if line["unit"] == "handles" else 1.02
        return (lambda l: l["ratio"] <= limit), "no growth"
    return AIMS.get(line["item"], (None, ""))


def number(value):
    if value >= 100:
        return f"{value:,.0f}"
    return f"{value:.3g}"


def main(source, target):
    lines = [json.loads(text) for text in open(source, encoding="utf-8") if text.strip()]
    rows = []
    for line in lines:
        test, aim = aim_of(line)
        line["aim"] = aim
        line["meetsAim"] = None if test is None else bool(test(line))
        rows.append((line["item"], line["figure"], number(line["host"]), number(line["floor"]), line["unit"],
                     f"{line['ratio']:.2f}",
                     aim + ("" if test is None else (": met" if line["meetsAim"] else ": MISSED"))))

    headers = ("item", "figure", "host", "floor", "unit", "ratio", "aim")
    widths = [max(len(str(row[i])) for row in [headers, *rows]) for i in range(len(headers))]
    for row in [headers, ["-" * width for width in widths], *rows]:
        print("  ".join(str(cell).ljust(width) for cell, width in zip(row, widths)).rstrip())

    with open(target, "w", encoding="utf-8") as out:
        json.dump({"measured": datetime.now(timezone.utc).isoformat(timespec="seconds"),
                   "machine": {"system": platform.platform(), "processor": platform.machine()},
                   "ratio": "cost against the floor: 1 = as good as the floor, 2 = twice the cost",
                   "figures": lines}, out, indent=1)
        out.write("\n")
    print(f"\nwritten to {target}")


if __name__ == "__main__":
    main(*sys.argv[1:])
