#include "app/window_frame_win.h"

#include <algorithm>
#include <limits>

namespace {

LONG Saturated(int64_t value) {
    return static_cast<LONG>(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                                 std::numeric_limits<int32_t>::max()));
}

}  // namespace

SIZE WindowSizeForClient(int32_t clientWidth, int32_t clientHeight, DWORD style, DWORD exStyle) {
    // The frame does not depend on the client size, so it is measured around an
    // empty rectangle, where adding it cannot overflow.
    RECT frame{};
    AdjustWindowRectEx(&frame, style, FALSE, exStyle);
    return {Saturated(int64_t{clientWidth} + (frame.right - frame.left)),
            Saturated(int64_t{clientHeight} + (frame.bottom - frame.top))};
}
