#pragma once
#include <windows.h>
#include <objidl.h>
#include <wrl/client.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "content/mapped_file_win.h"

// One answer of the content server, ready to be handed to the web view.
struct ContentResponse {
    int status = 0;
    std::string reason;
    std::string headers;  // one "Name: value" line per header, joined by "\n"
    Microsoft::WRL::ComPtr<IStream> body;  // null when the answer has none
};

// Answers requests for the app's files under the virtual origin from the
// content folder, and owns the cache of mapped files that ranges are cut from.
class ContentServer {
public:
    // contentRoot: the folder served, with its trailing backslash.
    // originLength: how many characters of every request URI the origin takes.
    ContentServer(std::string contentRoot, size_t originLength);
    ContentServer(const ContentServer&) = delete;
    ContentServer& operator=(const ContentServer&) = delete;

    // rangeHeader gives the request's Range value when it has one; it is asked
    // only for a file that exists.
    ContentResponse Serve(const std::string& uri,
                          const std::function<std::optional<std::string>()>& rangeHeader);

    // Lets go of every cached view; a view that an answer still reads goes
    // when that answer's stream is released.
    void ReleaseMappedFiles();

    // How many files the cache holds a view of.
    size_t MappedFileCount() const { return mappedFiles_.size(); }

private:
    struct FileFacts;
    FileFacts LookUp(const std::optional<std::string>& requestPath, const std::string& filePath) const;
    Microsoft::WRL::ComPtr<IStream> SliceStream(const std::string& requestPath, const std::string& filePath,
                                                std::shared_ptr<MappedFile> mapped, uint32_t first, uint32_t length);
    // The cached view of a content file, mapped on first use; null when it cannot be mapped.
    std::shared_ptr<MappedFile> MapFileView(const std::string& requestPath, const std::string& filePath);

    std::string contentRoot_;
    size_t originLength_;
    std::map<std::string, std::shared_ptr<MappedFile>> mappedFiles_;
    uint64_t requestCount_ = 0;  // orders the cached views by last use
};
