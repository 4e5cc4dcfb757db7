#pragma once

// Text from a device (card names, firmware descriptions) on a terminal. A terminal obeys the
// control characters it receives, so that a name could move the cursor, rewrite what was
// shown or worse. Shown escaped instead, as ls shows such names, they are harmless and visible.

#include <cstdio>
#include <string>
#include <string_view>

namespace cli {

// The text with each control character as an escape: "\a", "\b", "\t", "\n", "\v", "\f", "\r"
// by their letter, any other one as the octal escape of its bytes ("\033"). Control characters
// are those of ASCII with DEL and the C1 controls U+0080 to U+009F, which terminals obey too;
// bytes that form no UTF-8 character are escaped like them. Characters in `keep` stay as they
// are.
std::string EscapeControls(std::string_view text, std::string_view keep = {});

// EscapeControls when `to` is a terminal; elsewhere the text as it is, for scripts.
std::string ForTerminal(FILE* to, std::string_view text, std::string_view keep = {});

}  // namespace cli
