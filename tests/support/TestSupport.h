#pragma once

// Helpers for tests that run the real programs in a scratch folder.

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace testsupport {

// A fresh folder under the system's temporary folder, removed afterwards.
struct ScratchDir {
    std::filesystem::path path;
    ScratchDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "glowbake-test-XXXXXX").string();
        std::vector<char> buf(pattern.begin(), pattern.end());
        buf.push_back('\0');
        path = mkdtemp(buf.data());
    }
    ~ScratchDir() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
    std::string file(const std::string& name) const { return (path / name).string(); }
};

struct RunResult {
    int status = -1;     // exit status, or -1 when the program did not exit normally
    std::string out;     // standard output
    std::string err;     // standard error
};

inline std::string readFile(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

inline void writeFile(const std::string& name, const std::string& content) {
    std::ofstream out(name, std::ios::binary);
    out << content;
}

// A run's standard output without the "N seconds elapsed." line, the one
// line that differs between two runs of the same work.
inline std::string withoutElapsed(const std::string& text) {
    static const std::regex elapsed("^[0-9]+ seconds elapsed\\.$");
    std::istringstream in(text);
    std::string out;
    for (std::string line; std::getline(in, line);) {
        if (!std::regex_match(line, elapsed)) out += line + "\n";
    }
    return out;
}

inline std::string shellQuote(const std::string& s) {
    std::string q = "'";
    for (char c : s) {
        if (c == '\'') q += "'\\''"; else q += c;
    }
    return q + "'";
}

// Runs `program args...` in folder `cwd`, capturing stdout and stderr.
inline RunResult run(const std::string& cwd, const std::string& program, const std::vector<std::string>& args) {
    std::string cmd = "cd " + shellQuote(cwd) + " && " + shellQuote(program);
    for (const std::string& a : args) cmd += " " + shellQuote(a);
    const std::string outFile = cwd + "/.stdout", errFile = cwd + "/.stderr";
    cmd += " >" + shellQuote(outFile) + " 2>" + shellQuote(errFile) + " </dev/null";
    const int raw = std::system(cmd.c_str());
    RunResult r;
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    r.out = readFile(outFile);
    r.err = readFile(errFile);
    std::remove(outFile.c_str());
    std::remove(errFile.c_str());
    return r;
}

#ifdef GLOWBAKE_BIN
inline RunResult runGlowbake(const std::string& cwd, const std::vector<std::string>& args) {
    return run(cwd, GLOWBAKE_BIN, args);
}
#endif

}  // namespace testsupport
