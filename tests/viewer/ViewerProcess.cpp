#include "ViewerProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace viewertest {

namespace {

// In a forked child: be sent `signal` when the test process ends, however it
// ends (a crash or a timeout kill runs no destructor), so that no Xvfb or
// viewer outlives its test.
void dieWithParent(int signal, pid_t parent) {
    prctl(PR_SET_PDEATHSIG, signal);
    if (getppid() != parent) _exit(126);  // the parent was already gone
}

}  // namespace

XvfbServer::XvfbServer() {
    int fds[2];
    if (pipe(fds) != 0) return;
    const pid_t parent = getpid();
    pid_ = fork();
    if (pid_ == 0) {
        dieWithParent(SIGTERM, parent);
        close(fds[0]);
        const int devNull = open("/dev/null", O_RDWR);
        dup2(devNull, STDIN_FILENO);
        dup2(devNull, STDOUT_FILENO);
        dup2(devNull, STDERR_FILENO);
        const std::string fd = std::to_string(fds[1]);
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1024x768x24", "-nolisten", "tcp",
               static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    if (pid_ < 0) {
        close(fds[0]);
        return;
    }
    // Xvfb writes its display number once it accepts connections.
    std::string number;
    pollfd ready{fds[0], POLLIN, 0};
    while (poll(&ready, 1, 10000) > 0) {
        char c;
        if (read(fds[0], &c, 1) != 1 || c == '\n') break;
        number += c;
    }
    close(fds[0]);
    if (!number.empty()) display_ = ":" + number;
}

XvfbServer::~XvfbServer() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    int status;
    waitpid(pid_, &status, 0);
}

ChildProcess::ChildProcess(const std::string& folder, const std::vector<std::string>& argv,
                           const std::string& display) {
    static int serial = 0;
    const std::string base = folder + "/.child" + std::to_string(serial++);
    outPath_ = base + ".out";
    errPath_ = base + ".err";
    const pid_t parent = getpid();
    pid_ = fork();
    if (pid_ != 0) return;
    dieWithParent(SIGKILL, parent);

    const int devNull = open("/dev/null", O_RDONLY);
    const int out = open(outPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = open(errPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (devNull < 0 || out < 0 || err < 0 || chdir(folder.c_str()) != 0) _exit(126);
    dup2(devNull, STDIN_FILENO);
    dup2(out, STDOUT_FILENO);
    dup2(err, STDERR_FILENO);
    if (display.empty())
        unsetenv("DISPLAY");
    else
        setenv("DISPLAY", display.c_str(), 1);
    setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execvp(args[0], args.data());
    _exit(127);
}

ChildProcess::~ChildProcess() {
    if (pid_ <= 0) return;
    kill(pid_, SIGKILL);
    int status;
    waitpid(pid_, &status, 0);
}

Finished ChildProcess::wait(double seconds) {
    Finished finished;
    if (pid_ <= 0) return finished;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    int status = 0;
    pid_t done = 0;
    while ((done = waitpid(pid_, &status, WNOHANG)) == 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (done == 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, &status, 0);
        finished.timedOut = true;
    } else if (done == pid_ && WIFEXITED(status)) {
        finished.status = WEXITSTATUS(status);
    }
    pid_ = -1;
    finished.out = testsupport::readFile(outPath_);
    finished.err = testsupport::readFile(errPath_);
    std::remove(outPath_.c_str());
    std::remove(errPath_.c_str());
    return finished;
}

Finished run(const std::string& folder, const std::vector<std::string>& argv, const std::string& display,
             double seconds) {
    ChildProcess child(folder, argv, display);
    return child.wait(seconds);
}

}  // namespace viewertest
