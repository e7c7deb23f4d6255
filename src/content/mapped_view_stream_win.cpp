#include "content/mapped_view_stream_win.h"

#include <algorithm>
#include <cstring>

#include "common/adopt_win.h"
#include "common/com_object_win.h"

using Microsoft::WRL::ComPtr;

namespace {

// Agile: the stream holds no thread-bound state, so the runtime may read it
// off the UI thread without marshalling it back.
class MappedViewStream final : public ComObject<MappedViewStream, IStream, ISequentialStream, IAgileObject> {
public:
    MappedViewStream(std::shared_ptr<const MappedFile> file, const uint8_t* bytes, uint32_t length, uint64_t position)
        : file_(std::move(file)), bytes_(bytes), length_(length), position_(position) {}
    MappedViewStream(const MappedViewStream&) = delete;
    MappedViewStream& operator=(const MappedViewStream&) = delete;

    HRESULT STDMETHODCALLTYPE Read(void* buffer, ULONG size, ULONG* read) override {
        if (!buffer) return STG_E_INVALIDPOINTER;
        const uint64_t left = position_ < length_ ? length_ - position_ : 0;
        const ULONG count = static_cast<ULONG>(std::min<uint64_t>(size, left));
        if (count != 0) std::memcpy(buffer, bytes_ + position_, count);
        position_ += count;
        if (read) *read = count;
        return count == size ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Write(const void*, ULONG, ULONG* written) override {
        if (written) *written = 0;
        return STG_E_ACCESSDENIED;
    }
    HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* newPosition) override {
        int64_t base = 0;
        switch (origin) {
        case STREAM_SEEK_SET:
            break;
        case STREAM_SEEK_CUR:
            base = static_cast<int64_t>(position_);
            break;
        case STREAM_SEEK_END:
            base = length_;
            break;
        default:
            return STG_E_INVALIDFUNCTION;
        }
        // Both terms stay far inside int64_t unless `move` itself is extreme.
        if (move.QuadPart < -base || move.QuadPart > INT64_MAX - base) return STG_E_INVALIDFUNCTION;
        position_ = static_cast<uint64_t>(base + move.QuadPart);
        if (newPosition) newPosition->QuadPart = position_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER) override { return STG_E_ACCESSDENIED; }
    HRESULT STDMETHODCALLTYPE CopyTo(IStream* target, ULARGE_INTEGER size, ULARGE_INTEGER* read,
                                     ULARGE_INTEGER* written) override {
        if (!target) return STG_E_INVALIDPOINTER;
        const uint64_t left = position_ < length_ ? length_ - position_ : 0;
        const ULONG count = static_cast<ULONG>(std::min<uint64_t>(size.QuadPart, left));
        ULONG done = 0;
        const HRESULT hr = count != 0 ? target->Write(bytes_ + position_, count, &done) : S_OK;
        position_ += count;
        if (read) read->QuadPart = count;
        if (written) written->QuadPart = done;
        return hr;
    }
    HRESULT STDMETHODCALLTYPE Commit(DWORD) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Revert() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override {
        return STG_E_INVALIDFUNCTION;
    }
    HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override {
        return STG_E_INVALIDFUNCTION;
    }
    HRESULT STDMETHODCALLTYPE Stat(STATSTG* stat, DWORD) override {
        if (!stat) return STG_E_INVALIDPOINTER;
        *stat = STATSTG{};
        stat->type = STGTY_STREAM;
        stat->cbSize.QuadPart = length_;
        stat->grfMode = STGM_READ | STGM_SHARE_DENY_WRITE;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Clone(IStream** copy) override {
        if (!copy) return STG_E_INVALIDPOINTER;
        *copy = new MappedViewStream(file_, bytes_, length_, position_);
        return S_OK;
    }

private:
    const std::shared_ptr<const MappedFile> file_;
    const uint8_t* const bytes_;
    const uint32_t length_;
    uint64_t position_;
};

}  // namespace

ComPtr<IStream> MakeMappedViewStream(std::shared_ptr<const MappedFile> file, uint32_t first, uint32_t length) {
    const uint8_t* bytes = file->bytes() + first;
    return Adopt<IStream>(new MappedViewStream(std::move(file), bytes, length, 0));
}
