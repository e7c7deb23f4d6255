"""The stand-in WebView2 runtime itself, driven by a minimal host of its own (qf_standin_driver.exe), so
that its answers, its asynchronous delivery and its transcript are known good before the real host's
tests rely on them."""

import json
import shutil
import struct
import subprocess

import pytest

import harness

E_FAIL = "0x80004005"
FILE_NOT_FOUND = "0x80070002"


@pytest.fixture
def driver(wine_session, tmp_path):
    folder = tmp_path / "driver"
    folder.mkdir()
    for name in ("qf_standin_driver.exe", "WebView2Loader.dll"):
        source = harness.bin_dir_64() / name
        if not source.exists():
            raise harness.WineError(f"{source} is missing: build the win64-test preset first")
        shutil.copyfile(source, folder / name)
    (folder / "package.txt").write_text("opened by the driver")
    return Driver(wine_session, folder)


class Driver:
    def __init__(self, session, folder):
        self.session = session
        self.folder = folder

    def scenario(self, value):
        (self.folder / "webview2-scenario.json").write_text(json.dumps(value))

    def run(self, *args, env=None, timeout=60):
        (self.folder / "webview2-transcript.jsonl").unlink(missing_ok=True)
        done = subprocess.run([harness.WINE64, "qf_standin_driver.exe", *args], cwd=self.folder,
                              env=self.session.env(env), capture_output=True, timeout=timeout)
        out = [json.loads(line) for line in done.stdout.decode().splitlines() if line.startswith("{")]
        self.transcript = harness.read_json_lines(self.folder / "webview2-transcript.jsonl")
        return done.returncode, out

    def calls(self, name):
        return [line for line in self.transcript if line["call"] == name]

    def events(self, name):
        return [line for line in self.transcript if line["call"] in ("event", "eventResult") and line["event"] == name]


def test_evergreen_version_by_default_from_the_scenario_and_from_the_marker(driver, tmp_path):
    assert driver.run("version")[1] == [{"hr": 0, "version": "120.0.2210.55"}]
    assert driver.calls("GetAvailableCoreWebView2BrowserVersionString") == [
        {"call": "GetAvailableCoreWebView2BrowserVersionString", "folder": None, "hr": "0x00000000",
         "version": "120.0.2210.55"}]

    driver.scenario({"evergreenVersion": None})
    code, out = driver.run("version")
    assert out == [{"hr": -2147024894, "version": None}]

    marker = tmp_path / "installed.txt"
    marker_env = {"QF_TEST_RUNTIME_MARKER": harness.to_windows(marker)}
    assert driver.run("version", env=marker_env)[1] == [{"hr": -2147024894, "version": None}]
    marker.write_text("121.0.2277.83\r\n")
    assert driver.run("version", env=marker_env)[1] == [{"hr": 0, "version": "121.0.2277.83"}]


def test_fixed_version_only_with_a_browser_in_the_folder(driver):
    assert driver.run("version", "webview2")[1] == [{"hr": -2147024894, "version": None}]
    assert driver.calls("GetAvailableCoreWebView2BrowserVersionString")[0]["folder"] == "webview2"
    (driver.folder / "webview2").mkdir()
    assert driver.run("version", "webview2")[1] == [{"hr": -2147024894, "version": None}]
    (driver.folder / "webview2" / "msedgewebview2.exe").write_bytes(b"MZ")
    assert driver.run("version", "webview2")[1] == [{"hr": 0, "version": "120.0.2210.55"}]


def test_a_whole_session_is_recorded(driver):
    driver.scenario({"steps": [
        {"do": "snapshot"},
        {"do": "request", "uri": "https://app.localhost/video.mp4", "headers": {"Range": "bytes=0-9"}},
        {"do": "request", "uri": "https://elsewhere.example/x.js"},
        {"do": "navigate", "uri": "https://elsewhere.example/"},
        {"do": "postMessage", "string": "{\"type\":\"wrapper-init\"}"},
        {"do": "postMessage", "json": {"type": "wrapper-init"}},
        {"do": "waitForPosts", "count": 1, "timeoutMs": 5000},
        {"do": "closeRequest"},
    ]})
    code, out = driver.run("host")
    assert code == 0, driver.transcript[-10:]
    assert {"createHr": 0} in out
    assert {"environmentCompletedInsideCall": False} in out

    options = driver.calls("CreateCoreWebView2EnvironmentWithOptions")[0]["options"]
    assert options["AdditionalBrowserArguments"] == "--driver-arg"
    assert options["TargetCompatibleBrowserVersion"] == "120.0.2210.55"
    assert options["interfaces"] == {"Options2": True, "Options3": True, "Options4": True, "Options5": True,
                                     "Options6": True, "Options7": False, "Options8": False}
    assert set(options["nullOutPointer"].values()) == {"0x80004003"}

    adds = [line for line in driver.transcript if line["call"].startswith("WebView.add_")]
    assert [line["order"] for line in adds] == [1, 2, 3, 4, 5]
    assert all(line["tokenNull"] for line in adds)

    served = {line["uri"]: line for line in driver.calls("served")}
    index = served["https://app.localhost/index.html"]
    assert (index["status"], index["reason"], index["headers"]) == (200, "OK", "Content-Type: text/plain\r\nX-Test: 1")
    assert harness.decode_body(index) == b"body of https://app.localhost/index.html"
    video = served["https://app.localhost/video.mp4"]
    assert video["status"] == 206
    assert harness.decode_body(video).endswith(b"range bytes=0-9")
    assert driver.calls("unfiltered")[0]["uri"] == "https://elsewhere.example/x.js"

    starts = driver.events("NavigationStarting")
    assert [line.get("cancel") for line in starts if line["call"] == "eventResult"] == [0, 1]
    assert "https://elsewhere.example/" not in served

    assert [line["hr"] for line in driver.calls("WebMessageReceivedEventArgs.TryGetWebMessageAsString")] == [
        "0x00000000", "0x80070057"]
    assert [line["json"] for line in driver.calls("WebView.PostWebMessageAsJson")] == ['{"echo":1}']

    counts = [line["count"] for line in driver.calls("CreateFileW") if line["path"] == "package.txt"]
    assert counts == [1, 2, 3, 4]

    snapshot = driver.calls("snapshot")[0]
    assert snapshot["visible"] and snapshot["viewVisible"] and snapshot["focusInView"]
    assert snapshot["viewRect"] == snapshot["clientRect"]
    assert driver.calls("exit")


@pytest.mark.parametrize("creation, printed", [
    ({"returns": E_FAIL}, {"createHr": -2147467259}),
    ({"errorCode": E_FAIL, "nullEnvironment": True}, {"environment": False}),
])
def test_environment_creation_fails_as_the_scenario_says(driver, creation, printed):
    driver.scenario({"environmentCreation": creation})
    code, out = driver.run("host")
    assert printed in out
    completed = driver.events("EnvironmentCompleted")
    if "returns" in creation:
        assert code == 3 and completed == []
        assert driver.calls("CreateCoreWebView2EnvironmentWithOptions")[0]["hr"] == E_FAIL
    else:
        assert completed[0]["errorCode"] == E_FAIL and completed[0]["object"] is False


def test_controller_creation_failure_reaches_the_completion(driver):
    driver.scenario({"controllerCreation": {"errorCode": E_FAIL, "nullController": True, "times": 1}})
    code, out = driver.run("host")
    assert {"controller": False} in out
    assert driver.events("ControllerCompleted")[0]["errorCode"] == E_FAIL


def export_names(dll):
    """Names in a PE file's export table."""
    data = dll.read_bytes()
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    magic = struct.unpack_from("<H", data, pe + 24)[0]
    directory = pe + 24 + (112 if magic == 0x20B else 96)
    export_rva = struct.unpack_from("<I", data, directory)[0]
    sections = [struct.unpack_from("<8sIIII", data, pe + 24 + struct.unpack_from("<H", data, pe + 20)[0] + 40 * i)
                for i in range(struct.unpack_from("<H", data, pe + 6)[0])]

    def offset(rva):
        for _, size, address, raw_size, raw in sections:
            if address <= rva < address + max(size, raw_size):
                return rva - address + raw
        raise ValueError(rva)

    count, _, names = struct.unpack_from("<III", data, offset(export_rva) + 24)[0:3]
    result = []
    for i in range(count):
        start = offset(struct.unpack_from("<I", data, offset(names) + 4 * i)[0])
        result.append(data[start:data.index(b"\0", start)].decode())
    return result


LOADER_EXPORTS = {"GetAvailableCoreWebView2BrowserVersionString", "CreateCoreWebView2EnvironmentWithOptions",
                  "CompareBrowserVersions"}
EXPORT_CASES = {
    f"{build}, {arch}": (bin_dir, dll, names)
    for build, dll, names in (("loader", "WebView2Loader.dll", LOADER_EXPORTS),
                              ("runtime", "EmbeddedBrowserWebView.dll", {"CreateWebViewEnvironmentWithOptionsInternal"}))
    for arch, bin_dir in (("x64", harness.bin_dir_64), ("x86", harness.bin_dir_32))
}


@pytest.mark.parametrize("bin_dir,name,exports", EXPORT_CASES.values(), ids=EXPORT_CASES.keys())
def test_entry_points_are_exported_undecorated(bin_dir, name, exports):
    dll = bin_dir() / name
    if not dll.exists():
        pytest.skip(f"{dll} is not built")
    assert exports <= set(export_names(dll))
