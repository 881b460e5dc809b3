#include "tests/faults/fault_suite.h"

#include <fstream>

#include "search_module/scan_options.h"

namespace quorvin::faults {

namespace fs = std::filesystem;

bool contains(const std::u16string& text, std::u16string_view part)
{
    return text.find(part) != std::u16string::npos;
}

class MeddledFiles::File final : public platform::BinaryFile {
public:
    File(std::unique_ptr<platform::BinaryFile> inner, MeddledFiles& owner) : inner_(std::move(inner)), owner_(owner) {}
    std::int64_t length() override { return inner_->length(); }
    std::size_t read(std::int64_t position, std::span<std::uint8_t> into) override
    {
        if (reads_++ == owner_.meddleBeforeRead) owner_.meddle();
        const std::size_t got = inner_->read(position, into);
        owner_.bytesRead += static_cast<std::int64_t>(got);
        return got;
    }

private:
    std::unique_ptr<platform::BinaryFile> inner_;
    MeddledFiles& owner_;
    int reads_ = 0;
};

std::unique_ptr<platform::BinaryFile> MeddledFiles::openRead(std::u16string_view path)
{
    return std::make_unique<File>(system_.openRead(path), *this);
}

FaultSuite::FaultSuite()
    : dir(fs::temp_directory_path() /
          ("quorvin-faults-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name())))
{
    std::error_code ignored;
    fs::remove_all(dir, ignored);  // what an interrupted run left
    fs::create_directories(dir);
    fs::permissions(dir, fs::perms::all);
    fake.messageBox.whileOpen = [this] {
        handlesWhileTold_ = openHandles();
        if (whileTold) whileTold();
    };
}

FaultSuite::~FaultSuite()
{
    std::error_code ignored;
    fs::remove_all(dir, ignored);
}

void FaultSuite::SetUp()
{
    platform::services().binaryFiles = &systemFiles();
    handlesAtStart_ = openHandles();
}

void FaultSuite::TearDown()
{
    EXPECT_EQ(openHandles(), handlesAtStart_) << "a file was left open";
    platform::services().binaryFiles = &systemFiles();
    EXPECT_EQ(scan(write("after.txt", "still usable"), u"USABLE").caption, kFound) << "the next search failed";
}

std::u16string FaultSuite::write(const fs::path& name, const std::string& bytes)
{
    std::ofstream(dir / name, std::ios::binary) << bytes;
    return path(name);
}

testing::MessageRecord FaultSuite::scan(const std::u16string& file, const std::u16string& text)
{
    fake.messageBox.shown.clear();
    handlesWhileTold_ = -1;
    const int before = openHandles();
    ScanOptioons::ScanFile(file, text);
    EXPECT_EQ(fake.messageBox.shown.size(), 1u);
    EXPECT_EQ(handlesWhileTold_, before) << "the file was open while the message was up";
    EXPECT_EQ(openHandles(), before) << "the file was left open";
    if (fake.messageBox.shown.empty()) return {};
    EXPECT_EQ(fake.messageBox.shown[0].owner, form.hWnd());
    EXPECT_EQ(form.Text4().text(), file);
    return fake.messageBox.shown[0];
}

void FaultSuite::expectError(const testing::MessageRecord& shown, const std::u16string& file, std::u16string_view cause)
{
    EXPECT_EQ(shown.caption, kError);
    EXPECT_EQ(shown.type, platform::kMessageError);
    EXPECT_TRUE(contains(shown.text, u"\r" + file + u"\r\n")) << "the path is not in the message";
    EXPECT_TRUE(contains(shown.text, cause));
}

}  // namespace quorvin::faults
