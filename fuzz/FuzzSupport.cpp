// Shared set-up of the fuzz targets.
#include "FuzzSupport.h"

#include <clocale>

#include "TqSettings/TqSettings.h"

void QuietOutput() {
    static bool done = false;
    if (done) return;
    done = true;
    setlocale(LC_ALL, "C");
    if (!freopen("/dev/null", "w", stdout)) return;
    StdErr = stdout;
}

FILE* OpenBytes(const uint8_t* data, size_t size) {
    // fmemopen cannot open an empty buffer; an empty file reads the same as /dev/null.
    if (size == 0) return fopen("/dev/null", "r");
    return fmemopen(const_cast<uint8_t*>(data), size, "r");
}
