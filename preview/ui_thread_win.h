#pragma once

// The host's UI thread, as the one place where the preview's events reach the host: work posted from
// any thread runs there, in order, from the host's own message loop.

#include <windows.h>

#include <deque>
#include <functional>

namespace preview {

class UiThread {
public:
    // Must first be called on the UI thread: it creates the message-only window there.
    static UiThread& Get();
    void Post(std::function<void()> work);
    bool IsCurrent() const { return GetCurrentThreadId() == threadId_; }

private:
    UiThread();
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void RunPosted();

    DWORD threadId_;
    HWND window_ = nullptr;
    SRWLOCK lock_ = SRWLOCK_INIT;
    std::deque<std::function<void()>> work_;
};

}  // namespace preview
