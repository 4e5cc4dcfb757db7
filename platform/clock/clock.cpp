#include "platform/clock/clock.h"

#include <atomic>
#include <thread>

namespace platform {

TimePoint SteadyClock::now() const {
    return std::chrono::steady_clock::now();
}

void SteadyClock::sleepUntil(TimePoint t) {
    std::this_thread::sleep_until(t);
}

bool SteadyClock::waitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& cv,
                            TimePoint deadline, const std::function<bool()>& ready) {
    return cv.wait_until(lock, deadline, ready);
}

// Starts at the real time so that time points from both clocks stay comparable in size.
VirtualClock::VirtualClock() : now_(std::chrono::steady_clock::now()) {}

TimePoint VirtualClock::now() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return now_;
}

void VirtualClock::sleepUntil(TimePoint t) {
    std::lock_guard<std::mutex> guard(mutex_);
    if (t > now_) now_ = t;
}

bool VirtualClock::waitUntil(std::unique_lock<std::mutex>&, std::condition_variable&,
                             TimePoint deadline, const std::function<bool()>& ready) {
    if (ready()) return true;
    sleepUntil(deadline);
    return ready();
}

void VirtualClock::advance(Millis d) {
    std::lock_guard<std::mutex> guard(mutex_);
    now_ += d;
}

namespace {
SteadyClock steadyClock;
std::atomic<Clock*> current{&steadyClock};
}  // namespace

Clock& clock() {
    return *current.load(std::memory_order_acquire);
}

ScopedClock::ScopedClock(Clock& c) : previous_(current.exchange(&c)) {}

ScopedClock::~ScopedClock() {
    current.store(previous_);
}

}  // namespace platform
