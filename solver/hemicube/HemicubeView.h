#pragma once

#include <cfloat>
#include <vector>

#include "Hemicube.h"
#include "Tri.h"
#include "Vec3.h"

// One cell of an item/depth buffer.
struct HemicubePixel {
    int item = -1;           // form-factor row index of the nearest element, -1: none
    float depth = FLT_MAX;   // -1/z of that element; smaller is nearer
    bool facesAway = true;   // that element shows the hemicube its back

    // The first element drawn at a depth keeps the pixel: only a strictly
    // nearer one replaces it.
    void depthTest(int newItem, float newDepth, bool newFacesAway) {
        if (depth > newDepth) {
            item = newItem;
            depth = newDepth;
            facesAway = newFacesAway;
        }
    }
};

// A software hemicube placed on one receiving element: five item buffers
// (top N x N, four sides N/2 rows of N) into which every other element is
// projected; the delta form factors of the visible, front-facing pixels
// then make the element's form-factor row.
struct HemicubeView {
    HemicubeView(const Vec3& center, const Vec3& normal, const Hemicube& hemicube);

    // Draws one element onto all five faces.
    void project(int item, const Tri& tri);
    // Adds the delta form factor of every visible front-facing pixel to
    // row[item].
    void accumulate(float* row) const;

    std::vector<HemicubePixel> topBuffer;
    std::vector<HemicubePixel> sideBuffers[4];
    Vec3 center;
    Vec3 normal;
    int resolution;
    const Hemicube& hemicube;
    std::vector<int> rowOffset;
    float faceDistance;
    Vec3 translation;
    float angleX = 0.0f;
    float angleY = 0.0f;
};

// True when the eye at the origin sees the triangle's back, i.e. corner 0
// lies on the front side of the plane through the origin with the
// triangle's normal: dot(tri.normal(), corner 0) > 0, decided cheaply where
// the sign is clear.
bool facesAwayFromEye(const Tri& tri);

// One row's span in the scan conversion.
struct RowSpan {
    int xMax;      // rightmost column the edges give the row
    int xMin;      // leftmost column
    float zAtMax;  // depth at xMax
    float zAtMin;  // depth at xMin
};

// Per-row spans of the scan conversion, kept between calls so that the hot
// loop allocates nothing. Only the rows an edge reaches are initialised and
// visited; the others could not change a pixel.
struct FaceScratch {
    std::vector<RowSpan> rows;

    void reserve(int height) {
        if (static_cast<int>(rows.size()) < height) rows.resize(height);
    }
};

// The pixel grid of one face: its size, the projection's distance and near
// plane, and the pixel coordinates of its edges.
struct FaceGrid {
    int width;
    int height;
    float distance;
    float nearDistance;
    float scale;
    int xMinPx, xMaxPx, yMinPx, yMaxPx;

    FaceGrid(int width, int height, float left, float right, float bottom, float distance);
};

// Clips, projects and scan-converts one triangle, already in the face's frame
// (eye at the origin looking along +Z), into one face buffer. `top` is not
// used: the face's extent upward is given by `height`.
void rasterizeFace(HemicubePixel* buffer, const int* rowOffset, const Tri& tri, int item, int width, int height,
                   float left, float right, float bottom, float top, float distance, FaceScratch& scratch);
// True when any row was filled.
bool rasterizeFace(HemicubePixel* buffer, const int* rowOffset, const Tri& tri, int item, const FaceGrid& grid,
                   FaceScratch& scratch);

// The rows first .. last of a FaceScratch that scanTriangle has filled.
struct FaceRows {
    int first = 0;
    int last = -1;
};

// The stages of rasterizeFace before the pixels: near clipping, projection,
// the edge walk and the cutting of spans at the face's edges. False when the
// triangle reaches no row of the face; otherwise every row j of `rows` whose
// span [rows[j].xMin, rows[j].xMax] (in grid columns) meets the face is one
// that rasterizeFace fills, from depth zAtMin to zAtMax.
bool scanTriangle(const Tri& tri, const FaceGrid& grid, FaceScratch& scratch, FaceRows& rows);
void rasterizeFace(HemicubePixel* buffer, const int* rowOffset, const Tri& tri, int item, int width, int height,
                   float left, float right, float bottom, float top, float distance);
