#include "scanner/block_scanner.h"

#include <algorithm>
#include <unordered_set>

#include "scanner/case_folding.h"
#include "scanner/tuning.h"

namespace quorvin {

namespace {

std::string folded(std::string_view text, const ByteTable& fold)
{
    std::string bytes(text);
    for (char& c : bytes) {
        c = static_cast<char>(fold[static_cast<std::uint8_t>(c)]);
    }
    return bytes;
}

std::u32string units(std::string_view bytes)
{
    std::u32string text(bytes.size(), U'\0');
    std::transform(bytes.begin(), bytes.end(), text.begin(), [](char c) { return static_cast<std::uint8_t>(c); });
    return text;
}

// The first occurrence in `haystack` of the text `linear` looks for, as bytes read through `fold`.
std::size_t findLinearly(std::span<const std::uint8_t> haystack, const LinearMatcher& linear, const ByteTable& fold)
{
    LinearMatcher::State state = 0;
    for (std::size_t at = 0; at < haystack.size(); ++at) {
        state = linear.next(state, fold[haystack[at]]);
        if (state == linear.length()) {
            return at + 1 - linear.length();
        }
    }
    return kNotFound;
}

}  // namespace

std::size_t findFolded(std::span<const std::uint8_t> haystack, std::string_view foldedText, const ByteTable& fold)
{
    const std::size_t found = AnchorFilter(foldedText, fold).find(haystack);
    return found == kCrowded ? findLinearly(haystack, LinearMatcher(units(foldedText)), fold) : found;
}

BlockScanner::CodePageForm::CodePageForm(const std::string& folded, const ByteTable& fold)
    : filter(folded, fold), linear(units(folded)), fold(fold)
{
}

bool BlockScanner::CodePageForm::occursIn(std::span<const std::uint8_t> data)
{
    if (!crowding.takesLinearly()) {
        const std::size_t found = filter.find(data);
        if (found != kCrowded) {
            return found != kNotFound;
        }
        crowding.crowded();
    }
    return findLinearly(data, linear, fold) != kNotFound;
}

BlockScanner::BlockScanner(std::string_view text, const ByteTable& fold)
{
    codePage_.emplace(folded(text, fold), fold);
    carry_.reserve(keep());
}

BlockScanner::BlockScanner(std::u16string_view text, const CodePage& codePage, bool unicode)
{
    const std::optional<std::string> bytes = codePage.encode(text);
    if (bytes) {
        codePage_.emplace(folded(*bytes, codePage.foldTable()), codePage.foldTable());
    }
    if (unicode && !text.empty()) {
        addUnicodeForms(text, codePage, bytes);
    }
    carry_.reserve(keep());
}

BlockScanner::BlockScanner(std::u16string_view text, Utf8Only)
{
    std::optional<std::u32string> characters = unicode::fromUtf16(text);
    if (characters && !characters->empty()) {
        for (char32_t& c : *characters) {
            c = unicode::fold(c);
        }
        unicode_.push_back(std::make_unique<UnicodeForm>(*characters, Encoding::Utf8));
    }
    carry_.reserve(keep());
}

void BlockScanner::restart()
{
    carry_.clear();
}

void BlockScanner::addUnicodeForms(std::u16string_view text, const CodePage& codePage,
                                   const std::optional<std::string>& bytes)
{
    std::optional<std::u32string> characters = unicode::fromUtf16(text);
    if (!characters) {
        return;
    }
    for (char32_t& c : *characters) {
        c = unicode::fold(c);
    }
    // Where the code page reads each ASCII case of the text's characters as itself, folded as its form of
    // that character, it finds every UTF-8 occurrence written in ASCII alone: the UTF-8 form need only
    // look for those with a case beyond ASCII (ſ for s, the Kelvin sign for k, é), and none at all for a
    // text whose every case is ASCII.
    const ByteTable& fold = codePage.foldTable();
    bool asciiFoundByCodePage = bytes && bytes->size() == characters->size();
    bool beyondAscii = false;
    std::unordered_set<char32_t> checked;  // a long text holds few characters many times
    for (std::size_t i = 0; asciiFoundByCodePage && i < characters->size(); ++i) {
        if (!checked.insert((*characters)[i]).second) {
            continue;
        }
        for (const char32_t c : unicode::casesOf((*characters)[i])) {
            beyondAscii = beyondAscii || c >= 0x80;
            if (c < 0x80 && (codePage.decode(static_cast<std::uint8_t>(c)) != c ||
                             fold[c] != fold[static_cast<std::uint8_t>((*bytes)[i])])) {
                asciiFoundByCodePage = false;
            }
        }
    }
    if (!asciiFoundByCodePage || beyondAscii) {
        unicode_.push_back(std::make_unique<UnicodeForm>(*characters, Encoding::Utf8));
        if (asciiFoundByCodePage) {
            unicode_.back()->leaveAsciiOccurrences();
        }
    }
    unicode_.push_back(std::make_unique<UnicodeForm>(*characters, UnicodeForm::BothByteOrders{}));
}

std::string BlockScanner::describe() const
{
    std::string out = std::string(ranked_ ? "chosen on the first block" : "guessed, no block seen yet") + "; " +
                      std::to_string(keep()) + " bytes carried from block to block\n";
    if (codePage_) {
        out += "code page: " + codePage_->filter.describe() + "; linear matcher where candidates crowd\n";
    }
    static const char* const kNames[] = {"UTF-8", "UTF-16LE", "UTF-16BE"};
    for (const auto& form : unicode_) {
        out += std::string(kNames[static_cast<int>(form->encoding())]) + ":\n" + form->describe("  ");
    }
    return out;
}

std::size_t BlockScanner::keep() const
{
    std::size_t longest = codePage_ ? codePage_->filter.length() : 0;
    for (const auto& form : unicode_) {
        longest = std::max(longest, form->longest());
    }
    return longest == 0 ? 0 : longest - 1;
}

bool BlockScanner::feed(std::span<const std::uint8_t> block)
{
    if (codePage_ && codePage_->filter.length() == 0) {
        return true;
    }
    if (!ranked_ && !block.empty()) {
        const std::span<const std::uint8_t> sample = block.first(std::min(block.size(), tuning::kRankingSample));
        if (codePage_) {
            codePage_->filter.rank(sample);
        }
        for (const auto& form : unicode_) {
            form->rank(sample);
        }
        ranked_ = true;
    }
    const std::size_t keep = this->keep();
    if (!carry_.empty() && keep > 0) {
        // Each form looks at as much of the carry and of the block's head as its longest occurrence needs.
        seam_.assign(carry_.begin(), carry_.end());
        seam_.insert(seam_.end(), block.begin(), block.begin() + std::min(keep, block.size()));
        const std::span<const std::uint8_t> seam(seam_);
        const auto around = [&](std::size_t longest) {
            const std::size_t before = std::min(longest - 1, carry_.size());
            const std::size_t after = std::min(longest - 1, seam.size() - carry_.size());
            return seam.subspan(carry_.size() - before, before + after);
        };
        if (codePage_ && codePage_->occursIn(around(codePage_->filter.length()))) {
            return true;
        }
        for (const auto& form : unicode_) {
            if (form->occursIn(around(form->longest()))) {
                return true;
            }
        }
    }
    if (codePage_ && codePage_->occursIn(block)) {
        return true;
    }
    for (const auto& form : unicode_) {
        if (form->occursIn(block)) {
            return true;
        }
    }
    if (block.size() >= keep) {
        carry_.assign(block.end() - static_cast<std::ptrdiff_t>(keep), block.end());
    } else {
        carry_.insert(carry_.end(), block.begin(), block.end());
        if (carry_.size() > keep) {
            carry_.erase(carry_.begin(), carry_.end() - static_cast<std::ptrdiff_t>(keep));
        }
    }
    return false;
}

}  // namespace quorvin
