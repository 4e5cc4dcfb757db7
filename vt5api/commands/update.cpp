// The HC's firmware information, its upload and the finish.

#include "vt5api/commands/update.h"

#include <algorithm>

#include "platform/clock/clock.h"
#include "vt5api/commands/update_exchange.h"

using namespace vt5upd;

namespace {

// Readiness while the boot loader erases: asked again after a pause, for this long at most
// before the upload is given up as busy.
constexpr int64_t kReadinessPauseMs = 10;
constexpr int64_t kReadinessLimitMs = 30000;

// Image data (or, with no bytes, readiness): the bulk entry, then parameter 0xDA; the update
// status in `status`, or the code that ended the exchange.
int32_t ImageData(CVT5Api* api, const uint8_t* chunk, int32_t size, uint8_t& status) {
    int32_t result = api->BeginCommand(kCmdUpdate);
    if (result == VT5_OK) result = api->AttachBulk(chunk, size);
    if (result == VT5_OK) result = api->AddParam(kImageData, nullptr, 0);
    if (result == VT5_OK) result = api->Exchange();
    if (result != VT5_OK) return result;
    bool present = false;
    const uint8_t* value = AnswerValue(api, kImageData, 1, &present);
    if (!present) return VT5_E_UPDATE_PROHIBITED;
    if (!value) return VT5_E_UPDATE_INTERNAL;
    status = value[0];
    return VT5_OK;
}

int32_t WaitUntilReady(CVT5Api* api) {
    const int64_t giveUpAt = platform::nowMs() + kReadinessLimitMs;
    for (;;) {
        uint8_t status = 0;
        int32_t result = ImageData(api, nullptr, 0, status);
        if (result != VT5_OK) return result;
        if (status == VT5_UPD_NO_ROOM) return VT5_E_UPDATE_NO_SPACE;
        if (status != VT5_UPD_BUSY) return VT5_OK;
        if (platform::nowMs() >= giveUpAt) {
            SetLastStatus(VT5_UPD_BUSY);
            return VT5_E_UPDATE_FAILED;
        }
        platform::sleepMs(kReadinessPauseMs);
    }
}

int32_t SendImage(CVT5Api* api, const uint8_t* image, int32_t size,
                  const VT5UploadProgress& progress) {
    for (int32_t sent = 0; sent < size;) {
        const int32_t chunk = std::min(VT5_UPD_CHUNK_SIZE, size - sent);
        uint8_t status = 0;
        int32_t result = ImageData(api, image + sent, chunk, status);
        if (result != VT5_OK) return result;
        sent += chunk;
        const bool last = sent == size;
        if (status == VT5_UPD_CHUNK_ACCEPTED && last) {
            // The HC still waits for bytes the image does not have.
            SetLastStatus(VT5_UPD_INCOMPLETE);
            VT5cmd_UPD_Finish(api);
            return VT5_E_UPDATE_FAILED;
        }
        if (status == VT5_UPD_IMAGE_COMPLETE && !last) return VT5_E_UPDATE_COUNT_MISMATCH;
        if (status == VT5_UPD_COUNT_MISMATCH) return VT5_E_UPDATE_COUNT_MISMATCH;
        if (status != VT5_UPD_CHUNK_ACCEPTED && status != VT5_UPD_IMAGE_COMPLETE) {
            SetLastStatus(status);
            return VT5_E_UPDATE_FAILED;
        }
        if (progress) progress(sent, size);
    }
    return VT5_OK;
}

}  // namespace

int32_t VT5cmd_UPD_GetFwInfo(CVT5Api* api, VT5FwInfo* info) {
    if (!api) return VT5_E_NO_LINK;
    return api->RunCommand(VT5_SECTION_NONE, [&]() -> int32_t {
        int32_t result = Send(api, kCmdUpdate, kInfo);
        if (result != VT5_OK) return result;
        const uint8_t* entry = api->FindAnswerParam(kInfo);
        if (!entry) return VT5_E_NO_ANSWER_PARAMETER;
        if (entry[1] != kRecordSize && entry[1] != 1) return VT5_E_BAD_PARAMETER_LENGTH;
        if (info) ReadRecord(entry + 2, entry[1], *info);
        return VT5_OK;
    });
}

int32_t VT5cmd_UPD_UploadHC(CVT5Api* api, const uint8_t* image, int32_t size, uint16_t startWord,
                            const VT5UploadProgress& progress) {
    SetLastStatus(0);
    if (!api) return VT5_E_NO_LINK;
    return api->RunCommand(VT5_SECTION_CTRL, [&]() -> int32_t {
        if (!InBootMode(api)) return VT5_E_NEEDS_BOOT;
        const uint8_t word[2] = {static_cast<uint8_t>(startWord),
                                 static_cast<uint8_t>(startWord >> 8)};
        int32_t result = Send(api, kCmdUpdate, kUploadStart, word, 2);
        if (result != VT5_OK) return result;
        if (!api->FindAnswerParam(kUploadStart)) return VT5_E_UPDATE_PROHIBITED;

        const uint8_t zeros[3] = {};
        result = Send(api, kCmdUpdate, kProgrammingStart, zeros, 3);
        if (result != VT5_OK) return result;
        bool present = false;
        const uint8_t* started = AnswerValue(api, kProgrammingStart, 1, &present);
        if (!present) return VT5_E_UPDATE_PROHIBITED;
        if (!started) return VT5_E_UPDATE_INTERNAL;
        if (started[0] != 0) return VT5_E_UPDATE_FAILED;

        result = WaitUntilReady(api);
        if (result != VT5_OK) return result;
        if (image && size > 0) {
            result = SendImage(api, image, size, progress);
            if (result != VT5_OK) return result;
        }
        return VT5cmd_UPD_Finish(api);
    });
}

int32_t VT5cmd_UPD_Finish(CVT5Api* api) {
    if (!api) return VT5_E_NO_LINK;
    return api->RunCommand(VT5_SECTION_CTRL, [&] { return Send(api, kCmdUpdate, kFinish); });
}
