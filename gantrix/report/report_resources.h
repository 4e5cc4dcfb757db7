#pragma once

#include <string>

namespace report {

// The page template, style sheet and logo built into the program; a missing one is empty.
struct ReportResources {
    std::string pageTemplate;  // UTF-8 HTML with %KEY% placeholders, beginning with a BOM
    std::string styleSheet;
    std::string logo;  // 48 x 48 JPEG
};

ReportResources LoadReportResources();

}  // namespace report
