#pragma once

// Runs the stand-in's asynchronous work (completions, events, scenario steps) one item at a time from the
// UI thread's message loop, the way the runtime delivers its callbacks: never inside the host's own call.

#include <functional>
#include <vector>

namespace standin {

using Action = std::function<void()>;

// Must first be called on the UI thread (it creates the dispatcher's message-only window there).
void Enqueue(Action action);
// Runs these before anything already queued (the consequences of the item now running).
void RunNext(std::vector<Action> actions);
// Whether actions wait in the queue (not counting those waiting for a time or a condition).
bool HasQueuedActions();
// Enqueues the action once the time has passed, or once the condition holds (polled) or the time ran out.
void After(unsigned milliseconds, Action action);
void When(std::function<bool()> condition, unsigned timeoutMilliseconds, Action action);

}  // namespace standin
