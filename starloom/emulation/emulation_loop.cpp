#include "starloom/emulation/emulation_loop.h"

#include <algorithm>
#include <cmath>

#include "common/text_printf.h"
#include "vt5api/commands/emulation.h"
#include "vt5api/commands/identity.h"

namespace starloom {

namespace {

constexpr int kTimeBytes = 4;

// The HC's clock is an unsigned 32-bit count of milliseconds.
int64_t HcTime(uint32_t time) {
    return static_cast<int64_t>(time);
}

}  // namespace

unsigned PressArrow(unsigned outputs, int arrow) {
    static constexpr unsigned kOpposite[4] = {kAgRaMinus, kAgRaPlus, kAgDecMinus, kAgDecPlus};
    if (arrow < 0 || arrow > 3) return outputs;
    return (outputs & ~kOpposite[arrow]) | (1u << arrow);
}

EmulationLoop::EmulationLoop(CVT5Api& api, StarloomModel& model) : api_(api), model_(model) {}

void EmulationLoop::ApplyStarField(int32_t seed) {
    model_.sky().GenerateStarField(seed, SkyModel::kStarloomDensity);
}

void EmulationLoop::ApplyAgSpeed(int selection) {
    model_.mount().SetAgSpeed(std::ldexp(1.0f, -selection));
}

void EmulationLoop::ApplyFocalLength(int millimetres) {
    model_.mount().SetFocalLength(millimetres);
}

void EmulationLoop::ApplyPolarAlignment(bool southern, float poleAltitude, float altitudeError,
                                        float azimuthError) {
    model_.mount().SetPolarAlignment(southern, poleAltitude, altitudeError / 3600.0f,
                                     azimuthError / 3600.0f);
}

void EmulationLoop::ApplyMount(const MountSettings& mount) {
    ApplyAgSpeed(mount.agSpeedSelection);
    ApplyFocalLength(mount.focalLength);
    ApplyPolarAlignment(mount.southern, mount.poleAltitude, mount.altitudeError,
                        mount.azimuthError);
}

void EmulationLoop::ApplyTime(double hoursFromMeridian) {
    model_.SetHourAngle(hoursFromMeridian * 3600.0);
}

void EmulationLoop::ApplyBacklash(bool enabled, float seconds) {
    model_.mount().SetBacklash(enabled, seconds);
}

void EmulationLoop::ApplySeeing(float fwhmArcseconds) {
    model_.SetSeeingFwhm(fwhmArcseconds);
}

void EmulationLoop::ApplyAll(const EmulationSettings& settings) {
    ApplyStarField(settings.seed);
    ApplyMount(settings.mount);
    ApplyTime(settings.hoursFromMeridian);
    ApplyBacklash(settings.backlash, settings.backlashSeconds);
    ApplySeeing(settings.seeingFwhm);
}

int32_t EmulationLoop::CheckFirmware(bool& boot) {
    int32_t bootFlag = 0;
    int32_t result = VT5_OK;
    do {
        result = VT5cmd_GetProtocolVersion(&api_, &bootFlag, nullptr, nullptr);
    } while (result == VT5_E_MODE_CHANGED);
    boot = result == VT5_OK && bootFlag != 0;
    return result;
}

int32_t EmulationLoop::Begin(const std::function<void()>& applySettings) {
    int32_t hcTime = 0;
    int32_t result = VT5cmd_EMU_Start(&api_, &hcTime);
    if (result != VT5_OK) return result;
    hcStartTime_ = HcTime(static_cast<uint32_t>(hcTime));

    model_.StartEmulation(seeingFile_, static_cast<float>(exposureMs_) / 1000.0f);
    if (applySettings) applySettings();
    hcOutputs_ = 0;  // the model's guide state starts at 0 as well
    FrameSynth& frames = model_.frames();
    frames.StartExposure(hcStartTime_, frames.exposureTime(), frames.gainIndex());
    return VT5_OK;
}

int32_t EmulationLoop::End() {
    return VT5cmd_EMU_Stop(&api_);
}

int32_t EmulationLoop::Step() {
    VT5EmuEventList events(api_);
    int32_t result = VT5cmd_EMU_GetEvents(&api_, events.out(), nullptr);
    if (result != VT5_OK) return result;
    for (const VT5EmuEvent* event = events.head(); event; event = event->next) {
        result = HandleEvent(*event);
        if (result != VT5_OK) return result;
    }
    result = events.Free();
    if (result != VT5_OK) return result;
    backlashPosition_ = static_cast<int>(std::floor(model_.mount().BacklashFraction() * 1000.5));
    return VT5_OK;
}

int32_t EmulationLoop::HandleEvent(const VT5EmuEvent& event) {
    FrameSynth& frames = model_.frames();
    const uint8_t code = event.data[0];
    // An event too short for its time stamp happens now.
    const int64_t time = event.length > kTimeBytes ? HcTime(VT5EmuEventTime(event))
                                                   : std::max<int64_t>(frames.clock(), 0);
    if (frames.clock() >= 0 && time - frames.clock() > kMaxCatchUpMs) {
        // The HC's clock leapt (a restart, or a time stamp damaged on the way): simulating
        // hours in 10 ms steps would freeze the program. The simulation restarts at the new
        // time instead; the exposure it had open is lost.
        Trace(common::Printf("%d: clock leap from %lld\r\n", static_cast<int>(time),
                             static_cast<long long>(frames.clock())));
        frames.StartExposure(time, frames.exposureTime(), frames.gainIndex());
        exposureOpen_ = false;
        exposureEnd_ = 0;
    }
    frames.AdvanceTo(time);
    const auto hcTime = static_cast<int>(time);

    switch (code) {
        case 0x0A: {
            const uint16_t payload = VT5EmuEventPayload(event);
            exposureMs_ = payload & 0xFFF;
            const int gain = payload >> 12;
            Trace(common::Printf("%d: Start expo.. %d ms, g%d\r\n", hcTime, exposureMs_, gain));
            frames.StartExposure(time, static_cast<float>(exposureMs_) / 1000.0f, gain);
            exposureEnd_ = time + exposureMs_;
            exposureOpen_ = true;
            break;
        }
        case 0x0B:
            return SendFrame(time);
        case 0x10:
        case 0x11:
        case 0x12:
            Trace(common::Printf("%d: AG out %02x\r\n", hcTime, code));
            SetHcOutputs((hcOutputs_ & ~0x3u) | (code & 0x3u));
            break;
        case 0x20:
        case 0x21:
        case 0x22:
            Trace(common::Printf("%d: AG out %02x\r\n", hcTime, code));
            SetHcOutputs((hcOutputs_ & ~0xCu) | (code & 0x3u) << 2);
            break;
        case 0xEF:
            Trace(common::Printf("Calibration: %d\r\n", VT5EmuEventPayload(event)));
            break;
        default:
            break;
    }
    // Every code with bits 4 and 5 set carries all four outputs in its low bits.
    if ((code & 0x30) == 0x30) {
        Trace(common::Printf("%d: AG out %02x\r\n", hcTime, code));
        SetHcOutputs(code & kAgAll);
    }
    return VT5_OK;
}

int32_t EmulationLoop::SendFrame(int64_t time) {
    FrameSynth& frames = model_.frames();
    FrameSent sent;
    sent.time = time;
    std::span<const uint8_t> bytes;
    if (exposureOpen_) {
        Trace(common::Printf("%d: Finalizing...\r\n", static_cast<int>(time)));
        frames.FinishFrame(exposureEnd_);
        bytes = frames.FrameBytes();
        sent.exposureMs = exposureMs_;
        sent.gain = frames.gainIndex();
        Trace(common::Printf("%d:  sending %d bytes\r\n", static_cast<int>(time),
                             static_cast<int>(bytes.size())));
    } else {
        Trace(common::Printf("%d: SKIPPED frame\r\n", static_cast<int>(time)));
        bytes = FrameSynth::SkippedFrame();
        sent.skipped = true;
    }
    int32_t result = VT5cmd_EMU_SendFrame(&api_, bytes.data(), static_cast<int32_t>(bytes.size()));
    if (result != VT5_OK) return result;
    exposureOpen_ = false;
    exposureEnd_ = 0;
    sent.bytes = static_cast<int32_t>(bytes.size());
    sent.outputs = model_.mount().agState();
    if (frameSink_) frameSink_(sent);
    return VT5_OK;
}

void EmulationLoop::SetHcOutputs(unsigned bits) {
    hcOutputs_ = bits & kAgAll;
    if (!override_) model_.mount().SetAgState(hcOutputs_);
}

void EmulationLoop::SetOverride(bool checked) {
    override_ = checked;
    if (checked) overrideOutputs_ = 0;
    model_.mount().SetAgState(checked ? overrideOutputs_ : hcOutputs_);
}

void EmulationLoop::SetOverrideOutputs(unsigned bits) {
    overrideOutputs_ = bits & kAgAll;
}

void EmulationLoop::ApplyOverride() {
    if (override_) model_.mount().SetAgState(overrideOutputs_);
}

void EmulationLoop::Trace(const std::string& line) {
    if (traceSink_) traceSink_(line);
}

}  // namespace starloom
