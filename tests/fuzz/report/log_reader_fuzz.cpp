// Arbitrary bytes as a guiding log: read, interpret, compute statistics, draw every graph and
// fill a page, all in memory.
#include <cstddef>
#include <cstdint>
#include <string>

#include "gantrix/report/graph_images.h"
#include "gantrix/report/interpret.h"
#include "gantrix/report/line_table.h"
#include "gantrix/report/report_page.h"

namespace {

// Enough frames for every width rule; beyond it a graph only grows.
constexpr size_t kMaxFrames = 2000;
constexpr size_t kMaxExposures = 4;

void DrawAndFill(const report::LogState& log, report::ExposureRecord exposure, int k) {
    if (exposure.frames.size() > kMaxFrames) return;
    report::ExposureGraphs graphs;
    report::DrawExposureGraphs(exposure, graphs);
    const std::vector<std::string> labels = {report::LinkLabel(exposure)};
    const report::PageInfo page{log,     exposure, graphs.scales, k, report::LinkList(labels, 1),
                                "x.txt", ""};
    report::SubstituteTemplate("%HC_UID% %DR_RA_STD% %EXPO_LEN_SEC%", report::PageDictionary(page));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    report::LineTable lines;
    if (lines.ReadLogData(std::string(reinterpret_cast<const char*>(data), size)) != 0) return 0;
    report::LogState log;
    if (!report::Interpret(lines, log)) return 0;
    for (size_t i = 0; i < log.exposures.size() && i < kMaxExposures; ++i) {
        DrawAndFill(log, log.exposures[i], int(i + 1));
    }
    return 0;
}
