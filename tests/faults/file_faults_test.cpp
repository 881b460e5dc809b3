// Hostile files and texts, searched through ScanFile and the Linux file service. Each case gets its own
// message, no descriptor stays open, and a plain search right after works (checked after every test).
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

#include "main_window/frm_scan.h"
#include "platform/qt/binary_file.h"
#include "platform/qt/native_path.h"
#include "platform/testing/fakes.h"
#include "search_module/scan_options.h"

namespace quorvin {
namespace {

namespace fs = std::filesystem;
using platform::qt::fromNativePath;

constexpr char16_t kFound[] = u"Chaîne de caractère trouvée !";
constexpr char16_t kNotFound[] = u"Chaîne non trouvée";
constexpr char16_t kError[] = u"Lecture du fichier impossible";
constexpr char16_t kGone[] = u"Le fichier n'existe plus ou a été déplacé.";
constexpr char16_t kDenied[] = u"L'accès au fichier est refusé";
constexpr char16_t kNotRegular[] = u"Ce n'est pas un fichier ordinaire";

int openDescriptors()
{
    return static_cast<int>(std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator()));
}

bool contains(const std::u16string& text, std::u16string_view part)
{
    return text.find(part) != std::u16string::npos;
}

// The real file service, with something done to the file just before one of its reads.
class MeddledFiles final : public platform::BinaryFileService {
public:
    std::unique_ptr<platform::BinaryFile> openRead(std::u16string_view path) override
    {
        return std::make_unique<File>(real_.openRead(path), *this);
    }

    int meddleBeforeRead = -1;
    std::function<void()> meddle;
    std::int64_t bytesRead = 0;

private:
    class File final : public platform::BinaryFile {
    public:
        File(std::unique_ptr<platform::BinaryFile> inner, MeddledFiles& owner)
            : inner_(std::move(inner)), owner_(owner) {}
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
    platform::qt::PosixBinaryFiles real_;
};

class FileFaultTest : public ::testing::Test {
protected:
    FileFaultTest()
    {
        platform::services().binaryFiles = &files;
        fs::create_directories(dir);
        fs::permissions(dir, fs::perms::all);
        // The file must be closed by the time the user is told.
        fake.messageBox.whileOpen = [this] {
            descriptorsWhileTold = openDescriptors();
            if (whileTold) whileTold();
        };
    }
    ~FileFaultTest() override { fs::remove_all(dir); }

    void TearDown() override
    {
        EXPECT_EQ(openDescriptors(), descriptorsAtStart) << "a descriptor was left open";
        platform::services().binaryFiles = &files;
        EXPECT_EQ(scan(write("after.txt", "still usable"), u"USABLE").caption, kFound) << "the next search failed";
    }

    std::u16string write(const std::string& name, const std::string& bytes)
    {
        std::ofstream(dir / name, std::ios::binary) << bytes;
        return path(name);
    }
    std::u16string path(const std::string& name) const { return fromNativePath((dir / name).string()); }

    // The one message the search showed.
    testing::MessageRecord scan(const std::u16string& file, const std::u16string& text)
    {
        fake.messageBox.shown.clear();
        descriptorsWhileTold = -1;
        const int before = openDescriptors();
        ScanOptioons::ScanFile(file, text);
        EXPECT_EQ(fake.messageBox.shown.size(), 1u);
        EXPECT_EQ(descriptorsWhileTold, before) << "the file was open while the message was up";
        EXPECT_EQ(openDescriptors(), before) << "the file was left open";
        if (fake.messageBox.shown.empty()) return {};
        EXPECT_EQ(fake.messageBox.shown[0].owner, form.hWnd());
        EXPECT_EQ(form.Text4().text(), file);
        return fake.messageBox.shown[0];
    }

    // A file error names the file and the cause; nothing is found or timed.
    void expectError(const testing::MessageRecord& shown, const std::u16string& file, std::u16string_view cause)
    {
        EXPECT_EQ(shown.caption, kError);
        EXPECT_EQ(shown.type, platform::kMessageError);
        EXPECT_TRUE(contains(shown.text, u"\r" + file + u"\r\n")) << "the path is not in the message";
        EXPECT_TRUE(contains(shown.text, cause));
    }

    testing::FakePlatform fake;
    platform::qt::PosixBinaryFiles files;
    FrmScan form;
    fs::path dir = fs::temp_directory_path() / ("quorvin-faults-" + std::to_string(::getpid()));
    int descriptorsAtStart = openDescriptors();
    int descriptorsWhileTold = -1;
    std::function<void()> whileTold;  // what the user does while the message is up
};

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

TEST_F(FileFaultTest, FileRemovedOrRenamedAfterItWasChosen)
{
    auto& window = static_cast<testing::FakeWindow&>(form.window());
    const std::u16string previous = write("previous.txt", "0123456789");
    EXPECT_EQ(scan(previous, u"no such text").caption, kNotFound);
    const std::u16string oldTime = form.Text1().text();

    for (const bool renamed : {false, true}) {
        const std::u16string chosen = write("chosen.txt", "needle");
        fake.openFileDialog.answers.push_back(chosen);
        window.type("ScanString", u"needle");
        window.click("Scan_Select");  // switches to choosing and opens the dialog
        ASSERT_EQ(form.SelectedFile, chosen);
        if (renamed) {
            fs::rename(dir / "chosen.txt", dir / "moved.txt");
        } else {
            fs::remove(dir / "chosen.txt");
        }
        fake.messageBox.shown.clear();
        window.click("Scan_Select");
        ASSERT_EQ(fake.messageBox.shown.size(), 1u);
        expectError(fake.messageBox.shown[0], chosen, kGone);
        EXPECT_EQ(form.Text4().text(), chosen);
        EXPECT_EQ(form.Text2().text(), u"") << "the size of the previous file is still shown";
        EXPECT_EQ(form.Text1().text(), oldTime);
        EXPECT_EQ(form.Scan_Select().text(), u"Selectionner un fichier...");
    }
    EXPECT_EQ(scan(path("moved.txt"), u"NEEDLE").caption, kFound);
}

TEST_F(FileFaultTest, FileRemovedOrRenamedWhileReadIsReadToItsEnd)
{
    // The open file stays whole on Linux until it is closed, whatever happens to its name.
    MeddledFiles meddled;
    platform::services().binaryFiles = &meddled;
    const std::u16string file = write("big.txt", std::string(100000, 'x') + "needle");
    meddled.meddleBeforeRead = 1;
    meddled.meddle = [&] { fs::rename(dir / "big.txt", dir / "elsewhere.txt"); };
    EXPECT_EQ(scan(file, u"needle").caption, kFound);
    meddled.meddle = [&] { fs::remove(dir / "elsewhere.txt"); };
    EXPECT_EQ(scan(path("elsewhere.txt"), u"needle").caption, kFound);
    EXPECT_FALSE(fs::exists(dir / "elsewhere.txt"));
}

TEST_F(FileFaultTest, PermissionDeniedForAnUnprivilegedUser)
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

TEST_F(FileFaultTest, PipesSocketsAndDevicesAreRefusedWithoutBlocking)
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

TEST_F(FileFaultTest, SystemFilesAreSearchedAsFarAsTheirSizeSays)
{
    // /proc reports a size of 0 for files that do hold text: what the size says is what is searched.
    const testing::MessageRecord status = scan(u"/proc/self/status", u"Name:");
    EXPECT_EQ(status.caption, kNotFound);
    EXPECT_EQ(form.Text2().text(), u"0");
    EXPECT_EQ(form.Text3().text(), u"") << "no time measured, no rate";

    // /sys reports a page for a few bytes: the reads end at the real end, and nothing beyond matches.
    const fs::path online = "/sys/devices/system/cpu/online";
    if (!fs::exists(online)) GTEST_SKIP() << online << " is missing";
    std::string content;
    std::getline(std::ifstream(online), content);
    EXPECT_EQ(scan(fromNativePath(online.string()), fromNativePath(content)).caption, kFound);
    EXPECT_EQ(scan(fromNativePath(online.string()), fromNativePath(content + "  ")).caption, kNotFound);
}

TEST_F(FileFaultTest, FileTruncatedOrAppendedToWhileRead)
{
    MeddledFiles meddled;
    platform::services().binaryFiles = &meddled;
    const std::string start(100000, 'x');

    // Cut to 40000 bytes after the first block: the search ends there, with the size taken at the start.
    const std::u16string cut = write("cut.txt", start + "needle");
    meddled.meddleBeforeRead = 1;
    meddled.meddle = [&] { fs::resize_file(dir / "cut.txt", 40000); };
    EXPECT_EQ(scan(cut, u"needle").caption, kNotFound);
    EXPECT_EQ(meddled.bytesRead, 40000);
    EXPECT_EQ(form.Text2().text(), u"100006");

    // Cut inside the block that holds the text: the part still there is searched.
    write("cut.txt", start + "needle" + start);
    meddled.bytesRead = 0;
    meddled.meddle = [&] { fs::resize_file(dir / "cut.txt", 100006); };
    const testing::MessageRecord shown = scan(cut, u"needle");
    EXPECT_EQ(shown.caption, kFound);
    EXPECT_TRUE(contains(shown.text, u"100006 Octets")) << "the found message tells the length at its time";
    EXPECT_EQ(form.Text2().text(), u"200006");

    // Appended to: read up to the first length only; the new end is not searched.
    const std::u16string grown = write("grown.txt", start);
    meddled.bytesRead = 0;
    meddled.meddle = [&] { std::ofstream(dir / "grown.txt", std::ios::app) << "needle"; };
    EXPECT_EQ(scan(grown, u"needle").caption, kNotFound);
    EXPECT_EQ(meddled.bytesRead, 100000);
    EXPECT_EQ(form.Text2().text(), u"100000");
}

TEST_F(FileFaultTest, SparseFileOfFiveGibibytes)
{
    // Zeros up to its last three bytes, "END": 5368709120 bytes in all.
    const std::int64_t size = std::int64_t{5} << 30;
    {
        std::ofstream out(dir / "sparse", std::ios::binary);
        out.seekp(size - 3);
        out << "END";
    }
    const testing::MessageRecord found = scan(path("sparse"), u"end");
    EXPECT_EQ(found.caption, kFound);
    EXPECT_TRUE(contains(found.text, u"5368709120 Octets ont été scannés."));

    whileTold = [this] { fake.clock.advance(3); };  // as if the user read it for 3 s
    EXPECT_EQ(scan(path("sparse"), u"absent").caption, kNotFound);
    EXPECT_EQ(form.Text2().text(), u"5368709120");
    EXPECT_FALSE(form.Text1().text().empty());
    EXPECT_FALSE(form.Text3().text().empty());
}

TEST_F(FileFaultTest, NamesOutsideTheCodePageOrNotUtf8)
{
    for (const std::string name : {"\xCE\x94 \xE2\x84\xAA \xF0\x9F\x98\x80.txt",  // Δ, Kelvin sign, an emoji
                                   "line\nbreak\rand\ttab.txt", "bad-\xC3(-\xED\xA0\x80.txt"}) {
        const std::u16string file = write(name, "needle");
        EXPECT_EQ(platform::qt::toNativePath(file), (dir / name).string());
        const testing::MessageRecord shown = scan(file, u"needle");
        EXPECT_EQ(shown.caption, kFound);
        EXPECT_TRUE(shown.text.ends_with(u"\r" + file)) << "the path is shown as it is";
    }
    // A folder on the way whose name is not UTF-8.
    fs::create_directories(dir / "d\xFF\xFE");
    EXPECT_EQ(scan(write("d\xFF\xFE/f.txt", "x"), u"x").caption, kFound);
}

TEST_F(FileFaultTest, PathsAtTheSystemsLimit)
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
    expectError(scan(unreachable, u"needle"), unreachable, u"Le fichier ne peut pas être ouvert.");
    EXPECT_EQ(form.Text2().text(), u"");
    ::unlinkat(folder, (lastName + "g").c_str(), 0);  // no path removes it
    ::close(folder);
}

TEST_F(FileFaultTest, TextsLongerThanABlockAreNeverFound)
{
    std::u16string text;
    for (int i = 0; i < 100000; ++i) text += static_cast<char16_t>(u'a' + i % 26);
    const std::string bytes(text.begin(), text.end());
    const std::u16string file = write("long.txt", bytes + bytes);
    const testing::MessageRecord shown = scan(file, text);
    EXPECT_EQ(shown.caption, kNotFound);
    EXPECT_TRUE(contains(shown.text, u"< " + text + u" >")) << "the whole text is shown";
    EXPECT_EQ(form.Text2().text(), u"200000");

    // One block's worth is found, even across the seam between two blocks.
    EXPECT_EQ(scan(file, text.substr(100, 32000)).caption, kFound);
    EXPECT_EQ(scan(file, text.substr(100, 32001)).caption, kNotFound);
}

TEST_F(FileFaultTest, TextsThatCannotBeWrittenInTheCodePageNeverMatchAQuestionMark)
{
    const std::u16string file = write("marks.txt", "Kelvin ? a?b K k \x80 100?C");
    for (const std::u16string text : {u"Δ", u"\u212A", u"a\u0394b", u"\u212Aelvin", u"100\u2103"}) {
        EXPECT_EQ(scan(file, text).caption, kNotFound);
    }
    EXPECT_EQ(scan(file, std::u16string(1, char16_t{0xD800})).caption, kNotFound);  // half a surrogate pair
    EXPECT_EQ(scan(file, u"€").caption, kFound);  // the euro sign has a byte of its own
    EXPECT_EQ(scan(file, u"KELVIN").caption, kFound);
}

TEST_F(FileFaultTest, TrailingSpacesNeverMatchThePaddingOfTheLastBlock)
{
    EXPECT_EQ(scan(write("short.txt", "abc"), u"abc ").caption, kNotFound);
    const std::u16string whole = write("whole.txt", std::string(31997, 'x') + "abc");  // exactly one block
    EXPECT_EQ(scan(whole, u"abc ").caption, kNotFound);
    EXPECT_EQ(scan(whole, u"abc").caption, kFound);
    const std::u16string oneMore = write("more.txt", std::string(31997, 'x') + "abc" + "d");
    EXPECT_EQ(scan(oneMore, u"d  ").caption, kNotFound);
    EXPECT_EQ(scan(write("spaces.txt", "abc   x"), u"abc  ").caption, kFound);  // spaces the file holds
}

TEST_F(FileFaultTest, NulBytesInTheFileAndInTheText)
{
    const std::u16string file = write("nul.bin", std::string("a\0B", 3) + std::string(32000, '\0') + "end");
    EXPECT_EQ(scan(file, std::u16string(u"A\0b", 3)).caption, kFound);
    EXPECT_EQ(scan(file, std::u16string(u"a\0c", 3)).caption, kNotFound);
    EXPECT_EQ(scan(file, std::u16string(u"\0\0\0\0end", 7)).caption, kFound);  // across the seam
    EXPECT_EQ(scan(write("plain.txt", "no nul here"), std::u16string(1, u'\0')).caption, kNotFound);
    EXPECT_EQ(scan(file, std::u16string(1, u'\0') + u"end ").caption, kNotFound);
}

}  // namespace
}  // namespace quorvin
