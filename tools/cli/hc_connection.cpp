#include "tools/cli/hc_connection.h"

namespace cli {

int32_t OpenHc(const CommandLine& line, CVT5Api& api, const char* clientName) {
    const HcTarget& t = line.target();
    int32_t result = t.viaServer() ? VT5_Open(&api, nullptr, t.host.c_str(), t.port, clientName)
                                   : VT5_Open(&api, t.serial.empty() ? nullptr : t.serial.c_str(),
                                              nullptr, 0, nullptr);
    if (result != VT5_OK) {
        std::string where = t.viaServer()      ? "Connecting to the API server at " + t.host
                            : t.serial.empty() ? std::string("Opening the first free HC")
                                               : "Opening the HC " + t.serial;
        ReportApiError(line, where, result, &api);
    }
    return result;
}

int ReportApiError(const CommandLine& line, const std::string& step, int32_t code,
                   const CVT5Api* api) {
    std::fprintf(stderr, "%s: %s: Veltra-5 API error code %d: %s\n", line.program().c_str(),
                 step.c_str(), code, VT5_GetErrorText(code));
    const char* detail = api && api->link ? api->link->GetErrorText() : nullptr;
    if (detail && *detail) std::fprintf(stderr, "  (%s)\n", detail);
    std::fflush(stderr);
    return 1;
}

}  // namespace cli
