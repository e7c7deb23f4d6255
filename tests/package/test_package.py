"""scripts/package.sh: the zip it makes, and one start of the packaged app.

The script builds the win32 preset into $QF_PACKAGE_BUILD_DIR (default
build/win32). The run under Wine needs what the Wine tests need: the observer of
the win64-test build and the stand-in runtime (EmbeddedBrowserWebView.dll) of the
win32-test build (see tests/wine/harness.py for the folders and the prefix).
"""
import json
import os
import re
import shutil
import struct
import subprocess
import sys
import zipfile
from pathlib import Path

import pytest

ROOT = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(ROOT / "tests" / "wine"))
import harness  # noqa: E402

DOCS = ["manifest", "page-protocol", "extensions", "security", "distribution", "troubleshooting"]
# The page library under the name its README imports, with its types and its API reference.
PAGELIB = {"pagelib/quillframe-page.js": "pagelib/index.js", "pagelib/quillframe-page.d.ts": "pagelib/index.d.ts",
           "pagelib/README.md": "pagelib/README.md"}
I386 = 0x14C
GUI = 2
CONSOLE = 3
DLL = 0x2000


def version():
    return re.search(r"^project\(Quillframe VERSION ([0-9.]+)", (ROOT / "CMakeLists.txt").read_text(),
                     re.MULTILINE).group(1)


@pytest.fixture(scope="module")
def package(tmp_path_factory):
    out = tmp_path_factory.mktemp("dist")
    build = os.environ.get("QF_PACKAGE_BUILD_DIR", str(ROOT / "build" / "win32"))
    done = subprocess.run(["bash", str(ROOT / "scripts" / "package.sh"), "--build-dir", build, "--out", str(out)],
                          capture_output=True, text=True)
    assert done.returncode == 0, done.stdout[-3000:] + done.stderr[-3000:]
    return Path(done.stdout.strip().splitlines()[-1])


@pytest.fixture(scope="module")
def unpacked(package, tmp_path_factory):
    folder = tmp_path_factory.mktemp("unpacked")
    with zipfile.ZipFile(package) as archive:
        archive.extractall(folder)
    return folder / f"Quillframe-{version()}-win32"


def pe_facts(path):
    """(machine, subsystem, characteristics) from a PE file's headers."""
    data = path.read_bytes()
    assert data[:2] == b"MZ", path
    offset = struct.unpack_from("<I", data, 0x3C)[0]
    assert data[offset:offset + 4] == b"PE\0\0", path
    machine, _sections, _time, _symbols, _count, _optional, characteristics = struct.unpack_from(
        "<HHIIIHH", data, offset + 4)
    subsystem = struct.unpack_from("<H", data, offset + 24 + 68)[0]
    return machine, subsystem, characteristics


def pe_imports(path):
    """Names of the DLLs in a PE file's import table, lower case."""
    data = path.read_bytes()
    offset = struct.unpack_from("<I", data, 0x3C)[0]
    sections, _time, _symbols, _count, optional_size = struct.unpack_from("<HIIIH", data, offset + 6)
    optional = offset + 24
    directories = optional + (96 if struct.unpack_from("<H", data, optional)[0] == 0x10B else 112)
    imports_rva = struct.unpack_from("<I", data, directories + 8)[0]
    table = [struct.unpack_from("<IIII", data, optional + optional_size + 40 * i + 8) for i in range(sections)]

    def file_offset(rva):
        return next(raw + rva - start for size, start, _raw_size, raw in table if start <= rva < start + size)

    names = []
    descriptor = file_offset(imports_rva)
    while (name_rva := struct.unpack_from("<I", data, descriptor + 12)[0]) != 0:
        start = file_offset(name_rva)
        names.append(data[start:data.index(b"\0", start)].decode("ascii").lower())
        descriptor += 20
    return names


def test_the_zip_is_named_after_the_project_version(package):
    assert package.name == f"Quillframe-{version()}-win32.zip"


def test_the_zip_holds_exactly_the_host_the_doctor_the_example_app_the_page_library_the_header_and_the_docs(package):
    top = f"Quillframe-{version()}-win32/"
    www = ROOT / "examples" / "app" / "www"
    expected = {"Quillframe.exe", "quillframe-doctor.exe", "quillframe-pack.exe", "package.json", "ZU2DavErudoze.dll", "README.txt",
                "include/quillframe/extension.h", "www/quillframe-page.js", *PAGELIB}
    expected |= {f"docs/{doc}.md" for doc in DOCS}
    expected |= {"www/" + path.relative_to(www).as_posix() for path in www.rglob("*") if path.is_file()}
    # The example's media, made by the build (examples/CMakeLists.txt).
    expected |= {"www/media/picture.png", "www/media/example-serif.ttf", "www/media/clip.webm"}
    with zipfile.ZipFile(package) as archive:
        names = [info.filename for info in archive.infolist() if not info.is_dir()]
    assert all(name.startswith(top) for name in names)
    assert sorted(name[len(top):] for name in names) == sorted(expected)


def test_the_sources_are_copied_unchanged(unpacked):
    same = {"www/quillframe-page.js": "pagelib/index.js", "package.json": "examples/app/package.json",
            "include/quillframe/extension.h": "include/quillframe/extension.h", **PAGELIB}
    same |= {f"docs/{doc}.md": f"docs/{doc}.md" for doc in DOCS}
    www = ROOT / "examples" / "app" / "www"
    same |= {f"www/{p.relative_to(www).as_posix()}": str(p.relative_to(ROOT)) for p in www.rglob("*") if p.is_file()}
    for packed, source in same.items():
        assert (unpacked / packed).read_bytes() == (ROOT / source).read_bytes(), packed


def test_the_exes_and_the_extension_are_32_bit(unpacked):
    machine, subsystem, characteristics = pe_facts(unpacked / "Quillframe.exe")
    assert (machine, subsystem, characteristics & DLL) == (I386, GUI, 0)
    for tool in ("quillframe-doctor.exe", "quillframe-pack.exe"):
        machine, subsystem, characteristics = pe_facts(unpacked / tool)
        assert (machine, subsystem, characteristics & DLL) == (I386, CONSOLE, 0), tool
    machine, _subsystem, characteristics = pe_facts(unpacked / "ZU2DavErudoze.dll")
    assert (machine, characteristics & DLL) == (I386, DLL)


def test_the_exe_does_not_import_what_only_the_runtime_installer_needs(unpacked):
    # Imported, urlmon (with wininet and the rest it brings) and comctl32 would
    # load at every start; the installer loads them when it runs.
    imports = pe_imports(unpacked / "Quillframe.exe")
    assert "kernel32.dll" in imports and "user32.dll" in imports, imports
    assert "urlmon.dll" not in imports and "comctl32.dll" not in imports, imports
    # Nor version.dll, which the built-in loader reads a fixed runtime's version with: it is no known DLL, so
    # imported, a copy planted beside the exe would load at every start.
    assert "version.dll" not in imports, imports


def test_the_tools_need_no_dll_beyond_windows(unpacked):
    for tool in ("quillframe-doctor.exe", "quillframe-pack.exe"):
        imports = pe_imports(unpacked / tool)
        assert "kernel32.dll" in imports and [name for name in imports if name.startswith("lib")] == [], imports


def test_the_readme_says_what_to_add_and_how_the_app_folder_looks(unpacked):
    raw = (unpacked / "README.txt").read_bytes()
    assert b"\r\n" in raw and b"\n" not in raw.replace(b"\r\n", b"")
    text = raw.decode("ascii")
    assert f"Quillframe {version()}" in text
    for needed in ("WebView2Loader.dll", "x86", "package.json", "www\\", "ZU2DavErudoze.dll", "webview2\\",
                   "quillframe-page.js", "docs\\manifest.md", "quillframe-doctor.exe", "pagelib\\"):
        assert needed in text, needed



@pytest.mark.exe32
def test_the_packaged_example_app_starts_talks_to_its_extension_and_closes(wine_session, unpacked, tmp_path):
    app = tmp_path / "app"
    shutil.copytree(unpacked, app)
    # As shipped, with no WebView2Loader.dll: the exe finds the installed runtime, here the stand-in's
    # runtime build registered as a runtime's installer registers it.
    runtime = tmp_path / "runtime" / "120.0.2210.55"
    (runtime / "EBWebView" / "x86").mkdir(parents=True)
    shutil.copyfile(harness.bin_dir_32() / harness.RUNTIME_DLL, runtime / "EBWebView" / "x86" / harness.RUNTIME_DLL)
    installed = harness.InstalledRuntimes(wine_session)
    installed.register("HKLM", "stable", runtime)
    sent = {"type": "extension-message", "text": "hello from the test"}
    (app / "webview2-scenario.json").write_text(json.dumps({"steps": [
        {"do": "request", "uri": "https://quillframe.localhost/quillframe-page.js"},
        {"do": "postMessage", "string": '{"type":"wrapper-init"}'},
        {"do": "postMessage", "string": json.dumps(sent)},
        {"do": "waitForPosts", "count": 2, "timeoutMs": 60000},
        {"do": "close"},
    ]}))
    name = json.loads((app / "package.json").read_text())["name"]
    user_data = wine_session.local_appdata / name
    shutil.rmtree(user_data, ignore_errors=True)
    try:
        events = wine_session.observe([harness.to_windows(app / "Quillframe.exe")], tmp_path / "observer.jsonl",
                                      app, timeout=300)
    finally:
        installed.unregister_all()
        shutil.rmtree(user_data, ignore_errors=True)
    transcript = harness.read_json_lines(app / "webview2-transcript.jsonl")

    assert [e for e in events if e.get("event") in ("box", "timeout", "error")] == []
    assert [e["code"] for e in events if e.get("event") == "exit"] == [0]
    assert [line for line in transcript if line.get("call") == "CreateWebViewEnvironmentWithOptionsInternal"]
    served = {line["uri"]: line for line in transcript if line.get("call") == "served"}
    page = served["https://quillframe.localhost/index.html"]
    assert page["status"] == 200
    assert harness.decode_body(page) == (app / "www" / "index.html").read_bytes()
    library = served["https://quillframe.localhost/quillframe-page.js"]
    assert library["status"] == 200
    assert "Content-Type: application/javascript; charset=utf-8" in library["headers"].split("\n")
    assert harness.decode_body(library) == (ROOT / "pagelib" / "index.js").read_bytes()
    posts = [line["json"] for line in transcript if line.get("call") == "WebView.PostWebMessageAsJson"]
    assert posts[0] == '{"registeredComponentIds":["quillframe.example.echo"],"type":"wrapper-init-response"}'
    reply = json.loads(posts[1])
    assert (reply["type"], reply["component"], reply["received"]) == ("extension-reply", "quillframe.example.echo",
                                                                      sent)
