#include <windows.h>

#include "platform/win32/win32_services.h"

namespace quorvin::platform::win32 {

double Clock::timeOfDay()
{
    SYSTEMTIME now{};
    GetLocalTime(&now);
    return (now.wHour * 3600 + now.wMinute * 60 + now.wSecond) / 86400.0;
}

std::int64_t Clock::steadyMilliseconds()
{
    return static_cast<std::int64_t>(GetTickCount64());
}

}  // namespace quorvin::platform::win32
