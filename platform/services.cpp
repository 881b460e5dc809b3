#include "platform/services.h"

namespace quorvin::platform {

Services& services()
{
    static Services installed;
    return installed;
}

}  // namespace quorvin::platform
