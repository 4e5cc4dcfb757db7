// Camera emulation: start, stop, the HC's events and the frames it is sent.

#include "vt5api/commands/emulation.h"

#include <algorithm>
#include <new>
#include <vector>

namespace {

constexpr int kAnswerHeader = 5;
constexpr size_t kTimeBytes = 4;

// Frames whose line time at 3,000,000 baud (10 bits a byte) exceeds this many ms get a read
// time-out that waits for them: the HC answers only once the last byte has arrived.
constexpr int32_t kLineMsAllowance = 250;
constexpr int32_t kBytesPerMs = 300;
constexpr int32_t kExchangeReadMs = 1000;  // the link's read time-out of ordinary exchanges

uint32_t Le32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// Start or stop: the answer's 0x0F entries carry the HC time; others are skipped.
int32_t StartOrStop(CVT5Api* api, uint8_t param, int32_t* hcTime) {
    return api->RunCommand(VT5_SECTION_ESKY, [&]() -> int32_t {
        int32_t result = api->BeginCommand(VT5_CMD_EMULATION);
        if (result == VT5_OK) result = api->AddParam(param, nullptr, 0);
        if (result == VT5_OK) result = api->Exchange();
        if (result != VT5_OK) return result;
        const CVT5Msg& answer = api->answer;
        bool found = false;
        uint32_t time = 0;
        for (int pos = kAnswerHeader; pos + 2 <= answer.length;) {
            const uint8_t id = answer.bytes[pos];
            const uint8_t length = answer.bytes[pos + 1];
            if (id == VT5_EMU_EVENTS) {
                // A time parameter too short for its four bytes is refused rather than read on
                // into the next entry.
                if (length < kTimeBytes || pos + 2 + int(kTimeBytes) > answer.length)
                    return VT5_E_BAD_PARAMETER_LENGTH;
                time = Le32(answer.bytes + pos + 2);
                found = true;
            }
            pos += 2 + length;
        }
        if (found && hcTime) *hcTime = static_cast<int32_t>(time);
        return VT5_OK;
    });
}

// Appends every parameter of the last answer to the received-block queue as one block: the
// id, then its value (bytes missing at the end of the answer read as 0xFF).
int32_t QueueAnswerEvents(CVT5Api* api) {
    const CVT5Msg& answer = api->answer;
    try {
        for (int pos = kAnswerHeader; pos + 2 <= answer.length;) {
            const uint8_t length = answer.bytes[pos + 1];
            std::vector<uint8_t> block(size_t(length) + 1, 0xFF);
            block[0] = answer.bytes[pos];
            const int available = std::min<int>(length, answer.length - pos - 2);
            std::copy_n(answer.bytes + pos + 2, available, block.begin() + 1);
            api->receivedBlocks.push_back(std::move(block));
            pos += 2 + length;
        }
    } catch (const std::bad_alloc&) {
        return VT5_E_OUT_OF_MEMORY;
    }
    return VT5_OK;
}

VT5EmuEvent* MakeEvent(const std::vector<uint8_t>& block) {
    auto* event =
        new (std::nothrow) VT5EmuEvent{static_cast<int32_t>(block.size()), nullptr, nullptr};
    if (!event) return nullptr;
    event->data = new (std::nothrow) uint8_t[block.size()];
    if (!event->data) {
        delete event;
        return nullptr;
    }
    std::copy(block.begin(), block.end(), event->data);
    return event;
}

void FreeList(VT5EmuEvent* event) {
    while (event) {
        VT5EmuEvent* next = event->next;
        delete[] event->data;
        delete event;
        event = next;
    }
}

// Moves queued blocks into a new list, oldest first, up to `limit` (negative: no limit).
int32_t HandOut(CVT5Api* api, VT5EmuEvent** head, int32_t limit, int32_t& count) {
    VT5EmuEvent** tail = head;
    count = 0;
    while (!api->receivedBlocks.empty() && (limit < 0 || count < limit)) {
        VT5EmuEvent* event = MakeEvent(api->receivedBlocks.front());
        if (!event) return VT5_E_OUT_OF_MEMORY;
        api->receivedBlocks.pop_front();
        *tail = event;
        tail = &event->next;
        ++count;
    }
    return VT5_OK;
}

}  // namespace

uint32_t VT5EmuEventTime(const VT5EmuEvent& event) {
    return event.length >= 1 + int32_t(kTimeBytes) ? Le32(event.data + 1) : 0;
}

uint16_t VT5EmuEventPayload(const VT5EmuEvent& event) {
    if (event.length < 1 + int32_t(kTimeBytes) + 2) return 0;
    return static_cast<uint16_t>(event.data[5] | event.data[6] << 8);
}

int32_t VT5cmd_EMU_Start(CVT5Api* api, int32_t* hcTime) {
    if (!api) return VT5_E_NO_LINK;
    return StartOrStop(api, VT5_EMU_START, hcTime);
}

int32_t VT5cmd_EMU_Stop(CVT5Api* api) {
    if (!api) return VT5_E_NO_LINK;
    return StartOrStop(api, VT5_EMU_STOP, nullptr);
}

int32_t VT5cmd_EMU_GetEvents(CVT5Api* api, VT5EmuEvent** head, int32_t* maxCount) {
    if (!api) return VT5_E_NO_LINK;
    return api->RunCommand(VT5_SECTION_ESKY, [&]() -> int32_t {
        if (!head) return VT5_E_BAD_ARGUMENT;
        *head = nullptr;
        int32_t result = api->BeginCommand(VT5_CMD_EMULATION);
        if (result == VT5_OK) result = api->AddParam(VT5_EMU_EVENTS, nullptr, 0);
        if (result == VT5_OK) result = api->Exchange();
        if (result == VT5_OK) result = QueueAnswerEvents(api);
        if (result != VT5_OK) return result;
        int32_t count = 0;
        result = HandOut(api, head, maxCount ? std::max(*maxCount, 0) : -1, count);
        if (maxCount) *maxCount = count;
        return result;
    });
}

int32_t VT5cmd_EMU_FreeEvents(CVT5Api* api, VT5EmuEvent** head) {
    if (!head) return VT5_E_BAD_ARGUMENT;
    if (!api || !api->link) return VT5_E_NO_LINK;
    FreeList(*head);
    *head = nullptr;
    return VT5_OK;
}

int32_t VT5cmd_EMU_SendFrame(CVT5Api* api, const uint8_t* frame, int32_t length) {
    if (!api) return VT5_E_NO_LINK;
    return api->RunCommand(VT5_SECTION_ESKY, [&]() -> int32_t {
        if (length < 0 || (!frame && length > 0)) return VT5_E_BAD_ARGUMENT;
        int32_t result = api->BeginCommand(VT5_CMD_EMULATION);
        if (result == VT5_OK) result = api->AttachBulk(frame, length);
        if (result != VT5_OK) return result;
        const int32_t lineMs = length / kBytesPerMs;
        if (lineMs <= kLineMsAllowance) return api->Exchange();
        ScopedLinkTimeouts timeouts(*api->link, kExchangeReadMs + lineMs, -1);
        return api->Exchange();
    });
}
