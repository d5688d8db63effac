#include "CommandLine.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "Limits.h"
#include "RayFormFactors.h"
#include "SkyImage.h"
#include "NumberWord.h"
#include "TextureLayout.h"

void printUsage() {
    std::printf("usage:\n");
    std::printf("Glowbake\n");
    std::printf("\t[-?]\n\t");
    std::printf("-m model_file  -h hemicube_file\n\t");
    std::printf("[-o output_file]  -w hemicube_world_wide\n\t");
    std::printf("-a max_patch_area\n\t");
    std::printf("-i iteration_threshold\n\t");
    std::printf("-s subdivide_threshold\n\t");
    std::printf("[-g gamma]  [-t texture_size]\n\n");
    std::printf("examples:\n\t");
    std::printf("Glowbake -m test.mdl -h myHemicube.hc -w 2.3 -a 50.0 -i 0.01 -s 0.05 -t 64 \n\n\t");
    std::printf("Glowbake -m test.mdl -h myHemicube.hc -w 2.3 -a 50.0 -i 0.01 -s 0.05 -g 0.25 \n\n\t");
    std::printf("Glowbake -m test.mdl -o test.out -h myHemicube.hc -w 2.3 -a 50.0 -i 0.01 -s 0.05 \n\n\t");
    std::printf("Glowbake\n\n\t");
    std::printf("(if no parameters specified, parameters are read from %s file)\n\n", kTokenFileName);
}

void printHelp() {
    printUsage();
    std::printf("added options, anywhere among the others or in %s:\n\t", kTokenFileName);
    std::printf("--gltf FILE        the lit scene as glTF 2.0: FILE.glb, or FILE.gltf with FILE.bin and FILE.png\n\t");
    std::printf("--lightmap FILE    the lightmap atlas: .exr or .hdr linear radiosity, .png the picture;\n\t"
                "                   may be given more than once\n\t");
    std::printf("--irradiance FILE  the light arriving at each texel, (B - E) / reflectance, as .exr or .hdr\n\t");
    std::printf("--gltf-lightmap FILE\n\t"
                "                   the input scene as glTF (.glb, or .gltf with .bin and .png), its own\n\t"
                "                   materials lit by the irradiance as a lightmap (MOZ_lightmap, TEXCOORD_1)\n\t");
    std::printf("--exposure EV      stops added to the automatic exposure of the picture (default 0)\n\t");
    std::printf("--form-factors M   hemicube (the default) or rays[:R], R rays per element (default %d)\n\t",
                kDefaultFormFactorRays);
    std::printf("--lamp-units U     how a file's lamps are read: standard (the default: candela and lux, as\n\t"
                "                   Blender's glTF export writes them), unitless or raw (Blender's watts)\n\t");
    std::printf("--quality Q        draft, medium or high: every number not given is chosen from the scene\n\t"
                "                   (-h, -w, -a, -i, -s, -g, -t, --form-factors, --gather), and printed\n\t");
    std::printf("--sky R G B        the radiance of everything beyond the scene (default 0 0 0: none),\n\t"
                "--sky FILE         or an equirectangular .hdr or .exr environment, mapped as Blender's world\n\t");
    std::printf("--gather R         light every texel afresh with R rays after the solve (0 to %d;\n\t"
                "                   typical 256; default 0, the textures from the elements)\n\t", kMaxGatherRays);
    std::printf("--help             this text\n\n");
}

bool readTokenFile(const char* fileName, std::vector<std::string>& tokens, std::string& problem) {
    std::FILE* file = std::fopen(fileName, "r");
    if (!file) {
        problem = "open";
        return false;
    }
    std::string token;
    bool ok = true;
    int ch;
    auto finishToken = [&]() {
        if (token.empty()) return;
        if (static_cast<int>(tokens.size()) >= kMaxTokens) {
            problem = std::string(fileName) + " holds more than " + std::to_string(kMaxTokens) + " words";
            ok = false;
        }
        tokens.push_back(token);
        token.clear();
    };
    while (ok && (ch = std::fgetc(file)) != EOF) {
        if (ch == ' ' || ch == '\t' || ch == '\n' || ch == '\r' || ch == '\v' || ch == '\f') {
            finishToken();
        } else {
            token.push_back(static_cast<char>(ch));
            if (static_cast<int>(token.size()) > kMaxTokenLength) {
                problem = "word " + std::to_string(tokens.size() + 1) + " of " + fileName + " is longer than " +
                          std::to_string(kMaxTokenLength) + " characters";
                ok = false;
            }
        }
    }
    if (ok) finishToken();
    std::fclose(file);
    return ok;
}

void printError(const std::string& message) {
    std::fflush(stdout);
    std::fprintf(stderr, "Glowbake: error: %s\n", message.c_str());
}

namespace {

// Options that take the next argument as their value.
bool takesValue(char letter) {
    switch (letter) {
        case 'm': case 'h': case 'o': case 'w': case 'a': case 'i': case 's': case 'g': case 't':
            return true;
        default:
            return false;
    }
}

// A refused command line: `printed` (its own "\n\n" included) and the usage
// text on standard output, then `error` as one line on standard error.
CommandLineResult refuse(const std::string& printed, const std::string& error) {
    std::printf("%s", printed.c_str());
    printUsage();
    printError(error);
    return CommandLineResult::Error;
}

CommandLineResult help() {
    printUsage();
    return CommandLineResult::Help;
}

// Takes the long options out of the arguments, walking them as the option
// walk does (the word after a value option is its value, whatever it looks
// like), so that what remains is the classic command line.
CommandLineResult takeLongOptions(std::vector<std::string>& args, Settings& settings) {
    ExportSettings& exports = settings.exports;
    std::vector<std::string> rest = {args[0]};
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg.size() >= 2 && arg[0] == '-' && arg[1] != '-' && takesValue(arg[1]) && i + 1 < args.size()) {
            rest.push_back(arg);
            rest.push_back(args[++i]);
            continue;
        }
        if (arg.size() < 3 || arg[0] != '-' || arg[1] != '-') {
            rest.push_back(arg);
            continue;
        }
        if (arg == "--help") {
            printHelp();
            return CommandLineResult::Help;
        }
        std::string* file = arg == "--gltf" ? &exports.gltfFile : arg == "--irradiance" ? &exports.irradianceFile
                          : arg == "--gltf-lightmap" ? &exports.gltfLightmapFile : nullptr;
        if (!file && arg != "--exposure" && arg != "--lightmap" && arg != "--gather" && arg != "--form-factors" &&
            arg != "--lamp-units" && arg != "--sky" && arg != "--quality") {
            rest.push_back(arg);  // the option walk reports it
            continue;
        }
        if (i + 1 >= args.size() || args[i + 1].empty()) {
            return refuse("missing value for option:  " + arg + "\n\n", "option " + arg + " has no value");
        }
        if (arg == "--sky") {
            const std::string what = "three numbers from 0 up (the sky's red, green and blue radiance) or an .hdr "
                                     "or .exr file";
            float v = 0.0f;
            if (!parseFloatWord(args[i + 1], v)) {
                const std::string& file = args[++i];
                if (!isSkyImageName(file))
                    return refuse("--sky takes " + what + ", not:  " + file + "\n\n",
                                  "option --sky: " + quotedWord(file) + " is not a number nor an .hdr or .exr file");
                settings.skyFile = file;
                continue;
            }
            if (i + 3 >= args.size()) return refuse("--sky takes " + what + "\n\n", "option --sky takes " + what);
            for (int ch = 0; ch < 3; ++ch) {
                const std::string& word = args[++i];
                if (!parseFloatWord(word, v) || !std::isfinite(v) || v < 0.0f) {
                    return refuse("--sky takes " + what + ", not:  " + word + "\n\n",
                                  "option --sky: " + quotedWord(word) + " is not a finite radiance of 0 or more");
                }
                settings.sky[ch] = v;
            }
            continue;
        }
        const std::string& value = args[++i];
        if (arg == "--quality") {
            settings.quality = value == "draft"    ? Quality::Draft
                               : value == "medium" ? Quality::Medium
                               : value == "high"   ? Quality::High
                                                   : Quality::None;
            if (settings.quality == Quality::None) {
                return refuse("--quality takes draft, medium or high, not:  " + value + "\n\n",
                              "option --quality: " + quotedWord(value) + " is not draft, medium or high");
            }
            continue;
        }
        if (arg == "--lamp-units") {
            if (value == "standard") {
                settings.lampUnits = LampUnits::Standard;
            } else if (value == "unitless") {
                settings.lampUnits = LampUnits::Unitless;
            } else if (value == "raw") {
                settings.lampUnits = LampUnits::Raw;
            } else {
                return refuse("--lamp-units takes standard, unitless or raw, not:  " + value + "\n\n",
                              "option --lamp-units: " + quotedWord(value) + " is not standard, unitless or raw");
            }
            continue;
        }
        if (arg == "--form-factors") {
            settings.given.formFactors = true;
            long long rays = 0;
            const bool raysWithCount = value.rfind("rays:", 0) == 0 &&
                                       parseWholeWord(value.substr(5), kMaxGatherRays, rays) == WholeWord::Ok &&
                                       rays >= 1 && rays <= kMaxGatherRays;
            if (value == "hemicube") {
                settings.formFactorRays = 0;
            } else if (value == "rays") {
                settings.formFactorRays = kDefaultFormFactorRays;
            } else if (raysWithCount) {
                settings.formFactorRays = static_cast<int>(rays);
            } else {
                const std::string what = "hemicube, rays or rays:R with R from 1 to " + std::to_string(kMaxGatherRays);
                return refuse("--form-factors takes " + what + ", not:  " + value + "\n\n",
                              "option --form-factors: " + quotedWord(value) + " is not " + what);
            }
            continue;
        }
        if (arg == "--gather") {
            long long rays = 0;
            if (parseWholeWord(value, kMaxGatherRays, rays) != WholeWord::Ok || rays < 0 || rays > kMaxGatherRays) {
                const std::string range = "a whole number of rays from 0 to " + std::to_string(kMaxGatherRays);
                return refuse("--gather takes " + range + ", not:  " + value + "\n\n",
                              "option --gather: " + quotedWord(value) + " is not " + range);
            }
            settings.gatherRays = static_cast<int>(rays);
            settings.given.gather = true;
            continue;
        }
        exports.given = true;
        if (file) {
            *file = value;
            continue;
        }
        if (arg == "--lightmap") {
            exports.lightmapFiles.push_back(value);
            continue;
        }
        char* end = nullptr;
        const double stops = std::strtod(value.c_str(), &end);
        if (*end != '\0' || !std::isfinite(stops) || std::fabs(stops) > 100.0) {
            return refuse("--exposure takes a number of stops from -100 to 100, not:  " + value + "\n\n",
                          "option --exposure: " + quotedWord(value) + " is not a number of stops from -100 to 100");
        }
        exports.exposureStops = static_cast<float>(stops);
    }
    args.swap(rest);
    return CommandLineResult::Run;
}

// With too few arguments the usage text is due anyway; a -? among them makes
// it a request for help rather than an error.
bool asksForHelp(const std::vector<std::string>& args) {
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a.size() >= 2 && a[0] == '-' && a[1] == '?') return true;
        if (a.size() >= 2 && a[0] == '-' && takesValue(a[1])) ++i;
    }
    return false;
}

// A numeric option: its letter, its word in the usage text and, once given,
// the word of its last occurrence.
struct NumberOption {
    NumberOption(char letter_, const char* usageWord_) : letter(letter_), usageWord(usageWord_) {}
    char letter;
    const char* usageWord;
    std::string word;
    bool given = false;

    std::string option() const { return std::string("option -") + letter; }
    // The stderr line of a refused value: the printed message, then the word
    // or that the option is missing.
    CommandLineResult refuseValue(const std::string& message) const {
        const std::string error = given ? option() + ": " + message + ", not " + quotedWord(word)
                                        : option() + " (" + usageWord + ") is missing";
        return refuse(message + "\n\n", error);
    }
};

// True when the textures of texture size `textSize` take at most half of
// the machine's memory.
bool textSizeFits(long long textSize) {
    return textureMemoryBytes(textSize) <= static_cast<double>(physicalMemoryBytes()) / 2;
}

}  // namespace

CommandLineResult parseCommandLine(int argc, const char* const* argv, Settings& settings) {
    std::vector<std::string> args;
    args.push_back(argc > 0 && argv[0] ? argv[0] : "Glowbake");
    for (int i = 1; i < argc; ++i) args.push_back(argv[i]);

    const bool fromTokenFile = args.size() == 1;
    if (fromTokenFile) {
        std::printf("No input arguments specified, trying read them from file:  %s\n\n", kTokenFileName);
        std::vector<std::string> tokens;
        std::string problem;
        if (!readTokenFile(kTokenFileName, tokens, problem)) {
            if (problem == "open") {
                const std::string why = std::strerror(errno);
                return refuse(std::string("Could not open file for reading:  ") + kTokenFileName + "\n\n",
                              std::string("cannot read ") + kTokenFileName + ": " + why);
            }
            return refuse(problem + "\n\n", problem);
        }
        args.insert(args.end(), tokens.begin(), tokens.end());
    }

    const CommandLineResult longOptions = takeLongOptions(args, settings);
    if (longOptions != CommandLineResult::Run) return longOptions;
    const bool choosing = settings.quality != Quality::None;
    if (args.size() < 12 && !(choosing && args.size() >= 3)) {
        if (asksForHelp(args)) return help();
        const std::string given = fromTokenFile ? std::string(kTokenFileName) + " holds too few words ("
                                                : std::string("too few arguments (");
        return refuse("", given + std::to_string(args.size() - 1) + "); -m, -h, -w, -a, -i and -s each need a value");
    }

    NumberOption w{'w', "hemicube_world_wide"}, a{'a', "max_patch_area"}, i_{'i', "iteration_threshold"},
        s{'s', "subdivide_threshold"}, g{'g', "gamma"}, t{'t', "texture_size"};
    NumberOption* const floats[] = {&w, &a, &i_, &s, &g};
    float* const floatSettings[] = {&settings.hemicubeWorldWide, &settings.maxPatchArea, &settings.iterThreshold,
                                    &settings.subDivideThreshold, &settings.gamma};
    // A value that is not a number is reported after the walk, so that an
    // unknown option or argument later on the line still wins.
    const NumberOption* notANumber = nullptr;
    long long textSize = settings.textSize;
    bool textSizeTooLarge = false;  // beyond 2^40, where the walk stops counting

    const int count = static_cast<int>(args.size());
    for (int i = 1; i < count;) {
        const std::string& arg = args[i];
        if (arg.empty() || arg[0] != '-') {
            return refuse("unknown argument:  " + arg + "\n\n",
                          "argument " + quotedWord(arg) + " is not an option (options begin with '-')");
        }
        const char letter = arg.size() > 1 ? arg[1] : '\0';
        if (letter == '?') return help();
        if (!takesValue(letter)) {
            return refuse("unknown option:  " + arg + "\n\n", "unknown option " + quotedWord(arg));
        }
        if (i + 1 >= count) {
            return refuse("missing value for option:  " + arg + "\n\n", "option " + arg + " has no value");
        }
        const std::string& value = args[i + 1];
        switch (letter) {
            case 'm': settings.modelFile = value; settings.haveModelFile = true; break;
            case 'h': settings.hemicubeFile = value; settings.haveHemicubeFile = true; break;
            case 'o': settings.outputFile = value; break;
            case 't': {
                t.word = value;
                t.given = true;
                const WholeWord whole = parseWholeWord(value, 1LL << 40, textSize);
                if (whole == WholeWord::NotWhole && !notANumber) notANumber = &t;
                textSizeTooLarge = whole == WholeWord::TooLarge && textSize > 0;
                break;
            }
            default:
                for (int k = 0; k < 5; ++k) {
                    if (floats[k]->letter != letter) continue;
                    floats[k]->word = value;
                    floats[k]->given = true;
                    if (!parseFloatWord(value, *floatSettings[k]) && !notANumber) notANumber = floats[k];
                }
        }
        i += 2;
    }

    if (notANumber) {
        const NumberOption& o = *notANumber;
        const char* kind = &o == &t ? " is not a whole number" : " is not a number";
        return refuse(o.usageWord + std::string(kind) + ":  " + o.word + "\n\n",
                      o.option() + ": " + quotedWord(o.word) + kind);
    }
    settings.given.w = w.given, settings.given.a = a.given, settings.given.i = i_.given;
    settings.given.s = s.given, settings.given.g = g.given, settings.given.t = t.given;
    // "not greater than 0" also catches NaN. With --quality, what is not
    // given is chosen later.
    for (int k = 0; k < 4; ++k) {
        if (choosing && !floats[k]->given) continue;
        if (!(*floatSettings[k] > 0.0f)) {
            return floats[k]->refuseValue(floats[k]->usageWord + std::string(" must be greater than 0"));
        }
    }
    if (textSize < 1) return t.refuseValue("texture_size must be greater than 0");
    for (int k = 0; k < 4; ++k) {
        if (choosing && !floats[k]->given) continue;
        if (!std::isfinite(*floatSettings[k])) {
            return floats[k]->refuseValue(floats[k]->usageWord + std::string(" must be a finite number"));
        }
    }
    if (!(settings.gamma > 0.0f) || !std::isfinite(settings.gamma)) {
        return g.refuseValue("gamma must be a finite number greater than 0");
    }
    if (textSizeTooLarge || textSize > INT_MAX || !textSizeFits(textSize)) {
        const long long memoryMiB = physicalMemoryBytes() >> 20;
        char message[256];
        if (textSizeTooLarge || textSize > INT_MAX) {
            std::snprintf(message, sizeof message,
                          "texture_size %s is too large: its textures would need more than half of this "
                          "machine's %lld MiB of memory", t.word.c_str(), memoryMiB);
        } else {
            std::snprintf(message, sizeof message,
                          "texture_size %lld is too large: its textures would need %.0f MiB, more than half of "
                          "this machine's %lld MiB of memory",
                          textSize, textureMemoryBytes(textSize) / 1048576.0, memoryMiB);
        }
        return refuse(std::string(message) + "\n\n", t.option() + ": " + message);
    }
    settings.textSize = static_cast<int>(textSize);
    return CommandLineResult::Run;
}
