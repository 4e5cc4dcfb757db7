#include "flashwell/procedure/connect_device.h"

#include "common/text_printf.h"
#include "flashwell/procedure/flashwell_texts.h"
#include "flashwell/procedure/procedure_view.h"
#include "platform/ftd2xx/driver.h"

int32_t ConnectUpdater(CVT5Api& api, const VT5ConnectionTarget& target) {
    const char* client = target.Host() ? kUpdaterClientName : nullptr;
    return VT5_Open(&api, target.Serial(), target.Host(), target.port, client);
}

void ReportConnectFailure(ProcedureView& view, const VT5ConnectionTarget& target, int32_t code) {
    view.Log(kOpenFailed);
    const bool viaServer = target.Host() != nullptr;
    const char* logLine = nullptr;
    std::string text;
    if (!viaServer && code == VT5_E_HANDSHAKE) {
        logLine = kLogHcOff;
        text = kHcOff;
    } else if (viaServer && (code == VT5_E_TCP || code == VT5_E_CANT_CONNECT)) {
        // A server that does not answer at all gives 350 (the TCP connect fails).
        logLine = kLogNoServer;
        text = kNoServer;
    } else if (code == VT5_E_CANNOT_OPEN) {
        logLine = viaServer ? kLogServerWithoutHc : kLogNoUsbDevice;
        text = viaServer ? std::string(kServerWithoutHc) : WithCauseFound(kNoUsbDevice);
    } else {
        text = VT5_GetErrorText(code);
    }
    if (logLine) view.Log(logLine);
    view.ShowError(kCaptionCantOpen, text);
}

std::string WithCauseFound(const char* text) {
    const std::string why = platform::ftd2xx::lastProblem();
    return why.empty() ? text : text + common::Printf(kCauseFoundFormat, why.c_str());
}
