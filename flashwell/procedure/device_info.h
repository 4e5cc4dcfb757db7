#pragma once

#include <string>

#include "vt5api/api/vt5api.h"
#include "vt5api/commands/identity.h"
#include "vt5api/commands/update.h"
#include "vt5api/options/connection_target.h"

class ProcedureView;

// What the device information shows.
struct DeviceInfoFacts {
    VT5DeviceInfo device{};
    bool firmwareReadable = false;
    VT5FwInfo firmware{};
    // Only in BOOT mode: the camera, when it could be started.
    bool cameraAccessible = false;
    VT5CamIdentity camera{};
    VT5FwInfo cameraFirmware{};
};

// The device information text ("\n" line ends).
std::string DeviceInfoText(const DeviceInfoFacts& facts);

// Connects, reads the HC's identity and firmware information (in BOOT mode also the camera's,
// starting it for the time of the reading) and closes the connection again. The first error's
// code, or 0.
int32_t ReadDeviceInfo(CVT5Api& api, const VT5ConnectionTarget& target, DeviceInfoFacts& facts);
// The message box for a failed reading; for a direct connection with the reason the USB
// driver gave, when it gave one.
void ShowDeviceInfoError(ProcedureView& view, const VT5ConnectionTarget& target, int32_t code);

// The whole device information procedure: the reading, then the text or the failure shown.
// True on success.
bool RunDeviceInfo(CVT5Api& api, const VT5ConnectionTarget& target, ProcedureView& view);
