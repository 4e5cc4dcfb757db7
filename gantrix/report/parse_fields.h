#pragma once

#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>
#include <variant>

#include "gantrix/report/line_table.h"

namespace report {

// The token at cursor: the bytes up to the next TAB or the end of text. The cursor moves behind
// the token and the TAB that ends it. Tokens may be empty, also past the end of text.
std::string_view NextToken(std::string_view text, size_t& cursor);

// Where ParseFields stores a field: text for 's', int for 'i', float for 'f'.
using FieldOutput = std::variant<std::string*, int*, float*>;

// Reads the fields of line from its field cursor on, one per letter of types: 's' stores the
// token as text (an empty token counts), 'i' and 'f' need a token that converts as "%d" or "%f".
// Stops at the first numeric token that is empty or does not convert, at a letter other than
// s, i, f, or when a letter's output is missing or of another kind. Returns the number of
// fields stored; fields behind the expected ones are ignored.
int ParseFields(const LogLine& line, std::string_view types,
                std::initializer_list<FieldOutput> outputs);

}  // namespace report
