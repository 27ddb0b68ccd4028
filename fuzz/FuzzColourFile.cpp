// The colour file reader, followed by the listing and the edge check over whatever it read.
#include "FuzzSupport.h"
#include "TqColor/TqColor.h"
#include "TqSettings/TqSettings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    QuietOutput();
    WarningLevel = 3;
    FreeColours();
    FILE* fp = OpenBytes(data, size);
    if (!fp) return 0;
    ReadLdconfigStream(fp, "ldconfig.ldr");
    fclose(fp);
    FillInColours();
    ResolveEdgeColours("ldconfig.ldr");
    PrintColours(stdout);
    for (int code = 0; code < 600; code += 7) Color2rgb(code, nullptr, nullptr);
    FreeColours();
    return 0;
}
