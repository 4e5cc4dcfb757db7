#pragma once

#include <cstdint>
#include <vector>

#include "hcsim/camera/camera_emulation_family.h"
#include "tests/hcsim/hc_fixture.h"

namespace hcsim::test {

// One collected event, as the PC reads it from a collect answer.
struct CollectedEvent {
    uint8_t code = 0;
    uint32_t time = 0;
    Bytes payload;

    uint16_t payload16() const { return static_cast<uint16_t>(payload.at(0) | payload.at(1) << 8); }
    bool operator==(const CollectedEvent&) const = default;
};

// An answer split into its header fields and entries.
struct ParsedAnswer {
    uint8_t id = 0, counter = 0, type = 0;
    std::vector<std::pair<uint8_t, Bytes>> entries;
    size_t length = 0;
};

// The camera emulation command 0xF9 spoken byte for byte over the FT_* operations.
class EmuFixture : public HcFixture {
protected:
    ParsedAnswer command(const Bytes& paramsAndEnd);
    // Start: the HC time of the answer.
    uint32_t start();
    ParsedAnswer stop() { return command({0x02, 0xFF}); }
    // One collect; events of the answer in order.
    std::vector<CollectedEvent> collect(uint8_t* answerType = nullptr);
    // Collects until an answer brings none.
    std::vector<CollectedEvent> collectAll();
    ParsedAnswer sendFrame(const Bytes& frame);

    CameraEmulationFamily& family();
    camera::Autoguider& guider() { return family().autoguider(); }

private:
    uint8_t counter_ = 0;
};

ParsedAnswer parseAnswer(const Bytes& bytes);

}  // namespace hcsim::test
