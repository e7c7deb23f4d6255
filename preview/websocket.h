#pragma once

// The client side of the WebSocket protocol as the DevTools endpoint speaks it: the upgrade request,
// text frames out, and frames in from a byte stream.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace preview {

std::string WebSocketUpgradeRequest(const std::string& hostAndPort, const std::string& path);

// The length of the response head (through its blank line) once it has arrived, 0 before; whether it
// switches protocols is told by IsUpgradeAccepted.
size_t ResponseHeadLength(const std::string& received);
bool IsUpgradeAccepted(const std::string& head);
// Whether a plain HTTP answer has arrived whole: its head, and as many body bytes as Content-Length says.
bool IsWholeHttpAnswer(const std::string& received);

// The head of a final, masked text frame of `length` payload bytes. The mask key is zero: a client must
// mask, but nothing here needs the protection a random key gives a browser against its proxies, and a
// zero key leaves the payload as is, so it can be written straight after the head.
std::string TextFrameHead(uint64_t length);
// The payload of such a frame, for the trace.
std::string_view ClientFramePayload(std::string_view frame);
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
