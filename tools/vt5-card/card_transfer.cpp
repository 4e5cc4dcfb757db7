#include "tools/vt5-card/card_transfer.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/posix/unique_fd.h"
#include "tools/vt5-card/card_address.h"
#include "tools/vt5-card/local_file.h"

namespace card {

Transfers::Transfers(CardClient& client, uint64_t total, const volatile std::sig_atomic_t& stop)
    : client_(client), api_(client.api()), progress_("", total), stop_(stop) {}

bool Transfers::Interrupted() {
    if (stop_) cancelled_ = true;
    return cancelled_;
}

bool Transfers::Refused(const std::string& step, int32_t code, int32_t status) {
    progress_.Finish();
    client_.Report(step, code, status);
    return false;
}

bool Transfers::Failed(const std::string& text) {
    progress_.Finish();
    client_.Fail(text);
    return false;
}

bool Transfers::Failed() {
    progress_.Finish();
    return false;
}

void Transfers::Abandon(const std::string& cardPath, bool written) {
    VT5cmd_FS_Close(&api_, nullptr);
    if (written) Delete(cardPath);
}

void Transfers::Delete(const std::string& cardPath) {
    CardAddress address(client_, cardPath);
    if (address.ok()) VT5cmd_FS_Delete(&api_, address.text(), nullptr);
}

bool Transfers::Open(const std::string& cardPath, uint8_t mode, int32_t& result, int32_t& status) {
    CardAddress address(client_, cardPath);
    if (!address.ok()) return false;
    result = VT5cmd_FS_Open(&api_, address.text(), mode, &status);
    return true;
}

bool Transfers::Download(const std::string& cardPath, const CardItem& item,
                         const std::filesystem::path& localDir) {
    if (!SafeLocalName(item.longName))
        return Failed("the card names a file \"" + item.longName +
                      "\", which is no file name here");
    progress_.SetLabel("get " + cardPath);
    int32_t status = 0;
    int32_t result = VT5_OK;
    if (!Open(cardPath, VT5_FS_OPEN_READ, result, status)) return Failed();
    if (result != VT5_OK) return Refused("Opening " + cardPath, result, status);
    if (swept_.insert(localDir).second) LocalDownload::RemoveStale(localDir);
    LocalDownload local(localDir / item.longName);
    if (!local.ok()) {
        Abandon(cardPath, false);
        return Failed(local.error());
    }
    std::vector<uint8_t> buffer(kChunk);
    for (;;) {
        if (Interrupted()) {
            Abandon(cardPath, false);
            return false;
        }
        int32_t got = 0;
        result = VT5cmd_FS_Read(&api_, buffer.data(), kChunk, &got, &status);
        if (result != VT5_OK) {
            Abandon(cardPath, false);
            return Refused("Reading " + cardPath, result, status);
        }
        if (!local.Write(buffer.data(), static_cast<size_t>(got))) {
            Abandon(cardPath, false);
            return Failed(local.error());
        }
        done_ += static_cast<uint64_t>(got);
        progress_.Update(done_);
        if (got < kChunk) break;  // the end of the file
    }
    result = VT5cmd_FS_Close(&api_, &status);
    if (result != VT5_OK) return Refused("Closing " + cardPath, result, status);
    if (!local.Commit(CardTime(item), item.attributes & VT5_FS_ATTR_READ_ONLY))
        return Failed(local.error());
    return true;
}

bool Transfers::Upload(const std::filesystem::path& local, const std::string& cardDir) {
    std::string cardPath = JoinCardPath(cardDir, local.filename().string());
    platform::UniqueFd in(::open(local.c_str(), O_RDONLY | O_CLOEXEC));
    if (!in) return Failed("cannot read " + local.string() + ": " + std::strerror(errno));
    progress_.SetLabel("put " + cardPath);
    int32_t status = 0;
    int32_t result = VT5_OK;
    if (!Open(cardPath, VT5_FS_OPEN_WRITE_NEW, result, status)) return Failed();
    if (result != VT5_OK) return Refused("Creating " + cardPath, result, status);
    std::vector<uint8_t> buffer(kChunk);
    for (;;) {
        if (Interrupted()) {
            Abandon(cardPath, true);
            return false;
        }
        ssize_t n = ::read(in.get(), buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            Abandon(cardPath, true);
            return Failed("cannot read " + local.string() + ": " + std::strerror(errno));
        }
        if (n == 0) break;
        int32_t written = 0;
        result = VT5cmd_FS_Write(&api_, buffer.data(), static_cast<int32_t>(n), &written, &status);
        if (result != VT5_OK) {
            Abandon(cardPath, true);
            return Refused("Writing " + cardPath, result, status);
        }
        done_ += static_cast<uint64_t>(n);
        progress_.Update(done_);
    }
    result = VT5cmd_FS_Close(&api_, &status);
    if (result != VT5_OK) {
        Delete(cardPath);
        return Refused("Closing " + cardPath, result, status);
    }
    return true;
}

}  // namespace card
