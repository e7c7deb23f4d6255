#include "installer/download_progress_win.h"

#include <commctrl.h>

#include "installer/progress.h"

HRESULT DownloadProgress::QueryInterface(REFIID, void**) { return E_NOINTERFACE; }

ULONG DownloadProgress::AddRef() { return 1; }

ULONG DownloadProgress::Release() { return 1; }

HRESULT DownloadProgress::OnStartBinding(DWORD, IBinding*) { return E_NOTIMPL; }

HRESULT DownloadProgress::GetPriority(LONG*) { return E_NOTIMPL; }

HRESULT DownloadProgress::OnLowResource(DWORD) { return S_OK; }

// Every status moves the bar alike; the UI thread serves the message.
HRESULT DownloadProgress::OnProgress(ULONG progress, ULONG progressMax, ULONG, LPCWSTR) {
    if (const auto percent = ProgressPercent(progress, progressMax)) {
        SendMessageW(progressBar_, PBM_SETPOS, static_cast<WPARAM>(*percent), 0);
    }
    return S_OK;
}

HRESULT DownloadProgress::OnStopBinding(HRESULT, LPCWSTR) { return E_NOTIMPL; }

HRESULT DownloadProgress::GetBindInfo(DWORD*, BINDINFO*) { return E_NOTIMPL; }

HRESULT DownloadProgress::OnDataAvailable(DWORD, DWORD, FORMATETC*, STGMEDIUM*) { return E_NOTIMPL; }

HRESULT DownloadProgress::OnObjectAvailable(REFIID, IUnknown*) { return E_NOTIMPL; }
