#pragma once

#include <gtest/gtest.h>

#include <map>
#include <memory>

#include "hcsim/hc/simulated_hc.h"
#include "platform/clock/clock.h"
#include "platform/ftd2xx/driver.h"
#include "platform/ftd2xx/ftd2xx.h"
#include "platform/ftd2xx/vbus/local_bus.h"

namespace hcsim::test {

using Bytes = platform::vbus::Bytes;

// A simulated HC on an in-process bus, reached through the FT_* operations the way the PC
// reaches it, on a virtual clock: time-outs and pulses cost no real time.
class HcFixture : public ::testing::Test {
protected:
    HcFixture();
    ~HcFixture() override;

    // Plugs in an HC and opens its chip with the PC's line set-up (3 MBd, 8N1, RTS/CTS,
    // 1000 ms time-outs, CBUS pins inputs).
    void plug(HcConfig config = {});
    HcConfig configIn(HcMode startMode);

    void write(const Bytes& bytes);
    // Writes bytes and returns everything the HC sent back at once.
    Bytes send(const Bytes& bytes);
    // Up to n bytes, waiting up to the read time-out.
    Bytes read(size_t n);
    // What waits in the receive queue now.
    Bytes available();
    // Nothing arrives within the read time-out.
    bool silent();
    void setBaud(uint32_t baud);
    // The zero byte at 9600 baud that resynchronises the HC.
    void resync();
    // Drives the CBUS pins in `pins` high for ms milliseconds (0: leaves them high).
    void pulse(uint8_t pins, int64_t ms);
    void pinsToInputs();
    void sleep(int64_t ms) { platform::sleepMs(ms); }

    // F8 01 01 FF: the protocol words answer, 11 bytes.
    Bytes protocolWords() { return send({0xF8, 0x01, 0x01, 0xFF}); }

    platform::VirtualClock clock_;
    platform::ScopedClock useClock_{clock_};
    platform::vbus::LocalBus bus_;
    platform::ftd2xx::ScopedBackend attach_{bus_};
    std::unique_ptr<SimulatedHc> hc_;
    FT_HANDLE handle_ = nullptr;
};

// The supported-command table sent at the handshake, as code -> (parameter id -> size).
using TableMap = std::map<uint8_t, std::map<uint8_t, uint8_t>>;
TableMap parseTable(const Bytes& bytes);

Bytes concat(std::initializer_list<Bytes> parts);

}  // namespace hcsim::test
