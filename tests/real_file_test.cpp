// ScanFile over the Linux file service and real files: what cannot be read is reported, never blocks.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "main_window/frm_scan.h"
#include "platform/posix/binary_file.h"
#include "platform/posix/native_path.h"
#include "search_module/scan_options.h"
#include "tests/fakes/fakes.h"

namespace quorvin {
namespace {

namespace fs = std::filesystem;
using platform::posix::fromNativePath;

class RealFileTest : public ::testing::Test {
protected:
    RealFileTest()
    {
        platform::services().binaryFiles = &files;
        fs::create_directories(dir);
    }
    ~RealFileTest() override { fs::remove_all(dir); }

    std::u16string write(const std::string& name, const std::string& bytes)
    {
        std::ofstream(dir / name, std::ios::binary) << bytes;
        return path(name);
    }
    std::u16string path(const std::string& name) const { return fromNativePath((dir / name).string()); }

    // The caption of the one message the search showed.
    std::u16string scan(const std::u16string& file, const std::u16string& text)
    {
        fake.messageBox.shown.clear();
        ScanOptioons::ScanFile(file, text);
        EXPECT_EQ(fake.messageBox.shown.size(), 1u);
        return fake.messageBox.shown.empty() ? u"" : fake.messageBox.shown[0].caption;
    }

    testing::FakePlatform fake;
    platform::posix::PosixBinaryFiles files;
    FrmScan form;
    fs::path dir = fs::temp_directory_path() / ("quorvin-test-" + std::to_string(::getpid()));
};

constexpr char16_t kFound[] = u"Chaîne de caractère trouvée !";
constexpr char16_t kNotFound[] = u"Chaîne non trouvée";
constexpr char16_t kError[] = u"Lecture du fichier impossible";

TEST_F(RealFileTest, SearchesARegularFile)
{
    const auto file = write("a.txt", std::string(40000, 'x') + "Caf\xC9 cr\xE8me" + std::string(30000, 'y'));
    EXPECT_EQ(scan(file, u"café CRÈME"), kFound);
    EXPECT_EQ(scan(file, u"cafe"), kNotFound);
    EXPECT_EQ(form.Text2().text(), u"70010");
}

TEST_F(RealFileTest, WhatIsNoReadableFileIsReportedWithoutBlocking)
{
    const auto gone = write("gone.txt", "abc");
    fs::remove(dir / "gone.txt");
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);  // no writer: opening it must not wait
    for (const std::u16string& target : {gone, path("fifo"), std::u16string(u"/dev/zero"), std::u16string(u"/dev/null"),
                                         u"/" + std::u16string(4096, u'x')}) {
        EXPECT_EQ(scan(target, u"abc"), kError) << std::string(target.begin(), target.end());
    }
    EXPECT_EQ(scan(path(""), u"abc"), kError);
    EXPECT_NE(fake.messageBox.shown[0].text.find(u"dossier"), std::u16string::npos);
}

TEST_F(RealFileTest, NamesThatAreNotUtf8AreReached)
{
    const std::string odd = "caf\xE9-\xFF.txt";  // Latin-1 bytes in a name: not UTF-8
    std::ofstream(dir / odd, std::ios::binary) << "needle";
    const std::u16string name = path(odd);
    EXPECT_EQ(platform::posix::toNativePath(name), (dir / odd).string());
    EXPECT_EQ(scan(name, u"NEEDLE"), kFound);
    EXPECT_EQ(scan(write("Δ日本.txt", "x"), u"x"), kFound);
}

TEST_F(RealFileTest, PermissionDeniedForAnUnprivilegedUser)
{
    const auto secret = write("secret.txt", "abc");
    fs::permissions(dir / "secret.txt", fs::perms::owner_write);
    fs::permissions(dir, fs::perms::all);
    // Done in a child that gives up root, so that the permission bits count.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(3);
        try {
            files.openRead(secret);
        } catch (const platform::FileError& e) {
            ::_exit(e.fault() == platform::FileFault::AccessDenied ? 0 : 1);
        }
        ::_exit(2);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST_F(RealFileTest, SparseFileBeyondFourGigabytesIsSearchedWhole)
{
    const std::int64_t size = (std::int64_t{9} << 29) + 3;  // 4.5 GiB and the text
    {
        std::ofstream out(dir / "sparse", std::ios::binary);
        out.seekp(size - 3);
        out << "END";
    }
    EXPECT_EQ(scan(path("sparse"), u"end"), kFound);
    EXPECT_EQ(form.Text2().text(), u"4831838211");
    EXPECT_NE(fake.messageBox.shown[0].text.find(u"4831838211 Octets"), std::u16string::npos);
}

}  // namespace
}  // namespace quorvin
