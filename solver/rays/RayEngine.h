#pragma once

#include <memory>
#include <vector>

#include "Tri.h"

// The scene's patches held for ray queries. Two questions only: the first
// patch along a ray, and whether a segment is clear. Occluders are
// two-sided: a patch blocks light from either side, whichever way it faces.
//
// A built engine answers every query the same way on any thread and any
// number of threads: the acceleration structure is built on one thread, so
// its shape (and with it the order in which ties are met) never depends on
// the machine's scheduling. Queries are safe to run concurrently.
struct RayEngine {
    // Builds over `patches`; a hit's `patch` is the index in this list.
    // Degenerate patches are kept and never hit. Throws GlowbakeError when
    // the ray library cannot be started or the build fails (out of memory).
    explicit RayEngine(const std::vector<Tri>& patches);
    ~RayEngine();
    RayEngine(const RayEngine&) = delete;
    RayEngine& operator=(const RayEngine&) = delete;

    // Where a ray first meets a patch: the patch, the distance along the
    // (not necessarily unit) direction, and the barycentric weights of
    // corners 1 and 2 (corner 0's weight is 1 - u - v).
    struct Hit {
        int patch = -1;  // -1: the ray left the scene
        float t = 0.0f;
        float u = 0.0f;
        float v = 0.0f;
    };

    // The first patch along origin + t * direction with tNear < t < tFar.
    Hit firstHit(const float origin[3], const float direction[3], float tNear, float tFar) const;
    // True when no patch lies on origin + t * direction, tNear < t < tFar.
    bool segmentClear(const float origin[3], const float direction[3], float tNear, float tFar) const;

    struct Scene;  // the library's handles; defined where the library is seen

private:
    std::unique_ptr<Scene> scene;
};

// How far off a surface rays start, for a scene of these patches: far
// enough that float rounding of the origin (about 1e-7 of the coordinates)
// cannot put it behind the surface, and far below any feature of the scene.
double rayOffset(const std::vector<Tri>& patches);
