#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>

namespace platform {

using Millis = std::chrono::milliseconds;
using TimePoint = std::chrono::steady_clock::time_point;

// Time source of the whole suite. Code that waits or measures asks the current clock, so that
// tests can install a VirtualClock and pass through long waits without spending them.
class Clock {
public:
    virtual ~Clock() = default;
    virtual TimePoint now() const = 0;
    virtual void sleepUntil(TimePoint t) = 0;
    // Waits on cv (lock held by the caller) until ready() or the deadline; returns ready().
    virtual bool waitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& cv,
                           TimePoint deadline, const std::function<bool()>& ready) = 0;

    void sleep(Millis d) { sleepUntil(now() + d); }
};

class SteadyClock final : public Clock {
public:
    TimePoint now() const override;
    void sleepUntil(TimePoint t) override;
    bool waitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& cv,
                   TimePoint deadline, const std::function<bool()>& ready) override;
};

// Time that moves only when somebody sleeps or waits: a sleep returns at once with the clock
// advanced. A wait whose condition is not met advances to the deadline, which is right as long
// as everything that could meet the condition runs synchronously on the waiting thread.
class VirtualClock final : public Clock {
public:
    VirtualClock();
    TimePoint now() const override;
    void sleepUntil(TimePoint t) override;
    bool waitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& cv,
                   TimePoint deadline, const std::function<bool()>& ready) override;
    void advance(Millis d);

private:
    mutable std::mutex mutex_;
    TimePoint now_;
};

// The clock in use; the steady clock unless a ScopedClock replaced it.
Clock& clock();

// Installs a clock for its lifetime (tests); restores the previous one when it ends.
class ScopedClock {
public:
    explicit ScopedClock(Clock& c);
    ~ScopedClock();
    ScopedClock(const ScopedClock&) = delete;
    ScopedClock& operator=(const ScopedClock&) = delete;

private:
    Clock* previous_;
};

inline TimePoint now() {
    return clock().now();
}
inline void sleepMs(int64_t ms) {
    if (ms > 0) clock().sleep(Millis(ms));
}
// Milliseconds on the current clock since an arbitrary origin; for elapsed-time arithmetic.
inline int64_t nowMs() {
    return std::chrono::duration_cast<Millis>(now().time_since_epoch()).count();
}

}  // namespace platform
