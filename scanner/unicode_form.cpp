#include "scanner/unicode_form.h"

#include <algorithm>
#include <cstring>
#include <numeric>
#include <unordered_map>
#include <utility>

#include "scanner/case_folding.h"
#include "scanner/tuning.h"

namespace quorvin {

namespace {

Decoded decodeUtf8(std::span<const std::uint8_t> bytes)
{
    constexpr Decoded kNone{LinearMatcher::kNoCharacter, 1};
    const std::uint8_t lead = bytes[0];
    if (lead < 0x80) {
        return {lead, 1};
    }
    // The lead byte gives the length and the range the second byte must lie in, which rules out
    // overlong forms, surrogates and characters past U+10FFFF.
    std::size_t size = 0;
    std::uint8_t low = 0x80, high = 0xBF;
    char32_t character = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        size = 2, character = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        size = 3, character = lead & 0x0F;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        size = 4, character = lead & 0x07;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return kNone;
    }
    if (bytes.size() < size || bytes[1] < low || bytes[1] > high) {
        return kNone;
    }
    for (std::size_t k = 1; k < size; ++k) {
        if ((bytes[k] & 0xC0) != 0x80) {  // not a continuation byte
            return kNone;
        }
        character = (character << 6) | (bytes[k] & 0x3F);
    }
    return {character, size};
}

char16_t unitAt(Encoding encoding, const std::uint8_t* p)
{
    return encoding == Encoding::Utf16Le ? static_cast<char16_t>(p[0] | p[1] << 8)
                                         : static_cast<char16_t>(p[0] << 8 | p[1]);
}

// The key bytes as one folded byte: the second reads as the first.
ByteTable keyTable(std::span<const std::uint8_t> keys)
{
    ByteTable table;
    std::iota(table.begin(), table.end(), 0);
    if (keys.size() == 2) {
        table[keys[1]] = keys[0];
    }
    return table;
}

}  // namespace

Decoded decode(Encoding encoding, std::span<const std::uint8_t> bytes)
{
    if (encoding == Encoding::Utf8) {
        return decodeUtf8(bytes);
    }
    constexpr Decoded kNone{LinearMatcher::kNoCharacter, 2};
    if (bytes.size() < 2) {
        return {LinearMatcher::kNoCharacter, bytes.size()};
    }
    const char16_t unit = unitAt(encoding, bytes.data());
    if (unit < 0xD800 || unit > 0xDFFF) {
        return {unit, 2};
    }
    if (unit > 0xDBFF || bytes.size() < 4) {
        return kNone;
    }
    const char16_t second = unitAt(encoding, bytes.data() + 2);
    if (second < 0xDC00 || second > 0xDFFF) {
        return kNone;
    }
    return {0x10000 + ((char32_t{unit} - 0xD800) << 10) + (second - 0xDC00), 4};
}

std::string encode(Encoding encoding, char32_t c)
{
    std::string bytes;
    const auto put = [&](unsigned b) { bytes.push_back(static_cast<char>(b)); };
    if (encoding == Encoding::Utf8) {
        if (c < 0x80) {
            put(c);
        } else if (c < 0x800) {
            put(0xC0 | c >> 6), put(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            put(0xE0 | c >> 12), put(0x80 | (c >> 6 & 0x3F)), put(0x80 | (c & 0x3F));
        } else {
            put(0xF0 | c >> 18), put(0x80 | (c >> 12 & 0x3F)), put(0x80 | (c >> 6 & 0x3F)), put(0x80 | (c & 0x3F));
        }
        return bytes;
    }
    const auto unit = [&](unsigned u) {
        if (encoding == Encoding::Utf16Le) {
            put(u & 0xFF), put(u >> 8);
        } else {
            put(u >> 8), put(u & 0xFF);
        }
    };
    if (c < 0x10000) {
        unit(c);
    } else {
        unit(0xD800 + ((c - 0x10000) >> 10)), unit(0xDC00 + ((c - 0x10000) & 0x3FF));
    }
    return bytes;
}

UnicodeForm::UnicodeForm(std::u32string_view foldedText, Encoding encoding) : UnicodeForm(foldedText, encoding, true) {}

UnicodeForm::UnicodeForm(std::u32string_view foldedText, BothByteOrders)
    : UnicodeForm(foldedText, Encoding::Utf16Le, false)
{
    bigEndian_.reset(new UnicodeForm(foldedText, Encoding::Utf16Be, false));
    makeFilters();
}

UnicodeForm::UnicodeForm(std::u32string_view foldedText, Encoding encoding, bool withFilters)
    : encoding_(encoding), linear_(std::u32string(foldedText))
{
    // Each character's cases as bytes, and the longest run of characters whose cases all take the
    // same number of bytes: within it, every byte lies at a fixed distance from the run's start.
    std::size_t runLength = 0;
    std::unordered_map<char32_t, Character> seen;  // a character's cases are written once
    characters_.reserve(foldedText.size());
    for (std::size_t i = 0; i < foldedText.size(); ++i) {
        const auto foldSize = static_cast<std::uint8_t>(encode(encoding, foldedText[i]).size());
        auto [known, added] = seen.try_emplace(foldedText[i], Character{cases_.size(), 0, 4, 0, foldSize});
        Character& character = known->second;
        if (added) {
            for (char32_t c : unicode::casesOf(foldedText[i])) {
                const std::string bytes = encode(encoding, c);
                Bytes written{static_cast<std::uint8_t>(bytes.size()), {}};
                std::memcpy(written.bytes.data(), bytes.data(), std::min(bytes.size(), written.bytes.size()));
                cases_.push_back(written);
                character.shortest = std::min(character.shortest, written.size);
                character.most = std::max(character.most, written.size);
            }
            character.count = cases_.size() - character.first;
            // The bytes every case holds, at any place: those of the first case that all others hold.
            const Bytes& first = cases_[character.first];
            for (std::size_t k = 0; k < first.size; ++k) {
                const std::uint8_t b = first.bytes[k];
                const bool everywhere =
                    std::all_of(cases_.begin() + character.first + 1, cases_.end(), [&](const Bytes& other) {
                        return std::find(other.bytes.begin(), other.bytes.begin() + other.size, b) !=
                               other.bytes.begin() + other.size;
                    });
                if (everywhere && std::find(sharedBytes_.begin(), sharedBytes_.end(), b) == sharedBytes_.end()) {
                    sharedBytes_.push_back(b);
                }
            }
            distinct_.push_back(character);
        }
        characters_.push_back(character);
        longest_ += character.most;
        runLength = character.shortest == character.most ? runLength + 1 : 0;
        if (runLength > runLength_) {
            runLength_ = runLength, runFrom_ = i + 1 - runLength;
        }
    }
    if (!sharedBytes_.empty()) {
        required_ = sharedBytes_.front();
    }
    if (withFilters) {
        makeFilters();
    }
}

void UnicodeForm::makeFilters()
{
    run_ = makeFilter(runFrom_, runLength_, this);
    if (bigEndian_) {
        setStage(Stage::Run);  // the two byte orders share the run's filter alone
        return;
    }
    Covering other;
    for (const Character& character : distinct_) {
        for (std::size_t c = character.first; c < character.first + character.count; ++c) {
            if (cases_[c].size != character.foldSize) {
                other.push_back({cases_[c], 0});
            }
        }
    }
    if (!other.empty()) {
        whole_ = makeFilter(0, characters_.size(), &wholeText_);
        otherLengths_ = {std::move(other)};
        otherKeys_ = keysFor(otherLengths_, ByteCounts{});
    }
    setStage(firstStage());
}

std::unique_ptr<AnchorFilter> UnicodeForm::makeFilter(std::size_t from, std::size_t count,
                                                      const Verifier* verifier) const
{
    if (count == 0) {
        return nullptr;
    }
    // The filter sees the run's bytes with every byte found at one place of it in the same class as
    // the others found there: more cases than the text has, never fewer; occursAt() then decides.
    std::array<std::uint8_t, 256> parent;
    std::iota(parent.begin(), parent.end(), 0);
    const auto root = [&](std::uint8_t b) {
        while (parent[b] != b) b = parent[b] = parent[parent[b]];
        return b;
    };
    const auto join = [&](std::uint8_t x, std::uint8_t y) {
        x = root(x), y = root(y);
        parent[std::max(x, y)] = std::min(x, y);
    };
    std::string run;
    std::vector<bool> joined(cases_.size());  // a long text holds few characters many times
    for (std::size_t i = from; i < from + count; ++i) {
        const Character& character = characters_[i];
        const auto cases = std::span(cases_).subspan(character.first, character.count);
        const auto asLong = [&](const Bytes& bytes) { return bytes.size == character.foldSize; };
        const Bytes& first = *std::find_if(cases.begin(), cases.end(), asLong);
        run.append(first.bytes.begin(), first.bytes.begin() + first.size);
        if (joined[character.first]) {
            continue;
        }
        joined[character.first] = true;
        for (std::size_t k = 0; k < first.size; ++k) {
            for (const Bytes& other : cases) {
                if (asLong(other)) {
                    join(first.bytes[k], other.bytes[k]);
                }
            }
        }
    }
    if (bigEndian_) {
        // The big-endian run starts one byte before the little-endian one, so each code unit's high byte
        // meets the next unit's there, and each low byte meets itself. The last byte, which only the
        // little-endian run reaches, is left to occursAt().
        for (std::size_t k = 1; k + 2 < run.size(); k += 2) {
            join(static_cast<std::uint8_t>(run[k]), static_cast<std::uint8_t>(run[k + 2]));
        }
        run.pop_back();
    }
    ByteTable fold{};
    for (int b = 0; b < 256; ++b) {
        fold[b] = root(static_cast<std::uint8_t>(b));
    }
    for (char& b : run) {
        b = static_cast<char>(fold[static_cast<std::uint8_t>(b)]);
    }
    return std::make_unique<AnchorFilter>(run, fold, nullptr, verifier);
}

UnicodeForm::Stage UnicodeForm::firstStage() const
{
    return beyondKeys_ ? Stage::BeyondAscii : whole_ && otherKeys_ ? Stage::Whole : Stage::Run;
}

void UnicodeForm::setStage(Stage stage)
{
    stage_ = stage;
    if (stage == Stage::BeyondAscii) {
        lanes_ = {&beyondKeys_->filter};
    } else if (stage == Stage::Whole) {
        lanes_ = {whole_.get(), &otherKeys_->filter};
    } else if (run_) {
        lanes_ = {run_.get()};
    } else {
        lanes_.clear();
    }
}

// Keys that crowd are bytes the data is full of: from then on, the filter that sees every occurrence.
bool UnicodeForm::replace(const AnchorFilter* filter)
{
    if (stage_ == Stage::BeyondAscii) {
        setStage(whole_ && otherKeys_ ? Stage::Whole : Stage::Run);
        return true;
    }
    if (stage_ == Stage::Whole && filter == &otherKeys_->filter) {
        setStage(Stage::Run);
        return true;
    }
    return false;
}

void UnicodeForm::rank(std::span<const std::uint8_t> sample, const ByteCounts& counts)
{
    if (!sharedBytes_.empty()) {
        required_ = *std::min_element(sharedBytes_.begin(), sharedBytes_.end(),
                                      [&](std::uint8_t x, std::uint8_t y) { return counts[x] < counts[y]; });
    }
    for (const auto& filter : {run_.get(), whole_.get()}) {
        if (filter != nullptr) {
            filter->rank(sample);
        }
    }
    otherKeys_ = keysFor(otherLengths_, counts);  // none without coverings
    beyondKeys_ = keysFor(beyondAscii_, counts);
    setStage(firstStage());
}

// Greedily, the byte that the most cases not yet covered hold, per occurrence of it in the data; a byte
// that several cases hold (the lead of œ, Œ and ſ) is looked for once for them all.
std::optional<double> UnicodeForm::chooseKeys(Covering& covering, const ByteCounts& counts,
                                              std::vector<std::uint8_t>& keys)
{
    const auto cost = [&](int b) { return 1.0 + counts[b]; };
    keys.clear();
    double keysCost = 0;
    std::vector<bool> covered(covering.size());
    for (std::size_t left = covering.size(); left > 0;) {
        if (keys.size() == 2) {
            return std::nullopt;
        }
        std::array<int, 256> holders{};  // how many cases not yet covered hold each byte
        for (std::size_t c = 0; c < covering.size(); ++c) {
            const Bytes& bytes = covering[c].bytes;
            for (std::size_t k = 0; k < bytes.size && !covered[c]; ++k) {
                if (std::find(bytes.bytes.begin(), bytes.bytes.begin() + k, bytes.bytes[k]) ==
                    bytes.bytes.begin() + k) {
                    ++holders[bytes.bytes[k]];
                }
            }
        }
        int key = 0;
        double best = 0;
        for (int b = 0; b < 256; ++b) {
            const double worth = holders[b] / cost(b);
            if (worth > best) best = worth, key = b;
        }
        keys.push_back(static_cast<std::uint8_t>(key));
        keysCost += cost(key);
        for (std::size_t c = 0; c < covering.size(); ++c) {
            Keyed& keyed = covering[c];
            const auto* bytes = keyed.bytes.bytes.data();
            const auto* at = std::find(bytes, bytes + keyed.bytes.size, key);
            if (!covered[c] && at != bytes + keyed.bytes.size) {
                covered[c] = true, --left;
                keyed.keyAt = static_cast<std::uint8_t>(at - bytes);
            }
        }
    }
    return keysCost;
}

// Keys pay where they are rare: each one found costs a linear read of the data around it.
std::unique_ptr<UnicodeForm::Keys> UnicodeForm::keysFor(std::vector<Covering> coverings, const ByteCounts& counts) const
{
    std::optional<double> least;
    std::vector<std::uint8_t> keys, cheapest;
    std::size_t chosen = 0;
    for (std::size_t c = 0; c < coverings.size(); ++c) {
        const std::optional<double> cost = chooseKeys(coverings[c], counts, keys);
        if (cost && (!least || *cost < *least)) {
            least = cost, chosen = c, cheapest = keys;
        }
    }
    const double sampled = std::accumulate(counts.begin(), counts.end(), 0.0);
    if (!least || (*least - static_cast<double>(cheapest.size())) * tuning::kSampleBytesPerKey > sampled) {
        return nullptr;
    }
    return std::make_unique<Keys>(*this, std::move(coverings[chosen]), cheapest);
}

UnicodeForm::Keys::Keys(const UnicodeForm& form, Covering covering, std::span<const std::uint8_t> keys)
    : form(form), covering(std::move(covering)),
      filter(std::string(1, static_cast<char>(keys[0])), keyTable(keys), nullptr, this)
{
}

// An occurrence that holds a case of the covering lies within longest() bytes of it, and is read there
// linearly.
bool UnicodeForm::Keys::occursAt(const std::uint8_t* data, std::size_t size, std::size_t at, std::size_t& work) const
{
    // Each key found costs what the filter over the whole may spend on kSampleBytesPerKey bytes, so that
    // keys commoner than that crowd, as they would have on the first block.
    work += static_cast<std::size_t>(tuning::kWorkPerByte * tuning::kSampleBytesPerKey);
    const std::size_t reach = form.longest_ - 1;
    for (const Keyed& keyed : covering) {
        const std::size_t start = at - keyed.keyAt;
        if (keyed.bytes.bytes[keyed.keyAt] != data[at] || at < keyed.keyAt || keyed.bytes.size > size - start ||
            std::memcmp(data + start, keyed.bytes.bytes.data(), keyed.bytes.size) != 0) {
            continue;
        }
        const std::size_t from = start - std::min(start, reach);
        const std::size_t to = std::min(size, start + form.longest_);
        work += 2 * (to - from);
        if (form.occursLinearly(std::span(data + from, to - from))) {
            return true;
        }
    }
    return false;
}

std::size_t UnicodeForm::caseAt(std::size_t i, const std::uint8_t* data, std::size_t size, std::size_t at,
                                bool before) const
{
    const Character& character = characters_[i];
    for (std::size_t c = character.first; c < character.first + character.count; ++c) {
        const Bytes& bytes = cases_[c];
        if (bytes.size <= (before ? at : size - at) &&
            std::memcmp(data + (before ? at - bytes.size : at), bytes.bytes.data(), bytes.size) == 0) {
            return bytes.size;
        }
    }
    return 0;
}

// Encodings of different characters never start or end alike (each form is a prefix code read either
// way), so at most one case of a character matches at a place, and the occurrence is found char by char.
bool UnicodeForm::occursAt(const std::uint8_t* data, std::size_t size, std::size_t at, std::size_t& work) const
{
    return occursInThisOrderAt(runFrom_, data, size, at, work) ||
           (bigEndian_ && at > 0 && bigEndian_->occursInThisOrderAt(runFrom_, data, size, at - 1, work));
}

bool UnicodeForm::occursInThisOrderAt(std::size_t from, const std::uint8_t* data, std::size_t size, std::size_t at,
                                      std::size_t& work) const
{
    std::size_t end = at;
    for (std::size_t i = from; i < characters_.size(); ++i) {
        const std::size_t taken = caseAt(i, data, size, end, false);
        work += characters_[i].count;
        if (taken == 0) {
            return false;
        }
        end += taken;
    }
    std::size_t start = at;
    for (std::size_t i = from; i-- > 0;) {
        const std::size_t taken = caseAt(i, data, size, start, true);
        work += characters_[i].count;
        if (taken == 0) {
            return false;
        }
        start -= taken;
    }
    return true;
}

void UnicodeForm::leaveAsciiOccurrences()
{
    const auto beyond = [](const Bytes& bytes) { return bytes.bytes[0] >= 0x80; };
    Covering all;
    for (const Bytes& written : cases_) {
        if (beyond(written)) {
            all.push_back({written, 0});
        }
    }
    // A character that folds beyond ASCII has no case in ASCII: every occurrence left holds one of its
    // cases, so looking for that character's cases alone finds them all.
    for (const Character& character : distinct_) {
        if (std::all_of(cases_.begin() + character.first, cases_.begin() + character.first + character.count, beyond)) {
            Covering& covering = beyondAscii_.emplace_back();
            for (std::size_t c = character.first; c < character.first + character.count; ++c) {
                covering.push_back({cases_[c], 0});
            }
        }
    }
    beyondAscii_.push_back(std::move(all));
    // Until the data is seen, every byte is as rare as any other: the keys are the bytes most cases hold.
    beyondKeys_ = keysFor(beyondAscii_, ByteCounts{});
    setStage(firstStage());
}

std::string UnicodeForm::describe(const std::string& indent) const
{
    const auto keys = [](const Keys& keys) {
        return std::to_string(keys.covering.size()) + " cases around their key bytes: " + keys.filter.describe();
    };
    const std::string run = run_
                                ? "filter over characters " + std::to_string(runFrom_) + " to " +
                                      std::to_string(runFrom_ + runLength_ - 1) + ": " + run_->describe()
                                : std::string("no filter: every character has cases of several lengths; read linearly");
    std::string out = bigEndian_ ? "UTF-16LE and UTF-16BE:\n" : encoding_ == Encoding::Utf8 ? "UTF-8:\n" : "UTF-16:\n";
    if (required_) {
        out += indent + "a block without byte " + hexByte(*required_) + " holds none\n";
    }
    if (stage_ == Stage::BeyondAscii) {
        out += indent + "occurrences in ASCII left to the code page; the others: " + keys(*beyondKeys_) + "\n";
    } else if (stage_ == Stage::Whole) {
        out += indent + "cases as long as their fold: " + whole_->describe() + "; other cases: " + keys(*otherKeys_) +
               "\n";
    }
    out += indent + (stage_ == Stage::Run ? "" : "where keys crowd, ") + run + "\n";
    if (bigEndian_) {
        out += indent + "UTF-16BE through the same filter, one byte earlier\n";
    }
    return out;
}

bool UnicodeForm::occursLinearly(std::span<const std::uint8_t> data) const
{
    // A byte that starts no character reads as one no text holds, so no occurrence spans it.
    const auto characters = [this](std::span<const std::uint8_t> bytes) {
        const Decoded read = decode(encoding_, bytes);
        return std::pair(read.character == LinearMatcher::kNoCharacter ? read.character : unicode::fold(read.character),
                         read.size);
    };
    const auto from = [&](std::size_t start) { return linear_.endIn(data, start, characters).has_value(); };
    // A byte that reads as no UTF-8 character is passed over alone, so every character that starts
    // after it is read as from the file's start. UTF-16 is read from even and from odd offsets.
    if (encoding_ == Encoding::Utf8) {
        return from(0);
    }
    return from(0) || from(1) || (bigEndian_ && bigEndian_->occursLinearly(data));
}

}  // namespace quorvin
