#include "scanner/block_scanner.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <unordered_set>
#include <utility>

#include "scanner/candidate_pass.h"
#include "scanner/case_folding.h"
#include "scanner/linear_matcher.h"
#include "scanner/tuning.h"
#include "scanner/unicode_form.h"

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

// The code page's bytes as the linear matcher reads them: each one unit, through the fold table.
auto foldedBytes(const ByteTable& fold)
{
    return [&fold](std::span<const std::uint8_t> bytes) { return std::pair(char32_t{fold[bytes[0]]}, std::size_t{1}); };
}

class CodePageForm final : public Form {
public:
    CodePageForm(const std::string& folded, const ByteTable& fold)
        : filter_(folded, fold), linear_(std::string_view(folded)), fold_(fold)
    {
    }
    std::size_t longest() const override { return filter_.length(); }
    void rank(std::span<const std::uint8_t> sample, const ByteCounts&) override { filter_.rank(sample); }
    std::span<const AnchorFilter* const> filters() const override { return {&lane_, 1}; }
    bool replace(const AnchorFilter*) override { return false; }
    bool occursLinearly(std::span<const std::uint8_t> data) const override
    {
        return linear_.endIn(data, 0, foldedBytes(fold_)).has_value();
    }
    std::string describe(const std::string& indent) const override
    {
        return "code page:\n" + indent + filter_.describe() + "; where candidates crowd, read linearly\n";
    }

private:
    AnchorFilter filter_;
    const AnchorFilter* lane_ = &filter_;
    LinearMatcher linear_;
    ByteTable fold_;
};

// At most two filters a form, three forms.
constexpr std::size_t kMostFilters = 6;

}  // namespace

TextForms formsOf(std::u16string_view text, const CodePage& codePage, bool unicode)
{
    TextForms forms;
    const ByteTable& fold = codePage.foldTable();
    forms.fold = &fold;
    const std::optional<std::string> bytes = codePage.encode(text);
    if (bytes) {
        forms.codePage = folded(*bytes, fold);
    }
    if (!unicode || text.empty()) {
        return forms;
    }
    std::optional<std::u32string> characters = unicode::fromUtf16(text);
    if (!characters) {
        return forms;
    }
    for (char32_t& c : *characters) {
        c = unicode::fold(c);
    }
    // Where the code page reads each ASCII case of the text's characters as itself, folded as its form of
    // that character, it finds every UTF-8 occurrence written in ASCII alone.
    forms.utf8InAsciiIsCodePage = bytes && bytes->size() == characters->size();
    std::unordered_set<char32_t> checked;  // a long text holds few characters many times
    for (std::size_t i = 0; forms.utf8InAsciiIsCodePage && i < characters->size(); ++i) {
        if (!checked.insert((*characters)[i]).second) {
            continue;
        }
        for (const char32_t c : unicode::casesOf((*characters)[i])) {
            forms.utf8Beyond = forms.utf8Beyond || c >= 0x80;
            if (c < 0x80 && (codePage.decode(static_cast<std::uint8_t>(c)) != c ||
                             fold[c] != fold[static_cast<std::uint8_t>((*bytes)[i])])) {
                forms.utf8InAsciiIsCodePage = false;
            }
        }
    }
    forms.unicode = std::move(characters);
    forms.utf16 = true;
    return forms;
}

TextForms formsOf(std::u16string_view text, Utf8Only)
{
    TextForms forms;
    std::optional<std::u32string> characters = unicode::fromUtf16(text);
    if (characters && !characters->empty()) {
        for (char32_t& c : *characters) {
            c = unicode::fold(c);
        }
        forms.unicode = std::move(characters);
    }
    return forms;
}

BlockScanner::BlockScanner(std::string_view text, const ByteTable& fold)
    : BlockScanner(TextForms{.codePage = folded(text, fold), .fold = &fold})
{
}

BlockScanner::BlockScanner(const TextForms& forms)
{
    if (forms.codePage) {
        forms_.push_back(std::make_unique<CodePageForm>(*forms.codePage, *forms.fold));
    }
    if (forms.unicode && (!forms.utf8InAsciiIsCodePage || forms.utf8Beyond)) {
        auto utf8 = std::make_unique<UnicodeForm>(*forms.unicode, Encoding::Utf8);
        if (forms.utf8InAsciiIsCodePage) {
            utf8->leaveAsciiOccurrences();
        }
        forms_.push_back(std::move(utf8));
    }
    if (forms.unicode && forms.utf16) {
        forms_.push_back(std::make_unique<UnicodeForm>(*forms.unicode, UnicodeForm::BothByteOrders{}));
    }
    std::size_t longest = 1;  // an empty text carries nothing either
    for (const auto& form : forms_) {
        longest = std::max(longest, form->longest());
    }
    keep_ = longest - 1;
    carry_.reserve(keep_);
}

void BlockScanner::plan(std::span<const std::uint8_t> first)
{
    const std::span<const std::uint8_t> sample = first.first(std::min(first.size(), tuning::kRankingSample));
    const ByteCounts counts = countBytes(sample);
    for (const auto& form : forms_) {
        form->rank(sample, counts);
    }
    planned_ = true;
}

std::string BlockScanner::describe() const
{
    std::string out = std::string(planned_ ? "chosen on the first block" : "guessed, no block seen yet") + "; " +
                      std::to_string(keep_) + " bytes carried from block to block\n";
    for (const auto& form : forms_) {
        out += form->describe("  ");
    }
    return out;
}

// The filters of the forms that are not being read linearly share one pass; a form whose filter crowds
// takes its others, or reads the data linearly, and the pass looks again without it.
bool BlockScanner::occursIn(std::span<const std::uint8_t> data)
{
    std::array<const AnchorFilter*, kMostFilters> filters{};
    std::array<Form*, kMostFilters> owners{};
    std::size_t count = 0;
    const auto add = [&](Form& form) {
        for (const AnchorFilter* filter : form.filters()) {
            filters[count] = filter;
            owners[count++] = &form;
        }
    };
    for (const auto& form : forms_) {
        if (const std::optional<std::uint8_t> required = form->requiredByte();
            required && (data.empty() || std::memchr(data.data(), *required, data.size()) == nullptr)) {
            continue;
        }
        if (form->filters().empty() || form->crowding.takesLinearly()) {
            if (form->occursLinearly(data)) {
                return true;
            }
        } else {
            add(*form);
        }
    }
    while (count > 0) {
        const PassOutcome outcome = findInOnePass(std::span(filters.data(), count), data);
        if (outcome.kind != PassOutcome::Kind::Crowded) {
            return outcome.kind == PassOutcome::Kind::Found;
        }
        Form& form = *owners[outcome.filter];
        const AnchorFilter* crowded = filters[outcome.filter];
        std::size_t kept = 0;
        for (std::size_t f = 0; f < count; ++f) {
            if (owners[f] != &form) {
                filters[kept] = filters[f];
                owners[kept++] = owners[f];
            }
        }
        count = kept;
        if (form.replace(crowded)) {
            add(form);
        } else {
            form.crowding.crowded();
            if (form.occursLinearly(data)) {
                return true;
            }
        }
    }
    return false;
}

bool BlockScanner::feed(std::span<const std::uint8_t> block)
{
    if (!planned_ && !block.empty()) {
        plan(block);
    }
    if (!carry_.empty()) {
        seam_.assign(carry_.begin(), carry_.end());
        seam_.insert(seam_.end(), block.begin(), block.begin() + std::min(keep_, block.size()));
        if (occursIn(seam_)) {
            return true;
        }
    }
    if (occursIn(block)) {
        return true;
    }
    carry_.insert(carry_.end(), block.end() - static_cast<std::ptrdiff_t>(std::min(keep_, block.size())), block.end());
    if (carry_.size() > keep_) {
        carry_.erase(carry_.begin(), carry_.end() - static_cast<std::ptrdiff_t>(keep_));
    }
    return false;
}

std::size_t findFolded(std::span<const std::uint8_t> haystack, std::string_view foldedText, const ByteTable& fold)
{
    const std::size_t found = AnchorFilter(foldedText, fold).find(haystack);
    if (found != kCrowded) {
        return found;
    }
    const std::optional<std::size_t> end = LinearMatcher(foldedText).endIn(haystack, 0, foldedBytes(fold));
    return end ? *end - foldedText.size() : kNotFound;
}

}  // namespace quorvin
