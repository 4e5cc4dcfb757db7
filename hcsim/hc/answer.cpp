#include "hcsim/hc/answer.h"

#include <algorithm>

namespace hcsim {

using namespace protocol;

namespace {

constexpr size_t kBulkMarkers = 6 + 2;  // FC 04 size, FD|FE 00

void appendHeader(Bytes& out, const Answer& a, size_t length) {
    out.push_back(a.id);
    out.push_back(a.counter);
    out.push_back(a.type);
    appendLe16(out, static_cast<uint16_t>(length));
}

}  // namespace

void appendLe16(Bytes& out, uint16_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

void appendLe32(Bytes& out, uint32_t v) {
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<uint8_t>(v >> shift));
}

void Answer::add(uint8_t param, const uint8_t* value, size_t size) {
    size = std::min<size_t>(size, 255);  // the value length is one byte
    entries.push_back(param);
    entries.push_back(static_cast<uint8_t>(size));
    if (size) entries.insert(entries.end(), value, value + size);
}

void Answer::add(uint8_t param, std::initializer_list<uint8_t> value) {
    add(param, value.begin(), value.size());
}

void Answer::addBulk(Bytes data, BulkDelivery how) {
    hasBulk = true;
    bulk = std::move(data);
    delivery = how;
}

void Answer::refuse(uint8_t answerType) {
    type = answerType;
    entries.clear();
    hasBulk = false;
    bulk.clear();
}

size_t Answer::length() const {
    return kAnswerHeader + entries.size() + (hasBulk ? kBulkMarkers : 0);
}

Bytes encodeAnswer(const Answer& a) {
    Bytes out;
    size_t length = a.length();
    out.reserve(length + a.bulk.size() + 16);
    appendHeader(out, a, length);
    out.insert(out.end(), a.entries.begin(), a.entries.end());
    if (!a.hasBulk) return out;
    out.push_back(kBulkEntry);
    out.push_back(4);
    appendLe32(out, static_cast<uint32_t>(a.bulk.size()));
    out.push_back(a.delivery == BulkDelivery::Framed ? kBulkFramed : kBulkStreamed);
    out.push_back(0);
    if (a.delivery == BulkDelivery::Streamed) {
        out.insert(out.end(), a.bulk.begin(), a.bulk.end());
        return out;
    }
    size_t sent = 0;
    size_t room = kMaxSegment - length;
    for (;;) {
        size_t n = std::min(room, a.bulk.size() - sent);
        out.insert(out.end(), a.bulk.begin() + static_cast<std::ptrdiff_t>(sent),
                   a.bulk.begin() + static_cast<std::ptrdiff_t>(sent + n));
        sent += n;
        if (sent == a.bulk.size()) break;
        appendHeader(out, a, kAnswerHeader);
        room = kMaxSegment - kAnswerHeader;
    }
    return out;
}

Bytes asyncMessage(uint8_t code) {
    return {kAsyncId, code, 0x00, 0x05, 0x00};
}

void appendAsync(Bytes& out, uint8_t code) {
    Bytes async = asyncMessage(code);
    out.insert(out.end(), async.begin(), async.end());
}

}  // namespace hcsim
