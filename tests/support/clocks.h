// SPDX-License-Identifier: MIT
// Clocks for tests: the run and the result rows read time only through runtime::Clock,
// so a test decides what every reading gives.
#pragma once

#include "runtime/clock.h"

#include <deque>
#include <functional>
#include <initializer_list>

namespace quvo::test {

// Advances by a fixed step at every reading, so a run's timing is the same every time
// and the sustained write lasts a few thousand writes instead of three seconds.
class StepClock final : public runtime::Clock {
public:
    explicit StepClock(double step, double start = 1000.0)
        : now_(start)
        , step_(step)
    {
    }
    double seconds() override
    {
        if (onReading)
            onReading();
        return now_ += step_;
    }
    // From the next reading on, onReading's own included.
    void setStep(double step) { step_ = step; }
    std::function<void()> onReading;

private:
    double now_;
    double step_;
};

// Gives the readings it was given, in order.
class ScriptedClock final : public runtime::Clock {
public:
    explicit ScriptedClock(std::initializer_list<double> readings)
        : readings_(readings)
    {
    }
    double seconds() override
    {
        const double reading = readings_.front();
        readings_.pop_front();
        return reading;
    }
    bool exhausted() const { return readings_.empty(); }

private:
    std::deque<double> readings_;
};

} // namespace quvo::test
