#pragma once
// The running program's identity.
//
// The caller may rely on: title() is "Quorvin"; version() is 1, 1, 0; executableFolder() is the folder
// holding the program, without a trailing separator; instance() is 0 where the system has no such handle.
// Failure: none.
#include <string>

#include "platform/handles.h"

namespace quorvin::platform {

struct Version {
    int major = 0;
    int minor = 0;
    int revision = 0;
};

class ApplicationService {
public:
    virtual ~ApplicationService() = default;
    virtual std::u16string title() = 0;
    virtual Version version() = 0;
    virtual std::u16string executableFolder() = 0;
    virtual InstanceHandle instance() = 0;
};

}  // namespace quorvin::platform
