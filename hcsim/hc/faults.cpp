#include "hcsim/hc/faults.h"

#include <algorithm>

namespace hcsim {

using namespace protocol;

namespace {

Fault make(Fault::Kind kind, std::optional<uint8_t> value = std::nullopt) {
    Fault f;
    f.kind = kind;
    f.value = value;
    return f;
}

}  // namespace

Fault Fault::wrongAnswerId(std::optional<uint8_t> id) {
    return make(Kind::AnswerId, id);
}

Fault Fault::wrongCounter(std::optional<uint8_t> counter) {
    return make(Kind::Counter, counter);
}

Fault Fault::answerType(uint8_t type) {
    return make(Kind::AnswerType, type);
}

Fault Fault::truncated(size_t missing) {
    Fault f = make(Kind::Truncate);
    f.missing = missing;
    return f;
}

Fault Fault::stall() {
    return make(Kind::Stall);
}

Fault Fault::asyncBefore(uint8_t code) {
    return make(Kind::AsyncBefore, code);
}

Fault Fault::extraBulk(Bytes data, BulkDelivery delivery) {
    Fault f = make(Kind::ExtraBulk);
    f.data = std::move(data);
    f.delivery = delivery;
    return f;
}

Bytes testPattern(size_t size) {
    Bytes out(size);
    for (size_t i = 0; i < size; ++i)
        out[i] = static_cast<uint8_t>(i * 7 + i / 251);
    return out;
}

void FaultQueue::add(Fault fault, int times) {
    if (times > 0) pending_.push_back({std::move(fault), times});
}

bool FaultQueue::takeStall() {
    for (auto it = pending_.begin(); it != pending_.end(); ++it) {
        if (it->fault.kind != Fault::Kind::Stall) continue;
        if (--it->left == 0) pending_.erase(it);
        return true;
    }
    return false;
}

void FaultQueue::send(Answer answer, Bytes& out) {
    Bytes before;
    size_t missing = 0;
    for (Pending& p : pending_) {
        const Fault& f = p.fault;
        switch (f.kind) {
            case Fault::Kind::Stall:
                continue;  // counts commands, not answers
            case Fault::Kind::AnswerId: {
                uint8_t flipped = answer.id ^ 0x01;
                answer.id = f.value.value_or(flipped == kAsyncId ? uint8_t(0xF9) : flipped);
                break;
            }
            case Fault::Kind::Counter:
                answer.counter = f.value.value_or(
                    static_cast<uint8_t>(answer.counter >= kMaxCounter ? 1 : answer.counter + 1));
                break;
            case Fault::Kind::AnswerType:
                if (*f.value != kExecuted) answer.refuse(*f.value);
                answer.type = *f.value;
                break;
            case Fault::Kind::Truncate:
                missing = f.missing;
                break;
            case Fault::Kind::AsyncBefore:
                appendAsync(before, *f.value);
                break;
            case Fault::Kind::ExtraBulk:
                answer.bulk.insert(answer.bulk.end(), f.data.begin(), f.data.end());
                answer.hasBulk = true;
                answer.delivery = f.delivery;
                break;
        }
        --p.left;
    }
    pending_.erase(std::remove_if(pending_.begin(), pending_.end(),
                                  [](const Pending& p) { return p.left == 0; }),
                   pending_.end());
    Bytes bytes = encodeAnswer(answer);
    if (missing) bytes.resize(answer.length() - std::min(missing, answer.length()));
    out.insert(out.end(), before.begin(), before.end());
    out.insert(out.end(), bytes.begin(), bytes.end());
}

}  // namespace hcsim
