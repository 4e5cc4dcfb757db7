#pragma once

#include <map>
#include <string>
#include <string_view>

namespace report {

// Placeholder keys (without their percent signs) and their values, in ascending byte order of
// the keys; setting a key again replaces its value.
using TemplateDictionary = std::map<std::string, std::string>;

// Placeholders compare this many bytes of their key at most.
constexpr size_t kMaxKeyLength = 62;

// The template up to its first zero byte, with every "%KEY%" replaced by its value: key by key
// in dictionary order, each left to right without overlaps. Values go in as they stand (a later
// key is replaced inside an earlier value too); placeholders without a key stay.
std::string SubstituteTemplate(std::string_view pageTemplate, const TemplateDictionary& keys);

}  // namespace report
