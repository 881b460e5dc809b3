#include "tests/fakes/fakes.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <stdexcept>

namespace quorvin::testing {

void FakeMessageBox::show(platform::WindowHandle owner, std::u16string_view text, std::u16string_view caption, int type)
{
    shown.push_back({owner, std::u16string(text), std::u16string(caption), type});
    if (whileOpen) {
        whileOpen();
    }
}

bool FakeOpenFileDialog::show(platform::OpenFileRecord& record)
{
    records.push_back(record);
    if (answers.empty()) {
        return false;
    }
    const std::optional<std::u16string> answer = answers.front();
    answers.pop_front();
    if (!answer) {
        return false;
    }
    // As the system dialog does: the path, its NUL, then what was left of the buffer.
    const std::u16string rest =
        answer->size() + 1 < record.fileBuffer.size() ? record.fileBuffer.substr(answer->size() + 1) : std::u16string();
    record.fileBuffer = *answer + u'\0' + rest;
    return true;
}

void FakeShellOpen::open(platform::WindowHandle owner, std::u16string_view verb, std::u16string_view target,
                         std::u16string_view parameters, std::u16string_view workingFolder, int showState)
{
    opened.push_back({owner, std::u16string(verb), std::u16string(target), std::u16string(parameters),
                      std::u16string(workingFolder), showState});
    if (fail) {
        throw std::runtime_error("no handler");
    }
}

void FakeProcessStart::start(std::u16string_view programPath, int windowStyle)
{
    started.emplace_back(programPath);
    styles.push_back(windowStyle);
    if (fail) {
        throw platform::ProcessStartError("cannot start");
    }
}

void FakeRegistry::setString(const std::string& key, const std::string& name, const std::string& text, bool withNul)
{
    std::vector<std::uint8_t> bytes(text.begin(), text.end());
    if (withNul) {
        bytes.push_back(0);
    }
    keys[key][name] = {platform::kRegSz, bytes};
}

void FakeRegistry::setDword(const std::string& key, const std::string& name, std::uint32_t number)
{
    std::vector<std::uint8_t> bytes(4);
    for (int i = 0; i < 4; ++i) {
        bytes[i] = static_cast<std::uint8_t>(number >> (8 * i));
    }
    keys[key][name] = {platform::kRegDword, bytes};
}

long FakeRegistry::openKey(platform::RegistryKey root, std::string_view subKey, std::uint32_t access,
                           platform::RegistryKey& opened)
{
    accessMasks.push_back(access);
    if (root != platform::kHKeyLocalMachine || keys.count(std::string(subKey)) == 0) {
        return platform::kErrorFileNotFound;
    }
    handles_.emplace_back(subKey);
    opened = handles_.size();
    ++openKeys;
    return 0;
}

long FakeRegistry::queryValue(platform::RegistryKey key, std::string_view valueName, std::uint32_t& type,
                              std::span<std::uint8_t> buffer, std::uint32_t& size)
{
    const std::string& keyName = handles_.at(key - 1);
    queried.push_back(keyName + "|" + std::string(valueName));
    const auto& values = keys.at(keyName);
    const auto found = values.find(std::string(valueName));
    if (found == values.end()) {
        return platform::kErrorFileNotFound;
    }
    type = found->second.type;
    const std::vector<std::uint8_t>& bytes = found->second.bytes;
    const bool fits = bytes.size() <= size && bytes.size() <= buffer.size();
    size = static_cast<std::uint32_t>(bytes.size());
    if (!fits) {
        return platform::kErrorMoreData;
    }
    std::copy(bytes.begin(), bytes.end(), buffer.begin());
    return 0;
}

long FakeRegistry::closeKey(platform::RegistryKey)
{
    --openKeys;
    return 0;
}

class MemoryFiles::File final : public platform::BinaryFile {
public:
    File(MemoryFiles& owner, Entry& entry) : owner_(owner), entry_(entry) { ++owner_.openFiles; }
    ~File() override { --owner_.openFiles; }

    std::int64_t length() override
    {
        return entry_.script.reportedLength.value_or(static_cast<std::int64_t>(entry_.bytes.size()));
    }

    std::size_t read(std::int64_t position, std::span<std::uint8_t> into) override
    {
        const int index = readsOfThisFile_++;
        ++owner_.reads;
        if (entry_.script.beforeRead) {
            entry_.script.beforeRead(index);
        }
        owner_.largestRead = std::max(owner_.largestRead, into.size());
        if (index == entry_.script.resizeAtRead) {
            entry_.bytes.resize(entry_.script.resizeTo, 'g');
        }
        if (index == entry_.script.failAtRead) {
            throw platform::FileError(platform::FileFault::ReadFailed, "scripted read failure");
        }
        const auto start = static_cast<std::size_t>(position - 1);
        if (start >= entry_.bytes.size()) {
            return 0;
        }
        const std::size_t count = std::min(into.size(), entry_.bytes.size() - start);
        std::memcpy(into.data(), entry_.bytes.data() + start, count);
        return count;
    }

private:
    MemoryFiles& owner_;
    Entry& entry_;
    int readsOfThisFile_ = 0;
};

void MemoryFiles::add(const std::u16string& path, std::string bytes, Script script)
{
    files_[path] = {std::move(bytes), script};
}

std::unique_ptr<platform::BinaryFile> MemoryFiles::openRead(std::u16string_view path)
{
    const auto found = files_.find(std::u16string(path));
    if (found == files_.end()) {
        throw platform::FileError(platform::FileFault::NotFound, "no such file");
    }
    // Counted until the file it opens is counted among those open.
    ++opening;
    const struct Opened {
        std::atomic<int>& opening;
        ~Opened() { --opening; }
    } opened{opening};
    if (found->second.script.beforeOpen) {
        found->second.script.beforeOpen();
    }
    if (found->second.script.openFault) {
        throw platform::FileError(*found->second.script.openFault, "scripted open failure");
    }
    return std::make_unique<File>(*this, found->second);
}

FakeControl::FakeControl(const platform::ControlDesign& design, std::function<void(std::u16string_view)> onChange)
    : text_(design.text), toolTip_(design.toolTip), enabled_(design.enabled), visible_(design.visible),
      onChange_(std::move(onChange))
{
}

void FakeControl::setText(std::u16string_view text)
{
    if (text_ == text) {
        return;
    }
    text_ = text;
    onChange_(text_);
}

FakeWindow::FakeWindow(const platform::WindowDesign& design, platform::EventSink& sink, platform::WindowHandle handle,
                       std::vector<std::string>& textLog)
    : design(design), sink(sink), caption_(design.caption), handle_(handle)
{
    for (const platform::ControlDesign& c : design.controls) {
        const bool textBox = c.kind == platform::ControlKind::TextBox;
        auto onChange = [this, &textLog, name = c.name, textBox](std::u16string_view text) {
            textLog.push_back(name + "=" + std::string(text.begin(), text.end()));
            if (textBox) {
                this->sink.onEvent(name, platform::Event::Change);
            }
        };
        controls_.emplace(c.name, std::make_unique<FakeControl>(c, std::move(onChange)));
    }
}

platform::Control& FakeWindow::control(std::string_view name)
{
    const auto found = controls_.find(name);
    if (found == controls_.end()) {
        throw std::out_of_range("no control " + std::string(name));
    }
    return *found->second;
}

void FakeWindow::click(std::string_view name)
{
    platform::Control& c = control(name);
    if (c.enabled() && c.visible()) {
        sink.onEvent(name, platform::Event::Click);
    }
}

void FakeWindow::type(std::string_view name, std::u16string_view text)
{
    control(name).setText(text);
}

void FakeWindow::pressEnter(std::string_view name)
{
    for (const platform::ControlDesign& c : design.controls) {
        if (c.name == name && !c.enterPresses.empty()) {
            click(c.enterPresses);
        }
    }
}

std::unique_ptr<platform::Window> FakeWindowSystem::create(const platform::WindowDesign& design,
                                                           platform::EventSink& sink)
{
    return std::make_unique<FakeWindow>(design, sink, nextHandle_++, textLog);
}

void FakeWindowSystem::showModal(platform::Window& window, platform::Window&)
{
    auto& fake = static_cast<FakeWindow&>(window);
    modalShown.push_back(fake.design.name);
    fake.shown = true;
    if (whileModal) {
        whileModal(fake);
    }
    if (fake.loaded) {
        unload(fake);  // the close box
    }
}

void FakeWindowSystem::showOwned(platform::Window& window, platform::Window&)
{
    auto& fake = static_cast<FakeWindow&>(window);
    ownedShown.push_back(fake.design.name);
    fake.shown = true;
    owned_ = &fake;
}

void FakeWindowSystem::waitForEvents(std::int64_t milliseconds, bool userInput)
{
    ++eventsProcessed;
    if (onProcessEvents) {
        onProcessEvents(owned_, userInput);
    }
    std::unique_lock lock(wakeMutex_);
    wakeUp_.wait_for(lock, std::chrono::milliseconds(milliseconds), [this] { return woken_ || ended; });
    woken_ = false;
}

void FakeWindowSystem::wake()
{
    const std::lock_guard lock(wakeMutex_);
    woken_ = true;
    wakeUp_.notify_all();
}

void FakeWindowSystem::unload(platform::Window& window)
{
    auto& fake = static_cast<FakeWindow&>(window);
    if (&fake == owned_) {
        owned_ = nullptr;
    }
    if (!fake.loaded) {
        return;
    }
    fake.loaded = false;
    fake.shown = false;
    fake.sink.onEvent("", platform::Event::Unload);
}

FakePlatform::FakePlatform() : previous_(platform::services())
{
    platform::services() = {
        &messageBox, &titledMessageBox, &openFileDialog, &shellOpen, &processStart,     &fileExists, &registry, &files,
        &clock,      &locale,           &application,    &windows,   &desktopSystemInfo};
}

FakePlatform::~FakePlatform()
{
    platform::services() = previous_;
}

}  // namespace quorvin::testing
