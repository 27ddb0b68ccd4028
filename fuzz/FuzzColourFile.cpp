// The colour file reader, followed by the listing and the edge check over whatever it read.
#include "FuzzSupport.h"
#include "TqColor/TqColor.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Diagnostics diag;
    diag.Out = diag.StdErr = QuietOutput();
    if (!diag.Out) return 0;
    diag.WarningLevel = 3;
    ColourTable table;
    FILE* fp = OpenBytes(data, size);
    if (!fp) return 0;
    ReadLdconfigStream(&table, &diag, fp, "ldconfig.ldr");
    fclose(fp);
    FillInColours(&table, &diag);
    ResolveEdgeColours(&table, &diag, "ldconfig.ldr");
    PrintColours(&table, diag.Out);
    for (int code = 0; code < 600; code += 7) Color2rgb(&table, code, nullptr, nullptr);
    return 0;
}
