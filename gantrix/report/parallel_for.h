#pragma once

#include <cstddef>
#include <functional>

namespace report {

// The cores this process may run on (its CPU affinity), at least 1.
int UsableCores();

// Runs job(0) .. job(count - 1) on up to `threads` threads, the calling one included, and
// returns when all have ended. Jobs are taken in index order; 1 thread (or 1 job) runs them
// in order on the calling thread. The first exception a job throws is rethrown here once
// every thread has stopped; jobs not yet started are then skipped.
void ParallelFor(size_t count, int threads, const std::function<void(size_t)>& job);

}  // namespace report
