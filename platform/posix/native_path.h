#pragma once
// File names on Linux are bytes, most often UTF-8. The core holds them as UTF-16: valid UTF-8 is
// decoded, and each byte of an invalid sequence becomes a lone surrogate U+DC80..U+DCFF, so that every
// name, even one that is not UTF-8, comes back to the very same bytes.
#include <string>
#include <string_view>

namespace quorvin::platform::posix {

std::u16string fromNativePath(std::string_view bytes);
std::string toNativePath(std::u16string_view path);

}  // namespace quorvin::platform::posix
