#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "hcsim/hc/answer.h"

namespace hcsim {

// One fault the HC commits on its next answers (FaultQueue::add gives how many). The HC
// carries each command out as usual; the faults change only the bytes of its answer, except
// a stall, which drops the command unanswered and not carried out.
struct Fault {
    enum class Kind { AnswerId, Counter, AnswerType, Truncate, Stall, AsyncBefore, ExtraBulk };

    Kind kind = Kind::Stall;
    std::optional<uint8_t> value;  // AnswerId, Counter, AnswerType, AsyncBefore
    size_t missing = 0;            // Truncate
    Bytes data;                    // ExtraBulk
    BulkDelivery delivery = BulkDelivery::Framed;

    // The answer ID byte becomes `id` (default: the command code with its lowest bit flipped,
    // never the asynchronous ID 0xFB).
    static Fault wrongAnswerId(std::optional<uint8_t> id = std::nullopt);
    // The counter byte becomes `counter` (default: the counter that follows the command's).
    static Fault wrongCounter(std::optional<uint8_t> counter = std::nullopt);
    // The counter byte 0xF0 of an unknown command, whatever the answer type.
    static Fault counterF0() { return wrongCounter(protocol::kUnknownCodeCounter); }
    // The answer type becomes `type`. A type other than 0 goes out as a refusal does: the bare
    // header, without entries or bulk data.
    static Fault answerType(uint8_t type);
    // The answer message loses its last `missing` bytes (its length field still counts them;
    // more than 5 cut into the header) and its bulk data is not sent.
    static Fault truncated(size_t missing = 1);
    // No answer at all: the command is dropped.
    static Fault stall();
    // The asynchronous message FB code 00 05 00 right before the answer.
    static Fault asyncBefore(uint8_t code);
    // Bulk data attached to the answer (after any it carries already), delivered framed
    // (0xFD; more than one segment when large) or streamed (0xFE).
    static Fault extraBulk(Bytes data, BulkDelivery delivery = BulkDelivery::Framed);
};

// Bytes 0, 1, 2, ... of a recognisable pattern for test bulk data: byte i is (i * 7 + i / 251)
// modulo 256, so that a shifted or dropped byte shows.
Bytes testPattern(size_t size);

// The faults waiting for the HC's next answers.
class FaultQueue {
public:
    // The fault applies to the next `times` answers (or commands, for a stall).
    void add(Fault fault, int times = 1);
    void clear() { pending_.clear(); }
    size_t size() const { return pending_.size(); }

    // Whether the command just received is to be dropped; uses up one stall.
    bool takeStall();
    // Appends the answer's bytes to `out` with the pending faults applied; each uses up one.
    void send(Answer answer, Bytes& out);

private:
    struct Pending {
        Fault fault;
        int left;
    };
    std::vector<Pending> pending_;
};

}  // namespace hcsim
