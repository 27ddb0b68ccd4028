// The LDraw reader with its line checks, at the highest warning level and in check mode too.
#include "FuzzSupport.h"
#include "TqColor/TqColor.h"
#include "TqInput/TqInput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    QuietOutput();
    if (nTqColours == 0) FillInColours();
    Parts.Clear();
    nUsedColors = 0;
    ResetLineChecks();
    // The first byte chooses the mode, so that both reading paths are explored.
    int mode = size > 0 ? data[0] : 0;
    WarningLevel = (mode & 3) ? 3 : -1;
    DoCheck = (mode >> 2) & 1;
    TqPov.LightDatLights = (mode >> 3) & 1;
    SetLineTypeSaveMask(mode & 0x10 ? 0x3E : 0x3F);
    if (SetMainModelName("model.mpd") != 0) return 0;
    FILE* fp = OpenBytes(data, size);
    if (!fp) return 0;
    ReadDatFile(fp, &Parts[0], nullptr, (mode >> 5) & 1);
    for (int i = 0; i < nParts; i++) CalcPartBBox(&Parts[i], 0);
    Parts.Clear();
    nUsedColors = 0;
    return 0;
}
