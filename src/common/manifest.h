#pragma once
#include <cstdint>
#include <string>

enum class DistributionMode : int32_t { Evergreen = 0, Fixed = 1 };
enum class ContentMode : int32_t { Bundle = 0, Remote = 1 };

struct AppManifest {
    std::string name;
    std::string main;
    std::string title;
    int32_t width = 0;
    int32_t height = 0;
    std::string icon;
    bool resizable = false;
    std::string chromiumArgs;
    ContentMode contentMode = ContentMode::Bundle;
    DistributionMode distributionMode = DistributionMode::Evergreen;
    bool enableDevtools = false;
    std::string installWebView2Message;
    std::string downloadingMessage;
    std::string installFailedMessage;
};

// Fills `manifest` from the text of package.json. Throws on malformed JSON, an
// empty name or an unknown mode; the caller treats every exception alike.
void ParseManifest(const std::string& text, AppManifest& manifest);
