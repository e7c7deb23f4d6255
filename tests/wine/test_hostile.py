"""Hostile input: what a page and the files beside the exe can throw at the host. Whatever comes,
the host stays up, answers what it should, never reads past what it has, and gives back what it
took: its memory and its handles return to where they were.

The running host is watched from outside at chosen moments (long wait steps): its anonymous
memory from /proc, its handles from the system's handle list (tests/hostile, qf_process_handles).
Bounds are generous: these runs share a busy machine, and no figure here is a timing."""

import json
import subprocess
import time
from dataclasses import dataclass
from pathlib import Path
from urllib.parse import quote

import pytest

import harness
from harness import decode_body, to_windows
from webview_steps import (NAME, ORIGIN, WRAPPER_INIT, WRAPPER_INIT_RESPONSE, PausedRun, post, request, run_page,
                           run_with_pauses, tamper_with, wait)

MIB = 1 << 20
MEDIA = bytes((i * 7 + 3) % 256 for i in range(1000))
INDEX = b"<!doctype html><title>hostile</title>"
PARSE_FAILED = "Failed to parse package.json. Check the file has valid JSON and that all parameters are correct."

# A probe step: the page idles long enough for the test to look at the host from outside.
PROBE_MS = 6000
# Growth allowed between two probes: the heap may keep a little of what it once held.
MEMORY_SLACK = 32 * MIB
HANDLE_SLACK = 8


def wait_for_posts(count, timeout_ms=60000):
    return {"do": "waitForPosts", "count": count, "timeoutMs": timeout_ms}


# -- watching the host from outside -------------------------------------------------------------

def unix_process_of(exe):
    """The Linux process of a Wine program: its command line begins with the exe's Windows path."""
    wanted = to_windows(exe).lower()
    for entry in Path("/proc").iterdir():
        if not entry.name.isdigit():
            continue
        try:
            first = (entry / "cmdline").read_bytes().split(b"\0")[0].decode(errors="replace")
        except OSError:
            continue
        if first.strip('"').lower() == wanted:
            return int(entry.name)
    return None


def anonymous_memory(unix_pid):
    for line in Path(f"/proc/{unix_pid}/status").read_text().splitlines():
        if line.startswith("RssAnon:"):
            return int(line.split()[1]) * 1024
    raise AssertionError("no RssAnon in /proc status")


def handles_of(session, windows_pid):
    tool = harness.bin_dir_64() / "qf_process_handles.exe"
    code, output = harness.run_quietly([harness.WINE64, str(tool), str(windows_pid)], session.env(), 60)
    assert code == 0, output
    answer = json.loads(output.strip().splitlines()[-1])
    assert answer["handles"] > 0, answer
    return answer["handles"]


@dataclass
class Sample:
    memory: int
    handles: int


def sampler(app, session):
    """An action that samples the host's anonymous memory and handle count."""
    def sample(lines):
        [windows_pid] = {line["pid"] for line in lines if line.get("call") == "load"}
        unix_pid = unix_process_of(app.exe)
        assert unix_pid, f"no Linux process for {app.exe}"
        return Sample(anonymous_memory(unix_pid), handles_of(session, windows_pid))
    return sample


def run_watched(app, session, steps, probes, timeout=120, **run_args):
    """Runs the app through `steps`, sampling the host at each step index in `probes` (wait steps)."""
    sample = sampler(app, session)
    return run_with_pauses(app, steps, {index: sample for index in probes}, timeout=timeout, **run_args)


def assert_given_back(before, after):
    assert after.memory <= before.memory + MEMORY_SLACK, (before, after)
    assert after.handles <= before.handles + HANDLE_SLACK, (before, after)


# -- a hostile page ------------------------------------------------------------------------------

def deep(opening, closing, depth):
    return opening * depth + closing * depth


@dataclass
class PageCase:
    step: dict
    replies: int = 0  # wrapper-init answers it must get
    status: int = None  # for requests
    body: bytes = None


def hostile_page_cases():
    big_message = '{"type":"wrapper-init","pad":"' + "x" * (16 * MIB) + '"}'
    long_list = "bytes=0-99," + ",".join(["1-2"] * 25000)
    return {
        "16 MiB message": PageCase(post(big_message), replies=1),
        "arrays nested a million deep": PageCase(post(deep("[", "]", 1_000_000))),
        "objects nested a million deep": PageCase(post(deep('{"a":', "}", 1_000_000).replace('{"a":}', '{"a":1}'))),
        "a million opening brackets": PageCase(post("[" * 1_000_000)),
        "16 MiB of opening brackets": PageCase(post("[" * (16 * MIB))),
        "lone high surrogate escape": PageCase(post('{"type":"wrapper-init","x":"\\ud800"}')),
        "lone low surrogate escape": PageCase(post('{"type":"wrapper-init","x":"\\udc00"}')),
        "surrogates in the wrong order": PageCase(post('{"type":"wrapper-init","x":"\\udc00\\ud800"}')),
        "surrogate escape inside the type": PageCase(post('{"type":"wrapper-\\ud800init"}')),
        "escaped surrogate pair": PageCase(post('{"type":"wrapper-init","x":"\\ud83d\\ude00"}'), replies=1),
        "message cut by a NUL": PageCase(post(WRAPPER_INIT + "\0garbage{["), replies=1),
        "100 KB Range of digits": PageCase(request(ORIGIN + "media.mp4", "bytes=" + "9" * 100_000 + "-"), status=416),
        "100 KB Range of leading zeros": PageCase(request(ORIGIN + "media.mp4", "bytes=" + "0" * 100_000 + "-9"),
                                                  status=206, body=MEDIA[:10]),
        "100 KB Range list": PageCase(request(ORIGIN + "media.mp4", long_list), status=206, body=MEDIA[:100]),
        "100 KB of blanks before a Range": PageCase(request(ORIGIN + "media.mp4", " " * 100_000 + "bytes=100-199"),
                                                    status=206, body=MEDIA[100:200]),
        "escaped lone surrogate in a URI": PageCase(request(ORIGIN + "%ED%A0%80.txt"), status=404,
                                                    body=b"File not found"),
        "surrogate pair escaped one half at a time": PageCase(request(ORIGIN + "%ED%A0%BD%ED%B8%80.txt"), status=404,
                                                              body=b"File not found"),
        "100 KB URI": PageCase(request(ORIGIN + "a" * 100_000), status=404, body=b"File not found"),
    }


def plain_flood():
    """A flood the stand-in can send as one step per message (each costs it milliseconds): texts the
    host must read and drop, with a wrapper-init now and then that it must still answer."""
    texts = ['{"type":"flood"}', "{", "", "[1,2,3]", '{"type":7}', '"wrapper-init"', "\0", '{"type":"Wrapper-Init"}']
    return [post(WRAPPER_INIT if i % 100 == 99 else texts[i % len(texts)]) for i in range(2000)]


PAGE_FILES = {"index.html": INDEX, "media.mp4": MEDIA, "\U0001F600.txt": b"emoji"}


@pytest.fixture(scope="module")
def hostile_page(wine_session, tmp_path_factory):
    app = harness.AppFolder(wine_session, tmp_path_factory.mktemp("hostile-page") / "app", harness.bin_dir_64())
    app.remove_user_data()
    cases = hostile_page_cases()
    flood = plain_flood()
    replies = 1 + flood.count(post(WRAPPER_INIT)) + sum(case.replies for case in cases.values()) + 1
    steps = [post(WRAPPER_INIT), wait_for_posts(1), wait(PROBE_MS), *flood]
    first_case = len(steps)
    steps += [case.step for case in cases.values()]
    steps += [post(WRAPPER_INIT), wait_for_posts(replies), wait(PROBE_MS)]
    watched = run_watched(app, wine_session, steps, probes=[2, len(steps) - 1], www=PAGE_FILES, timeout=240)
    app.remove_user_data()
    return HostilePage(watched, cases, first_case, replies, last_init=len(steps) - 3)


@dataclass
class HostilePage:
    watched: PausedRun
    cases: dict
    first_case: int  # step index of the first case
    replies: int  # wrapper-init answers in the whole run
    last_init: int  # step index of the wrapper-init sent after everything else


def test_a_hostile_page_leaves_the_host_answering(hostile_page):
    run = hostile_page.watched.run
    assert run.posts() == [WRAPPER_INIT_RESPONSE] * hostile_page.replies
    assert run.posts(hostile_page.last_init) == [WRAPPER_INIT_RESPONSE]


@pytest.mark.parametrize("name", list(hostile_page_cases()))
def test_each_hostile_message_or_request_gets_a_clear_answer(hostile_page, name):
    case = hostile_page.cases[name]
    index = hostile_page.first_case + list(hostile_page.cases).index(name)
    watched = hostile_page.watched
    assert len(watched.run.posts(index)) == case.replies
    if case.status is not None:
        served = watched.run.served(index)
        assert served["status"] == case.status
        if case.body is None:
            assert served["streamNull"] and served["bodyLength"] == 0
        else:
            assert decode_body(served) == case.body


def test_the_host_gives_back_what_a_hostile_page_took(hostile_page):
    samples = hostile_page.watched.results
    before, after = (samples[index] for index in sorted(samples))
    assert_given_back(before, after)


# -- a flood, and text that is not UTF-16 (both need steps the stand-in may not have yet) ---------

STANDIN_README = harness.REPO / "tests" / "runtime" / "README.md"


def standin_documents(step_text):
    return step_text in STANDIN_README.read_text(encoding="utf-8")


@pytest.mark.skipif(not standin_documents('"do":"repeat"'),
                    reason="the stand-in runtime has no repeat step: 100,000 plain steps take minutes")
def test_a_flood_of_messages_leaves_the_host_answering_and_gives_back_its_memory(app, wine_session):
    flood = [{"do": "repeat", "times": 100_000, "step": post('{"type":"flood","n":1}')},
             {"do": "repeat", "times": 1000, "step": post(WRAPPER_INIT)}]
    steps = [post(WRAPPER_INIT), wait_for_posts(1), wait(PROBE_MS), *flood, post(WRAPPER_INIT),
             wait_for_posts(1002, 120000), wait(PROBE_MS)]
    watched = run_watched(app, wine_session, steps, probes=[2, len(steps) - 1], www={"index.html": INDEX},
                          timeout=300)
    assert watched.run.posts() == [WRAPPER_INIT_RESPONSE] * 1002
    assert watched.run.posts(len(steps) - 3) == [WRAPPER_INIT_RESPONSE]
    assert_given_back(*(watched.results[index] for index in sorted(watched.results)))


@pytest.mark.skipif(not standin_documents('"utf16"'),
                    reason="the stand-in runtime cannot post a message given as UTF-16 code units")
def test_messages_with_lone_surrogates_get_a_clear_answer(app):
    def utf16(text_with_lone_surrogates):
        return {"do": "postMessage", "utf16": [ord(c) for c in text_with_lone_surrogates]}
    steps = [utf16('{"type":"wrapper-init","x":"\ud800"}'), utf16('{"type":"wrapper-init","x":"\udc00\ud800"}'),
             utf16('{"type":"wrapper-\ud800init"}'), utf16("\ud800"), post(WRAPPER_INIT)]
    run = run_page(app, steps)
    # Converted to UTF-8, a lone surrogate becomes U+FFFD (the message stays JSON and is answered) or
    # bytes that are not UTF-8 (the message is dropped): either is a clear answer. A damaged type
    # or a bare surrogate is never answered, and the host answers what comes next.
    assert all(len(run.posts(index)) in (0, 1) for index in (0, 1))
    assert [len(run.posts(index)) for index in (2, 3, 4)] == [0, 0, 1]
    assert set(run.posts()) == {WRAPPER_INIT_RESPONSE}


# -- hostile manifests ---------------------------------------------------------------------------

BOM = b"\xef\xbb\xbf"
LOAD_FAILED = "Failed to load package.json. Check the file is in the same folder as the app."


def huge_string_manifest():
    return json.dumps({"name": NAME, "description": "x" * (100 * MIB)}).encode()


def million_keys_manifest():
    return ('{"name":' + json.dumps(NAME) + "," + ",".join(f'"k{i}":{i}' for i in range(1_000_000)) + "}").encode()


MANIFESTS = {
    "a 100 MB string value": (huge_string_manifest, None),
    "a million keys": (million_keys_manifest, None),
    "a BOM, then junk after a NUL": (lambda: BOM + json.dumps({"name": NAME}).encode() + b"\0\xff\xfe{[junk", None),
    "a NUL inside the document": (lambda: BOM + b'{"name":"qf\0 host tests"}', PARSE_FAILED),
    "UTF-16 with its BOM": (lambda: json.dumps({"name": NAME}).encode("utf-16"), PARSE_FAILED),
    "a folder named package.json": (None, LOAD_FAILED),
}


@pytest.mark.parametrize("name", list(MANIFESTS))
def test_a_hostile_manifest_gets_a_clear_answer(app, name):
    make, box = MANIFESTS[name]
    app.manifest(None)
    if make is None:
        (app.folder / "package.json").mkdir()
    else:
        app.manifest(make())
    app.user_data_dir(NAME)  # removed after the test
    app.www({"index.html": INDEX})
    app.scenario({"steps": [post(WRAPPER_INIT), wait_for_posts(1), {"do": "close"}]})
    result = app.run(timeout=120)
    if box is None:
        assert (result.exit_code, result.boxes) == (0, []), result.describe()
        assert [line["json"] for line in result.calls("WebView.PostWebMessageAsJson")] == [WRAPPER_INIT_RESPONSE]
    else:
        assert [(b["text"], b["caption"], b["icon"]) for b in result.boxes] == [(box, "Quillframe", "error")]
        assert result.exit_code == 1


# -- hostile files in www\ -------------------------------------------------------------------------

def pattern(size, seed):
    return bytes((i * seed + i // 251) % 256 for i in range(size))


UNICODE_FILES = {
    "\u65e5\u672c\u8a9e.txt": b"BMP CJK",  # 日本語
    "\U0001F600.txt": b"astral emoji",  # 😀
    "\U0001D11E clef.mp4": pattern(1000, 5),  # 𝄞, a musical symbol
    "\U00020000.txt": b"CJK extension B",  # 𠀀
    "e\u0301 decomposed.txt": b"combining accent",
    "\u202e RTL override.txt": b"bidi control",
}
CHANGING = {"vanish.txt": pattern(5000, 3), "shrink.txt": pattern(10000, 11), "held.mp4": pattern(10000, 13)}


@dataclass
class FileCase:
    step: dict
    status: int
    body: bytes = None  # None: no body at all
    status_choices: tuple = ()  # other statuses that are a clear answer too


def www_cases():
    clef = "\U0001D11E clef.mp4"
    cases = {
        "folder named like media": FileCase(request(ORIGIN + "folder.mp4"), 200, b""),
        "range of a folder": FileCase(request(ORIGIN + "folder.mp4", "bytes=0-99"), 416, None, (500,)),
        "file inside that folder": FileCase(request(ORIGIN + "folder.mp4/inner.txt"), 200, b"inner"),
        "folder named like a page": FileCase(request(ORIGIN + "dir.html"), 200, b""),
        f"range of {clef}": FileCase(request(ORIGIN + quote(clef), "bytes=10-19"), 206, UNICODE_FILES[clef][10:20]),
    }
    for name, data in UNICODE_FILES.items():
        cases[f"literal {name}"] = FileCase(request(ORIGIN + name), 200, data)
        cases[f"escaped {name}"] = FileCase(request(ORIGIN + quote(name)), 200, data)
    # Every file that changes later is read once first, the .mp4 ones in ranges (so they are mapped).
    for name, data in CHANGING.items():
        ranged = name.endswith(".mp4")
        cases[f"before: {name}"] = FileCase(request(ORIGIN + name, "bytes=0-9" if ranged else None),
                                            206 if ranged else 200, data[:10] if ranged else data)
    return cases


def after_change_cases():
    held = CHANGING["held.mp4"]
    return {
        "deleted file": FileCase(request(ORIGIN + "vanish.txt"), 404, b"File not found"),
        "truncated file": FileCase(request(ORIGIN + "shrink.txt"), 200, CHANGING["shrink.txt"][:100]),
        "held mapped file, range at its start": FileCase(request(ORIGIN + "held.mp4", "bytes=0-9"), 206, held[:10]),
        "held mapped file, range to its end": FileCase(request(ORIGIN + "held.mp4", "bytes=9990-"), 206, held[9990:]),
        "held mapped file, range past its end": FileCase(request(ORIGIN + "held.mp4", "bytes=10000-10009"), 416),
        "held mapped file, whole": FileCase(request(ORIGIN + "held.mp4"), 200, held),
    }


def change_files(session, www):
    """Between two requests, as other programs might: files the host does not hold are deleted or
    truncated; a Windows program tries to change the one the host has mapped (the test itself
    would get past the share checks of the Windows session)."""
    def change(_lines):
        (www / "vanish.txt").unlink()
        with open(www / "shrink.txt", "r+b") as file:
            file.truncate(100)
        return tamper_with(session, www / "held.mp4")
    return change


@pytest.fixture(scope="module")
def www_run(wine_session, tmp_path_factory):
    app = harness.AppFolder(wine_session, tmp_path_factory.mktemp("hostile-www") / "app", harness.bin_dir_64())
    app.remove_user_data()
    files = {"index.html": INDEX, "folder.mp4/inner.txt": b"inner", "dir.html/x.txt": b"x", **UNICODE_FILES,
             **CHANGING}
    before, after = www_cases(), after_change_cases()
    steps = [case.step for case in before.values()] + [wait(PROBE_MS)] + [case.step for case in after.values()]
    paused = run_with_pauses(app, steps, {len(before): change_files(wine_session, app.folder / "www")},
                             www=files)
    app.remove_user_data()
    answers = {name: paused.run.served(index) for index, name in enumerate(before)}
    answers.update({name: paused.run.served(len(before) + 1 + index) for index, name in enumerate(after)})
    return answers, {**before, **after}, paused.results[len(before)]


def check_file_answer(served, case):
    assert served["status"] in (case.status, *case.status_choices), served
    if served["status"] != case.status:
        assert served["bodyLength"] == 0
        return
    if case.body is None:
        assert served["streamNull"] and served["bodyLength"] == 0
    else:
        assert decode_body(served) == case.body
        lengths = [line for line in served["headers"].split("\n") if line.startswith("Content-Length: ")]
        assert lengths in ([], [f"Content-Length: {len(case.body)}"]), served["headers"]


@pytest.mark.parametrize("name", [*www_cases(), *after_change_cases()])
def test_each_hostile_file_gets_a_clear_answer(www_run, name):
    answers, cases, _ = www_run
    check_file_answer(answers[name], cases[name])


def test_no_program_can_change_a_file_while_the_host_has_it_mapped(www_run):
    *_, tampered = www_run
    assert all(result.startswith("refused ") for result in tampered.values()), tampered


def test_a_file_held_exclusively_by_another_program_gets_a_clear_answer(app, wine_session):
    www = {"index.html": INDEX, "locked.txt": pattern(3000, 23), "locked.mp4": pattern(3000, 29)}
    app.www(www)
    ready, release = app.folder.parent / "locker-ready", app.folder.parent / "locker-release"
    locker = subprocess.Popen([harness.WINE64, str(harness.bin_dir_64() / "qf_file_locker.exe"), to_windows(ready),
                               to_windows(release), *(to_windows(app.folder / "www" / name) for name in www if
                                                      name.startswith("locked"))],
                              env=wine_session.env(), stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL)
    try:
        deadline = time.monotonic() + 60
        while not ready.exists() and time.monotonic() < deadline:
            time.sleep(0.1)
        assert ready.read_text() == "locked"
        requests = [request(ORIGIN + "locked.txt"), request(ORIGIN + "locked.mp4", "bytes=100-199")]
        steps = [*requests, wait(3000), *requests]
        paused = run_with_pauses(app, steps, {2: lambda _lines: release.touch()}, www=www)
    finally:
        release.touch()
        locker.wait(timeout=60)
    whole, part, whole_later, part_later = (paused.run.served(index) for index in (0, 1, 3, 4))
    # While another program holds the file: an error, never a success without its body.
    assert whole["status"] >= 400 and whole["bodyLength"] == 0, whole
    assert part["status"] >= 400 and part["bodyLength"] == 0, part
    # Once it lets go, nothing of the failure was kept.
    check_file_answer(whole_later, FileCase(None, 200, www["locked.txt"]))
    check_file_answer(part_later, FileCase(None, 206, www["locked.mp4"][100:200]))


# -- a long run of requests ----------------------------------------------------------------------

def test_handles_and_memory_stay_level_across_a_long_run_of_requests(app, wine_session):
    media = pattern(MIB, 31)
    small = {f"s{i:02d}.txt": pattern(1024, i + 2) for i in range(20)}
    www = {"index.html": INDEX, "media.mp4": media, **small}

    def mixed(count, start):
        steps = []
        for i in range(start, start + count):
            kind = i % 6
            if kind in (0, 1):
                steps.append(request(ORIGIN + f"s{i % 20:02d}.txt"))
            elif kind == 2:
                first = (i * 7919) % (MIB - 4096)
                steps.append(request(ORIGIN + "media.mp4", f"bytes={first}-{first + 4095}"))
            elif kind == 3:
                steps.append(request(ORIGIN + f"missing{i}.txt"))
            elif kind == 4:
                steps.append(request(ORIGIN + "s00.txt", "bytes=5000-"))
            else:
                steps.append(post(WRAPPER_INIT))
        return steps

    steps = [*mixed(60, 0), wait(PROBE_MS), *mixed(600, 60), wait(PROBE_MS)]
    watched = run_watched(app, wine_session, steps, probes=[60, len(steps) - 1], www=www, timeout=240)
    served = [line for line in watched.run.transcript if line.get("call") == "served"]
    statuses = {(line["uri"].endswith(".mp4"), line["status"]) for line in served}
    assert statuses == {(False, 200), (True, 206), (False, 404), (False, 416)}
    assert len(watched.run.posts()) == 660 // 6
    assert_given_back(*(watched.results[index] for index in sorted(watched.results)))
