#pragma once

#include <vector>

// The processes one run is spread over, as the solver's core sees them: which
// one this is, how many there are, and the few collective operations the
// core needs. A record left as constructed is a run on its own: one process,
// nothing to exchange. The operations are set by the program (over MPI);
// the core never sees how the bytes travel.
//
// Every process holds the same scene and the same groups, so each decides
// the same fixed share of the work for every process; each computes its own
// share and sends the results whole to process 0, which sweeps and sends
// back the solved values. No sum ever depends on how many processes there
// are.
struct Cluster {
    int rank = 0;  // this process, from 0; process 0 prints and writes
    int size = 1;  // processes in the run
    void* user = nullptr;

    // Collective: process `root`'s bytes to every process (`bytes` is what
    // the root sends, and what every other process receives).
    void (*broadcast)(void* user, int root, std::vector<char>& bytes) = nullptr;
    // Results on their way while they are computed: a process other than 0
    // posts bytes for process 0 under a tag (from 16 up) and goes on at
    // once (the bytes are taken); flushToFirst waits, without taking a core,
    // until all have gone. Process 0 takes the next bytes posted under a tag
    // by any process with takeAny (false when none has arrived and `wait` is
    // not set); each process's arrive in the order posted.
    void (*postToFirst)(void* user, int tag, std::vector<char>& bytes) = nullptr;
    void (*flushToFirst)(void* user) = nullptr;
    bool (*takeAny)(void* user, int tag, bool wait, int* from, std::vector<char>& bytes) = nullptr;
    // A process other than 0 tells process 0 how many units of its share of
    // the stage under way it has finished; `last` once it has finished them
    // all. Cheap to call often: reports are sent a few times a second.
    // Called only from the thread that started the cluster.
    void (*tellDone)(void* user, long long done, bool last) = nullptr;
    // Process 0: the units the others have told so far in the stage under
    // way. With `wait`, blocks until a new report arrives (unless every
    // other process has told its last). Sets *allLast once every other
    // process has told its last. Called only from the thread that started
    // the cluster.
    long long (*othersDone)(void* user, bool wait, bool* allLast) = nullptr;
    // Process 0, once every other process has told its last: the next
    // stage counts from nothing.
    void (*endStage)(void* user) = nullptr;

    bool spread() const { return size > 1; }
    bool first() const { return rank == 0; }
};
