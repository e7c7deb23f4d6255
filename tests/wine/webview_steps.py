"""Scenario building and transcript reading shared by the web view host, content server and
bridge tests: steps for the stand-in runtime (tests/runtime/README.md), one run of the app
through them, and the transcript cut into what each step caused."""

import concurrent.futures
import contextlib
import json
import time
from dataclasses import dataclass, field

import harness

ORIGIN = "https://quillframe.localhost/"
# A space in the name: the user data folder takes it verbatim.
NAME = "qf host tests"
TITLE = "Host Tests"
WRAPPER_INIT = '{"type":"wrapper-init"}'
WRAPPER_INIT_RESPONSE = '{"registeredComponentIds":[],"type":"wrapper-init-response"}'

WS_CAPTION = 0x00C00000
WS_THICKFRAME = 0x00040000
WS_SYSMENU = 0x00080000
WS_MINIMIZEBOX = 0x00020000
WS_MAXIMIZEBOX = 0x00010000
FRAME_EX_STYLES = 0x00020301  # dialog modal frame, window edge, client edge, static edge


# -- steps ---------------------------------------------------------------------------------------

def post(text, source=None):
    step = {"do": "postMessage", "string": text}
    if source is not None:
        step["source"] = source
    return step


def post_json(value, source=None):
    """A message that is not a string (TryGetWebMessageAsString fails)."""
    step = {"do": "postMessage", "json": value}
    if source is not None:
        step["source"] = source
    return step


def message(kind, **members):
    return post(json.dumps({"type": kind, **members}, separators=(",", ":")))


def request(uri, range_value=None):
    step = {"do": "request", "uri": uri}
    if range_value is not None:
        step["headers"] = {"Range": range_value}
    return step


def navigate(uri):
    return {"do": "navigate", "uri": uri}


def snapshot():
    return {"do": "snapshot"}


def fullscreen_element(value):
    return {"do": "fullscreenElement", "value": value}


def title(text):
    return {"do": "title", "title": text}


def wait(ms):
    return {"do": "wait", "ms": ms}


# -- manifests -----------------------------------------------------------------------------------

def manifest(main=None, content_mode=None, distribution_mode=None, devtools=None, chromium_args=None, **window):
    """package.json with the test name; `window` members (title, width, height, resizable) as given."""
    value = {"name": NAME, "window": {"title": TITLE, **window}}
    settings = {}
    if content_mode:
        settings["content-mode"] = content_mode
    if distribution_mode:
        settings["distribution-mode"] = distribution_mode
    if devtools is not None:
        settings["enable-devtools"] = devtools
    if settings:
        value["settings"] = settings
    if main is not None:
        value["main"] = main
    if chromium_args is not None:
        value["chromium-args"] = chromium_args
    return value


# -- running -------------------------------------------------------------------------------------

@dataclass
class PageRun:
    result: harness.RunResult

    @property
    def transcript(self):
        return self.result.transcript

    def calls(self, name):
        return self.result.calls(name)

    def step_lines(self, index):
        """The transcript lines that the step of that index caused (up to the next step)."""
        lines, inside = [], False
        for line in self.transcript:
            if line.get("call") == "step":
                if inside:
                    break
                inside = line["index"] == index
            elif inside:
                lines.append(line)
        return lines

    def step_calls(self, index, name):
        return [line for line in self.step_lines(index) if line.get("call") == name]

    def before_steps(self):
        """The lines before the first step: start-up, construction and the first load."""
        lines = []
        for line in self.transcript:
            if line.get("call") == "step":
                break
            lines.append(line)
        return lines

    def posts(self, index=None):
        lines = self.transcript if index is None else self.step_lines(index)
        return [line["json"] for line in lines if line.get("call") == "WebView.PostWebMessageAsJson"]

    def snapshot(self, index):
        [line] = self.step_calls(index, "snapshot")
        return line

    def served(self, index):
        [line] = self.step_calls(index, "served")
        return line

    def event_result(self, index, event):
        [line] = [line for line in self.step_calls(index, "eventResult") if line["event"] == event]
        return line

    def host_call_names(self, lines=None):
        """Names of the host's calls into the runtime objects (Object.Method), in order."""
        lines = self.transcript if lines is None else lines
        return [line["call"] for line in lines if "." in line.get("call", "")]


def run_page(app, steps, manifest_value=None, www=None, close=True, timeout=40, expect_exit=0, **scenario):
    """Runs the app through `steps` (then closes it, unless `close` is false) and checks that it
    ended with `expect_exit` and showed no message box."""
    app.manifest(manifest_value or manifest())
    app.www(www or {"index.html": "<!doctype html><title>Host tests</title>"})
    app.scenario({**scenario, "steps": [*steps, *([{"do": "close"}] if close else [])]})
    result = app.run(timeout=timeout)
    assert result.exit_code == expect_exit, result.describe()
    assert result.boxes == [], result.describe()
    return PageRun(result)


def module_app(wine_session, tmp_path_factory, label):
    """An app folder that lives for a whole test module (one run serves many cases)."""
    app = harness.AppFolder(wine_session, tmp_path_factory.mktemp(label) / "app", harness.bin_dir_64())
    app.manifest(manifest())
    app.remove_user_data()
    return app


def read_transcript_so_far(path):
    """The complete lines of a transcript that the app is still writing."""
    lines = []
    with contextlib.suppress(OSError):
        for text in path.read_text(encoding="utf-8", errors="replace").splitlines(keepends=True):
            if text.endswith("\n") and text.strip():
                with contextlib.suppress(ValueError):
                    lines.append(json.loads(text))
    return lines


def rect_size(rect):
    return rect[2] - rect[0], rect[3] - rect[1]


@dataclass
class PausedRun:
    run: PageRun
    results: dict = field(default_factory=dict)  # step index -> what the action at that step returned


def run_with_pauses(app, steps, actions, timeout=120, **run_args):
    """Runs the app through `steps`. When the step of an index in `actions` (a wait step) begins,
    calls that action from here, while the page idles; its result is kept by step index."""
    transcript = app.folder / "webview2-transcript.jsonl"
    results = {}
    with concurrent.futures.ThreadPoolExecutor(1) as pool:
        running = pool.submit(run_page, app, steps, timeout=timeout, **run_args)
        pending = sorted(actions)
        deadline = time.monotonic() + timeout
        while pending and not running.done() and time.monotonic() < deadline:
            lines = read_transcript_so_far(transcript)
            if pending[0] in {line["index"] for line in lines if line.get("call") == "step"}:
                index = pending.pop(0)
                results[index] = actions[index](lines)
                later = read_transcript_so_far(transcript)
                assert not any(line.get("call") == "step" and line["index"] > index for line in later), \
                    f"the page moved on before the action at step {index} was done"
            time.sleep(0.1)
        run = running.result()
    assert sorted(results) == sorted(actions), "every action was taken"
    return PausedRun(run, results)


TAMPER_ATTEMPTS = ("append", "truncate", "rename", "delete")


def tamper_with(session, path):
    """What a Windows program gets when it tries to change the file at `path` (tests/hostile,
    qf_file_tamper): attempt -> "done" or "refused <error code>"."""
    tool = harness.bin_dir_64() / "qf_file_tamper.exe"
    code, output = harness.run_quietly([harness.WINE64, str(tool), harness.to_windows(path)], session.env(), 60)
    assert code == 0, output
    results = dict(line.split(" ", 1) for line in output.splitlines() if line.split(" ")[0] in TAMPER_ATTEMPTS)
    assert sorted(results) == sorted(TAMPER_ATTEMPTS), output
    return results
