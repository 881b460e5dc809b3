// Drives Quorvin.exe from outside, as a user would: finds its windows by caption and its controls by
// identifier, types with WM_SETTEXT, clicks with BM_CLICK, answers the open-file dialog and reads every
// message box. Every wait is bounded, so a window that never comes fails the test instead of hanging it.
//
// Run as MSINFO32.EXE, this program stands in for the system-information tool: it writes its command
// line to "started.txt" beside itself and ends.
#include <windows.h>

#include <oleacc.h>
#include <shellapi.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "about_window/frm_about.h"
#include "main_window/frm_scan.h"
#include "platform/win32/resource_ids.h"
#include "progress_window/scan_progress.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr auto kTimeout = 20s;
constexpr wchar_t kMainCaption[] = L"Recherche d'une chaîne de caractères dans un fichier";
constexpr wchar_t kChooseFile[] = L"Selectionner un fichier...";
constexpr wchar_t kReady[] = L"Lancer la recherche...";

// The renderer numbers controls from 100 in design order.
int idOf(const quorvin::platform::WindowDesign& design, std::string_view name)
{
    for (std::size_t i = 0; i < design.controls.size(); ++i) {
        if (design.controls[i].name == name) {
            return 100 + static_cast<int>(i);
        }
    }
    throw std::out_of_range(std::string(name));
}

bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout = kTimeout)
{
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

std::wstring textOf(HWND window)
{
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &length)) {
        return L"<no answer>";
    }
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), SMTO_ABORTIFHUNG, 5000,
                        &copied);
    text.resize(copied);
    return text;
}

void setText(HWND window, const std::wstring& text)
{
    DWORD_PTR result = 0;
    SendMessageTimeoutW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_ABORTIFHUNG, 5000, &result);
}

// Posted: a click may open a modal window, and the program answers no sent message until it closes.
void click(HWND button)
{
    PostMessageW(button, BM_CLICK, 0, 0);
}

fs::path scratchFolder()
{
    fs::path folder = fs::temp_directory_path() / L"quorvin wine tests";
    fs::create_directories(folder);
    return folder;
}

fs::path writeFile(const std::wstring& name, const std::string& bytes)
{
    const fs::path path = scratchFolder() / name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

struct Box {
    std::wstring caption;
    std::wstring text;
};

// One running Quorvin.exe, ended when the test ends.
class Program {
public:
    // `arguments` follow the program's name on its command line; unless told not to, waits for the main window.
    explicit Program(const std::wstring& arguments = L"", bool waitForMain = true)
    {
        const fs::path exe = fs::path(ownPath()).parent_path() / L"Quorvin.exe";
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        std::wstring commandLine = L"\"" + exe.wstring() + L"\" " + arguments;
        if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                            &process_)) {
            throw std::runtime_error("Quorvin.exe does not start");
        }
        main = waitForMain ? waitWindow(kMainCaption) : nullptr;
        if (waitForMain && !main) {
            throw std::runtime_error("the main window does not show");
        }
    }
    ~Program()
    {
        if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
            TerminateProcess(process_.hProcess, 1);
            WaitForSingleObject(process_.hProcess, 5000);
        }
        CloseHandle(process_.hThread);
        CloseHandle(process_.hProcess);
    }
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    static std::wstring ownPath()
    {
        std::wstring path(32768, L'\0');
        path.resize(GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
        return path;
    }

    // A visible top-level window of the program with this caption (and class, when given), or null.
    HWND window(const std::wstring& caption, const wchar_t* className = nullptr) const
    {
        struct Search {
            DWORD pid;
            const std::wstring& caption;
            const wchar_t* className;
            HWND found = nullptr;
        } search{process_.dwProcessId, caption, className};
        EnumWindows(
            [](HWND hwnd, LPARAM data) -> BOOL {
                auto& s = *reinterpret_cast<Search*>(data);
                DWORD pid = 0;
                GetWindowThreadProcessId(hwnd, &pid);
                wchar_t name[64] = {};
                GetClassNameW(hwnd, name, 64);
                if (pid == s.pid && IsWindowVisible(hwnd) && (!s.className || std::wstring(name) == s.className) &&
                    (s.caption.empty() || textOf(hwnd) == s.caption)) {
                    s.found = hwnd;
                    return FALSE;
                }
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&search));
        return search.found;
    }

    HWND waitWindow(const std::wstring& caption, const wchar_t* className = nullptr) const
    {
        HWND found = nullptr;
        waitFor([&] { return (found = window(caption, className)) != nullptr; });
        return found;
    }

    HWND control(int id) const { return GetDlgItem(main, id); }
    HWND control(std::string_view name) const { return control(idOf(quorvin::frmScanDesign(), name)); }
    std::wstring text(std::string_view name) const { return textOf(control(name)); }

    // Reads the message box that comes up next, then presses its OK button.
    Box answerMessageBox() const
    {
        HWND box = waitWindow(L"", L"#32770");
        if (!box) {
            return {L"<no message box>", L""};
        }
        Box read{textOf(box), textOf(GetDlgItem(box, 0xFFFF))};
        click(GetDlgItem(box, IDOK));
        waitFor([box] { return !IsWindow(box); });
        return read;
    }

    // Clicks Scan_Select in its choosing mode and picks `path` in the open-file dialog.
    void chooseFile(const fs::path& path) const
    {
        click(control("Scan_Select"));
        HWND dialog = waitWindow(L"Ouvrir un fichier", L"#32770");
        ASSERT_NE(dialog, nullptr) << "no open-file dialog";
        HWND name = GetDlgItem(dialog, 0x47C);  // the file-name combo box (cmb13), else the edit box (edt1)
        if (HWND edit = name ? FindWindowExW(name, nullptr, L"Edit", nullptr) : nullptr) {
            name = edit;
        }
        setText(name ? name : GetDlgItem(dialog, 0x480), path.wstring());
        click(GetDlgItem(dialog, IDOK));
        ASSERT_TRUE(waitFor([dialog] { return !IsWindow(dialog); })) << "the dialog stays open";
        ASSERT_TRUE(waitFor([this] { return text("Scan_Select") == kReady; }));
    }

    // Presses a key in the window that has the keyboard focus.
    void pressKey(WPARAM key) const
    {
        PostMessageW(focus(), WM_KEYDOWN, key, 1);
        PostMessageW(focus(), WM_KEYUP, key, 0xC0000001);
    }

    HWND focus() const
    {
        GUITHREADINFO thread{};
        thread.cbSize = sizeof thread;
        GetGUIThreadInfo(process_.dwThreadId, &thread);
        return thread.hwndFocus;
    }

    bool endsWithin(DWORD milliseconds) const
    {
        return WaitForSingleObject(process_.hProcess, milliseconds) == WAIT_OBJECT_0;
    }

    // Drops files on the main window as the shell does. A memory handle means nothing in another process,
    // so the DROPFILES block built here is copied into the program, where a fixed block's address is its handle.
    void drop(const std::vector<fs::path>& paths) const
    {
        std::wstring list;
        for (const fs::path& path : paths) {
            list += path.wstring() + L'\0';
        }
        list += L'\0';
        const std::size_t bytes = sizeof(DROPFILES) + list.size() * sizeof(wchar_t);
        HGLOBAL local = GlobalAlloc(GHND, bytes);
        auto* files = static_cast<DROPFILES*>(GlobalLock(local));
        files->pFiles = sizeof(DROPFILES);
        files->pt = {10, 10};
        files->fWide = TRUE;
        std::memcpy(reinterpret_cast<char*>(files) + sizeof(DROPFILES), list.data(), list.size() * sizeof(wchar_t));
        void* remote = VirtualAllocEx(process_.hProcess, nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
        WriteProcessMemory(process_.hProcess, remote, files, bytes, nullptr);
        GlobalUnlock(local);
        GlobalFree(local);
        PostMessageW(main, WM_DROPFILES, reinterpret_cast<WPARAM>(remote), 0);
    }

    HWND main = nullptr;

private:
    PROCESS_INFORMATION process_{};
};

std::wstring wideOf(std::u16string_view text)
{
    return {text.begin(), text.end()};
}

TEST(QuorvinExe, FindsATextThenReportsOneThatIsNotThere)
{
    const fs::path file = writeFile(L"éléments à chercher.txt", "xxABCxx");
    Program program;
    EXPECT_FALSE(IsWindowEnabled(program.control("Scan_Select")));
    EXPECT_EQ(program.focus(), program.control("ScanString"));

    setText(program.control("ScanString"), L"abc");
    ASSERT_TRUE(waitFor([&] { return IsWindowEnabled(program.control("Scan_Select")) != FALSE; }));
    program.pressKey(VK_TAB);  // the tab order is the designed one: the search time's box comes next
    EXPECT_TRUE(waitFor([&] { return program.focus() == program.control("Text1"); }));
    program.chooseFile(file);
    EXPECT_EQ(program.text("Text4"), file.wstring());

    click(program.control("Scan_Select"));
    Box found = program.answerMessageBox();
    EXPECT_EQ(found.caption, L"Chaîne de caractère trouvée !");
    EXPECT_EQ(found.text,
              L"7 Octets ont été scannés.\r\nResultats de la recherche :\r\n"
              L"La chaîne recherchée : < abc > a été trouvée dans le fichier : \r" +
                  file.wstring());
    ASSERT_TRUE(waitFor([&] { return program.text("Scan_Select") == kChooseFile; }));
    EXPECT_EQ(program.text("Text2"), L"7");
    EXPECT_EQ(program.text("Text1"), L"");
    EXPECT_EQ(program.text("Text5"), L"ligne 1, colonne 3 (octet 2, Windows-1252)");
    EXPECT_EQ(program.text("Text6"), L"xxABCxx");

    setText(program.control("ScanString"), L"abd");
    program.chooseFile(file);
    click(program.control("Scan_Select"));
    Box notFound = program.answerMessageBox();
    EXPECT_EQ(notFound.caption, L"Chaîne non trouvée");
    EXPECT_EQ(notFound.text,
              L"La chaîne recherchée : < abd > n'a pas été trouvée dans le fichier : \r" + file.wstring());
    EXPECT_TRUE(waitFor([&] { return !program.text("Text1").empty(); })) << "no search time after a search that failed";
    EXPECT_FALSE(IsWindowVisible(program.control("Text3")));
    EXPECT_EQ(program.text("Text5"), L"");
    EXPECT_EQ(program.text("Text6"), L"");

    PostMessageW(program.main, WM_CLOSE, 0, 0);
    EXPECT_TRUE(program.endsWithin(10000)) << "the close box does not end the program";
}

// Every label is at least as wide as its text in its own font, and grows from its box on the side its
// alignment leaves free: a right-aligned one keeps its right edge, a centred one its middle.
void expectLabelsFitTheirTexts(HWND window, const quorvin::platform::WindowDesign& design)
{
    using quorvin::platform::Align;
    const UINT dpi = GetDpiForWindow(window);
    const auto pixels = [dpi](int twips) { return MulDiv(twips, static_cast<int>(dpi), 1440); };
    for (std::size_t i = 0; i < design.controls.size(); ++i) {
        const auto& d = design.controls[i];
        if (d.kind != quorvin::platform::ControlKind::Label) {
            continue;
        }
        HWND label = GetDlgItem(window, 100 + static_cast<int>(i));
        const std::wstring text = textOf(label);
        // A font is the program's own: the same face is made here (the default face is MS Sans Serif).
        const quorvin::platform::Font font = d.font.value_or(quorvin::platform::Font{u"MS Sans Serif", 8.25, false});
        HFONT made =
            CreateFontW(-static_cast<int>(std::lround(font.points * dpi / 72.0)), 0, 0, 0,
                        font.bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                        CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH, wideOf(font.family).c_str());
        HDC dc = GetDC(nullptr);
        HGDIOBJ previous = SelectObject(dc, made);
        SIZE extent{};
        GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
        SelectObject(dc, previous);
        ReleaseDC(nullptr, dc);
        DeleteObject(made);
        RECT box{};
        GetWindowRect(label, &box);
        MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&box), 2);
        EXPECT_GE(box.right - box.left, extent.cx) << d.name << " cuts its text";

        int left = d.left;
        for (const auto& frame : design.controls) {
            left += frame.name == d.container ? frame.left : 0;
        }
        const int designedLeft = pixels(left), designedRight = pixels(left + d.width);
        if (d.align == Align::Right) {
            EXPECT_NEAR(box.right, designedRight, 1) << d.name;
        } else if (d.align == Align::Center) {
            EXPECT_NEAR(box.left + box.right, designedLeft + designedRight, 2) << d.name;
        } else {
            EXPECT_NEAR(box.left, designedLeft, 1) << d.name;
        }
    }
}

TEST(QuorvinExe, LabelsShowTheirWholeTextsInTheDefaultAndTheDesignFonts)
{
    Program program;
    expectLabelsFitTheirTexts(program.main, quorvin::frmScanDesign());

    click(program.control("Command2"));
    HWND about = program.waitWindow(L"A propos Quorvin");
    ASSERT_NE(about, nullptr);
    expectLabelsFitTheirTexts(about, quorvin::frmAboutDesign());
    PostMessageW(about, WM_CLOSE, 0, 0);
    ASSERT_TRUE(waitFor([&] { return IsWindowEnabled(program.main) != FALSE; }));
}

// What a screen reader asks of each control through MSAA: every control of the main window and of the
// About window has a name; a picture button is named by its tool tip's words, a field by its label; the
// About window is a dialog and its links are links.
std::wstring accessibleName(HWND control)
{
    IAccessible* access = nullptr;
    if (AccessibleObjectFromWindow(control, OBJID_CLIENT, __uuidof(IAccessible), reinterpret_cast<void**>(&access)) !=
        S_OK) {
        return L"<no accessible object>";
    }
    VARIANT self{};
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    BSTR name = nullptr;
    access->get_accName(self, &name);
    const std::wstring said = name ? std::wstring(name, SysStringLen(name)) : L"";
    SysFreeString(name);
    access->Release();
    return said;
}

void expectNamesForScreenReaders(HWND window, const quorvin::platform::WindowDesign& design)
{
    using quorvin::platform::ControlKind;
    for (const auto& c : design.controls) {
        if (c.kind == ControlKind::Line) {
            continue;  // drawn by the window, no control
        }
        std::u16string expected = c.text;
        if (const std::u16string own = quorvin::platform::accessibleNameOf(c); !own.empty()) {
            expected = own;
        } else if (!c.label.empty()) {
            for (const auto& label : design.controls) {
                expected = label.name == c.label ? label.text : expected;
            }
        }
        std::erase(expected, u'&');  // an access key's mark is not said
        EXPECT_EQ(accessibleName(GetDlgItem(window, idOf(design, c.name))), wideOf(expected)) << c.name;
    }
}

TEST(QuorvinExe, ScreenReadersNameEveryControl)
{
    Program program;
    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    expectNamesForScreenReaders(program.main, quorvin::frmScanDesign());
    click(program.control("Command2"));
    HWND about = program.waitWindow(L"A propos Quorvin");
    ASSERT_NE(about, nullptr);
    // The About window's captions are set as it loads.
    quorvin::platform::WindowDesign loaded = quorvin::frmAboutDesign();
    for (auto& c : loaded.controls) {
        c.text = c.name == "lblTitle" ? u"Quorvin" : c.name == "lblVersion" ? u"Version 1.1.0" : c.text;
    }
    expectNamesForScreenReaders(about, loaded);

    // The About window is a dialog, its links are links with their addresses.
    const auto roleAndValue = [](HWND window) {
        IAccessible* access = nullptr;
        AccessibleObjectFromWindow(window, OBJID_CLIENT, __uuidof(IAccessible), reinterpret_cast<void**>(&access));
        if (access == nullptr) {
            return std::pair<long, std::wstring>(-1, L"");
        }
        VARIANT self{}, role{};
        self.vt = VT_I4;
        self.lVal = CHILDID_SELF;
        access->get_accRole(self, &role);
        BSTR value = nullptr;
        access->get_accValue(self, &value);
        std::pair<long, std::wstring> read(role.vt == VT_I4 ? role.lVal : -1, value ? value : L"");
        SysFreeString(value);
        access->Release();
        return read;
    };
    EXPECT_EQ(roleAndValue(about).first, ROLE_SYSTEM_DIALOG);
    EXPECT_EQ(roleAndValue(program.main).first, ROLE_SYSTEM_CLIENT);
    for (const auto& c : loaded.controls) {
        if (!c.linkTarget.empty()) {
            const auto [role, value] = roleAndValue(GetDlgItem(about, idOf(loaded, c.name)));
            EXPECT_EQ(role, ROLE_SYSTEM_LINK) << c.name;
            EXPECT_EQ(value, wideOf(c.linkTarget)) << c.name;
        }
    }
    PostMessageW(about, WM_CLOSE, 0, 0);
    CoUninitialize();
}

// A pasted text of any length leaves the message box inside the screen, with its OK button and the whole path.
TEST(QuorvinExe, ALongSearchTextKeepsTheMessageOnTheScreen)
{
    const fs::path file = writeFile(L"texte court.txt", "abc");
    Program program;
    RECT screen{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &screen, 0);
    const auto inside = [&screen](const RECT& r) {
        return r.left >= screen.left && r.top >= screen.top && r.right <= screen.right && r.bottom <= screen.bottom;
    };
    for (const std::size_t length : {10'000u, 100'000u}) {
        for (const bool spaces : {false, true}) {
            std::wstring text;
            for (std::size_t i = 0; i < length; ++i) {
                text.push_back(spaces && i % 9 == 8 ? L' ' : L'W');
            }
            const std::string context = std::to_string(length) + (spaces ? " with spaces" : " in one word");
            setText(program.control("ScanString"), text);
            program.chooseFile(file);
            click(program.control("Scan_Select"));
            HWND box = program.waitWindow(L"Chaîne non trouvée", L"#32770");
            ASSERT_NE(box, nullptr) << context;
            RECT frame{}, ok{};
            GetWindowRect(box, &frame);
            GetWindowRect(GetDlgItem(box, IDOK), &ok);
            EXPECT_TRUE(inside(frame)) << context;
            EXPECT_TRUE(inside(ok)) << context;
            EXPECT_LE(frame.bottom - frame.top, (screen.bottom - screen.top) * 2 / 3) << context;
            const std::wstring shown = program.answerMessageBox().text;
            EXPECT_TRUE(shown.ends_with(L"\r" + file.wstring())) << context;
            EXPECT_NE(shown.find(L" \u2026 "), std::wstring::npos) << context;
            ASSERT_TRUE(waitFor([&] { return program.text("Scan_Select") == kChooseFile; }));
        }
    }
}

TEST(QuorvinExe, AFileRemovedAfterItWasChosenIsReportedAndTheProgramGoesOn)
{
    const fs::path gone = writeFile(L"gone.txt", "abc");
    const fs::path kept = writeFile(L"kept.txt", "abc");
    Program program;
    setText(program.control("ScanString"), L"abc");
    program.chooseFile(gone);
    fs::remove(gone);
    click(program.control("Scan_Select"));
    Box error = program.answerMessageBox();
    EXPECT_EQ(error.caption, L"Lecture du fichier impossible");
    EXPECT_NE(error.text.find(gone.wstring()), std::wstring::npos) << "the message does not name the file";

    ASSERT_TRUE(waitFor([&] { return program.text("Scan_Select") == kChooseFile; }));
    program.chooseFile(kept);
    click(program.control("Scan_Select"));
    EXPECT_EQ(program.answerMessageBox().caption, L"Chaîne de caractère trouvée !");
}

TEST(QuorvinExe, FindsTextsInUtf8AndInNotepadsUnicodeFiles)
{
    const fs::path utf8 = writeFile(L"utf-8.txt",
                                    "Caf\xC3\xA9 cr\xC3\xA8me \xC3\xA0 la fran\xC3\xA7"
                                    "aise\r\n");
    std::string utf16 = "\xFF\xFE";  // Notepad's "Unicode": UTF-16LE after a byte-order mark
    for (char16_t c : std::u16string(u"Привет, мир\r\n")) {
        utf16 += {static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
    }
    const fs::path unicode = writeFile(L"unicode.txt", utf16);
    Program program;
    const std::wstring places[] = {L"ligne 1, colonne 1 (octet 0, UTF-8)", L"ligne 1, colonne 1 (octet 2, UTF-16LE)"};
    const std::wstring lines[] = {L"Café crème à la française", L"Привет, мир"};
    int i = 0;
    for (const auto& [text, file] :
         {std::pair{std::wstring(L"CAF\u00C9"), utf8}, std::pair{std::wstring(L"привет"), unicode}}) {
        setText(program.control("ScanString"), text);
        ASSERT_TRUE(waitFor([&] { return IsWindowEnabled(program.control("Scan_Select")) != FALSE; }));
        program.chooseFile(file);
        click(program.control("Scan_Select"));
        const Box found = program.answerMessageBox();
        EXPECT_EQ(found.caption, L"Chaîne de caractère trouvée !") << file;
        EXPECT_NE(found.text.find(L"< " + text + L" >"), std::wstring::npos) << found.text;
        EXPECT_EQ(program.text("Text2"), std::to_wstring(fs::file_size(file)));
        ASSERT_TRUE(waitFor([&] { return program.text("Scan_Select") == kChooseFile; }));
        EXPECT_EQ(program.text("Text5"), places[i]);
        EXPECT_EQ(program.text("Text6"), lines[i]);
        ++i;
    }
}

TEST(QuorvinExe, FindsAPhraseWordSplitIntoRunsInADocxToldByItsContent)
{
    // « Rendez-vous important » as Word wrote it: « Rendez- », « vous » in bold, « important ».
    std::ifstream letter(fs::path(QUORVIN_DOCUMENTS) / "letter.docx", std::ios::binary);
    const std::string docx{std::istreambuf_iterator<char>(letter), std::istreambuf_iterator<char>()};
    ASSERT_FALSE(docx.empty());
    const fs::path renamed = writeFile(L"lettre.bin", docx);  // told by its content, not its name
    Program program;
    setText(program.control("ScanString"), L"RENDEZ-VOUS important");
    ASSERT_TRUE(waitFor([&] { return IsWindowEnabled(program.control("Scan_Select")) != FALSE; }));
    program.chooseFile(renamed);
    click(program.control("Scan_Select"));
    const Box found = program.answerMessageBox();
    EXPECT_EQ(found.caption, L"Chaîne de caractère trouvée !");
    EXPECT_EQ(found.text.substr(0, found.text.find(L' ')), std::to_wstring(docx.size()));
    EXPECT_EQ(program.text("Text2"), std::to_wstring(docx.size()));
}

TEST(QuorvinExe, AboutWindowShowsItsDetailsAndClosesWithEnterOrEscape)
{
    const auto& about = quorvin::frmAboutDesign();
    Program program;
    for (WPARAM key : {VK_RETURN, VK_ESCAPE}) {
        click(program.control("Command2"));
        HWND window = program.waitWindow(L"A propos Quorvin");
        ASSERT_NE(window, nullptr);
        EXPECT_FALSE(IsWindowEnabled(program.main)) << "the About window is not modal";
        EXPECT_EQ(textOf(GetDlgItem(window, idOf(about, "lblTitle"))), L"Quorvin");
        EXPECT_EQ(textOf(GetDlgItem(window, idOf(about, "lblVersion"))), L"Version 1.1.0");

        if (key == VK_RETURN) {
            EXPECT_TRUE(IsWindowEnabled(GetDlgItem(window, idOf(about, "Command1"))));
            click(GetDlgItem(window, idOf(about, "Command1")));
            HWND box = program.waitWindow(L"A propos", L"#32770");
            ASSERT_NE(box, nullptr);
            EXPECT_FALSE(IsWindowEnabled(window)) << "the details message is not modal to the program";
            const Box details = program.answerMessageBox();
            EXPECT_EQ(details.text,
                      L"Quorvin version 1.1.0\rRechercher une chaîne de caratères dans un fichier\r\r"
                      L"Auteur : l'équipe Ravendo\rE-Mail : contact@ravendo.example\r"
                      L"Url : https://ravendo.example\r\rLogiciel FREEWARE");
        }
        ASSERT_TRUE(waitFor([&] { return IsChild(window, program.focus()) != FALSE; }));
        program.pressKey(key);
        EXPECT_TRUE(waitFor([&] { return !IsWindow(window); })) << "the key does not close the About window";
        EXPECT_TRUE(waitFor([&] { return IsWindowEnabled(program.main) != FALSE; }));
    }
    click(program.control("Command1"));
    EXPECT_TRUE(program.endsWithin(10000)) << "the Quit button does not end the program";
}

// Registry keys of the system-information tool, written into the test's Wine prefix and removed after.
class ToolRegistry {
public:
    static constexpr wchar_t kToolKey[] = L"SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
    static constexpr wchar_t kFolderKey[] = L"SOFTWARE\\Microsoft\\Shared Tools Location";
    ToolRegistry() { clear(); }
    ~ToolRegistry() { clear(); }
    static void set(const wchar_t* key, const wchar_t* name, const std::wstring& value)
    {
        HKEY opened = nullptr;
        RegCreateKeyExW(HKEY_LOCAL_MACHINE, key, 0, nullptr, 0, KEY_WRITE, nullptr, &opened, nullptr);
        RegSetValueExW(opened, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
        RegCloseKey(opened);
    }
    static void clear()
    {
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, kToolKey);
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, kFolderKey);
    }
};

// A copy of this program named MSINFO32.EXE in `folder`.
fs::path installTool(const fs::path& folder)
{
    fs::create_directories(folder);
    const fs::path tool = folder / L"MSINFO32.EXE";
    fs::copy_file(Program::ownPath(), tool, fs::copy_options::overwrite_existing);
    fs::remove(folder / L"started.txt");
    return tool;
}

TEST(QuorvinExe, SystemInformationStartsTheToolFromEitherRegistryLocation)
{
    ToolRegistry registry;
    const fs::path first = scratchFolder() / L"Outils système";
    const fs::path second = scratchFolder() / L"Shared Tools";
    const fs::path empty = scratchFolder() / L"Sans outil";
    const fs::path firstTool = installTool(first);
    installTool(second);
    fs::create_directories(empty);
    const auto started = [](const fs::path& folder) {
        return waitFor([&] { return fs::exists(folder / L"started.txt"); });
    };

    Program program;
    click(program.control("Command2"));
    HWND about = program.waitWindow(L"A propos Quorvin");
    ASSERT_NE(about, nullptr);
    HWND sysInfo = GetDlgItem(about, idOf(quorvin::frmAboutDesign(), "cmdSysInfo"));

    ToolRegistry::set(ToolRegistry::kToolKey, L"PATH", firstTool.wstring());
    ToolRegistry::set(ToolRegistry::kFolderKey, L"MSINFO", second.wstring());
    click(sysInfo);
    ASSERT_TRUE(started(first)) << "not started from the first location";
    std::wifstream commandLine(first / L"started.txt");
    std::wstring line;
    std::getline(commandLine, line);
    EXPECT_EQ(line, L"\"" + firstTool.wstring() + L"\"") << "the path is not passed quoted";
    EXPECT_FALSE(fs::exists(second / L"started.txt"));

    ToolRegistry::clear();
    ToolRegistry::set(ToolRegistry::kFolderKey, L"MSINFO", second.wstring());
    click(sysInfo);
    EXPECT_TRUE(started(second)) << "not started from the second location";

    ToolRegistry::set(ToolRegistry::kFolderKey, L"MSINFO", empty.wstring());
    click(sysInfo);
    const Box missing = program.answerMessageBox();
    EXPECT_EQ(missing.caption, L"Quorvin");
    EXPECT_EQ(missing.text, L"Information Systeme introuvable !");

    // An empty first value is no path: the second location is tried.
    fs::remove(second / L"started.txt");
    ToolRegistry::set(ToolRegistry::kToolKey, L"PATH", L"");
    ToolRegistry::set(ToolRegistry::kFolderKey, L"MSINFO", second.wstring());
    click(sysInfo);
    EXPECT_TRUE(started(second)) << "an empty first value stops the search";
    EXPECT_TRUE(IsWindow(about)) << "the About window closed";
}

TEST(QuorvinExe, VersionBlockNamesTheProgramInFrench)
{
    const std::wstring exe = (fs::path(Program::ownPath()).parent_path() / L"Quorvin.exe").wstring();
    DWORD ignored = 0;
    std::vector<char> block(GetFileVersionInfoSizeW(exe.c_str(), &ignored));
    ASSERT_FALSE(block.empty());
    ASSERT_TRUE(GetFileVersionInfoW(exe.c_str(), 0, static_cast<DWORD>(block.size()), block.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT size = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &size));
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00010001u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0u);
    EXPECT_EQ(fixed->dwProductVersionMS, 0x00010001u);
    EXPECT_EQ(fixed->dwProductVersionLS, 0u);

    WORD* translation = nullptr;
    ASSERT_TRUE(
        VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &size));
    EXPECT_EQ(translation[0], 0x040C);
    EXPECT_EQ(translation[1], 1200);

    const std::pair<const wchar_t*, const wchar_t*> expected[] = {
        {L"Comments", L"Chercher une chaîne de caractères"},
        {L"CompanyName", L"Ravendo"},
        {L"FileDescription", L"Quorvin v1.1.0"},
        {L"FileVersion", L"1.01"},
        {L"InternalName", L"Quorvin"},
        {L"LegalCopyright", L"© 2026 Ravendo"},
        {L"LegalTrademarks", L"Quorvin v1.1.0"},
        {L"OriginalFilename", L"Quorvin.exe"},
        {L"ProductName", L"Quorvin v1.1.0"},
        {L"ProductVersion", L"1.01"},
    };
    for (const auto& [name, value] : expected) {
        wchar_t* text = nullptr;
        const std::wstring query = std::wstring(L"\\StringFileInfo\\040C04B0\\") + name;
        ASSERT_TRUE(VerQueryValueW(block.data(), query.c_str(), reinterpret_cast<void**>(&text), &size)) << name;
        EXPECT_EQ(std::wstring(text), value) << name;
    }
}

// The program's icon comes at every size a desktop draws it, the buttons' pictures at 1x and 2x.
TEST(QuorvinExe, IconsComeAtEverySizeTheScreenAsksFor)
{
    const std::wstring exe = (fs::path(Program::ownPath()).parent_path() / L"Quorvin.exe").wstring();
    HMODULE module = LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(module, nullptr);
    const auto sizesOf = [module](int id) {
        std::vector<int> sizes;
        HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(14));  // RT_GROUP_ICON
        if (found == nullptr) {
            return sizes;
        }
        // The icon's directory: three words, then 14 bytes an image, the first its width (0 for 256).
        const auto* directory = static_cast<const BYTE*>(LockResource(LoadResource(module, found)));
        const WORD count = *reinterpret_cast<const WORD*>(directory + 4);
        for (WORD i = 0; i < count; ++i) {
            const BYTE width = directory[6 + 14 * i];
            sizes.push_back(width == 0 ? 256 : width);
        }
        return sizes;
    };
    EXPECT_EQ(sizesOf(QUORVIN_ICON_APP), (std::vector<int>{16, 24, 32, 48, 64, 128, 256}));
    EXPECT_EQ(sizesOf(QUORVIN_ICON_ABOUT_BUTTON), (std::vector<int>{32, 64}));
    EXPECT_EQ(sizesOf(QUORVIN_ICON_QUIT_BUTTON), (std::vector<int>{32, 64}));
    FreeLibrary(module);
}

// A sparse file of 64 GiB: zeros that take minutes to read and no disk.
fs::path bigSparseFile()
{
    const fs::path big = scratchFolder() / L"grand fichier.bin";
    HANDLE handle = CreateFileW(big.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    EXPECT_NE(handle, INVALID_HANDLE_VALUE);
    LARGE_INTEGER end{};
    end.QuadPart = 64LL << 30;
    SetFilePointerEx(handle, end, nullptr, FILE_BEGIN);
    EXPECT_TRUE(SetEndOfFile(handle));
    CloseHandle(handle);
    return big;
}

TEST(QuorvinExe, ALongSearchShowsItsProgressAndCanBeCancelled)
{
    const fs::path big = bigSparseFile();
    const auto& progress = quorvin::frmProgressDesign();
    Program program;
    setText(program.control("ScanString"), L"abc");
    program.chooseFile(big);
    click(program.control("Scan_Select"));

    HWND window = program.waitWindow(L"Recherche en cours...");
    ASSERT_NE(window, nullptr) << "no progress window";
    EXPECT_EQ(textOf(GetDlgItem(window, idOf(progress, "lblFile"))), L"Fichier : grand fichier.bin");
    EXPECT_NE(textOf(GetDlgItem(window, idOf(progress, "lblStatus"))).find(L"octets lus sur"), std::wstring::npos);
    EXPECT_FALSE(IsWindowEnabled(program.main)) << "the main window takes input during the search";
    DWORD_PTR ignored = 0;
    EXPECT_TRUE(SendMessageTimeoutW(program.main, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 2000, &ignored))
        << "the main window does not answer during the search";

    click(GetDlgItem(window, idOf(progress, "cmdCancel")));
    const Box cancelled = program.answerMessageBox();
    EXPECT_EQ(cancelled.caption, L"Recherche annulée");
    EXPECT_FALSE(IsWindow(window));
    EXPECT_TRUE(waitFor([&] { return program.text("Scan_Select") == kChooseFile; }));
    EXPECT_TRUE(IsWindowEnabled(program.main));
    fs::remove(big);
}

// Puts `text` on the clipboard and pastes it into `edit`, as a user does with Ctrl+V.
void paste(HWND edit, const std::wstring& text)
{
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t));
    std::memcpy(GlobalLock(memory), text.c_str(), (text.size() + 1) * sizeof(wchar_t));
    GlobalUnlock(memory);
    SetClipboardData(CF_UNICODETEXT, memory);
    CloseClipboard();
    PostMessageW(edit, WM_PASTE, 0, 0);
}

TEST(QuorvinExe, APastedTextOfAHundredThousandCharactersIsSearchedWhole)
{
    // The file holds the text's first 30,000 characters, all the system keeps by default: a cut text
    // would be found there.
    std::wstring text;
    for (int i = 0; text.size() < 100000; ++i) {
        text += L"mot" + std::to_wstring(i) + L' ';
    }
    text.resize(100000);
    const fs::path file = writeFile(L"début du texte.txt", std::string(text.begin(), text.begin() + 30000));
    Program program;
    paste(program.control("ScanString"), text);
    ASSERT_TRUE(waitFor([&] { return program.text("ScanString").size() >= 30000; })) << "nothing was pasted";
    EXPECT_EQ(program.text("ScanString").size(), 100000u);
    program.chooseFile(file);
    click(program.control("Scan_Select"));
    const Box box = program.answerMessageBox();
    EXPECT_EQ(box.caption, L"Chaîne non trouvée");
    // The message shortens so long a text in its middle; its end is the pasted text's, not the 30,000th character.
    EXPECT_NE(box.text.find(text.substr(text.size() - 200) + L" >"), std::wstring::npos)
        << "the message does not end with the pasted text's end";
}

// Milliseconds from WM_CLOSE to the program's end, or 20 s if it does not end by then.
long long closeMilliseconds(const Program& program)
{
    const auto posted = std::chrono::steady_clock::now();
    PostMessageW(program.main, WM_CLOSE, 0, 0);
    program.endsWithin(20000);
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - posted).count();
}

// What Task Manager's "Fin de tâche" and taskkill without /f send: the search stops and the program ends
// about as soon as an idle one does (the same prefix, machine and load), not once it has read on.
TEST(QuorvinExe, ClosingTheProgramDuringASearchEndsTheSearchAndTheProgram)
{
    const fs::path big = bigSparseFile();
    long long idle = 0;
    for (int run = 0; run < 2; ++run) {
        const Program program;
        const long long closed = closeMilliseconds(program);
        std::printf("closed in %lld ms idle\n", closed);
        idle = std::max(idle, closed);
    }
    for (int run = 0; run < 2; ++run) {
        const Program program;
        setText(program.control("ScanString"), L"abc");
        program.chooseFile(big);
        click(program.control("Scan_Select"));
        ASSERT_NE(program.waitWindow(L"Recherche en cours..."), nullptr) << "no progress window";
        const long long searching = closeMilliseconds(program);
        std::printf("closed in %lld ms during a search\n", searching);
        EXPECT_LE(searching, idle + 1000) << "the program goes on reading after its window closed";
    }
    fs::remove(big);
}

TEST(QuorvinExe, ADroppedFileIsChosenButSeveralFilesOrAFolderAreNot)
{
    const fs::path one = writeFile(L"déposé.txt", "abc");
    const fs::path other = writeFile(L"autre.txt", "abc");
    Program program;
    program.drop({one, other});
    program.drop({scratchFolder()});
    // Input is handled in order: once the typed letter is in, both drops have been handled.
    PostMessageW(program.control("ScanString"), WM_CHAR, L'x', 1);
    ASSERT_TRUE(waitFor([&] { return program.text("ScanString") == L"x"; }));
    EXPECT_EQ(program.text("Text4"), L"");
    EXPECT_EQ(program.text("Scan_Select"), wideOf(quorvin::frmScanDesign().controls[12].text));

    program.drop({one});
    ASSERT_TRUE(waitFor([&] { return program.text("Text4") == one.wstring(); })) << "the dropped file is not chosen";
    EXPECT_EQ(program.text("Scan_Select"), kReady);
    click(program.control("Scan_Select"));
    EXPECT_EQ(program.answerMessageBox().caption, L"Chaîne non trouvée");
}

TEST(QuorvinExe, TheFirstFileOfItsCommandLineIsChosenAtStart)
{
    const fs::path first = writeFile(L"ouvert avec é.txt", "abc");
    const fs::path second = writeFile(L"second.txt", "abc");
    Program program(L"\"" + first.wstring() + L"\" \"" + second.wstring() + L"\"");
    ASSERT_TRUE(waitFor([&] { return program.text("Text4") == first.wstring(); })) << "the file is not chosen";
    EXPECT_EQ(program.text("Scan_Select"), kReady);
    setText(program.control("ScanString"), L"B");
    click(program.control("Scan_Select"));
    EXPECT_EQ(program.answerMessageBox().caption, L"Chaîne de caractère trouvée !");
}

TEST(QuorvinExe, AFileAtStartThatCannotBeReadIsReportedOverTheWindow)
{
    const fs::path missing = scratchFolder() / L"absent.txt";
    fs::remove(missing);
    Program program(L"\"" + missing.wstring() + L"\"");
    const Box box = program.answerMessageBox();
    EXPECT_EQ(box.caption, L"Lecture du fichier impossible");
    EXPECT_NE(box.text.find(missing.wstring()), std::wstring::npos) << "the message does not name the file";
    EXPECT_EQ(program.text("Text4"), L"");
    EXPECT_FALSE(program.endsWithin(200));
}

TEST(QuorvinExe, SlashQuestionMarkShowsTheUsageAndEnds)
{
    Program program(L"/?", false);
    const Box box = program.answerMessageBox();
    EXPECT_EQ(box.caption, L"Quorvin");
    EXPECT_EQ(box.text.rfind(L"Utilisation : Quorvin.exe [OPTION] [FICHIER]", 0), 0u);
    EXPECT_NE(box.text.find(L"/?"), std::wstring::npos);
    EXPECT_TRUE(program.endsWithin(10000));
    EXPECT_EQ(program.window(kMainCaption), nullptr);
}

}  // namespace

int main(int argc, char** argv)
{
    const fs::path self(Program::ownPath());
    if (_wcsicmp(self.filename().c_str(), L"MSINFO32.EXE") == 0) {
        std::wofstream(self.parent_path() / L"started.txt") << GetCommandLineW() << L"\n";
        return 0;
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
