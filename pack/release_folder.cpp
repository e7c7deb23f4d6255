#include "release_folder.h"

#include <fstream>

#include "app_files.h"
#include "core/release_content.h"

namespace fs = std::filesystem;

namespace {

std::string Copied(const fs::path& from, const fs::path& to) {
    std::error_code error;
    if (fs::is_directory(from, error))
        fs::copy(from, to, fs::copy_options::recursive, error);
    else
        fs::copy_file(from, to, error);
    return error ? "cannot copy " + from.u8string() + ": " + error.message() : "";
}

}  // namespace

std::string StageRelease(const fs::path& appFolder, const fs::path& target, const std::string& exeName,
                         const std::string& exeBytes) {
    std::error_code error;
    fs::create_directories(target, error);
    if (error) return "cannot make " + target.u8string() + ": " + error.message();
    for (const fs::directory_entry& entry : fs::directory_iterator(appFolder, error)) {
        const std::string name = entry.path().filename().u8string();
        if (!ShipsInRelease(name, entry.is_directory(error))) continue;
        if (std::string problem = Copied(entry.path(), target / entry.path().filename()); !problem.empty())
            return problem;
    }
    if (error) return "cannot read " + appFolder.u8string() + ": " + error.message();
    return WriteFileBytes(target / fs::u8path(exeName), exeBytes) ? "" : "cannot write " + exeName;
}

std::vector<std::string> WwwFiles(const fs::path& appFolder) {
    std::vector<std::string> files;
    const auto www = FindInFolder(appFolder, "www");
    std::error_code error;
    if (!www || !fs::is_directory(*www, error)) return files;
    for (auto it = fs::recursive_directory_iterator(*www, error); !error && it != fs::recursive_directory_iterator();
         it.increment(error))
        if (it->is_regular_file(error)) files.push_back(Shown(it->path(), appFolder));
    return files;
}

uint64_t FolderBytes(const fs::path& folder) {
    uint64_t total = 0;
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(folder, error); !error && it != fs::recursive_directory_iterator();
         it.increment(error))
        if (it->is_regular_file(error)) total += it->file_size(error);
    return total;
}

bool WriteFileBytes(const fs::path& path, const std::string& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    file.close();
    return !file.fail();
}
