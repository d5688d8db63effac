#pragma once

#include <vector>

#include "Hemicube.h"
#include "HemicubeView.h"

// The columns of each row of one face that fills have reached since the last
// reset: [first[row], last[row]], empty when first > last. A face is then
// read and cleared over those spans only, in pixel order; every pixel
// outside them still holds its initial value.
struct WrittenSpans {
    std::vector<int> first;
    std::vector<int> last;
    int lowRow = 0;    // rows lowRow .. highRow may hold spans
    int highRow = -1;

    void reset(int height) {
        first.assign(height, 1 << 30);
        last.assign(height, -1);
        lowRow = 0;
        highRow = -1;
    }
    // Widens the row range by rows low .. high, whose spans have been
    // widened in first and last.
    void addRows(int low, int high) {
        if (highRow < lowRow) {
            lowRow = low;
            highRow = high;
        } else {
            if (low < lowRow) lowRow = low;
            if (high > highRow) highRow = high;
        }
    }
};

// One face of the fast path's hemicube, as two planes: the depth of the
// nearest element drawn at each pixel (FLT_MAX: none) and the slot its
// delta form factor goes to: item + 1 for an item that faces the hemicube,
// 0 for no item or one seen from behind (which hides what lies behind it
// but adds nothing).
struct FaceDepths {
    std::vector<float> depth;
    std::vector<int> slot;

    void assign(size_t pixels);
};

// Everything one thread needs to compute form-factor rows, allocated once
// and reused for every element: the five faces, the span arrays of the scan
// conversion, the spans each face has written (only those are read and
// cleared after a view, so the faces are clean between views), a dense
// accumulation row that is cleared entry by entry after each use, and the
// items drawn into the current view.
struct FormFactorWorkspace {
    explicit FormFactorWorkspace(const Hemicube& hemicube);

    // Room for rows over `groupCount` groups.
    void reserveRow(int groupCount);

    int resolution;
    FaceDepths faces[5];  // top, then sides 0..3
    std::vector<int> rowOffset;
    FaceScratch scratch;
    WrittenSpans written[5];
    // Slot 0 takes the additions of pixels that add nothing; item i adds
    // into slot i + 1.
    std::vector<float> dense;
    std::vector<int> drawn;  // items that filled a row of the current view, ascending
};
