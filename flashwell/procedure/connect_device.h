#pragma once

#include <cstdint>
#include <string>

#include "vt5api/api/vt5api.h"
#include "vt5api/options/connection_target.h"

class ProcedureView;

// Opens the API context as the updater does: through the API server at the target's host
// (as client "Updater"), else directly to the target's serial (empty: any HC). The result of
// VT5_Open.
int32_t ConnectUpdater(CVT5Api& api, const VT5ConnectionTarget& target);

// The update procedure's report of a failed connection: its log lines and the message box
// that explains the likely cause.
void ReportConnectFailure(ProcedureView& view, const VT5ConnectionTarget& target, int32_t code);

// A "Can't open device!" text with the reason the USB driver gave for this thread's last
// failed open, when it gave one.
std::string WithCauseFound(const char* text);
