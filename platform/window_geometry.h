#pragma once
// The geometry both window renderers share: twips to pixels, the box a label takes to show its whole
// text, the tab order of a design, and where a window goes to be centred. Plain arithmetic on pixels;
// each renderer measures the text and the screen itself.
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

// The indexes of `controls` in tab order: by tab index, equal ones in design order, then the controls
// that take no focus, in design order.
std::vector<std::size_t> tabOrder(const std::vector<ControlDesign>& controls);

// Where a window `width` by `height` goes to sit in the middle of `area`.
PixelRect centred(PixelRect area, int width, int height);

}  // namespace quorvin::platform
