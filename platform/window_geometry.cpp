#include "platform/window_geometry.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <numeric>
#include <stdexcept>
#include <string>

namespace quorvin::platform {

int twipsToPixels(int twips, double dpi)
{
    return static_cast<int>(std::lround(twips * dpi / 1440.0));
}

PixelRect fitLabel(PixelRect box, int textWidth, Align align, int areaLeft, int areaRight)
{
    const int needed = textWidth + 1;  // the last pixel of a glyph may touch the box's edge
    if (needed <= box.width) {
        return box;
    }
    const int grow = needed - box.width;
    box.left -= align == Align::Right ? grow : align == Align::Center ? grow / 2 : 0;
    box.width = needed;
    box.left = std::clamp(box.left, areaLeft, std::max(areaLeft, areaRight - box.width));
    return box;
}

std::vector<std::size_t> tabOrder(const std::vector<ControlDesign>& controls)
{
    std::vector<std::size_t> order(controls.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    const auto rank = [&controls](std::size_t i) { return controls[i].tabIndex < 0 ? INT_MAX : controls[i].tabIndex; };
    std::stable_sort(order.begin(), order.end(), [&rank](std::size_t a, std::size_t b) { return rank(a) < rank(b); });
    for (std::size_t i = 0; i < controls.size(); ++i) {
        const std::string& anchor = controls[i].tabAfter;
        if (anchor.empty()) {
            continue;
        }
        order.erase(std::find(order.begin(), order.end(), i));
        const auto after =
            std::find_if(order.begin(), order.end(), [&](std::size_t j) { return controls[j].name == anchor; });
        if (after == order.end()) {
            throw std::out_of_range("no control " + anchor + " for " + controls[i].name + " to follow");
        }
        order.insert(after + 1, i);
    }
    return order;
}

FocusRing focusRingAround(PixelRect box, double scale)
{
    // Two pixels at 1x: a one-pixel dotted line is what a user cannot find.
    const int thickness = std::max(2, static_cast<int>(std::lround(2 * scale)));
    const int gap = std::max(1, static_cast<int>(std::lround(scale)));
    const int out = thickness + gap;
    return {{box.left - out, box.top - out, box.width + 2 * out, box.height + 2 * out}, thickness, gap};
}

std::array<PixelRect, 4> sidesOf(const FocusRing& ring)
{
    const PixelRect& o = ring.outer;
    const int t = ring.thickness;
    return {{{o.left, o.top, o.width, t},
             {o.left, o.top + o.height - t, o.width, t},
             {o.left, o.top, t, o.height},
             {o.left + o.width - t, o.top, t, o.height}}};
}

namespace {

double luminance(Color color)
{
    const auto linear = [](std::uint8_t channel) {
        const double c = channel / 255.0;
        return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(color.red) + 0.7152 * linear(color.green) + 0.0722 * linear(color.blue);
}

}  // namespace

double contrastRatio(Color a, Color b)
{
    const double first = luminance(a), second = luminance(b);
    return (std::max(first, second) + 0.05) / (std::min(first, second) + 0.05);
}

Color focusRingColor(Color background)
{
    constexpr Color kDarkBlue{0x00, 0x50, 0xB4};
    constexpr Color kYellow{0xFF, 0xD7, 0x00};
    return contrastRatio(kDarkBlue, background) >= contrastRatio(kYellow, background) ? kDarkBlue : kYellow;
}

PixelRect centred(PixelRect area, int width, int height)
{
    return {area.left + (area.width - width) / 2, area.top + (area.height - height) / 2, width, height};
}

}  // namespace quorvin::platform
