// SPDX-License-Identifier: MIT
#include "runtime/clock.h"

#include <chrono>

namespace quvo::runtime {

// Linux: CLOCK_MONOTONIC. Windows: QueryPerformanceCounter, directly with MSVC and through
// winpthreads' clock_gettime(CLOCK_MONOTONIC) with MinGW-w64, both in nanosecond ticks.
double SteadyClock::seconds()
{
    using Seconds = std::chrono::duration<double>;
    return std::chrono::duration_cast<Seconds>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

} // namespace quvo::runtime
