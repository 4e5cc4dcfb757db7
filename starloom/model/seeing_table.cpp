#include "starloom/model/seeing_table.h"

#include <charconv>
#include <cmath>
#include <fstream>
#include <string>
#include <string_view>

namespace starloom {

namespace {

// Reads a number as "%f" would (leading blanks, optional sign), but independent of the
// locale that a Qt program switches to; infinities and NaN are refused.
const char* ParseNumber(const char* p, const char* end, float& value) {
    while (p < end && (*p == ' ' || *p == '\t'))
        ++p;
    if (p < end && *p == '+') ++p;
    const auto [next, error] = std::from_chars(p, end, value);
    if (error != std::errc() || !std::isfinite(value)) return nullptr;
    return next;
}

bool ParseSample(std::string_view line, float& first, float& second) {
    const char* end = line.data() + line.size();
    const char* p = ParseNumber(line.data(), end, first);
    if (p == nullptr || p == end || *p != ',') return false;
    return ParseNumber(p + 1, end, second) != nullptr;
}

// Mean 0 and unit variance; a constant column stays 0 instead of dividing by 0.
void Normalise(std::vector<float>& column) {
    if (column.empty()) return;
    double sum = 0.0;
    for (float v : column)
        sum += v;
    const auto mean = static_cast<float>(sum / static_cast<double>(column.size()));
    double squares = 0.0;
    for (float& v : column) {
        v -= mean;
        squares += static_cast<double>(v) * v;
    }
    const double rms = std::sqrt(squares / static_cast<double>(column.size()));
    if (rms <= 0.0) return;
    for (float& v : column)
        v = static_cast<float>(v / rms);
}

}  // namespace

bool LoadSeeingTable(SeeingTable& table, const std::filesystem::path& path, float rate) {
    std::ifstream file(path);
    if (!file) return false;
    table.column1.clear();
    table.column2.clear();
    std::string line;
    while (table.count() < SeeingTable::kMaxSamples && std::getline(file, line)) {
        float first = 0.0f;
        float second = 0.0f;
        if (!ParseSample(line, first, second)) continue;
        table.column1.push_back(first);
        table.column2.push_back(second);
    }
    table.rate = rate;
    Normalise(table.column1);
    Normalise(table.column2);
    return true;
}

std::optional<SeeingSample> SeeingOffset(const SeeingTable& table, int64_t timeMs) {
    const auto n = static_cast<int64_t>(table.count());
    if (n == 0) return std::nullopt;
    // Double precision: in float the fraction would vanish once the HC has run for hours.
    const double p = static_cast<double>(timeMs) * table.rate / 1000.0;
    const double whole = std::floor(p);
    const double phi = p - whole;
    // Floor modulo keeps the index in the table for times before the origin too.
    int64_t i = static_cast<int64_t>(std::fmod(whole, static_cast<double>(n)));
    if (i < 0) i += n;
    const int64_t j = (i + 1) % n;
    const auto at = [&](const std::vector<float>& c) {
        return static_cast<float>(c[i] + (c[j] - c[i]) * phi);
    };
    return SeeingSample{at(table.column2), at(table.column1)};
}

}  // namespace starloom
