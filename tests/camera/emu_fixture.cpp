#include "tests/camera/emu_fixture.h"

namespace hcsim::test {

ParsedAnswer parseAnswer(const Bytes& b) {
    ParsedAnswer a;
    if (b.size() < 5) {
        ADD_FAILURE() << "answer of " << b.size() << " bytes";
        return a;
    }
    a.id = b[0];
    a.counter = b[1];
    a.type = b[2];
    a.length = b[3] | b[4] << 8;
    EXPECT_EQ(a.length, b.size());
    for (size_t pos = 5; pos + 2 <= b.size();) {
        uint8_t id = b[pos];
        size_t n = b[pos + 1];
        EXPECT_LE(pos + 2 + n, b.size());
        a.entries.push_back({id, Bytes(b.begin() + pos + 2, b.begin() + pos + 2 + n)});
        pos += 2 + n;
    }
    return a;
}

ParsedAnswer EmuFixture::command(const Bytes& rest) {
    counter_ = counter_ >= 239 ? 1 : counter_ + 1;
    Bytes message{0xF9, counter_};
    message.insert(message.end(), rest.begin(), rest.end());
    ParsedAnswer a = parseAnswer(send(message));
    EXPECT_EQ(a.id, 0xF9);
    EXPECT_EQ(a.counter, counter_);
    return a;
}

uint32_t EmuFixture::start() {
    ParsedAnswer a = command({0x01, 0xFF});
    EXPECT_EQ(a.type, 0);
    if (a.entries.size() != 1 || a.entries[0].first != 0x0F || a.entries[0].second.size() != 4) {
        ADD_FAILURE() << "start answer without the HC time";
        return 0;
    }
    const Bytes& t = a.entries[0].second;
    return t[0] | t[1] << 8 | t[2] << 16 | static_cast<uint32_t>(t[3]) << 24;
}

std::vector<CollectedEvent> EmuFixture::collect(uint8_t* answerType) {
    ParsedAnswer a = command({0x0F, 0xFF});
    if (answerType) *answerType = a.type;
    std::vector<CollectedEvent> events;
    for (auto& [id, value] : a.entries) {
        if (value.size() < 4) {
            ADD_FAILURE() << "event without its time";
            continue;
        }
        CollectedEvent e;
        e.code = id;
        e.time = value[0] | value[1] << 8 | value[2] << 16 | static_cast<uint32_t>(value[3]) << 24;
        e.payload.assign(value.begin() + 4, value.end());
        events.push_back(e);
    }
    return events;
}

std::vector<CollectedEvent> EmuFixture::collectAll() {
    std::vector<CollectedEvent> all;
    for (;;) {
        auto some = collect();
        if (some.empty()) return all;
        all.insert(all.end(), some.begin(), some.end());
    }
}

ParsedAnswer EmuFixture::sendFrame(const Bytes& frame) {
    const auto size = static_cast<uint32_t>(frame.size());
    Bytes rest{0xFC,
               static_cast<uint8_t>(size),
               static_cast<uint8_t>(size >> 8),
               static_cast<uint8_t>(size >> 16),
               static_cast<uint8_t>(size >> 24),
               0xFF};
    rest.insert(rest.end(), frame.begin(), frame.end());
    return command(rest);
}

CameraEmulationFamily& EmuFixture::family() {
    return *hc_->with([](HcDevice& hc) { return hc.family<CameraEmulationFamily>(); });
}

}  // namespace hcsim::test
