#include "flashwell/procedure/update_procedure.h"

#include "common/text_printf.h"
#include "flashwell/procedure/connect_device.h"
#include "flashwell/procedure/flashwell_texts.h"
#include "flashwell/procedure/procedure_view.h"
#include "platform/clock/clock.h"
#include "vt5api/commands/identity.h"
#include "vt5api/commands/update.h"

namespace {

constexpr uint16_t kLastKnownBootProtocol = 0x0100;  // boot loaders from here on are unknown
constexpr int64_t kAfterHcUploadMs = 100;

// How the steps ended: at DONE, with an API error code still to be shown, or with the
// message already shown.
struct Ending {
    enum Kind { kDone, kCode, kShown } kind;
    int32_t code = VT5_OK;
};

Ending Shown() {
    return {Ending::kShown};
}

Ending Code(int32_t code) {
    return {Ending::kCode, code};
}

class UpdateRun {
public:
    UpdateRun(CVT5Api& api, const VT5ConnectionTarget& target, const LoadedFirmware& firmware,
              UpdateChoice choice, ProcedureView& view)
        : api_(api), target_(target), firmware_(firmware), choice_(choice), view_(view) {}

    Ending Run();

private:
    Ending CheckDevice();
    Ending CheckPcb();
    Ending UploadHc();
    Ending UploadCamera();
    // remedy, when given, follows the text in the message box (the log keeps the text alone).
    Ending Refuse(const std::string& text, const char* remedy = nullptr);
    // Logs the step, shows it in the status line and uploads the image with its progress.
    using Uploader = int32_t (*)(CVT5Api*, const uint8_t*, int32_t, uint16_t,
                                 const VT5UploadProgress&);
    int32_t Upload(const char* step, const char* part, const FirmwareImage& image, Uploader upload);

    CVT5Api& api_;
    const VT5ConnectionTarget& target_;
    const LoadedFirmware& firmware_;
    UpdateChoice choice_;
    ProcedureView& view_;
};

Ending UpdateRun::Run() {
    view_.Log(kOpening);
    int32_t result = ConnectUpdater(api_, target_);
    if (result != VT5_OK) {
        ReportConnectFailure(view_, target_, result);
        return Shown();
    }
    view_.Log(kOpenOk);
    Ending ending = CheckDevice();
    if (ending.kind == Ending::kDone) ending = CheckPcb();
    if (ending.kind == Ending::kDone && choice_.hc) ending = UploadHc();
    if (ending.kind == Ending::kDone && choice_.camera) ending = UploadCamera();
    if (ending.kind == Ending::kDone) {
        view_.SetStatus(kStatusDone);
        view_.Log(kLogDone);
    }
    return ending;
}

Ending UpdateRun::Refuse(const std::string& text, const char* remedy) {
    view_.Log(common::Printf(kLogErrorFormat, text.c_str()));
    view_.ShowError(kCaptionError, remedy ? text + "\r\n\r\n" + remedy : text);
    return Shown();
}

Ending UpdateRun::CheckDevice() {
    int32_t boot = 0;
    uint16_t protocol = 0;
    int32_t result = VT5cmd_GetProtocolVersion(&api_, &boot, &protocol, nullptr);
    if (result != VT5_OK) {
        view_.Log(kLogReadingMode);
        return Code(result);
    }
    if (!boot) return Refuse(kNotInBootMode, kHowToBootMode);
    if (protocol >= kLastKnownBootProtocol)
        return Refuse(common::Printf(kWrongBootProtocol, protocol));
    return {Ending::kDone};
}

Ending UpdateRun::CheckPcb() {
    uint8_t pcb = 0;
    int32_t result = VT5cmd_GetHardwareID(&api_, &pcb);
    if (result != VT5_OK) {
        view_.Log(kLogReadingPcb);
        return Code(result);
    }
    // Whatever is ticked: the HC slot's firmware is the one that knows the boards.
    const int limit = firmware_.hc.PcbVersionLimit();
    if (pcb < limit) {
        if (!view_.AskYesNo(kCaptionWarning, common::Printf(kPcbQuestion, pcb, limit)))
            return Shown();
        view_.Log(kLogOlderFirmware);
    }
    return {Ending::kDone};
}

int32_t UpdateRun::Upload(const char* step, const char* part, const FirmwareImage& image,
                          Uploader upload) {
    view_.Log(std::string(step) + "\r\n");
    view_.SetStatus(step);
    const auto size = static_cast<int32_t>(image.payload.size());
    view_.UploadProgress(part, 0, size);
    const std::string name = part;
    return upload(
        &api_, image.payload.data(), size, image.startWord,
        [this, name](int32_t sent, int32_t all) { view_.UploadProgress(name, sent, all); });
}

Ending UpdateRun::UploadHc() {
    const int32_t result = Upload(kUploadingHc, "HC firmware", firmware_.hc, VT5cmd_UPD_UploadHC);
    if (result != VT5_OK) {
        const int32_t last = VT5cmd_UPD_LastStatus();
        if (result == VT5_E_UPDATE_COUNT_MISMATCH || result == VT5_E_UPDATE_FAILED)
            VT5cmd_UPD_Finish(&api_);
        const char* message = VT5_GetErrorText(result);
        const char* detail = result == VT5_E_UPDATE_FAILED ? UpdateErrorDetail(last) : nullptr;
        view_.ShowError(kCaptionHcUpdateError,
                        detail ? common::Printf(kUpdateErrorFormat, message, detail) : message);
        return Shown();
    }
    platform::sleepMs(kAfterHcUploadMs);
    return {Ending::kDone};
}

Ending UpdateRun::UploadCamera() {
    const int32_t result =
        Upload(kUploadingCamera, "Camera firmware", firmware_.camera, VT5cmd_UPD_UploadCamera);
    if (result != VT5_OK) {
        view_.ShowError(kCaptionCameraUpdateError, VT5_GetErrorText(result));
        return Shown();
    }
    return {Ending::kDone};
}

}  // namespace

const char* UpdateErrorDetail(int32_t lastStatus) {
    if (lastStatus == 102) return kDetailBusy;
    if (lastStatus == 239) return kDetailNoRoom;
    if (lastStatus >= 128 && lastStatus <= 143) return kDetailBadInfo;
    if (lastStatus >= 192 && lastStatus <= 207) return kDetailChecksum;
    return kDetailUnknown;
}

UpdateOutcome RunUpdate(CVT5Api& api, const VT5ConnectionTarget& target,
                        const LoadedFirmware& firmware, UpdateChoice choice, ProcedureView& view) {
    if ((choice.hc && !firmware.hc.HasPayload()) ||
        (choice.camera && !firmware.camera.HasPayload()))
        return UpdateOutcome::NothingToDo;
    view.SetBusy(true);
    view.SetStatus(kStatusConnecting);
    view.ClearLog();
    const Ending ending = UpdateRun(api, target, firmware, choice, view).Run();
    if (ending.kind == Ending::kCode) {
        const char* text = VT5_GetErrorText(ending.code);
        view.ShowError(kCaptionUpdateFailed, common::Printf(kApiErrorFormat, text));
        view.SetStatus(kStatusFailed);
        view.Log(common::Printf(kLogApiErrorFormat, text));
    } else if (ending.kind == Ending::kShown) {
        view.SetStatus(kStatusFailed);
        view.Log(kLogFailed);
    }
    VT5_Close(&api);
    view.SetBusy(false);
    return ending.kind == Ending::kDone ? UpdateOutcome::Done : UpdateOutcome::Failed;
}
