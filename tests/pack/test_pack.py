"""quillframe-pack on app folders: what it refuses and what it makes of them (the native tool), what Windows'
own API reads from the branded exe (under Wine), and signed output verified by osslsigncode.

Needs quillframe-pack from the native build (QF_NATIVE_BIN_DIR) and the win64-test build (QF_BIN_DIR): the
x86-64 host to brand and the resource probe.
"""
import hashlib
import json
import os
import struct
import subprocess
import sys
import zipfile
import zlib
from pathlib import Path

import pytest

ROOT = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(ROOT / "tests" / "wine"))
import harness  # noqa: E402

NATIVE_BIN = Path(os.environ.get("QF_NATIVE_BIN_DIR", ROOT / "build" / "native" / "bin"))
TITLE = "\"$INSTDIR\" ${X} $\\n \\ ' `` & % é ☕"
SIZES = [16, 24, 32, 48, 256]
WINE32 = "/usr/lib/wine/wine"  # NSIS installers are 32-bit programs


def png(width, height, rgba=(0x33, 0x66, 0xCC, 0xFF)):
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    rows = b"".join(b"\0" + bytes(rgba) * width for _ in range(height))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b""))


def make_app(folder, manifest=None, files=None):
    """An app that the doctor passes; `manifest` keys replace the defaults, `files` adds or (None) removes."""
    values = {"name": "Packed", "version": "1.2.3", "author": "Ann Lee <ann@example.org>",
              "window": {"title": "Packed", "icon": "www/icon.png"}, "settings": {"enable-devtools": False}}
    values.update(manifest or {})
    contents = {"package.json": json.dumps(values, ensure_ascii=False).encode(), "www/icon.png": png(40, 24),
                "www/index.html": b"<!doctype html><title>Packed</title><p>packed</p>"}
    contents.update(files or {})
    for relative, data in contents.items():
        path = folder / relative
        if data is None:
            path.unlink(missing_ok=True)
            continue
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_bytes(data)
    return folder


def snapshot(folder):
    return {str(p.relative_to(folder)): hashlib.sha256(p.read_bytes()).hexdigest() if p.is_file() else "dir"
            for p in sorted(folder.rglob("*"))}


def pack(app, out, *extra):
    command = [str(NATIVE_BIN / "quillframe-pack"), str(app), "--out", str(out),
               "--exe", str(harness.bin_dir_64() / "Quillframe.exe"), *extra]
    return subprocess.run(command, capture_output=True, text=True, timeout=300)


# (case, manifest keys, files, extra arguments, the error's words; None when the release is made)
CASES = [
    ("no manifest", {}, {"package.json": None}, [], "package.json"),
    ("bad version", {"version": "1.2"}, {}, [], '"version"'),
    ("bad name", {"name": "my:app"}, {}, [], '"name"'),
    ("reserved name", {"name": "LPT1"}, {}, [], '"name"'),
    # Allowed problems never let a release lose its icon.
    ("missing icon", {"window": {"icon": "www/missing.png"}}, {}, ["--allow-problems"], "www/missing.png"),
    ("icon that is not an image", {}, {"www/icon.png": b"<svg>not a png</svg>"}, ["--allow-problems"],
     "www/icon.png"),
    ("a problem the doctor finds", {"main": "start.html"}, {}, [], "doctor"),
    ("the same, allowed", {"main": "start.html"}, {}, ["--allow-problems"], None),
    ("a title full of script metacharacters", {"window": {"title": TITLE, "icon": "www/icon.png"}}, {}, [], None),
    ("non-ASCII file names in www", {}, {"www/наш файл ☕.html": b"<p>hi</p>", "www/é/ü.js": b"1"}, [], None),
]


@pytest.mark.parametrize("case,manifest,files,extra,error", CASES, ids=[case[0] for case in CASES])
def test_pack_refuses_clearly_or_makes_the_release_and_never_changes_the_app(tmp_path, case, manifest, files,
                                                                               extra, error):
    app = make_app(tmp_path / "my app folder", manifest, files)
    before = snapshot(app)
    out = tmp_path / "out with spaces"
    done = pack(app, out, *extra)
    assert snapshot(app) == before
    if error:
        assert done.returncode == 1, done.stdout + done.stderr
        assert error in done.stderr, done.stderr
        assert not out.exists(), list(out.rglob("*"))
        return
    assert done.returncode == 0, done.stdout + done.stderr
    name = json.loads((app / "package.json").read_text())["name"]
    assert sorted(p.name for p in out.iterdir()) == sorted(
        [f"{name}.exe", f"{name}-1.2.3-setup.exe", f"{name}-1.2.3-win32.zip"])
    with zipfile.ZipFile(out / f"{name}-1.2.3-win32.zip") as archive:
        assert archive.testzip() is None
        members = {info.filename for info in archive.infolist() if not info.is_dir()}
        shipped = {f"{name}/{p.relative_to(app).as_posix()}" for p in app.rglob("*") if p.is_file()}
        assert members == shipped | {f"{name}/{name}.exe"}
        assert archive.read(f"{name}/{name}.exe") == (out / f"{name}.exe").read_bytes()


def test_an_out_folder_inside_the_app_is_refused(tmp_path):
    app = make_app(tmp_path / "app")
    before = snapshot(app)
    done = pack(app, app / "dist")
    assert (done.returncode, snapshot(app)) == (1, before), done.stderr
    assert "inside the app folder" in done.stderr


def test_windows_reads_the_branded_exes_version_block_and_icon_group(wine_session, tmp_path):
    author = "Zoë \"Q\" O'Neil & Co"
    app = make_app(tmp_path / "app", {"version": "2.10.7-rc.1+build.5", "author": {"name": author},
                                      "description": "Ça marche \"vraiment\"",
                                      "window": {"title": TITLE, "icon": "www/icon.png"}})
    done = pack(app, tmp_path / "out")
    assert done.returncode == 0, done.stdout + done.stderr
    probe = subprocess.run([harness.WINE64, str(harness.bin_dir_64() / "qf_resource_probe.exe"),
                            harness.to_windows(tmp_path / "out" / "Packed.exe")],
                           env=wine_session.env(), capture_output=True, text=True, timeout=60)
    version, icons = [json.loads(line) for line in probe.stdout.splitlines() if line.startswith("{")]
    assert version["version"]["strings"] == {
        "ProductName": TITLE, "FileDescription": "Ça marche \"vraiment\"", "CompanyName": author,
        "FileVersion": "2.10.7-rc.1+build.5", "ProductVersion": "2.10.7-rc.1+build.5",
        "OriginalFilename": "Packed.exe", "InternalName": "Packed", "LegalCopyright": "Copyright © " + author}
    assert version["version"]["fileVersion"] == version["version"]["productVersion"] == "2.10.7.0"
    assert [(icon["width"], icon["height"], icon["found"]) for icon in icons["icons"]] == [
        (size, size, True) for size in SIZES]


def test_signed_release_verifies_exe_installer_and_uninstaller(wine_session, tmp_path):
    key, cert, pfx = tmp_path / "key.pem", tmp_path / "cert.pem", tmp_path / "signing.pfx"
    password = "pässword with spaces $x"
    (tmp_path / "password.txt").write_text(password)
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", cert,
                    "-days", "2", "-subj", "/CN=Quillframe test signer", "-addext", "extendedKeyUsage=codeSigning"],
                   check=True, capture_output=True)
    subprocess.run(["openssl", "pkcs12", "-export", "-inkey", key, "-in", cert, "-out", pfx, "-passout",
                    "file:" + str(tmp_path / "password.txt")], check=True, capture_output=True)
    app = make_app(tmp_path / "app", {"name": "Signed"})
    done = pack(app, tmp_path / "out", "--sign", str(pfx), "--sign-password-file", str(tmp_path / "password.txt"))
    assert done.returncode == 0, done.stdout + done.stderr
    assert password not in done.stdout + done.stderr
    setup = tmp_path / "out" / "Signed-1.2.3-setup.exe"
    install = wine_session.local_appdata / "Programs" / "Signed"
    # No pipes: a Wine service started along the way would hold them open.
    subprocess.run([WINE32, harness.to_windows(setup), "/S"], env=wine_session.env(), timeout=120,
                   check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        for signed in (tmp_path / "out" / "Signed.exe", setup, install / "Uninstall Signed.exe"):
            verified = subprocess.run(["osslsigncode", "verify", "-CAfile", str(cert), "-in", str(signed)],
                                      capture_output=True, text=True)
            assert verified.returncode == 0 and "Signature verification: ok" in verified.stdout, (
                signed.name, verified.stdout + verified.stderr)
            assert "sha256" in verified.stdout.lower()
    finally:
        subprocess.run([WINE32, harness.to_windows(install / "Uninstall Signed.exe"), "/S"],
                       env=wine_session.env(), timeout=120, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def test_the_windows_tool_packs_up_to_the_installer_and_says_how_to_get_makensis(wine_session, tmp_path):
    app = make_app(tmp_path / "app")
    out = tmp_path / "out"
    done = subprocess.run([harness.WINE64, str(harness.bin_dir_64() / "quillframe-pack.exe"), harness.to_windows(app),
                           "--out", harness.to_windows(out), "--exe",
                           harness.to_windows(harness.bin_dir_64() / "Quillframe.exe")],
                          env=wine_session.env({"PATH": "/usr/bin:/bin", "WINEPATH": ""}), capture_output=True,
                          text=True, timeout=120)
    # The prefix has no NSIS: everything before the installer ran (manifest, doctor, icon, branding).
    assert done.returncode == 1, done.stdout + done.stderr
    assert "makensis" in done.stderr and "nsis.sourceforge.io" in done.stderr, done.stderr
    assert not out.exists()
