#include "hcsim/hc/system_change_family.h"

#include <algorithm>
#include <functional>
#include <string>

namespace hcsim {

using namespace protocol;

namespace {

struct ChangeType {
    uint8_t modeByte;  // in the firmware's response
    uint8_t bootParam;
    std::array<uint8_t, 4> bootCode;
    Transition transition;
};

const std::array<ChangeType, 3> kTypes{{
    {0x0F,
     SystemChangeFamily::kBootPowerOff,
     {0x3C, 0x1E, 0x6B, 0xD2},
     {HcMode::Off, kAsyncPoweredOff}},
    {0x01,
     SystemChangeFamily::kBootToFirmware,
     {0x5A, 0x93, 0xC0, 0x4F},
     {HcMode::Firmware, kAsyncToFirmware}},
    {0x02, SystemChangeFamily::kBootToBoot, {0xB2, 0x68, 0x4E, 0x19}, {HcMode::Boot, kAsyncToBoot}},
}};

}  // namespace

SystemChangeFamily::SystemChangeFamily(const HcConfig& config)
    : config_(config),
      random_(static_cast<std::mt19937::result_type>(std::hash<std::string>{}(config.serial))) {}

void SystemChangeFamily::addCommands(HcMode mode, CommandTable& table) {
    if (mode == HcMode::Firmware) {
        table.add({kSystemChange,
                   {{kChallenge, 0}, {kResponse, 6}},
                   0,
                   [this](const Call& call, Answer& answer) { handleFirmware(call, answer); }});
    } else if (mode == HcMode::Boot) {
        table.add({kBootSystemChange,
                   {{kBootPowerOff, 4}, {kBootToFirmware, 4}, {kBootToBoot, 4}},
                   0,
                   [this](const Call& call, Answer& answer) { handleBoot(call, answer); }});
    }
}

std::array<uint8_t, 4> SystemChangeFamily::nextChallenge() {
    if (config_.challenge) return *config_.challenge;
    uint32_t v = random_();
    return {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
            static_cast<uint8_t>(v >> 24)};
}

void SystemChangeFamily::handleFirmware(const Call& call, Answer& answer) {
    for (const Param& p : call.message.params) {
        if (p.id == kChallenge) {
            challenge_ = nextChallenge();
            answer.add(kChallenge, challenge_->data(), challenge_->size());
        } else if (p.id == kResponse) {
            answer.add(kResponse, {checkResponse(p.value, answer)});
        }
    }
}

uint8_t SystemChangeFamily::checkResponse(const Bytes& response, Answer& answer) {
    if (!challenge_) return kNoChallenge;
    std::array<uint8_t, 4> c = *challenge_;
    challenge_.reset();
    for (size_t i = 0; i < 4; ++i)
        if (response[i] != static_cast<uint8_t>(~c[3 - i])) return kWrongResponse;
    if (response[5] != 0) return kWrongResponse;
    for (const ChangeType& type : kTypes) {
        if (type.modeByte != response[4]) continue;
        answer.then = type.transition;
        return kAccepted;
    }
    return kUnknownChange;
}

void SystemChangeFamily::handleBoot(const Call& call, Answer& answer) const {
    const auto& params = call.message.params;
    if (params.size() != 1) return;  // refused: an answer at all says so
    const Param& p = params.front();
    if (p.id == kBootPowerOff && config_.bootVersion < kBootPowerOffSince) {
        answer.add(kBootRefused, {p.id});
        return;
    }
    for (const ChangeType& type : kTypes) {
        if (type.bootParam != p.id) continue;
        if (!std::equal(type.bootCode.begin(), type.bootCode.end(), p.value.begin())) return;
        answer.silent = true;
        answer.then = Transition{type.transition.next, std::nullopt};
        return;
    }
}

}  // namespace hcsim
