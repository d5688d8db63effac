#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "Atlas.h"

namespace {

struct Box {
    int x0, y0, x1, y1;  // half-open
};

Box withRing(const AtlasLayout& layout, int i, const ChartSize& c) {
    return {layout.chartX[i] - kAtlasRing, layout.chartY[i] - kAtlasRing, layout.chartX[i] + c.wide + kAtlasRing,
            layout.chartY[i] + c.high + kAtlasRing};
}

}  // namespace

TEST(Atlas, ChartsAndRingsFitWithoutOverlap) {
    struct Case {
        const char* what;
        std::vector<ChartSize> charts;
    };
    std::vector<Case> cases = {
        {"one chart", {{64, 64}}},
        {"one tiny chart", {{1, 1}}},
        {"equal charts", std::vector<ChartSize>(37, ChartSize{16, 16})},
        {"a room's mix", {{256, 256}, {128, 128}, {128, 128}, {64, 64}, {32, 32}, {8, 8}, {4, 4}, {4, 4}, {48, 48}}},
        {"wide and tall", {{64, 4}, {4, 64}, {32, 8}, {8, 32}, {4, 4}}},
    };
    for (int n = 0; n < 300; ++n) cases.push_back({"many", {}}), cases.back().charts.push_back({4 << (n % 4), 4 << (n % 3)});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        AtlasLayout layout;
        ASSERT_TRUE(packAtlas(c.charts, kMaxAtlasSide, layout));
        ASSERT_EQ(layout.chartX.size(), c.charts.size());
        double used = 0.0;
        int longest = 0;
        for (size_t i = 0; i < c.charts.size(); ++i) {
            const Box a = withRing(layout, static_cast<int>(i), c.charts[i]);
            used += static_cast<double>(a.x1 - a.x0) * (a.y1 - a.y0);
            longest = std::max({longest, a.x1 - a.x0, a.y1 - a.y0});
            EXPECT_GE(a.x0, 0);
            EXPECT_GE(a.y0, 0);
            EXPECT_LE(a.x1, layout.wide);
            EXPECT_LE(a.y1, layout.high);
            for (size_t j = 0; j < i; ++j) {
                const Box b = withRing(layout, static_cast<int>(j), c.charts[j]);
                const bool apart = a.x1 <= b.x0 || b.x1 <= a.x0 || a.y1 <= b.y0 || b.y1 <= a.y0;
                EXPECT_TRUE(apart) << "charts " << i << " and " << j;
            }
        }
        // Not wasteful: the charts with their rings cover half of it, or it is
        // hardly larger than the square their longest side needs anyway.
        const double cover = used / (static_cast<double>(layout.wide) * layout.high);
        EXPECT_TRUE(cover > 0.5 || std::max(layout.wide, layout.high) <= longest * 1.15)
            << cover << " of " << layout.wide << " x " << layout.high;
    }
}

TEST(Atlas, RefusesChartsThatDoNotFit) {
    AtlasLayout layout;
    // One chart whose ring alone crosses the limit.
    EXPECT_FALSE(packAtlas({{100, 20}}, 103, layout));
    EXPECT_TRUE(packAtlas({{100, 20}}, 104, layout));
    EXPECT_EQ(layout.wide, 104);
    // Five 60 x 60 charts (64 with their rings) need more than 128 x 128.
    EXPECT_FALSE(packAtlas(std::vector<ChartSize>(5, ChartSize{60, 60}), 128, layout));
    EXPECT_TRUE(packAtlas(std::vector<ChartSize>(4, ChartSize{60, 60}), 128, layout));
}

TEST(Atlas, RingTexelsCopyTheNearestEdgeTexel) {
    const ChartSize size{5, 3};
    std::vector<float> chart(5 * 3 * 3);
    for (size_t i = 0; i < chart.size(); ++i) chart[i] = static_cast<float>(i) + 0.5f;
    AtlasLayout layout;
    ASSERT_TRUE(packAtlas({size, {4, 4}}, 64, layout));
    LinearImage atlas(layout.wide, layout.high);
    placeChart(atlas, layout, 0, size, chart.data());
    const int left = layout.chartX[0], top = layout.chartY[0];
    for (int y = -kAtlasRing; y < size.high + kAtlasRing; ++y) {
        for (int x = -kAtlasRing; x < size.wide + kAtlasRing; ++x) {
            // The nearest texel of the chart, by a search over all of them.
            int best = -1;
            double bestDistance = std::numeric_limits<double>::max();
            for (int cy = 0; cy < size.high; ++cy) {
                for (int cx = 0; cx < size.wide; ++cx) {
                    const double d = std::hypot(cx - x, cy - y);
                    if (d < bestDistance) bestDistance = d, best = cy * size.wide + cx;
                }
            }
            for (int ch = 0; ch < 3; ++ch)
                EXPECT_EQ(atlas.at(left + x, top + y)[ch], chart[best * 3 + ch]) << x << "," << y;
        }
    }
}
