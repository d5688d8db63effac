#include "ProcessCluster.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <thread>

#include <unistd.h>

#ifdef GLOWBAKE_HAVE_MPI
#include <mpi.h>
#endif

#include "GlowbakeError.h"

namespace {

// The activity text, written by the progress events and read by a signal
// handler: two buffers, the handler reads the one last completed.
char activityText[2][200];
std::atomic<int> activityShown{0};

const char* stageWords(ProgressStage stage) {
    switch (stage) {
        case ProgressStage::Projection: return "computing form-factor rows";
        case ProgressStage::Gathering: return "gathering";
        case ProgressStage::Subdivision: return "subdividing";
        case ProgressStage::Baking: return "baking textures";
        case ProgressStage::FinalGather: return "lighting texels (final gather)";
    }
    return "working";
}

extern "C" void sayStopped(int sig) {
    const char* what = activityText[activityShown.load()];
    const char head[] = "Glowbake: error: stopped by a signal while ";
    const char tail[] = "; no output was written\n";
    ssize_t ignored = write(STDERR_FILENO, head, sizeof head - 1);
    ignored = write(STDERR_FILENO, what, std::strlen(what));
    ignored = write(STDERR_FILENO, tail, sizeof tail - 1);
    (void)ignored;
    std::signal(sig, SIG_DFL);
    std::raise(sig);
}

}  // namespace

void noteActivity(const Cluster& cluster, const ProgressEvent& e) {
    const int next = 1 - activityShown.load();
    char* out = activityText[next];
    const int n = std::snprintf(out, sizeof activityText[0], "%s in pass %d", stageWords(e.stage), e.pass);
    if (cluster.spread() && n > 0 && n < static_cast<int>(sizeof activityText[0]))
        std::snprintf(out + n, sizeof activityText[0] - n, " (process %d of %d)", cluster.rank, cluster.size);
    activityShown.store(next);
}

const char* activity() {
    const char* what = activityText[activityShown.load()];
    return what[0] != '\0' ? what : "starting";
}

void sayWhenStopped() {
    if (activityText[activityShown.load()][0] == '\0') std::snprintf(activityText[activityShown.load()], 200, "starting");
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) std::signal(sig, sayStopped);
}

#ifndef GLOWBAKE_HAVE_MPI

Cluster startCluster(int&, char**&) { return Cluster(); }
void stopCluster(Cluster&) {}
void abortCluster(const Cluster&, int status) { std::exit(status); }
int shareJob(const Cluster&, bool stop, int status, std::vector<char>&) { return stop ? status : -1; }

#else

namespace {

constexpr int kProgressTag = 1;
constexpr int kJobTag = 3;
// MPI counts are ints: large messages go in pieces.
constexpr long long kPiece = 1LL << 30;

// Process 0's view of the other processes' reports in the stage under way.
struct Reports {
    std::vector<long long> done;
    std::vector<char> last;
    int lastCount = 0;
};
Reports reports;
bool mpiStarted = false;
std::chrono::steady_clock::time_point lastTold;

// Waits for a message without spinning on a core the work needs.
void awaitMessage(int source, int tag) {
    for (;;) {
        int flag = 0;
        MPI_Iprobe(source, tag, MPI_COMM_WORLD, &flag, MPI_STATUS_IGNORE);
        if (flag) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

// A barrier that waits without spinning: a process that finished its share
// early leaves the cores to those still at work.
void quietBarrier() {
    MPI_Request request;
    MPI_Ibarrier(MPI_COMM_WORLD, &request);
    for (;;) {
        int flag = 0;
        MPI_Test(&request, &flag, MPI_STATUS_IGNORE);
        if (flag) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

void broadcast(std::vector<char>& bytes, int root) {
    long long size = static_cast<long long>(bytes.size());
    MPI_Bcast(&size, 1, MPI_LONG_LONG, root, MPI_COMM_WORLD);
    bytes.resize(static_cast<size_t>(size));
    for (long long at = 0; at < size; at += kPiece) {
        const int n = static_cast<int>(std::min(kPiece, size - at));
        MPI_Bcast(bytes.data() + at, n, MPI_CHAR, root, MPI_COMM_WORLD);
    }
}

void broadcastFrom(void*, int root, std::vector<char>& bytes) {
    quietBarrier();
    broadcast(bytes, root);
}

// Bytes posted and not yet taken by process 0, with their requests.
struct Posted {
    long long size;
    std::vector<char> bytes;
    std::vector<MPI_Request> requests;
};
std::vector<std::unique_ptr<Posted>> posted;

void dropSent() {
    std::vector<std::unique_ptr<Posted>> left;
    for (std::unique_ptr<Posted>& p : posted) {
        int flag = 0;
        MPI_Testall(static_cast<int>(p->requests.size()), p->requests.data(), &flag, MPI_STATUSES_IGNORE);
        if (!flag) left.push_back(std::move(p));
    }
    posted.swap(left);
}

void postToFirst(void*, int tag, std::vector<char>& bytes) {
    auto p = std::make_unique<Posted>();
    p->bytes.swap(bytes);
    p->size = static_cast<long long>(p->bytes.size());
    p->requests.emplace_back();
    MPI_Isend(&p->size, 1, MPI_LONG_LONG, 0, tag, MPI_COMM_WORLD, &p->requests.back());
    for (long long at = 0; at < p->size; at += kPiece) {
        p->requests.emplace_back();
        MPI_Isend(p->bytes.data() + at, static_cast<int>(std::min(kPiece, p->size - at)), MPI_CHAR, 0, tag,
                  MPI_COMM_WORLD, &p->requests.back());
    }
    posted.push_back(std::move(p));
    dropSent();
}

void flushToFirst(void*) {
    for (dropSent(); !posted.empty(); dropSent()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

bool takeAny(void*, int tag, bool wait, int* from, std::vector<char>& bytes) {
    MPI_Status status;
    for (;;) {
        int flag = 0;
        MPI_Iprobe(MPI_ANY_SOURCE, tag, MPI_COMM_WORLD, &flag, &status);
        if (flag) break;
        if (!wait) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    *from = status.MPI_SOURCE;
    long long n = 0;
    MPI_Recv(&n, 1, MPI_LONG_LONG, *from, tag, MPI_COMM_WORLD, MPI_STATUS_IGNORE);
    bytes.resize(static_cast<size_t>(n));
    for (long long at = 0; at < n; at += kPiece)
        MPI_Recv(bytes.data() + at, static_cast<int>(std::min(kPiece, n - at)), MPI_CHAR, *from, tag,
                 MPI_COMM_WORLD, MPI_STATUS_IGNORE);
    return true;
}

void tellDone(void*, long long done, bool last) {
    const auto now = std::chrono::steady_clock::now();
    if (!last && now - lastTold < std::chrono::milliseconds(250)) return;
    lastTold = now;
    const long long message[2] = {done, last ? 1 : 0};
    MPI_Send(message, 2, MPI_LONG_LONG, 0, kProgressTag, MPI_COMM_WORLD);
}

long long othersDone(void*, bool wait, bool* allLast) {
    const int others = static_cast<int>(reports.done.size()) - 1;
    for (bool waited = !wait || reports.lastCount == others;;) {
        int flag = 0;
        MPI_Status status;
        MPI_Iprobe(MPI_ANY_SOURCE, kProgressTag, MPI_COMM_WORLD, &flag, &status);
        if (!flag) {
            if (waited) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            continue;
        }
        long long message[2];
        MPI_Recv(message, 2, MPI_LONG_LONG, status.MPI_SOURCE, kProgressTag, MPI_COMM_WORLD, MPI_STATUS_IGNORE);
        const size_t r = static_cast<size_t>(status.MPI_SOURCE);
        reports.done[r] = message[0];
        if (message[1] && !reports.last[r]) {
            reports.last[r] = 1;
            ++reports.lastCount;
        }
        waited = true;
    }
    long long sum = 0;
    for (long long d : reports.done) sum += d;
    *allLast = reports.lastCount == others;
    return sum;
}

void endStage(void*) {
    std::fill(reports.done.begin(), reports.done.end(), 0);
    std::fill(reports.last.begin(), reports.last.end(), 0);
    reports.lastCount = 0;
}


bool startedByLauncher() {
    for (const char* name : {"OMPI_COMM_WORLD_SIZE", "PMIX_RANK", "PMI_RANK", "PMI_SIZE"})
        if (std::getenv(name) != nullptr) return true;
    return false;
}

}  // namespace

Cluster startCluster(int& argc, char**& argv) {
    Cluster cluster;
    if (!startedByLauncher()) return cluster;
    int provided = 0;
    MPI_Init_thread(&argc, &argv, MPI_THREAD_FUNNELED, &provided);
    mpiStarted = true;
    MPI_Comm_rank(MPI_COMM_WORLD, &cluster.rank);
    MPI_Comm_size(MPI_COMM_WORLD, &cluster.size);
    if (provided < MPI_THREAD_FUNNELED && cluster.size > 1) {
        if (cluster.rank == 0) std::fprintf(stderr, "Glowbake: error: this MPI cannot be used by a program with threads\n");
        MPI_Abort(MPI_COMM_WORLD, 1);
    }
    cluster.broadcast = broadcastFrom;
    cluster.postToFirst = postToFirst;
    cluster.flushToFirst = flushToFirst;
    cluster.takeAny = takeAny;
    cluster.tellDone = tellDone;
    cluster.othersDone = othersDone;
    cluster.endStage = endStage;
    reports.done.assign(static_cast<size_t>(cluster.size), 0);
    reports.last.assign(static_cast<size_t>(cluster.size), 0);
    return cluster;
}

void stopCluster(Cluster& cluster) {
    if (!mpiStarted) return;
    // Those done wait here, idle, while process 0 writes the outputs.
    if (cluster.spread()) quietBarrier();
    MPI_Finalize();
    mpiStarted = false;
}

void abortCluster(const Cluster&, int status) {
    std::fflush(stdout);
    std::fflush(stderr);
    if (mpiStarted) MPI_Abort(MPI_COMM_WORLD, status);
    std::exit(status);
}

int shareJob(const Cluster& cluster, bool stop, int status, std::vector<char>& job) {
    if (!cluster.spread()) return stop ? status : -1;
    // A small header to each process first, which it waits for without
    // spinning (reading a large scene takes process 0 a while), then the job.
    long long header[2] = {stop ? 1 : 0, status};
    if (cluster.first()) {
        for (int r = 1; r < cluster.size; ++r) MPI_Send(header, 2, MPI_LONG_LONG, r, kJobTag, MPI_COMM_WORLD);
    } else {
        awaitMessage(0, kJobTag);
        MPI_Recv(header, 2, MPI_LONG_LONG, 0, kJobTag, MPI_COMM_WORLD, MPI_STATUS_IGNORE);
    }
    if (header[0] != 0) return static_cast<int>(header[1]);
    broadcast(job, 0);
    return -1;
}

#endif
