#pragma once
// Hands a web address, a mailto: address or a document to the user's default handler.
//
// The caller passes the owner window, the verb ("Open"), the target, the parameters, the working folder
// and the show state (1: normal).
// The caller may rely on: the call returns at once; the handler runs on its own.
// Failure: none is reported; a target without a handler simply does not open.
#include <string_view>

#include "platform/handles.h"

namespace quorvin::platform {

class ShellOpenService {
public:
    virtual ~ShellOpenService() = default;
    virtual void open(WindowHandle owner, std::u16string_view verb, std::u16string_view target,
                      std::u16string_view parameters, std::u16string_view workingFolder, int showState) = 0;
};

}  // namespace quorvin::platform
