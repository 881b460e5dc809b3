// libFuzzer target: the block scan, over a file that may end early, grow or fail a read, against a naive
// search of the whole file. Any difference aborts.
//
// Input: [block] [text length] [fault] [where, 2 bytes] [text bytes] [file bytes]
//   block:  0..63 -> blocks of 1..64 bytes; 64, 65 -> the program's own block size, and then the whole
//           ScanFile runs too
//   fault:  bits 0-1: 0 none, 1 the file ends early (at byte `where`), 2 the file grows (its length is
//           taken as `where`), 3 the read number `where` fails;
//           bit 2: a character the code page cannot write goes into the text (ScanFile only);
//           bits 3 and 4 both set: the text is made 31999 to 32001 bytes long and planted at the file's start (the
//           program's block size only); bit 5: the text bytes are UTF-16LE units (lone surrogates and pairs included)
//           rather than Windows-1252
// The block scan runs with the code page's form alone and with every form (Windows-1252, UTF-8, UTF-16LE,
// UTF-16BE); the naive search reads the file in each form from every offset.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <optional>
#include <string>

#include "encoding/code_page.h"
#include "main_window/frm_scan.h"
#include "scanner/block_scanner.h"
#include "search_module/messages.h"
#include "search_module/number_text.h"
#include "search_module/scan_options.h"
#include "tests/fakes/fakes.h"
#include "tests/naive_search.h"

namespace quorvin {
namespace {

using ScanOptioons::ScanResult;

[[noreturn]] void mismatch(const char* what)
{
    std::fprintf(stderr, "scan_fuzz: %s\n", what);
    std::abort();
}

void check(bool condition, const char* what)
{
    if (!condition) mismatch(what);
}

struct Case {
    std::size_t blockSize;
    std::string text;      // code page bytes
    std::string content;   // every byte the file could give
    std::int64_t length;   // what the file says its length is
    std::int64_t realEnd;  // where reads stop giving bytes
    std::int64_t failAt;   // the read (0-based) that fails, or -1
    bool uncodable;        // the typed text holds a character the code page cannot write
    std::size_t uncodableAt;
    bool utf16Text;  // `text` holds UTF-16LE units
};

// The text as the user typed it, before any character the code page cannot write goes in.
std::u16string typedText(const Case& c)
{
    if (!c.utf16Text) return CodePage::windows1252().decode(c.text);
    std::u16string units;
    for (std::size_t i = 0; i + 1 < c.text.size(); i += 2) {
        units +=
            static_cast<char16_t>(static_cast<std::uint8_t>(c.text[i]) | static_cast<std::uint8_t>(c.text[i + 1]) << 8);
    }
    return units;
}

// The file the scan sees: asks are checked against what a caller may do, answers follow the case.
class CaseFile final : public platform::BinaryFile {
public:
    CaseFile(const Case& c, int& openFiles) : c_(c), openFiles_(openFiles) { ++openFiles_; }
    ~CaseFile() override { --openFiles_; }

    std::int64_t length() override { return c_.length; }

    std::size_t read(std::int64_t position, std::span<std::uint8_t> into) override
    {
        // In sequence, but for a found text's place, read again from what was read already.
        check(position <= next_, "reads skip part of the file");
        // A file whose length reads 0 is read until a read comes back short.
        check(c_.length == 0 || position - 1 + static_cast<std::int64_t>(into.size()) <= c_.length,
              "read beyond the length");
        check(into.size() <= c_.blockSize, "read larger than a block");
        if (reads_++ == c_.failAt) {
            throw platform::FileError(platform::FileFault::ReadFailed, "injected read failure");
        }
        const std::int64_t start = position - 1;
        const std::int64_t available = std::max<std::int64_t>(0, c_.realEnd - start);
        const auto count = static_cast<std::size_t>(std::min<std::int64_t>(available, into.size()));
        std::memcpy(into.data(), c_.content.data() + start, count);
        next_ = std::max(next_, position + static_cast<std::int64_t>(count));
        return count;
    }

private:
    const Case& c_;
    int& openFiles_;
    std::int64_t next_ = 1;
    std::int64_t reads_ = 0;
};

class CaseFiles final : public platform::BinaryFileService {
public:
    std::unique_ptr<platform::BinaryFile> openRead(std::u16string_view) override
    {
        return std::make_unique<CaseFile>(*current, openFiles);
    }
    const Case* current = nullptr;
    int openFiles = 0;
};

enum class Outcome { Found, NotFound, ReadError };

struct Expected {
    Outcome outcome;
    std::int64_t bytesRead;
    bool reachedEnd = false;  // the read that ended the scan came back short
};

// Looks for the text in the whole visible file the plain way: in the code page's
// bytes alone, or with `typed`, in every form. The scan reads up to `length` bytes.
Expected reference(const Case& c, std::int64_t length, std::size_t blockSize, const std::u16string* typed = nullptr)
{
    const ByteTable& fold = CodePage::windows1252().foldTable();
    const std::int64_t visible = std::min(length, c.realEnd);
    const std::string file = c.content.substr(0, static_cast<std::size_t>(visible));
    std::size_t end = naive::kNowhere;
    if (typed == nullptr) {
        std::string text = c.text;
        for (char& ch : text) ch = static_cast<char>(fold[static_cast<std::uint8_t>(ch)]);
        const std::size_t at = naive::firstFolded(file, text, fold);
        end = at == naive::kNowhere ? naive::kNowhere : at + text.size();
    } else if (!typed->empty()) {
        end = naive::firstEndInAnyForm(file, *typed, CodePage::windows1252());
    }
    const auto block = static_cast<std::int64_t>(blockSize);
    if (end != naive::kNowhere) {
        // The scan stops at the read that brings the occurrence's last byte, unless a read fails first.
        const std::int64_t lastRead = static_cast<std::int64_t>(end - 1) / block;
        if (c.failAt >= 0 && c.failAt <= lastRead) return {Outcome::ReadError, 0};
        return {Outcome::Found, std::min((lastRead + 1) * block, visible),
                c.realEnd < length && c.realEnd < (lastRead + 1) * block};
    }
    // Read i is made when it starts before the length and every read before it was whole.
    const std::int64_t failStart = c.failAt * block;
    if (c.failAt >= 0 && failStart < length && failStart <= c.realEnd) return {Outcome::ReadError, 0};
    return {Outcome::NotFound, visible, c.realEnd < length};
}

// The block scan with the code page's form alone, or with every form of `typed`.
void checkScanBlocks(const Case& c, const std::u16string* typed)
{
    CaseFiles files;
    files.current = &c;
    const Expected expected = reference(c, c.length, c.blockSize, typed);
    std::optional<ScanResult> result;
    std::int64_t bytesRead = -1;
    {
        auto file = files.openRead(u"");
        BlockScanner scanner = typed ? BlockScanner(*typed, CodePage::windows1252())
                                     : BlockScanner(c.text, CodePage::windows1252().foldTable());
        try {
            result = ScanOptioons::ScanBlocks(*file, c.length, scanner, {}, &bytesRead, c.blockSize);
        } catch (const platform::FileError& error) {
            check(error.fault() == platform::FileFault::ReadFailed, "wrong fault");
        }
    }
    switch (expected.outcome) {
    case Outcome::ReadError:
        check(!result, "a failed read did not surface");
        break;
    case Outcome::Found:
        check(result == ScanResult::Found, "text missed");
        break;
    case Outcome::NotFound:
        check(result == ScanResult::NotFound, "text found that is not there");
        break;
    }
    if (result) check(bytesRead == expected.bytesRead, "wrong count of bytes read");
}

// The whole search as the user starts it, with its message box and fields.
void checkScanFile(const Case& c)
{
    static testing::FakePlatform fake;
    static FrmScan form;
    static CaseFiles files;
    platform::services().binaryFiles = &files;
    files.current = &c;
    fake.messageBox.shown.clear();

    std::u16string typed = typedText(c);
    if (c.uncodable) {
        // U+0394 has no byte in the code page; U+212A, the Kelvin sign, must not turn into K.
        typed.insert(std::min(c.uncodableAt, typed.size()), 1, c.uncodableAt % 2 ? u'\u0394' : u'\u212A');
    }
    ScanOptioons::ScanFile(u"/fuzz/file", typed);

    Expected expected{Outcome::NotFound, 0};  // a text that cannot occur reads nothing
    // A text without a form a file can hold (no byte in the code page for one of its characters, and
    // half a surrogate pair) is not looked for: nothing is read.
    const bool hasForm = CodePage::windows1252().encode(typed) || unicode::fromUtf16(typed);
    // A length of 0 is not trusted: such a file is read to its real end, and the bytes read stand for it.
    const bool sizeUntold = c.length == 0;
    if (ScanOptioons::typedLength(typed) <= ScanOptioons::LongestText && hasForm) {
        const std::int64_t toTheEnd = std::numeric_limits<std::int64_t>::max();
        expected = reference(c, sizeUntold ? toTheEnd : c.length, ScanOptioons::BlockSize, &typed);
    }
    const Outcome outcome = expected.outcome;
    check(fake.messageBox.shown.size() == 1, "not exactly one message");
    const testing::MessageRecord& shown = fake.messageBox.shown[0];
    check(shown.owner == form.hWnd(), "message not owned by the main window");
    check(files.openFiles == 0, "file left open");
    const bool sizeFromReads = sizeUntold && outcome != Outcome::ReadError;
    check(form.Text2().text() == integerToText(sizeFromReads ? expected.bytesRead : c.length), "wrong size shown");
    switch (outcome) {
    case Outcome::ReadError:
        check(shown.caption == messages::kFileErrorCaption, "read error not told");
        break;
    case Outcome::Found:
        check(shown.caption == messages::kFoundCaption, "ScanFile missed the text");
        check(shown.text == messages::found(sizeUntold || expected.reachedEnd ? expected.bytesRead : c.length, typed,
                                            u"/fuzz/file"),
              "wrong found message");
        break;
    case Outcome::NotFound:
        check(shown.caption == messages::kNotFoundCaption, "ScanFile found what is not there");
        check(shown.text == messages::notFound(typed, u"/fuzz/file"), "wrong not-found message");
        break;
    }
}

}  // namespace
}  // namespace quorvin

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace quorvin;
    if (size < 6) return 0;
    const std::uint8_t blockChoice = data[0] % 66;
    const std::size_t textLength = 1 + data[1] % 48;
    const std::uint8_t fault = data[2];
    const std::size_t where = data[3] | (data[4] << 8);
    data += 5;
    size -= 5;

    Case c{};
    c.blockSize = blockChoice < 64 ? blockChoice + 1u : ScanOptioons::BlockSize;
    const std::size_t taken = std::min(textLength, size);
    c.text.assign(reinterpret_cast<const char*>(data), taken);
    c.content.assign(reinterpret_cast<const char*>(data + taken), size - taken);
    if (c.text.empty()) return 0;
    if ((fault & 0x18) == 0x18 && c.blockSize == ScanOptioons::BlockSize) {
        // Filled with a sequence that hardly repeats, so that the plain searches stay fast.
        std::string longText = c.text;
        for (std::size_t i = longText.size(); i < ScanOptioons::LongestText - 1 + where % 3; ++i) {
            longText += static_cast<char>((i * 167 + i / 251) & 0xFF);
        }
        c.text = longText;
        c.content = longText + c.content;
    }
    const auto contentSize = static_cast<std::int64_t>(c.content.size());
    c.length = contentSize;
    c.realEnd = contentSize;
    c.failAt = -1;
    switch (fault & 3) {
    case 1:
        c.realEnd = static_cast<std::int64_t>(where) % (contentSize + 1);
        break;
    case 2:
        c.length = static_cast<std::int64_t>(where) % (contentSize + 1);
        break;
    case 3:
        c.failAt = static_cast<std::int64_t>(where % 16);
        break;
    }
    c.uncodable = (fault & 4) != 0;
    c.uncodableAt = where;
    c.utf16Text = (fault & 0x20) != 0;

    if (!c.utf16Text) checkScanBlocks(c, nullptr);
    const std::u16string typed = typedText(c);
    if (typed.empty()) return 0;  // an empty text never searches
    checkScanBlocks(c, &typed);
    if (c.blockSize == ScanOptioons::BlockSize) {
        checkScanFile(c);
    }
    return 0;
}
