#pragma once
#include <objidl.h>
#include <wrl/client.h>

#include <cstdint>
#include <memory>

#include "content/mapped_file_win.h"

// A read-only stream over `length` bytes of a mapped file from `first`, which
// the caller keeps within the view. The stream shares the mapping instead of
// copying the bytes, and keeps the view alive until its last reference is gone,
// even after the cache has let go of it. It may be read on any thread.
Microsoft::WRL::ComPtr<IStream> MakeMappedViewStream(std::shared_ptr<const MappedFile> file, uint32_t first,
                                                     uint32_t length);
