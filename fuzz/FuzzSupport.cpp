// Shared set-up of the fuzz targets.
#include "FuzzSupport.h"

#include <clocale>

FILE* QuietOutput() {
    static FILE* quiet = [] {
        setlocale(LC_ALL, "C");
        return fopen("/dev/null", "w");
    }();
    return quiet;
}

FILE* OpenBytes(const uint8_t* data, size_t size) {
    // fmemopen cannot open an empty buffer; an empty file reads the same as /dev/null.
    if (size == 0) return fopen("/dev/null", "r");
    return fmemopen(const_cast<uint8_t*>(data), size, "r");
}
