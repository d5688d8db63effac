// The command line through the real program: usage text, argument walk, validation
// order, the token file, exit statuses and the output file left alone on
// failure.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CoreSupport.h"
#include "Limits.h"

using namespace core;
using testsupport::readFile;
using testsupport::runGlowbake;
using testsupport::writeFile;

namespace {

// A scratch folder holding the two-patch model and, unless told otherwise,
// an existing output file whose content a failing run must leave alone.
struct Folder : ScratchDir {
    static constexpr const char* kOldOutput = "old scene, must survive";
    explicit Folder(bool withOutput = true) {
        writeFile(file("model.mdl"), kTwoPatchModel);
        if (withOutput) writeFile(file("out.bin"), kOldOutput);
    }
    RunResult run(const std::vector<std::string>& args) const { return runGlowbake(path.string(), args); }
};

std::vector<std::string> with(std::vector<std::string> args, const std::string& option, const std::string& value) {
    args.push_back(option);
    args.push_back(value);
    return args;
}

// A failing run: status 1, stdout = banner + message + usage, one error line
// on stderr holding `errHas`, the output file as it was and no stray file
// left in the folder.
void expectUsageFailure(const Folder& dir, const std::vector<std::string>& args, const std::string& message,
                        const std::string& errHas = "", bool outputExisted = true) {
    const std::vector<std::string> before = listDir(dir.path);
    const RunResult r = dir.run(args);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(afterBanner(r.out), message + kUsage);
    EXPECT_EQ(r.err.compare(0, 17, "Glowbake: error: "), 0) << r.err;
    EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
    EXPECT_NE(r.err.find(errHas), std::string::npos) << r.err;
    EXPECT_EQ(listDir(dir.path), before);
    if (outputExisted) {
        EXPECT_EQ(readFile(dir.file("out.bin")), Folder::kOldOutput);
    }
}

}  // namespace

TEST(CoreCommandLine, HelpPrintsTheUsageTextExactly) {
    Folder dir;
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"-?"}, {"-w", "2", "-?"}, {"-?", "x", "y"}, with(fastArgs(), "-?", "extra"), [] {
                 std::vector<std::string> a = fastArgs();
                 a.insert(a.begin(), "-?");
                 return a;
             }()}) {
        const RunResult r = dir.run(args);
        EXPECT_EQ(r.status, 0) << args.size();
        EXPECT_EQ(afterBanner(r.out), kUsage);
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(readFile(dir.file("out.bin")), Folder::kOldOutput);
    }
}

TEST(CoreCommandLine, TooFewArgumentsPrintUsageAndFail) {
    Folder dir;
    expectUsageFailure(dir, {"-w", "2"}, "");
    std::vector<std::string> ten = fastArgs("model.mdl", "");
    ten.resize(10);
    expectUsageFailure(dir, ten, "");
}

TEST(CoreCommandLine, UnknownOptionsAndArguments) {
    Folder dir;
    expectUsageFailure(dir, with(fastArgs(), "-x", "1"), "unknown option:  -x\n\n");
    expectUsageFailure(dir, with(fastArgs(), "-Mxyz", "1"), "unknown option:  -Mxyz\n\n");
    expectUsageFailure(dir, with(fastArgs(), "-", "1"), "unknown option:  -\n\n");
    expectUsageFailure(dir, with(fastArgs(), "word", "1"), "unknown argument:  word\n\n");
    // The first bad argument wins.
    std::vector<std::string> args = fastArgs();
    args.insert(args.begin(), {"stray", "-q"});
    expectUsageFailure(dir, args, "unknown argument:  stray\n\n");
}

TEST(CoreCommandLine, OptionWithoutValueNamesTheOption) {
    Folder dir;
    for (const std::string option : {"-t", "-m", "-o"}) {
        std::vector<std::string> args = fastArgs();
        args.push_back(option);
        const RunResult r = dir.run(args);
        EXPECT_EQ(r.status, 1) << option;
        const std::string out = afterBanner(r.out);
        ASSERT_TRUE(endsWith(out, kUsage)) << out;
        const std::string message = out.substr(0, out.size() - kUsage.size()) + r.err;
        EXPECT_NE(message.find(option), std::string::npos) << message;
        EXPECT_EQ(message.find("unknown"), std::string::npos) << message;
        EXPECT_EQ(readFile(dir.file("out.bin")), Folder::kOldOutput);
    }
}

TEST(CoreCommandLine, ValidationMessagesInTheirOrder) {
    Folder dir;
    const std::string w = "hemicube_world_wide must be greater than 0\n\n";
    const std::string a = "max_patch_area must be greater than 0\n\n";
    const std::string i = "iteration_threshold must be greater than 0\n\n";
    const std::string s = "subdivide_threshold must be greater than 0\n\n";
    const std::string t = "texture_size must be greater than 0\n\n";
    // A later occurrence replaces the earlier one.
    expectUsageFailure(dir, with(fastArgs(), "-w", "0"), w, "option -w: " + w.substr(0, w.size() - 2) + ", not \"0\"");
    expectUsageFailure(dir, with(fastArgs(), "-w", "-1"), w);
    expectUsageFailure(dir, with(fastArgs(), "-w", "nan"), w);
    expectUsageFailure(dir, with(fastArgs(), "-a", "0"), a);
    expectUsageFailure(dir, with(fastArgs(), "-i", "-0.5"), i);
    expectUsageFailure(dir, with(fastArgs(), "-s", "0"), s);
    expectUsageFailure(dir, with(fastArgs(), "-t", "0"), t);
    expectUsageFailure(dir, with(with(fastArgs(), "-w", "0"), "-a", "0"), w);
    expectUsageFailure(dir, with(with(fastArgs(), "-a", "0"), "-i", "0"), a);
    expectUsageFailure(dir, with(with(fastArgs(), "-i", "0"), "-s", "0"), i);
    expectUsageFailure(dir, with(with(fastArgs(), "-s", "0"), "-t", "-3"), s);
    // -w and -a both missing: only the first message.
    expectUsageFailure(dir, {"-m", "model.mdl", "-h", "x.hc", "-o", "out.bin", "-i", "1", "-s", "1", "-g", "1"}, w,
                       "option -w (hemicube_world_wide) is missing");
    // The validation comes before any file is looked at.
    expectUsageFailure(dir, {"-m", "none.mdl", "-h", "none.hc", "-o", "no/such/dir/out", "-w", "1", "-a", "0",
                             "-i", "1", "-s", "1"},
                       a);
}

// Every number must be a number as a whole word. An option's bad word is
// refused like the other command-line errors; a model file's names its line.
TEST(CoreCommandLine, RefusedWords) {
    const std::string patch = "0 0 0 1 0 0 0 1 0 0.5 0.5 0.5 1 1 1\n";
    const std::string memory = std::to_string(physicalMemoryBytes() >> 20);
    const struct {
        std::vector<std::string> option;  // added to the arguments, or empty
        std::string model;                // the model file, or empty
        std::string printed;              // before the usage text (options)
        std::string error;                // stderr after "Glowbake: error: "
    } cases[] = {
        {{"-t", "1e3"}, "", "texture_size is not a whole number:  1e3", "option -t: \"1e3\" is not a whole number"},
        {{"-t", "1.5"}, "", "texture_size is not a whole number:  1.5", "option -t: \"1.5\" is not a whole number"},
        {{"-t", "4294967360"}, "",
         "texture_size 4294967360 is too large: its textures would need more than half of this machine's " + memory +
             " MiB of memory",
         "option -t: texture_size 4294967360 is too large: its textures would need more than half of this "
         "machine's " + memory + " MiB of memory"},
        {{"-g", "abc"}, "", "gamma is not a number:  abc", "option -g: \"abc\" is not a number"},
        {{"-w", "1x"}, "", "hemicube_world_wide is not a number:  1x", "option -w: \"1x\" is not a number"},
        {{"-i", "1.5.5"}, "", "iteration_threshold is not a number:  1.5.5", "option -i: \"1.5.5\" is not a number"},
        {{"-a", "inf"}, "", "max_patch_area must be a finite number",
         "option -a: max_patch_area must be a finite number, not \"inf\""},
        {{"-s", "1e39"}, "", "subdivide_threshold must be a finite number",
         "option -s: subdivide_threshold must be a finite number, not \"1e39\""},
        {{"-g", "0"}, "", "gamma must be a finite number greater than 0",
         "option -g: gamma must be a finite number greater than 0, not \"0\""},
        {{}, "0x10\n" + patch, "",
         "model file model.mdl: line 1: the patch count \"0x10\" is not a whole decimal number"},
        {{}, "# two\n2\n" + patch + "0 0 0 1 0 0 0 1.5.5 0 0.5 0.5 0.5 1 1 1\n", "",
         "model file model.mdl: line 4: patch 1 of 2: corner 2 y \"1.5.5\" is not a number"},
        {{}, "1\n0 0 x 1 0 0 0 1 0 0.5 0.5 0.5 1 1 1\n", "",
         "model file model.mdl: line 2: patch 0 of 1: corner 0 z \"x\" is not a number"},
        {{}, "1\n0 0 0 1 0 0 0 1 0 0.5 0.5 0.5 1 1\n\n1e39\n", "",
         "model file model.mdl: line 4: patch 0 of 1: emission b \"1e39\" is not a finite number"},
        {{}, "2\n" + patch + "0 0 0 1 0 0 0 1\n", "",
         "model file model.mdl: line 3: patch 1 of 2: corner 2 z is missing: the file ends early"},
    };
    for (const auto& c : cases) {
        Folder dir;
        if (!c.model.empty()) writeFile(dir.file("model.mdl"), c.model);
        const RunResult r = dir.run(c.option.empty() ? fastArgs() : with(fastArgs(), c.option[0], c.option[1]));
        EXPECT_EQ(r.status, 1) << c.error;
        EXPECT_EQ(r.err, "Glowbake: error: " + c.error + "\n");
        if (c.model.empty()) {
            EXPECT_EQ(afterBanner(r.out), c.printed + "\n\n" + kUsage);
        } else {
            EXPECT_EQ(r.out.find("done loading patches"), std::string::npos) << r.out;
            EXPECT_EQ(r.out.find("usage:"), std::string::npos) << r.out;
        }
        EXPECT_EQ(readFile(dir.file("out.bin")), Folder::kOldOutput);
    }
}

TEST(CoreCommandLine, FileChecksInTheirOrder) {
    Folder dir;
    const std::string hc = GLOWBAKE_DEFAULT_HEMICUBE;
    const std::vector<std::string> values = {"-w", "2", "-a", "100", "-i", "0.01", "-s", "10", "-t", "8"};
    auto args = [&](std::vector<std::string> files) {
        files.insert(files.end(), values.begin(), values.end());
        return files;
    };
    // The output comes first, even before a missing model file name.
    expectUsageFailure(dir, args({"-o", "no/such/dir/out.bin"}),
                       "Could not open file for writing:  no/such/dir/out.bin\n\n",
                       "no/such/dir/out.bin: No such file or directory");
    expectUsageFailure(dir, args({"-o", "."}), "Could not open file for writing:  .\n\n", ".: Is a directory");
    expectUsageFailure(dir, args({"-o", "out.bin"}), "Must specify model_file\n\n", "(-m)");
    expectUsageFailure(dir, args({"-o", "out.bin", "-h", hc}), "Must specify model_file\n\n");
    expectUsageFailure(dir, args({"-o", "out.bin", "-m", "none.mdl", "-h", hc}),
                       "Could not open file for reading:  none.mdl\n\n", "model file none.mdl: No such file");
    expectUsageFailure(dir, args({"-o", "out.bin", "-m", "model.mdl"}), "Must specify hemicube_file\n\n", "(-h)");
    expectUsageFailure(dir, args({"-o", "out.bin", "-m", "model.mdl", "-h", "none.hc"}),
                       "Could not open file for reading:  none.hc\n\n", "hemicube file none.hc: No such file");
    // -m directly followed by -h takes "-h" as the model file name.
    expectUsageFailure(dir, args({"-o", "out.bin", "-m", "-h", "-g", "1"}), "Could not open file for reading:  -h\n\n");
}

TEST(CoreCommandLine, FailingRunDoesNotCreateTheOutput) {
    Folder dir(false);
    expectUsageFailure(dir, with(fastArgs(), "-t", "0"), "texture_size must be greater than 0\n\n", "-t", false);
    expectUsageFailure(dir, with(fastArgs("none.mdl"), "-t", "8"), "Could not open file for reading:  none.mdl\n\n",
                       "none.mdl", false);
    // Without -o the default output is not created either.
    expectUsageFailure(dir, fastArgs("none.mdl", ""), "Could not open file for reading:  none.mdl\n\n", "none.mdl",
                       false);
    EXPECT_EQ(listDir(dir.path), std::vector<std::string>{"model.mdl"});
}

TEST(CoreCommandLine, SuccessfulRunWritesTheOutput) {
    Folder dir;
    const RunResult r = dir.run(fastArgs());
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(r.err, "");
    const std::string scene = readFile(dir.file("out.bin"));
    ASSERT_GE(scene.size(), 4u);
    EXPECT_EQ(scene.substr(0, 4), std::string("\0\0\0\2", 4));  // the patch count
    EXPECT_TRUE(endsWith(r.out, "\n0 seconds elapsed.\n") || endsWith(r.out, "\n1 seconds elapsed.\n")) << r.out;
    EXPECT_EQ(listDir(dir.path), (std::vector<std::string>{"model.mdl", "out.bin"}));
}

TEST(CoreCommandLine, DefaultOutputAndLooseOptionLetters) {
    Folder dir(false);
    // Without -o the scene is Glowbake.out; "-model" counts as -m; without
    // -t the texture size is 64.
    std::vector<std::string> args = fastArgs("model.mdl", "");
    args[0] = "-model";
    args.resize(args.size() - 2);
    const RunResult r = dir.run(args);
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("using output texture size of 64\n\n"), std::string::npos);
    EXPECT_EQ(listDir(dir.path), (std::vector<std::string>{"Glowbake.out", "model.mdl"}));
}

// ---- The token file "Glowbake.ini" -------------------------------------

namespace {

// The elapsed seconds of two runs may differ when one crosses a second.
std::string sameElapsed(std::string out) {
    const std::string one = "\n1 seconds elapsed.\n";
    if (endsWith(out, one)) out.replace(out.size() - one.size(), one.size(), "\n0 seconds elapsed.\n");
    return out;
}

std::string joinWords(const std::vector<std::string>& words) {
    std::string s;
    for (size_t i = 0; i < words.size(); ++i) s += words[i] + (i % 3 == 2 ? "\n" : i % 2 ? "\t" : "  ");
    return s;
}

}  // namespace

TEST(CoreTokenFile, BehavesLikeTheSameCommandLine) {
    const std::vector<std::vector<std::string>> lines = {
        fastArgs(), with(fastArgs(), "-g", "0.5"), with(fastArgs(), "-s", "0"), with(fastArgs(), "-x", "1"),
        with(fastArgs(), "-?", "1"), fastArgs("none.mdl")};
    for (const std::vector<std::string>& words : lines) {
        Folder viaArgs, viaFile;
        writeFile(viaFile.file("Glowbake.ini"), joinWords(words));
        const RunResult a = viaArgs.run(words);
        const RunResult f = viaFile.run({});
        EXPECT_EQ(f.status, a.status) << joinWords(words);
        const std::string fromFile = afterBanner(f.out);
        ASSERT_EQ(fromFile.compare(0, kTokenFileLine.size(), kTokenFileLine), 0) << fromFile;
        EXPECT_EQ(sameElapsed(fromFile.substr(kTokenFileLine.size())), sameElapsed(afterBanner(a.out)))
            << joinWords(words);
        EXPECT_EQ(f.err, a.err);
        EXPECT_EQ(readFile(viaFile.file("out.bin")), readFile(viaArgs.file("out.bin"))) << joinWords(words);
    }
}

TEST(CoreTokenFile, MissingEmptyOrShort) {
    Folder dir;
    expectUsageFailure(dir, {}, kTokenFileLine + "Could not open file for reading:  Glowbake.ini\n\n",
                       "Glowbake.ini: No such file or directory");
    writeFile(dir.file("Glowbake.ini"), "");
    expectUsageFailure(dir, {}, kTokenFileLine);
    writeFile(dir.file("Glowbake.ini"), " \n\t\n");
    expectUsageFailure(dir, {}, kTokenFileLine);
    std::vector<std::string> ten = fastArgs();
    ten.resize(10);
    writeFile(dir.file("Glowbake.ini"), joinWords(ten));
    expectUsageFailure(dir, {}, kTokenFileLine);
}

namespace {

// The text between the token-file line and the usage text, plus stderr.
std::string tokenFileProblem(const RunResult& r) {
    std::string out = afterBanner(r.out);
    EXPECT_EQ(out.compare(0, kTokenFileLine.size(), kTokenFileLine), 0) << out;
    EXPECT_TRUE(endsWith(out, kUsage)) << out;
    if (out.size() < kTokenFileLine.size() + kUsage.size()) return r.err;
    return out.substr(kTokenFileLine.size(), out.size() - kTokenFileLine.size() - kUsage.size()) + r.err;
}

}  // namespace

TEST(CoreTokenFile, TokenLengthLimit) {
    Folder dir;
    // 98 characters are accepted ...
    const std::string gamma98 = "1." + std::string(96, '0');
    writeFile(dir.file("Glowbake.ini"), joinWords(with(fastArgs(), "-g", gamma98)));
    RunResult r = dir.run({});
    EXPECT_EQ(r.status, 0) << r.out << r.err;

    // ... 99 are an error with a message, the usage text and status 1.
    writeFile(dir.file("out.bin"), Folder::kOldOutput);
    writeFile(dir.file("Glowbake.ini"), joinWords(with(fastArgs(), "-g", gamma98 + "0")));
    r = dir.run({});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(tokenFileProblem(r), "");
    EXPECT_EQ(r.out.find("seconds elapsed"), std::string::npos);
    EXPECT_EQ(readFile(dir.file("out.bin")), Folder::kOldOutput);

    // A token far beyond any buffer.
    writeFile(dir.file("Glowbake.ini"), joinWords(with(fastArgs(), "-o", std::string(100000, 'o'))));
    r = dir.run({});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(tokenFileProblem(r), "");
    EXPECT_EQ(readFile(dir.file("out.bin")), Folder::kOldOutput);
}

TEST(CoreTokenFile, TokenCountLimit) {
    Folder dir;
    // 96 words of "-g 1" and a final -?: 97 words, a request for help.
    std::vector<std::string> words;
    for (int i = 0; i < 48; ++i) words = with(words, "-g", "1");
    words.push_back("-?");
    writeFile(dir.file("Glowbake.ini"), joinWords(words));
    RunResult r = dir.run({});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(afterBanner(r.out), kTokenFileLine + kUsage);

    // One word more is refused before the walk would reach the -?.
    words.push_back("-?");
    writeFile(dir.file("Glowbake.ini"), joinWords(words));
    r = dir.run({});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(tokenFileProblem(r), "");

    // Many more words.
    std::string many;
    for (int i = 0; i < 20000; ++i) many += "-g 1\n";
    writeFile(dir.file("Glowbake.ini"), many);
    r = dir.run({});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(tokenFileProblem(r), "");
    EXPECT_EQ(readFile(dir.file("out.bin")), Folder::kOldOutput);
}
