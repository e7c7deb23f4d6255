#pragma once

// Where the runtime's bootstrapper is fetched from. Test builds point it at a
// loopback server instead.
#ifdef QUILLFRAME_BOOTSTRAPPER_URL
inline constexpr wchar_t BootstrapperUrl[] = QUILLFRAME_BOOTSTRAPPER_URL;
#else
inline constexpr wchar_t BootstrapperUrl[] = L"https://go.microsoft.com/fwlink/p/?LinkId=2124703";
#endif
