#pragma once

// Numbers typed into the dialog's edits, read as the C library's "%d" and "%f" read them: a
// number at the start of the text (after blanks) counts, whatever follows it.

#include <optional>
#include <string_view>

namespace starloom {

std::optional<int> ScanInt(std::string_view text);
// Infinities and NaN are no number here: they have no place in any of the settings.
std::optional<double> ScanReal(std::string_view text);

}  // namespace starloom
