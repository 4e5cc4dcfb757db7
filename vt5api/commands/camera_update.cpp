// The camera behind the HC: its start and release, identity, firmware information and upload,
// each camera command passed through the HC.

#include <algorithm>
#include <cstring>

#include "platform/clock/clock.h"
#include "vt5api/commands/update.h"
#include "vt5api/commands/update_exchange.h"

using namespace vt5upd;

namespace {

constexpr int32_t kStartReadMs = 5000;
constexpr int32_t kCameraTimeoutMs = 3000;
constexpr int64_t kAfterReleaseMs = 200;

// What one pass-through brought back: the HC's entry 0x3C (null when it lacks one of one
// byte, with `present` telling whether it was there at all) and the camera's reply.
struct Passed {
    const uint8_t* status = nullptr;
    bool present = false;
    const uint8_t* reply = nullptr;
    int32_t replySize = 0;
};

int32_t PassThrough(CVT5Api* api, uint8_t cameraCommand, uint8_t cameraParam, const void* data,
                    int32_t size, Passed& passed) {
    const uint8_t codes[2] = {cameraParam, cameraCommand};
    int32_t result = api->BeginCommand(kCmdCamera);
    if (result == VT5_OK) result = api->AddParam(kPassThrough, codes, 2);
    if (result == VT5_OK) result = api->AttachBulk(data, size);
    if (result == VT5_OK) result = api->Exchange();
    if (result != VT5_OK) return result;
    passed.status = AnswerValue(api, kPassThrough, 1, &passed.present);
    passed.replySize = api->bulkReceived;
    passed.reply = passed.replySize > 0 ? api->bulkData : nullptr;
    return VT5_OK;
}

// A query of the camera: 30 when the HC's answer does not fit, 66 when the camera did not
// answer or its reply is not `expected` bytes long (any length above 0 when expected is 0).
int32_t Query(CVT5Api* api, uint8_t cameraCommand, uint8_t cameraParam, const uint8_t* data,
              int32_t size, int32_t expected, Passed& passed) {
    int32_t result = PassThrough(api, cameraCommand, cameraParam, data, size, passed);
    if (result != VT5_OK) return result;
    if (!passed.status) return VT5_E_INVALID_ANSWER;
    if (passed.status[0] != 0) return VT5_E_CANT_EXECUTE;
    bool fits = expected > 0 ? passed.replySize == expected : passed.replySize > 0;
    return fits ? VT5_OK : VT5_E_CANT_EXECUTE;
}

// Release (0xC0): `missing` when the answer lacks the entry, `wrongLength` when it has a value.
int32_t Release(CVT5Api* api, int32_t missing, int32_t wrongLength) {
    int32_t result = Send(api, kCmdCamera, kCameraRelease);
    if (result != VT5_OK) return result;
    bool present = false;
    if (!AnswerValue(api, kCameraRelease, 0, &present)) return present ? wrongLength : missing;
    return VT5_OK;
}

// Runs body with the HC in BOOT mode (90 otherwise) in the command sequence.
template <class Body>
int32_t InBoot(CVT5Api* api, uint16_t section, Body body) {
    if (!api) return VT5_E_NO_LINK;
    return api->RunCommand(section, [&]() -> int32_t {
        if (!InBootMode(api)) return VT5_E_NEEDS_BOOT;
        return body();
    });
}

int32_t SendCameraImage(CVT5Api* api, const uint8_t* image, int32_t size,
                        const VT5UploadProgress& progress) {
    for (int32_t sent = 0; image && sent < size;) {
        const int32_t chunk = std::min(VT5_UPD_CHUNK_SIZE, size - sent);
        Passed passed;
        int32_t result = PassThrough(api, kCmdUpdate, kImageData, image + sent, chunk, passed);
        if (result != VT5_OK) return result;
        if (!passed.status || passed.replySize != 2) return VT5_E_UPDATE_INTERNAL;
        sent += chunk;
        const uint8_t status = passed.reply[0];
        if (status == VT5_UPD_COUNT_MISMATCH || status == VT5_UPD_IMAGE_COMPLETE) {
            if (sent < size || passed.status[0] == 1) return VT5_E_UPDATE_COUNT_MISMATCH;
        } else if (status != VT5_UPD_CHUNK_ACCEPTED) {
            return VT5_E_UPDATE_FAILED;
        }
        if (progress) progress(sent, size);
    }
    return VT5_OK;
}

}  // namespace

int32_t VT5cmd_UPD_CameraStart(CVT5Api* api) {
    return InBoot(api, VT5_SECTION_CTRL, [&]() -> int32_t {
        ScopedLinkTimeouts timeouts(*api->link, kStartReadMs, kCameraTimeoutMs);
        int32_t result = Send(api, kCmdCamera, kCameraBootStart);
        if (result != VT5_OK) return result;
        const uint8_t* started = AnswerValue(api, kCameraBootStart, 1);
        if (!started) return VT5_E_INVALID_ANSWER;
        return started[0] == 0 ? VT5_OK : VT5_E_UPDATE_CAMERA_START;
    });
}

int32_t VT5cmd_UPD_CameraStop(CVT5Api* api) {
    return InBoot(api, VT5_SECTION_CTRL, [&]() -> int32_t {
        ScopedLinkTimeouts timeouts(*api->link, kCameraTimeoutMs, kCameraTimeoutMs);
        int32_t result = Release(api, VT5_E_INVALID_ANSWER, VT5_E_INVALID_ANSWER);
        if (result == VT5_OK) platform::sleepMs(kAfterReleaseMs);
        return result;
    });
}

int32_t VT5cmd_UPD_CameraIdentity(CVT5Api* api, VT5CamIdentity* identity) {
    if (identity) *identity = VT5CamIdentity{};
    return InBoot(api, VT5_SECTION_NONE, [&]() -> int32_t {
        // Each step hands the camera the previous reply.
        Passed passed;
        int32_t result = Query(api, kCmdIdentity, kProtocolWords, nullptr, 0, 4, passed);
        if (result != VT5_OK) return result;
        uint8_t words[4];
        std::memcpy(words, passed.reply, 4);
        result = Query(api, kCmdIdentity, kUniqueId, words, 4, 24, passed);
        if (result != VT5_OK) return result;
        uint8_t ident[24];
        std::memcpy(ident, passed.reply, 24);
        result = Query(api, kCmdIdentity, kHardwareId, ident, 24, 1, passed);
        if (result != VT5_OK) return result;
        if (!identity) return VT5_OK;
        const uint16_t word = static_cast<uint16_t>(words[0] | words[1] << 8);
        identity->protocolVersion = word & 0x0FFF;
        identity->bootFlag = (word & 0xF000) == 0xB000 ? 1 : 0;
        identity->secondProtocolWord = static_cast<uint16_t>(words[2] | words[3] << 8);
        std::memcpy(identity->identity, ident, 8);
        for (int i = 0; i < 16; ++i)
            identity->uniqueId[i] = ident[8 + i] ? static_cast<char>(ident[8 + i]) : ' ';
        identity->uniqueId[16] = '\0';
        identity->hardwareId = passed.reply[0];
        return VT5_OK;
    });
}

int32_t VT5cmd_UPD_CameraFwInfo(CVT5Api* api, VT5FwInfo* info) {
    return InBoot(api, VT5_SECTION_NONE, [&]() -> int32_t {
        Passed passed;
        // A reply without even the status byte tells nothing: the camera did not answer.
        int32_t result = Query(api, kCmdUpdate, kInfo, nullptr, 0, 0, passed);
        if (result == VT5_OK && info) ReadRecord(passed.reply, passed.replySize, *info);
        return result;
    });
}

int32_t VT5cmd_UPD_UploadCamera(CVT5Api* api, const uint8_t* image, int32_t size,
                                uint16_t startWord, const VT5UploadProgress& progress) {
    SetLastStatus(0);
    return InBoot(api, VT5_SECTION_CTRL, [&]() -> int32_t {
        ScopedLinkTimeouts timeouts(*api->link, kCameraTimeoutMs, kCameraTimeoutMs);
        int32_t result = Release(api, VT5_E_UPDATE_PROHIBITED, VT5_E_UPDATE_INTERNAL);
        if (result != VT5_OK) return result;
        platform::sleepMs(kAfterReleaseMs);

        result = Send(api, kCmdCamera, kCameraBootStart);
        if (result != VT5_OK) return result;
        bool present = false;
        const uint8_t* started = AnswerValue(api, kCameraBootStart, 1, &present);
        if (!present) return VT5_E_UPDATE_PROHIBITED;
        if (!started) return VT5_E_UPDATE_INTERNAL;
        if (started[0] != 0) return VT5_E_UPDATE_CAMERA_START;

        const uint8_t word[2] = {static_cast<uint8_t>(startWord),
                                 static_cast<uint8_t>(startWord >> 8)};
        Passed passed;
        result = PassThrough(api, kCmdUpdate, kUploadStart, word, 2, passed);
        if (result != VT5_OK) return result;
        if (!passed.status) return VT5_E_UPDATE_INTERNAL;
        if (passed.status[0] != 0) return VT5_E_UPDATE_FAILED;
        if (passed.replySize != 1) return VT5_E_UPDATE_INTERNAL;
        if (passed.reply[0] != 0) return VT5_E_UPDATE_FAILED;

        result = SendCameraImage(api, image, size, progress);
        if (result != VT5_OK) return result;
        return Release(api, VT5_E_UPDATE_PROHIBITED, VT5_E_UPDATE_INTERNAL);
    });
}
