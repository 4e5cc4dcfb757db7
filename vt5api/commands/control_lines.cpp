// The ESC and RESET control lines of the HC's USB chip.

#include "platform/clock/clock.h"
#include "vt5api/commands/identity.h"
#include "vt5api/link/wire.h"

namespace {

int32_t LocalPulse(CVT5Api* api, int32_t bits, int32_t pulseMs) {
    CVT5Link& link = *api->link;
    bool openedHere = false;
    if (!link.IsOpen()) {
        // The HC this context was opened for, when it names one: with several HCs plugged
        // in, the first one found need not be the one that did not answer.
        if (link.Open(api->serial[0] ? api->serial : nullptr) != 0) return VT5_E_CANNOT_OPEN;
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

// Through the API server, over the client connection or one made just for the pulse.
int32_t RemotePulse(CVT5Api* api, uint8_t line, int32_t pulseMs, const char* serverAddress,
                    int32_t port, const char* clientName) {
    CVT5Link& link = *api->link;
    bool connectedHere = false;
    if (!link.HasClientSocket()) {
        int32_t result =
            link.ConnectToServer(serverAddress, port ? port : VT5_DEFAULT_PORT, clientName);
        if (result != VT5_OK) {
            link.Disconnect();
            return result;
        }
        connectedHere = true;
    }
    int32_t result = link.LinePulse(line, pulseMs);
    if (result != VT5_OK) {
        VT5_Close(api);
        return result;
    }
    return connectedHere ? VT5_Close(api) : VT5_OK;
}

int32_t Pulse(CVT5Api* api, int32_t bits, uint8_t line, const char* clientName, int32_t pulseMs,
              const char* serverAddress, int32_t port) {
    if (!api || !api->link) return VT5_E_NO_LINK;
    bool remote = api->link->Mode() == VT5_MODE_CLIENT || (serverAddress && *serverAddress);
    if (remote) return RemotePulse(api, line, pulseMs, serverAddress, port, clientName);
    return LocalPulse(api, bits, pulseMs);
}

}  // namespace

int32_t VT5_ESC_control(CVT5Api* api, int32_t pulseMs, const char* serverAddress, int32_t port) {
    return Pulse(api, VT5_CBUS_ESC, VT5_LINE_ESC, "(VT5_ESC_control)", pulseMs, serverAddress,
                 port);
}

int32_t VT5_RESET_control(CVT5Api* api, int32_t pulseMs, const char* serverAddress, int32_t port) {
    return Pulse(api, VT5_CBUS_RESET, VT5_LINE_RESET, "(VT5_RESET_control)", pulseMs, serverAddress,
                 port);
}
