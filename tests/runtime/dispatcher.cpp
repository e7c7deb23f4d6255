#include "dispatcher.h"

#include <deque>
#include <map>

#include "standin_com.h"

namespace standin {
namespace {

constexpr UINT kRunOne = WM_APP + 1;
constexpr UINT kPollMilliseconds = 20;

struct Waiter {
    std::function<bool()> condition;  // empty: plain delay
    DWORD deadline;
    Action action;
};

struct Queue {
    HWND window = nullptr;
    std::deque<Action> actions;
    bool posted = false;
    std::map<UINT_PTR, Waiter> waiters;
    UINT_PTR nextTimer = 1;
};

// Never destroyed: queued work may still hold host objects when the process ends.
Queue& TheQueue() {
    static Queue* queue = new Queue;
    return *queue;
}

void Kick() {
    Queue& queue = TheQueue();
    if (queue.posted || queue.actions.empty()) return;
    queue.posted = PostMessageW(queue.window, kRunOne, 0, 0) != FALSE;
}

void RunOne() {
    Queue& queue = TheQueue();
    queue.posted = false;
    if (queue.actions.empty()) return;
    Action action = std::move(queue.actions.front());
    queue.actions.pop_front();
    Kick();
    action();
}

void CheckWaiter(UINT_PTR timer) {
    Queue& queue = TheQueue();
    auto found = queue.waiters.find(timer);
    if (found == queue.waiters.end()) return;
    Waiter& waiter = found->second;
    const bool timedOut = static_cast<int>(GetTickCount() - waiter.deadline) >= 0;
    if (!timedOut && !(waiter.condition && waiter.condition())) return;
    KillTimer(queue.window, timer);
    Action action = std::move(waiter.action);
    queue.waiters.erase(found);
    Enqueue(std::move(action));
}

LRESULT CALLBACK DispatcherProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kRunOne) {
        RunOne();
        return 0;
    }
    if (message == WM_TIMER) {
        CheckWaiter(wParam);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

HWND DispatcherWindow() {
    Queue& queue = TheQueue();
    if (!queue.window) {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = DispatcherProc;
        windowClass.hInstance = ThisModule();
        windowClass.lpszClassName = L"QuillframeStandInDispatcher";
        RegisterClassW(&windowClass);
        queue.window = CreateWindowExW(0, windowClass.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                       windowClass.hInstance, nullptr);
    }
    return queue.window;
}

void AddWaiter(Waiter waiter, unsigned interval) {
    Queue& queue = TheQueue();
    const UINT_PTR timer = queue.nextTimer++;
    queue.waiters.emplace(timer, std::move(waiter));
    SetTimer(DispatcherWindow(), timer, interval, nullptr);
}

}  // namespace

void Enqueue(Action action) {
    DispatcherWindow();
    TheQueue().actions.push_back(std::move(action));
    Kick();
}

void RunNext(std::vector<Action> actions) {
    DispatcherWindow();
    auto& queued = TheQueue().actions;
    queued.insert(queued.begin(), std::make_move_iterator(actions.begin()), std::make_move_iterator(actions.end()));
    Kick();
}

bool HasQueuedActions() { return !TheQueue().actions.empty(); }

void After(unsigned milliseconds, Action action) {
    AddWaiter({nullptr, GetTickCount() + milliseconds, std::move(action)}, milliseconds);
}

void When(std::function<bool()> condition, unsigned timeoutMilliseconds, Action action) {
    AddWaiter({std::move(condition), GetTickCount() + timeoutMilliseconds, std::move(action)}, kPollMilliseconds);
}

}  // namespace standin
