#pragma once

#include <string>
#include <vector>

#include "Cluster.h"
#include "Progress.h"

// The processes this program runs as. Started by an MPI launcher (mpirun,
// srun) in a build with MPI, they form one cluster; started on its own, or
// built without MPI, the program is one process and nothing here touches
// MPI. Only the thread that started the cluster calls these.

// Joins the launcher's processes, or returns a cluster of one.
Cluster startCluster(int& argc, char**& argv);
// Leaves the cluster at the end of a run (every process calls it).
void stopCluster(Cluster& cluster);
// Ends every process of the run at once with `status`: for a failure one
// process cannot share with the others.
[[noreturn]] void abortCluster(const Cluster& cluster, int status);

// Process 0 hands every other process what it needs to take part: the job's
// bytes, or (`stop`) the exit status of a run that ends before the solve.
// The others wait for it without taking a core. Returns -1 when the job
// was shared (`job` then holds its bytes everywhere), else the status.
int shareJob(const Cluster& cluster, bool stop, int status, std::vector<char>& job);

// What this process is doing, as the progress events say, for the messages
// of a run that fails or is stopped part way.
void noteActivity(const Cluster& cluster, const ProgressEvent& event);
const char* activity();
// Process 0 of a spread run: a signal that stops it (the launcher ends every
// process when one dies) first says on standard error what it was doing and
// that no output was written.
void sayWhenStopped();
