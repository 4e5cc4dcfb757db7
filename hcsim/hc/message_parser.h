#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "hcsim/hc/command_table.h"
#include "hcsim/hc/message.h"

namespace hcsim {

// Cuts the byte stream from the PC into command messages. Messages have no length field: the
// parser knows each parameter's value size from the command table, takes the bulk data that
// a bulk entry announces after the terminator, and decides what a message is refused with:
//   - a code the current mode does not support: unknownCode (the HC answers counter 0xF0,
//     type 16); its entries are still cut by the size the HC knows from its other mode, and
//     a code it knows nowhere is skipped up to the next 0xFF;
//   - a counter of 0 or above 239: type 17;
//   - a parameter the command does not have: type 18, the rest is skipped up to the next 0xFF;
//   - a parameter (or the bulk entry) given twice: type 19;
//   - more than 528 bytes up to the terminator, or more bulk data than the command takes:
//     type 20.
// The first refusal counts. A refused message is complete at its terminator; bulk data
// announced for it is then received and dropped.
class MessageParser {
public:
    // Takes bytes until a message is complete or the bytes run out, and returns how many it
    // took; `done` receives the complete message. Bytes 0x00 and 0xFF between messages are
    // line filler and taken without a message.
    size_t feed(const uint8_t* data, size_t count, const CommandTable& supported,
                const CommandTable& known, std::optional<Message>& done);

    // Drops a half-received message and any bulk data still expected.
    void reset();
    bool idle() const { return stage_ == Stage::Code; }

private:
    enum class Stage { Code, Counter, ParamId, ParamValue, BulkSize, SkipToEnd, Bulk, DropBulk };

    void take(uint8_t b, const CommandTable& supported, const CommandTable& known,
              std::optional<Message>& done);
    void paramId(uint8_t b);
    void endOfMessage(std::optional<Message>& done);
    void refuse(uint8_t answerType);

    Stage stage_ = Stage::Code;
    Message msg_;
    const CommandSpec* spec_ = nullptr;
    size_t length_ = 0;  // bytes of the message so far
    Param param_;        // the entry being received
    size_t want_ = 0;    // value bytes of that entry still to come
    uint64_t bulkLeft_ = 0;
};

}  // namespace hcsim
