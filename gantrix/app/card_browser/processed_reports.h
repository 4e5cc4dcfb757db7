#pragma once

// The reports already made on this PC: under "My folder", one folder per HC named after its
// unique ID, each with its reports in Processed/<log name>/. Plain code without widgets.

#include <string>
#include <vector>

struct ReportItem {
    std::string title;  // the report folder's name: the log's name without ".txt"
    std::string type;   // "guided exposure"
    std::string path;   // its first page
};

struct UidFolder {
    std::string uid;
    std::vector<ReportItem> reports;
    std::string nightsIndex;  // Processed/index.html comparing the nights, when there is one
};

// The UID folders of myFolder ("." when empty: downloads go there then) and their reports, by
// name. A report folder counts when it is not hidden and holds guiexpo_1.html.
std::vector<UidFolder> FindProcessedReports(const std::string& myFolder);
