// SPDX-License-Identifier: MIT
#include "runtime/clock.h"

#include <chrono>

namespace quvo::runtime {

double SteadyClock::seconds()
{
    using Seconds = std::chrono::duration<double>;
    return std::chrono::duration_cast<Seconds>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

} // namespace quvo::runtime
