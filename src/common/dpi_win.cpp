#include "common/dpi_win.h"

#include <windows.h>

#include "common/dpi.h"

namespace {

float g_dpiFactor = 0.0f;

}  // namespace

int32_t ScaleForDpi(int32_t logical) {
    if (g_dpiFactor == 0.0f) {
        HDC screen = GetDC(nullptr);
        const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
        ReleaseDC(nullptr, screen);
        g_dpiFactor = static_cast<float>(dpi) / 96.0f;
    }
    return ScaleByFactor(logical, g_dpiFactor);
}
