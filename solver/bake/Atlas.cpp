#include "Atlas.h"

#include <algorithm>
#include <cmath>
#include <stb/stb_rect_pack.h>

namespace {

// Packs every rectangle into wide x high; false when any is left over.
bool packInto(std::vector<stbrp_rect>& rects, int wide, int high) {
    std::vector<stbrp_node> nodes(static_cast<size_t>(wide));
    stbrp_context context;
    stbrp_init_target(&context, wide, high, nodes.data(), wide);
    for (stbrp_rect& r : rects) r.was_packed = 0;
    return stbrp_pack_rects(&context, rects.data(), static_cast<int>(rects.size())) == 1;
}

}  // namespace

bool packAtlas(const std::vector<ChartSize>& charts, int maxSide, AtlasLayout& layout) {
    const int border = 2 * kAtlasRing;
    std::vector<stbrp_rect> rects(charts.size());
    double area = 0.0;
    int widest = 1, highest = 1;
    for (size_t i = 0; i < charts.size(); ++i) {
        rects[i].id = static_cast<int>(i);
        rects[i].w = charts[i].wide + border;
        rects[i].h = charts[i].high + border;
        area += static_cast<double>(rects[i].w) * rects[i].h;
        widest = std::max(widest, rects[i].w);
        highest = std::max(highest, rects[i].h);
    }
    if (widest > maxSide || highest > maxSide) return false;

    // A square of the charts' total area rarely takes them all; widen the
    // square by a few percent until it does.
    long long side = std::max<long long>({widest, highest, static_cast<long long>(std::ceil(std::sqrt(area)))});
    for (;;) {
        const int trySide = static_cast<int>(std::min<long long>(side, maxSide));
        if (packInto(rects, trySide, trySide)) break;
        if (trySide == maxSide) return false;
        side = side + side / 16 + 1;
    }

    layout.wide = 1;
    layout.high = 1;
    layout.chartX.assign(charts.size(), 0);
    layout.chartY.assign(charts.size(), 0);
    for (const stbrp_rect& r : rects) {
        layout.chartX[r.id] = r.x + kAtlasRing;
        layout.chartY[r.id] = r.y + kAtlasRing;
        layout.wide = std::max(layout.wide, r.x + r.w);
        layout.high = std::max(layout.high, r.y + r.h);
    }
    return true;
}

void placeChart(LinearImage& atlas, const AtlasLayout& layout, int index, const ChartSize& size,
                const float* chartRgb) {
    if (size.wide < 1 || size.high < 1) return;
    const int left = layout.chartX[index], top = layout.chartY[index];
    for (int y = -kAtlasRing; y < size.high + kAtlasRing; ++y) {
        const int row = std::min(std::max(y, 0), size.high - 1);
        for (int x = -kAtlasRing; x < size.wide + kAtlasRing; ++x) {
            const int column = std::min(std::max(x, 0), size.wide - 1);
            const float* from = chartRgb + (static_cast<size_t>(row) * size.wide + column) * 3;
            float* to = atlas.at(left + x, top + y);
            to[0] = from[0];
            to[1] = from[1];
            to[2] = from[2];
        }
    }
}
