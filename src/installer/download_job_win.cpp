#include "installer/download_job_win.h"

#include <process.h>

#include "installer/download_progress_win.h"

namespace {

bool Download(const DownloadJob& job) {
    if (!job.downloadToFile) return false;
    DownloadProgress progress(job.progressBar);
    return job.downloadToFile(nullptr, job.url.c_str(), job.destinationPath.c_str(), 0, &progress) == S_OK;
}

}  // namespace

unsigned __stdcall DownloadThreadProc(void* argument) {
    DownloadJob& job = *static_cast<DownloadJob*>(argument);
    job.downloaded = Download(job);
    // Closing the window ends the UI thread's loop, successful or not.
    SendMessageW(job.window, WM_CLOSE, 0, 0);
    _endthreadex(0);
    return 0;
}
