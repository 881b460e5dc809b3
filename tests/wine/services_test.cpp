// The Win32 services against the real system (under Wine in CI): files, attributes, locale, registry,
// process start, the renderer's windows; and the owning wrappers of their handles.
#include <windows.h>

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "about_window/frm_about.h"
#include "main_window/frm_scan.h"
#include "platform/win32/scoped_handles.h"
#include "platform/win32/win32_services.h"
#include "platform/win32/window_system.h"
#include "platform/window_geometry.h"
#include "progress_window/scan_progress.h"

namespace quorvin::platform::win32 {
namespace {

namespace fs = std::filesystem;

class Win32Files : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder_ = fs::temp_directory_path() /
                  ("quorvin-services-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(folder_);
        fs::create_directories(folder_);
    }
    void TearDown() override
    {
        for (const auto& entry : fs::recursive_directory_iterator(folder_)) {
            SetFileAttributesW(entry.path().c_str(), FILE_ATTRIBUTE_NORMAL);
        }
        fs::remove_all(folder_);
    }
    std::u16string write(const std::wstring& name, const std::string& bytes, DWORD attributes = 0)
    {
        const fs::path path = folder_ / name;
        std::ofstream(path, std::ios::binary) << bytes;
        if (attributes != 0) {
            SetFileAttributesW(path.c_str(), attributes);
        }
        return path.u16string();
    }
    fs::path folder_;
};

TEST_F(Win32Files, ReadsAtOneBasedPositionsAndStopsAtTheEnd)
{
    BinaryFiles files;
    auto file = files.openRead(write(L"éèà name.txt", "0123456789"));
    ASSERT_EQ(file->length(), 10);
    std::array<std::uint8_t, 4> block{};
    EXPECT_EQ(file->read(1, block), 4u);
    EXPECT_EQ(std::string(block.begin(), block.end()), "0123");
    EXPECT_EQ(file->read(9, block), 2u);
    EXPECT_EQ(std::string(block.begin(), block.begin() + 2), "89");
    EXPECT_EQ(file->read(11, block), 0u);
}

TEST_F(Win32Files, ReadsBeyondFourGibibytes)
{
    // A sparse file: its size costs no disk.
    const fs::path path = folder_ / L"large.bin";
    HANDLE handle = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(handle, INVALID_HANDLE_VALUE);
    const LONGLONG end = (5LL << 30) + 3;
    LARGE_INTEGER at{};
    at.QuadPart = end - 3;
    SetFilePointerEx(handle, at, nullptr, FILE_BEGIN);
    DWORD written = 0;
    WriteFile(handle, "XYZ", 3, &written, nullptr);
    CloseHandle(handle);

    BinaryFiles files;
    auto file = files.openRead(path.u16string());
    EXPECT_EQ(file->length(), end);
    std::array<std::uint8_t, 8> block{};
    ASSERT_EQ(file->read(end - 2, block), 3u);
    EXPECT_EQ(std::string(block.begin(), block.begin() + 3), "XYZ");
}

TEST_F(Win32Files, NamesTheCauseOfAFileThatCannotBeRead)
{
    BinaryFiles files;
    const auto faultOf = [&files](const std::u16string& path) {
        try {
            files.openRead(path);
        } catch (const FileError& error) {
            return error.fault();
        }
        return FileFault::Other;
    };
    EXPECT_EQ(faultOf((folder_ / L"missing.txt").u16string()), FileFault::NotFound);
    EXPECT_EQ(faultOf((folder_ / L"no folder" / L"x.txt").u16string()), FileFault::NotFound);
    EXPECT_EQ(faultOf(folder_.u16string()), FileFault::IsDirectory);

    // Locked by a program that shares nothing.
    const std::u16string locked = write(L"locked.txt", "abc");
    HANDLE handle = CreateFileW(reinterpret_cast<const wchar_t*>(locked.c_str()), GENERIC_READ, 0, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(handle, INVALID_HANDLE_VALUE);
    EXPECT_EQ(faultOf(locked), FileFault::AccessDenied);
    CloseHandle(handle);
}

TEST_F(Win32Files, LeavesNoHandleOpen)
{
    BinaryFiles files;
    const std::u16string path = write(L"some.txt", "abc");
    const std::u16string missing = (folder_ / L"missing.txt").u16string();
    const auto handles = [] {
        DWORD count = 0;
        GetProcessHandleCount(GetCurrentProcess(), &count);
        return count;
    };
    const auto openAndFail = [&] {
        files.openRead(path);
        EXPECT_THROW(files.openRead(missing), FileError);
        EXPECT_THROW(files.openRead(folder_.u16string()), FileError);
    };
    openAndFail();  // the system's own first-use handles
    const DWORD before = handles();
    openAndFail();
    EXPECT_EQ(handles(), before);
}

TEST_F(Win32Files, SearchesAFileAnotherProgramIsWriting)
{
    const std::u16string path = write(L"log.txt", "first");
    HANDLE writer = CreateFileW(reinterpret_cast<const wchar_t*>(path.c_str()), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    BinaryFiles files;
    EXPECT_EQ(files.openRead(path)->length(), 5);
    CloseHandle(writer);
}

TEST_F(Win32Files, ExistsOnlyForNormalFiles)
{
    FileExists test;
    const std::u16string normal = write(L"normal.exe", "x");
    const std::u16string hidden = write(L"hidden.exe", "x", FILE_ATTRIBUTE_HIDDEN);
    const std::u16string system = write(L"system.exe", "x", FILE_ATTRIBUTE_SYSTEM);
    EXPECT_TRUE(test.exists(normal));
    EXPECT_FALSE(test.exists(hidden));
    EXPECT_FALSE(test.exists(system));
    EXPECT_TRUE(test.isFile(hidden));
    EXPECT_FALSE(test.exists(folder_.u16string()));
    EXPECT_FALSE(test.isFile(folder_.u16string()));
    EXPECT_FALSE(test.isFile((folder_ / L"missing").u16string()));
}

TEST(Win32Locale, CodePageFoldsWesternLettersAndDecodesEveryByte)
{
    UserLocale locale;
    const CodePage& page = locale.codePage();
    const auto fold = [&page](char16_t c) {
        return page.decode(page.foldTable()[static_cast<std::uint8_t>(page.encode(std::u16string(1, c))->at(0))]);
    };
    EXPECT_EQ(fold(u'A'), u'a');
    EXPECT_EQ(fold(u'É'), u'é');
    EXPECT_EQ(fold(u'é'), u'é');
    EXPECT_NE(fold(u'e'), fold(u'é'));
    for (int b = 0; b < 256; ++b) {
        EXPECT_EQ(page.foldTable()[page.foldTable()[b]], page.foldTable()[b]) << b;
        EXPECT_EQ(page.encode(std::u16string(1, page.decode(static_cast<std::uint8_t>(b))))->at(0),
                  static_cast<char>(b));
    }
    const char16_t separator = locale.decimalSeparator();
    EXPECT_TRUE(separator == u'.' || separator == u',');
}

TEST(Win32Registry, ReadsAValueAndRefusesOneLargerThanTheBuffer)
{
    HKEY key = nullptr;
    ASSERT_EQ(
        RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\QuorvinTest", 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
        ERROR_SUCCESS);
    RegSetValueExA(key, "Path", 0, REG_SZ, reinterpret_cast<const BYTE*>("C:\\x"), 5);
    RegCloseKey(key);

    Registry registry;
    RegistryKey opened = 0;
    ASSERT_EQ(
        registry.openKey(reinterpret_cast<RegistryKey>(HKEY_CURRENT_USER), "Software\\QuorvinTest", kKeyRead, opened),
        0);
    std::array<std::uint8_t, 8> buffer{};
    std::uint32_t type = 0, size = buffer.size();
    EXPECT_EQ(registry.queryValue(opened, "Path", type, buffer, size), 0);
    EXPECT_EQ(type, kRegSz);
    EXPECT_EQ(size, 5u);
    std::array<std::uint8_t, 3> small{};
    size = small.size();
    EXPECT_EQ(registry.queryValue(opened, "Path", type, small, size), kErrorMoreData);
    EXPECT_EQ(registry.queryValue(opened, "Missing", type, buffer, size), kErrorFileNotFound);
    EXPECT_EQ(registry.closeKey(opened), 0);
    RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\QuorvinTest");

    EXPECT_NE(
        registry.openKey(reinterpret_cast<RegistryKey>(HKEY_LOCAL_MACHINE), "SOFTWARE\\No Such Key", kKeyRead, opened),
        0);
}

std::vector<int> freed;
void freeNumber(int* number)
{
    freed.push_back(*number);
}

TEST(ScopedHandles, FreeEachHandleOnceWhenReplacedMovedOrGone)
{
    int one = 1, two = 2, three = 3;
    freed.clear();
    {
        Scoped<int*, freeNumber> held(&one);
        held.reset(&two);  // the first handle goes at once
        EXPECT_EQ(freed, std::vector<int>{1});
        Scoped<int*, freeNumber> moved(std::move(held));
        EXPECT_FALSE(held);
        held = std::move(moved);  // back again, nothing freed
        Scoped<int*, freeNumber>& same = held;
        held = std::move(same);  // onto itself: kept, not freed
        EXPECT_EQ(freed, std::vector<int>{1});
        Scoped<int*, freeNumber> other(&three);
        other = std::move(held);  // the handle it held goes
        EXPECT_EQ(freed, (std::vector<int>{1, 3}));
        EXPECT_EQ(other.get(), &two);
        Scoped<int*, freeNumber> empty;
        empty.reset();  // nothing to free
    }
    EXPECT_EQ(freed, (std::vector<int>{1, 3, 2}));
}

TEST(ScopedHandles, AFileHandleIsClosedWhenItsWrapperGoes)
{
    const fs::path path = fs::temp_directory_path() / "quorvin-scoped-handle.txt";
    std::ofstream(path) << "x";
    HANDLE raw = CreateFileW(path.wstring().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(raw, INVALID_HANDLE_VALUE);
    {
        const ScopedHandle file(raw);
        // Opened without sharing: nobody else can open it meanwhile.
        EXPECT_EQ(
            CreateFileW(path.wstring().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr),
            INVALID_HANDLE_VALUE);
    }
    EXPECT_TRUE(fs::remove(path));  // closed, so it can go
}

TEST(Win32ProcessStart, AProgramThatCannotStartIsAnError)
{
    ProcessStart start;
    EXPECT_THROW(start.start(u"C:\\No Such Folder\\MSINFO32.EXE", kShowNormalFocus), ProcessStartError);
}

struct NoHandlers final : EventSink {
    void onEvent(std::string_view, Event) override {}
};

// A read-only field that cuts its value shows it whole in its tool tip; fields whose value fits have none.
TEST(Win32Windows, CutValuesShowWholeInTheirToolTips)
{
    WindowSystem windows(GetModuleHandleW(nullptr));
    NoHandlers sink;
    const auto window = windows.create(frmScanDesign(), sink);
    const std::u16string path = u"C:\\utilisateurs\\" + std::u16string(400, u'd') + u"\\fichier cherché.txt";
    const std::u16string cut[][2] = {{u"Text4", path}, {u"Text2", u"17179869184"}, {u"Text1", u"1,1574074E-05"}};
    for (const auto& [field, value] : cut) {
        Control& control = window->control(std::string(field.begin(), field.end()));
        control.setText(value);
        EXPECT_EQ(control.toolTip(), value);
    }
    window->control("ScanString").setText(std::u16string(200, u'x'));  // the user scrolls what they type
    EXPECT_EQ(window->control("ScanString").toolTip(), u"");
    window->control("Text4").setText(u"C:\\f.txt");
    window->control("Text2").setText(u"7");
    EXPECT_EQ(window->control("Text4").toolTip(), u"");
    EXPECT_EQ(window->control("Text2").toolTip(), u"");
    windows.unload(*window);
}

struct ClickRecorder final : EventSink {
    void onEvent(std::string_view control, Event event) override
    {
        if (event == Event::Click) {
            clicks.emplace_back(control);
        }
    }
    std::vector<std::string> clicks;
};

// Presses and releases a key in the focused control as the program's message loop hands it on: to the
// dialog manager first, as in WindowSystem.
void pressKey(HWND window, WPARAM key)
{
    MSG down{GetFocus(), WM_KEYDOWN, key, 1, 0, {}};
    MSG up{GetFocus(), WM_KEYUP, key, static_cast<LPARAM>(0xC0000001), 0, {}};
    for (MSG* message : {&down, &up}) {
        if (!IsDialogMessageW(window, message)) {
            TranslateMessage(message);
            DispatchMessageW(message);
        }
    }
    MSG pending{};
    while (PeekMessageW(&pending, nullptr, 0, 0, PM_REMOVE)) {
        if (!IsDialogMessageW(window, &pending)) {
            DispatchMessageW(&pending);
        }
    }
}

std::string focusedName(const WindowDesign& design)
{
    const int index = GetDlgCtrlID(GetFocus()) - kFirstControlId;
    return index >= 0 && index < static_cast<int>(design.controls.size()) ? design.controls[index].name : "<none>";
}

// Around the focused control: on each side a band of `color` as thick as the ring, then a gap without it.
void expectFocusRing(HWND window, COLORREF color)
{
    UpdateWindow(window);
    HWND control = GetFocus();
    RECT box{};
    GetWindowRect(control, &box);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&box), 2);
    HDC dc = GetDC(window);
    const FocusRing ring = focusRingAround({box.left, box.top, box.right - box.left, box.bottom - box.top},
                                           GetDeviceCaps(dc, LOGPIXELSX) / 96.0);
    const int out = ring.thickness + ring.gap;
    const int middleX = (box.left + box.right) / 2, middleY = (box.top + box.bottom) / 2;
    const struct {
        int x, y, dx, dy;
    } sides[] = {{middleX, box.top - out, 0, 1},
                 {middleX, box.bottom - 1 + out, 0, -1},
                 {box.left - out, middleY, 1, 0},
                 {box.right - 1 + out, middleY, -1, 0}};
    for (const auto& side : sides) {
        for (int i = 0; i < out; ++i) {
            const COLORREF seen = GetPixel(dc, side.x + i * side.dx, side.y + i * side.dy);
            EXPECT_EQ(seen == color, i < ring.thickness)
                << GetDlgCtrlID(control) << " at " << i << " from " << side.x << "," << side.y;
        }
    }
    ReleaseDC(window, dc);
}

COLORREF ringColor(Color background)
{
    const Color ring = focusRingColor(background);
    return RGB(ring.red, ring.green, ring.blue);
}

// Tab reaches the links where the design puts them, Enter and Space press them as a click does, never the
// default button, and the focused control shows its ring.
TEST(Win32Windows, TabReachesTheAboutLinksAndEnterOrSpacePressesThem)
{
    WindowSystem windows(GetModuleHandleW(nullptr));
    ClickRecorder sink;
    const WindowDesign& design = frmAboutDesign();
    const auto window = windows.create(design, sink);
    windows.show(*window);
    HWND about = reinterpret_cast<HWND>(window->handle());
    const COLORREF ring = ringColor(*design.background);
    EXPECT_EQ(focusedName(design), "cmdOK");
    expectFocusRing(about, ring);
    for (const char* next : {"cmdSysInfo", "lblDisclaimer", "Label3", "Image2", "Command1", "cmdOK"}) {
        pressKey(about, VK_TAB);
        EXPECT_EQ(focusedName(design), next);
        expectFocusRing(about, ring);
    }
    EXPECT_TRUE(sink.clicks.empty());

    std::vector<std::string> expected;
    for (const char* link : {"lblDisclaimer", "Label3", "Image2"}) {
        for (std::size_t i = 0; i < design.controls.size(); ++i) {
            if (design.controls[i].name == link) {
                SetFocus(GetDlgItem(about, kFirstControlId + static_cast<int>(i)));
            }
        }
        pressKey(about, VK_RETURN);
        pressKey(about, VK_SPACE);
        expected.insert(expected.end(), 2, link);
    }
    EXPECT_EQ(sink.clicks, expected);
    windows.unload(*window);
}

TEST(Win32Windows, EnterInTheSearchTextPressesTheButton)
{
    WindowSystem windows(GetModuleHandleW(nullptr));
    ClickRecorder sink;
    const WindowDesign& design = frmScanDesign();
    const auto window = windows.create(design, sink);
    windows.show(*window);
    HWND main = reinterpret_cast<HWND>(window->handle());
    const COLORREF back = GetSysColor(COLOR_BTNFACE);
    const COLORREF ring = ringColor({GetRValue(back), GetGValue(back), GetBValue(back)});
    ASSERT_EQ(focusedName(design), "ScanString");
    expectFocusRing(main, ring);
    pressKey(main, VK_RETURN);  // the button is disabled
    window->control("Scan_Select").setEnabled(true);
    pressKey(main, VK_RETURN);
    EXPECT_EQ(sink.clicks, std::vector<std::string>{"Scan_Select"});
    pressKey(main, VK_TAB);  // the search time's box names no button
    ASSERT_EQ(focusedName(design), "Text1");
    expectFocusRing(main, ring);
    pressKey(main, VK_RETURN);
    EXPECT_EQ(sink.clicks.size(), 1u);
    windows.unload(*window);
}

// A pause of the windows during a search or a look at a file takes input only when asked to, and then
// only for the owned window while one is up: with none, Quit must reach the main window at once.
TEST(Win32Windows, PausesTakeInputOnlyWhenAskedAndOnlyForTheOwnedWindowWhileOneIsUp)
{
    WindowSystem windows(GetModuleHandleW(nullptr));
    ClickRecorder sink;
    const auto main = windows.create(frmScanDesign(), sink);
    windows.show(*main);
    main->control("Scan_Select").setEnabled(true);
    const auto post = [](const Window& window, const WindowDesign& design, std::string_view name) {
        for (std::size_t i = 0; i < design.controls.size(); ++i) {
            if (design.controls[i].name == name) {
                HWND control =
                    GetDlgItem(reinterpret_cast<HWND>(window.handle()), kFirstControlId + static_cast<int>(i));
                PostMessageW(control, BM_CLICK, 0, 0);
            }
        }
    };
    post(*main, frmScanDesign(), "Scan_Select");
    windows.waitForEvents(0, false);
    EXPECT_TRUE(sink.clicks.empty());
    post(*main, frmScanDesign(), "Scan_Select");
    windows.waitForEvents(0, true);
    EXPECT_EQ(sink.clicks, std::vector<std::string>{"Scan_Select"});

    ClickRecorder progressSink;
    const auto progress = windows.create(frmProgressDesign(), progressSink);
    windows.showOwned(*progress, *main);
    post(*main, frmScanDesign(), "Scan_Select");
    post(*progress, frmProgressDesign(), "cmdCancel");
    windows.waitForEvents(0, true);
    EXPECT_EQ(sink.clicks.size(), 1u);
    EXPECT_EQ(progressSink.clicks, std::vector<std::string>{"cmdCancel"});
    windows.unload(*progress);
    windows.unload(*main);
}

}  // namespace
}  // namespace quorvin::platform::win32
