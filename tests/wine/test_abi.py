"""Our WebView2 declarations against the runtime's binary interface: the check program compares every
vtable slot and IID with the committed table, and the table itself is compared with the fact sheet. Also the
host's own COM objects (environment options, event handler), checked by a second program."""

import subprocess

import pytest

import abi_sheet
import harness

TABLE = harness.REPO / "tests" / "abi" / "webview2_abi.tsv"
SHEET = harness.REPO.parent / "shared" / "webview2-abi.md"


def run_check(wine_session, name):
    check = harness.bin_dir_64() / name
    if not check.exists():
        raise harness.WineError(f"{check} is missing: build the win64-test preset first")
    done = subprocess.run([harness.WINE64, str(check)], env=wine_session.env(), capture_output=True, timeout=120)
    report = done.stdout.decode(errors="replace")
    assert done.returncode == 0, report
    return report


def test_declarations_match_the_table(wine_session):
    report = run_check(wine_session, "webview2_abi_check.exe")
    assert "0 mismatches" in report
    methods = sum(1 for row in abi_sheet.read_table(TABLE) if row[4] != "-")
    assert f"{methods} methods checked" in report


def test_environment_options_and_handlers_keep_their_contracts(wine_session):
    assert " 0 failed" in run_check(wine_session, "webview_objects_check.exe")


def test_table_matches_the_fact_sheet():
    if not SHEET.exists():
        pytest.skip(f"{SHEET} is not present on this machine; the committed table is checked by the check program")
    expected = abi_sheet.table_rows(abi_sheet.parse(SHEET.read_text(encoding="utf-8")))
    assert abi_sheet.read_table(TABLE) == expected


def test_table_is_consistent():
    """Checks that hold without the sheet: one base and IID per interface, own slots contiguous after the
    base's (ICoreWebView2 also lists its inherited QueryInterface)."""
    rows = abi_sheet.read_table(TABLE)
    identity = {}
    slots = {}
    for interface, base, iid, slot, method, _ in rows:
        identity.setdefault(interface, set()).add((base, iid))
        if method != "-":
            slots.setdefault(interface, []).append(int(slot))
    for interface, pairs in identity.items():
        assert len(pairs) == 1, f"{interface}: conflicting base or IID {pairs}"
    for interface, listed in slots.items():
        own = [slot for slot in listed if slot >= 3] if interface != "IUnknown" else listed
        assert own == list(range(own[0], own[0] + len(own))), f"{interface}: slots {listed}"
