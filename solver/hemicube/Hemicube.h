#pragma once

#include <string>
#include <vector>

// The delta form factors that define a hemicube of resolution N: the
// lower-left quadrant of the top face and of the side face, (N/2)^2 floats
// each, row by row:
//   top:  row r, column c; rows and columns 0 at the face edges
//   side: row 0 at the receiving plane, row N/2 - 1 at the top face's edge
struct HemicubeTables {
    int resolution = 0;
    std::vector<float> topQuadrant;
    std::vector<float> sideQuadrant;
};

// What makes the tables unusable, or an empty string: N must be even and
// from 2 to Hemicube::kMaxResolution, each quadrant must hold (N/2)^2 values
// and every value must lie in 0..1.
std::string hemicubeTablesProblem(const HemicubeTables& tables);

// Resolution, face width and delta form factors of the hemicube, built once
// and shared read-only by every view. The quadrants are mirrored into the
// full top face and one side face shared by the four sides.
struct Hemicube {
    // Throws GlowbakeError when hemicubeTablesProblem finds a problem.
    Hemicube(float worldWidth, const HemicubeTables& tables);

    float worldWidth() const { return worldWidth_; }
    int resolution() const { return resolution_; }
    // Face 0 is the top face, 1..4 the sides; a negative face yields 0.
    float deltaFormFactor(int face, int pixel) const {
        if (face < 0) return 0.0f;
        return face == 0 ? top[pixel] : side[pixel];
    }
    const float* faceTable(int face) const { return face == 0 ? top.data() : side.data(); }
    int rowOffset(int row) const { return rowOffsets[row]; }

    // Largest resolution accepted: a view of this size holds 3 N^2 pixels.
    static constexpr int kMaxResolution = 4096;

private:
    float worldWidth_;
    int resolution_;
    std::vector<float> top;   // N x N
    std::vector<float> side;  // N/2 rows of N, shared by the four sides
    std::vector<int> rowOffsets;
};
