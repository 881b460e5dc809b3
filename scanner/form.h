#pragma once
// One form the block scanner looks for the text in (the code page's bytes, UTF-8, UTF-16), as it drives
// them all alike: each gives the filters whose candidates the shared pass compares (candidate_pass.h);
// where one of them crowds, the form either has a cheaper way left or is read linearly for a while, as its
// Crowding decides. Every verdict is the same whatever the form chooses: only the time differs.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "scanner/anchor_filter.h"
#include "scanner/tuning.h"

namespace quorvin {

// When a form's filter hands its spans to the linear matcher. Comparing crowded candidates in full could
// take time growing with the square of the data (`abab...` for `ab...aa`): once a filter gives up on a
// span (kCrowded), that span and the next tuning::kLinearSpansAfterCrowd are read linearly, since the data
// that crowded it usually goes on; then the filter is tried again. Every form keeps one.
class Crowding {
public:
    // Whether the next span is read linearly; counts it.
    bool takesLinearly()
    {
        if (linearSpans_ == 0) {
            return false;
        }
        --linearSpans_;
        return true;
    }
    // The filter gave up on the span it was given.
    void crowded() { linearSpans_ = tuning::kLinearSpansAfterCrowd; }

private:
    int linearSpans_ = 0;
};

class Form {
public:
    virtual ~Form() = default;

    // The most bytes an occurrence takes.
    virtual std::size_t longest() const = 0;
    // Chooses the filters' anchors from the data's first bytes, and `counts`, how often each byte occurs there.
    virtual void rank(std::span<const std::uint8_t> sample, const ByteCounts& counts) = 0;
    // The filters the pass compares now, one or two; none: the form is read linearly.
    virtual std::span<const AnchorFilter* const> filters() const = 0;
    // `filter` (one of filters()) crowded: true when the form took other filters for the same data;
    // false when it is to be read linearly.
    virtual bool replace(const AnchorFilter* filter) = 0;
    // Whether the text occurs within `data`, reading it unit by unit: linear in the data whatever it holds.
    virtual bool occursLinearly(std::span<const std::uint8_t> data) const = 0;
    // A byte that every occurrence holds, if there is one (UTF-16's high byte of Latin text, UTF-8's lead
    // byte of Cyrillic): most files are in one form only, so one fast look for it spares the pass the
    // form's filters in data without it. It pays beside the shared pass: comparing UTF-16's filter in the
    // pass instead, `hawk` in the bench's Windows-1252 file took 238.8 ms against 189.7 (hyperfine, 7 runs).
    virtual std::optional<std::uint8_t> requiredByte() const { return std::nullopt; }
    // The form's name, then what it chose, one line per filter, each starting with `indent`.
    virtual std::string describe(const std::string& indent) const = 0;

    Crowding crowding;
};

}  // namespace quorvin
