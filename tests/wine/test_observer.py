"""The observer and the harness themselves: what the start-up tests rely on when they read
message boxes, exit codes, the current directory, timeouts and the DPI."""

import subprocess
import time
from pathlib import Path

import pytest

import harness


@pytest.fixture
def probe(app):
    app.use_exe("qf_msgbox_probe.exe")
    app.loader(None)
    return app


ICON_KINDS = ["error", "information", "warning", "question", "none"]


@pytest.mark.parametrize("system_dpi", [96, 144])
def test_each_standard_icon_is_told_apart(probe, dpi, system_dpi):
    dpi(system_dpi)
    args = [arg for kind in ICON_KINDS for arg in (f"Caption {kind}", kind)]
    result = probe.run(args=args)
    seen = [(box["caption"], box["text"], box["icon"], box["buttons"], box["pressed"]) for box in result.boxes]
    assert seen == [(f"Caption {kind}", f"probe: {kind}", kind, ["OK"], "OK") for kind in ICON_KINDS]
    assert all(box["owner"] == 0 for box in result.boxes)
    assert result.exit_code == 1  # IDOK


def test_a_box_without_ok_gets_its_first_button(probe):
    result = probe.run(args=["Choose", "yesno"])
    assert [(box["buttons"], box["pressed"]) for box in result.boxes] == [(["Yes", "No"], "Yes")]
    assert result.exit_code == 6  # IDYES


def test_the_app_starts_in_the_folder_it_is_given(probe, tmp_path):
    elsewhere = tmp_path / "elsewhere with space"
    elsewhere.mkdir()
    assert [box["text"] for box in probe.run(args=["Where", "cwd"]).boxes] == [harness.to_windows(probe.folder)]
    assert [box["text"] for box in probe.run(args=["Where", "cwd"], cwd=elsewhere).boxes] == [
        harness.to_windows(elsewhere)]


def _processes_mentioning(text):
    found = []
    for cmdline in Path("/proc").glob("[0-9]*/cmdline"):
        try:
            if text in cmdline.read_bytes().replace(b"\0", b" ").decode(errors="replace"):
                found.append(cmdline.parent.name)
        except OSError:
            pass
    return found


def test_a_hanging_app_is_ended_with_its_children(probe):
    with pytest.raises(harness.AppTimeout):
        probe.run(args=["x", "hang"], timeout=8)
    result = probe.run(args=["x", "hang"], timeout=8, allow_timeout=True)
    assert result.timed_out and result.exit_code is None
    deadline = time.monotonic() + 5  # a killed Unix process may take a moment to go
    while _processes_mentioning(harness.to_windows(probe.folder)) and time.monotonic() < deadline:
        time.sleep(0.1)
    assert _processes_mentioning(harness.to_windows(probe.folder)) == []


def test_dpi_can_be_set_for_later_starts(wine_session, dpi):
    dpi(144)
    assert wine_session.observe_info()["dpi"] == 144
    dpi(harness.DEFAULT_DPI)
    assert wine_session.observe_info()["dpi"] == harness.DEFAULT_DPI


def test_local_app_data_is_seen_from_both_sides(wine_session):
    assert wine_session.local_appdata_windows.endswith("\\AppData\\Local")
    assert wine_session.local_appdata.is_dir()
    assert wine_session.local_appdata.is_relative_to(wine_session.prefix / "drive_c")


def test_window_reports_match_what_the_app_itself_sees(app):
    app.manifest({"name": "qf-test-observer-window", "window": {"title": "Seen Twice", "width": 500, "height": 300}})
    app.www({"index.html": "<!doctype html>"})
    app.scenario({"steps": [{"do": "wait", "ms": 500}, {"do": "snapshot"}, {"do": "close"}]})
    result = app.run(snapshots_at=[0.2])
    inside = result.calls("snapshot")[-1]
    # The last report before closing began (closing hides the window first).
    outside = [w for w in result.windows if w["hwnd"] == inside["window"] and w["visible"]][-1]
    assert inside["visible"]
    assert (outside["caption"], outside["style"], outside["exStyle"]) == (
        inside["caption"], inside["style"], inside["exStyle"])
    assert outside["window"] == inside["windowRect"]
    assert outside["client"] == inside["clientRect"]
    assert [s["at"] for s in result.snapshots] == [200]
    assert all("class" in w and "window" in w for s in result.snapshots for w in s["windows"])


def test_a_running_process_can_be_watched_by_its_id(wine_session, probe, tmp_path):
    pid_file = tmp_path / "pid"
    started = subprocess.Popen([harness.WINE64, str(harness.bin_dir_64() / "qf_msgbox_probe.exe"),
                                harness.to_windows(pid_file), "pid", "Watched", "warning"],
                               env=wine_session.env(), stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL)
    try:
        deadline = time.monotonic() + 60
        while not pid_file.exists() or not pid_file.read_text():
            assert time.monotonic() < deadline, "the probe did not start"
            time.sleep(0.1)
        events = wine_session.observe([], tmp_path / "watch.jsonl", tmp_path, 30, pid=int(pid_file.read_text()))
        assert [(e["caption"], e["icon"]) for e in events if e["event"] == "box"] == [("Watched", "warning")]
        assert events[-1]["event"] == "exit" and events[-1]["code"] == 1
        assert started.wait(timeout=30) == 1
    finally:
        started.kill()
