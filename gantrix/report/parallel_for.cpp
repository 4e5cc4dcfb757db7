#include "gantrix/report/parallel_for.h"

#include <sched.h>

#include <algorithm>
#include <atomic>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace report {

int UsableCores() {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) == 0) return std::max(1, CPU_COUNT(&set));
    return std::max(1, int(std::thread::hardware_concurrency()));
}

void ParallelFor(size_t count, int threads, const std::function<void(size_t)>& job) {
    const size_t helpers = std::min(count, size_t(std::max(threads, 1))) - (count > 0 ? 1 : 0);
    if (helpers == 0) {
        for (size_t i = 0; i < count; ++i)
            job(i);
        return;
    }

    std::atomic<size_t> next{0};
    std::atomic<bool> stop{false};
    std::exception_ptr failure;
    std::mutex failureMutex;
    auto work = [&] {
        for (size_t i = next++; i < count && !stop; i = next++) {
            try {
                job(i);
            } catch (...) {
                const std::lock_guard<std::mutex> lock(failureMutex);
                if (!failure) failure = std::current_exception();
                stop = true;
            }
        }
    };

    std::vector<std::thread> pool;
    pool.reserve(helpers);
    for (size_t i = 0; i < helpers; ++i) {
        try {
            pool.emplace_back(work);
        } catch (const std::system_error&) {
            break;  // no more threads to be had: the ones running (and this one) do the work
        }
    }
    work();
    for (std::thread& thread : pool)
        thread.join();
    if (failure) std::rethrow_exception(failure);
}

}  // namespace report
