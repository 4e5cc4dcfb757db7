#pragma once

#include <optional>
#include <string>

// Frame rates of the display updates: 1 to 30 reads a second.
constexpr int kMinFrameRate = 1;
constexpr int kMaxFrameRate = 30;
constexpr int kDefaultFrameRate = 20;

// The rate typed into the edit, read as "%d" reads it (leading blanks skipped, anything after
// the number ignored): nothing when it is no number or below 1; above 30 it is 30.
std::optional<int> ParseFrameRate(const std::string& text);
// Milliseconds between reads.
constexpr int TimerPeriod(int frameRate) {
    return 1000 / frameRate;
}
