// Entry point: everything else lives in the library so that tests and fuzzers can call it.
#include <clocale>

#include "Tqr/Tqr.h"

int main(int argc, char** argv) {
    // Byte-exact numbers in the scene whatever the user's locale.
    setlocale(LC_ALL, "C");
    return TqrMain(argc, argv);
}
