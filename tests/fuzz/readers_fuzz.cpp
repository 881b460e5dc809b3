// libFuzzer target: what files hold inside, against a naive search of what they hold. The target makes a
// gzip, tar or ZIP file from the fuzz bytes' members; whole, the search inside must find the text exactly
// where one member's content holds it in some form, with no part left unread. Broken (the input's bit 7 of
// its first byte set: bytes of the made file overwritten, or the file cut), it must answer without a crash,
// a hang or a sanitizer report.
//
// Input: [shape] [text length] [text bytes, Windows-1252] [members, each: [flags] [length] [bytes]]
//   shape: bits 0-2: 0 gzip of the first member, 1 several gzip members one after another, 2 tar, 3 tar in
//          gzip, 4 ZIP, 5 ZIP whose members are gzip data, 6 a ZIP in a tar, 7 a ZIP in a ZIP;
//          bit 7: break the made file with the last bytes of the input
//   member flags: bit 0 stored (ZIP), bit 1 data descriptor, bit 2 ZIP64 fields, bit 3 a long name (tar)
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "encoding/code_page.h"
#include "readers/content_search.h"
#include "tests/archive_maker.h"
#include "tests/naive_search.h"

namespace quorvin {
namespace {

using namespace quorvin::testing;

struct Member {
    std::uint8_t flags;
    std::string content;
};

// A member's content that its own bytes make a container would be searched inside too, which the naive
// search does not do: such contents are kept from starting that way.
std::string plain(std::string content)
{
    if (readers::mayHoldParts(std::span(reinterpret_cast<const std::uint8_t*>(content.data()), content.size()))) {
        content.insert(content.begin(), '#');
    }
    return content;
}

std::string zipOf(const std::vector<Member>& members, bool gzipEach)
{
    std::vector<ZipEntry> entries;
    for (std::size_t i = 0; i < members.size(); ++i) {
        const Member& m = members[i];
        ZipEntry entry{"m" + std::to_string(i), gzipEach ? gzipped(m.content) : m.content};
        entry.deflate = (m.flags & 1) == 0;
        entry.dataDescriptor = (m.flags & 2) != 0;
        entry.zip64 = (m.flags & 4) != 0;
        entries.push_back(entry);
    }
    return zipArchive(entries);
}

std::string tarOf(const std::vector<Member>& members)
{
    std::vector<TarEntry> entries;
    for (std::size_t i = 0; i < members.size(); ++i) {
        const bool longName = (members[i].flags & 8) != 0;
        entries.push_back({(longName ? std::string(120, 'n') : "m") + std::to_string(i), members[i].content,
                           longName ? TarEntry::LongName::Pax : TarEntry::LongName::No});
    }
    return tarArchive(entries);
}

}  // namespace
}  // namespace quorvin

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace quorvin;
    if (size < 2) {
        return 0;
    }
    const std::uint8_t shape = data[0];
    const std::size_t textLength = 1 + data[1] % 16;
    if (size < 2 + textLength) {
        return 0;
    }
    const CodePage& page = CodePage::windows1252();
    const std::u16string text = page.decode(std::string_view(reinterpret_cast<const char*>(data + 2), textLength));
    std::vector<Member> members;
    for (std::size_t at = 2 + textLength; at + 2 <= size && members.size() < 8;) {
        const std::uint8_t flags = data[at];
        const std::size_t length = std::min<std::size_t>(data[at + 1] * 4u, size - at - 2);
        members.push_back({flags, plain(std::string(reinterpret_cast<const char*>(data + at + 2), length))});
        at += 2 + length;
    }
    if (members.empty()) {
        return 0;
    }
    // Every part the search reads as a file of its own, as its bytes stand: the naive search looks in each.
    std::string file;
    std::vector<std::string> contents;
    for (const Member& m : members) {
        contents.push_back(m.content);
    }
    switch (shape & 7) {
    case 0:
        file = testing::gzipped(members[0].content);
        contents = {members[0].content};
        break;
    case 1: {
        std::string whole;
        for (const Member& m : members) {
            file += testing::gzipped(m.content);
            whole += m.content;
        }
        contents = {whole};  // one stream, as gunzip gives it back
        break;
    }
    case 2:
        file = tarOf(members);
        break;
    case 3:
        contents.push_back(tarOf(members));  // what the gzip data hold, headers and all
        file = testing::gzipped(contents.back());
        break;
    case 4:
        file = zipOf(members, false);
        break;
    case 5:
        file = zipOf(members, true);
        for (const Member& m : members) {
            contents.push_back(testing::gzipped(m.content));
        }
        break;
    case 6:
        contents.push_back(zipOf(members, false));
        file = testing::tarArchive({{"inner.zip", contents.back()}});
        break;
    case 7:
        contents.push_back(zipOf(members, false));
        file = testing::zipArchive({{"inner.zip", contents.back()}});
        break;
    }
    const bool broken = (shape & 0x80) != 0;
    if (broken && !file.empty()) {
        const std::size_t n = std::min<std::size_t>(size, 8);
        const std::uint8_t* tail = data + size - n;
        for (std::size_t i = 0; i < 4; ++i) {
            const std::size_t where = (tail[i % n] * 257u + tail[(i + 4) % n]) % file.size();
            file[where] = static_cast<char>(tail[(i + 1) % n]);
        }
        if ((tail[0] & 1) != 0) {
            file.resize(file.size() * tail[1] / 256);
        }
    }

    readers::MemoryAccess access(std::span(reinterpret_cast<const std::uint8_t*>(file.data()), file.size()));
    readers::ContentSearch search(text, page, {});
    const readers::ContentSearch::Result result = search.searchInside(access, u"fuzz");
    if (broken) {
        return 0;
    }
    bool expected = false;
    for (const std::string& content : contents) {
        expected = expected || naive::firstEndInAnyForm(content, text, page) != naive::kNowhere;
    }
    if ((result == readers::ContentSearch::Result::Found) != expected || (!expected && search.unreadCount() != 0)) {
        std::fprintf(stderr, "readers_fuzz: shape %d: found %d, expected %d, %llu parts unread\n", shape & 7,
                     result == readers::ContentSearch::Result::Found, expected,
                     static_cast<unsigned long long>(search.unreadCount()));
        std::abort();
    }
    return 0;
}
