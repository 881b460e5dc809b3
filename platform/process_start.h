#pragma once
// Starts a program and does not wait for it.
//
// The caller passes the program's exact path (never parsed as a command line: spaces in it are part of the
// name) and the window style (1: normal, with focus).
// The caller may rely on: the call returns as soon as the program is started; it is not watched.
// Failure: throws ProcessStartError when the program cannot be started.
#include <stdexcept>
#include <string_view>

namespace quorvin::platform {

inline constexpr int kShowNormalFocus = 1;

class ProcessStartError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class ProcessStartService {
public:
    virtual ~ProcessStartService() = default;
    virtual void start(std::u16string_view programPath, int windowStyle) = 0;
};

}  // namespace quorvin::platform
