"""The documents for app and extension authors against the code they describe.

Each test reads a fact from the sources (manifest keys and defaults, message
types and members, message-box texts, content types) and checks that the
documents state the same, both ways, so that a change on either side fails here.
"""
import json
import re
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
DOCS = ROOT / "docs"

READER_TYPES = {"JsonStringOr": "string", "JsonIntOr": "integer", "JsonBoolOr": "boolean"}
CPP_STRING = r'"(?:[^"\\]|\\.)*"'


def read(path):
    return (ROOT / path).read_text(encoding="utf-8")


def cpp_string_value(literals):
    """The value of adjacent C++ string literals (narrow or wide)."""
    return "".join(json.loads(s) for s in re.findall(CPP_STRING, literals))


def markdown_section(text, heading):
    """The lines after `heading` up to the next heading of the same or a higher level."""
    level = len(heading) - len(heading.lstrip("#"))
    lines = text.splitlines()
    start = lines.index(heading) + 1
    end = next((i for i in range(start, len(lines))
                if re.match(r"#{1,%d} " % level, lines[i])), len(lines))
    return lines[start:end]


def table_rows(lines):
    """Cells of the table rows whose first cell is a code span, keyed by its text."""
    rows = {}
    for line in lines:
        match = re.match(r"\| `([^`]+)` \|(.*)\|\s*$", line)
        if match:
            rows[match.group(1)] = [cell.strip() for cell in match.group(2).split("|")]
    return rows


# --- the manifest -----------------------------------------------------------

def manifest_reads():
    """{key path: (type, fallback)} of every key that ParseManifest reads."""
    source = read("src/common/manifest.cpp")
    constants = {name: cpp_string_value(value) for name, value in
                 re.findall(r"const char (\w+)\[\] =\s*((?:%s\s*)+);" % CPP_STRING, source)}
    sections = dict(re.findall(r'const nlohmann::json& (\w+) = Section\(document, "([^"]+)"\);', source))
    reads = {}
    for reader, owner, key, fallback in re.findall(
            r'(JsonStringOr|JsonIntOr|JsonBoolOr)\((\w+), "([^"]+)", ([^;]+?)\);', source):
        path = key if owner == "document" else sections[owner] + "." + key
        value = constants[fallback] if fallback in constants else json.loads(fallback)
        reads[path] = (READER_TYPES[reader], value)
    return reads


def documented_keys():
    return table_rows(markdown_section(read("docs/manifest.md"), "## Keys"))


def test_the_manifest_parser_was_read():
    reads = manifest_reads()
    assert reads["window.width"] == ("integer", 1024)
    assert len(reads) >= 14


def test_every_manifest_key_is_documented_and_every_documented_key_is_read():
    assert sorted(documented_keys()) == sorted(manifest_reads())


def test_documented_types_and_defaults_match_the_parser():
    reads = manifest_reads()
    for key, (kind, default, *_rest) in documented_keys().items():
        assert kind == reads[key][0], key
        literal = re.fullmatch(r"`(.+)`", default)
        if literal:
            assert json.loads(literal.group(1)) == reads[key][1], key


def test_default_message_texts_are_quoted_in_full():
    text = read("docs/manifest.md")
    for key, (_kind, value) in manifest_reads().items():
        if key.startswith("messages."):
            assert f"- `{key}`: {json.dumps(value)}" in text, key


# --- the page protocol ------------------------------------------------------

def page_message_reads():
    """{type: {member: JSON type}} of the page messages ParseWebMessage knows."""
    source = read("src/bridge/web_message.cpp")
    parser = source[source.index("ParseWebMessage("):source.index("BuildWrapperInitResponse(")]
    parts = re.split(r'type == "([^"]+)"', parser)
    kinds = {"JsonBoolOr": "boolean", "JsonIntOr": "number", "JsonStringOr": "string"}
    return {name: {member: kinds[reader] for reader, member in
                   re.findall(r'(Json\w+Or)\(message, "(\w+)"', body)}
            for name, body in zip(parts[1::2], parts[2::2])}


def host_replies():
    """{type: members other than "type"} of the replies the host builds."""
    source = read("src/bridge/web_message.cpp")
    members = re.findall(r'reply\["(\w+)"\] =', source)
    name = re.search(r'reply\["type"\] = "([^"]+)"', source).group(1)
    return {name: sorted(m for m in members if m != "type")}


def documented_messages(direction):
    """{type: {member: first cell}} under '## Page to host' or '## Host to page'."""
    lines = markdown_section(read("docs/page-protocol.md"), direction)
    messages, current = {}, None
    for line in lines:
        heading = re.fullmatch(r"### `([^`]+)`", line)
        if heading:
            current = messages.setdefault(heading.group(1), {})
        elif current is not None:
            for member, cells in table_rows([line]).items():
                current[member] = cells[0]
    return messages


def test_the_message_parser_was_read():
    reads = page_message_reads()
    assert reads["set-window-size"] == {"windowHeight": "number", "windowWidth": "number"}
    assert len(reads) == 5


def test_every_page_message_and_member_is_documented_with_its_type():
    documented = documented_messages("## Page to host")
    assert sorted(documented) == sorted(page_message_reads())
    for name, members in page_message_reads().items():
        assert sorted(documented[name]) == sorted(members), name
        for member, kind in members.items():
            assert documented[name][member].startswith(kind), (name, member)


def test_the_host_reply_is_documented():
    documented = documented_messages("## Host to page")
    for name, members in host_replies().items():
        assert sorted(documented[name]) == members


def test_the_page_library_speaks_the_host_protocol():
    """The wire texts the library's tests expect are messages the host reads."""
    reads = page_message_reads()
    library = read("pagelib/index.js")
    used = set(re.findall(r"(?:type: |INIT_RESPONSE = )'([a-z-]+)'", library))
    assert used == set(reads) | set(host_replies())
    expected = [json.loads(text) for text in
                re.findall(r"'(\{\"type\":.*?\})'", read("pagelib/test/page.test.js"))]
    assert {message["type"] for message in expected} == set(reads)
    for message in expected:
        members = set(message) - {"type"}
        if message["type"] != "extension-message":
            assert members == set(reads[message["type"]]), message


# --- message boxes ----------------------------------------------------------

def message_box_texts():
    """Every fixed text that the host can show in a message box."""
    texts = []
    for path in sorted((ROOT / "src").rglob("*_win.cpp")):
        source = path.read_text(encoding="utf-8")
        texts += [cpp_string_value(v) for v in
                  re.findall(r"const wchar_t k\w*Text\[\] =\s*((?:L%s\s*)+);" % CPP_STRING, source)]
        texts += [cpp_string_value(v) for v in
                  re.findall(r"Show(?:Error|Information)Box\(L(%s)" % CPP_STRING, source)]
        if "MessageBoxW(" in source:
            texts += [cpp_string_value(v) for v in re.findall(r"std::wstring\(L(%s)\)" % CPP_STRING, source)]
    # Start-up's manifest boxes, kept portable for the doctor.
    texts += [cpp_string_value(v) for v in re.findall(r"inline constexpr char k\w*Text\[\] =\s*((?:%s\s*)+);"
                                                      % CPP_STRING, read("src/common/startup_texts.h"))]
    return texts


def test_every_message_box_is_in_the_troubleshooting_guide():
    texts = message_box_texts()
    assert len(texts) >= 11
    guide = read("docs/troubleshooting.md")
    missing = [text for text in texts if text not in guide]
    assert missing == []


def test_the_default_runtime_messages_are_in_the_troubleshooting_guide():
    guide = read("docs/troubleshooting.md")
    for key in ("messages.install-webview2", "messages.install-webview2-failed"):
        assert manifest_reads()[key][1] in guide, key


# --- content types ----------------------------------------------------------

def test_the_content_type_table_matches_the_server():
    served = dict(re.findall(r'\{"(\.[^"]+)", "([^"]+)"\}', read("src/content/mime_types.cpp")))
    assert len(served) > 40
    table = markdown_section(read("docs/security.md"), "## What is served")
    documented = {}
    for line in table:
        match = re.fullmatch(r"\| ((?:`\.[^`]+`(?:, )?)+) \| `([^`]+)` \|", line)
        if match:
            for extension in re.findall(r"`(\.[^`]+)`", match.group(1)):
                documented[extension] = match.group(2)
    assert documented == served


def test_the_documented_origin_is_the_served_one():
    origin = re.search(r'kVirtualOrigin\[\] = "([^"]+)"', read("src/webview/app_webview_win.cpp")).group(1)
    for name in ("security.md", "page-protocol.md", "manifest.md", "troubleshooting.md"):
        assert origin in read(f"docs/{name}"), name


def test_links_between_documents_resolve():
    for document in DOCS.glob("*.md"):
        for target in re.findall(r"\]\(([^)#:]+)(?:#[^)]*)?\)", document.read_text(encoding="utf-8")):
            assert (DOCS / target).exists(), (document.name, target)


# --- the layout -------------------------------------------------------------

def test_no_include_under_src_points_to_a_higher_or_sibling_room():
    import subprocess
    import sys
    result = subprocess.run([sys.executable, str(ROOT / "scripts" / "check_rooms.py"), "--quiet"],
                            capture_output=True, text=True)
    assert result.returncode == 0, result.stderr


# --- the preview's options --------------------------------------------------

def test_preview_md_lists_every_option_of_preview_sh():
    script = read("scripts/preview.sh")
    options = set(re.findall(r"^\s+(--[a-z0-9-]+)\)", script, re.MULTILINE))
    listed = {name.split()[0] for name in table_rows(read("docs/preview.md").splitlines())
              if name.startswith("--")}
    assert options and options == listed
