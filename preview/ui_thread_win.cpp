#include "ui_thread_win.h"

#include "common/srw_lock_win.h"

namespace preview {

namespace {
constexpr UINT kRunPosted = WM_APP + 1;
const wchar_t kClassName[] = L"QuillframePreviewUiThread";
}  // namespace

UiThread& UiThread::Get() {
    static UiThread* instance = new UiThread();  // lives as long as the process: posted work may outlive objects
    return *instance;
}

UiThread::UiThread() : threadId_(GetCurrentThreadId()) {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kClassName;
    RegisterClassW(&windowClass);
    window_ = CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, windowClass.hInstance, nullptr);
    SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

void UiThread::Post(std::function<void()> work) {
    bool wasEmpty = false;
    {
        SrwLockGuard hold(lock_);
        wasEmpty = work_.empty();
        work_.push_back(std::move(work));
    }
    // One wake-up per batch: the window drains the whole queue.
    if (wasEmpty) PostMessageW(window_, kRunPosted, 0, 0);
}

void UiThread::RunPosted() {
    for (;;) {
        std::function<void()> next;
        {
            SrwLockGuard hold(lock_);
            if (work_.empty()) return;
            next = std::move(work_.front());
            work_.pop_front();
        }
        next();
    }
}

LRESULT CALLBACK UiThread::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kRunPosted) {
        if (auto* self = reinterpret_cast<UiThread*>(GetWindowLongPtrW(window, GWLP_USERDATA))) self->RunPosted();
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace preview
