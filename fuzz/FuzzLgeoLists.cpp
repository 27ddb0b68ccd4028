// The LGEO element and colour list readers, with sorting and lookups over what they read.
#include <cstdlib>
#include <cstring>

#include "FuzzSupport.h"
#include "TqPov/TqPov.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    QuietOutput();
    WarningLevel = 3;
    FreeLgeoTabs();
    // The input holds both lists, separated by the first NUL byte.
    const uint8_t* split = static_cast<const uint8_t*>(memchr(data, 0, size));
    size_t first = split ? (size_t)(split - data) : size;
    FILE* elements = OpenBytes(data, first);
    if (elements) {
        ReadLgeoListStream(0, elements);
        fclose(elements);
    }
    if (split) {
        FILE* colours = OpenBytes(split + 1, size - first - 1);
        if (colours) {
            ReadLgeoListStream(1, colours);
            fclose(colours);
        }
    }
    if (nLgeoElmts > 0) qsort(LgeoElmts, (size_t)nLgeoElmts, sizeof(LgeoElmt), cmpLgeoElmts);
    strcpy(TqPov.ReplaceOrder, "PLB");
    for (int i = 0; i < nLgeoElmts && i < 50; i++) {
        char name[128];
        snprintf(name, sizeof(name), "%s.dat", LgeoElmts[i].DatName);
        if (LgeoElmt* e = FindLgeoElmt(name, 0)) GetLgeoName(e);
    }
    for (int code = -1; code < 100; code++) FindLgeoColr(code);
    FreeLgeoTabs();
    return 0;
}
