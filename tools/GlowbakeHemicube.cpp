// GlowbakeHemicube N FILE: writes a hemicube file of resolution N holding the
// delta form factors of a unit hemicube (top face at distance 1, faces
// spanning [-1, 1], pixel side d = 2/N):
//   top pixel centred at (x, y):          d^2 / (pi (x^2 + y^2 + 1)^2)
//   side pixel centred at (x, z), z > 0:  z d^2 / (pi (x^2 + z^2 + 1)^2)
// Only the quadrant the solver mirrors is stored: N, then (N/2)^2 top values
// (row 0 and column 0 at the face's edge), then (N/2)^2 side values (row 0 at
// the receiving plane, column 0 at a vertical edge), all big-endian.
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "FileIO.h"

namespace {

constexpr int kMaxResolution = 4096;

int usage(const char* problem) {
    std::fprintf(stderr, "GlowbakeHemicube: %s\n", problem);
    std::fprintf(stderr,
                 "usage: GlowbakeHemicube N FILE\n"
                 "  N     hemicube resolution: an even number from 2 to %d (typical 64; the error on small or\n"
                 "        distant sources falls as 1/N, the solver's time grows as N^2)\n"
                 "  FILE  the hemicube file to write\n",
                 kMaxResolution);
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) return usage("expected two arguments");
    char* end = nullptr;
    errno = 0;
    const long n = std::strtol(argv[1], &end, 10);
    if (errno != 0 || end == argv[1] || *end != '\0' || n < 2 || n > kMaxResolution || n % 2 != 0) {
        return usage((std::string("resolution '") + argv[1] + "' is not an even number from 2 to " +
                      std::to_string(kMaxResolution))
                         .c_str());
    }
    const int half = static_cast<int>(n / 2);
    const double d = 2.0 / static_cast<double>(n);
    const double pi = 3.14159265358979323846;

    std::FILE* file = std::fopen(argv[2], "wb");
    if (!file) {
        std::fprintf(stderr, "GlowbakeHemicube: could not open file for writing: %s\n", argv[2]);
        return 1;
    }
    FileIO fileIO;
    fileIO.writeInt(file, static_cast<int>(n));
    double topSum = 0.0, sideSum = 0.0;
    for (int r = 0; r < half; ++r) {
        const double y = -1.0 + (r + 0.5) * d;
        for (int c = 0; c < half; ++c) {
            const double x = -1.0 + (c + 0.5) * d;
            const double q = x * x + y * y + 1.0;
            const float value = static_cast<float>(d * d / (pi * q * q));
            fileIO.writeFloat(file, value);
            topSum += value;
        }
    }
    for (int r = 0; r < half; ++r) {
        const double z = (r + 0.5) * d;
        for (int c = 0; c < half; ++c) {
            const double x = -1.0 + (c + 0.5) * d;
            const double q = x * x + z * z + 1.0;
            const float value = static_cast<float>(z * d * d / (pi * q * q));
            fileIO.writeFloat(file, value);
            sideSum += value;
        }
    }
    const bool closed = std::fclose(file) == 0;
    if (!fileIO.ok || !closed) {
        std::fprintf(stderr, "GlowbakeHemicube: could not write %s\n", argv[2]);
        std::remove(argv[2]);
        return 1;
    }
    // The top quadrant is a quarter of the top face; the side quadrant half of
    // one side face, and there are four sides.
    std::printf("hemicube %ld x %ld written to %s; delta form factors sum to %.6f\n", n, n, argv[2],
                4.0 * topSum + 4.0 * 2.0 * sideSum);
    return 0;
}
