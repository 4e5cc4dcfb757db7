// The worker's download: the files of the download list from the current card folder into
// the local copy of that folder.

#include <algorithm>

#include "gantrix/app/card_browser/local_copy.h"
#include "gantrix/app/card_browser/transfer_run.h"
#include "gantrix/app/trimmed.h"
#include "gantrix/report/folder_path.h"
#include "vt5api/commands/file_system.h"

namespace {

// The card folder's path must not climb out of the local copy of the card, nor the unique ID
// out of "My folder".
bool IsSafePrefix(const std::string& prefix) {
    size_t start = 0;
    while (start <= prefix.size()) {
        const size_t end = std::min(prefix.find('/', start), prefix.size());
        if (prefix.compare(start, end - start, "..") == 0 && end - start == 2) return false;
        start = end + 1;
    }
    return true;
}

enum class FileEnd { kNext, kStop };

// Copies one card file; whether the transfer goes on.
FileEnd DownloadFile(TransferRun& run, const CardEntry& entry, const std::string& folder) {
    CVT5Api* api = run.job.api;
    const std::string& name = entry.longName;
    if (!IsSafeLocalName(name)) {
        run.state.windowsError = kErrorInvalidName;
        return FileEnd::kStop;
    }
    int32_t status = 0;
    if (!run.Record(VT5cmd_FS_Open(api, name.c_str(), VT5_FS_OPEN_READ, &status), status)) {
        return FileEnd::kStop;
    }
    LocalCopy copy;
    if (!copy.Create(folder)) {
        run.state.windowsError = kErrorFileNotFound;
        run.Record(VT5cmd_FS_Close(api, &status), status);
        return FileEnd::kStop;
    }

    char buffer[VT5_FS_PIECE];
    bool readFailed = false, writeFailed = false;
    for (int64_t remaining = entry.size; remaining > 0;) {
        int32_t read = 0;
        const int32_t piece = int32_t(std::min<int64_t>(remaining, VT5_FS_PIECE));
        if (!run.Record(VT5cmd_FS_Read(api, buffer, piece, &read, &status), status)) {
            readFailed = true;
            break;
        }
        if (!copy.Write(buffer, size_t(read))) {
            run.state.windowsError = kErrorWriteFault;
            writeFailed = true;
            break;
        }
        run.Copied(read);
        remaining -= read;
        if (read == 0) break;  // the file ends before its listed size
        if (run.CancelRequested()) {
            run.cancelled = true;
            break;
        }
    }

    bool named = true;
    if (!readFailed && !writeFailed && !run.cancelled) {
        const int error = copy.Finish(name, entry.date, entry.time,
                                      (entry.attributes & VT5_FS_ATTR_READ_ONLY) != 0);
        if (error == 0) {
            run.state.transferredList.push_back(folder + name);
        } else {
            run.state.windowsError = error;
            named = error != kErrorFileNotFound;
        }
    }
    const bool closed = run.Record(VT5cmd_FS_Close(api, &status), status);
    return closed && named && !readFailed && !run.cancelled ? FileEnd::kNext : FileEnd::kStop;
}

}  // namespace

void RunDownload(TransferRun& run) {
    const std::string folder =
        DownloadFolder(run.job.myFolder, run.job.uniqueId, run.job.folderPrefix);
    const std::string uid = Trimmed(run.job.uniqueId);
    if (!IsSafePrefix(run.job.folderPrefix) || (!uid.empty() && !IsSafeLocalName(uid)) ||
        report::CreateFolderPath(folder) != 0) {
        run.state.windowsError = kErrorPathNotFound;
        return;
    }
    LocalCopy::RemoveStale(folder);
    run.state.transferredList.clear();
    for (const CardEntry& entry : run.job.files) {
        ++run.state.fileCounter;
        if (entry.size <= 0) continue;  // nothing to copy: no local file is made
        if (DownloadFile(run, entry, folder) == FileEnd::kStop) return;
    }
}
