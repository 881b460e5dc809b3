#pragma once
// The system's open-file dialog.
//
// The caller passes the dialog record below. `filter` holds pairs of display text and pattern, each item
// ended by a NUL, the whole list ended by one more NUL. `fileBuffer` is what the file-name box opens with.
// The caller may rely on: true, with the chosen path in `fileBuffer` ended by a NUL (what follows is padding),
// when the user chose an existing file; false otherwise. The dialog is modal to `owner`.
// Failure: a dialog that cannot be shown, or a path that does not fit, returns false, like a cancel.
#include <cstdint>
#include <string>

#include "platform/handles.h"

namespace quorvin::platform {

inline constexpr std::uint32_t kOfnHideReadOnly = 0x4;
inline constexpr std::uint32_t kOfnFileMustExist = 0x1000;

struct OpenFileRecord {
    WindowHandle owner = 0;
    InstanceHandle instance = 0;
    std::u16string filter;
    std::u16string fileBuffer;
    std::u16string fileTitleBuffer;
    std::u16string initialDir;
    std::u16string title;
    std::uint32_t flags = 0;
};

class OpenFileDialogService {
public:
    virtual ~OpenFileDialogService() = default;
    virtual bool show(OpenFileRecord& record) = 0;
};

}  // namespace quorvin::platform
