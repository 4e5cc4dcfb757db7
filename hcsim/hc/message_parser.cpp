#include "hcsim/hc/message_parser.h"

#include <algorithm>

namespace hcsim {

using namespace protocol;

void MessageParser::reset() {
    stage_ = Stage::Code;
    msg_ = Message{};
    spec_ = nullptr;
    length_ = 0;
    want_ = 0;
    bulkLeft_ = 0;
}

void MessageParser::refuse(uint8_t answerType) {
    if (msg_.refusal == 0) msg_.refusal = answerType;
}

size_t MessageParser::feed(const uint8_t* data, size_t count, const CommandTable& supported,
                           const CommandTable& known, std::optional<Message>& done) {
    size_t used = 0;
    while (used < count && !done) {
        size_t rest = count - used;
        if (stage_ == Stage::Bulk || stage_ == Stage::DropBulk) {
            size_t n = static_cast<size_t>(std::min<uint64_t>(bulkLeft_, rest));
            if (stage_ == Stage::Bulk)
                msg_.bulk.insert(msg_.bulk.end(), data + used, data + used + n);
            used += n;
            bulkLeft_ -= n;
            if (bulkLeft_ == 0) {
                if (stage_ == Stage::Bulk) done = std::move(msg_);
                reset();
            }
            continue;
        }
        take(data[used++], supported, known, done);
    }
    return used;
}

void MessageParser::take(uint8_t b, const CommandTable& supported, const CommandTable& known,
                         std::optional<Message>& done) {
    ++length_;
    if (length_ == kMaxMessage + 1) refuse(kTooManyBytes);
    switch (stage_) {
        case Stage::Code:
            if (b == 0x00 || b == kTerminator) {
                length_ = 0;
                return;
            }
            msg_ = Message{};
            msg_.code = b;
            spec_ = supported.find(b);
            if (!spec_) {
                msg_.unknownCode = true;
                spec_ = known.find(b);
            }
            stage_ = Stage::Counter;
            return;
        case Stage::Counter:
            msg_.counter = b;
            if (b == 0 || b > kMaxCounter) refuse(kCounterMismatch);
            stage_ = spec_ ? Stage::ParamId : Stage::SkipToEnd;
            return;
        case Stage::ParamId:
            if (b == kTerminator) return endOfMessage(done);
            return paramId(b);
        case Stage::ParamValue:
            param_.value.push_back(b);
            if (--want_ == 0) {
                if (msg_.refusal == 0) msg_.params.push_back(std::move(param_));
                stage_ = Stage::ParamId;
            }
            return;
        case Stage::BulkSize:
            param_.value.push_back(b);
            if (--want_ == 0) {
                const Bytes& v = param_.value;
                msg_.bulkSize = uint32_t(v[0]) | uint32_t(v[1]) << 8 | uint32_t(v[2]) << 16 |
                                uint32_t(v[3]) << 24;
                stage_ = Stage::ParamId;
            }
            return;
        case Stage::SkipToEnd:
            if (b == kTerminator) endOfMessage(done);
            return;
        case Stage::Bulk:
        case Stage::DropBulk:
            return;  // feed() moves bulk data in blocks
    }
}

void MessageParser::paramId(uint8_t b) {
    param_ = Param{b, {}};
    if (b == kBulkEntry) {
        if (msg_.bulkSize) refuse(kTooManyParameters);
        want_ = 4;
        stage_ = Stage::BulkSize;
        return;
    }
    const ParamSpec* p = spec_->param(b);
    if (!p) {
        refuse(kUnknownParameter);
        stage_ = Stage::SkipToEnd;
        return;
    }
    if (msg_.find(b)) refuse(kTooManyParameters);
    want_ = p->size;
    if (want_ == 0) {
        if (msg_.refusal == 0) msg_.params.push_back(std::move(param_));
        return;
    }
    param_.value.reserve(want_);
    stage_ = Stage::ParamValue;
}

void MessageParser::endOfMessage(std::optional<Message>& done) {
    uint64_t bulk = msg_.bulkSize.value_or(0);
    bool refused = msg_.unknownCode || msg_.refusal != 0;
    if (!refused && spec_ && bulk > spec_->bulkLimit) {
        refuse(kTooManyBytes);
        refused = true;
    }
    if (bulk == 0 || refused) {
        done = std::move(msg_);
        reset();
        if (bulk) {
            // The PC sends the bulk data anyway: receive it into nowhere.
            bulkLeft_ = bulk;
            stage_ = Stage::DropBulk;
        }
        return;
    }
    msg_.bulk.reserve(static_cast<size_t>(std::min<uint64_t>(bulk, 1 << 20)));
    bulkLeft_ = bulk;
    stage_ = Stage::Bulk;
}

}  // namespace hcsim
