#include <QTime>
#include <chrono>

#include "platform/qt/qt_services.h"

namespace quorvin::platform::qt {

double QtClock::timeOfDay()
{
    return QTime::currentTime().msecsSinceStartOfDay() / 1000 / 86400.0;
}

std::int64_t QtClock::steadyMilliseconds()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace quorvin::platform::qt
