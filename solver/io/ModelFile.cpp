#include "ModelFile.h"

#include <climits>
#include <cmath>

#include "GlowbakeError.h"
#include "NumberWord.h"

namespace {

const char* const kValueNames[15] = {
    "corner 0 x",     "corner 0 y",     "corner 0 z",    "corner 1 x",    "corner 1 y",
    "corner 1 z",     "corner 2 x",     "corner 2 y",    "corner 2 z",    "reflectance r",
    "reflectance g",  "reflectance b",  "emission r",    "emission g",    "emission b",
};

// The words of a model file with the line each begins on. Whitespace of any
// kind separates words; '#' starts a comment that ends with its line.
struct WordReader {
    // Longer words are not numbers; only this much of one is kept.
    static constexpr size_t kMaxWord = 4096;

    std::FILE* file;
    int line = 1;      // the line of the last word returned
    int lineHere = 1;  // the line the reader stands on
    bool cut = false;  // the last word was longer than kMaxWord

    // The next word, or false at the end of the file.
    bool next(std::string& word) {
        word.clear();
        cut = false;
        int c;
        while ((c = std::getc(file)) != EOF) {
            if (c == '#') {
                while ((c = std::getc(file)) != EOF && c != '\n') {
                }
                if (c == EOF) break;
            }
            if (c == '\n') ++lineHere;
            if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f') {
                if (!word.empty()) return true;
                continue;
            }
            if (word.empty()) line = lineHere;
            if (word.size() < kMaxWord) {
                word.push_back(static_cast<char>(c));
            } else {
                cut = true;
            }
        }
        return !word.empty();
    }
};

struct ModelReader {
    WordReader words;
    const std::string& fileName;

    std::string at(int line) const { return "model file " + fileName + ": line " + std::to_string(line) + ": "; }

    float read(int patch, int numPatches, int value) {
        std::string word;
        const bool got = words.next(word);
        const std::string what =
            "patch " + std::to_string(patch) + " of " + std::to_string(numPatches) + ": " + kValueNames[value];
        if (!got) throw GlowbakeError(at(words.line) + what + " is missing: the file ends early");
        float v = 0.0f;
        if (words.cut || !parseFloatWord(word, v)) {
            throw GlowbakeError(at(words.line) + what + " " + quotedWord(word) + " is not a number");
        }
        if (!std::isfinite(v)) {
            throw GlowbakeError(at(words.line) + what + " " + quotedWord(word) + " is not a finite number");
        }
        return v;
    }

    int readCount() {
        std::string word;
        if (!words.next(word)) {
            throw GlowbakeError("model file " + fileName + ": the patch count is missing (the file holds no words)");
        }
        long long count = 0;
        const WholeWord whole = words.cut ? WholeWord::NotWhole : parseWholeWord(word, INT_MAX, count);
        if (whole == WholeWord::NotWhole) {
            throw GlowbakeError(at(words.line) + "the patch count " + quotedWord(word) +
                                " is not a whole decimal number");
        }
        if (whole == WholeWord::TooLarge) {
            throw GlowbakeError(at(words.line) + "the patch count " + quotedWord(word) + " is too large (at most " +
                                std::to_string(INT_MAX) + ")");
        }
        if (count < 0) {
            throw GlowbakeError(at(words.line) + "the patch count " + std::to_string(count) + " is negative");
        }
        return static_cast<int>(count);
    }

    // Words after the last patch are not read as anything; one warning says
    // how many there are, since a count one too small leaves exactly fifteen.
    void warnAboutTheRest(int numPatches) {
        std::string word;
        long long extra = 0;
        int firstLine = 0;
        while (words.next(word)) {
            if (extra++ == 0) firstLine = words.line;
        }
        if (extra == 0) return;
        std::fflush(stdout);
        std::fprintf(stderr,
                     "Glowbake: warning: model file %s: line %d: %lld word%s after the %d patch%s the count "
                     "gives %s ignored (is the count too small?)\n",
                     fileName.c_str(), firstLine, extra, extra == 1 ? "" : "s", numPatches,
                     numPatches == 1 ? "" : "es", extra == 1 ? "is" : "are");
    }
};

}  // namespace

Model readModel(std::FILE* file, const std::string& fileName, const Progress& progress) {
    Model model;
    ModelReader reader{WordReader{file}, fileName};
    const int numPatches = reader.readCount();
    progress.say("num patches =%d\n", numPatches);

    for (int i = 0; i < numPatches; ++i) {
        progress.say("patch %d\n", i);
        Vec3 verts[3];
        for (int c = 0; c < 3; ++c) {
            const float x = reader.read(i, numPatches, 3 * c);
            const float y = reader.read(i, numPatches, 3 * c + 1);
            const float z = reader.read(i, numPatches, 3 * c + 2);
            progress.say("vertex read = (%f, %f, %f)\n", x, y, z);
            verts[c] = Vec3(x, y, z);
        }
        Tri patch;
        patch.setVertices(verts[0], verts[1], verts[2]);
        model.patches.push_back(patch);
        float values[6];
        for (int v = 0; v < 6; ++v) values[v] = reader.read(i, numPatches, 9 + v);
        PatchColors colors;
        colors.emission = Color(values[3], values[4], values[5], 1.0f);
        colors.reflectance = Color(values[0], values[1], values[2], 1.0f);
        model.colors.push_back(colors);
    }
    reader.warnAboutTheRest(numPatches);
    progress.say("done loading patches\n\n");
    model.meshes.push_back({"model", "", 0, numPatches});
    return model;
}
