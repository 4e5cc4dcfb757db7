#pragma once

#include <cstdint>
#include <initializer_list>
#include <optional>

#include "hcsim/hc/hc_mode.h"
#include "hcsim/hc/protocol.h"
#include "platform/ftd2xx/vbus/device.h"

namespace hcsim {

using platform::vbus::Bytes;

// How bulk data of an answer reaches the PC: 0xFD, in segments of at most 65,535 bytes minus
// the length of the answer message before them (each further segment after another answer
// message); or 0xFE, in one piece right after the answer.
enum class BulkDelivery { Framed, Streamed };

// What the HC does once the answer is out: power off (next Off) or restart into a mode,
// announcing it with an asynchronous message or silently.
struct Transition {
    HcMode next = HcMode::Off;
    std::optional<uint8_t> announce;
};

// One answer as a handler builds it. Handlers add entries in the order the PC should find
// them; the bulk markers are placed after them.
struct Answer {
    uint8_t id = 0;       // the command code answered
    uint8_t counter = 0;  // the command's counter
    uint8_t type = protocol::kExecuted;
    Bytes entries;  // parameter entries: id, value length, value
    bool hasBulk = false;
    Bytes bulk;
    BulkDelivery delivery = BulkDelivery::Framed;
    bool silent = false;  // carried out without an answer
    std::optional<Transition> then;

    void add(uint8_t param, const uint8_t* value, size_t size);
    void add(uint8_t param, std::initializer_list<uint8_t> value = {});
    void add(uint8_t param, const Bytes& value) { add(param, value.data(), value.size()); }
    void addBulk(Bytes data, BulkDelivery how = BulkDelivery::Framed);
    // A refusal is the bare header with its type.
    void refuse(uint8_t answerType);
    // Bytes of the answer message itself (its length field), bulk markers included.
    size_t length() const;
};

// The bytes that go to the PC: the answer message, then its bulk data (framed: in segments,
// each further one after a bare answer header with the same ID, counter and type).
Bytes encodeAnswer(const Answer& answer);

// FB code 00 05 00.
Bytes asyncMessage(uint8_t code);
void appendAsync(Bytes& out, uint8_t code);

void appendLe16(Bytes& out, uint16_t v);
void appendLe32(Bytes& out, uint32_t v);

}  // namespace hcsim
