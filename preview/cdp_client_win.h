#pragma once

// One DevTools connection over loopback: commands from any thread, answers to whoever waits for them,
// events to the UI thread.

#include <winsock2.h>
#include <windows.h>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include <nlohmann/json.hpp>

#include "cdp.h"
#include "common/unique_handle_win.h"
#include "websocket.h"

namespace preview {

// Winsock, started once for the process.
bool StartWinsock();

// A plain HTTP GET on loopback (the browser's /json/version); the whole answer, or nothing.
std::optional<std::string> LoopbackGet(int port, const std::string& path, DWORD timeoutMs);

class CdpClient {
public:
    using EventSink = std::function<void(CdpMessage)>;  // runs on the UI thread
    using ClosedSink = std::function<void()>;           // runs on the UI thread

    static std::unique_ptr<CdpClient> Connect(const DevToolsEndpoint& endpoint, EventSink events, ClosedSink closed);
    ~CdpClient();
    CdpClient(const CdpClient&) = delete;
    CdpClient& operator=(const CdpClient&) = delete;

    // Sends without waiting; the answer is dropped.
    void Send(const std::string& method, const nlohmann::json& params, const std::string& sessionId = {});
    // The same with raw bytes sent as one base64 parameter (see CdpCommandFrame).
    void SendWithBytes(const std::string& method, const nlohmann::json& params, const std::string& sessionId,
                       const std::string& bytesField, std::string_view bytes);
    // Sends and waits for the answer; nothing on time-out or a closed connection.
    std::optional<CdpMessage> Call(const std::string& method, const nlohmann::json& params,
                                   const std::string& sessionId = {}, DWORD timeoutMs = 10000);
    bool IsOpen() const { return !closed_; }

private:
    CdpClient(SOCKET socket, EventSink events, ClosedSink closed);
    int SendCommand(const std::string& method, const nlohmann::json& params, const std::string& sessionId, bool awaited,
                    const std::string& bytesField = {}, std::string_view bytes = {});
    static DWORD WINAPI ReadLoop(void* self);
    void Deliver(CdpMessage message);

    SOCKET socket_;
    EventSink events_;
    ClosedSink closed_sink_;
    UniqueKernelHandle reader_;
    SRWLOCK sendLock_ = SRWLOCK_INIT;
    SRWLOCK answerLock_ = SRWLOCK_INIT;
    CONDITION_VARIABLE answered_ = CONDITION_VARIABLE_INIT;
    int lastId_ = 0;
    std::set<int> awaited_;
    std::map<int, CdpMessage> answers_;
    volatile bool closed_ = false;
};

}  // namespace preview
