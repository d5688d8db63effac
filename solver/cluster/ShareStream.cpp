#include "ShareStream.h"

int nextStreamTag() {
    // Tags below 16 are the program's own messages; every MPI takes tags up
    // to 32767. A tag comes round again only after 32,000 streams, long
    // after its first stream has ended.
    static int opened = 0;
    return 16 + opened++ % 32000;
}
