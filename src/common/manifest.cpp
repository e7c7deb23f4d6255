#include "common/manifest.h"

#include <stdexcept>

#include "common/json_readers.h"

namespace {

const char kDefaultInstallMessage[] =
    "This app requires the Microsoft Edge WebView2 runtime. It will be downloaded and installed for you now.";
const char kDefaultDownloadingMessage[] = "Downloading...";
const char kDefaultInstallFailedMessage[] =
    "Failed to install the Microsoft Edge WebView2 runtime. Check that you have permission to install it, and "
    "that your Internet connection is working. Run the app again to try again.";

// A missing section reads as null, and every key of a null section falls back.
const nlohmann::json& Section(const nlohmann::json& document, const char* key) {
    static const nlohmann::json kAbsent;
    if (!document.is_object()) return kAbsent;
    const auto found = document.find(key);
    return found == document.end() ? kAbsent : *found;
}

}  // namespace

void ParseManifest(const std::string& text, AppManifest& manifest) {
    // c_str(): the document ends at its first NUL byte.
    const nlohmann::json document = nlohmann::json::parse(text.c_str(), nullptr, true, false);

    manifest.name = JsonStringOr(document, "name", "");
    if (manifest.name.empty()) throw std::runtime_error("invalid name");
    manifest.main = JsonStringOr(document, "main", "index.html");

    const nlohmann::json& window = Section(document, "window");
    manifest.title = JsonStringOr(window, "title", "Quillframe");
    manifest.width = JsonIntOr(window, "width", 1024);
    manifest.height = JsonIntOr(window, "height", 768);
    manifest.icon = JsonStringOr(window, "icon", "");
    manifest.resizable = JsonBoolOr(window, "resizable", true);

    manifest.chromiumArgs = JsonStringOr(document, "chromium-args", "");

    const nlohmann::json& settings = Section(document, "settings");
    const std::string distribution = JsonStringOr(settings, "distribution-mode", "evergreen");
    if (distribution == "evergreen") manifest.distributionMode = DistributionMode::Evergreen;
    else if (distribution == "fixed") manifest.distributionMode = DistributionMode::Fixed;
    else throw std::runtime_error("invalid distribution mode");
    const std::string content = JsonStringOr(settings, "content-mode", "bundle");
    if (content == "bundle") manifest.contentMode = ContentMode::Bundle;
    else if (content == "remote") manifest.contentMode = ContentMode::Remote;
    else throw std::runtime_error("invalid content mode");
    manifest.enableDevtools = JsonBoolOr(settings, "enable-devtools", true);

    const nlohmann::json& messages = Section(document, "messages");
    manifest.installWebView2Message = JsonStringOr(messages, "install-webview2", kDefaultInstallMessage);
    manifest.downloadingMessage = JsonStringOr(messages, "downloading", kDefaultDownloadingMessage);
    manifest.installFailedMessage = JsonStringOr(messages, "install-webview2-failed", kDefaultInstallFailedMessage);
}
