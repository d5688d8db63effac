#include "CommandLine.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

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
    std::printf("--exposure EV      stops added to the automatic exposure of the picture (default 0)\n\t");
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

CommandLineResult usageError() {
    printUsage();
    return CommandLineResult::Error;
}

CommandLineResult help() {
    printUsage();
    return CommandLineResult::Help;
}

// Takes the long options out of the arguments, walking them as the option
// walk does (the word after a value option is its value, whatever it looks
// like), so that what remains is the classic command line.
CommandLineResult takeLongOptions(std::vector<std::string>& args, ExportSettings& exports) {
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
                          : nullptr;
        if (!file && arg != "--exposure" && arg != "--lightmap") {
            rest.push_back(arg);  // the option walk reports it
            continue;
        }
        if (i + 1 >= args.size() || args[i + 1].empty()) {
            std::printf("missing value for option:  %s\n\n", arg.c_str());
            return usageError();
        }
        const std::string& value = args[++i];
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
            std::printf("--exposure takes a number of stops from -100 to 100, not:  %s\n\n", value.c_str());
            return usageError();
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

}  // namespace

CommandLineResult parseCommandLine(int argc, const char* const* argv, Settings& settings) {
    std::vector<std::string> args;
    args.push_back(argc > 0 && argv[0] ? argv[0] : "Glowbake");
    for (int i = 1; i < argc; ++i) args.push_back(argv[i]);

    if (args.size() == 1) {
        std::printf("No input arguments specified, trying read them from file:  %s\n\n", kTokenFileName);
        std::vector<std::string> tokens;
        std::string problem;
        if (!readTokenFile(kTokenFileName, tokens, problem)) {
            if (problem == "open") {
                std::printf("Could not open file for reading:  %s\n\n", kTokenFileName);
            } else {
                std::printf("%s\n\n", problem.c_str());
            }
            return usageError();
        }
        args.insert(args.end(), tokens.begin(), tokens.end());
    }

    const CommandLineResult longOptions = takeLongOptions(args, settings.exports);
    if (longOptions != CommandLineResult::Run) return longOptions;
    if (args.size() < 12) return asksForHelp(args) ? help() : usageError();

    const int count = static_cast<int>(args.size());
    for (int i = 1; i < count;) {
        const std::string& arg = args[i];
        if (arg.empty() || arg[0] != '-') {
            std::printf("unknown argument:  %s\n\n", arg.c_str());
            return usageError();
        }
        const char letter = arg.size() > 1 ? arg[1] : '\0';
        if (letter == '?') return help();
        if (!takesValue(letter)) {
            std::printf("unknown option:  %s\n\n", arg.c_str());
            return usageError();
        }
        if (i + 1 >= count) {
            std::printf("missing value for option:  %s\n\n", arg.c_str());
            return usageError();
        }
        const char* value = args[i + 1].c_str();
        switch (letter) {
            case 'm': settings.modelFile = value; settings.haveModelFile = true; break;
            case 'h': settings.hemicubeFile = value; settings.haveHemicubeFile = true; break;
            case 'o': settings.outputFile = value; break;
            case 'w': std::sscanf(value, "%f", &settings.hemicubeWorldWide); break;
            case 'a': std::sscanf(value, "%f", &settings.maxPatchArea); break;
            case 'i': std::sscanf(value, "%f", &settings.iterThreshold); break;
            case 's': std::sscanf(value, "%f", &settings.subDivideThreshold); break;
            case 'g': std::sscanf(value, "%f", &settings.gamma); break;
            case 't': std::sscanf(value, "%d", &settings.textSize); break;
        }
        i += 2;
    }

    // "not greater than 0" also catches NaN.
    if (!(settings.hemicubeWorldWide > 0.0f)) {
        std::printf("hemicube_world_wide must be greater than 0\n\n");
        return usageError();
    }
    if (!(settings.maxPatchArea > 0.0f)) {
        std::printf("max_patch_area must be greater than 0\n\n");
        return usageError();
    }
    if (!(settings.iterThreshold > 0.0f)) {
        std::printf("iteration_threshold must be greater than 0\n\n");
        return usageError();
    }
    if (!(settings.subDivideThreshold > 0.0f)) {
        std::printf("subdivide_threshold must be greater than 0\n\n");
        return usageError();
    }
    if (settings.textSize < 1) {
        std::printf("texture_size must be greater than 0\n\n");
        return usageError();
    }
    return CommandLineResult::Run;
}
