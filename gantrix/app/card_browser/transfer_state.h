#pragma once

// What the SD card browser and its transfer worker share. The browser fills the lists and
// the selection size before the worker starts and reads the transferred list only after the
// worker has ended; while it runs, every value has one writer: the worker writes the
// progress, the counters and the errors and clears the mode as its last act, the browser
// writes the cancel request.

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

enum TransferMode : int { kTransferIdle = 0, kTransferDownload = -1, kTransferUpload = -2 };

// The system error numbers the browser shows in its status text.
inline constexpr int kErrorFileNotFound = 2;
inline constexpr int kErrorPathNotFound = 3;
inline constexpr int kErrorWriteFault = 29;
inline constexpr int kErrorReadFault = 30;
inline constexpr int kErrorInvalidName = 123;
inline constexpr int kErrorCancelled = 1223;

inline constexpr int kProgressSteps = 1000;

struct TransferState {
    std::atomic<int> transferMode{kTransferIdle};
    // The mode the worker took at its start, read when the transfer has ended.
    std::atomic<int> lastTransferMode{kTransferIdle};

    std::vector<int> downloadList;  // indices into the browser's entry table
    std::vector<std::string> uploadList;
    std::vector<std::string> transferredList;  // local paths
    uint64_t selectionSize = 0;

    std::atomic<int> windowsError{0};
    std::atomic<int> fileSystemStatus{0};
    std::atomic<int> progress{0};  // 0 .. kProgressSteps
    std::atomic<int> fileCounter{0};
    std::atomic<int64_t> transferredBytes{0};
    std::atomic<bool> cancelRequest{false};

    // The values a transfer starts with.
    void Start(int mode) {
        transferMode = mode;
        fileSystemStatus = 0;
        windowsError = 0;
        progress = 0;
        fileCounter = 0;
        transferredBytes = 0;
        cancelRequest = false;
    }
};
