#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace hcsim {

// FAT's 8.3 names, made from long names the way FAT makes them.

// Whether a name can be a FAT long name: 1 to 255 bytes, none of " * / : < > ? \ | or control
// characters, not made of dots and spaces alone, and not ending in a dot or a space (FAT
// drops those, so a host file named so has no name on a card).
bool validLongName(std::string_view name);

// The basis of the short name: upper case, spaces and leading dots dropped, characters that
// short names cannot hold (+ , ; = [ ] and every non-ASCII character) replaced by '_', the
// first 8 characters before the last dot and the first 3 after it. `exact` tells whether
// the long name, in upper case, is this basis itself (then no ~n tail is needed).
std::string shortNameBasis(std::string_view longName, bool& exact);

// The short name for longName among the names that `taken` reports (compared in upper case):
// the basis when it is exact and free, otherwise the basis with the first free tail ~1, ~2,
// ... that replaces the end of its first part (at most 8 characters with the tail).
std::string makeShortName(std::string_view longName,
                          const std::function<bool(const std::string&)>& taken);

// ASCII upper case; FAT compares names without regard to case.
std::string upperCase(std::string_view text);

}  // namespace hcsim
