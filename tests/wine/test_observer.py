"""The observer and the harness themselves: what the start-up tests rely on when they read
message boxes, exit codes, the current directory, timeouts and the DPI."""

import os
from pathlib import Path

import pytest

import harness


@pytest.fixture
def probe(app):
    app.use_exe("qf_msgbox_probe.exe")
    return app


ICON_KINDS = ["error", "information", "warning", "question", "none"]


def test_each_standard_icon_is_told_apart(probe):
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
