#pragma once
// Finds a sequence of units (folded bytes or folded characters) in a stream of them, one unit at a
// time, in time linear in the stream whatever the text and the data (Knuth-Morris-Pratt): the search
// the scanner falls back on where its fast filter's candidates crowd, as in `abab...` for `ab...aa`.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace quorvin {

class LinearMatcher {
public:
    explicit LinearMatcher(std::u32string text);

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

    // A unit no text holds: what the stream gets for bytes that do not read as a character.
    static constexpr char32_t kNoCharacter = 0xFFFFFFFE;

private:
    std::u32string text_;        // with one more unit past the end that no stream holds
    std::vector<State> border_;  // border_[i]: the longest proper border of text_[0..i]
};

}  // namespace quorvin
