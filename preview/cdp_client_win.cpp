#include "cdp_client_win.h"

#include <ws2tcpip.h>

#include "ui_thread_win.h"
#include "unix_win.h"
#include "common/srw_lock_win.h"

namespace preview {

namespace {

// QUILLFRAME_PREVIEW_TRACE=1 logs the start of every message, both ways.
bool Tracing() {
    static const bool tracing = GetEnvironmentVariableA("QUILLFRAME_PREVIEW_TRACE", nullptr, 0) > 0;
    return tracing;
}

void Trace(const char* direction, std::string_view text) {
    if (Tracing()) Log(direction + std::string(text.substr(0, 400)));
}

SOCKET ConnectLoopback(int port) {
    if (!StartWinsock()) return INVALID_SOCKET;
    SOCKET connection = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (connection == INVALID_SOCKET) return connection;
    // Commands and answers are small and latency-bound: no Nagle delay.
    const BOOL noDelay = TRUE;
    setsockopt(connection, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay), sizeof(noDelay));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<u_short>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(connection, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
        closesocket(connection);
        return INVALID_SOCKET;
    }
    return connection;
}

bool SendAll(SOCKET connection, const std::string& bytes) {
    size_t sent = 0;
    while (sent < bytes.size()) {
        const int chunk = static_cast<int>(std::min<size_t>(bytes.size() - sent, 1 << 20));
        const int result = send(connection, bytes.data() + sent, chunk, 0);
        if (result <= 0) return false;
        sent += static_cast<size_t>(result);
    }
    return true;
}

// Reads until `done` says the text is complete, the peer closes, or the time is up.
std::string ReceiveUntil(SOCKET connection, DWORD timeoutMs, const std::function<bool(const std::string&)>& done) {
    const DWORD timeout = timeoutMs;
    setsockopt(connection, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof(timeout));
    std::string received;
    char buffer[4096];
    while (!done(received)) {
        const int got = recv(connection, buffer, sizeof(buffer), 0);
        if (got <= 0) break;
        received.append(buffer, static_cast<size_t>(got));
    }
    const DWORD forever = 0;
    setsockopt(connection, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&forever), sizeof(forever));
    return received;
}

}  // namespace

bool StartWinsock() {
    static const bool started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return started;
}

std::optional<std::string> LoopbackGet(int port, const std::string& path, DWORD timeoutMs) {
    const SOCKET connection = ConnectLoopback(port);
    if (connection == INVALID_SOCKET) return std::nullopt;
    const bool sent = SendAll(connection, "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
    // Chromium keeps the connection open: the answer ends where its Content-Length says.
    std::string answer = sent ? ReceiveUntil(connection, timeoutMs, IsWholeHttpAnswer) : "";
    closesocket(connection);
    if (answer.empty()) return std::nullopt;
    return answer;
}

std::unique_ptr<CdpClient> CdpClient::Connect(const DevToolsEndpoint& endpoint, EventSink events, ClosedSink closed) {
    const SOCKET connection = ConnectLoopback(endpoint.port);
    if (connection == INVALID_SOCKET) return nullptr;
    const std::string host = "127.0.0.1:" + std::to_string(endpoint.port);
    std::string head;
    if (SendAll(connection, WebSocketUpgradeRequest(host, endpoint.path)))
        head = ReceiveUntil(connection, 5000, [](const std::string& text) { return ResponseHeadLength(text) > 0; });
    const size_t headLength = ResponseHeadLength(head);
    if (!headLength || !IsUpgradeAccepted(head)) {
        closesocket(connection);
        return nullptr;
    }
    std::unique_ptr<CdpClient> client(new CdpClient(connection, std::move(events), std::move(closed)));
    // The server speaks only when asked, so nothing follows the head yet.
    client->reader_.reset(CreateThread(nullptr, 0, ReadLoop, client.get(), 0, nullptr));
    return client;
}

CdpClient::CdpClient(SOCKET socket, EventSink events, ClosedSink closed)
    : socket_(socket), events_(std::move(events)), closed_sink_(std::move(closed)) {}

CdpClient::~CdpClient() {
    shutdown(socket_, SD_BOTH);
    closesocket(socket_);
    if (reader_) WaitForSingleObject(reader_.get(), 5000);
}

int CdpClient::SendCommand(const std::string& method, const nlohmann::json& params, const std::string& sessionId,
                           bool awaited, const std::string& bytesField, std::string_view bytes) {
    SrwLockGuard hold(sendLock_);
    const int id = ++lastId_;
    if (awaited) {
        SrwLockGuard answers(answerLock_);
        awaited_.insert(id);
    }
    const std::string frame = CdpCommandFrame(id, method, params, sessionId, bytesField, bytes);
    Trace("-> ", ClientFramePayload(frame));
    if (!SendAll(socket_, frame)) return 0;
    return id;
}

void CdpClient::Send(const std::string& method, const nlohmann::json& params, const std::string& sessionId) {
    SendCommand(method, params, sessionId, false);
}

void CdpClient::SendWithBytes(const std::string& method, const nlohmann::json& params, const std::string& sessionId,
                              const std::string& bytesField, std::string_view bytes) {
    SendCommand(method, params, sessionId, false, bytesField, bytes);
}

std::optional<CdpMessage> CdpClient::Call(const std::string& method, const nlohmann::json& params,
                                          const std::string& sessionId, DWORD timeoutMs) {
    const int id = SendCommand(method, params, sessionId, true);
    SrwLockGuard hold(answerLock_);
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    while (id && !answers_.count(id) && !closed_) {
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline || !SleepConditionVariableSRW(&answered_, &answerLock_, DWORD(deadline - now), 0)) break;
    }
    awaited_.erase(id);
    const auto found = answers_.find(id);
    if (found == answers_.end()) return std::nullopt;
    CdpMessage answer = std::move(found->second);
    answers_.erase(found);
    return answer;
}

void CdpClient::Deliver(CdpMessage message) {
    if (message.id) {
        SrwLockGuard hold(answerLock_);
        if (awaited_.count(*message.id)) {
            answers_.emplace(*message.id, std::move(message));
            WakeAllConditionVariable(&answered_);
        }
        return;
    }
    UiThread::Get().Post([sink = events_, event = std::move(message)]() mutable { sink(std::move(event)); });
}

DWORD WINAPI CdpClient::ReadLoop(void* self) {
    auto* client = static_cast<CdpClient*>(self);
    FrameDecoder decoder;
    std::string buffer(1 << 16, '\0');
    for (;;) {
        const int got = recv(client->socket_, buffer.data(), static_cast<int>(buffer.size()), 0);
        if (got <= 0) break;
        decoder.Feed(buffer.data(), static_cast<size_t>(got));
        while (auto text = decoder.Next()) {
            Trace("<- ", *text);
            if (auto message = ParseCdpMessage(*text)) client->Deliver(std::move(*message));
        }
        if (decoder.IsClosed()) break;
    }
    {
        SrwLockGuard hold(client->answerLock_);
        client->closed_ = true;
        WakeAllConditionVariable(&client->answered_);
    }
    UiThread::Get().Post(client->closed_sink_);
    return 0;
}

}  // namespace preview
