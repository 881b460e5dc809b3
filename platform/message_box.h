#pragma once
// Message box owned by a window.
//
// The caller passes the owner's handle, the text (lines broken by CR LF or by a lone CR), the caption
// and the type: 0 for an OK button alone, 16 for an error icon with OK, 64 for an information icon with OK.
// The caller may rely on: the call returns only once the user has dismissed the box, and the owner takes
// no input meanwhile. Every line break of the text shows as a line break; a word too long for a line of
// the box wraps, so that the box stays within the screen.
// Failure: a box that cannot be shown returns at once; nothing is reported.
#include <string_view>

#include "platform/handles.h"

namespace quorvin::platform {

inline constexpr int kMessageOk = 0;
inline constexpr int kMessageError = 16;
inline constexpr int kMessageInformation = 64;

class MessageBoxService {
public:
    virtual ~MessageBoxService() = default;
    virtual void show(WindowHandle owner, std::u16string_view text, std::u16string_view caption, int type) = 0;
};

}  // namespace quorvin::platform
