#include "create_file_counter.h"

#include <map>
#include <string>

#include "standin_com.h"
#include "transcript.h"
#include "common/srw_lock_win.h"

namespace standin {
namespace {

using CreateFileWFn = HANDLE(WINAPI*)(LPCWSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE);

CreateFileWFn g_original = nullptr;

HANDLE WINAPI CountingCreateFileW(LPCWSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                                  DWORD disposition, DWORD flags, HANDLE templateFile) {
    static SRWLOCK lock = SRWLOCK_INIT;
    static auto* counts = new std::map<std::wstring, int>;
    int count = 0;
    {
        SrwLockGuard guard(lock);
        count = ++(*counts)[path ? path : L""];
    }
    Record("CreateFileW", {{"path", Json(path)}, {"count", count}});
    return g_original(path, access, share, security, disposition, flags, templateFile);
}

template <class T>
T* At(BYTE* base, DWORD offset) {
    return reinterpret_cast<T*>(base + offset);
}

void Patch(IMAGE_THUNK_DATA* slot) {
    DWORD oldProtection = 0;
    if (!VirtualProtect(&slot->u1.Function, sizeof(slot->u1.Function), PAGE_READWRITE, &oldProtection)) return;
    g_original = reinterpret_cast<CreateFileWFn>(slot->u1.Function);
    slot->u1.Function = reinterpret_cast<ULONG_PTR>(&CountingCreateFileW);
    VirtualProtect(&slot->u1.Function, sizeof(slot->u1.Function), oldProtection, &oldProtection);
}

}  // namespace

void CountExeCreateFileCalls() {
    auto* base = reinterpret_cast<BYTE*>(GetModuleHandleW(nullptr));
    auto* nt = At<IMAGE_NT_HEADERS>(base, reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (imports.VirtualAddress == 0) return;
    for (auto* module = At<IMAGE_IMPORT_DESCRIPTOR>(base, imports.VirtualAddress); module->Name; ++module) {
        if (lstrcmpiA(At<char>(base, module->Name), "kernel32.dll") != 0 || !module->OriginalFirstThunk) continue;
        auto* names = At<IMAGE_THUNK_DATA>(base, module->OriginalFirstThunk);
        auto* slots = At<IMAGE_THUNK_DATA>(base, module->FirstThunk);
        for (; names->u1.AddressOfData; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
            auto* byName = At<IMAGE_IMPORT_BY_NAME>(base, static_cast<DWORD>(names->u1.AddressOfData));
            if (lstrcmpA(reinterpret_cast<char*>(byName->Name), "CreateFileW") == 0) Patch(slots);
        }
    }
}

}  // namespace standin
