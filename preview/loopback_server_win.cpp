#include "loopback_server_win.h"

#include <ws2tcpip.h>

#include <algorithm>
#include <vector>

#include "cdp_client_win.h"
#include "common/unique_handle_win.h"
#include "http_exchange.h"
#include "ui_thread_win.h"

namespace preview {

struct ServerState {
    SOCKET listener = INVALID_SOCKET;
    UniqueKernelHandle stopped{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    // Both only touched on the UI thread.
    ServeFunction serve;
    bool stopping = false;
};

namespace {

// Bytes read from the host's stream per send: as much as the relay reads at once.
constexpr ULONG kBlock = 1u << 20;
// A request head longer than this is not Chromium's: the connection closes.
constexpr size_t kHeadLimit = 256u << 10;

// Every piece, in order, in as few calls as the socket takes.
bool SendPieces(SOCKET socket, std::initializer_list<std::string_view> pieces) {
    std::vector<WSABUF> buffers;
    for (std::string_view piece : pieces) {
        if (!piece.empty()) buffers.push_back({static_cast<ULONG>(piece.size()), const_cast<char*>(piece.data())});
    }
    size_t next = 0;
    while (next < buffers.size()) {
        DWORD sent = 0;
        if (WSASend(socket, buffers.data() + next, static_cast<DWORD>(buffers.size() - next), &sent, 0, nullptr,
                    nullptr) != 0)
            return false;
        while (next < buffers.size() && sent >= buffers[next].len) sent -= buffers[next++].len;
        if (next < buffers.size()) {
            buffers[next].buf += sent;
            buffers[next].len -= sent;
        }
    }
    return true;
}

class Connection {
public:
    Connection(std::shared_ptr<ServerState> state, SOCKET socket) : state_(std::move(state)), socket_(socket) {}
    ~Connection() { closesocket(socket_); }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    static DWORD WINAPI Run(void* self);

private:
    std::optional<RequestHead> ReadHead();
    bool DropBody(uint64_t length);
    std::optional<ServedAnswer> AskHost(ServedRequest request);
    bool SendAnswer(const ServedAnswer& answer, const RequestHead& request);
    bool SendBody(IStream* body, const ResponsePlan& plan);

    std::shared_ptr<ServerState> state_;
    SOCKET socket_;
    std::string received_;     // bytes read past the last head
    std::vector<char> block_;  // the body's bytes on their way, kept for the connection's next answer
};

DWORD WINAPI Connection::Run(void* self) {
    std::unique_ptr<Connection> connection(static_cast<Connection*>(self));
    // Answers are written whole or streamed in large blocks: nothing gains from Nagle's delay.
    const BOOL noDelay = TRUE;
    setsockopt(connection->socket_, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay), sizeof(noDelay));
    for (;;) {
        const auto head = connection->ReadHead();
        if (!head || !connection->DropBody(head->bodyLength)) break;
        const std::string destination = HeaderValue(head->headers, "Sec-Fetch-Dest");
        auto answer = connection->AskHost(
            {RequestUrl(*head), head->method, head->headers, ResourceContextOfDestination(destination)});
        // A request nobody answers fails as one to a host that is not there would.
        if (!answer || !connection->SendAnswer(*answer, *head) || !head->keepAlive) break;
    }
    return 0;
}

std::optional<RequestHead> Connection::ReadHead() {
    char buffer[16384];
    size_t end = RequestHeadEnd(received_);
    while (end == std::string::npos) {
        if (received_.size() > kHeadLimit) return std::nullopt;
        const int got = recv(socket_, buffer, sizeof(buffer), 0);
        if (got <= 0) return std::nullopt;
        received_.append(buffer, static_cast<size_t>(got));
        end = RequestHeadEnd(received_);
    }
    auto head = ParseRequestHead(std::string_view(received_).substr(0, end - 2));
    received_.erase(0, end);
    return head;
}

bool Connection::DropBody(uint64_t length) {
    char buffer[16384];
    const size_t held = static_cast<size_t>(std::min<uint64_t>(length, received_.size()));
    received_.erase(0, held);
    length -= held;
    while (length > 0) {
        const int got = recv(socket_, buffer, static_cast<int>(std::min<uint64_t>(length, sizeof(buffer))), 0);
        if (got <= 0) return false;
        length -= static_cast<uint64_t>(got);
    }
    return true;
}

std::optional<ServedAnswer> Connection::AskHost(ServedRequest request) {
    struct Pending {
        UniqueKernelHandle done{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
        std::optional<ServedAnswer> answer;
    };
    auto pending = std::make_shared<Pending>();
    UiThread::Get().Post([state = state_, pending, request = std::move(request)] {
        if (!state->stopping && state->serve) pending->answer = state->serve(request);
        SetEvent(pending->done.get());
    });
    const HANDLE waits[] = {pending->done.get(), state_->stopped.get()};
    if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0) return std::nullopt;
    return std::move(pending->answer);
}

bool Connection::SendAnswer(const ServedAnswer& answer, const RequestHead& request) {
    const ResponsePlan plan = PlanResponse(answer.status, answer.reason, answer.headers, request.method == "HEAD",
                                           request.keepAlive);
    return plan.hasBody ? SendBody(answer.body.Get(), plan) : SendPieces(socket_, {plan.head});
}

// Streams the body as the stream gives it, the head going out with its first block. A body shorter than
// the length its head promised ends the connection, so that the browser sees it cut short rather than
// waiting for the rest.
bool Connection::SendBody(IStream* body, const ResponsePlan& plan) {
    if (block_.empty()) block_.resize(kBlock);
    std::string_view head = plan.head;
    uint64_t left = plan.length.value_or(0);
    for (;;) {
        const ULONG want = plan.length ? static_cast<ULONG>(std::min<uint64_t>(left, kBlock)) : kBlock;
        ULONG read = 0;
        if (want > 0 && body && FAILED(body->Read(block_.data(), want, &read))) read = 0;
        if (read == 0) break;
        const std::string_view data(block_.data(), read);
        const bool sent = plan.length ? SendPieces(socket_, {head, data})
                                      : SendPieces(socket_, {head, ChunkStart(read), data, "\r\n"});
        if (!sent) return false;
        head = {};
        if (plan.length) left -= read;
    }
    if (plan.length) return SendPieces(socket_, {head}) && left == 0;
    return SendPieces(socket_, {head, "0\r\n\r\n"});
}

DWORD WINAPI AcceptLoop(void* parameter) {
    std::unique_ptr<std::shared_ptr<ServerState>> held(static_cast<std::shared_ptr<ServerState>*>(parameter));
    const std::shared_ptr<ServerState> state = *held;
    for (;;) {
        const SOCKET accepted = accept(state->listener, nullptr, nullptr);
        if (accepted == INVALID_SOCKET) return 0;  // the listener was closed
        auto connection = std::make_unique<Connection>(state, accepted);
        UniqueKernelHandle thread(CreateThread(nullptr, 0, Connection::Run, connection.get(), 0, nullptr));
        if (thread) connection.release();
    }
}

}  // namespace

SOCKET ListenOnLoopback(int backlog, int* port) {
    if (!StartWinsock()) return INVALID_SOCKET;
    SOCKET listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof(address);
    if (listener == INVALID_SOCKET || bind(listener, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        listen(listener, backlog) != 0 || getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        if (listener != INVALID_SOCKET) closesocket(listener);
        return INVALID_SOCKET;
    }
    *port = ntohs(address.sin_port);
    return listener;
}

int FreeLoopbackPort() {
    int port = 0;
    const SOCKET probe = ListenOnLoopback(1, &port);
    if (probe == INVALID_SOCKET) return 0;
    closesocket(probe);
    return port;
}

std::unique_ptr<LoopbackServer> LoopbackServer::Start() {
    auto state = std::make_shared<ServerState>();
    int port = 0;
    state->listener = ListenOnLoopback(SOMAXCONN, &port);
    if (state->listener == INVALID_SOCKET || !state->stopped) return nullptr;
    auto held = std::make_unique<std::shared_ptr<ServerState>>(state);
    UniqueKernelHandle thread(CreateThread(nullptr, 0, AcceptLoop, held.get(), 0, nullptr));
    if (!thread) {
        closesocket(state->listener);
        return nullptr;
    }
    held.release();
    return std::unique_ptr<LoopbackServer>(new LoopbackServer(std::move(state), port));
}

LoopbackServer::~LoopbackServer() {
    state_->stopping = true;
    state_->serve = nullptr;
    SetEvent(state_->stopped.get());
    closesocket(state_->listener);
}

void LoopbackServer::ServeWith(ServeFunction serve) { state_->serve = std::move(serve); }

}  // namespace preview
