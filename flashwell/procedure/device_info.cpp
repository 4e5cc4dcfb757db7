// The device information procedure.

#include "flashwell/procedure/device_info.h"

#include "flashwell/procedure/connect_device.h"
#include "flashwell/procedure/flashwell_texts.h"
#include "flashwell/procedure/procedure_view.h"

namespace {

// The camera, once started, is released on every path.
int32_t ReadFacts(CVT5Api& api, const VT5ConnectionTarget& target, DeviceInfoFacts& facts) {
    int32_t result = ConnectUpdater(api, target);
    if (result != VT5_OK) return result;
    result = VT5cmd_GetDeviceInfo(&api, &facts.device);
    if (result != VT5_OK) return result;
    if (facts.device.bootFlag) {
        result = VT5cmd_UPD_CameraStart(&api);
        if (result == VT5_OK) {
            result = VT5cmd_UPD_CameraIdentity(&api, &facts.camera);
            if (result == VT5_OK) result = VT5cmd_UPD_CameraFwInfo(&api, &facts.cameraFirmware);
            facts.cameraAccessible = result == VT5_OK;
        } else if (result == VT5_E_UPDATE_CAMERA_START) {
            result = VT5_OK;  // no camera to show
        }
        const int32_t stopped = VT5cmd_UPD_CameraStop(&api);
        if (result != VT5_OK) return result;
        if (stopped != VT5_OK) return stopped;
    }
    result = VT5cmd_UPD_GetFwInfo(&api, &facts.firmware);
    facts.firmwareReadable = result == VT5_OK;
    return result == VT5_E_NO_ANSWER_PARAMETER ? VT5_OK : result;
}

}  // namespace

int32_t ReadDeviceInfo(CVT5Api& api, const VT5ConnectionTarget& target, DeviceInfoFacts& facts) {
    const int32_t result = ReadFacts(api, target, facts);
    VT5_Close(&api);
    return result;
}

void ShowDeviceInfoError(ProcedureView& view, const VT5ConnectionTarget& target, int32_t code) {
    if (code != VT5_E_CANNOT_OPEN)
        view.ShowError(kCaptionError, VT5_GetErrorText(code));
    else
        view.ShowError(kCaptionError, target.Host() ? std::string(kDevinfoCantOpen)
                                                    : WithCauseFound(kDevinfoCantOpen));
}

bool RunDeviceInfo(CVT5Api& api, const VT5ConnectionTarget& target, ProcedureView& view) {
    DeviceInfoFacts facts;
    const int32_t result = ReadDeviceInfo(api, target, facts);
    if (result != VT5_OK) {
        ShowDeviceInfoError(view, target, result);
        return false;
    }
    view.ShowDeviceInfo(DeviceInfoText(facts));
    return true;
}
