#include "common/file_size.h"

#include <sys/stat.h>

#include "common/paths.h"
#include "common/strings.h"

uint32_t FileSize(const std::string& path) {
    struct _stat info {};
    if (_wstat(AddLongPathPrefix(Utf8ToWide(path)).c_str(), &info) != 0) return 0;
    return static_cast<uint32_t>(info.st_size);
}
