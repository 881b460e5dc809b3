#pragma once
// When a form's filter hands its spans to the linear matcher. Comparing crowded candidates in full could
// take time growing with the square of the data (`abab...` for `ab...aa`): once a filter gives up on a
// span (kCrowded), that span and the next tuning::kLinearSpansAfterCrowd are read linearly, since the data
// that crowded it usually goes on; then the filter is tried again. Every form keeps one.
#include "scanner/tuning.h"

namespace quorvin {

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

}  // namespace quorvin
