#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/registry/hive.h"

namespace platform::registry {

// The hive file is a Windows .reg export ("Windows Registry Editor Version 5.00") that regedit
// can import as it stands:
//   [HKEY_CURRENT_USER\Key\Sub]        one section per key that has values or was created
//   "name"="text"                      REG_SZ of printable ASCII with one terminating NUL;
//                                      \\ and \" are the only escapes
//   @=dword:0000abcd                   REG_DWORD of 4 bytes; @ is the default value
//   "name"=hex(1):41,00,0a,00,00,00    any other REG_SZ as UTF-16LE (see utf16.h): newlines,
//                                      non-ASCII text, missing or inner NULs
//   "name"=hex:..  /  =hex(N):..       other types and sizes, bytes as written
// Writing uses CRLF and wraps long hex lists with "\" as regedit does. Reading also takes LF,
// comments (;), blank lines, UTF-8 or UTF-16LE files with a byte order mark, raw 8-bit text in
// quoted strings, and the delete forms "name"=- and [-Key], which are applied as they are met.

// Parses a whole hive file. False on the first fault (a line that is none of the above, a bad
// escape, a bad dword or hex list, a missing header); badLine then receives its line number.
bool parseHive(std::string_view file, Hive& hive, std::size_t* badLine = nullptr);

std::string formatHive(const Hive& hive);

}  // namespace platform::registry
