#pragma once

#include <string>
#include <vector>

#include "vt5api/api/vt5api.h"

// The serials of the HCs on this PC that no program holds open, listed through api (which
// must not be open); empty when listing fails.
std::vector<std::string> ListFreeSerials(CVT5Api& api);
