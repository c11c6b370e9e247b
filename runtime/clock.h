// SPDX-License-Identifier: MIT
// Where measurements take their times from.
#pragma once

namespace quvo::runtime {

class Clock {
public:
    virtual ~Clock() = default;
    // Seconds, double precision. Only differences between readings mean anything.
    virtual double seconds() = 0;
};

// Monotonic and high-resolution: a measurement that spans midnight or a change of
// the wall clock still gets its true duration.
class SteadyClock final : public Clock {
public:
    double seconds() override;
};

} // namespace quvo::runtime
