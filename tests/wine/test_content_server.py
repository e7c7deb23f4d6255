"""The content server as the web view sees it: the answer (status, reason, exact header block,
body) to every kind of request under the virtual origin, served from a real www\\ folder by the
real exe, and which files the exe opened to cut byte ranges.

Most cases share one run of the app: every request is one step, and each test reads the
response that its own step produced."""

import re
from dataclasses import dataclass
from urllib.parse import quote

import pytest

from harness import decode_body, to_windows
from webview_steps import ORIGIN, module_app, request, run_page, run_with_pauses, tamper_with, wait

MIB = 1 << 20
MEDIA = bytes((i * 7 + 3) % 256 for i in range(1000))
BIG = bytes((i * 13 + i // 4096) % 256 for i in range(10 * MIB))
SECRET = b"TOP SECRET: never served"
INDEX = b"<!doctype html><title>index</title>"
UTF8_NAME = "\u00fcber \u20ac.txt"  # "über €.txt"
CJK_NAME = "\u65e5\u672c\u8a9e.html"

FILES = {
    "index.html": INDEX,
    "media.mp4": MEDIA,
    "whole.mp4": MEDIA,
    "one.bin": b"\x2a",
    "empty.txt": b"",
    "big.bin": BIG,
    "my page.html": b"<p>my page</p>",
    UTF8_NAME: b"utf-8 name",
    CJK_NAME: b"<p>cjk</p>",
    "a+b.txt": b"plus kept",
    "a b.txt": b"plus turned into a blank",
    "100%.txt": b"percent",
    "%zz.txt": b"not an escape",
    "sub/x.txt": b"in a subfolder",
    "sub/app.min.js": b"let x = 1;",
    "style.CSS": b"p {}",
    "UPPER.HTML": b"<p>upper</p>",
    "Page.Htm": b"<p>htm</p>",
    "font.woff": b"w1",
    "font.woff2": b"w2",
    "song.opus": b"opus",
    "data.scon": b"{}",
    "data.json": b"{}",
    "archive.tar.gz": b"gz",
    "README": b"readme",
    "module.wasm": b"\0asm",
    "pic.JPEG": b"jpeg",
    "release1.2/notes": b"notes",
}

NO_STORE = "Cache-Control: no-store"
HTML = "text/html; charset=utf-8"
TEXT = "text/plain; charset=utf-8"
MP4 = "video/mp4"
OCTETS = "application/octet-stream"


def ok(mime, body):
    return 200, "OK", [NO_STORE, f"Content-Type: {mime}", "Accept-Ranges: bytes", f"Content-Length: {len(body)}"], body


def partial(mime, data, first, last):
    headers = [NO_STORE, f"Content-Type: {mime}", "Accept-Ranges: bytes",
               f"Content-Range: bytes {first}-{last}/{len(data)}", f"Content-Length: {last - first + 1}"]
    return 206, "Partial Content", headers, data[first:last + 1]


def refused(mime):
    return 416, "Range Not Satisfiable", [NO_STORE, f"Content-Type: {mime}", "Accept-Ranges: bytes"], None


NOT_FOUND = (404, "Not Found", [NO_STORE], b"File not found")


@dataclass
class Case:
    id: str
    path: str  # after the origin, as the page asked for it
    range: str = None
    expect: tuple = None  # status, reason, header lines, body (None: no content stream at all)
    known_fault: str = None


CASES = [
    # Whole files and the worked example.
    Case("index", "index.html", expect=ok(HTML, INDEX)),
    Case("mp4-100-199", "media.mp4", "bytes=100-199", partial(MP4, MEDIA, 100, 199)),
    Case("mp4-0-0", "media.mp4", "bytes=0-0", partial(MP4, MEDIA, 0, 0)),
    Case("mp4-last-byte", "media.mp4", "bytes=999-", partial(MP4, MEDIA, 999, 999)),
    Case("mp4-suffix-10", "media.mp4", "bytes=-10", partial(MP4, MEDIA, 990, 999)),
    Case("mp4-blanks-around", "media.mp4", " \t bytes=100-199 \t ", partial(MP4, MEDIA, 100, 199)),
    Case("mp4-blank-after-equals", "media.mp4", "bytes= 100-199", partial(MP4, MEDIA, 100, 199)),
    Case("mp4-first-of-a-list", "media.mp4", "bytes=0-99,200-299", partial(MP4, MEDIA, 0, 99)),
    Case("whole-0-999", "whole.mp4", "bytes=0-999", partial(MP4, MEDIA, 0, 999)),
    Case("whole-0-open", "whole.mp4", "bytes=0-", partial(MP4, MEDIA, 0, 999)),
    Case("whole-suffix-1000", "whole.mp4", "bytes=-1000", partial(MP4, MEDIA, 0, 999)),
    Case("one-byte-file", "one.bin", "bytes=0-", partial(OCTETS, b"\x2a", 0, 0)),
    Case("empty-no-range", "empty.txt", expect=ok(TEXT, b"")),
    Case("empty-range", "empty.txt", "bytes=0-", refused(TEXT)),
    # Ranges that are not satisfiable: three header lines, no content.
    *[Case(f"416 {value!r}", "media.mp4", value, refused(MP4)) for value in [
        "bytes=0-1000", "bytes=500-100", "bytes=1000-", "bytes=-1001", "Bytes=0-1", "items=0-1", "bytes=5", "",
        "bytes=abc-", "bytes=-", "bytes=99999999999-", "bytes=0-99999999999", "bytes=-0", "bytes=x-5"]],
    # Ranges over 4 MiB on a 10 MiB file.
    Case("big-no-range", "big.bin", expect=ok(OCTETS, BIG)),
    Case("big-explicit-whole", "big.bin", "bytes=0-10485759", partial(OCTETS, BIG, 0, 4 * MIB - 1)),
    Case("big-from-1", "big.bin", "bytes=1-", partial(OCTETS, BIG, 1, 4 * MIB)),
    Case("big-suffix", "big.bin", "bytes=-5000000", partial(OCTETS, BIG, 5485760, 5485760 + 4 * MIB - 1)),
    Case("big-small-slice", "big.bin", "bytes=5242880-5243903", partial(OCTETS, BIG, 5 * MIB, 5 * MIB + 1023)),
    Case("big-0-open", "big.bin", "bytes=0-", partial(OCTETS, BIG, 0, 4 * MIB - 1)),
    # Missing files.
    Case("missing", "missing.html", expect=NOT_FOUND),
    Case("missing-in-folder", "nothere/index.html", expect=NOT_FOUND),
    # Names and the percent-decoder.
    Case("escaped-blank", "my%20page.html", expect=ok(HTML, FILES["my page.html"])),
    Case("escaped-utf8", quote(UTF8_NAME), expect=ok(TEXT, FILES[UTF8_NAME])),
    Case("escaped-utf8-lower-hex", quote(UTF8_NAME).lower(), expect=ok(TEXT, FILES[UTF8_NAME])),
    Case("literal-utf8", UTF8_NAME, expect=ok(TEXT, FILES[UTF8_NAME])),
    Case("escaped-cjk", quote(CJK_NAME), expect=ok(HTML, FILES[CJK_NAME])),
    Case("plus-unchanged", "a+b.txt", expect=ok(TEXT, FILES["a+b.txt"])),
    Case("escaped-percent", "100%25.txt", expect=ok(TEXT, FILES["100%.txt"])),
    Case("not-an-escape", "%zz.txt", expect=ok(TEXT, FILES["%zz.txt"])),
    Case("escaped-slash-separates", "sub%2Fx.txt", expect=ok(TEXT, FILES["sub/x.txt"])),
    Case("escaped-backslash-separates", "sub%5Cx.txt", expect=ok(TEXT, FILES["sub/x.txt"])),
    Case("subfolder", "sub/x.txt", expect=ok(TEXT, FILES["sub/x.txt"])),
    Case("invalid-utf8-escape", "%FF.txt", expect=NOT_FOUND),
    # A query or fragment never names a file.
    Case("query", "index.html?v=2", expect=ok(HTML, INDEX)),
    Case("fragment", "index.html#x", expect=ok(HTML, INDEX)),
    Case("query-with-escapes", "my%20page.html?x=%2F..%2Fsecret", expect=ok(HTML, FILES["my page.html"])),
    Case("escaped-question-mark", "index.html%3Fv=2", expect=NOT_FOUND),
    # Content types by extension, in any letter case; the last dot wins.
    Case("mime-js", "sub/app.min.js", expect=ok("application/javascript; charset=utf-8", FILES["sub/app.min.js"])),
    Case("mime-upper-css", "style.CSS", expect=ok("text/css; charset=utf-8", FILES["style.CSS"])),
    Case("mime-upper-html", "UPPER.HTML", expect=ok(HTML, FILES["UPPER.HTML"])),
    Case("mime-mixed-htm", "Page.Htm", expect=ok(HTML, FILES["Page.Htm"])),
    Case("mime-woff", "font.woff", expect=ok("application/font-woff", FILES["font.woff"])),
    Case("mime-woff2", "font.woff2", expect=ok("font/woff2", FILES["font.woff2"])),
    Case("mime-opus", "song.opus", expect=ok("audio/ogg; codecs=opus", FILES["song.opus"])),
    Case("mime-scon", "data.scon", expect=ok("application/json", FILES["data.scon"])),
    Case("mime-json", "data.json", expect=ok("application/json; charset=utf-8", FILES["data.json"])),
    Case("mime-tar-gz", "archive.tar.gz", expect=ok(OCTETS, FILES["archive.tar.gz"])),
    Case("mime-none", "README", expect=ok(OCTETS, FILES["README"])),
    Case("mime-wasm", "module.wasm", expect=ok("application/wasm", FILES["module.wasm"])),
    Case("mime-upper-jpeg", "pic.JPEG", expect=ok("image/jpeg", FILES["pic.JPEG"])),
    Case("mime-dot-in-folder", "release1.2/notes", expect=ok(OCTETS, FILES["release1.2/notes"])),
]

# Requests that would leave www\ (the secret file and package.json sit right beside it).
ESCAPES = [
    "../secret.txt", "..%2Fsecret.txt", "%2E%2E/secret.txt", "%2e%2e%2fsecret.txt", "..%5Csecret.txt",
    "..\\secret.txt", "sub/../../secret.txt", "sub/%2E%2E/%2E%2E/secret.txt", "sub/..%5C..%5Csecret.txt",
    "/../secret.txt", "%2F..%2Fsecret.txt", "%5C..%5Csecret.txt", "\\..\\secret.txt", "..%20/secret.txt",
    "...%2Fsecret.txt", "..%2Fpackage.json", "%2E%2E%2F%2E%2E%2Fapp%2Fsecret.txt",
]
CASES += [Case(f"escape {path!r}", path, expect=NOT_FOUND) for path in ESCAPES]


def absolute_escapes(app):
    """The secret by absolute path: drive letters, leading separators, long-path and device forms."""
    windows = to_windows(app.folder / "secret.txt")  # Z:\...\secret.txt
    slashed = windows.replace("\\", "/")
    return [windows, slashed, quote(windows, safe=""), "/" + slashed[2:], "%2F" + quote(slashed[3:]),
            "\\\\?\\" + windows, quote("\\\\?\\" + windows, safe=""), "\\\\.\\" + windows, "Z%3A" + quote(slashed[2:]),
            "secret.txt:$DATA", "index.html::$DATA", "NUL", "sub/CON"]


@pytest.fixture(scope="module")
def content_run(wine_session, tmp_path_factory):
    app = module_app(wine_session, tmp_path_factory, "content")
    app.write("secret.txt", SECRET)
    extra = [Case(f"absolute {path!r}", path, expect=NOT_FOUND) for path in absolute_escapes(app)]
    # The origin alone names www\ itself, a folder, and a folder in it likewise.
    extra += [Case("bare-origin", ""), Case("folder", "sub")]
    cases = CASES + extra
    # The mapped file is cut again and again in between the other requests.
    steps = []
    for number, case in enumerate(cases):
        steps.append(request(ORIGIN + case.path, case.range))
        if number % 10 == 0:
            steps.append(request(ORIGIN + "media.mp4", f"bytes={number}-{number + 9}"))
    run = run_page(app, steps, www=FILES, timeout=90)
    served = [run.served(index) for index in range(len(steps))]
    assert [line["uri"] for line in served] == [step["uri"] for step in steps], "every request was answered"
    answers = {}
    index = 0
    for number, case in enumerate(cases):
        answers[case.id] = served[index]
        index += 2 if number % 10 == 0 else 1
    return run, app, cases, answers, served


def check_answer(served, expect):
    status, reason, headers, body = expect
    assert (served["status"], served["reason"]) == (status, reason)
    assert served["headers"] == "\n".join(headers)
    if body is None:
        assert served["streamNull"] is True
        assert served["bodyLength"] == 0
    else:
        assert served["streamNull"] is False
        assert served.get("streamStartPosition", 0) == 0
        assert served["bodyLength"] == len(body)
        assert decode_body(served) == body[:4 * MIB]


@pytest.mark.parametrize("case", [
    pytest.param(case, id=case.id, marks=[pytest.mark.xfail(strict=True, reason=case.known_fault)] if case.known_fault
                 else []) for case in CASES])
def test_each_request_gets_its_exact_answer(content_run, case):
    _, _, _, answers, _ = content_run
    check_answer(answers[case.id], case.expect)


def test_the_worked_example_has_this_header_block(content_run):
    _, _, _, answers, _ = content_run
    served = answers["mp4-100-199"]
    assert served["headers"] == ("Cache-Control: no-store\nContent-Type: video/mp4\nAccept-Ranges: bytes\n"
                                 "Content-Range: bytes 100-199/1000\nContent-Length: 100")
    assert decode_body(served) == MEDIA[100:200]


def test_the_secret_beside_www_is_never_served_by_any_path(content_run):
    _, _, cases, answers, served = content_run
    for case in cases:
        if case.id.startswith("absolute "):
            check_answer(answers[case.id], NOT_FOUND)
    assert all(SECRET not in decode_body(line) for line in served)


def test_a_folder_is_answered_with_its_size_and_no_body(content_run):
    _, _, _, answers, _ = content_run
    for case_id in ("bare-origin", "folder"):
        served = answers[case_id]
        assert (served["status"], served["reason"]) == (200, "OK")
        lines = served["headers"].split("\n")
        assert lines[:3] == [NO_STORE, f"Content-Type: {OCTETS}", "Accept-Ranges: bytes"]
        assert re.fullmatch(r"Content-Length: (0|[1-9][0-9]*)", lines[3]) and len(lines) == 4
        assert served["bodyLength"] == 0


def test_a_file_is_opened_once_for_all_its_ranges_and_never_for_whole_answers(content_run):
    run, app, _, _, _ = content_run
    opened = {}
    for line in run.calls("CreateFileW"):
        name = line["path"].rsplit("\\", 1)[-1]
        opened.setdefault(name, []).append(line["count"])
    # media.mp4 was cut a dozen times, big.bin four times.
    assert opened.pop("media.mp4") == [1]
    assert opened.pop("big.bin") == [1]
    # Whole files (with or without a Range that covers them) are streamed, never mapped.
    assert opened == {}
    [path] = [line["path"] for line in run.calls("CreateFileW") if line["path"].endswith("media.mp4")]
    assert path == "\\\\?\\" + to_windows(app.folder / "www" / "media.mp4")


def test_a_mapped_file_keeps_its_bytes_and_size_until_the_host_lets_go(app, wine_session):
    """Once a range of a file was cut, the host holds the file with read sharing only: other
    programs cannot append to it, truncate, rename or delete it, so every later answer comes from
    the same bytes with the same size. When the app has ended, the file is free again."""
    media = app.folder / "www" / "held.mp4"
    steps = [request(ORIGIN + "held.mp4", "bytes=100-199"), wait(6000), request(ORIGIN + "held.mp4", "bytes=900-"),
             request(ORIGIN + "held.mp4", "bytes=1000-1099"), request(ORIGIN + "held.mp4")]
    paused = run_with_pauses(app, steps, {1: lambda _lines: tamper_with(wine_session, media)},
                             www={"index.html": INDEX, "held.mp4": MEDIA}, timeout=90)
    assert all(result.startswith("refused ") for result in paused.results[1].values()), paused.results
    run = paused.run
    check_answer(run.served(0), partial(MP4, MEDIA, 100, 199))
    check_answer(run.served(2), partial(MP4, MEDIA, 900, 999))
    check_answer(run.served(3), refused(MP4))
    assert decode_body(run.served(4)) == MEDIA
    assert media.read_bytes() == MEDIA
    assert tamper_with(wine_session, media) == {"append": "done", "truncate": "done", "rename": "done",
                                                "delete": "done"}


@pytest.mark.exe32
def test_the_32_bit_exe_seeks_in_more_large_files_than_its_address_space_holds_at_once(app32):
    """Twenty 256 MiB media files are more than a 32-bit process can map at once: views of the
    files used longest ago give way, and every range is still answered from the right file."""
    count, size = 20, 256 * MIB
    marks = {index: bytes((index * 17 + i) % 256 for i in range(16)) for index in range(count)}
    app32.www({"index.html": INDEX})
    for index, mark in marks.items():
        # Sparse: only the marks take up disk space.
        with open(app32.folder / "www" / f"{index:02d}.mp4", "wb") as file:
            file.write(mark)
            file.truncate(size)
    order = [*range(count), 0, count - 1, 1]
    steps = [request(ORIGIN + f"{index:02d}.mp4", "bytes=0-15") for index in order]
    run = run_page(app32, steps, www={"index.html": INDEX}, timeout=600)
    for step, index in enumerate(order):
        served = run.served(step)
        assert (served["status"], decode_body(served)) == (206, marks[index]), (step, index, served["status"])
        assert f"Content-Range: bytes 0-15/{size}\n" in served["headers"]
