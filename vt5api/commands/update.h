#pragma once

// Firmware update: the firmware information of the HC and of its camera, the upload of an
// image into the HC, and the camera reached through the HC (its identity and its upload).
// Everything but the information query and the finish needs the HC in BOOT mode (90
// otherwise). In Client mode the uploads, the finish and the camera's start and release keep
// the API server's firmware update section for this client until one of them fails, so no
// other program can start an update meanwhile.

#include <cstdint>
#include <functional>

#include "vt5api/api/vt5api.h"

// Firmware information of the HC or of the camera.
struct VT5FwInfo {
    // 0 a valid firmware; 1-7 invalid content; 8 internal error; 9 checksum error; 15 none.
    uint8_t status;
    uint16_t flags;    // bits 12-15 build number; bit 4 set: relocated firmware
    uint16_t version;  // major in the high byte, minor in the low byte
    uint32_t size;     // in units of 512 bytes
    char description[41];
};

// Identity of the camera.
struct VT5CamIdentity {
    int32_t bootFlag;  // 1: the camera runs its boot loader
    uint16_t protocolVersion;
    uint16_t secondProtocolWord;
    uint8_t identity[8];
    char uniqueId[17];  // zero bytes read as blanks
    uint8_t hardwareId;
};

// Update statuses the boot loaders answer image data with.
constexpr int32_t VT5_UPD_CHUNK_ACCEPTED = 0;
constexpr int32_t VT5_UPD_COUNT_MISMATCH = 1;
constexpr int32_t VT5_UPD_IMAGE_COMPLETE = 13;
constexpr int32_t VT5_UPD_BUSY = 102;
constexpr int32_t VT5_UPD_NO_ROOM = 239;
// Left as the last update status by an HC upload whose last chunk was answered 0.
constexpr int32_t VT5_UPD_INCOMPLETE = 194;

// Images go to the devices in chunks of this size (the last one shorter).
constexpr int32_t VT5_UPD_CHUNK_SIZE = 4096;

// Called after each chunk an upload had accepted: bytes sent so far, bytes in all.
using VT5UploadProgress = std::function<void(int32_t sent, int32_t total)>;

// The HC's firmware information (its firmware's own in firmware mode). When the HC answers
// with the status alone, only info->status is set. 57, 58.
int32_t VT5cmd_UPD_GetFwInfo(CVT5Api* api, VT5FwInfo* info);

// Uploads an image into the HC: upload start with the image's start word, programming start,
// readiness, the image in chunks, finish. An empty image (null or size 0) still goes through
// readiness and finish. 100 (the HC took the image with another byte count), 101, 102
// (refused), 104 (failed: see VT5cmd_UPD_LastStatus), 107 (no room); the finish is sent
// again by the caller after 100 and 104.
int32_t VT5cmd_UPD_UploadHC(CVT5Api* api, const uint8_t* image, int32_t size, uint16_t startWord,
                            const VT5UploadProgress& progress = {});
// Ends an upload; the answer is not examined.
int32_t VT5cmd_UPD_Finish(CVT5Api* api);

// Restarts the camera into its boot loader (106 when it does not come) / out of it (30 for an
// answer that does not fit).
int32_t VT5cmd_UPD_CameraStart(CVT5Api* api);
int32_t VT5cmd_UPD_CameraStop(CVT5Api* api);
// The camera's identity and firmware information, with the camera started. 30 for an answer
// of the HC that does not fit, 66 when the camera did not answer as expected.
int32_t VT5cmd_UPD_CameraIdentity(CVT5Api* api, VT5CamIdentity* identity);
int32_t VT5cmd_UPD_CameraFwInfo(CVT5Api* api, VT5FwInfo* info);
// Uploads an image into the camera: release, boot start, upload start, chunks, release.
// 101, 102, 104, 106.
int32_t VT5cmd_UPD_UploadCamera(CVT5Api* api, const uint8_t* image, int32_t size,
                                uint16_t startWord, const VT5UploadProgress& progress = {});

// The update status behind the last HC upload's 104, or 194 when its last chunk was answered
// as if more were to come; 0 after any other ending. One value for the whole program: each
// upload sets it to 0 at its start.
int32_t VT5cmd_UPD_LastStatus();
