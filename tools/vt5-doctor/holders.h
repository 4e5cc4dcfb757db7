#pragma once

#include <string>
#include <vector>

namespace doctor {

// The processes that have the device file open, as "name (pid N)", from /proc. Processes of
// other users stay hidden unless this one may look into them.
std::vector<std::string> ProcessesHolding(const std::string& devNode);

}  // namespace doctor
