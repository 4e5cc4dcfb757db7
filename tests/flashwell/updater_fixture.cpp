#include "tests/flashwell/updater_fixture.h"

namespace vt5test {

hcsim::SimulatedHc& UpdaterFixture::plugHc(hcsim::HcMode mode, uint8_t hardwareId) {
    hcsim::HcConfig config;
    config.serial = "HC000001";
    config.startMode = mode;
    config.hardwareId = hardwareId;
    hc_ = std::make_unique<hcsim::SimulatedHc>(bus_.bus(), config);
    return *hc_;
}

std::string UpdaterFixture::samplePath(const std::string& name) {
    return std::string(VT5_FIRMWARE_DIR) + "/" + name;
}

LoadedFirmware UpdaterFixture::sample(const std::string& name) {
    LoadedFirmware fw;
    EXPECT_EQ(LoadFirmwareFile(samplePath(name), fw), kFirmwareLoaded) << name;
    return fw;
}

std::string UpdaterFixture::firmware() {
    return hc_->control("firmware");
}

}  // namespace vt5test
