// Display reads and button events.

#include "vt5api/commands/display.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

// Decodes the image that follows the answer on the link, 512 bytes per read. Bytes the
// decoder no longer needs are still read, so that the next answer starts where it should.
int32_t DecodeFromLink(CVT5Api* api, VT5DisplayDecoder& decoder, int32_t size) {
    uint8_t piece[VT5_DISPLAY_STREAM_PIECE];
    int32_t left = size;
    while (left > 0) {
        int32_t n = api->link->Read(piece, std::min(left, VT5_DISPLAY_STREAM_PIECE));
        if (n <= 0) break;
        decoder.Feed(piece, static_cast<size_t>(n));
        left -= n;
        api->bulkOnLink = std::max(0, api->bulkOnLink - n);
    }
    decoder.Finish();
    return left > 0 ? VT5_E_TOO_FEW_BYTES : VT5_OK;
}

// One 0xD1 exchange with the given parameters; the answer's lights and image go to the
// caller's record and frame buffer.
int32_t ReadDisplayOnce(CVT5Api* api, const std::vector<uint8_t>& params, uint16_t* frameBuffer,
                        VT5ButtonLights* lights) {
    int32_t result = api->BeginCommand(VT5_CMD_DISPLAY_READ);
    for (uint8_t id : params)
        if (result == VT5_OK) result = api->AddParam(id, nullptr, 0);
    if (result == VT5_OK) result = api->SendCommand();
    if (result == VT5_OK) result = api->ReceiveAnswer();
    if (result != VT5_OK) return result;
    if (const uint8_t* entry = api->FindAnswerParam(VT5_DISPLAY_LIGHTS)) {
        if (entry[1] != sizeof(VT5ButtonLights)) return VT5_E_BAD_PARAMETER_LENGTH;
        if (lights) std::memcpy(lights, entry + 2, sizeof(VT5ButtonLights));
    }
    if (!frameBuffer || api->bulkAnnounced <= 0) return VT5_OK;
    VT5DisplayDecoder decoder(frameBuffer, api->bulkAnnounced / 2);
    if (!api->bulkBuffered) return DecodeFromLink(api, decoder, api->bulkAnnounced);
    decoder.Feed(api->bulkData, static_cast<size_t>(api->bulkReceived));
    decoder.Finish();
    return VT5_OK;
}

// A read whose first parameter (fresh start or snapshot, or none) is followed by the lights
// and the image when the caller wants them, in the order the HC expects.
int32_t ReadDisplayWith(CVT5Api* api, uint8_t first, uint16_t* frameBuffer,
                        VT5ButtonLights* lights) {
    std::vector<uint8_t> params;
    if (first) params.push_back(first);
    if (lights) params.push_back(VT5_DISPLAY_LIGHTS);
    if (frameBuffer) params.push_back(VT5_DISPLAY_IMAGE);
    return ReadDisplayOnce(api, params, frameBuffer, lights);
}

}  // namespace

int32_t VT5cmd_ReadDisplay(CVT5Api* api, uint16_t* frameBuffer, VT5ButtonLights* lights,
                           bool freshStart) {
    if (!api) return VT5_E_NO_LINK;
    return api->RunCommand(VT5_SECTION_NONE, [&] {
        return ReadDisplayWith(api, freshStart ? VT5_DISPLAY_FRESH_START : 0, frameBuffer, lights);
    });
}

int32_t VT5cmd_ReadDisplaySnapshot(CVT5Api* api, uint16_t* frameBuffer, VT5ButtonLights* lights) {
    if (!api) return VT5_E_NO_LINK;
    return api->RunCommand(VT5_SECTION_NONE, [&]() -> int32_t {
        if (api->protocolVersion >= VT5_DISPLAY_SNAPSHOT_SINCE && !api->bootFlag)
            return ReadDisplayWith(api, VT5_DISPLAY_SNAPSHOT, frameBuffer, lights);
        int32_t result = ReadDisplayWith(api, VT5_DISPLAY_FRESH_START, frameBuffer, lights);
        if (result != VT5_OK || api->bootFlag) return result;
        // The program that reads updates gets every pixel with its next read.
        result = api->BeginCommand(VT5_CMD_DISPLAY_READ);
        if (result == VT5_OK) result = api->AddParam(VT5_DISPLAY_FRESH_START, nullptr, 0);
        if (result == VT5_OK) result = api->Exchange();
        return result;
    });
}

int32_t VT5cmd_ButtonEvent(CVT5Api* api, int32_t button, bool released) {
    if (!api) return VT5_E_NO_LINK;
    return api->RunCommand(VT5_SECTION_NONE, [&] {
        auto id = static_cast<uint8_t>(VT5_BUTTON_EVENT_BASE +
                                       (released ? VT5_BUTTON_EVENT_RELEASE : 0) + (button & 0x0F));
        int32_t result = api->BeginCommand(VT5_CMD_BUTTON_EVENT);
        if (result == VT5_OK) result = api->AddParam(id, nullptr, 0);
        if (result == VT5_OK) result = api->Exchange();
        return result;
    });
}
