#include "gantrix/app/card_browser/transfer_worker.h"

#include <algorithm>
#include <cerrno>
#include <system_error>

#include "gantrix/app/card_browser/transfer_run.h"
#include "gantrix/app/trimmed.h"

namespace {

constexpr size_t kMaxMyFolderLength = 1023;

}  // namespace

bool TransferRun::Record(int32_t code, int32_t fsStatus) {
    if (fsStatus != 0) state.fileSystemStatus = fsStatus;
    if (code != 0) exitCode = code;
    return code == 0;
}

void TransferRun::Copied(int32_t bytes) {
    state.transferredBytes += bytes;
    done_ += uint64_t(bytes);
    const uint64_t size = state.selectionSize;
    // A file that grew since it was chosen must not carry the bar past its end.
    state.progress = size == 0
                         ? kProgressSteps
                         : int(std::min<uint64_t>(done_ * kProgressSteps / size, kProgressSteps));
}

std::string DownloadFolder(const std::string& myFolder, const std::string& uniqueId,
                           const std::string& folderPrefix) {
    const std::string base =
        myFolder.empty() || myFolder.size() > kMaxMyFolderLength ? "." : myFolder;
    return base + "/" + Trimmed(uniqueId) + "/SD" + folderPrefix + "/";
}

int32_t RunTransfer(const TransferJob& job, TransferState& state) {
    TransferRun run(job, state);
    state.lastTransferMode = state.transferMode.load();
    if (state.lastTransferMode == kTransferDownload) RunDownload(run);
    if (state.lastTransferMode == kTransferUpload) RunUpload(run);
    if (run.cancelled) state.windowsError = kErrorCancelled;
    state.transferMode = kTransferIdle;
    return run.exitCode;
}

TransferWorker::~TransferWorker() {
    if (!thread_.joinable()) return;
    state_.cancelRequest = true;
    thread_.join();
}

bool TransferWorker::Start(TransferJob job, int& error) {
    Join();
    job_ = std::move(job);
    try {
        thread_ = std::thread([this] { exitCode_ = RunTransfer(job_, state_); });
    } catch (const std::system_error& e) {
        error = e.code().value();
        return false;
    }
    return true;
}

int32_t TransferWorker::Join() {
    if (thread_.joinable()) thread_.join();
    return exitCode_;
}
