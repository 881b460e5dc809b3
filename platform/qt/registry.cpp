#include "platform/qt/qt_services.h"

namespace quorvin::platform::qt {

namespace {
constexpr long kErrorInvalidHandle = 6;
}

long NoRegistry::openKey(RegistryKey, std::string_view, std::uint32_t, RegistryKey& opened)
{
    opened = 0;
    return kErrorFileNotFound;
}

long NoRegistry::queryValue(RegistryKey, std::string_view, std::uint32_t&, std::span<std::uint8_t>, std::uint32_t& size)
{
    size = 0;
    return kErrorInvalidHandle;
}

long NoRegistry::closeKey(RegistryKey)
{
    return kErrorInvalidHandle;
}

}  // namespace quorvin::platform::qt
