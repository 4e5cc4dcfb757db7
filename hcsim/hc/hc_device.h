#pragma once

#include <cstddef>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "hcsim/hc/command_table.h"
#include "hcsim/hc/family.h"
#include "hcsim/hc/faults.h"
#include "hcsim/hc/hc_config.h"
#include "hcsim/hc/message_parser.h"
#include "platform/ftd2xx/vbus/device.h"

namespace hcsim {

using platform::TimePoint;

// The simulated Veltra-5 hand controller, the device behind a chip of the virtual USB bus.
//
// Power: while off (or starting, or held in reset) the HC drops every byte and sends nothing;
// its chip still answers on USB. Holding the ESC line (CBUS 1) high switches an HC that is
// off on when the line falls: after config.escFirmwareMin into its firmware, after
// config.escBootMin into BOOT mode; while the HC runs, ESC does nothing. A high RESET line
// (CBUS 3) holds a running HC in reset; when it falls the HC restarts into its firmware, or
// into BOOT mode when ESC is high at that moment; RESET does nothing to an HC that is off.
// Every start and restart takes config.bootTime before the HC answers.
//
// Line: the HC listens at 3,000,000 baud. A zero byte sent at another rate reaches it as a
// break and drops whatever it had received of a command (and of its bulk data); other bytes
// sent at another rate are noise and dropped.
//
// Commands: one answer per command message (see MessageParser for what is refused and how);
// a listed command without a handler yet is answered with type 32, an answer that would not
// fit into 528 bytes too. Faults queued in faults() change the next answers.
class HcDevice final : public platform::vbus::Device {
public:
    explicit HcDevice(HcConfig config);
    ~HcDevice() override;
    HcDevice(const HcDevice&) = delete;
    HcDevice& operator=(const HcDevice&) = delete;

    void onReceive(const uint8_t* data, size_t count, const platform::vbus::LineSettings& line,
                   TimePoint at, Bytes& out) override;
    void onPins(uint8_t levels, TimePoint at, Bytes& out) override;
    void onTick(TimePoint now, Bytes& out) override;
    TimePoint nextEvent() const override;
    // The text commands of hc_control.h.
    std::string onControl(const std::string& command, TimePoint now, Bytes& out) override;

    static constexpr uint8_t kEscPin = 0x02;    // CBUS 1
    static constexpr uint8_t kResetPin = 0x08;  // CBUS 3

    // The mode that runs and answers: Off also while starting or held in reset.
    HcMode mode() const;
    bool starting() const;
    bool heldInReset() const;
    // "off", "firmware", "boot", "starting firmware", "starting boot", "reset".
    std::string state() const;
    // The control lines as the HC sees them.
    bool escHigh() const { return esc_; }
    bool resetHigh() const { return reset_; }

    // Operations from outside (tests, vt5-hcsim control); false when the HC is in no state
    // for them. Power-on switches an HC that is off on and answering at once. Power-off
    // announces itself with 0x36 when the HC was running. A mode change announces the mode
    // (0xB7 firmware, 0xAA BOOT mode) and restarts into it. Reset restarts as the RESET line
    // does. An asynchronous message goes out only from a running HC.
    bool powerOn(HcMode mode);
    bool powerOff(Bytes& out);
    bool changeMode(HcMode mode, TimePoint now, Bytes& out);
    bool reset(TimePoint now);
    bool sendAsync(uint8_t code, Bytes& out);

    // The values the HC reports; changes take effect with the next answer.
    HcConfig& config() { return config_; }
    const HcConfig& config() const { return config_; }
    const CommandTable& table(HcMode mode) const;
    FaultQueue& faults() { return faults_; }

    // The family of type T, or null when this HC has none.
    template <class T>
    T* family() const {
        for (const auto& f : families_)
            if (auto* found = dynamic_cast<T*>(f.get())) return found;
        return nullptr;
    }
    const std::vector<std::unique_ptr<Family>>& families() const { return families_; }

    // The last kReceivedKept command messages, oldest first (refused ones included).
    const std::deque<Message>& received() const { return received_; }
    void clearReceived() { received_.clear(); }
    static constexpr size_t kReceivedKept = 32;

private:
    enum class Power { Off, Starting, Running, InReset };

    void advance(TimePoint now);
    void becomeRunning(TimePoint at);
    void start(HcMode mode, TimePoint at);
    HcMode startingMode(HcMode wanted) const;
    void stop();
    void restartFamilies();
    void handle(Message message, TimePoint at, Bytes& out);
    Answer answer(const Message& message, TimePoint at);
    void escReleased(platform::Millis held, TimePoint at);

    HcConfig config_;
    std::vector<std::unique_ptr<Family>> families_;
    CommandTable firmwareTable_, bootTable_;
    CommandTable knownTable_;  // both modes: sizes for cutting up a command of the other mode
    MessageParser parser_;
    FaultQueue faults_;
    std::deque<Message> received_;
    Power power_ = Power::Off;
    HcMode mode_ = HcMode::Off;  // running, or starting into
    TimePoint readyAt_{};
    bool esc_ = false;
    bool reset_ = false;
    TimePoint escSince_{};
};

}  // namespace hcsim
