// The LDraw reader with its line checks, at the highest warning level and in check mode too.
#include <memory>

#include "FuzzSupport.h"
#include "TqColor/TqColor.h"
#include "TqInput/TqInput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Every input gets fresh records: nothing carries over from one input to the next.
    Diagnostics diag;
    diag.Out = diag.StdErr = QuietOutput();
    if (!diag.Out) return 0;
    ColourTable colours;
    FillInColours(&colours, &diag);
    TqSettings settings;
    SetSettingsDefaults(&settings);
    // The first byte chooses the mode, so that both reading paths are explored.
    int mode = size > 0 ? data[0] : 0;
    diag.WarningLevel = (mode & 3) ? 3 : -1;
    settings.DoCheck = (mode >> 2) & 1;
    settings.TqPov.LightDatLights = (mode >> 3) & 1;
    auto model = std::make_unique<Model>();
    Library library;
    library.diag = &diag;
    Loader loader;
    InitLoader(&loader, &settings, &settings.TqInput, &diag, &library, &colours, model.get());
    SetLineTypeSaveMask(model.get(), mode & 0x10 ? 0x3E : 0x3F);
    if (SetMainModelName(model.get(), "model.mpd") != 0) return 0;
    FILE* fp = OpenBytes(data, size);
    if (!fp) return 0;
    PartTable& parts = model->Parts;
    ReadDatFile(&loader, fp, &parts[0], nullptr, (mode >> 5) & 1);
    for (int i = 0; i < parts.nParts(); i++) CalcPartBBox(&loader, &parts[i], 0);
    return 0;
}
