#pragma once

#include <string>
#include <vector>

#include "ExportSettings.h"
#include "Lamp.h"
#include "QualityPreset.h"

// The solver's settings, as given with the options or by "Glowbake.ini".
struct Settings {
    float hemicubeWorldWide = 0.0f;  // -w: world width of the hemicube's top face
    float maxPatchArea = 0.0f;       // -a: elements are split down to this area
    float iterThreshold = 0.0f;      // -i: a channel converges when no element changes by more
    float subDivideThreshold = 0.0f; // -s: groups whose elements differ by more are split
    float gamma = 1.0f;              // -g: exponent applied after solving; 1 leaves values as they are
    int textSize = 64;               // -t: texture side of the largest patch
    std::string modelFile;           // -m
    std::string hemicubeFile;        // -h
    std::string outputFile = "Glowbake.out";  // -o
    bool haveModelFile = false;
    bool haveHemicubeFile = false;
    ExportSettings exports;    // --gltf, --lightmap, --irradiance, --gltf-lightmap, --exposure
    int gatherRays = 0;        // --gather: rays per texel of the final gather; 0: none
    int formFactorRays = 0;    // --form-factors rays[:R]: rays per element; 0: the hemicube
    LampUnits lampUnits = LampUnits::Standard;  // --lamp-units: how the file's lamp intensities are read
    float sky[3] = {0.0f, 0.0f, 0.0f};          // --sky R G B: radiance beyond the scene
    std::string skyFile;                        // --sky FILE: an .hdr or .exr environment instead
    // --quality: the numbers not given are chosen from the scene once it is
    // read (and -h may be left out: the hemicube is made in memory).
    Quality quality = Quality::None;
    struct Given {
        bool w = false, a = false, i = false, s = false, g = false, t = false, gather = false, formFactors = false;
    } given;                                    // which of them the command line set
};

// What the argument walk decided.
enum class CommandLineResult { Run, Help, Error };

// Walks the arguments (or the words of "Glowbake.ini" when there are none),
// prints every message and the usage text where one is due, and validates
// the numeric settings. Files are not opened here. A refused command line
// prints its message and the usage text on standard output, then one line on
// standard error (printError) naming the option and its word.
//
// Every numeric value must be a number as a whole word (-t a whole decimal
// number); -w, -a, -i and -s finite and above 0, -g finite and above 0, and
// -t from 1 to the size whose textures fit in half of the machine's memory.
CommandLineResult parseCommandLine(int argc, const char* const* argv, Settings& settings);

void printUsage();
// One line on standard error: "Glowbake: error: " and `message`. Standard
// output is flushed first, so that the two streams read in order on a
// terminal.
void printError(const std::string& message);
// The usage text followed by the long options (--help).
void printHelp();

// Reads whitespace-separated words from the token file. At most
// kMaxTokens words of at most kMaxTokenLength characters are accepted;
// beyond that `problem` says what was exceeded.
bool readTokenFile(const char* fileName, std::vector<std::string>& tokens, std::string& problem);

constexpr const char* kTokenFileName = "Glowbake.ini";
constexpr int kMaxTokens = 97;
constexpr int kMaxTokenLength = 98;
constexpr int kMaxGatherRays = 65536;
