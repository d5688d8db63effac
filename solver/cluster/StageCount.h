#pragma once

#include "Cluster.h"
#include "Progress.h"

// One stage's progress counted over every process: process 0 reports its own
// units plus what the others have told it; the others tell process 0 (and
// report their own units to their own, silent, outlet). Call only from the
// thread that started the cluster.
struct StageCount {
    const Cluster& cluster;
    const Progress& progress;
    ProgressEvent event;  // stage, pass and the total of every process

    // This process has finished `done` units of its share.
    void mine(long long done) {
        if (!cluster.spread()) {
            report(done);
        } else if (cluster.first()) {
            bool allLast = false;
            report(done + cluster.othersDone(cluster.user, false, &allLast));
        } else {
            cluster.tellDone(cluster.user, done, false);
            report(done);
        }
    }
    // This process has finished all `done` units of its share; process 0
    // waits here, reporting, until every other process has finished too.
    void finish(long long done) {
        if (!cluster.spread()) {
            report(done);
        } else if (cluster.first()) {
            bool allLast = false;
            long long others = cluster.othersDone(cluster.user, false, &allLast);
            report(done + others);
            while (!allLast) {
                others = cluster.othersDone(cluster.user, true, &allLast);
                report(done + others);
            }
            cluster.endStage(cluster.user);
        } else {
            cluster.tellDone(cluster.user, done, true);
            report(done);
        }
    }

private:
    void report(long long done) const {
        ProgressEvent e = event;
        e.done = done;
        progress.report(e);
    }
};
