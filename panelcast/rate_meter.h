#pragma once

#include <cstdint>
#include <deque>

// The frames per second actually drawn: frames of the last second.
class RateMeter {
public:
    void Frame(int64_t nowMs) {
        times_.push_back(nowMs);
        Trim(nowMs);
    }
    double PerSecond(int64_t nowMs) {
        Trim(nowMs);
        if (times_.size() < 2) return static_cast<double>(times_.size());
        // Over the span the frames cover, so that a rate shows from the second frame on.
        double span = static_cast<double>(times_.back() - times_.front());
        return span > 0 ? (static_cast<double>(times_.size()) - 1) * 1000.0 / span : 0.0;
    }
    void Reset() { times_.clear(); }

private:
    void Trim(int64_t nowMs) {
        while (!times_.empty() && times_.front() <= nowMs - 1000)
            times_.pop_front();
    }
    std::deque<int64_t> times_;
};
