#include "json_lines.h"

JsonLines::JsonLines(const std::wstring& path) : file_(_wfopen(path.c_str(), L"ab")) {}

void JsonLines::Write(const nlohmann::json& line) {
    const std::string text = line.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
    std::fwrite(text.data(), 1, text.size(), file_.get());
    std::fflush(file_.get());
}
