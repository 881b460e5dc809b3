#pragma once
// Message box with a style and an optional title, owned by no window.
//
// The caller passes the text (lines broken by CR LF or by a lone CR), the style (0: OK only;
// 64: information icon and OK) and, optionally, the title.
// The caller may rely on: the box is modal to the whole program and the call returns once it is dismissed;
// without a title the application's title ("Quorvin") is the caption.
// Failure: a box that cannot be shown returns at once; nothing is reported.
#include <optional>
#include <string>
#include <string_view>

namespace quorvin::platform {

inline constexpr int kStyleOkOnly = 0;
inline constexpr int kStyleInformation = 64;

class TitledMessageBoxService {
public:
    virtual ~TitledMessageBoxService() = default;
    virtual void show(std::u16string_view text, int style, const std::optional<std::u16string>& title) = 0;
};

}  // namespace quorvin::platform
