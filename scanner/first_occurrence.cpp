#include "scanner/first_occurrence.h"

#include <algorithm>

#include "scanner/case_folding.h"
#include "scanner/unicode_form.h"

namespace quorvin {

namespace {

Encoding encodingOf(TextForm form)
{
    return form == TextForm::Utf8 ? Encoding::Utf8 : form == TextForm::Utf16Le ? Encoding::Utf16Le : Encoding::Utf16Be;
}

}  // namespace

FirstOccurrence::FirstOccurrence(const TextForms& forms) : fold_(forms.fold)
{
    if (forms.codePage) {
        longest_ = forms.codePage->size();
        codePage_.emplace(std::string_view(*forms.codePage));
    }
    if (!forms.unicode) {
        return;
    }
    longest_ = std::max(longest_, UnicodeForm::longestOf(*forms.unicode, Encoding::Utf8));
    if (forms.utf16) {
        longest_ = std::max(longest_, UnicodeForm::longestOf(*forms.unicode, Encoding::Utf16Le));
    }
    unicode_.emplace(*forms.unicode);
    utf16_ = forms.utf16;
}

std::optional<Occurrence> FirstOccurrence::find(std::span<const std::uint8_t> bytes, bool startsOdd) const
{
    std::optional<Occurrence> first;
    if (codePage_ && codePage_->length() == 0) {
        return Occurrence{};  // an empty text occurs everywhere
    }
    if (codePage_) {
        LinearMatcher::State state = 0;
        for (std::size_t at = 0; at < bytes.size(); ++at) {
            state = codePage_->next(state, (*fold_)[bytes[at]]);
            if (state == codePage_->length()) {
                first = Occurrence{at + 1 - codePage_->length(), codePage_->length(), TextForm::CodePage};
                break;
            }
        }
    }
    if (!unicode_) {
        return first;
    }
    const auto earlier = [&first](std::optional<Occurrence> found) {
        if (found && (!first || found->start < first->start)) {
            first = found;
        } else if (found && first->form == TextForm::CodePage && found->form == TextForm::Utf8 &&
                   found->start == first->start && found->size == first->size) {
            first->utf8Too = true;
        }
    };
    const std::size_t limit = first ? first->start + 1 : bytes.size();
    earlier(findIn(TextForm::Utf8, bytes, 0, limit));
    if (!utf16_) {
        return first;
    }
    // Each byte order at both parities: UTF-16 may be embedded at an odd offset. Text whose units share
    // their high byte reads in the other byte order too, one byte earlier, wherever that byte is the high
    // byte of the unit before: that reading gives way to the one at the even offset after it.
    const std::size_t utf16Limit = (first ? first->start + 1 : bytes.size()) + 1;
    std::optional<Occurrence> found[2][2];  // [big-endian][odd]
    std::optional<Occurrence> best;
    for (const bool big : {false, true}) {
        for (const bool odd : {false, true}) {
            found[big][odd] =
                findIn(big ? TextForm::Utf16Be : TextForm::Utf16Le, bytes, odd == startsOdd ? 0 : 1, utf16Limit);
            if (found[big][odd] && (!best || found[big][odd]->start < best->start)) {
                best = found[big][odd];
            }
        }
    }
    if (best && (best->start % 2 == 1) != startsOdd) {
        const std::optional<Occurrence>& even = found[best->form == TextForm::Utf16Le][false];
        if (even && even->start == best->start + 1) {
            best = even;
        }
    }
    earlier(best);
    return first;
}

std::optional<Occurrence> FirstOccurrence::findIn(TextForm form, std::span<const std::uint8_t> bytes, std::size_t from,
                                                  std::size_t before) const
{
    const LinearMatcher& matcher = *unicode_;
    const Encoding encoding = encodingOf(form);
    // Where each of the last characters read started, as many as the text holds, in a ring.
    std::vector<std::size_t> starts(matcher.length());
    LinearMatcher::State state = 0;
    std::size_t read = 0;
    for (std::size_t at = from; at < bytes.size() && at < before + matcher.length() * 4;) {
        const Decoded d = decode(encoding, bytes.subspan(at));
        starts[read % starts.size()] = at;
        ++read;
        at += d.size;
        const char32_t unit = d.character == LinearMatcher::kNoCharacter ? d.character : unicode::fold(d.character);
        state = matcher.next(state, unit);
        if (state == matcher.length()) {
            const std::size_t start = starts[read % starts.size()];
            if (start >= before) {
                return std::nullopt;
            }
            return Occurrence{start, at - start, form};
        }
        if (state == 0 && at >= before) {
            return std::nullopt;  // no match under way can start early enough
        }
    }
    return std::nullopt;
}

}  // namespace quorvin
