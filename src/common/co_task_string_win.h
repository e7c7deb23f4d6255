#pragma once
#include <windows.h>

#include <string>
#include <utility>

#include "common/strings.h"

// Owner of one string that the runtime or the shell allocated with
// CoTaskMemAlloc and handed over through an out-parameter. Put() gives the
// out-parameter; the string is freed when the owner goes, even when the call
// that filled it failed (the shell allocates on some failures too).
class CoTaskString {
public:
    CoTaskString() = default;
    CoTaskString(CoTaskString&& other) noexcept : text_(std::exchange(other.text_, nullptr)) {}
    CoTaskString& operator=(CoTaskString&& other) noexcept {
        std::swap(text_, other.text_);
        return *this;
    }
    CoTaskString(const CoTaskString&) = delete;
    CoTaskString& operator=(const CoTaskString&) = delete;
    ~CoTaskString() { CoTaskMemFree(text_); }

    // Frees what is held and hands out the slot for the next string.
    LPWSTR* Put() {
        CoTaskMemFree(std::exchange(text_, nullptr));
        return &text_;
    }
    const wchar_t* Get() const { return text_; }
    explicit operator bool() const { return text_ != nullptr; }
    // UTF-8; empty for null.
    std::string Utf8() const { return text_ ? WideToUtf8(text_) : std::string(); }

private:
    LPWSTR text_ = nullptr;
};
