#pragma once

// The handlers registered for one event, and raising the event to them.

#include <utility>
#include <vector>

#include <wrl/client.h>

#include "standin_com.h"
#include "transcript.h"

namespace standin {

// 1-based position of an add_ call among all add_ calls of the process.
int NextRegistrationOrder();

template <class Handler>
class EventList {
public:
    HRESULT Add(const std::string& call, Handler* handler, EventRegistrationToken* token) {
        const HRESULT wrongThread =
            RecordHostCall(call, {{"order", NextRegistrationOrder()}, {"tokenNull", token == nullptr}});
        if (FAILED(wrongThread)) return wrongThread;
        if (!handler) return E_INVALIDARG;
        const INT64 value = ++lastToken_;
        entries_.emplace_back(value, handler);
        if (token) token->value = value;
        return S_OK;
    }

    HRESULT Remove(const std::string& call, EventRegistrationToken token) {
        RecordHostCall(call, {{"token", token.value}});
        for (auto entry = entries_.begin(); entry != entries_.end(); ++entry) {
            if (entry->first == token.value) {
                entries_.erase(entry);
                break;
            }
        }
        return S_OK;
    }

    // Records the event (with its data) before the handlers run; returns each handler's result.
    template <class Sender, class Args>
    nlohmann::json Raise(const char* event, nlohmann::json data, Sender* sender, Args* args) const {
        const auto handlers = entries_;  // a handler may register or remove handlers
        data["event"] = event;
        data["handlers"] = handlers.size();
        Record("event", data);
        nlohmann::json results = nlohmann::json::array();
        for (const auto& entry : handlers) results.push_back(HresultText(entry.second->Invoke(sender, args)));
        return results;
    }

private:
    static inline INT64 lastToken_ = 0;
    std::vector<std::pair<INT64, Microsoft::WRL::ComPtr<Handler>>> entries_;
};

}  // namespace standin
