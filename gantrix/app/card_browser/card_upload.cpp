// The worker's upload: the files of the upload list into the current card folder.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>

#include "gantrix/app/card_browser/transfer_run.h"
#include "platform/posix/unique_fd.h"
#include "vt5api/commands/file_system.h"

namespace {

// Reads up to size bytes, fewer only at the end of the file or on an error.
size_t ReadFull(int fd, char* buffer, size_t size) {
    size_t got = 0;
    while (got < size) {
        const ssize_t n = ::read(fd, buffer + got, size - got);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += size_t(n);
    }
    return got;
}

enum class FileEnd { kNext, kStop };

FileEnd UploadFile(TransferRun& run, const std::string& path, bool last) {
    CVT5Api* api = run.job.api;
    platform::UniqueFd local(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat info {};
    if (!local || ::fstat(local.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        run.state.windowsError = kErrorFileNotFound;
        run.state.fileSystemStatus = 0;
        return FileEnd::kStop;
    }
    const std::string name = std::filesystem::path(path).filename().string();
    int32_t status = 0;
    if (!run.Record(VT5cmd_FS_Open(api, name.c_str(), VT5_FS_OPEN_WRITE_NEW, &status), status)) {
        return FileEnd::kStop;
    }

    char buffer[VT5_FS_PIECE];
    bool readFault = false, writeFailed = false;
    for (uint64_t remaining = uint64_t(info.st_size); remaining > 0;) {
        const size_t piece = size_t(std::min<uint64_t>(remaining, VT5_FS_PIECE));
        if (ReadFull(local.get(), buffer, piece) < piece) {
            run.state.windowsError = kErrorReadFault;
            readFault = true;
            break;
        }
        int32_t written = 0;
        if (!run.Record(VT5cmd_FS_Write(api, buffer, int32_t(piece), &written, &status), status)) {
            writeFailed = true;
            break;
        }
        run.Copied(written);
        remaining -= uint64_t(written);
        if (written == 0) break;
        if (run.CancelRequested()) {
            run.cancelled = true;
            break;
        }
    }
    local.reset();

    const int32_t closeCode = VT5cmd_FS_Close(api, &status);
    const bool closed = run.Record(closeCode, status);
    // A file cut short must not stay on the card as if it were whole. Not after a failure of
    // the link, though: the HC may not hear the delete either.
    const bool linkFailed = (run.exitCode != VT5_OK && run.exitCode != VT5_E_FS_REFUSED);
    if ((readFault || writeFailed || run.cancelled || !closed) && !linkFailed) {
        int32_t ignored = 0;
        VT5cmd_FS_Delete(api, name.c_str(), &ignored);
    }
    if (writeFailed || !closed) return FileEnd::kStop;
    if (!readFault) run.state.transferredList.push_back(path);
    // A cancel request that comes while the file is closed stops before the next file.
    if (run.CancelRequested() && !last) run.cancelled = true;
    return run.cancelled ? FileEnd::kStop : FileEnd::kNext;
}

}  // namespace

void RunUpload(TransferRun& run) {
    const std::vector<std::string>& uploads = run.state.uploadList;
    for (size_t i = 0; i < uploads.size(); ++i) {
        ++run.state.fileCounter;
        if (UploadFile(run, uploads[i], i + 1 == uploads.size()) == FileEnd::kStop) return;
    }
}
