#include "platform/window_geometry.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <numeric>

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
    return order;
}

PixelRect centred(PixelRect area, int width, int height)
{
    return {area.left + (area.width - width) / 2, area.top + (area.height - height) / 2, width, height};
}

}  // namespace quorvin::platform
