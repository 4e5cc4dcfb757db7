#pragma once

#include <cstdint>

#include "hcsim/camera/autoguider.h"
#include "hcsim/camera/guide_log.h"
#include "hcsim/display/menu.h"
#include "hcsim/hc/family.h"

namespace hcsim {

class HcDevice;

// Command 0xF9 of the firmware: the camera emulation, in which the HC takes its guide
// camera's frames from the PC.
//   0x01  start; answered with 0x0F carrying the HC's clock (ms since its firmware started,
//         4 bytes little-endian). A start while running begins a new session.
//   0x02  stop.
//   0x0F  collect events: as many waiting events as fit into one answer, oldest first, each
//         as an entry (event code, 4 time bytes, payload); the rest wait for the next collect.
//   bulk data alone: a frame, taken when one is awaited and dropped otherwise.
// Collecting and frames are refused with type 32 while the emulation is off, so that a PC
// still polling after the HC restarted learns that its session is gone.
//
// Control commands (vt5-hcsim control SERIAL ...):
//   guider                       status: emulation, mode, star, calibration, counters, log
//   guider set NAME VALUE        exposure MS | gain N | focal-length MM | ra-p | ra-i |
//                                ra-tolerance PX | dec-p | dec-tolerance PX | max-pulse MS |
//                                calibration-step MS | calibration-distance PX
//   calibrate                    calibrate on the guide star
//   guide start|stop             start guiding (calibrating first when needed), stop it
//   expose SECONDS | expose stop a guided exposure of the main camera, or its early end
//
// On the HC's display: a "Guider" page in the main menu (a guided exposure and its length,
// its early end, calibration, guiding on or off, the guide camera's exposure) and, while the
// emulation runs, the guider's state on the live line: the drift in arcseconds while guiding,
// the time left of an exposure.
class CameraEmulationFamily final : public Family, public MenuContributor {
public:
    static constexpr uint8_t kStart = 0x01;
    static constexpr uint8_t kStop = 0x02;
    static constexpr uint8_t kEvents = 0x0F;  // collect; also the HC time in the start answer
    static constexpr uint32_t kFrameLimit = 4u << 20;

    // The guiding logs go onto the HC's SD card (its file system family).
    explicit CameraEmulationFamily(HcDevice& hc);

    void addCommands(HcMode mode, CommandTable& table) override;
    void restart() override;
    void started(HcMode mode, platform::TimePoint at) override;
    void onTick(platform::TimePoint now, Bytes& out) override;
    platform::TimePoint nextEvent() const override;
    std::optional<std::string> control(const std::vector<std::string>& words,
                                       platform::TimePoint now, Bytes& out) override;
    std::string controlHelp() const override;

    void addMenuItems(HcMode mode, std::vector<MenuItem>& items) override;
    std::optional<std::string> liveLine(platform::TimePoint now) const override;
    // Lengths of a guided exposure and of a guide camera exposure the menu steps through.
    static constexpr int kMenuExposures[] = {30, 60, 120, 180, 300, 600, 900, 1200, 1800};
    static constexpr int kMenuGuideExposures[] = {100, 200, 500, 1000, 1500, 2000, 3000, 4000};

    // The HC's clock (ms since its firmware started) at t.
    int64_t hcMs(platform::TimePoint t) const;
    camera::Autoguider& autoguider() { return guider_; }

private:
    void handle(const Call& call, Answer& answer);
    camera::LogIdentity identity() const;
    std::string status() const;
    std::string set(const std::string& name, const std::string& value, int64_t now);

    HcDevice& hc_;
    camera::GuideLog log_;
    camera::Autoguider guider_{log_};
    platform::TimePoint origin_{};
    int64_t lastMs_ = 0;
    int menuExposureSeconds_ = 300;
};

}  // namespace hcsim
