// Faults of the Windows system, searched through ScanFile and the Win32 file service: a file another
// program holds without sharing or with a locked range, reserved device names, pipes, long paths, names
// outside the code page. Started as "--hold MODE PATH", this program is that other program: it opens
// PATH, holds it until the test releases it, and ends.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "fault_test_fixture.h"
#include "search_module/scan_options.h"

namespace quorvin::faults {
namespace {

namespace fs = std::filesystem;

constexpr wchar_t kHeldEvent[] = L"Local\\QuorvinFaultsHeld";
constexpr wchar_t kReleaseEvent[] = L"Local\\QuorvinFaultsRelease";
constexpr std::int64_t kLockedFrom = 40000, kLockedLength = 10000;

// The other program: "exclusive" opens the file sharing nothing; "range" opens it sharing everything
// and locks bytes kLockedFrom.. for itself.
int hold(const std::wstring& mode, const std::wstring& path)
{
    const bool exclusive = mode == L"exclusive";
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                    exclusive ? 0 : FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 1;
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(kLockedFrom);
    if (!exclusive && !LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0,
                                  static_cast<DWORD>(kLockedLength), 0, &at)) {
        return 2;
    }
    const HANDLE held = OpenEventW(EVENT_MODIFY_STATE, FALSE, kHeldEvent);
    const HANDLE release = OpenEventW(SYNCHRONIZE, FALSE, kReleaseEvent);
    SetEvent(held);
    WaitForSingleObject(release, 60000);
    CloseHandle(file);
    return 0;
}

// Starts the other program on `path` and ends it when it goes out of scope.
class OtherProgram {
public:
    OtherProgram(const std::wstring& mode, const fs::path& path)
        : held_(CreateEventW(nullptr, TRUE, FALSE, kHeldEvent)),
          release_(CreateEventW(nullptr, TRUE, FALSE, kReleaseEvent))
    {
        wchar_t self[MAX_PATH];
        GetModuleFileNameW(nullptr, self, MAX_PATH);
        std::wstring command = L"\"" + std::wstring(self) + L"\" --hold " + mode + L" \"" + path.wstring() + L"\"";
        // Under Wine the other program now and then ends before it holds the file; it is started again.
        for (int attempt = 0; attempt < 3 && !holding_; ++attempt) {
            ResetEvent(held_);
            ResetEvent(release_);
            endProcess();
            STARTUPINFOW startup{};
            startup.cb = sizeof startup;
            if (CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                               &process_)) {
                CloseHandle(process_.hThread);
                const HANDLE either[] = {held_, process_.hProcess};
                holding_ = WaitForMultipleObjects(2, either, FALSE, 20000) == WAIT_OBJECT_0;
            }
            if (!holding_) {
                Sleep(200);
            }
        }
    }
    ~OtherProgram()
    {
        SetEvent(release_);
        endProcess();
        CloseHandle(held_);
        CloseHandle(release_);
    }
    bool holding() const { return holding_; }

private:
    void endProcess()
    {
        if (process_.hProcess != nullptr) {
            WaitForSingleObject(process_.hProcess, 20000);
            CloseHandle(process_.hProcess);
            process_.hProcess = nullptr;
        }
    }

    HANDLE held_, release_;
    PROCESS_INFORMATION process_{};
    bool holding_ = false;
};

TEST_F(FaultTest, FileHeldWithoutSharingByAnotherProgram)
{
    const std::u16string file = write("held.txt", "needle");
    {
        OtherProgram other(L"exclusive", dir / "held.txt");
        ASSERT_TRUE(other.holding());
        form.Text2().setText(u"stale");
        expectError(scan(file, u"needle"), file, kDenied);
        EXPECT_EQ(form.Text2().text(), u"");
    }
    countHandlesFromHere();  // the process's first CreateProcess keeps a handle of the system's
    EXPECT_EQ(scan(file, u"needle").caption, kFound);  // once the other program let go
}

TEST_F(FaultTest, RangeLockedByAnotherProgram)
{
    const std::u16string file = write("locked.bin", std::string(100000, 'x') + "needle");
    {
        OtherProgram other(L"range", dir / "locked.bin");
        ASSERT_TRUE(other.holding());
        // The second block reaches into the locked bytes: Windows refuses that read, and the search stops
        // there, telling the user the file is locked. Wine does not enforce byte-range locks on reads and
        // finds the text.
        const testing::MessageRecord shown = scan(file, u"needle");
        if (shown.caption == kError) {
            expectError(shown, file, kDenied);
        } else {
            EXPECT_EQ(shown.caption, kFound);
        }
        EXPECT_EQ(form.Text2().text(), u"100006");
        // Text in the first block is found before the lock is met.
        EXPECT_EQ(scan(file, u"xxx").caption, kFound);
    }
    countHandlesFromHere();  // the process's first CreateProcess keeps a handle of the system's
    EXPECT_EQ(scan(file, u"needle").caption, kFound);
}

TEST_F(FaultTest, ReservedNamesPipesAndFoldersAreRefusedWithoutBlocking)
{
    const HANDLE pipe =
        CreateNamedPipeW(L"\\\\.\\pipe\\quorvin-faults", PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE, 1, 0, 0, 0, nullptr);
    ASSERT_NE(pipe, INVALID_HANDLE_VALUE);
    // Device names, in any folder and with any extension, and a pipe: opened, seen to be no disk file, closed.
    for (const std::u16string& device : {path("nul.txt"), path("NUL"), path("aux"), std::u16string(u"\\\\.\\NUL"),
                                         std::u16string(u"\\\\.\\pipe\\quorvin-faults")}) {
        expectError(scan(device, u"abc"), device, kNotRegular);
    }
    // The console: Windows opens it and refuses it as above; Wine, with no console to give, cannot open it.
    for (const std::u16string& console : {path("con.log"), std::u16string(u"CONIN$")}) {
        EXPECT_EQ(scan(console, u"abc").caption, kError);
    }
    CloseHandle(pipe);
    expectError(scan(textOf(dir), u"abc"), textOf(dir), u"Ce chemin désigne un dossier, pas un fichier.");
}

TEST_F(FaultTest, FilesWhoseSizeReadsZeroAreReadToTheirRealEnd)
{
    // Wine shows the Linux root as Z:, where /proc tells a size of 0 for files that hold text.
    const std::u16string cpuinfo = u"Z:\\proc\\cpuinfo";
    if (GetFileAttributesW(reinterpret_cast<const wchar_t*>(cpuinfo.c_str())) == INVALID_FILE_ATTRIBUTES) {
        GTEST_SKIP() << "no Linux /proc here";
    }
    const testing::MessageRecord found = scan(cpuinfo, u"processor");
    EXPECT_EQ(found.caption, kFound);
    EXPECT_NE(form.Text2().text(), u"0");
    EXPECT_TRUE(found.text.starts_with(form.Text2().text() + u" Octets ont été scannés."));
}

// Files that are named pipes opened by path: a read waits until the other end writes or goes, as on a
// stalled network share. The real service refuses pipes; this one stands in for a file system that stalls.
class PipeFiles final : public platform::BinaryFileService {
public:
    class File final : public platform::BinaryFile {
    public:
        File(HANDLE handle, std::atomic<int>& open) : handle_(handle), open_(open) { ++open_; }
        ~File() override
        {
            CloseHandle(handle_);
            --open_;
        }
        std::int64_t length() override { return 10 * 32000; }
        std::size_t read(std::int64_t, std::span<std::uint8_t> into) override
        {
            DWORD got = 0;
            return ReadFile(handle_, into.data(), static_cast<DWORD>(into.size()), &got, nullptr) ? got : 0;
        }

    private:
        HANDLE handle_;
        std::atomic<int>& open_;
    };

    std::unique_ptr<platform::BinaryFile> openRead(std::u16string_view path) override
    {
        const HANDLE handle = CreateFileW(std::wstring(path.begin(), path.end()).c_str(), GENERIC_READ, 0, nullptr,
                                          OPEN_EXISTING, 0, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            throw platform::FileError(platform::FileFault::Other, "no pipe");
        }
        return std::make_unique<File>(handle, open);
    }
    std::atomic<int> open = 0;
};

TEST_F(FaultTest, AReadThatWaitsIsAbandonedAndItsFileClosedWhenItReturns)
{
    const std::u16string name = u"\\\\.\\pipe\\quorvin-stalled";
    const int before = openHandles();
    const HANDLE server = CreateNamedPipeW(reinterpret_cast<const wchar_t*>(name.c_str()), PIPE_ACCESS_OUTBOUND,
                                           PIPE_TYPE_BYTE, 1, 0, 0, 0, nullptr);
    ASSERT_NE(server, INVALID_HANDLE_VALUE);
    PipeFiles pipes;
    platform::services().binaryFiles = &pipes;
    // Every pause lasts 200 ms; once the progress window shows, the user presses Annuler.
    fake.windows.onProcessEvents = [&](testing::FakeWindow* owned, bool) {
        fake.clock.steady += 200;
        if (owned != nullptr) owned->click("cmdCancel");
    };
    const ULONGLONG start = GetTickCount64();
    ScanOptioons::ScanFile(name, u"needle");
    EXPECT_LT(GetTickCount64() - start, 5000u);
    ASSERT_EQ(fake.messageBox.shown.size(), 1u);
    EXPECT_EQ(fake.messageBox.shown[0].caption, u"Recherche annulée");
    EXPECT_EQ(fake.windows.ownedShown, std::vector<std::string>{"frmProgress"});
    EXPECT_EQ(pipes.open, 1) << "the read still waits";

    // The other end goes: the read returns and the file is closed.
    CloseHandle(server);
    for (int i = 0; i < 250 && (pipes.open != 0 || openHandles() != before); ++i) Sleep(20);
    EXPECT_EQ(pipes.open, 0);
    EXPECT_EQ(openHandles(), before);
}

TEST_F(FaultTest, LongPathsWithTheirPrefix)
{
    // Over 1000 characters, far beyond MAX_PATH, reached with the \\?\ prefix.
    std::vector<std::u16string> folders{u"\\\\?\\" + textOf(dir)};
    for (int i = 0; i < 5; ++i) {
        folders.push_back(folders.back() + u"\\" + std::u16string(200, static_cast<char16_t>(u'a' + i)));
        ASSERT_TRUE(CreateDirectoryW(reinterpret_cast<const wchar_t*>(folders.back().c_str()), nullptr));
    }
    const std::u16string& deep = folders.back();
    const std::u16string file = deep + u"\\needle.txt";
    const HANDLE handle =
        CreateFileW(reinterpret_cast<const wchar_t*>(file.c_str()), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(handle, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(handle, "Needle", 6, &written, nullptr);
    CloseHandle(handle);

    EXPECT_EQ(scan(file, u"NEEDLE").caption, kFound);
    EXPECT_EQ(form.Text2().text(), u"6");
    // Without the prefix, Windows without long path support cannot reach it and says so; Wine reads it.
    const std::u16string caption = scan(file.substr(4), u"NEEDLE").caption;
    EXPECT_TRUE(caption == kFound || caption == kError);

    // Removed the same way, as the folder's own clean-up takes no prefix.
    DeleteFileW(reinterpret_cast<const wchar_t*>(file.c_str()));
    for (auto folder = folders.rbegin(); folder + 1 != folders.rend(); ++folder) {
        RemoveDirectoryW(reinterpret_cast<const wchar_t*>(folder->c_str()));
    }
}

TEST_F(FaultTest, NamesOutsideTheCodePage)
{
    for (const std::wstring name :
         {L"\u0394 \u212A \U0001F600.txt", L"\u65E5\u672C.txt", L"caf\u00E9 \u0153uvre.txt"}) {
        const std::u16string file = write(fs::path(name), "needle");
        const testing::MessageRecord shown = scan(file, u"needle");
        EXPECT_EQ(shown.caption, kFound);
        EXPECT_TRUE(shown.text.ends_with(u"\r" + file)) << "the path is shown as it is";
    }
}

}  // namespace
}  // namespace quorvin::faults

int wmain(int argc, wchar_t** argv)
{
    if (argc == 4 && std::wstring(argv[1]) == L"--hold") {
        return quorvin::faults::hold(argv[2], argv[3]);
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
