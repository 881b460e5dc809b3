#pragma once
// Finds a sequence of units (folded bytes or folded characters) in a stream of them, one unit at a
// time, in time linear in the stream whatever the text and the data (Knuth-Morris-Pratt): the search
// the scanner falls back on where its fast filter's candidates crowd, as in `abab...` for `ab...aa`.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quorvin {

class LinearMatcher {
public:
    explicit LinearMatcher(std::u32string text) : text_(std::move(text)), border_(text_.size(), 0)
    {
        for (std::size_t i = 1; i < text_.size(); ++i) {
            State k = border_[i - 1];
            while (k > 0 && text_[i] != text_[k]) {
                k = border_[k - 1];
            }
            border_[i] = text_[i] == text_[k] ? k + 1 : 0;
        }
        text_.push_back(char32_t{0xFFFFFFFF});  // so that next() never reads past the text
    }
    // Over bytes: each of the text's bytes is one unit.
    explicit LinearMatcher(std::string_view bytes)
        : LinearMatcher(std::u32string(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                       reinterpret_cast<const std::uint8_t*>(bytes.data()) + bytes.size()))
    {
    }

    // How much of the text the stream ends with, before any unit is fed.
    using State = std::uint32_t;
    // The state after `unit`; the text has just occurred when it equals length().
    State next(State state, char32_t unit) const
    {
        while (state > 0 && text_[state] != unit) {
            state = border_[state - 1];
        }
        if (text_[state] == unit) {
            ++state;
        }
        return state;
    }
    std::size_t length() const { return border_.size(); }

    // Where the text first ends (past its last unit) among the units read from data[from] on, if it occurs
    // there: `read(bytes)` gives the unit that `bytes` start with and how many bytes it takes. Every form
    // reads its data this way where it is not filtered.
    template <class Read>
    std::optional<std::size_t> endIn(std::span<const std::uint8_t> data, std::size_t from, Read read) const
    {
        State state = 0;
        for (std::size_t at = from; at < data.size();) {
            const auto [unit, size] = read(data.subspan(at));
            state = next(state, unit);
            at += size;
            if (state == length()) {
                return at;
            }
        }
        return std::nullopt;
    }

    // A unit no text holds: what the stream gets for bytes that do not read as a character.
    static constexpr char32_t kNoCharacter = 0xFFFFFFFE;

private:
    std::u32string text_;        // with one more unit past the end that no stream holds
    std::vector<State> border_;  // border_[i]: the longest proper border of text_[0..i]
};

}  // namespace quorvin
