"""The extension library as the page and the library see it: loading, the folders and window it is
given, the ids the page learns, messages in both directions, threads, and shutdown.

The stand-in libraries (tests/extensions) record every call they get in extension-transcript.jsonl
beside the exe; the stand-in runtime records what the host did to the web view."""

import json
import time
from dataclasses import dataclass

import pytest

from harness import read_json_lines, to_windows

NAME = "qf-extension-test"
WRAPPER_INIT = '{"type":"wrapper-init"}'
WS_CAPTION = 0x00C00000


def post(text):
    return {"do": "postMessage", "string": text}


def wrapper_init_response(ids):
    return json.dumps({"registeredComponentIds": ids, "type": "wrapper-init-response"}, ensure_ascii=False,
                      separators=(",", ":"))


@dataclass
class ExtensionRun:
    result: object  # harness.RunResult
    library: list  # the stand-in library's transcript

    @property
    def posts(self):
        """Every text the host posted to the page, in order."""
        return [line["json"] for line in self.result.calls("WebView.PostWebMessageAsJson")]

    def posts_of_type(self, kind):
        return [json.loads(text) for text in self.posts if json.loads(text).get("type") == kind]

    def entry_points(self):
        """The library's life as it saw it, in order: loading, entry point calls, unloading."""
        names = {"attach", "Init", "OnMainWindowCreated", "OnExtensionMessage", "Release", "unload"}
        return [line["call"] for line in self.library if line["call"] in names]

    def library_calls(self, name):
        return [line for line in self.library if line["call"] == name]

    def runtime_index(self, predicate, start=0):
        """Index of the first runtime transcript line from `start` on that matches."""
        return next(i for i, line in enumerate(self.result.transcript) if i >= start and predicate(line))


def standin(name):
    """A stand-in library of tests/extensions, relative to the bin folder."""
    return f"extensions/{name}/ZU2DavErudoze.dll"


def run_app(app, library, steps, timeout=30):
    """Runs the app with an extension library from the bin folder (or none) through `steps`, then
    closes it."""
    app.manifest({"name": NAME, "title": "Extensions"})
    app.www({"index.html": "<!doctype html><title>Extensions</title>"})
    if library:
        app.extension(library)
    app.scenario({"steps": [*steps, {"do": "close"}]})
    result = app.run(timeout=timeout)
    run = ExtensionRun(result, read_json_lines(app.folder / "extension-transcript.jsonl"))
    assert result.exit_code == 0, result.describe()
    assert result.boxes == []
    return run


def test_without_a_library_the_page_sees_no_components_and_extension_messages_go_nowhere(app):
    run = run_app(app, None, [post(WRAPPER_INIT), post('{"type":"extension-message","x":1}'), post(WRAPPER_INIT)])
    assert run.posts == [wrapper_init_response([])] * 2
    assert run.library == []


LIBRARIES = [
    # stand-in, whether Init is called, the ids the page learns
    ("full", True, ["standin.alpha", "standin.beta"]),
    ("no_init", False, []),
    ("init_null", True, []),
    ("init_empty", True, []),
    # stored as returned, in order; the library scribbles over them after Init
    # stored as returned, in order, although the library scribbles over them after Init
    ("odd_ids", True, ["dup", "", "dup", 'quote"back\\slash', "ümlaut €", ""]),
]


@pytest.mark.parametrize("extension, init_called, ids", LIBRARIES, ids=[row[0] for row in LIBRARIES])
def test_each_exported_entry_point_is_used_whatever_init_did(app, extension, init_called, ids):
    message = '{"type":"extension-message","n":1}'
    run = run_app(app, standin(extension), [post(WRAPPER_INIT), post(message), post(WRAPPER_INIT)])

    # Release and unloading at shutdown even when Init never ran or failed.
    expected = ["attach", *(["Init"] if init_called else []), "OnMainWindowCreated", "OnExtensionMessage", "Release",
                "unload"]
    assert run.entry_points() == expected
    assert [line["message"] for line in run.library_calls("OnExtensionMessage")] == [message]
    assert run.posts == [wrapper_init_response(ids)] * 2
    # All on the UI thread.
    assert len({line["thread"] for line in run.library if line["call"] in expected}) == 1


def test_init_gets_the_folders_and_a_callback(app):
    run = run_app(app, standin("full"), [])
    [init] = run.library_calls("Init")
    assert init["exeFolder"] == to_windows(app.folder) + "\\"
    assert init["contentFolder"] == "www\\"
    assert init["userDataFolder"] == app.user_data_dir_windows(NAME)
    [environment] = run.result.calls("CreateCoreWebView2EnvironmentWithOptions")
    assert init["userDataFolder"] == environment["userDataFolder"]
    assert init["callbackNull"] is False


def test_the_main_window_is_announced_hidden_and_before_the_web_view_exists(app):
    run = run_app(app, standin("full"), [{"do": "snapshot"}])
    [created] = run.library_calls("OnMainWindowCreated")
    assert created["isWindow"] is True
    assert created["visible"] is False
    assert created["childWindows"] == 0
    [controller] = run.result.calls("Environment.CreateCoreWebView2Controller")
    assert created["window"] == controller["parentWindow"]
    seen_by_then = run.result.transcript[:created["runtimeLines"]]
    assert seen_by_then and all(line["call"] != "CreateCoreWebView2EnvironmentWithOptions" for line in seen_by_then)
    # The same window is the one the page later shows in.
    [snapshot] = run.result.calls("snapshot")
    assert snapshot["window"] == created["window"] and snapshot["visible"]


FORWARDED = [
    '{"type":"extension-message","component":"standin.alpha","payload":{"n":[1,2.50,"x"],"unknown":null}}',
    ' \t{"windowWidth":10,"fullscreen":true,"type":"extension-message"}\n ',
    '{"type":"extension-message","text":"ümlaut € 😀 \\u00e9 \\"q\\" \\\\"}',
    '{"type":"extension-message","type":"extension-message"}',
]
NOT_FORWARDED = [
    '{"type":"Extension-Message"}',
    '{"kind":"extension-message"}',
    '["extension-message"]',
    '"extension-message"',
    '{"type":"extension-message"} {}',
    '',
]


def test_extension_messages_reach_the_library_byte_for_byte_and_only_they_do(app):
    steps = [post(text) for pair in zip(FORWARDED, NOT_FORWARDED) for text in pair]
    run = run_app(app, standin("full"), [*steps, {"do": "snapshot"}])
    received = run.library_calls("OnExtensionMessage")
    assert [line["message"] for line in received] == FORWARDED
    assert [line["length"] for line in received] == [len(text.encode()) for text in FORWARDED]
    # The type alone decides: the "fullscreen" member did not take the window to full screen.
    [snapshot] = run.result.calls("snapshot")
    assert snapshot["style"] & WS_CAPTION == WS_CAPTION
    assert run.posts == []


def test_texts_sent_before_the_web_view_exists_are_dropped_and_the_calls_return(app):
    run = run_app(app, standin("early_callback"), [post(WRAPPER_INIT)])
    returned = [json.loads(line["json"])["from"] for line in run.library_calls("callbackReturned")]
    assert returned == ["Init", "OnMainWindowCreated"]
    assert run.posts == [wrapper_init_response(["standin.early"])]


def test_a_reply_from_inside_on_extension_message_is_posted_at_once(app):
    messages = ['{"type":"extension-message","n":1}', '{"type":"extension-message","n":2,"extra":{"a":[]}}']
    run = run_app(app, standin("echo"), [post(text) for text in messages])
    for text in messages:
        reply = '{"type":"echo","received":' + text + '}'
        received = run.runtime_index(lambda line: line["call"] == "event" and line.get("event") == "WebMessageReceived"
                                     and line.get("json") == json.dumps(text, ensure_ascii=False))
        posted = run.runtime_index(lambda line: line["call"] == "WebView.PostWebMessageAsJson"
                                   and line["json"] == reply)
        handled = run.runtime_index(lambda line: line["call"] == "eventResult" and line["event"] == "WebMessageReceived",
                                    start=received)
        assert received < posted < handled
    # A text sent during Release still reaches the web view, which lives on until the very end.
    [release] = run.library_calls("Release")
    goodbye = run.runtime_index(lambda line: line["call"] == "WebView.PostWebMessageAsJson"
                                and line["json"] == '{"type":"goodbye"}')
    assert goodbye >= release["runtimeLines"]
    assert run.posts[-1] == '{"type":"goodbye"}'


@pytest.mark.parametrize("count", [500, 12000])
def test_texts_from_a_worker_thread_all_reach_the_page_in_order_on_the_ui_thread(app, count):
    pings = [f'{{"type":"extension-message","ping":{n}}}' for n in range(20)]
    start = f'{{"type":"extension-message","command":"start","count":{count}}}'
    steps = [post(start)]
    for ping in pings:  # the page keeps talking while the worker sends
        steps += [post(ping), {"do": "wait", "ms": 5}]
    steps.append({"do": "waitForPosts", "count": count, "timeoutMs": 60000})
    run = run_app(app, standin("worker"), steps, timeout=120)

    [done] = run.library_calls("workerDone")
    assert done["sent"] == count
    assert [post["seq"] for post in run.posts_of_type("worker")] == list(range(count))
    # Every post was made on the UI thread (the stand-in marks others and refuses them).
    assert all("thread" not in line for line in run.result.calls("WebView.PostWebMessageAsJson"))
    assert [line["message"] for line in run.library_calls("OnExtensionMessage")] == [start, *pings]
    [release] = run.library_calls("Release")
    assert all(line["call"] != "WebView.PostWebMessageAsJson" for line in run.result.transcript[release["runtimeLines"]:])


def test_callbacks_after_release_do_nothing_and_the_app_still_ends_cleanly(app):
    run = run_app(app, standin("late"), [post(WRAPPER_INIT)])
    [pinned] = run.library_calls("pinned")
    assert pinned["ok"] is True
    # The library's thread goes on calling after Release has returned; process exit may end it before it
    # records one, so only what did reach the host is checked below.
    assert run.posts_of_type("late") == []
    assert all("thread" not in line for line in run.result.calls("WebView.PostWebMessageAsJson"))
    assert run.entry_points()[-1] == "Release"  # pinned: FreeLibrary cannot unload it


def test_the_example_extension_answers_with_what_it_received(app):
    message = '{"type":"extension-message","text":"hello from the page","sentAt":1}'
    before = time.time() * 1000
    run = run_app(app, "examples/ZU2DavErudoze.dll", [post(WRAPPER_INIT), post(message)])
    assert run.posts[0] == wrapper_init_response(["quillframe.example.echo"])
    reply = json.loads(run.posts[1])
    assert {key: reply[key] for key in ("type", "component", "received")} == {
        "type": "extension-reply", "component": "quillframe.example.echo", "received": json.loads(message)}
    assert before - 60000 < reply["at"] < time.time() * 1000 + 60000
