#pragma once
// The time of day, and a steady clock for pacing work.
//
// The caller may rely on: timeOfDay() is the local time of day as a fraction of a day (0 at midnight,
// one second = 1/86400), in whole seconds; it starts again from 0 at midnight. steadyMilliseconds() never
// goes back, whatever the wall clock does; only differences between two readings mean anything.
// Failure: none.
#include <cstdint>

namespace quorvin::platform {

class ClockService {
public:
    virtual ~ClockService() = default;
    virtual double timeOfDay() = 0;
    virtual std::int64_t steadyMilliseconds() = 0;
};

}  // namespace quorvin::platform
