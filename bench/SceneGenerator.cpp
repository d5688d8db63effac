// GlowbakeSceneGenerator TRIANGLES FILE: writes a text model of a closed
// room (6 x 3 x 5, walls of reflectance 0.6 facing in, an emitting panel
// under the ceiling) holding a finely divided ball on a block, with about
// TRIANGLES triangles in all: the ball takes all but the room's 24. For
// benchmarks of how a pass grows with the scene.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

struct P {
    double x, y, z;
};

std::FILE* out = nullptr;
long long written = 0;

// One triangle whose lit side (corners clockwise when seen from it) faces
// `towards`.
void tri(P a, P b, P c, P towards, double rho, double emit) {
    const P e1{c.x - a.x, c.y - a.y, c.z - a.z}, e2{b.x - a.x, b.y - a.y, b.z - a.z};
    const P n{e1.y * e2.z - e1.z * e2.y, e1.z * e2.x - e1.x * e2.z, e1.x * e2.y - e1.y * e2.x};
    if (n.x * towards.x + n.y * towards.y + n.z * towards.z < 0.0) std::swap(b, c);
    const double mm = 1000.0;
    std::fprintf(out, "%.9g %.9g %.9g  %.9g %.9g %.9g  %.9g %.9g %.9g  %g %g %g  %g %g %g\n", mm * a.x, mm * a.y,
                 mm * a.z, mm * b.x, mm * b.y, mm * b.z, mm * c.x, mm * c.y, mm * c.z, rho, rho, rho, emit, emit, emit);
    ++written;
}

// An axis-aligned box's faces, two triangles each, facing in or out; a box
// facing out stands on the floor and has no bottom.
void box(P lo, P hi, bool inward, double rho) {
    const P c{(lo.x + hi.x) / 2, (lo.y + hi.y) / 2, (lo.z + hi.z) / 2};
    auto face = [&](P a, P b, P cc, P d) {
        const P m{(a.x + cc.x) / 2, (a.y + cc.y) / 2, (a.z + cc.z) / 2};
        const double s = inward ? 1.0 : -1.0;
        const P towards{s * (c.x - m.x), s * (c.y - m.y), s * (c.z - m.z)};
        tri(a, b, cc, towards, rho, 0.0);
        tri(a, cc, d, towards, rho, 0.0);
    };
    if (inward) face({lo.x, lo.y, lo.z}, {hi.x, lo.y, lo.z}, {hi.x, lo.y, hi.z}, {lo.x, lo.y, hi.z});
    face({lo.x, hi.y, lo.z}, {hi.x, hi.y, lo.z}, {hi.x, hi.y, hi.z}, {lo.x, hi.y, hi.z});
    face({lo.x, lo.y, lo.z}, {hi.x, lo.y, lo.z}, {hi.x, hi.y, lo.z}, {lo.x, hi.y, lo.z});
    face({lo.x, lo.y, hi.z}, {hi.x, lo.y, hi.z}, {hi.x, hi.y, hi.z}, {lo.x, hi.y, hi.z});
    face({lo.x, lo.y, lo.z}, {lo.x, hi.y, lo.z}, {lo.x, hi.y, hi.z}, {lo.x, lo.y, hi.z});
    face({hi.x, lo.y, lo.z}, {hi.x, hi.y, lo.z}, {hi.x, hi.y, hi.z}, {hi.x, lo.y, hi.z});
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: GlowbakeSceneGenerator TRIANGLES FILE\n");
        return 1;
    }
    const long long wanted = std::atoll(argv[1]);
    const int rings = std::max(3, static_cast<int>(std::sqrt(std::max(0LL, wanted - 24) / 2.0)));
    const long long ball = 2LL * rings * rings - 2LL * rings;
    out = std::fopen(argv[2], "w");
    if (!out) {
        std::perror(argv[2]);
        return 1;
    }
    std::fprintf(out, "%lld\n", 24 + ball);
    box({0, 0, 0}, {6, 3, 5}, true, 0.6);
    box({2.2, 0, 1.7}, {3.8, 0.8, 3.3}, false, 0.5);
    tri({2.5, 2.95, 2.0}, {3.5, 2.95, 2.0}, {3.5, 2.95, 3.0}, {0, -1, 0}, 0.0, 10.0);
    tri({2.5, 2.95, 2.0}, {3.5, 2.95, 3.0}, {2.5, 2.95, 3.0}, {0, -1, 0}, 0.0, 10.0);
    // The ball: `rings` bands of `rings` quads, the poles as fans.
    const double pi = 3.14159265358979323846, r = 0.6;
    const P c{3.0, 0.8 + r, 2.5};
    auto at = [&](int i, int j) {
        const double th = pi * i / rings, ph = 2 * pi * j / rings;
        return P{c.x + r * std::sin(th) * std::cos(ph), c.y + r * std::cos(th), c.z + r * std::sin(th) * std::sin(ph)};
    };
    for (int i = 0; i < rings; ++i) {
        for (int j = 0; j < rings; ++j) {
            const P a = at(i, j), b = at(i + 1, j), d = at(i, j + 1), e = at(i + 1, j + 1);
            const P m{(a.x + e.x) / 2 - c.x, (a.y + e.y) / 2 - c.y, (a.z + e.z) / 2 - c.z};
            if (i != 0) tri(a, b, d, m, 0.7, 0.0);
            if (i != rings - 1) tri(b, e, d, m, 0.7, 0.0);
        }
    }
    std::fclose(out);
    if (written != 24 + ball) {
        std::fprintf(stderr, "GlowbakeSceneGenerator: wrote %lld triangles, expected %lld\n", written, 24 + ball);
        return 1;
    }
    return 0;
}
