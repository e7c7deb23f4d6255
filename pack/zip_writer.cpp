#include "zip_writer.h"

#include <algorithm>
#include <chrono>
#include <fstream>
#include <vector>

#include "core/zip_format.h"

namespace fs = std::filesystem;

namespace {

int64_t UnixSeconds(const fs::path& path) {
    std::error_code error;
    const auto written = fs::last_write_time(path, error);
    if (error) return 0;
    const auto now = std::chrono::system_clock::now() +
                     std::chrono::duration_cast<std::chrono::system_clock::duration>(written - fs::file_time_type::clock::now());
    return std::chrono::duration_cast<std::chrono::seconds>(now.time_since_epoch()).count();
}

// Streams one file as a stored member; the header is written again once the CRC is known.
bool WriteStored(std::ofstream& zip, std::ifstream& file, ZipMember& member) {
    zip << ZipLocalHeader(member);
    std::vector<char> buffer(1 << 20);
    while (file) {
        file.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
        const size_t count = static_cast<size_t>(file.gcount());
        member.crc = Crc32(member.crc, buffer.data(), count);
        zip.write(buffer.data(), static_cast<std::streamsize>(count));
    }
    member.packedSize = member.size;
    const auto end = zip.tellp();
    zip.seekp(static_cast<std::streamoff>(member.offset));
    zip << ZipLocalHeader(member);
    zip.seekp(end);
    return file.eof() && zip.good();
}

bool WriteMember(std::ofstream& zip, const fs::path& path, ZipMember& member) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return false;
    if (StoreAsIs(member.name, member.size) || member.size == 0) return WriteStored(zip, file, member);
    std::string bytes(static_cast<size_t>(member.size), '\0');
    if (!file.read(bytes.data(), static_cast<std::streamsize>(bytes.size()))) return false;
    member.crc = Crc32(0, bytes.data(), bytes.size());
    std::string packed = Deflate(bytes);
    const bool deflated = !packed.empty() && packed.size() < bytes.size();
    member.method = deflated ? kZipDeflated : kZipStored;
    member.packedSize = deflated ? packed.size() : bytes.size();
    zip << ZipLocalHeader(member) << (deflated ? packed : bytes);
    return zip.good();
}

std::vector<fs::path> SortedEntries(const fs::path& folder, std::error_code& error) {
    std::vector<fs::path> entries;
    for (auto it = fs::recursive_directory_iterator(folder, error); !error && it != fs::recursive_directory_iterator();
         it.increment(error))
        entries.push_back(it->path());
    std::sort(entries.begin(), entries.end());
    return entries;
}

}  // namespace

std::string WriteZip(const fs::path& folder, const fs::path& zipFile) {
    std::error_code error;
    const std::vector<fs::path> entries = SortedEntries(folder, error);
    if (error) return "cannot read " + folder.u8string() + ": " + error.message();
    std::ofstream zip(zipFile, std::ios::binary | std::ios::trunc);
    std::vector<ZipMember> members;
    const std::string root = folder.filename().u8string() + "/";
    members.push_back({root, kZipStored, 0, 0, 0, 0, UnixSeconds(folder)});
    zip << ZipLocalHeader(members.back());
    for (const fs::path& path : entries) {
        ZipMember member;
        member.name = root + path.lexically_relative(folder).generic_u8string();
        member.offset = static_cast<uint64_t>(zip.tellp());
        member.modified = UnixSeconds(path);
        if (fs::is_directory(path, error)) {
            member.name += "/";
            zip << ZipLocalHeader(member);
        } else if (member.size = fs::file_size(path, error); error || member.offset > kZipLimit ||
                                                              !WriteMember(zip, path, member)) {
            return "cannot zip " + path.u8string();
        }
        members.push_back(member);
    }
    const auto directory = ZipDirectory(members, static_cast<uint64_t>(zip.tellp()));
    if (!directory) return "the app is too large for a zip file (4 GiB or 65535 files)";
    zip << *directory;
    zip.close();
    return zip.fail() ? "cannot write " + zipFile.u8string() : "";
}
