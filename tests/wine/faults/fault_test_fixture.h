#pragma once
// The Windows build's fault fixture: the Win32 file service, the process's handles counted by the
// system, paths held as UTF-16 as Windows holds them.
#include <windows.h>

#include <cstdint>
#include <filesystem>
#include <vector>

#include "platform/win32/win32_services.h"
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
        // Only files are counted: the threads that read and the waits for them open handles of the
        // system of their own, some for good, some for a moment after a thread ended. The kind of handle
        // a file is, is taken from one opened here.
        const HANDLE probe = CreateFileW((dir / L"probe").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                         FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        fileType_ = typeOf(probe);
        CloseHandle(probe);
        FaultSuite::SetUp();
    }
    platform::BinaryFileService& systemFiles() override { return files; }
    // The process's files in the system's list of every handle, as GetProcessHandleCount answers 0 under
    // Wine.
    int openHandles() const override;
    std::u16string textOf(const std::filesystem::path& path) const override { return path.u16string(); }

    platform::win32::BinaryFiles files;

private:
    struct Entry {
        ULONG process;
        BYTE type, flags;
        USHORT handle;
        void* object;
        ACCESS_MASK access;
    };
    // The process's entries in the system's list of every handle.
    static std::vector<Entry> handlesOfThisProcess();
    static int typeOf(HANDLE handle);

    int fileType_ = -1;
};

inline std::vector<FaultTest::Entry> FaultTest::handlesOfThisProcess()
{
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
    std::vector<Entry> mine;
    if (status != 0) return mine;
    const ULONG count = *reinterpret_cast<const ULONG*>(buffer.data());
    const auto* entries = reinterpret_cast<const Entry*>(buffer.data() + sizeof(void*));
    for (ULONG i = 0; i < count; ++i) {
        if (entries[i].process == GetCurrentProcessId()) mine.push_back(entries[i]);
    }
    return mine;
}

inline int FaultTest::typeOf(HANDLE handle)
{
    for (const Entry& entry : handlesOfThisProcess()) {
        if (entry.handle == static_cast<USHORT>(reinterpret_cast<std::uintptr_t>(handle))) return entry.type;
    }
    return -1;
}

inline int FaultTest::openHandles() const
{
    int files = 0;
    for (const Entry& entry : handlesOfThisProcess()) files += fileType_ < 0 || entry.type == fileType_;
    return files;
}

}  // namespace quorvin::faults
