#include "icon_kind.h"

#include <cstdint>
#include <limits>
#include <vector>

namespace {

struct Pixels {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> bgra;
};

// A top-down 32-bit DIB with a memory DC selected into it; painting goes through dc.
class Canvas {
public:
    Canvas(int width, int height) : dc_(CreateCompatibleDC(nullptr)) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits_, nullptr, 0);
        old_ = SelectObject(dc_, bitmap_);
        pixels_.width = width;
        pixels_.height = height;
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;
    ~Canvas() {
        SelectObject(dc_, old_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
    }
    HDC dc() const { return dc_; }
    Pixels Read() {
        GdiFlush();
        const auto* first = static_cast<const uint32_t*>(bits_);
        pixels_.bgra.assign(first, first + pixels_.width * pixels_.height);
        return pixels_;
    }

private:
    HDC dc_;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ old_ = nullptr;
    void* bits_ = nullptr;
    Pixels pixels_;
};

Pixels CaptureScreen(const RECT& area) {
    Canvas canvas(area.right - area.left, area.bottom - area.top);
    HDC screen = GetDC(nullptr);
    BitBlt(canvas.dc(), 0, 0, area.right - area.left, area.bottom - area.top, screen, area.left, area.top, SRCCOPY);
    ReleaseDC(nullptr, screen);
    return canvas.Read();
}

// The standard icon drawn the way a static icon control draws it: stretched to the
// control, over the background that the control shows around the icon.
Pixels RenderStandardIcon(LPCWSTR id, int width, int height, uint32_t background) {
    Canvas canvas(width, height);
    const COLORREF color = RGB((background >> 16) & 0xFF, (background >> 8) & 0xFF, background & 0xFF);
    HBRUSH brush = CreateSolidBrush(color);
    RECT all{0, 0, width, height};
    FillRect(canvas.dc(), &all, brush);
    DeleteObject(brush);
    DrawIconEx(canvas.dc(), 0, 0, LoadIconW(nullptr, id), width, height, 0, nullptr, DI_NORMAL);
    return canvas.Read();
}

uint64_t Distance(const Pixels& a, const Pixels& b) {
    uint64_t sum = 0;
    for (size_t i = 0; i < a.bgra.size(); ++i) {
        for (int shift = 0; shift < 24; shift += 8) {
            const int64_t d = static_cast<int64_t>((a.bgra[i] >> shift) & 0xFF) - ((b.bgra[i] >> shift) & 0xFF);
            sum += static_cast<uint64_t>(d * d);
        }
    }
    return sum;
}

bool IsPlain(const Pixels& pixels) {
    for (uint32_t pixel : pixels.bgra) {
        if ((pixel & 0xFFFFFF) != (pixels.bgra.front() & 0xFFFFFF)) return false;
    }
    return true;
}

// The control paints asynchronously in its own process: wait for two equal, non-plain captures.
Pixels SettledCapture(const RECT& area) {
    Pixels last = CaptureScreen(area);
    for (int attempt = 0; attempt < 40; ++attempt) {
        Sleep(50);
        Pixels next = CaptureScreen(area);
        if (!IsPlain(next) && next.bgra == last.bgra) return next;
        last = std::move(next);
    }
    return last;
}

}  // namespace

std::optional<std::string> IconKindOf(HWND iconControl) {
    if (!iconControl || !IsWindowVisible(iconControl)) return "none";
    // The handle means nothing here, but whether there is one does.
    DWORD_PTR icon = 0;
    if (!SendMessageTimeoutW(iconControl, STM_GETICON, 0, 0, SMTO_ABORTIFHUNG, 3000, &icon)) return std::nullopt;
    if (!icon) return "none";
    RECT area{};
    GetWindowRect(iconControl, &area);
    if (area.right <= area.left || area.bottom <= area.top) return "none";
    const Pixels shown = SettledCapture(area);
    if (IsPlain(shown)) return "none";

    struct Candidate {
        const char* kind;
        LPCWSTR id;
    };
    const Candidate candidates[] = {{"error", IDI_ERROR},
                                    {"information", IDI_INFORMATION},
                                    {"warning", IDI_WARNING},
                                    {"question", IDI_QUESTION}};
    std::string best = "none";
    uint64_t bestDistance = std::numeric_limits<uint64_t>::max();
    for (const Candidate& candidate : candidates) {
        const uint64_t distance =
            Distance(shown, RenderStandardIcon(candidate.id, shown.width, shown.height, shown.bgra.front()));
        if (distance < bestDistance) {
            bestDistance = distance;
            best = candidate.kind;
        }
    }
    return best;
}
