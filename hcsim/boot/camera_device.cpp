#include "hcsim/boot/camera_device.h"

namespace hcsim::boot {
namespace {

constexpr uint8_t kIdentity = 0xF8;
constexpr uint8_t kUpdate = 0xF7;
constexpr uint8_t kWords = 0x01;
constexpr uint8_t kUnique = 0x10;
constexpr uint8_t kHardware = 0x11;
constexpr uint8_t kInfo = 0x10;
constexpr uint8_t kUploadStart = 0x30;
constexpr uint8_t kImageData = 0xDA;

// Sensor and board: a 1288 x 968 sensor of 3.75 um pixels, board revision 2.
constexpr uint8_t kIdentityBytes[8] = {'V', '5', 'C', 0x01, 0x08, 0x05, 0xC8, 0x03};

}  // namespace

Bytes factoryCameraImage() {
    ImageSpec spec;
    spec.target = kTargetCamera;
    spec.version = 0x0203;
    spec.flags = 0x1000;
    spec.startWord = CameraDevice::kStartWord;
    spec.description = "Veltra-5 guide camera 2.03";
    spec.size = 40 * 1024;
    spec.seed = 0xCA3E4A;
    return makeImage(spec);
}

CameraDevice::CameraDevice(const std::string& hcSerial)
    : store_(kTargetCamera, kStartWord, kCapacity, factoryCameraImage()) {
    // "CAM-" and the HC's serial; the rest stays zero.
    std::string id = "CAM-" + hcSerial.substr(0, 12);
    for (size_t i = 0; i < id.size() && i < uniqueId_.size(); ++i)
        uniqueId_[i] = static_cast<uint8_t>(id[i]);
}

void CameraDevice::setAttached(bool attached) {
    attached_ = attached;
    if (!attached) release();
}

uint8_t CameraDevice::bootStart() {
    if (!attached_) return 1;
    store_.endUpload();
    inBoot_ = true;
    return 0;
}

void CameraDevice::release() {
    store_.endUpload();
    inBoot_ = false;
}

Bytes CameraDevice::protocolWords() const {
    uint16_t word = 0xB000 | kProtocolVersion;
    return {static_cast<uint8_t>(word), static_cast<uint8_t>(word >> 8),
            static_cast<uint8_t>(kSecondWord), static_cast<uint8_t>(kSecondWord >> 8)};
}

Bytes CameraDevice::identity() const {
    Bytes out;
    for (uint8_t b : kIdentityBytes)
        out.push_back(b);
    for (uint8_t b : uniqueId_)
        out.push_back(b);
    return out;
}

CameraDevice::Reply CameraDevice::command(uint8_t code, uint8_t param, const Bytes& data) {
    if (!attached_) return {kNoReply, {}};
    if (!inBoot_) return {kNotStarted, {}};
    if (code == kIdentity) {
        if (param == kWords && data.empty()) return {kAnswered, protocolWords()};
        if (param == kUnique && data == protocolWords()) return {kAnswered, identity()};
        if (param == kHardware && data == identity()) return {kAnswered, {kHardwareId}};
    } else if (code == kUpdate) {
        if (param == kInfo && data.empty()) return {kAnswered, store_.record()};
        if (param == kUploadStart && data.size() == 2) {
            uint16_t word = static_cast<uint16_t>(data[0] | data[1] << 8);
            // The camera erases at once: its flash is small.
            bool accepted = store_.startUpload(word) && store_.erase() == kProgrammingStarted;
            return {kAnswered, {static_cast<uint8_t>(accepted ? 0 : 1)}};
        }
        if (param == kImageData && !data.empty()) return {kAnswered, {store_.write(data), 0}};
    }
    return {kNoReply, {}};
}

}  // namespace hcsim::boot
