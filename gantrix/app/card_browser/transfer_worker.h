#pragma once

// The transfers of the SD card browser: downloads of card files into "My folder" and uploads
// of local files into the card folder shown, run on a worker thread while the browser shows
// their progress.

#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "gantrix/app/card_browser/card_entry.h"
#include "gantrix/app/card_browser/transfer_state.h"

class CVT5Api;

// What a transfer works on, fixed before it starts.
struct TransferJob {
    CVT5Api* api = nullptr;
    // Download: the card files in the current card folder, and where their copies go.
    std::vector<CardEntry> files;
    std::string myFolder;
    std::string uniqueId;
    std::string folderPrefix;  // the card folder, "" at the root
};

// Where the downloads from a card folder go: <My folder>/<unique ID>/SD<card folder>/, with
// "." for a My folder that is empty or longer than 1023 characters and the unique ID without
// the spaces around it.
std::string DownloadFolder(const std::string& myFolder, const std::string& uniqueId,
                           const std::string& folderPrefix);

// Runs the transfer that state.transferMode names on the calling thread, to its end, and
// clears the mode as its last act. Returns the exit code: the code of the last file system
// command that failed, 0 when none did.
//
// A download is written under a temporary name and takes its own only when it is complete,
// with the card's time (UTC) as its access and modification time and read-only when the card
// says so; a cancelled or failed download leaves nothing behind. An upload that is cancelled
// or fails in the middle of a file deletes what it wrote of that file on the card.
int32_t RunTransfer(const TransferJob& job, TransferState& state);

// The worker thread.
class TransferWorker {
public:
    explicit TransferWorker(TransferState& state) : state_(state) {}
    // Cancels a transfer that still runs and waits for its end.
    ~TransferWorker();
    TransferWorker(const TransferWorker&) = delete;
    TransferWorker& operator=(const TransferWorker&) = delete;

    // Starts RunTransfer on a thread of its own; false with the system's error number when
    // no thread can be had.
    bool Start(TransferJob job, int& error);
    // Waits for the thread (which has cleared the transfer mode, or is about to) and returns
    // its exit code.
    int32_t Join();

private:
    TransferState& state_;
    TransferJob job_;
    std::thread thread_;
    int32_t exitCode_ = 0;
};
