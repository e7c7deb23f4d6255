"""quillframe-doctor on app folders, one row per kind of folder.

Each row starts from the example app as the win32-test build stages it (with its
32-bit extension), changes one thing and names the verdict: the exit code and,
for each check that finds a problem, words of what it reports. Every check not
named must report ok. The native doctor runs every row; the shipped 32-bit
Windows build runs the good app once under Wine and must say the same.

Needs the native, win32-test and win64-test builds (QF_NATIVE_BIN_DIR,
QF_BIN32_DIR and QF_BIN_DIR name their bin folders).
"""
import json
import os
import shutil
import subprocess
import sys
from pathlib import Path

import pytest

ROOT = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(ROOT / "tests" / "wine"))
import harness  # noqa: E402

NATIVE_BIN = Path(os.environ.get("QF_NATIVE_BIN_DIR", ROOT / "build" / "native" / "bin"))
PARSE_FAILED = ("Failed to parse package.json. Check the file has valid JSON and that all parameters are "
                "correct.")
LOAD_FAILED = "Failed to load package.json. Check the file is in the same folder as the app."
NESTED_RUNTIME = "webview2/Microsoft.WebView2.FixedVersionRuntime.120.0.2210.91.x86"


def edit_manifest(app, change):
    manifest = json.loads((app / "package.json").read_text())
    change(manifest)
    (app / "package.json").write_text(json.dumps(manifest))


def write(app, relative, data=b"x"):
    path = app / relative
    path.parent.mkdir(parents=True, exist_ok=True)
    path.write_bytes(data)


def use_extension(app, path):
    shutil.copyfile(path, app / "ZU2DavErudoze.dll")


def fixed_mode(app, runtime_folder, dll):
    edit_manifest(app, lambda m: m.setdefault("settings", {}).update({"distribution-mode": "fixed"}))
    write(app, f"{runtime_folder}/EBWebView/x86/EmbeddedBrowserWebView.dll", Path(dll).read_bytes())


def trailing_comma(app):
    text = (app / "package.json").read_text().rstrip()
    assert text.endswith("}")
    (app / "package.json").write_text(text[:-1].rstrip() + ",\n}")


def two_gigabytes(app):
    with open(app / "www" / "movie.mp4", "wb") as movie:
        movie.truncate(2 << 30)  # sparse: no disk space used


def extension(bits, name):
    return (harness.bin_dir_64() if bits == 64 else harness.bin_dir_32()) / "extensions" / name / "ZU2DavErudoze.dll"


def runtime_dll():
    """A DLL with the version resource of a fixed runtime."""
    return harness.bin_dir_32() / "doctor" / "EmbeddedBrowserWebView.dll"


def made_by_new_app(app):
    shutil.rmtree(app)
    subprocess.run(["bash", str(ROOT / "scripts" / "new-app.sh"), str(app)], check=True, capture_output=True,
                   timeout=60)


def set_mode(key, value):
    return lambda app: edit_manifest(app, lambda m: m.update(settings={key: value}))


# (id, change of the example app, exit code, {check: words its problem report contains}[,
#  {check: words its ok report contains}])
ROWS = [
    ("good app", lambda app: None, 0, {}),
    ("the app new-app.sh makes", made_by_new_app, 0, {}, {"icon": ["www/icon.png"], "start page": ["www/index.html"]}),
    ("trailing comma in the manifest", trailing_comma, 1, {"manifest": [PARSE_FAILED, "parse error"]}),
    ("no manifest", lambda app: (app / "package.json").unlink(), 1,
     {"manifest": [LOAD_FAILED, "package.json is missing"]}),
    ("unknown distribution mode", set_mode("distribution-mode", "Fixed"), 1,
     {"manifest": [PARSE_FAILED, "invalid distribution mode"]}),
    ("missing start page", lambda app: (app / "www" / "index.html").unlink(), 1,
     {"start page": ["www/index.html does not exist"]}),
    ("start page under another letter case",
     lambda app: (app / "www" / "index.html").rename(app / "www" / "Index.HTML"), 0, {}),
    ("remote mode with a relative start page", set_mode("content-mode", "remote"), 1,
     {"start page": ["not an absolute http:// or https:// URL"]}),
    ("icon that is no image",
     lambda app: edit_manifest(app, lambda m: m.setdefault("window", {}).update(icon="www/app.js")), 0,
     {"icon": ["is not an image the host reads"]}),
    ("64-bit extension", lambda app: use_extension(app, extension(64, "full")), 0,
     {"extension machine": ["ZU2DavErudoze.dll is x64"]}),
    ("mangled exports", lambda app: use_extension(app, extension(32, "mangled")), 0,
     {"extension exports": ["Init is not exported; found _Z4Init", "C++ name mangling", "found _Z7Releasev"]}),
    ("mingw runtime dependency", lambda app: use_extension(app, extension(32, "cxx_runtime")), 0,
     {"extension imports": ["libstdc++-6.dll (the mingw C++ runtime)", "-static-libstdc++ -static-libgcc",
                            "libgcc_s_dw2-1.dll"]}),
    ("fixed runtime in place", lambda app: fixed_mode(app, "webview2", runtime_dll()), 0, {},
     {"fixed runtime": ["webview2/EBWebView/x86/EmbeddedBrowserWebView.dll, version 120.0.2210.91"]}),
    ("wrong fixed layout", lambda app: fixed_mode(app, NESTED_RUNTIME, runtime_dll()), 1,
     {"fixed runtime": ["0x80070002", f"found {NESTED_RUNTIME}/EBWebView/x86/EmbeddedBrowserWebView.dll instead"]}),
    ("fixed runtime for x64", lambda app: fixed_mode(app, "webview2", extension(64, "full")), 1,
     {"fixed runtime": ["EmbeddedBrowserWebView.dll is x64"]}),
    ("fixed runtime without a version", lambda app: fixed_mode(app, "webview2", app / "ZU2DavErudoze.dll"), 1,
     {"fixed runtime": ["has no ProductVersion (0x80070714)"]}),
    ("file refused by name", lambda app: write(app, "www/notes:v2.txt"), 0,
     {"www names": ["notes:v2.txt"]}),
    ("unknown script type", lambda app: write(app, "www/lib/helpers.cjs"), 0,
     {"www types": ["application/octet-stream", "lib/helpers.cjs"]}),
    ("file of 2 GiB", two_gigabytes, 0, {"www sizes": ["movie.mp4"]}),
]


@pytest.fixture
def example(tmp_path):
    staged = harness.bin_dir_32() / "examples"
    if not (staged / "ZU2DavErudoze.dll").exists():
        pytest.fail(f"{staged} is not staged: build the win32-test preset first")
    app = tmp_path / "app"
    shutil.copytree(staged, app)
    return app


def run_native(app):
    done = subprocess.run([str(NATIVE_BIN / "quillframe-doctor"), str(app), "--json"], capture_output=True, text=True,
                          timeout=120)
    return done.returncode, json.loads(done.stdout)


@pytest.mark.parametrize("change, exit_code, problems, oks", [(*row[1:], {})[:4] for row in ROWS],
                         ids=[row[0] for row in ROWS])
def test_the_doctor_gives_each_app_folder_its_verdict(example, change, exit_code, problems, oks):
    change(example)
    code, report = run_native(example)
    assert (code, report["wouldStart"]) == (exit_code, exit_code == 0), report
    found = {check["check"]: check for check in report["checks"] if check["status"] == "problem"}
    assert sorted(found) == sorted(problems), report
    for name, words in problems.items():
        text = " ".join([found[name]["message"], *found[name]["details"], found[name]["fix"]])
        for word in words:
            assert word in text, (name, word, found[name])
        assert found[name]["fix"], found[name]
    messages = {check["check"]: check["message"] for check in report["checks"]}
    for name, words in oks.items():
        assert all(word in messages[name] for word in words), (name, words, messages[name])


def test_the_text_report_shows_each_check_the_fix_and_the_verdict(example):
    use_extension(example, extension(64, "full"))
    done = subprocess.run([str(NATIVE_BIN / "quillframe-doctor"), str(example)], capture_output=True, text=True,
                          timeout=120)
    lines = done.stdout.splitlines()
    assert done.returncode == 0
    assert any(line.startswith("problem  extension machine:") and "x64" in line for line in lines), lines
    assert any(line.strip().startswith("fix: build it for 32-bit x86") for line in lines), lines
    assert any(line.startswith("ok       start page:") for line in lines), lines
    assert lines[-1] == "verdict: the app starts and serves its start page (1 problem)"



@pytest.mark.exe32
def test_the_windows_build_gives_the_native_verdicts(wine_session, example):
    code, output = harness.run_quietly(
        ["/usr/lib/wine/wine", str(harness.bin_dir_32() / "quillframe-doctor.exe"), harness.to_windows(example),
         "--json"], wine_session.env(), timeout=600)
    assert code == 0, output[-3000:]
    report = json.loads(output[output.index("{"):output.rindex("}") + 1])
    _native_code, native = run_native(example)
    assert report["wouldStart"] is True
    assert report["checks"] == native["checks"]
    assert report["manifest"] == native["manifest"]
