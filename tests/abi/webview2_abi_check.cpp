// Checks every WebView2 method's vtable slot and every IID of our declarations against the committed ABI
// table, and (in 32-bit builds, at compile time) every method's stdcall argument size. Prints each mismatch
// and exits with 1 when there is any.

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <type_traits>

#include "loader/webview2_win.h"

namespace {

// Stack bytes of one x86 argument: references (REFIID) travel as pointers; everything rounds up to 4.
template <class T>
constexpr int StackBytes() {
    const int size = std::is_reference<T>::value ? static_cast<int>(sizeof(void*)) : static_cast<int>(sizeof(T));
    return (size + 3) / 4 * 4;
}

// Bytes a stdcall method pops on x86: `this` plus every argument. Only stdcall member pointers match, so a
// method declared without STDMETHODCALLTYPE fails to compile here.
template <class C, class R, class... Args>
constexpr int StdcallArgBytes(R (STDMETHODCALLTYPE C::*)(Args...)) {
    return 4 + (0 + ... + StackBytes<Args>());
}

using QueryInterfaceMethod = HRESULT (STDMETHODCALLTYPE IUnknown::*)(REFIID, void**);

#if defined(__i386__)
#define QF_ABI_INTERFACE(Interface, Base, iid)
#define QF_ABI_OPAQUE(Interface, iid)
#define QF_ABI_METHOD(Interface, Method, slot, bytes) \
    static_assert(StdcallArgBytes(&Interface::Method) == (bytes), #Interface "::" #Method " x86 argument bytes");
#define QF_ABI_QUERY_INTERFACE(Interface, slot, bytes)                                                       \
    static_assert(StdcallArgBytes(static_cast<QueryInterfaceMethod>(&Interface::QueryInterface)) == (bytes), \
                  #Interface "::QueryInterface x86 argument bytes");
#include "webview2_abi_table.inc"
#undef QF_ABI_INTERFACE
#undef QF_ABI_OPAQUE
#undef QF_ABI_METHOD
#undef QF_ABI_QUERY_INTERFACE
#endif

// GCC (Itanium C++ ABI) represents a pointer to a virtual member as 1 + the vtable offset in bytes.
template <class Member>
long VtableSlot(Member member) {
    struct {
        std::uintptr_t pointer;
        std::ptrdiff_t adjustment;
    } raw;
    static_assert(sizeof(Member) == sizeof(raw), "unexpected member pointer layout");
    std::memcpy(&raw, &member, sizeof raw);
    if ((raw.pointer & 1) == 0) return -1;
    return static_cast<long>((raw.pointer - 1) / sizeof(void*));
}

int g_failures = 0;
int g_methods = 0;
int g_interfaces = 0;

void CheckSlot(const char* interfaceName, const char* method, long actual, long expected) {
    ++g_methods;
    if (actual == expected) return;
    ++g_failures;
    std::printf("%s::%s: slot %ld, table says %ld\n", interfaceName, method, actual, expected);
}

void CheckIid(const char* interfaceName, const GUID& actual, const wchar_t* expectedText) {
    ++g_interfaces;
    IID expected{};
    if (SUCCEEDED(IIDFromString(expectedText, &expected)) && IsEqualGUID(actual, expected)) return;
    ++g_failures;
    wchar_t actualText[40] = {};
    StringFromGUID2(actual, actualText, 40);
    std::printf("%s: IID %ls, table says %ls\n", interfaceName, actualText, expectedText);
}

void CheckBase(const char* interfaceName, bool derives, const char* base) {
    if (derives) return;
    ++g_failures;
    std::printf("%s: does not derive from %s\n", interfaceName, base);
}

}  // namespace

int main() {
#define QF_ABI_INTERFACE(Interface, Base, iid)      \
    CheckIid(#Interface, __uuidof(Interface), iid); \
    CheckBase(#Interface, std::is_base_of<Base, Interface>::value, #Base);
#define QF_ABI_OPAQUE(Interface, iid) CheckIid(#Interface, __uuidof(Interface), iid);
#define QF_ABI_METHOD(Interface, Method, slot, bytes) \
    CheckSlot(#Interface, #Method, VtableSlot(&Interface::Method), slot);
#define QF_ABI_QUERY_INTERFACE(Interface, slot, bytes)                                                                 \
    CheckSlot(#Interface, "QueryInterface", VtableSlot(static_cast<QueryInterfaceMethod>(&Interface::QueryInterface)), \
              slot);
#include "webview2_abi_table.inc"

    std::printf("%d interfaces, %d methods checked, %d mismatches\n", g_interfaces, g_methods, g_failures);
    return g_failures == 0 ? 0 : 1;
}
