#pragma once

#include <string>

namespace report {

// Makes sure a folder exists, creating missing parents first: 0 when it exists or was created;
// -1 when the path is there but no folder or cannot be examined, -2 for an empty path, -3 when
// creating fails.
int CreateFolderPath(const std::string& path);

// A folder named after an HC's unique ID: 15 characters, none of them a lower-case letter.
bool IsUniqueIdFolder(const std::string& name);

// The file name of a log without ".txt" and what follows it ("x_log_1.txt" -> "x_log_1").
std::string ReportBaseName(const std::string& logPath);

// The folder that receives the reports of a log: up from the log's folder to the first one whose
// name is an HC's unique ID (15 characters, no lower-case letter), else to the path's first
// component ("/" for an absolute path).
std::string AnchorFolder(const std::string& logPath);

// anchor/Processed/<base name>.
std::string ReportFolderFor(const std::string& logPath);

}  // namespace report
