#include "websocket.h"

#include <cctype>
#include <cstdlib>
#include <utility>

namespace preview {

std::string WebSocketUpgradeRequest(const std::string& hostAndPort, const std::string& path) {
    // The key only proves to a proxy that the client speaks WebSocket; loopback has none.
    return "GET " + path + " HTTP/1.1\r\nHost: " + hostAndPort +
           "\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
           "Sec-WebSocket-Key: cXVpbGxmcmFtZS1wcmV2aWV3\r\nSec-WebSocket-Version: 13\r\n\r\n";
}

size_t ResponseHeadLength(const std::string& received) {
    const size_t end = received.find("\r\n\r\n");
    return end == std::string::npos ? 0 : end + 4;
}

bool IsUpgradeAccepted(const std::string& head) {
    return head.rfind("HTTP/1.1 101", 0) == 0;
}

bool IsWholeHttpAnswer(const std::string& received) {
    const size_t head = ResponseHeadLength(received);
    if (!head) return false;
    std::string lower = received.substr(0, head);
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const size_t field = lower.find("\r\ncontent-length:");
    if (field == std::string::npos) return true;
    return received.size() - head >= std::strtoull(lower.c_str() + field + 17, nullptr, 10);
}

namespace {

std::string FrameHead(uint8_t opcode, uint64_t length) {
    std::string head;
    head.push_back(static_cast<char>(0x80 | opcode));
    if (length < 126) {
        head.push_back(static_cast<char>(0x80 | length));
    } else if (length <= 0xFFFF) {
        head.push_back(static_cast<char>(0x80 | 126));
        for (int shift = 8; shift >= 0; shift -= 8) head.push_back(static_cast<char>((length >> shift) & 0xFF));
    } else {
        head.push_back(static_cast<char>(0x80 | 127));
        for (int shift = 56; shift >= 0; shift -= 8) head.push_back(static_cast<char>((length >> shift) & 0xFF));
    }
    head.append(4, '\0');
    return head;
}

}  // namespace

std::string TextFrameHead(uint64_t length) { return FrameHead(0x1, length); }

std::string_view ClientFramePayload(std::string_view frame) {
    if (frame.size() < 2) return {};
    const uint8_t length = static_cast<uint8_t>(frame[1]) & 0x7F;
    const size_t head = 2 + (length == 126 ? 2 : length == 127 ? 8 : 0) + 4;
    return frame.size() < head ? std::string_view() : frame.substr(head);
}
std::string EncodeCloseFrame() { return FrameHead(0x8, 0); }

std::optional<std::string> FrameDecoder::Next() {
    while (!closed_) {
        if (buffer_.size() < 2) return std::nullopt;
        const auto byte = [this](size_t i) { return static_cast<uint8_t>(buffer_[i]); };
        const bool final = byte(0) & 0x80;
        const uint8_t opcode = byte(0) & 0x0F;
        const bool masked = byte(1) & 0x80;
        uint64_t length = byte(1) & 0x7F;
        size_t offset = 2;
        const size_t extra = length == 126 ? 2 : length == 127 ? 8 : 0;
        if (buffer_.size() < offset + extra) return std::nullopt;
        if (extra) {
            length = 0;
            for (size_t i = 0; i < extra; ++i) length = (length << 8) | byte(offset + i);
        }
        offset += extra;
        const size_t maskOffset = offset;
        if (masked) offset += 4;
        if (buffer_.size() - offset < length) return std::nullopt;
        std::string payload = buffer_.substr(offset, length);
        if (masked) {
            for (size_t i = 0; i < payload.size(); ++i) payload[i] ^= buffer_[maskOffset + i % 4];
        }
        buffer_.erase(0, offset + length);
        if (opcode == 0x8) closed_ = true;
        if (opcode >= 0x8) continue;  // close, ping, pong: nothing to hand on
        partial_ += payload;
        if (final) return std::exchange(partial_, {});
    }
    return std::nullopt;
}

}  // namespace preview
