#pragma once

#include <type_traits>
#include <utility>

#include <wrl/client.h>

#include "common/adopt_win.h"
#include "common/com_object_win.h"

#include "loader/webview2_win.h"

// The WebView2 handler objects differ only in their interface and in what Invoke does, so this one COM
// object type serves them all: Interface names the event, the callable is the body of Invoke.

namespace webview_detail {

// The two parameter types of Interface::Invoke.
template <class Method>
struct InvokeSignature;
template <class Interface, class First, class Second>
struct InvokeSignature<HRESULT (STDMETHODCALLTYPE Interface::*)(First, Second)> {
    using FirstArg = First;
    using SecondArg = Second;
};

template <class Interface, class F, class Signature = InvokeSignature<decltype(&Interface::Invoke)>>
class Handler final : public ComObject<Handler<Interface, F, Signature>, Interface> {
public:
    explicit Handler(F body) : body_(std::move(body)) {}
    Handler(const Handler&) = delete;
    Handler& operator=(const Handler&) = delete;

    HRESULT STDMETHODCALLTYPE Invoke(typename Signature::FirstArg first,
                                     typename Signature::SecondArg second) override {
        return body_(first, second);
    }

private:
    F body_;
};

}  // namespace webview_detail

// A new handler holding its one initial reference, which the returned pointer adopts.
template <class Interface, class F>
Microsoft::WRL::ComPtr<Interface> MakeHandler(F&& body) {
    return Adopt<Interface>(new webview_detail::Handler<Interface, std::decay_t<F>>(std::forward<F>(body)));
}
