#pragma once
#include <cstdint>
#include <string>
#include <vector>

// The action a page message asks for. ExtensionMessage carries no data: the
// received text itself goes to the extension library.
enum class PageRequestType { None, WrapperInit, SetFullscreen, SetWindowSize, SetWindowPosition, ExtensionMessage };

struct PageRequest {
    PageRequestType type = PageRequestType::None;
    bool fullscreen = false;
    int32_t width = 0, height = 0, x = 0, y = 0;
};

// Reads one message text (which ends at its first zero byte) as strict JSON.
// Throws on malformed JSON; a value that is not an object, or whose "type" is
// none of the known names, gives None. Missing or mistyped members read as
// false or 0.
PageRequest ParseWebMessage(const std::string& text);

// The compact reply to "wrapper-init", members in key order, non-ASCII text
// kept as UTF-8. Throws when an id is not valid UTF-8.
std::string BuildWrapperInitResponse(const std::vector<std::string>& ids);
