#include "SolveJob.h"

#include "ByteStream.h"
#include "GlowbakeError.h"

namespace {

// Every lamp field but the name, which is packed beside it.
struct LampNumbers {
    LampKind kind;
    double position[3];
    double direction[3];
    double intensity[3];
    double range;
    double innerCone;
    double outerCone;
};

}  // namespace

std::vector<char> packSolveJob(const SolveJob& job) {
    ByteWriter out;
    out.putVector(job.model.patches);
    out.putVector(job.model.colors);
    out.put(static_cast<long long>(job.model.lamps.size()));
    for (const Lamp& lamp : job.model.lamps) {
        LampNumbers n{lamp.kind, {}, {}, {}, lamp.range, lamp.innerCone, lamp.outerCone};
        for (int i = 0; i < 3; ++i) {
            n.position[i] = lamp.position[i];
            n.direction[i] = lamp.direction[i];
            n.intensity[i] = lamp.intensity[i];
        }
        out.put(n);
        out.putString(lamp.name);
    }
    out.put(job.tables.resolution);
    out.putVector(job.tables.topQuadrant);
    out.putVector(job.tables.sideQuadrant);
    const SolverSettings& s = job.settings;
    out.put(s.hemicubeWorldWide);
    out.put(s.maxPatchArea);
    out.put(s.iterThreshold);
    out.put(s.subDivideThreshold);
    out.put(s.gamma);
    out.put(s.textSize);
    out.put(s.formFactorRays);
    out.put(s.sky.uniform);
    out.put(s.sky.image.wide);
    out.put(s.sky.image.high);
    out.putVector(s.sky.image.rgb);
    out.put(job.gatherRays);
    return out.bytes;
}

SolveJob unpackSolveJob(const std::vector<char>& bytes) {
    ByteReader in(bytes);
    SolveJob job;
    job.model.patches = in.getVector<Tri>();
    job.model.colors = in.getVector<PatchColors>();
    const long long lamps = in.get<long long>();
    if (lamps < 0 || lamps > static_cast<long long>(bytes.size())) throw GlowbakeError("a message between processes is cut short");
    for (long long l = 0; l < lamps; ++l) {
        const LampNumbers n = in.get<LampNumbers>();
        Lamp lamp;
        lamp.kind = n.kind;
        for (int i = 0; i < 3; ++i) {
            lamp.position[i] = n.position[i];
            lamp.direction[i] = n.direction[i];
            lamp.intensity[i] = n.intensity[i];
        }
        lamp.range = n.range;
        lamp.innerCone = n.innerCone;
        lamp.outerCone = n.outerCone;
        lamp.name = in.getString();
        job.model.lamps.push_back(lamp);
    }
    job.tables.resolution = in.get<int>();
    job.tables.topQuadrant = in.getVector<float>();
    job.tables.sideQuadrant = in.getVector<float>();
    SolverSettings& s = job.settings;
    s.hemicubeWorldWide = in.get<float>();
    s.maxPatchArea = in.get<float>();
    s.iterThreshold = in.get<float>();
    s.subDivideThreshold = in.get<float>();
    s.gamma = in.get<float>();
    s.textSize = in.get<int>();
    s.formFactorRays = in.get<int>();
    in.getRaw(s.sky.uniform, sizeof s.sky.uniform);
    s.sky.image.wide = in.get<int>();
    s.sky.image.high = in.get<int>();
    s.sky.image.rgb = in.getVector<float>();
    job.gatherRays = in.get<int>();
    if (!in.atEnd()) throw GlowbakeError("a message between processes holds more than it should");
    return job;
}
