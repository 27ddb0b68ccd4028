// Entry point: everything else lives in the library so that tests and fuzzers can call it.
#include <clocale>
#include <csignal>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include "Tqr/Tqr.h"

int main(int argc, char** argv) {
    // Byte-exact numbers in the scene whatever the user's locale.
    setlocale(LC_ALL, "C");
    // Beyond a file-size limit, writes then fail with an error the run reports and cleans up
    // after, instead of the process being killed with a half-written scene.
    std::signal(SIGXFSZ, SIG_IGN);
#if defined(__GLIBC__)
    // Flattening parts (-mesh) makes and drops buffers of a few megabytes per part. By default
    // glibc maps each from the system and hands it back when freed, and the fresh pages cost
    // more than the work on them (a town converted in 1.2 s instead of 0.85 s). Up to 256 MB
    // they now come from the heap and are used again.
    mallopt(M_MMAP_THRESHOLD, 256 << 20);
    mallopt(M_TRIM_THRESHOLD, 256 << 20);
#endif
    return TqrMain(argc, argv);
}
