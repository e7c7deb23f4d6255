#pragma once

// The environment the stand-in creates, and the asynchronous completion of its creation.

#include <string>

#include "scenario.h"
#include "standin_com.h"
#include "transcript.h"

namespace standin {

class Environment final : public ComObject<Environment, ICoreWebView2Environment> {
public:
    explicit Environment(std::string version) : version_(std::move(version)) {}

    HRESULT STDMETHODCALLTYPE CreateCoreWebView2Controller(
        HWND parentWindow, ICoreWebView2CreateCoreWebView2ControllerCompletedHandler* handler) override;
    HRESULT STDMETHODCALLTYPE CreateWebResourceResponse(IStream* content, int statusCode, LPCWSTR reasonPhrase,
                                                        LPCWSTR headers,
                                                        ICoreWebView2WebResourceResponse** response) override;
    HRESULT STDMETHODCALLTYPE get_BrowserVersionString(LPWSTR* version) override {
        return ReturnString(ToWide(version_), version);
    }
    HRESULT STDMETHODCALLTYPE add_NewBrowserVersionAvailable(ICoreWebView2NewBrowserVersionAvailableEventHandler*,
                                                             EventRegistrationToken*) override {
        return NotImplemented("Environment.add_NewBrowserVersionAvailable");
    }
    HRESULT STDMETHODCALLTYPE remove_NewBrowserVersionAvailable(EventRegistrationToken) override {
        return NotImplemented("Environment.remove_NewBrowserVersionAvailable");
    }

private:
    std::string version_;
    int controllerAttempts_ = 0;
};

// Queues the completion: the handler runs later from the message loop, never inside the creating call.
void CompleteEnvironmentCreation(ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler* handler,
                                 const CreationOutcome& outcome, std::string version);

}  // namespace standin
