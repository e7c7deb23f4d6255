#include "console.h"

namespace preview {

namespace {

const nlohmann::json& Member(const nlohmann::json& object, const char* key) {
    static const nlohmann::json kNull;
    if (!object.is_object()) return kNull;
    const auto found = object.find(key);
    return found == object.end() ? kNull : *found;
}

std::string TextOf(const nlohmann::json& value) {
    return value.is_string() ? value.get<std::string>() : std::string();
}

std::string FirstLine(const std::string& text) { return text.substr(0, text.find('\n')); }

// A property of an object's preview as the console shows it: strings quoted, the rest as described.
std::string PreviewValue(const nlohmann::json& property) {
    const std::string value = TextOf(Member(property, "value"));
    return TextOf(Member(property, "type")) == "string" ? "'" + value + "'" : value;
}

std::string ObjectText(const nlohmann::json& object) {
    const nlohmann::json& preview = Member(object, "preview");
    const std::string subtype = TextOf(Member(object, "subtype"));
    if (subtype == "error" || !Member(preview, "properties").is_array())
        return FirstLine(TextOf(Member(object, "description")));
    const bool array = subtype == "array";
    std::string text = array ? "[" : "{";
    for (const nlohmann::json& property : Member(preview, "properties")) {
        if (text.size() > 1) text += ", ";
        text += array ? PreviewValue(property) : TextOf(Member(property, "name")) + ": " + PreviewValue(property);
    }
    if (Member(preview, "overflow") == true) text += text.size() > 1 ? ", …" : "…";
    return text + (array ? "]" : "}");
}

// One argument of a console call (a RemoteObject) as text.
std::string ValueText(const nlohmann::json& remote) {
    const std::string type = TextOf(Member(remote, "type"));
    const nlohmann::json& value = Member(remote, "value");
    if (Member(remote, "unserializableValue").is_string()) return TextOf(Member(remote, "unserializableValue"));
    if (type == "undefined") return "undefined";
    if (type == "string") return TextOf(value);
    if (type == "number" || type == "boolean") return value.dump();
    if (type == "object" && TextOf(Member(remote, "subtype")) == "null") return "null";
    if (type == "object") return ObjectText(remote);
    return FirstLine(TextOf(Member(remote, "description")));
}

// The arguments joined by spaces, a first string argument's %s, %d, %i, %f, %o, %O and %c taking the next
// ones as the console does (%c styles, which a terminal line drops).
std::string ArgumentsText(const nlohmann::json& args) {
    if (!args.is_array() || args.empty()) return {};
    size_t next = 1;
    std::string text;
    const bool formatted = TextOf(Member(args[0], "type")) == "string" && args.size() > 1;
    const std::string first = ValueText(args[0]);
    for (size_t i = 0; i < first.size(); ++i) {
        const char directive = i + 1 < first.size() && first[i] == '%' && formatted ? first[i + 1] : '\0';
        if (directive == '%') {
            text += '%';
        } else if (std::string("sdifoOc").find(directive) != std::string::npos && directive && next < args.size()) {
            if (directive != 'c') text += ValueText(args[next]);
            ++next;
        } else {
            text += first[i];
            continue;
        }
        ++i;
    }
    for (; next < args.size(); ++next) text += " " + ValueText(args[next]);
    return text;
}

// "file:line" of a call frame or exception; lines count from 1 here, from 0 in the protocol.
std::string SourceText(const nlohmann::json& frame, const std::string& pageOrigin) {
    std::string url = TextOf(Member(frame, "url"));
    const nlohmann::json& line = Member(frame, "lineNumber");
    if (url.empty() || !line.is_number_integer()) return {};
    if (!pageOrigin.empty() && url.rfind(pageOrigin, 0) == 0) url = url.substr(pageOrigin.size());
    return " (" + url + ":" + std::to_string(line.get<long long>() + 1) + ")";
}

const nlohmann::json& TopFrame(const nlohmann::json& holder) {
    const nlohmann::json& frames = Member(Member(holder, "stackTrace"), "callFrames");
    static const nlohmann::json kNone;
    return frames.is_array() && !frames.empty() ? frames[0] : kNone;
}

std::string ExceptionText(const nlohmann::json& details, const std::string& pageOrigin) {
    const nlohmann::json& exception = Member(details, "exception");
    std::string text = TextOf(Member(details, "text"));
    if (exception.is_object()) {
        // An Error describes itself with its stack: the first line names it.
        const std::string value = ValueText(exception);
        text += (text.empty() ? "" : " ") + (TextOf(Member(exception, "type")) == "string" ? "'" + value + "'" : value);
    }
    const std::string source = SourceText(details, pageOrigin);
    return text + (source.empty() ? SourceText(TopFrame(details), pageOrigin) : source);
}

std::string OneLine(std::string text) {
    for (size_t at = text.find_first_of("\r\n"); at != std::string::npos; at = text.find_first_of("\r\n", at + 2))
        text.replace(at, 1, text[at] == '\n' ? "\\n" : "\\r");
    return text;
}

}  // namespace

std::optional<std::string> ConsoleLine(const std::string& method, const nlohmann::json& params,
                                       const std::string& pageOrigin, bool worker) {
    const std::string who = worker ? "[worker " : "[page ";
    if (method == "Runtime.exceptionThrown")
        return OneLine(who + "error] " + ExceptionText(Member(params, "exceptionDetails"), pageOrigin));
    if (method != "Runtime.consoleAPICalled") return std::nullopt;
    const std::string type = TextOf(Member(params, "type"));
    if (type == "clear" || type == "endGroup") return std::nullopt;
    std::string text = ArgumentsText(Member(params, "args"));
    std::string level = type == "warning" || type == "info" || type == "debug" || type == "error" ? type : "log";
    if (type == "assert") {
        level = "error";
        text = "Assertion failed" + (text.empty() ? std::string() : ": " + text);
    }
    if (level == "error") text += SourceText(TopFrame(params), pageOrigin);
    return OneLine(who + level + "] " + text);
}

std::string OriginOf(const std::string& url) {
    const size_t scheme = url.find("://");
    if (scheme == std::string::npos || scheme + 3 >= url.size()) return {};
    const size_t path = url.find_first_of("/?#", scheme + 3);
    return (path == std::string::npos ? url : url.substr(0, path)) + "/";
}

}  // namespace preview
