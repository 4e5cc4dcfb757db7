// The connect flow of Gantrix's tools.

#include "common/text_printf.h"
#include "gantrix/app/gantrix_app.h"
#include "gantrix/app/gantrix_texts.h"
#include "gantrix/app/held_device.h"
#include "platform/clock/clock.h"
#include "vt5api/commands/identity.h"
#include "vt5api/options/connection_target.h"
#include "vt5api/ui/busy_cursor.h"
#include "vt5api/ui/prompter.h"

namespace {

constexpr int32_t kFirmwarePulseMs = 200;
constexpr int32_t kBootPulseMs = 2000;
constexpr int64_t kStartWaitMs = 3000;

}  // namespace

int CGantrixApp::ReportApiError(QWidget* parent, const char* step, int32_t code) {
    VT5_Close(&toolApi);
    prompter.message(parent, kCaptionError,
                     common::Printf(kApiErrorFormat, step, code, VT5_GetErrorText(code)),
                     QMessageBox::Warning);
    return -1;
}

int CGantrixApp::ConnectForTool(int requiredMode, const char* applicationId, QWidget* parent) {
    VT5ConnectionTarget target;
    int32_t serverPort = 0;
    if (server.IsServerRunning(nullptr, &serverPort)) {
        target.host = "localhost";
        target.port = serverPort;
    } else {
        target = TargetFromOptions(toolOptions);
    }
    auto open = [&] {
        return VT5_Open(&toolApi, target.Serial(), target.Host(), target.port, applicationId);
    };

    int32_t result = VT5_OK;
    {
        BusyCursor busy;
        result = open();
    }
    if (result == VT5_E_HANDSHAKE) {
        VT5_Close(&toolApi);
        if (prompter.message(parent, kCaptionQuestion, kTurnOnQuestion, QMessageBox::Question,
                             QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
            return -1;
        const char* failedStep = nullptr;
        {
            BusyCursor busy;
            const int32_t pulseMs =
                requiredMode == kRequireFirmware ? kFirmwarePulseMs : kBootPulseMs;
            // A local pulse goes to the HC the options name (the one just opened for).
            result = VT5_ESC_control(&toolApi, pulseMs, target.Host(), target.port);
            if (result != VT5_OK) {
                failedStep = kTurnOnFailed;
            } else {
                platform::sleepMs(kStartWaitMs);
                result = open();
                if (result != VT5_OK) failedStep = kOpenAfterTurnOnFailed;
            }
        }
        if (failedStep) return ReportApiError(parent, failedStep, result);
    } else if (result != VT5_OK) {
        std::string step = result == VT5_E_CANT_CONNECT ? kNoServer
                           : target.Host()              ? kNoDeviceAtServer
                                                        : kNoDevice;
        // An HC that is there but held elsewhere is not "not found": say who holds it.
        if (!target.Host()) {
            if (std::optional<HeldDevice> held = FindHeldDevice(target.Serial()))
                step += "\r\n\r\n" + HeldDeviceText(*held);
        }
        return ReportApiError(parent, step.c_str(), result);
    }

    int32_t bootFlag = 0;
    VT5cmd_GetProtocolVersion(&toolApi, &bootFlag, nullptr, nullptr);
    const bool wrongMode = (requiredMode == kRequireFirmware && bootFlag) ||
                           (requiredMode == kRequireBoot && !bootFlag);
    if (wrongMode) {
        prompter.message(parent, kCaptionError, kWrongMode, QMessageBox::Warning);
        VT5_Close(&toolApi);
        return -1;
    }
    return 0;
}
