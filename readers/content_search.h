#pragma once
// What a file holds inside, searched as if each part were a file of its own: the content of gzip data,
// the members of tar and ZIP archives, and the visible text of office documents and e-books. Each part
// is recognised by its bytes, never by its name: a part's raw bytes are searched in every form, and where
// they make a container, what it holds is searched too, down to kDeepest levels; below that, parts are
// searched as bytes only. A document is searched for its visible text alone, in UTF-8, since its markup,
// its deleted revisions and its field codes are nothing its reader sees.
//
// The caller may rely on: memory stays bounded whatever the file and however much it expands (a ZIP
// inside another container is held in memory only up to kHeldInMemory in all); `keepGoing` is asked at
// least once per block read or searched, so a search can always be stopped; every part that could not
// be searched inside is counted, and the first kNamedUnread of them named with the reason.
// Where a locating search finds the text, it reads the part that holds it again, from its start, to tell
// where the text is in it; a not-found search pays nothing for this.
// Failure: what the file throws passes through; nothing in the parts' data throws.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "encoding/code_page.h"
#include "readers/document_place.h"
#include "readers/random_access.h"

namespace quorvin::readers {

// Whether a file whose first bytes are `first` (its first kSniffedBytes at the most) may hold anything
// to search inside: the other files' search ends with their own bytes.
inline constexpr std::size_t kSniffedBytes = 4096;
bool mayHoldParts(std::span<const std::uint8_t> first);

struct UnreadPart {
    std::u16string path;  // the part's path inside the file, or the file's name for the file itself
    Fault fault;
};

// For a text found at `offset` in the bytes of the tar archive `whole`: its place in the member that holds
// it, read again; nothing where none holds it whole, or once `goOn` says to stop.
std::optional<FoundPlace> placeInTarMember(RandomAccess& whole, const FirstOccurrence& locator,
                                           const CodePage& codePage, std::uint64_t offset,
                                           const std::function<bool()>& goOn);

class ContentSearch {
public:
    static constexpr int kDeepest = 4;
    static constexpr std::size_t kHeldInMemory = 4 * 1024 * 1024;
    static constexpr std::size_t kNamedUnread = 5;

    enum class Result { Found, NotFound, Cancelled };

    // `locates`: once found, where the text is is told by place().
    ContentSearch(std::u16string_view text, const CodePage& codePage, std::function<bool()> keepGoing,
                  bool locates = false);
    ~ContentSearch();
    ContentSearch(const ContentSearch&) = delete;
    ContentSearch& operator=(const ContentSearch&) = delete;

    // Searches inside `file`, whose own bytes were searched already; `fileName` names it where the file
    // itself cannot be read inside.
    Result searchInside(RandomAccess& file, std::u16string_view fileName);

    std::uint64_t unreadCount() const { return unreadCount_; }
    const std::vector<UnreadPart>& unread() const { return unread_; }
    // Once found by a locating search: where, unless reading the part again failed or was stopped.
    const std::optional<FoundPlace>& place() const { return place_; }

private:
    struct Parts;
    std::unique_ptr<Parts> parts_;
    std::uint64_t unreadCount_ = 0;
    std::vector<UnreadPart> unread_;
    std::optional<FoundPlace> place_;
};

}  // namespace quorvin::readers
