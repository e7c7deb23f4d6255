"""The page bridge as the page sees it: what each message posted from the page does to the
window, what the host posts back, and which messages are ignored without a trace."""

import pytest

from webview_steps import (ORIGIN, WRAPPER_INIT, WRAPPER_INIT_RESPONSE, WS_CAPTION, message, post, post_json,
                           rect_size, run_page, snapshot)


def test_wrapper_init_is_answered_byte_for_byte_each_time(app):
    steps = [post(WRAPPER_INIT), post(WRAPPER_INIT), post(' {"type" : "wrapper-init", "extra": [1]}\n'),
             post(WRAPPER_INIT, ORIGIN + "sub/page.html?x#y")]
    run = run_page(app, steps)
    assert [run.posts(index) for index in range(len(steps))] == [[WRAPPER_INIT_RESPONSE]] * len(steps)
    assert run.calls("WebView.PostWebMessageAsString") == []


SIZES = [
    # message members, client size afterwards (None: unchanged)
    ({"windowWidth": 800, "windowHeight": 600}, (800, 600)),
    ({"windowWidth": 700}, None),
    ({"windowWidth": 700.9, "windowHeight": "500"}, None),
    ({"windowWidth": 700.9, "windowHeight": 500.5}, (700, 500)),
    ({"windowWidth": 0, "windowHeight": 500}, None),
    ({"windowWidth": 640, "windowHeight": -480}, None),
    ({"windowWidth": -0.5, "windowHeight": 480}, None),
    ({"windowWidth": True, "windowHeight": 480}, None),
    ({"windowWidth": None, "windowHeight": 480}, None),
    ({"windowWidth": 1e12, "windowHeight": 480}, None),
    ({"windowWidth": 4294967936, "windowHeight": 480}, (640, 480)),  # the low 32 bits: 640
    ({"windowHeight": 300, "windowWidth": 400}, (400, 300)),
    ({}, None),
]
POSITIONS = [
    ({"windowX": 100, "windowY": 50}, (100, 50)),
    ({}, (0, 0)),
    ({"windowX": -50, "windowY": -20}, (-50, -20)),
    ({"windowX": 30.9, "windowY": "40"}, (30, 0)),
    ({"windowY": 70}, (0, 70)),
    ({"windowX": -3.7, "windowY": [5]}, (-3, 0)),
]


def test_set_window_size_reads_numbers_leniently_and_ignores_sizes_below_one(app):
    steps = []
    for members, _ in SIZES:
        steps += [message("set-window-size", **members), snapshot()]
    run = run_page(app, steps)
    client = (1024, 768)
    for number, (members, expected) in enumerate(SIZES):
        shot = run.snapshot(2 * number + 1)
        client = expected or client
        assert rect_size(shot["clientRect"]) == client, members
        assert shot["viewRect"] == [0, 0, *client]
        if expected is None:
            assert run.step_calls(2 * number, "Controller.put_Bounds") == [], members


def test_set_window_position_reads_numbers_leniently_and_moves_anywhere(app):
    steps = [snapshot()]
    for members, _ in POSITIONS:
        steps += [message("set-window-position", **members), snapshot()]
    run = run_page(app, steps)
    size = rect_size(run.snapshot(0)["windowRect"])
    for number, (members, expected) in enumerate(POSITIONS):
        shot = run.snapshot(2 * number + 2)
        assert shot["windowRect"][:2] == list(expected), members
        assert rect_size(shot["windowRect"]) == size


IGNORED = [
    '{"type":"Wrapper-Init"}', '{"type":"WRAPPER-INIT"}', '{"type":"wrapper-init "}', '{"kind":"wrapper-init"}',
    '{"type":["wrapper-init"]}', '["wrapper-init"]', '"wrapper-init"', "wrapper-init", '{"type":"wrapper-init"} x',
    '{"type":"wrapper-init"}{}', '{"type":"wrapper-init"}//', '{"type":"wrapper-init",}', "{'type':'wrapper-init'}",
    "", " ", "null", "{}",
    '{"type":"Set-Fullscreen","fullscreen":true}', '["set-fullscreen",true]',
    '{"type":"set-fullscreen","fullscreen":true} x', '{"type":"SET-WINDOW-SIZE","windowWidth":300,"windowHeight":200}',
    '{"type":"set-window-size","windowWidth":300,"windowHeight":200}]',
    '{"type":"set-window-position","windowX":5,"windowY":5},',
    '{"fullscreen":true}',
    # Meant for an extension: without a library it goes nowhere, whatever else it carries.
    '{"type":"extension-message","fullscreen":true,"windowWidth":300,"windowHeight":200}',
]
NOT_STRINGS = [{"type": "wrapper-init"}, {"type": "set-fullscreen", "fullscreen": True}, ["wrapper-init"], 7, None]
UNTRUSTED = ["https://example.com/", "about:blank", "https://quillframe.localhost", "HTTPS://quillframe.localhost/",
             "https://quillframe.localhost.evil.test/", "http://quillframe.localhost/", ""]


@pytest.mark.parametrize("group", ["malformed", "not-strings", "untrusted"])
def test_ignored_messages_change_nothing_and_get_no_reply(app, group):
    if group == "malformed":
        steps = [post(text) for text in IGNORED]
    elif group == "not-strings":
        steps = [post_json(value) for value in NOT_STRINGS]
    else:
        steps = [post(text, source) for source in UNTRUSTED
                 for text in (WRAPPER_INIT, '{"type":"set-fullscreen","fullscreen":true}',
                              '{"type":"set-window-position","windowX":7,"windowY":9}')]
    run = run_page(app, [snapshot(), *steps, snapshot(), post(WRAPPER_INIT)])
    before, after = run.snapshot(0), run.snapshot(len(steps) + 1)
    assert run.posts() == [WRAPPER_INIT_RESPONSE], "only the final, valid message was answered"
    assert {key: after[key] for key in ("style", "exStyle", "windowRect", "clientRect")} == {
        key: before[key] for key in ("style", "exStyle", "windowRect", "clientRect")}
    assert after["style"] & WS_CAPTION == WS_CAPTION
    host_calls = [name for index in range(1, len(steps) + 1) for name in run.host_call_names(run.step_lines(index))]
    assert not [name for name in host_calls if name.startswith("Controller.")]
    if group == "not-strings":
        hrs = [line["hr"] for index in range(1, len(steps) + 1)
               for line in run.step_calls(index, "WebMessageReceivedEventArgs.TryGetWebMessageAsString")]
        assert hrs == ["0x80070057"] * len(steps)
    if group == "untrusted":
        assert len(run.calls("WebMessageReceivedEventArgs.TryGetWebMessageAsString")) == 1
