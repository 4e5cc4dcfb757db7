#include "tests/hcsim/boot_fixture.h"

namespace hcsim::test {

using boot::BootLoaderFamily;

void BootFixture::plugBoot(HcConfig config) {
    config.startMode = HcMode::Boot;
    plug(std::move(config));
}

Bytes BootFixture::command(uint8_t code, const Bytes& params, const std::optional<Bytes>& bulk) {
    counter_ = counter_ >= 239 ? 1 : counter_ + 1;
    Bytes message{code, counter_};
    if (bulk) {
        message.push_back(0xFC);
        auto size = static_cast<uint32_t>(bulk->size());
        for (int i = 0; i < 4; ++i)
            message.push_back(static_cast<uint8_t>(size >> (8 * i)));
    }
    message.insert(message.end(), params.begin(), params.end());
    message.push_back(0xFF);
    if (bulk) message.insert(message.end(), bulk->begin(), bulk->end());
    return send(message);
}

std::optional<Bytes> BootFixture::entry(const Bytes& answer, uint8_t id) {
    if (answer.size() < 5 || answer[2] != 0) return std::nullopt;
    size_t length = answer[3] | answer[4] << 8;
    for (size_t pos = 5; pos + 2 <= length && pos + 2 <= answer.size();) {
        size_t n = answer[pos + 1];
        if (answer[pos] == id) return Bytes(answer.begin() + pos + 2, answer.begin() + pos + 2 + n);
        pos += 2 + n;
    }
    return std::nullopt;
}

Bytes BootFixture::bulkOf(const Bytes& answer) {
    if (!entry(answer, 0xFC)) return {};
    size_t length = answer[3] | answer[4] << 8;
    return Bytes(answer.begin() + length, answer.end());
}

namespace {

int statusOf(const std::optional<Bytes>& value) {
    return value && value->size() == 1 ? (*value)[0] : -1;
}

}  // namespace

bool BootFixture::uploadStart(uint16_t word) {
    return entry(command(0xF7, {0x30, uint8_t(word), uint8_t(word >> 8)}), 0x30).has_value();
}

int BootFixture::programmingStart() {
    return statusOf(entry(command(0xF7, {0x8A, 0, 0, 0}), 0x8A));
}

int BootFixture::readiness() {
    return statusOf(entry(command(0xF7, {0xDA}, Bytes{}), 0xDA));
}

int BootFixture::chunk(const Bytes& data) {
    return statusOf(entry(command(0xF7, {0xDA}, data), 0xDA));
}

int BootFixture::finish() {
    return statusOf(entry(command(0xF7, {0x8F}), 0x8F));
}

int BootFixture::readyAfterErase() {
    sleep(250);
    return readiness();
}

std::vector<int> BootFixture::upload(const Bytes& image, uint16_t startWord) {
    std::vector<int> statuses;
    EXPECT_TRUE(uploadStart(startWord));
    EXPECT_EQ(programmingStart(), 0);
    EXPECT_EQ(readyAfterErase(), 0);
    for (size_t at = 0; at < image.size(); at += 4096) {
        size_t n = std::min<size_t>(4096, image.size() - at);
        statuses.push_back(chunk(Bytes(image.begin() + at, image.begin() + at + n)));
    }
    return statuses;
}

BootFixture::CameraReply BootFixture::camera(uint8_t code, uint8_t param, const Bytes& data) {
    Bytes answer = command(0xF4, {0x3C, param, code}, data);
    return {statusOf(entry(answer, 0x3C)), bulkOf(answer)};
}

int BootFixture::cameraStart() {
    Bytes answer = command(0xF4, {0xC1});
    if (answer.empty()) {
        sleep(1300);
        answer = available();
    }
    return statusOf(entry(answer, 0xC1));
}

Bytes hcImage(uint16_t version, size_t size, uint16_t flags, const char* description) {
    boot::ImageSpec spec;
    spec.target = boot::kTargetHc;
    spec.version = version;
    spec.flags = flags;
    spec.startWord = BootLoaderFamily::kStartWord;
    spec.description = description;
    spec.size = size;
    spec.seed = version;
    return boot::makeImage(spec);
}

Bytes cameraImage(uint16_t version, size_t size) {
    boot::ImageSpec spec;
    spec.target = boot::kTargetCamera;
    spec.version = version;
    spec.flags = 0x3000;
    spec.startWord = boot::CameraDevice::kStartWord;
    spec.description = "Test camera firmware";
    spec.size = size;
    spec.seed = version;
    return boot::makeImage(spec);
}

}  // namespace hcsim::test
