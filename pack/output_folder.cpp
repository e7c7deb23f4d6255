#include "output_folder.h"

#include <chrono>

namespace fs = std::filesystem;

OutputFolder::OutputFolder(fs::path folder) : folder_(std::move(folder)) {}

OutputFolder::~OutputFolder() {
    std::error_code error;
    if (!staging_.empty()) fs::remove_all(staging_, error);
    if (madeFolder_ && !published_) fs::remove(folder_, error);
}

std::string OutputFolder::Open() {
    std::error_code error;
    if (!fs::exists(folder_, error)) {
        fs::create_directories(folder_, error);
        if (error) return "cannot make " + folder_.u8string() + ": " + error.message();
        madeFolder_ = true;
    } else if (!fs::is_directory(folder_, error)) {
        return folder_.u8string() + " is not a folder";
    }
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    const fs::path staging = folder_ / (".pack-" + std::to_string(stamp));
    fs::create_directory(staging, error);
    if (error) return "cannot make " + staging.u8string() + ": " + error.message();
    staging_ = staging;
    return "";
}

std::string OutputFolder::Publish(const std::vector<std::string>& fileNames) {
    std::error_code error;
    for (const std::string& name : fileNames) {
        const fs::path target = folder_ / fs::u8path(name);
        fs::remove_all(target, error);
        fs::rename(staging_ / fs::u8path(name), target, error);
        if (error) return "cannot move " + name + " into " + folder_.u8string() + ": " + error.message();
    }
    published_ = true;
    return "";
}
