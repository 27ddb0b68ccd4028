// The LGEO element and colour list readers, with sorting and lookups over what they read.
#include <cstdlib>
#include <cstring>
#include <memory>

#include "FuzzSupport.h"
#include "TqPov/TqPov.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Diagnostics diag;
    diag.Out = diag.StdErr = QuietOutput();
    if (!diag.Out) return 0;
    diag.WarningLevel = 3;
    TqSettings settings;
    SetSettingsDefaults(&settings);
    strncpy0(settings.TqPov.ReplaceOrder, "PLB", sizeof(settings.TqPov.ReplaceOrder));
    Library library;
    ColourTable colours;
    auto model = std::make_unique<Model>();
    auto w = std::make_unique<SceneWriter>();
    InitSceneWriter(w.get(), &settings, &diag, &library, &colours, model.get());
    // The input holds both lists, separated by the first NUL byte.
    const uint8_t* split = static_cast<const uint8_t*>(memchr(data, 0, size));
    size_t first = split ? (size_t)(split - data) : size;
    FILE* elements = OpenBytes(data, first);
    if (elements) {
        ReadLgeoListStream(w.get(), 0, elements);
        fclose(elements);
    }
    if (split) {
        FILE* colourList = OpenBytes(split + 1, size - first - 1);
        if (colourList) {
            ReadLgeoListStream(w.get(), 1, colourList);
            fclose(colourList);
        }
    }
    LgeoTables& t = w->lgeo;
    if (t.nLgeoElmts > 0) qsort(t.LgeoElmts, (size_t)t.nLgeoElmts, sizeof(LgeoElmt), cmpLgeoElmts);
    for (int i = 0; i < t.nLgeoElmts && i < 50; i++) {
        char name[128];
        snprintf(name, sizeof(name), "%s.dat", t.LgeoElmts[i].DatName);
        if (LgeoElmt* e = FindLgeoElmt(w.get(), name, 0)) GetLgeoName(w.get(), e);
    }
    for (int code = -1; code < 100; code++) FindLgeoColr(w.get(), code);
    return 0;
}
