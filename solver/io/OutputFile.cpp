#include "OutputFile.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "GlowbakeError.h"

namespace {

// The temporary file of the run in progress, for the signal handler: an
// interrupted run (Ctrl-C, kill) removes it instead of leaving it beside the
// output. A fixed buffer, because the handler may only make
// async-signal-safe calls.
char pendingTemp[4096];

extern "C" void removePendingTemp(int sig) {
    if (pendingTemp[0] != '\0') unlink(pendingTemp);
    std::signal(sig, SIG_DFL);
    std::raise(sig);
}

void watchTemp(const std::string& name) {
    if (name.size() >= sizeof pendingTemp) return;
    std::memcpy(pendingTemp, name.c_str(), name.size() + 1);
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) std::signal(sig, removePendingTemp);
}

void forgetTemp() { pendingTemp[0] = '\0'; }

}  // namespace

OutputFile::~OutputFile() { discard(); }

bool OutputFile::open(const std::string& name) {
    outputName = name;
    struct stat st;
    if (stat(name.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return false;
    std::vector<char> pattern(name.begin(), name.end());
    const char suffix[] = ".tmpXXXXXX";
    pattern.insert(pattern.end(), suffix, suffix + sizeof suffix);
    const int fd = mkstemp(pattern.data());
    if (fd < 0) return false;
    tempName = pattern.data();
    file = fdopen(fd, "wb");
    if (!file) {
        close(fd);
        unlink(tempName.c_str());
        tempName.clear();
        return false;
    }
    watchTemp(tempName);
    // mkstemp makes the file private; a scene file gets the usual mode.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
    return true;
}

void OutputFile::commit() {
    const bool flushed = std::fflush(file) == 0 && !std::ferror(file);
    const int flushErrno = errno;
    const bool closed = std::fclose(file) == 0;
    file = nullptr;
    if (!flushed || !closed) {
        const std::string why = std::strerror(flushed ? errno : flushErrno);
        discard();
        throw GlowbakeError("could not write scene file " + outputName + ": " + why);
    }
    if (std::rename(tempName.c_str(), outputName.c_str()) != 0) {
        const std::string why = std::strerror(errno);
        discard();
        throw GlowbakeError("could not write scene file " + outputName + ": " + why);
    }
    tempName.clear();
    forgetTemp();
}

void OutputFile::discard() {
    if (file) {
        std::fclose(file);
        file = nullptr;
    }
    if (!tempName.empty()) {
        unlink(tempName.c_str());
        tempName.clear();
        forgetTemp();
    }
}
