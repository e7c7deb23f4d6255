#include "resources.h"

#include <cctype>
#include <cstdio>
#include <map>

namespace preview {

bool MatchesFilter(const std::string& pattern, const std::string& uri) {
    // Greedy matching with one back-track point: linear for the patterns hosts use.
    size_t p = 0, u = 0, star = std::string::npos, resume = 0;
    while (u < uri.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            resume = u;
        } else if (p < pattern.size() && pattern[p] == uri[u]) {
            ++p;
            ++u;
        } else if (star != std::string::npos) {
            p = star + 1;
            u = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

std::string FetchUrlPattern(const std::string& filter) {
    std::string pattern;
    for (char c : filter) {
        if (c == '?' || c == '\\') pattern.push_back('\\');
        pattern.push_back(c);
    }
    return pattern;
}

bool GoesThroughRelay(const std::string& uri) {
    static const std::string kScheme = "https://", kSuffix = ".localhost";
    if (uri.compare(0, kScheme.size(), kScheme) != 0) return false;
    const size_t end = uri.find_first_of("/?#", kScheme.size());
    if (end == std::string::npos) return false;  // a filter could still go on to name another host
    std::string host = uri.substr(kScheme.size(), end - kScheme.size());
    if (host.size() > 4 && host.compare(host.size() - 4, 4, ":443") == 0) host.resize(host.size() - 4);
    for (char& c : host) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return host.size() > kSuffix.size() && host.compare(host.size() - kSuffix.size(), kSuffix.size(), kSuffix) == 0 &&
           host.find_first_of("*@:") == std::string::npos;
}

int ResourceContextOf(const std::string& resourceType) {
    static const std::map<std::string, int> contexts{
        {"Document", 1},    {"Stylesheet", 2}, {"Image", 3},         {"Media", 4},     {"Font", 5},
        {"Script", 6},      {"XHR", 7},        {"Fetch", 8},         {"TextTrack", 9}, {"EventSource", 10},
        {"WebSocket", 11},  {"Manifest", 12},  {"SignedExchange", 13}, {"Ping", 14},
        {"CSPViolationReport", 15}};
    const auto found = contexts.find(resourceType);
    return found == contexts.end() ? 16 : found->second;
}

namespace {

std::string Trim(const std::string& text) {
    size_t first = 0, last = text.size();
    while (first < last && (text[first] == ' ' || text[first] == '\t')) ++first;
    while (last > first && (text[last - 1] == ' ' || text[last - 1] == '\t' || text[last - 1] == '\r')) --last;
    return text.substr(first, last - first);
}

}  // namespace

bool SameHeaderName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

HeaderList ParseHeaderBlock(const std::string& block) {
    HeaderList headers;
    size_t start = 0;
    while (start < block.size()) {
        size_t end = block.find('\n', start);
        if (end == std::string::npos) end = block.size();
        const std::string line = block.substr(start, end - start);
        const size_t colon = line.find(':');
        if (colon != std::string::npos && colon > 0) headers.emplace_back(Trim(line.substr(0, colon)), Trim(line.substr(colon + 1)));
        start = end + 1;
    }
    return headers;
}

HeaderList HeadersFromObject(const nlohmann::json& headers) {
    HeaderList list;
    if (!headers.is_object()) return list;
    for (const auto& [name, value] : headers.items()) {
        if (value.is_string()) list.emplace_back(name, value.get<std::string>());
    }
    return list;
}

nlohmann::json FetchHeaderEntries(const HeaderList& headers) {
    nlohmann::json entries = nlohmann::json::array();
    for (const auto& [name, value] : headers) entries.push_back({{"name", name}, {"value", value}});
    return entries;
}

Answer CapPartialAnswer(Answer answer, uint64_t limit) {
    if (answer.status != 206 || answer.bodyLength <= limit) return answer;
    for (auto& [name, value] : answer.headers) {
        unsigned long long first = 0, last = 0, total = 0;
        if (SameHeaderName(name, "Content-Range") &&
            std::sscanf(value.c_str(), "bytes %llu-%llu/%llu", &first, &last, &total) == 3) {
            value = "bytes " + std::to_string(first) + "-" + std::to_string(first + limit - 1) + "/" +
                    std::to_string(total);
        } else if (SameHeaderName(name, "Content-Length")) {
            value = std::to_string(limit);
        }
    }
    answer.bodyLength = limit;
    return answer;
}

}  // namespace preview
