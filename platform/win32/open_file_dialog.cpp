#include <windows.h>

#include <commdlg.h>

#include <algorithm>
#include <vector>

#include "platform/win32/wide_text.h"
#include "platform/win32/win32_services.h"

namespace quorvin::platform::win32 {

namespace {

// Room for the longest path Windows accepts, not just the 255 characters of the record's buffer.
constexpr std::size_t kPathRoom = 32768;

// The caller's buffer text in a NUL-ended buffer of kPathRoom characters.
std::vector<wchar_t> roomFor(const std::u16string& opening)
{
    std::vector<wchar_t> buffer(kPathRoom, L'\0');
    std::copy_n(opening.begin(), std::min(opening.size(), kPathRoom - 1), buffer.begin());
    return buffer;
}

}  // namespace

bool OpenFileDialog::show(OpenFileRecord& record)
{
    std::vector<wchar_t> file = roomFor(record.fileBuffer);
    std::vector<wchar_t> fileTitle = roomFor(record.fileTitleBuffer);
    const std::wstring filter = wide(record.filter);  // its own items' NULs and the closing one; c_str adds the last
    const std::wstring initialDir = wide(record.initialDir);
    const std::wstring title = wide(record.title);

    OPENFILENAMEW dialog{};
    dialog.lStructSize = OPENFILENAME_SIZE_VERSION_400W;
    dialog.hwndOwner = reinterpret_cast<HWND>(record.owner);
    dialog.hInstance = reinterpret_cast<HINSTANCE>(record.instance);
    dialog.lpstrFilter = filter.c_str();
    dialog.lpstrFile = file.data();
    dialog.nMaxFile = static_cast<DWORD>(file.size());
    dialog.lpstrFileTitle = fileTitle.data();
    dialog.nMaxFileTitle = static_cast<DWORD>(fileTitle.size());
    dialog.lpstrInitialDir = orNull(initialDir);
    dialog.lpstrTitle = orNull(title);
    // The chosen file is not added to the user's recent documents (Recent folder, jump lists).
    dialog.Flags = record.flags | OFN_DONTADDTORECENT;
    if (!GetOpenFileNameW(&dialog)) {
        return false;
    }
    record.fileBuffer = fromWide(std::wstring_view(file.data()));
    record.fileBuffer.push_back(u'\0');
    return true;
}

}  // namespace quorvin::platform::win32
