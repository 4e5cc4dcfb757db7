#pragma once

#include "flashwell/firmware/firmware_file.h"
#include "vt5api/api/vt5api.h"
#include "vt5api/options/connection_target.h"

class ProcedureView;

// Which parts of the loaded firmware go into the device.
struct UpdateChoice {
    bool hc = true;
    bool camera = true;
};

enum class UpdateOutcome {
    NothingToDo,  // a part was chosen whose slot holds no image: nothing was done or shown
    Done,
    Failed,  // every failure was shown and logged
};

// The update procedure: connects, checks that the HC runs a boot loader the updater knows and
// that the firmware supports its PCB (asking before uploading HC firmware that may not), uploads
// the chosen images (the camera's through the HC) and closes the connection again. Every step
// goes to the view's log and status line; each failure ends with one message box, and a failed
// HC upload is finished so that the HC, still in BOOT mode, takes the update when retried.
UpdateOutcome RunUpdate(CVT5Api& api, const VT5ConnectionTarget& target,
                        const LoadedFirmware& firmware, UpdateChoice choice, ProcedureView& view);

// The detail shown beside error 104 for the last update status; null when there is none.
const char* UpdateErrorDetail(int32_t lastStatus);
