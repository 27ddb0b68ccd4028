// Entry point: everything else lives in the library so that tests and fuzzers can call it.
#include <clocale>
#include <csignal>

#include "Tqr/Tqr.h"

int main(int argc, char** argv) {
    // Byte-exact numbers in the scene whatever the user's locale.
    setlocale(LC_ALL, "C");
    // Beyond a file-size limit, writes then fail with an error the run reports and cleans up
    // after, instead of the process being killed with a half-written scene.
    std::signal(SIGXFSZ, SIG_IGN);
    return TqrMain(argc, argv);
}
