#pragma once

// The stand-in's record of everything the host did: webview2-transcript.jsonl beside the executable.

#include <string>

#include <nlohmann/json.hpp>

#include "loader/webview2_win.h"

namespace standin {

std::wstring ExePath();
// This DLL's own full path (either build of the stand-in).
std::wstring ModulePath();
// The executable's folder, with its trailing backslash.
std::wstring ExeFolder();

// Appends {"call": call, ...members} as one line; safe from any thread.
void Record(const std::string& call, nlohmann::json members = nlohmann::json::object());

// Made on the UI thread. While one lives, Record leaves out that thread's lines (a repeated step's events and
// what the host read from their arguments: one line per repetition otherwise); host calls are still recorded.
class QuietLines {
public:
    QuietLines();
    ~QuietLines();
    QuietLines(const QuietLines&) = delete;
    QuietLines& operator=(const QuietLines&) = delete;
};

// Marks the thread that created the environment; host calls from other threads are recorded as such.
void SetUiThread(DWORD threadId);
bool OnUiThread();

// Records a host call; returns RPC_E_WRONG_THREAD (after recording) when made off the UI thread.
HRESULT RecordHostCall(const std::string& call, nlohmann::json members = nlohmann::json::object());
HRESULT NotImplemented(const char* call);

nlohmann::json Json(const wchar_t* text);  // null for a null pointer
nlohmann::json RectJson(const RECT& rect);

}  // namespace standin
