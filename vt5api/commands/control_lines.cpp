// The ESC and RESET control lines of the HC's USB chip.

#include "platform/clock/clock.h"
#include "vt5api/commands/identity.h"

namespace {

int32_t LocalPulse(CVT5Api* api, int32_t bits, int32_t pulseMs) {
    CVT5Link& link = *api->link;
    bool openedHere = false;
    if (!link.IsOpen()) {
        if (link.Open(nullptr) != 0) return VT5_E_CANNOT_OPEN;
        openedHere = true;
    }
    int32_t failed = link.SetBitOutput(bits, bits);
    if (!failed && pulseMs > 0) {
        platform::sleepMs(pulseMs);
        failed = link.SetBitOutput(bits, 0);
    }
    if (openedHere) link.Close();
    return failed ? VT5_E_COMMUNICATION : VT5_OK;
}

int32_t Pulse(CVT5Api* api, int32_t bits, int32_t pulseMs, const char* serverAddress,
              int32_t port) {
    if (!api || !api->link) return VT5_E_NO_LINK;
    (void)serverAddress, (void)port;
    return LocalPulse(api, bits, pulseMs);
}

}  // namespace

int32_t VT5_ESC_control(CVT5Api* api, int32_t pulseMs, const char* serverAddress, int32_t port) {
    return Pulse(api, VT5_CBUS_ESC, pulseMs, serverAddress, port);
}

int32_t VT5_RESET_control(CVT5Api* api, int32_t pulseMs, const char* serverAddress,
                          int32_t port) {
    return Pulse(api, VT5_CBUS_RESET, pulseMs, serverAddress, port);
}
