#!/usr/bin/env python3
"""Sums the results of every test runner into the one closing line of scripts/test.sh:
"total: N passed, N failed" (plus ", N skipped" when any). Runners leave JUnit XML files
(*.xml) or, for the fuzz targets, scripts/fuzz.sh's lines "target: N executions, M findings"
(*.fuzz); a target without findings passes. Steps that failed before a runner could report
(a build, a crashed runner) are passed in as extra failures. Exits 1 on any failure."""

import re
import sys
import xml.etree.ElementTree as ElementTree
from pathlib import Path


def count(xml_path):
    passed = failed = skipped = 0
    for case in ElementTree.parse(xml_path).iter("testcase"):
        tags = {child.tag for child in case}
        if tags & {"failure", "error"}:
            failed += 1
        elif "skipped" in tags or case.get("status") in ("notrun", "disabled"):
            skipped += 1
        else:
            passed += 1
    return passed, failed, skipped


def count_fuzz(lines_path):
    findings = [int(m.group(1)) for m in re.finditer(r"^\S+: \d+ executions, (\d+) findings$",
                                                   lines_path.read_text(), re.MULTILINE)]
    failed = sum(1 for n in findings if n)
    # A fuzz run that reported no target at all did not run.
    return len(findings) - failed, failed if findings else 1, 0


def main(results_folder, extra_failures):
    passed, failed, skipped = 0, int(extra_failures), 0
    folder = Path(results_folder)
    for path in sorted(folder.glob("*.xml")) + sorted(folder.glob("*.fuzz")):
        try:
            p, f, s = count_fuzz(path) if path.suffix == ".fuzz" else count(path)
        except ElementTree.ParseError:
            print(f"{path.name}: unreadable results", file=sys.stderr)
            p, f, s = 0, 1, 0
        passed, failed, skipped = passed + p, failed + f, skipped + s
    line = f"total: {passed} passed, {failed} failed"
    if skipped:
        line += f", {skipped} skipped"
    print(line)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2] if len(sys.argv) > 2 else 0))
