#pragma once

// The page's console in the terminal: console calls and uncaught errors of the page and of its workers,
// one line each (console.h), on stderr unless QUILLFRAME_PREVIEW_CONSOLE is 0, and always in the log file.

#include <memory>
#include <set>
#include <string>

#include "browser_win.h"

namespace preview {

class PageConsole {
public:
    PageConsole(std::shared_ptr<Browser> browser, std::string pageSession);
    // Attaches to the page's workers as they start, so that their consoles are heard too.
    void Start();
    // True when the event was the console's: a console call, an uncaught error, a worker coming or going.
    bool OnEvent(const CdpMessage& event, const std::string& pageUrl);

private:
    std::shared_ptr<Browser> browser_;
    std::string pageSession_;
    std::set<std::string> workerSessions_;
    bool toTerminal_;
};

}  // namespace preview
