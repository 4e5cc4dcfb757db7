#pragma once

#include <ctime>
#include <string>
#include <vector>

#include "gantrix/report/graph_images.h"
#include "gantrix/report/log_records.h"
#include "gantrix/report/page_template.h"

namespace report {

// An exposure gets a page when it ended after it started and has a guided frame.
bool KeepExposure(const ExposureRecord& exposure);

// The side bar label of an exposure: its length in whole minutes and seconds and its start.
std::string LinkLabel(const ExposureRecord& exposure);

// The side bar of page k (1-based) over the labels of all pages: the current page highlighted
// without a link, the others linked.
std::string LinkList(const std::vector<std::string>& labels, int k);

// When the report was made, "2021.03.07. &nbsp 21:05 h".
std::string ConversionTimeText(const std::tm& localTime);

struct PageInfo {
    const LogState& log;
    const ExposureRecord& exposure;  // with its graphs drawn (tracking errors in arcseconds)
    const GraphScales& scales;
    int k;
    std::string links;
    std::string sourceFileName;
    std::string conversionTime;
};

// The placeholder values of one page.
TemplateDictionary PageDictionary(const PageInfo& page);

}  // namespace report
