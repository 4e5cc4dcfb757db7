#include "hcsim/boot/boot_loader_family.h"

#include <cstdio>

#include "hcsim/hc/hc_device.h"

namespace hcsim::boot {

using namespace protocol;

namespace {

uint16_t le16(const Bytes& v) {
    return static_cast<uint16_t>(v[0] | v[1] << 8);
}

std::string describeStore(const FirmwareStore& store) {
    char text[160];
    auto block = store.info();
    if (store.status() != kFirmwareValid || !block) {
        std::snprintf(text, sizeof text, "status=%u", store.status());
        return text;
    }
    std::string description(block->description.begin(), block->description.end());
    description = description.c_str();
    std::snprintf(text, sizeof text, "status=0 version=%02x.%02x.%x size=%u \"%s\"",
                  block->version >> 8, block->version & 0xFF, block->flags >> 12, block->size,
                  description.c_str());
    return text;
}

}  // namespace

Bytes factoryHcImage() {
    ImageSpec spec;
    spec.target = kTargetHc;
    spec.version = 0x0104;
    spec.flags = 0x2040;  // build 2, for PCB versions from 2 on
    spec.startWord = BootLoaderFamily::kStartWord;
    spec.description = "Veltra-5 HC firmware 1.04";
    spec.size = 96 * 1024;
    spec.seed = 0x5EED0104;
    return makeImage(spec);
}

BootLoaderFamily::BootLoaderFamily(HcDevice& hc)
    : hc_(hc),
      store_(kTargetHc, kStartWord, kCapacity, factoryHcImage()),
      camera_(hc.config().serial) {}

void BootLoaderFamily::addCommands(HcMode mode, CommandTable& table) {
    auto update = [this](const Call& call, Answer& answer) { handleUpdate(call, answer); };
    if (mode == HcMode::Firmware) {
        table.add({kFirmwareUpdate, {{kInfo, 0}, {kFinish, 0}}, 0, update});
    } else if (mode == HcMode::Boot) {
        table.add(
            {kFirmwareUpdate,
             {{kInfo, 0}, {kUploadStart, 2}, {kProgrammingStart, 3}, {kImageData, 0}, {kFinish, 0}},
             kChunkLimit,
             update});
        table.add({kCameraAccess,
                   {{kCameraRelease, 0}, {kCameraBootStart, 0}, {kPassThrough, 2}},
                   kChunkLimit,
                   [this](const Call& call, Answer& answer) { handleCamera(call, answer); }});
    }
}

void BootLoaderFamily::restart() {
    store_.endUpload();
    camera_.restart();
    busyUntil_ = {};
    relocatedWaitsForRestart_ = false;
    delayed_.reset();
}

HcMode BootLoaderFamily::startingMode(HcMode wanted) const {
    return wanted == HcMode::Firmware && store_.status() != kFirmwareValid ? HcMode::Boot : wanted;
}

void BootLoaderFamily::onTick(platform::TimePoint now, Bytes& out) {
    if (!delayed_ || now < delayedAt_) return;
    Answer answer = std::move(*delayed_);
    delayed_.reset();
    hc_.faults().send(std::move(answer), out);
}

platform::TimePoint BootLoaderFamily::nextEvent() const {
    return delayed_ ? delayedAt_ : platform::TimePoint::max();
}

void BootLoaderFamily::addInformation(Answer& answer) {
    if (faults_.take(BootFaults::Kind::NoFwInfo)) return;
    uint8_t status = store_.status();
    if (auto forced = faults_.take(BootFaults::Kind::FwStatus)) status = *forced;
    if (status == kFirmwareValid)
        answer.add(kInfo, store_.record());
    else
        answer.add(kInfo, {status});
}

uint8_t BootLoaderFamily::readiness(platform::TimePoint at) {
    if (faults_.take(BootFaults::Kind::NoRoom)) return kNoRoom;
    if (faults_.take(BootFaults::Kind::Busy)) return kBusy;
    if (!store_.erased()) return kNotUploading;
    if (at < busyUntil_) return kBusy;
    if (relocatedWaitsForRestart_) return kNoRoom;
    return kChunkAccepted;
}

uint8_t BootLoaderFamily::imageData(const Bytes& chunk, platform::TimePoint at) {
    uint8_t status = store_.erased() && at < busyUntil_ ? kBusy : store_.write(chunk);
    if (status == kImageComplete) {
        auto block = store_.info();
        relocatedWaitsForRestart_ = block && (block->flags & kRelocatedFlag);
    }
    if (auto forced = faults_.take(BootFaults::Kind::Chunk)) status = *forced;
    return status;
}

void BootLoaderFamily::handleUpdate(const Call& call, Answer& answer) {
    for (const Param& p : call.message.params) {
        switch (p.id) {
            case kInfo:
                addInformation(answer);
                break;
            case kUploadStart:
                if (!faults_.take(BootFaults::Kind::RefuseStart) &&
                    store_.startUpload(le16(p.value)))
                    answer.add(kUploadStart);
                break;
            case kProgrammingStart: {
                bool zeros = p.value == Bytes{0, 0, 0};
                uint8_t status = zeros ? kProgrammingStarted : kBadProgrammingValue;
                if (auto forced = faults_.take(BootFaults::Kind::Programming))
                    status = *forced;
                else if (zeros)
                    status = store_.erase();
                if (status == kProgrammingStarted) busyUntil_ = call.at + eraseTime_;
                answer.add(kProgrammingStart, {status});
                break;
            }
            case kImageData:
                if (call.message.bulk.empty()) {
                    answer.add(kImageData, {readiness(call.at)});
                } else if (faults_.takePowerOff()) {
                    // Switched off while programming: half of the chunk made it.
                    Bytes half(call.message.bulk.begin(),
                               call.message.bulk.begin() +
                                   static_cast<std::ptrdiff_t>(call.message.bulk.size() / 2));
                    if (!half.empty()) store_.write(half);
                    answer.silent = true;
                    answer.then = Transition{HcMode::Off, kAsyncPoweredOff};
                    return;
                } else {
                    answer.add(kImageData, {imageData(call.message.bulk, call.at)});
                }
                break;
            case kFinish:
                store_.endUpload();
                answer.add(kFinish, {store_.status()});
                break;
        }
    }
}

CameraDevice::Reply BootLoaderFamily::passThrough(uint8_t code, uint8_t param, const Bytes& data) {
    constexpr uint8_t kCameraUpdate = 0xF7;
    if (faults_.take(BootFaults::Kind::CameraSilent)) return {CameraDevice::kNoReply, {}};
    bool upload = code == kCameraUpdate && param == kUploadStart;
    if (upload && camera_.inBootLoader() && faults_.take(BootFaults::Kind::CameraRefuseUpload))
        return {CameraDevice::kAnswered, {1}};
    CameraDevice::Reply reply = camera_.command(code, param, data);
    if (code == kCameraUpdate && reply.status == CameraDevice::kAnswered) {
        if (param == kImageData) {
            if (auto forced = faults_.take(BootFaults::Kind::CameraChunk)) reply.data[0] = *forced;
        } else if (param == kInfo) {
            if (auto forced = faults_.take(BootFaults::Kind::CameraFwStatus)) {
                reply.data.assign(reply.data.size(), 0);
                reply.data[0] = *forced;
            }
        }
    }
    if (reply.status == CameraDevice::kAnswered && faults_.take(BootFaults::Kind::CameraLine))
        reply.status = CameraDevice::kLineError;
    return reply;
}

void BootLoaderFamily::handleCamera(const Call& call, Answer& answer) {
    bool restarting = false;
    for (const Param& p : call.message.params) {
        switch (p.id) {
            case kCameraRelease:
                camera_.release();
                answer.add(kCameraRelease);
                break;
            case kCameraBootStart: {
                uint8_t status = camera_.bootStart();
                if (auto forced = faults_.take(BootFaults::Kind::CameraStart)) {
                    status = *forced;
                    camera_.release();
                }
                answer.add(kCameraBootStart, {status});
                restarting = true;
                break;
            }
            case kPassThrough: {
                CameraDevice::Reply reply = passThrough(p.value[1], p.value[0], call.message.bulk);
                answer.add(kPassThrough, {reply.status});
                if (!reply.data.empty()) answer.addBulk(std::move(reply.data));
                break;
            }
        }
    }
    if (restarting) {
        // The camera takes a while to come up in its boot loader; the HC answers when it has.
        delayed_ = answer;
        delayedAt_ = call.at + cameraStartTime_;
        answer.silent = true;
    }
}

std::string BootLoaderFamily::describe() const {
    return "ok: hc " + describeStore(store_) + "; camera " + describeStore(camera_.store()) +
           (camera_.attached() ? "" : " (detached)");
}

std::optional<std::string> BootLoaderFamily::control(const std::vector<std::string>& words,
                                                     platform::TimePoint, Bytes&) {
    if (words.empty()) return std::nullopt;
    if (words[0] == "firmware" && words.size() == 1) return describe();
    if (words[0] == "camera") {
        if (words.size() == 2 && (words[1] == "attach" || words[1] == "detach")) {
            camera_.setAttached(words[1] == "attach");
            return std::string("ok");
        }
        return std::string("error: usage: camera attach|detach");
    }
    if (words[0] != "fault" || words.size() < 2) return std::nullopt;
    if (words[1] == "clear" && words.size() == 2) {
        faults_.clear();
        return std::nullopt;  // the HC's own faults are cleared next
    }
    auto problem = faults_.parse({words.begin() + 1, words.end()});
    if (!problem) return std::nullopt;
    return problem->empty() ? std::string("ok") : "error: " + *problem;
}

std::string BootLoaderFamily::controlHelp() const {
    return std::string("firmware | camera attach|detach | ") + BootFaults::help();
}

}  // namespace hcsim::boot
