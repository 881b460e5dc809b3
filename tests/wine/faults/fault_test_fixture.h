#pragma once
// The Windows build's fault fixture: the Win32 file service, the process's handles counted by the
// system, paths held as UTF-16 as Windows holds them.
#include <windows.h>

#include <filesystem>
#include <utility>
#include <vector>

#include "platform/win32/win32_services.h"
#include "search_module/scan_options.h"
#include "tests/faults/fault_suite.h"

namespace quorvin::faults {

class FaultTest : public FaultSuite {
protected:
    void SetUp() override
    {
        // The process's first exception opens two handles of the unwinder for good (seen under Wine):
        // throw one before counting starts, so that only files are counted.
        try {
            throw platform::FileError(platform::FileFault::Other, "first exception");
        } catch (const platform::FileError&) {
        }
        // Files are read on a thread of their own: the first search opens handles of the system for good
        // too, and a thread's own handles go a moment after it ended. One search goes first, and the count
        // is taken once it holds still.
        platform::services().binaryFiles = &files;
        ScanOptioons::ScanFile(write("warm-up.txt", "x"), u"y");
        fake.messageBox.shown.clear();
        for (int last = -1, now = openHandles(), tries = 0; now != last && tries < 40; ++tries) {
            Sleep(50);
            last = std::exchange(now, openHandles());
        }
        FaultSuite::SetUp();
    }
    platform::BinaryFileService& systemFiles() override { return files; }
    // The system's list of every handle, as GetProcessHandleCount answers 0 under Wine.
    int openHandles() const override;
    std::u16string textOf(const std::filesystem::path& path) const override { return path.u16string(); }

    platform::win32::BinaryFiles files;
};

inline int FaultTest::openHandles() const
{
    struct Entry {
        ULONG process;
        BYTE type, flags;
        USHORT handle;
        void* object;
        ACCESS_MASK access;
    };
    constexpr int kSystemHandleInformation = 16;
    constexpr LONG kInfoLengthMismatch = static_cast<LONG>(0xC0000004);
    using Query = LONG(WINAPI*)(int, void*, ULONG, ULONG*);
    static const auto query = reinterpret_cast<Query>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
    std::vector<char> buffer(1 << 20);
    ULONG length = 0;
    LONG status;
    while ((status = query(kSystemHandleInformation, buffer.data(), static_cast<ULONG>(buffer.size()), &length)) ==
           kInfoLengthMismatch) {
        buffer.resize(buffer.size() * 2);
    }
    if (status != 0) return -1;
    const ULONG count = *reinterpret_cast<const ULONG*>(buffer.data());
    const auto* entries = reinterpret_cast<const Entry*>(buffer.data() + sizeof(void*));
    int mine = 0;
    for (ULONG i = 0; i < count; ++i) mine += entries[i].process == GetCurrentProcessId();
    return mine;
}

}  // namespace quorvin::faults
