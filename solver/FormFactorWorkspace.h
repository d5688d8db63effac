#pragma once

#include <cstdint>
#include <vector>

#include "Hemicube.h"
#include "HemicubeView.h"

// Everything one thread needs to compute form-factor rows, allocated once
// and reused for every element: the five face buffers, the span arrays of
// the scan conversion, the spans each face has written (only those are read
// and cleared after a view, so the buffers are clean between views) and a
// dense accumulation row that is cleared entry by entry after each use, with
// the items drawn into the current view.
struct FormFactorWorkspace {
    explicit FormFactorWorkspace(const Hemicube& hemicube);

    // Room for rows over `groupCount` groups.
    void reserveRow(int groupCount);

    int resolution;
    std::vector<HemicubePixel> top;
    std::vector<HemicubePixel> sides[4];
    std::vector<int> rowOffset;
    FaceScratch scratch;
    WrittenSpans written[5];  // top, then sides 0..3
    // Slot 0 takes the additions of pixels that add nothing (no item, or an
    // item seen from behind); item i adds into slot i + 1.
    std::vector<float> dense;
    std::vector<int> drawn;  // items that filled a row of the current view, ascending
};
