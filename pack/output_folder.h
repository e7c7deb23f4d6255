#pragma once
#include <filesystem>
#include <string>
#include <vector>

// The --out folder as the tool fills it: everything is made in a staging folder
// inside it and moved into place only when all of it succeeded, so a failure
// leaves the folder as it was (and removes it when the tool made it).
class OutputFolder {
public:
    explicit OutputFolder(std::filesystem::path folder);
    ~OutputFolder();
    OutputFolder(const OutputFolder&) = delete;
    OutputFolder& operator=(const OutputFolder&) = delete;

    // Makes the folders; empty on success, otherwise what went wrong.
    std::string Open();
    const std::filesystem::path& staging() const { return staging_; }
    // Moves the named files of the staging folder into the output folder.
    std::string Publish(const std::vector<std::string>& fileNames);

private:
    std::filesystem::path folder_, staging_;
    bool madeFolder_ = false, published_ = false;
};
