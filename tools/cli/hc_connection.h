#pragma once

#include <string>

#include "tools/cli/command_line.h"
#include "vt5api/api/vt5api.h"

namespace cli {

// Opens `api` on the HC the command line chose: directly (the serial given, else the first
// free HC) or through the API server, announcing itself there as `clientName`. On failure
// the reason is on standard error and the API's code is returned.
int32_t OpenHc(const CommandLine& line, CVT5Api& api, const char* clientName);

// "<program>: <step>: Veltra-5 API error code <code>: <text>" on standard error, with the
// link's own failure text on a second line when there is one. Returns 1.
int ReportApiError(const CommandLine& line, const std::string& step, int32_t code,
                   const CVT5Api* api = nullptr);

// Closes the API context when it ends.
class HcSession {
public:
    explicit HcSession(CVT5Api& api) : api_(api) {}
    ~HcSession() { VT5_Close(&api_); }
    HcSession(const HcSession&) = delete;
    HcSession& operator=(const HcSession&) = delete;

private:
    CVT5Api& api_;
};

}  // namespace cli
