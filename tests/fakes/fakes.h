#pragma once
// Test doubles of every platform service: they record what the core asks and answer as the test scripts.
// FakePlatform installs them all as the program's services for its lifetime.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/services.h"

namespace quorvin::testing {

class FakeClock final : public platform::ClockService {
public:
    double timeOfDay() override { return seconds / 86400.0; }
    std::int64_t steadyMilliseconds() override { return steady; }
    void advance(double bySeconds) { seconds += bySeconds; }
    double seconds = 12 * 3600;            // noon
    std::atomic<std::int64_t> steady = 0;  // a file's reads may move it, on the thread that reads
};

struct MessageRecord {
    platform::WindowHandle owner;
    std::u16string text;
    std::u16string caption;
    int type;
};

class FakeMessageBox final : public platform::MessageBoxService {
public:
    void show(platform::WindowHandle owner, std::u16string_view text, std::u16string_view caption, int type) override;
    std::vector<MessageRecord> shown;
    std::function<void()> whileOpen;  // runs while the box is "up", e.g. to let time pass
};

struct TitledMessageRecord {
    std::u16string text;
    int style;
    std::optional<std::u16string> title;
};

class FakeTitledMessageBox final : public platform::TitledMessageBoxService {
public:
    void show(std::u16string_view text, int style, const std::optional<std::u16string>& title) override
    {
        shown.push_back({std::u16string(text), style, title});
    }
    std::vector<TitledMessageRecord> shown;
};

class FakeOpenFileDialog final : public platform::OpenFileDialogService {
public:
    // Each answer is used once, in order: a path is chosen, nothing is a cancel. No answer left: cancel.
    bool show(platform::OpenFileRecord& record) override;
    std::deque<std::optional<std::u16string>> answers;
    std::vector<platform::OpenFileRecord> records;
};

struct ShellOpenRecord {
    platform::WindowHandle owner;
    std::u16string verb, target, parameters, workingFolder;
    int showState;
};

class FakeShellOpen final : public platform::ShellOpenService {
public:
    void open(platform::WindowHandle owner, std::u16string_view verb, std::u16string_view target,
              std::u16string_view parameters, std::u16string_view workingFolder, int showState) override;
    std::vector<ShellOpenRecord> opened;
    bool fail = false;  // throws, as a broken handler might
};

class FakeProcessStart final : public platform::ProcessStartService {
public:
    void start(std::u16string_view programPath, int windowStyle) override;
    std::vector<std::u16string> started;
    std::vector<int> styles;
    bool fail = false;
};

class FakeDesktopSystemInfo final : public platform::DesktopSystemInfoService {
public:
    bool start() override
    {
        ++asked;
        if (fail) {
            throw platform::ProcessStartError("scripted failure");
        }
        return found;
    }
    bool found = false;  // a program is on the machine, and is started
    bool fail = false;   // a program is found but cannot be started
    int asked = 0;
};

class FakeFileExists final : public platform::FileExistsService {
public:
    bool exists(std::u16string_view fileName) override { return files.count(std::u16string(fileName)) != 0; }
    bool isFile(std::u16string_view fileName) override
    {
        if (beforeLook) {
            beforeLook();
        }
        return exists(fileName) || hiddenFiles.count(std::u16string(fileName)) != 0;
    }
    std::set<std::u16string> files;
    std::set<std::u16string> hiddenFiles;
    // Runs on the thread that asks isFile(), e.g. to wait as a stalled network file system does.
    std::function<void()> beforeLook;
};

class FakeRegistry final : public platform::RegistryService {
public:
    struct Value {
        std::uint32_t type;
        std::vector<std::uint8_t> bytes;
    };
    void setString(const std::string& key, const std::string& name, const std::string& text, bool withNul = true);
    void setDword(const std::string& key, const std::string& name, std::uint32_t number);

    long openKey(platform::RegistryKey root, std::string_view subKey, std::uint32_t access,
                 platform::RegistryKey& opened) override;
    long queryValue(platform::RegistryKey key, std::string_view valueName, std::uint32_t& type,
                    std::span<std::uint8_t> buffer, std::uint32_t& size) override;
    long closeKey(platform::RegistryKey key) override;

    std::map<std::string, std::map<std::string, Value>> keys;  // under HKEY_LOCAL_MACHINE
    std::vector<std::uint32_t> accessMasks;
    std::vector<std::string> queried;  // "key|value"
    int openKeys = 0;

private:
    std::vector<std::string> handles_;
};

// Files held in memory. A file can be scripted to fail or to change size at a chosen read.
struct FileScript {
    std::optional<platform::FileFault> openFault;
    int failAtRead = -1;    // the read (0-based) that throws ReadFailed
    int resizeAtRead = -1;  // before this read the file gets `resizeTo` bytes
    std::size_t resizeTo = 0;
    std::optional<std::int64_t> reportedLength;  // the size the file tells, as /proc tells 0
    // Runs on the thread that reads, e.g. to let time pass as on a slow disk, or to wait as a stalled one.
    std::function<void(int read)> beforeRead;
    // Runs on the thread that opens, e.g. to wait as a stalled network file system does.
    std::function<void()> beforeOpen;
};

class MemoryFiles final : public platform::BinaryFileService {
public:
    using Script = FileScript;
    void add(const std::u16string& path, std::string bytes, Script script = {});

    std::unique_ptr<platform::BinaryFile> openRead(std::u16string_view path) override;

    // Files are read on a thread of their own: these are read by the test while a read may wait.
    std::atomic<int> reads = 0;      // reads of every file since the start
    std::atomic<int> openFiles = 0;  // files open now
    std::atomic<int> opening = 0;    // opens under way, which may wait (FileScript::beforeOpen)
    std::size_t largestRead = 0;

private:
    struct Entry {
        std::string bytes;
        Script script;
    };
    class File;
    std::map<std::u16string, Entry> files_;
};

class FakeLocale final : public platform::LocaleService {
public:
    char16_t decimalSeparator() override { return separator; }
    const CodePage& codePage() override { return CodePage::windows1252(); }
    char16_t separator = u',';
};

class FakeApplication final : public platform::ApplicationService {
public:
    std::u16string title() override { return u"Quorvin"; }
    platform::Version version() override { return {1, 1, 0}; }
    std::u16string executableFolder() override { return u"/opt/quorvin"; }
    platform::InstanceHandle instance() override { return 0x400000; }
};

class FakeControl final : public platform::Control {
public:
    FakeControl(const platform::ControlDesign& design, std::function<void(std::u16string_view)> onChange);
    std::u16string text() const override { return text_; }
    void setText(std::u16string_view text) override;
    std::u16string toolTip() const override { return toolTip_; }
    void setToolTip(std::u16string_view toolTip) override { toolTip_ = toolTip; }
    bool enabled() const override { return enabled_; }
    void setEnabled(bool enabled) override { enabled_ = enabled; }
    bool visible() const override { return visible_; }
    void setVisible(bool visible) override { visible_ = visible; }

private:
    std::u16string text_, toolTip_;
    bool enabled_, visible_;
    std::function<void(std::u16string_view)> onChange_;
};

class FakeWindow final : public platform::Window {
public:
    // Every text the program sets on a control is logged as "Control=text".
    FakeWindow(const platform::WindowDesign& design, platform::EventSink& sink, platform::WindowHandle handle,
               std::vector<std::string>& textLog);
    std::u16string caption() const override { return caption_; }
    void setCaption(std::u16string_view caption) override { caption_ = caption; }
    platform::Control& control(std::string_view name) override;
    platform::WindowHandle handle() const override { return handle_; }

    // What a user does: a click is ignored on a disabled control, as on screen.
    void click(std::string_view name);
    void type(std::string_view name, std::u16string_view text);
    // Enter in a text box presses the button its design names, as the renderers do.
    void pressEnter(std::string_view name);

    const platform::WindowDesign& design;
    platform::EventSink& sink;
    bool shown = false;
    bool loaded = true;

private:
    std::u16string caption_;
    platform::WindowHandle handle_;
    std::map<std::string, std::unique_ptr<FakeControl>, std::less<>> controls_;
};

class FakeWindowSystem final : public platform::WindowSystemService {
public:
    std::unique_ptr<platform::Window> create(const platform::WindowDesign& design, platform::EventSink& sink) override;
    void show(platform::Window& window) override { static_cast<FakeWindow&>(window).shown = true; }
    void showModal(platform::Window& window, platform::Window& owner) override;
    void showOwned(platform::Window& window, platform::Window& owner) override;
    // Handles "events" once (onProcessEvents), then sleeps until the time is up or wake() is called.
    void waitForEvents(std::int64_t milliseconds, bool userInput) override;
    void wake() override;
    void unload(platform::Window& window) override;
    void endProgram() override { ended = true; }

    // Runs while a modal window is up, with that window; a modal window still loaded when it returns is
    // closed with its close box.
    std::function<void(FakeWindow&)> whileModal;
    std::vector<std::string> modalShown;
    // Runs at each waitForEvents, with the owned window that is up (or none).
    std::function<void(FakeWindow* owned, bool userInput)> onProcessEvents;
    std::vector<std::string> ownedShown;
    std::vector<std::string> textLog;  // "Control=text", for every text set on any window
    int eventsProcessed = 0;
    bool ended = false;

private:
    platform::WindowHandle nextHandle_ = 0x1000;
    FakeWindow* owned_ = nullptr;
    std::mutex wakeMutex_;
    std::condition_variable wakeUp_;
    bool woken_ = false;  // guarded by wakeMutex_
};

// All the doubles, installed as the program's services while it lives.
struct FakePlatform {
    FakePlatform();
    ~FakePlatform();
    FakePlatform(const FakePlatform&) = delete;
    FakePlatform& operator=(const FakePlatform&) = delete;

    FakeMessageBox messageBox;
    FakeTitledMessageBox titledMessageBox;
    FakeOpenFileDialog openFileDialog;
    FakeShellOpen shellOpen;
    FakeProcessStart processStart;
    FakeFileExists fileExists;
    FakeRegistry registry;
    MemoryFiles files;
    FakeClock clock;
    FakeLocale locale;
    FakeApplication application;
    FakeWindowSystem windows;
    FakeDesktopSystemInfo desktopSystemInfo;

private:
    platform::Services previous_;
};

}  // namespace quorvin::testing
