"""Reads the interface tables of the WebView2 binary-interface fact sheet (markdown) and the
committed table derived from it (tests/abi/webview2_abi.tsv), in the same row form."""
import re

_IID = re.compile(r"\{([0-9A-Fa-f]{8}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{12})\}")
_PARAM = re.compile(r"`([^`]+)`\s+(\w+)\s+—\s+(.*)")


def _cells(line):
    return [c.strip() for c in line.strip().strip("|").split("|")]


def parse_params(cell):
    """'`T` name — dir<br>...' -> [(type, name, direction)]; '(none)' -> []."""
    if cell == "(none)":
        return []
    params = []
    for part in cell.split("<br>"):
        m = _PARAM.match(part.strip())
        if not m:
            raise ValueError("unreadable parameter: " + part)
        params.append((m.group(1), m.group(2), m.group(3)))
    return params


def parse(text):
    """Returns a list of interfaces: dict(name, iid, base, methods=[dict(slot, name, params, bytes)])."""
    interfaces = []
    current = None
    section = 0
    for line in text.splitlines():
        heading = re.match(r"^## (\d+)\.", line)
        if heading:
            section = int(heading.group(1))
            current = None
            continue
        if section in (2, 3, 4) and line.startswith("## "):
            continue
        if section == 2 and current is None:
            current = {"name": "IUnknown", "iid": None, "base": "", "methods": []}
            interfaces.append(current)
        sub = re.match(r"^### (\w+)\s*$", line)
        if sub and section in (3, 4):
            current = {"name": sub.group(1), "iid": None, "base": None, "methods": []}
            interfaces.append(current)
            continue
        if current is not None and line.startswith("- IID:") and current["iid"] is None:
            current["iid"] = _IID.search(line).group(1).upper()
            continue
        if current is not None and line.startswith("- Base:"):
            current["base"] = re.search(r"`(\w+)`", line).group(1)
            continue
        if not line.startswith("|"):
            continue
        cells = _cells(line)
        if section in (2, 3, 4) and current is not None and cells[0].isdigit():
            current["methods"].append({
                "slot": int(cells[0]),
                "name": cells[1],
                "params": parse_params(cells[2]),
                "bytes": int(cells[3]),
            })
        elif section == 5 and len(cells) >= 2:
            name = cells[0].split()[0]
            m = _IID.search(cells[1])
            if m and name.startswith("I") and name != "IStream":
                interfaces.append({"name": name, "iid": m.group(1).upper(), "base": "IUnknown",
                                   "methods": [], "opaque": True})
    for itf in interfaces:
        if itf["name"] == "IUnknown":
            itf["iid"] = "00000000-0000-0000-C000-000000000046"
    return _with_late_interfaces(interfaces, text)


_LATE = re.compile(r"\*\*(\w+)\*\*.*?IID `\{([0-9A-Fa-f-]{36})\}`.*?base (\w+), slot (\d+)\s+`(\w+)\(.*?(\d+) bytes incl\. this",
                   re.DOTALL)


def _with_late_interfaces(interfaces, text):
    """Section 12 describes two interfaces in prose bullets: each replaces its name-only row of section 5, or is
    added at the end."""
    section = re.search(r"^## 12\..*?(?=^## |\Z)", text, re.MULTILINE | re.DOTALL)
    bullets = re.split(r"^- ", section.group(0), flags=re.MULTILINE) if section else []
    for bullet in bullets:
        m = _LATE.search(bullet)
        if not m:
            continue
        name, iid, base, slot, method, size = m.groups()
        itf = {"name": name, "iid": iid.upper(), "base": base,
               "methods": [{"slot": int(slot), "name": method, "params": [], "bytes": int(size)}]}
        places = [i for i, known in enumerate(interfaces) if known["name"] == name]
        if places:
            interfaces[places[0]] = itf
        else:
            interfaces.append(itf)
    return interfaces


def table_rows(interfaces):
    """Flat rows as committed: (interface, base, iid, slot, method, x86 arg bytes); '-' for none."""
    rows = []
    for itf in interfaces:
        if not itf["methods"]:
            rows.append((itf["name"], itf["base"] or "-", itf["iid"], "-", "-", "-"))
        for m in itf["methods"]:
            rows.append((itf["name"], itf["base"] or "-", itf["iid"], str(m["slot"]), m["name"], str(m["bytes"])))
    return rows


def read_table(path):
    """The committed table's rows, comments skipped."""
    rows = []
    for line in open(path, encoding="utf-8").read().splitlines():
        if line and not line.startswith("#"):
            rows.append(tuple(line.split("\t")))
    return rows
