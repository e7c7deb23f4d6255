#pragma once

// The preview's HTTP server on loopback: the TLS relay in front of it hands it Chromium's requests for the
// virtual hosts. Each connection has a thread of its own; each request is put to the host on the UI thread
// and the host's answer is streamed back from the connection's thread as it reads the host's IStream.

#include <winsock2.h>
#include <windows.h>
#include <objidl.h>
#include <wrl/client.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "resources.h"

namespace preview {

struct ServedRequest {
    std::string url;
    std::string method;
    HeaderList headers;
    int context = 16;  // the runtime's resource context
};

struct ServedAnswer {
    int status = 200;
    std::string reason;
    HeaderList headers;
    Microsoft::WRL::ComPtr<IStream> body;  // read on the connection's thread, as the runtime reads it
};

// Runs on the UI thread; nothing when the host does not answer (the connection then closes).
using ServeFunction = std::function<std::optional<ServedAnswer>(const ServedRequest&)>;

// A socket listening on a loopback port of the system's choosing, and that port; INVALID_SOCKET on failure.
SOCKET ListenOnLoopback(int backlog, int* port);
// A loopback port nobody listens on at this moment, for the relay to take.
int FreeLoopbackPort();

struct ServerState;  // shared by the server and its threads, which may outlive it

class LoopbackServer {
public:
    // Listening and accepting; nothing when Winsock refuses.
    static std::unique_ptr<LoopbackServer> Start();
    // Stops accepting; requests still waiting for the UI thread are not answered.
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    int Port() const { return port_; }
    // On the UI thread: who answers from now on (nobody when empty).
    void ServeWith(ServeFunction serve);

private:
    LoopbackServer(std::shared_ptr<ServerState> state, int port) : state_(std::move(state)), port_(port) {}

    std::shared_ptr<ServerState> state_;
    int port_;
};

}  // namespace preview
