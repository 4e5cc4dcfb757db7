#pragma once

#include <string>
#include <utility>
#include <vector>

#include "gantrix/report/night/summary_json.h"

namespace report::night {

// The index's own style sheet and graphs, beside index.html.
inline constexpr const char* kIndexDataFolder = "index_dat";

struct IndexFiles {
    std::string page;
    // Paths relative to the index's folder and their texts; an empty text: no such file now.
    std::vector<std::pair<std::string, std::string>> files;
};

// index.html over the nights (any order given; listed newest first) with their trend.
IndexFiles IndexPage(std::vector<NightEntry> nights, const std::string& conversionTime);

}  // namespace report::night
