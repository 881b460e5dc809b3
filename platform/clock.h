#pragma once
// The time of day.
//
// The caller may rely on: timeOfDay() is the local time of day as a fraction of a day (0 at midnight,
// one second = 1/86400), in whole seconds; it starts again from 0 at midnight.
// Failure: none.
namespace quorvin::platform {

class ClockService {
public:
    virtual ~ClockService() = default;
    virtual double timeOfDay() = 0;
};

}  // namespace quorvin::platform
