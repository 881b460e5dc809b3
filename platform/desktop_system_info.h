#pragma once
// The desktop's own system-information program, for systems whose registry names none.
//
// The caller may rely on: start() returns false, having started nothing, when no such program is on the
// machine; otherwise it starts the first one found, by its exact path and never through a shell, and
// returns true at once without waiting for it.
// Failure: throws ProcessStartError when the program found cannot be started.
namespace quorvin::platform {

class DesktopSystemInfoService {
public:
    virtual ~DesktopSystemInfoService() = default;
    virtual bool start() = 0;
};

}  // namespace quorvin::platform
