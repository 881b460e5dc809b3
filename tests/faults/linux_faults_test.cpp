// Faults of the Linux system, searched through ScanFile and the POSIX file service: permissions, pipes,
// sockets and devices, /proc and /sys files, names that are not UTF-8, paths at the system's limit.
// tests/real_file_test.cpp holds the simpler cases: a file removed before the search, a FIFO without a
// writer, /dev/zero, /dev/null, a directory, a name that is not UTF-8, and a 4.5 GiB sparse file.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "fault_test_fixture.h"

namespace quorvin::faults {
namespace {

namespace fs = std::filesystem;
using platform::posix::fromNativePath;

// Runs `body` in a child process that has given up root, so that permission bits count; returns what
// `body` returned, empty meaning all was as expected.
std::string asUnprivileged(const std::function<std::string()>& body)
{
    int channel[2];
    if (::pipe(channel) != 0) return "no pipe";
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(channel[0]);
        std::string verdict;
        if (::geteuid() == 0 && (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)) {
            verdict = "cannot give up root";
        } else {
            verdict = body();
        }
        [[maybe_unused]] const ssize_t written = ::write(channel[1], verdict.data(), verdict.size());
        ::_exit(0);
    }
    ::close(channel[1]);
    std::string verdict;
    char buffer[512];
    for (ssize_t got; (got = ::read(channel[0], buffer, sizeof buffer)) > 0;) verdict.append(buffer, got);
    ::close(channel[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? verdict : "the child crashed";
}

TEST_F(FaultTest, PermissionDeniedForAnUnprivilegedUser)
{
    const std::u16string secret = write("secret.txt", "needle");
    fs::permissions(dir / "secret.txt", fs::perms::owner_write);
    fs::create_directories(dir / "closed");
    const std::u16string inClosed = write("closed/inside.txt", "needle");
    fs::permissions(dir / "closed", fs::perms::owner_all | fs::perms::others_read);  // no way through

    const std::string verdict = asUnprivileged([&]() -> std::string {
        for (const std::u16string& target : {secret, inClosed}) {
            form.Text2().setText(u"stale");
            const testing::MessageRecord shown = scan(target, u"needle");
            if (shown.caption != kError || !contains(shown.text, kDenied) || !contains(shown.text, target)) {
                return "wrong message for a file that may not be read";
            }
            if (form.Text2().text() != u"") return "a size is shown for a file that could not be opened";
        }
        // Still usable as that user.
        if (scan(write("open.txt", "needle"), u"needle").caption != kFound) return "next search failed";
        return ::testing::Test::HasFailure() ? "an expectation failed in the child" : "";
    });
    EXPECT_EQ(verdict, "");
}

TEST_F(FaultTest, PipesSocketsAndDevicesAreRefusedWithoutBlocking)
{
    // A FIFO with a writer at the other end: opening it would not wait, reading it would.
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    const int writer = ::open((dir / "fifo").c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(writer, 0);
    fs::create_symlink(dir / "fifo", dir / "fifo-named.txt");
    fs::create_symlink("/dev/zero", dir / "zeros.txt");

    const int listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string socketPath = (dir / "socket").string();
    ASSERT_LT(socketPath.size(), sizeof address.sun_path);
    socketPath.copy(address.sun_path, socketPath.size());
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);

    for (const std::u16string& target : {path("fifo"), path("fifo-named.txt"), path("zeros.txt"), path("socket"),
                                         std::u16string(u"/dev/urandom"), std::u16string(u"/dev/zero")}) {
        form.Text2().setText(u"stale");
        expectError(scan(target, u"abc"), target, kNotRegular);
        EXPECT_EQ(form.Text2().text(), u"");
    }
    ::close(writer);
    ::close(listener);
}

TEST_F(FaultTest, SystemFilesAreReadToTheirRealEnd)
{
    // /proc reports a size of 0 for files that do hold text: they are read to their end, and the fields
    // and the found message tell the bytes read.
    const testing::MessageRecord status = scan(u"/proc/self/status", u"name:");
    EXPECT_EQ(status.caption, kFound);
    const std::u16string read = form.Text2().text();
    EXPECT_NE(read, u"0");
    EXPECT_TRUE(status.text.starts_with(read + u" Octets ont été scannés."))
        << "the found message tells the bytes read";
    EXPECT_EQ(scan(u"/proc/self/maps", u"r").caption, kFound);
    EXPECT_EQ(scan(u"/proc/self/status", u"absent from the file").caption, kNotFound);
    EXPECT_NE(form.Text2().text(), u"0");

    // /sys reports a page for a few bytes: the reads end at the real end, nothing beyond matches, and
    // the found message tells the bytes really there.
    const fs::path online = "/sys/devices/system/cpu/online";
    if (!fs::exists(online)) GTEST_SKIP() << online << " is missing";
    std::string content;
    std::getline(std::ifstream(online), content);
    const testing::MessageRecord found = scan(fromNativePath(online.string()), fromNativePath(content));
    EXPECT_EQ(found.caption, kFound);
    EXPECT_TRUE(found.text.starts_with(fromNativePath(std::to_string(content.size() + 1)) + u" Octets"))
        << "the found message tells the bytes really there, with the line's end";
    EXPECT_EQ(scan(fromNativePath(online.string()), fromNativePath(content + "  ")).caption, kNotFound);
}

TEST_F(FaultTest, LinksThatLoopAreToldAsSuch)
{
    // A link to itself, and two links to each other: the names are there, no path reaches a file.
    fs::create_symlink("self", dir / "self");
    fs::create_symlink("b", dir / "a");
    fs::create_symlink("a", dir / "b");
    for (const char* name : {"self", "a"}) {
        const std::u16string file = path(name);
        expectError(scan(file, u"x"), file, kLinkLoop);
        EXPECT_EQ(form.Text2().text(), u"");
    }
}

TEST_F(FaultTest, NamesOutsideTheCodePageOrNotUtf8)
{
    for (const std::string name : {"\xCE\x94 \xE2\x84\xAA \xF0\x9F\x98\x80.txt",  // Δ, Kelvin sign, an emoji
                                   "line\nbreak\rand\ttab.txt", "bad-\xC3(-\xED\xA0\x80.txt"}) {
        const std::u16string file = write(name, "needle");
        EXPECT_EQ(platform::posix::toNativePath(file), (dir / name).string());
        const testing::MessageRecord shown = scan(file, u"needle");
        EXPECT_EQ(shown.caption, kFound);
        EXPECT_TRUE(shown.text.ends_with(u"\r" + file)) << "the path is shown as it is";
    }
    // A folder on the way whose name is not UTF-8.
    fs::create_directories(dir / "d\xFF\xFE");
    EXPECT_EQ(scan(write("d\xFF\xFE/f.txt", "x"), u"x").caption, kFound);
}

TEST_F(FaultTest, PathsAtTheSystemsLimit)
{
    // The longest path the system takes, 4095 bytes; a file 4096 bytes deep exists but no path reaches it.
    fs::path deep = dir;
    while (deep.string().size() < 4095 - 250) deep /= std::string(200, 'd');
    fs::create_directories(deep);
    const std::string lastName(4095 - deep.string().size() - 1, 'f');
    std::ofstream(deep / lastName) << "needle";
    ASSERT_EQ((deep / lastName).string().size(), 4095u);
    EXPECT_EQ(scan(fromNativePath((deep / lastName).string()), u"needle").caption, kFound);

    const int folder = ::open(deep.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const int tooDeep = ::openat(folder, (lastName + "g").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_GE(tooDeep, 0);
    ::close(tooDeep);
    const std::u16string unreachable = fromNativePath((deep / (lastName + "g")).string());
    EXPECT_EQ(unreachable.size(), 4096u);
    form.Text2().setText(u"stale");
    expectError(scan(unreachable, u"needle"), unreachable, kCannotOpen);
    EXPECT_EQ(form.Text2().text(), u"");
    ::unlinkat(folder, (lastName + "g").c_str(), 0);  // no path removes it
    ::close(folder);
}

}  // namespace
}  // namespace quorvin::faults
