#pragma once

// The bookkeeping that downloads and uploads share while the worker runs.

#include <cstdint>

#include "gantrix/app/card_browser/transfer_worker.h"

class TransferRun {
public:
    TransferRun(const TransferJob& transferJob, TransferState& transferState)
        : job(transferJob), state(transferState) {}

    // Records a file system command's outcome; true when it succeeded. A failure's code
    // becomes the exit code and its status the file system status; later successes clear
    // neither.
    bool Record(int32_t code, int32_t fsStatus);
    // Counts bytes copied and moves the progress.
    void Copied(int32_t bytes);
    bool CancelRequested() const { return state.cancelRequest; }

    const TransferJob& job;
    TransferState& state;
    int32_t exitCode = 0;
    bool cancelled = false;

private:
    uint64_t done_ = 0;
};

void RunDownload(TransferRun& run);
void RunUpload(TransferRun& run);
