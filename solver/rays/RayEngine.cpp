#include "RayEngine.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <string>

#include <embree3/rtcore.h>

#include "GlowbakeError.h"

struct RayEngine::Scene {
    RTCDevice device = nullptr;
    RTCScene handle = nullptr;
    RTCError firstError = RTC_ERROR_NONE;
    std::string firstMessage;

    ~Scene() {
        if (handle) rtcReleaseScene(handle);
        if (device) rtcReleaseDevice(device);
    }
};

namespace {

// Every library error lands here once; the first one is kept and reported
// after the call that caused it.
void recordError(void* user, RTCError code, const char* message) {
    auto* scene = static_cast<RayEngine::Scene*>(user);
    if (scene->firstError != RTC_ERROR_NONE) return;
    scene->firstError = code;
    scene->firstMessage = message ? message : "";
}

}  // namespace

RayEngine::RayEngine(const std::vector<Tri>& patches) : scene(std::make_unique<Scene>()) {
    // One build thread: the tree's shape, and so the order in which equal
    // hits are met, is the same on every run.
    scene->device = rtcNewDevice("threads=1,set_affinity=0");
    if (!scene->device) throw GlowbakeError("the ray engine could not be started (Embree: " +
                                            std::to_string(static_cast<int>(rtcGetDeviceError(nullptr))) + ")");
    rtcSetDeviceErrorFunction(scene->device, recordError, scene.get());
    auto check = [&](const char* what) {
        if (scene->firstError == RTC_ERROR_NONE) return;
        if (scene->firstError == RTC_ERROR_OUT_OF_MEMORY) throw std::bad_alloc();
        throw GlowbakeError(std::string("the ray engine failed ") + what + ": " + scene->firstMessage);
    };

    scene->handle = rtcNewScene(scene->device);
    // Robust: no shortcuts that trade watertightness for speed, so a ray
    // through a shared edge or corner does not slip between two patches.
    rtcSetSceneFlags(scene->handle, RTC_SCENE_FLAG_ROBUST);
    rtcSetSceneBuildQuality(scene->handle, RTC_BUILD_QUALITY_HIGH);

    RTCGeometry mesh = rtcNewGeometry(scene->device, RTC_GEOMETRY_TYPE_TRIANGLE);
    const size_t n = patches.size();
    auto* vertices = static_cast<float*>(rtcSetNewGeometryBuffer(mesh, RTC_BUFFER_TYPE_VERTEX, 0, RTC_FORMAT_FLOAT3,
                                                                 3 * sizeof(float), 3 * n));
    auto* indices = static_cast<unsigned*>(rtcSetNewGeometryBuffer(mesh, RTC_BUFFER_TYPE_INDEX, 0, RTC_FORMAT_UINT3,
                                                                   3 * sizeof(unsigned), n));
    if (!vertices || !indices) {
        rtcReleaseGeometry(mesh);
        check("to hold the scene");
        throw std::bad_alloc();
    }
    for (size_t p = 0; p < n; ++p) {
        for (int c = 0; c < 3; ++c) {
            const Vec3& v = patches[p].vertices[c];
            vertices[9 * p + 3 * c + 0] = v.x;
            vertices[9 * p + 3 * c + 1] = v.y;
            vertices[9 * p + 3 * c + 2] = v.z;
            indices[3 * p + c] = static_cast<unsigned>(3 * p + c);
        }
    }
    rtcCommitGeometry(mesh);
    rtcAttachGeometry(scene->handle, mesh);
    rtcReleaseGeometry(mesh);
    rtcCommitScene(scene->handle);
    check("to build its tree of the scene");
}

RayEngine::~RayEngine() = default;

RayEngine::Hit RayEngine::firstHit(const float origin[3], const float direction[3], float tNear, float tFar) const {
    RTCIntersectContext context;
    rtcInitIntersectContext(&context);
    RTCRayHit query;
    query.ray.org_x = origin[0];
    query.ray.org_y = origin[1];
    query.ray.org_z = origin[2];
    query.ray.dir_x = direction[0];
    query.ray.dir_y = direction[1];
    query.ray.dir_z = direction[2];
    query.ray.tnear = tNear;
    query.ray.tfar = tFar;
    query.ray.time = 0.0f;
    query.ray.mask = ~0u;
    query.ray.id = 0;
    query.ray.flags = 0;
    query.hit.geomID = RTC_INVALID_GEOMETRY_ID;
    query.hit.primID = RTC_INVALID_GEOMETRY_ID;
    query.hit.instID[0] = RTC_INVALID_GEOMETRY_ID;
    rtcIntersect1(scene->handle, &context, &query);
    Hit hit;
    if (query.hit.geomID == RTC_INVALID_GEOMETRY_ID) return hit;
    hit.patch = static_cast<int>(query.hit.primID);
    hit.t = query.ray.tfar;
    hit.u = query.hit.u;
    hit.v = query.hit.v;
    return hit;
}

bool RayEngine::segmentClear(const float origin[3], const float direction[3], float tNear, float tFar) const {
    RTCIntersectContext context;
    rtcInitIntersectContext(&context);
    RTCRay ray;
    ray.org_x = origin[0];
    ray.org_y = origin[1];
    ray.org_z = origin[2];
    ray.dir_x = direction[0];
    ray.dir_y = direction[1];
    ray.dir_z = direction[2];
    ray.tnear = tNear;
    ray.tfar = tFar;
    ray.time = 0.0f;
    ray.mask = ~0u;
    ray.id = 0;
    ray.flags = 0;
    rtcOccluded1(scene->handle, &context, &ray);
    // A blocked ray comes back with tfar set to -inf.
    return ray.tfar >= 0.0f;
}

double rayOffset(const std::vector<Tri>& patches) {
    double lo[3] = {HUGE_VAL, HUGE_VAL, HUGE_VAL}, hi[3] = {-HUGE_VAL, -HUGE_VAL, -HUGE_VAL}, reach = 0.0;
    for (const Tri& t : patches) {
        for (const Vec3& v : t.vertices) {
            const double c[3] = {v.x, v.y, v.z};
            for (int k = 0; k < 3; ++k) {
                lo[k] = std::min(lo[k], c[k]);
                hi[k] = std::max(hi[k], c[k]);
                reach = std::max(reach, std::fabs(c[k]));
            }
        }
    }
    if (patches.empty()) return 1e-6;
    const double dx = hi[0] - lo[0], dy = hi[1] - lo[1], dz = hi[2] - lo[2];
    const double offset = std::max(1e-5 * std::sqrt(dx * dx + dy * dy + dz * dz), 4e-6 * reach);
    return offset > 0.0 && std::isfinite(offset) ? offset : 1e-6;
}
