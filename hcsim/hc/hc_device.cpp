#include "hcsim/hc/hc_device.h"

#include <algorithm>

#include "hcsim/boot/boot_loader_family.h"
#include "hcsim/camera/camera_emulation_family.h"
#include "hcsim/card/file_system_family.h"
#include "hcsim/display/display_family.h"
#include "hcsim/hc/hc_control.h"
#include "hcsim/hc/identity_family.h"
#include "hcsim/hc/system_change_family.h"

namespace hcsim {

using namespace protocol;

HcDevice::HcDevice(HcConfig config) : config_(std::move(config)) {
    // Families that need the HC itself take *this; they must not call back into it before
    // the constructor has finished.
    families_.push_back(std::make_unique<IdentityFamily>(config_));
    families_.push_back(std::make_unique<SystemChangeFamily>(config_));
    families_.push_back(std::make_unique<CameraEmulationFamily>(*this));
    families_.push_back(std::make_unique<DisplayFamily>(*this));
    families_.push_back(std::make_unique<FileSystemFamily>(config_));
    families_.push_back(std::make_unique<boot::BootLoaderFamily>(*this));
    for (auto& family : families_) {
        family->addCommands(HcMode::Firmware, firmwareTable_);
        family->addCommands(HcMode::Boot, bootTable_);
    }
    knownTable_.merge(firmwareTable_);
    knownTable_.merge(bootTable_);
    if (config_.startMode != HcMode::Off) powerOn(config_.startMode);
}

HcDevice::~HcDevice() = default;

const CommandTable& HcDevice::table(HcMode mode) const {
    return mode == HcMode::Boot ? bootTable_ : firmwareTable_;
}

HcMode HcDevice::mode() const {
    return power_ == Power::Running ? mode_ : HcMode::Off;
}

bool HcDevice::starting() const {
    return power_ == Power::Starting;
}

bool HcDevice::heldInReset() const {
    return power_ == Power::InReset;
}

std::string HcDevice::state() const {
    switch (power_) {
        case Power::Off:
            return "off";
        case Power::Starting:
            return std::string("starting ") + modeName(mode_);
        case Power::Running:
            return modeName(mode_);
        case Power::InReset:
            return "reset";
    }
    return "off";
}

void HcDevice::advance(TimePoint now) {
    if (power_ == Power::Starting && now >= readyAt_) becomeRunning(readyAt_);
}

void HcDevice::becomeRunning(TimePoint at) {
    power_ = Power::Running;
    for (auto& family : families_)
        family->started(mode_, at);
}

void HcDevice::restartFamilies() {
    parser_.reset();
    for (auto& family : families_)
        family->restart();
}

HcMode HcDevice::startingMode(HcMode wanted) const {
    for (const auto& family : families_)
        wanted = family->startingMode(wanted);
    return wanted;
}

void HcDevice::start(HcMode mode, TimePoint at) {
    power_ = Power::Starting;
    mode_ = startingMode(mode);
    readyAt_ = at + config_.bootTime;
    restartFamilies();
    advance(at);  // a boot time of 0 answers at once
}

void HcDevice::stop() {
    power_ = Power::Off;
    mode_ = HcMode::Off;
    restartFamilies();
}

void HcDevice::onTick(TimePoint now, Bytes& out) {
    advance(now);
    // A family's tick may power the HC off or restart it; the others then wait for the
    // next start.
    for (auto& family : families_)
        if (power_ == Power::Running) family->onTick(now, out);
}

TimePoint HcDevice::nextEvent() const {
    if (power_ == Power::Starting) return readyAt_;
    TimePoint next = TimePoint::max();
    if (power_ == Power::Running)
        for (const auto& family : families_)
            next = std::min(next, family->nextEvent());
    return next;
}

void HcDevice::onReceive(const uint8_t* data, size_t count,
                         const platform::vbus::LineSettings& line, TimePoint at, Bytes& out) {
    advance(at);
    if (line.baud != kLineBaud) {
        for (size_t i = 0; i < count; ++i)
            if (data[i] == 0x00) parser_.reset();
        return;
    }
    size_t used = 0;
    while (used < count && power_ == Power::Running) {
        std::optional<Message> done;
        used += parser_.feed(data + used, count - used, table(mode_), knownTable_, done);
        if (done) handle(std::move(*done), at, out);
    }
}

Answer HcDevice::answer(const Message& message, TimePoint at) {
    Answer a;
    a.id = message.code;
    a.counter = message.counter;
    if (message.unknownCode) {
        a.counter = kUnknownCodeCounter;
        a.refuse(kInvalidCommand);
        return a;
    }
    if (message.refusal) {
        a.refuse(message.refusal);
        return a;
    }
    const CommandTable& t = table(mode_);
    const CommandSpec* spec = t.find(message.code);
    if (!spec->handler) {
        a.refuse(kCannotExecute);
        return a;
    }
    spec->handler(Call{message, mode_, t, at}, a);
    if (a.length() > kMaxMessage) {
        a.refuse(kCannotExecute);
        a.then.reset();
    }
    return a;
}

void HcDevice::handle(Message message, TimePoint at, Bytes& out) {
    if (!faults_.takeStall()) {
        Answer a = answer(message, at);
        if (!a.silent) faults_.send(a, out);
        if (a.then) {
            if (a.then->announce) {
                appendAsync(out, *a.then->announce);
            }
            if (a.then->next == HcMode::Off)
                stop();
            else
                start(a.then->next, at);
        }
    }
    received_.push_back(std::move(message));
    if (received_.size() > kReceivedKept) received_.pop_front();
}

void HcDevice::onPins(uint8_t levels, TimePoint at, Bytes&) {
    advance(at);
    bool esc = levels & kEscPin;
    bool reset = levels & kResetPin;
    if (esc != esc_) {
        esc_ = esc;
        if (esc)
            escSince_ = at;
        else
            escReleased(std::chrono::duration_cast<platform::Millis>(at - escSince_), at);
    }
    if (reset != reset_) {
        reset_ = reset;
        if (reset && power_ != Power::Off) {
            power_ = Power::InReset;
            restartFamilies();
        } else if (!reset && power_ == Power::InReset) {
            start(esc_ ? HcMode::Boot : HcMode::Firmware, at);
        }
    }
}

void HcDevice::escReleased(platform::Millis held, TimePoint at) {
    if (power_ != Power::Off) return;
    if (held >= config_.escBootMin)
        start(HcMode::Boot, at);
    else if (held >= config_.escFirmwareMin)
        start(HcMode::Firmware, at);
}

bool HcDevice::powerOn(HcMode mode) {
    if (power_ != Power::Off || mode == HcMode::Off) return false;
    mode_ = startingMode(mode);
    restartFamilies();
    becomeRunning(platform::now());
    return true;
}

bool HcDevice::powerOff(Bytes& out) {
    if (power_ == Power::Off) return false;
    if (power_ == Power::Running) {
        appendAsync(out, kAsyncPoweredOff);
    }
    stop();
    return true;
}

bool HcDevice::changeMode(HcMode mode, TimePoint now, Bytes& out) {
    if (power_ != Power::Running || mode == HcMode::Off) return false;
    appendAsync(out, mode == HcMode::Boot ? kAsyncToBoot : kAsyncToFirmware);
    start(mode, now);
    return true;
}

bool HcDevice::reset(TimePoint now) {
    if (power_ == Power::Off || power_ == Power::InReset) return false;
    start(esc_ ? HcMode::Boot : HcMode::Firmware, now);
    return true;
}

bool HcDevice::sendAsync(uint8_t code, Bytes& out) {
    if (power_ != Power::Running) return false;
    appendAsync(out, code);
    return true;
}

std::string HcDevice::onControl(const std::string& command, TimePoint now, Bytes& out) {
    return runControl(*this, command, now, out);
}

}  // namespace hcsim
