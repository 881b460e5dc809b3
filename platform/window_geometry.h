#pragma once
// The geometry both window renderers share: twips to pixels, the box a label takes to show its whole
// text, the tab order of a design, and where a window goes to be centred. Plain arithmetic on pixels;
// each renderer measures the text and the screen itself.
#include <array>
#include <cstddef>
#include <vector>

#include "platform/window_design.h"

namespace quorvin::platform {

struct PixelRect {
    int left = 0, top = 0, width = 0, height = 0;
    friend bool operator==(const PixelRect&, const PixelRect&) = default;
};

// A length in twips as pixels on a screen of `dpi` dots per inch, to the nearest pixel, halves away from
// zero (15 twips a pixel at 96 dpi).
int twipsToPixels(int twips, double dpi);

// The designs were measured with the faces of their time. A one-line label whose text, `textWidth`
// pixels wide, is wider than its designed `box` grows past the box on the side its alignment leaves free
// (a right-aligned label leftwards, a centred one both ways, a left-aligned one rightwards), kept between
// `areaLeft` and `areaRight`, the sides of its container, rather than being cut. A box wide enough stays.
PixelRect fitLabel(PixelRect box, int textWidth, Align align, int areaLeft, int areaRight);

// The indexes of `controls` in tab order: by tab index, equal ones in design order, each control with a
// `tabAfter` right after the control it names, then the controls that take no focus, in design order.
// Naming a control the design does not hold is a programming error (std::out_of_range).
std::vector<std::size_t> tabOrder(const std::vector<ControlDesign>& controls);

// The ring that shows which control has the keyboard focus: around its box, never over its text or
// picture, `thickness` pixels wide with `gap` pixels of the background between, at `scale` times 96 dpi.
struct FocusRing {
    PixelRect outer;
    int thickness = 0;
    int gap = 0;
};
FocusRing focusRingAround(PixelRect box, double scale);
// The ring's four sides, each `thickness` wide: top, bottom, left, right.
std::array<PixelRect, 4> sidesOf(const FocusRing& ring);

// The ring's colour on `background`: a dark blue on light backgrounds, a yellow on dark ones, whichever
// contrasts more with it.
Color focusRingColor(Color background);

// The contrast ratio of two colours as WCAG 2 counts it, from 1 (the same) to 21 (black on white).
double contrastRatio(Color a, Color b);

// Where a window `width` by `height` goes to sit in the middle of `area`.
PixelRect centred(PixelRect area, int width, int height);

}  // namespace quorvin::platform
