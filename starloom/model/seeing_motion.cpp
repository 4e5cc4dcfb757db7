#include "starloom/model/seeing_motion.h"

#include <cmath>
#include <random>

namespace starloom {

namespace {

void Fill(std::vector<float>& column, std::mt19937& generator) {
    std::normal_distribution<double> gauss(0.0, 1.0);
    const double rho = BuiltInSeeing::kCorrelation;
    const double innovation = std::sqrt(1.0 - rho * rho);
    column.assign(SeeingTable::kMaxSamples, 0.0f);
    double v = gauss(generator);
    for (float& sample : column) {
        v = rho * v + innovation * gauss(generator);
        sample = static_cast<float>(v);
    }
    // Mean 0 and unit variance, as a table read from a file.
    double sum = 0.0, squares = 0.0;
    for (float s : column)
        sum += s;
    const double mean = sum / static_cast<double>(column.size());
    for (float s : column)
        squares += (s - mean) * (s - mean);
    const double rms = std::sqrt(squares / static_cast<double>(column.size()));
    for (float& s : column)
        s = static_cast<float>((s - mean) / rms);
}

}  // namespace

void MakeBuiltInSeeing(SeeingTable& table, uint32_t seed) {
    std::mt19937 generator(seed);
    Fill(table.column1, generator);
    Fill(table.column2, generator);
    table.rate = SeeingTable::kDefaultRate;
}

}  // namespace starloom
