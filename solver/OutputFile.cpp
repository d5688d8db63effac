#include "OutputFile.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "GlowbakeError.h"

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
}

void OutputFile::discard() {
    if (file) {
        std::fclose(file);
        file = nullptr;
    }
    if (!tempName.empty()) {
        unlink(tempName.c_str());
        tempName.clear();
    }
}
