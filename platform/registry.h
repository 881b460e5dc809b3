#pragma once
// Read access to the system registry, in the shape of the Win32 calls.
//
// The caller passes a root key, a sub-key path and an access mask to openKey; then a value name and a
// buffer to queryValue; and closes every key it opened with closeKey.
// The caller may rely on: 0 on success, with `type` and `size` (bytes stored) filled by queryValue and the
// value's bytes copied into the buffer; a value larger than the buffer gives a non-zero code.
// Failure: a non-zero Win32 error code. A system without a registry fails every openKey.
#include <cstdint>
#include <span>
#include <string_view>

namespace quorvin::platform {

using RegistryKey = std::uintptr_t;

inline constexpr RegistryKey kHKeyLocalMachine = 0x80000002;
inline constexpr std::uint32_t kKeyRead = 0x20019;
inline constexpr std::uint32_t kRegSz = 1;
inline constexpr std::uint32_t kRegDword = 4;
inline constexpr long kErrorFileNotFound = 2;
inline constexpr long kErrorMoreData = 234;

class RegistryService {
public:
    virtual ~RegistryService() = default;
    virtual long openKey(RegistryKey root, std::string_view subKey, std::uint32_t access, RegistryKey& opened) = 0;
    virtual long queryValue(RegistryKey key, std::string_view valueName, std::uint32_t& type,
                            std::span<std::uint8_t> buffer, std::uint32_t& size) = 0;
    virtual long closeKey(RegistryKey key) = 0;
};

}  // namespace quorvin::platform
