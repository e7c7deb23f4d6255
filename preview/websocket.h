#pragma once

// The client side of the WebSocket protocol as the DevTools endpoint speaks it: the upgrade request,
// text frames out, and frames in from a byte stream.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace preview {

std::string WebSocketUpgradeRequest(const std::string& hostAndPort, const std::string& path);

// The length of the response head (through its blank line) once it has arrived, 0 before; whether it
// switches protocols is told by IsUpgradeAccepted.
size_t ResponseHeadLength(const std::string& received);
bool IsUpgradeAccepted(const std::string& head);
// Whether a plain HTTP answer has arrived whole: its head, and as many body bytes as Content-Length says.
bool IsWholeHttpAnswer(const std::string& received);

// A final, masked text frame. The mask key is zero: a client must mask, but nothing here needs the
// protection a random key gives a browser against its proxies, and a zero key leaves the payload as is.
std::string EncodeTextFrame(const std::string& payload);
std::string EncodeCloseFrame();

// Reassembles messages from server frames (unmasked, possibly fragmented); pings and pongs are skipped.
class FrameDecoder {
public:
    void Feed(const char* bytes, size_t length) { buffer_.append(bytes, length); }
    // The next whole message, if one has arrived.
    std::optional<std::string> Next();
    bool IsClosed() const { return closed_; }

private:
    std::string buffer_;
    std::string partial_;
    bool closed_ = false;
};

}  // namespace preview
