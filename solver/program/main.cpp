#include "GlowbakeRun.h"
#include "ProcessCluster.h"

int main(int argc, char** argv) {
    Cluster cluster = startCluster(argc, argv);
    const int status = runGlowbake(argc, argv, cluster);
    stopCluster(cluster);
    return status;
}
