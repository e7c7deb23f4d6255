#pragma once
#include <nlohmann/json.hpp>

#include <cstdio>
#include <memory>
#include <string>

// Appends one JSON object per line to a file, flushed at once so that a run
// that gets killed still leaves behind everything it saw.
class JsonLines {
public:
    explicit JsonLines(const std::wstring& path);
    bool IsOpen() const { return file_ != nullptr; }
    void Write(const nlohmann::json& line);

private:
    struct Closer {
        void operator()(FILE* file) const { std::fclose(file); }
    };
    std::unique_ptr<FILE, Closer> file_;
};
