// Everything after the last declaration: model box variables, floor, background, camera, lights,
// the model object, the statistics; or the error banner over a failed scene.
#include <cmath>
#include <cstring>

#include "TqColor/TqColor.h"
#include "TqPov/TqPov.h"

int nPovEquivFromP = 0;
int nPovLgeoFromP = 0;
int nPovLgeoFromPARTS = 0;
int nPovKvFromPARTS = 0;
int nPovKvFromP = 0;
int nPovTqrFromPARTS = 0;
int nPovTqrFromP = 0;
int LgeoTabsRead = 0;
float BBoxCenter[3];

namespace {

// -f: a checkered floor (c) with squares of one stud pitch (20), or a grey one, at TqFloorY.
const char kCheckeredFloor[] =
    "object {\n\tplane { y, TqFloorY hollow }\n\ttexture { pigment { checker color rgb <0.9,0.1,0.1> color rgb <0.8,0.8,0.8> scale 20 } }\n}\n\n";
const char kGreyFloor[] =
    "object {\n\tplane { y, TqFloorY hollow }\n\ttexture {\n\t\tpigment { color rgb <0.8,0.8,0.8> }\n\t\tfinish { ambient 0.4 diffuse 0.4 }\n\t}\n}\n\n";

// The word the -v file list shows for what was written; none for a file not written.
const char* PovStateWord(unsigned char state) {
    switch (state) {
        case kPovEmpty:
            return "Empty";
        case kPovNormal:
            return "Normal";
        case kPovEquiv:
            return "PovEquiv";
        case kPovTqrParts:
            return "TQRPARTS";
        case kPovLgeo:
            return "LGEO";
        case kPovKv:
            return "KV";
        default:
            return nullptr;
    }
}

// One statistics line: the count among parts and among primitives, each with its share.
void PrintSourceLine(FILE* fp, const char* prefix, const char* label, int fromParts, int fromP) {
    fprintf(fp, "%s%s%5d %-6s", prefix, label, fromParts,
            PovStatPct(fromParts, nPovTotalFromPARTS));
    fprintf(fp, "  %5d %s\n", fromP, PovStatPct(fromP, nPovTotalFromP));
}

// The model box as scene variables; false (reported, nothing written) when its centre or size
// is not a finite number.
bool PrintModelData(FILE* fp, const PartEntry* model) {
    V3Mean(BBoxCenter, model->BBox, model->BBox + 3);
    float size[3];
    V3Sub(size, model->BBox + 3, model->BBox);
    if (!std::isfinite(BBoxCenter[0] + BBoxCenter[1] + BBoxCenter[2] + size[0] + size[1] +
                       size[2])) {
        ReportNonFiniteSceneValue();
        return false;
    }
    // Centre and size are derived in the scene from Min and Max; their values follow as comments.
    PrintPovBookmark(fp, "ModelData");
    fprintf(fp, "#declare TqModelBBoxMin = %s;\n", PovGGG(model->BBox));
    fprintf(fp, "#declare TqModelBBoxMax = %s;\n", PovGGG(model->BBox + 3));
    fprintf(fp, "#declare TqModelBBoxCenter = (TqModelBBoxMin+TqModelBBoxMax)/2; // %s\n",
            PovGGG(BBoxCenter));
    fprintf(fp, "#declare TqModelBBoxSize = TqModelBBoxMax-TqModelBBoxMin; // %s\n", PovGGG(size));
    if (TqPov.FloorYGiven)
        fprintf(fp, "#declare TqFloorY = %g; // -f\n", TqPov.FloorY);
    else
        fputs("#declare TqFloorY = TqModelBBoxMax.y;\n", fp);  // LDraw's y axis points down
    return true;
}

}  // namespace

// Everything a scene starts from, before loading: the header's inputs, the counters, the cut
// names, the LGEO tables (read once per process) and the camera's directions, which must be ready
// when the loader offers the first point of the model.
int PrintPovInit(const char* modelPath, PrintPovHeaderExtraFuncT extra, void* userData) {
    PrintPovHeaderInputFullPath = modelPath;
    PrintPovHeaderExtraFunc = extra;
    PrintPovHeaderExtraUserData = userData;
    PovHeaderPrinted = 0;
    ResetSceneWriter();
    nNonFiniteNumbers = 0;
    nPovTotalFromPARTS = nPovTotalFromP = nPovEquivFromP = nPovLgeoFromP = nPovLgeoFromPARTS = 0;
    nPovTqrFromPARTS = nPovTqrFromP = 0;
    if ((strchr(TqPov.ReplaceOrder, 'L') || strchr(TqPov.ReplaceOrder, 'B')) && !LgeoTabsRead) {
        if (ReadLgeoTabs() != 0) return -1;
        if (TqPov.Debug) PrintLgeoTabs();
        fprintf(StdErr, "Using LGEO: %d parts, %d colors\n", nLgeoElmts, nLgeoColrs);
        LgeoTabsRead = 1;
    }
    PreCalcCamera();
    return 0;
}

int PrintPovTrailer(FILE* fp, int loadResult) {
    // A failed load or an empty model gets the banner over the scene instead. After that the
    // order matters: the box variables come first (the floor uses TqFloorY), the camera before
    // the lights (they are placed at the camera's distance), the end files last.
    PartEntry* model = &Parts[0];
    if (loadResult != 0) return PrintPovErrFile(fp, -1);
    if (model->nPovObjects == 0 || !model->LoadFlags.BBoxValid) return PrintPovErrFile(fp, -2);
    CalcCameraAddBoxCorners(model->BBox);
    if (!PrintModelData(fp, model)) return PrintPovErrFile(fp, -1);
    if (TqPov.FloorType) {
        PrintPovBookmark(fp, "Floor");
        fputs(TqPov.FloorType == 'c' ? kCheckeredFloor : kGreyFloor, fp);
    }
    if (TqPov.BackgroundOn) {
        PrintPovBookmark(fp, "Background");
        fprintf(fp, "background { color rgb %s}\n\n", PovGGG(TqPov.BackgroundRgb));
    }
    if (TqPov.CameraOn) {
        if (CalcCamera(fp) != 0) return PrintPovErrFile(fp, -1);
    } else {
        PrintPovIncludeFile(fp, "Camera", TqPov.IncludeCamera);
    }
    if (TqPov.LightsOn) {
        if (AddDefaultLights() != 0 || CalcLights(fp) != 0) return PrintPovErrFile(fp, -1);
    } else {
        PrintPovIncludeFile(fp, "Lights", TqPov.IncludeLights);
    }
    PrintPovModel(fp);
    // The statistics, and the files that were not handled, go into the scene as comments.
    PrintPovBookmark(fp, "Statistics");
    PrintPovStatistics(fp, "// ");
    for (int i = 0; i < nParts; i++) {
        const PartEntry* part = &Parts[i];
        if (!part->DatName) continue;
        SceneSafe name(part->DatName);
        if (!part->LoadFlags.Read) fprintf(fp, "// WARNING: %s not read\n", name.c_str());
        if (!part->LoadFlags.Loaded) fprintf(fp, "// WARNING: %s not resolved\n", name.c_str());
        if (part->PovState == kPovNotWritten)
            fprintf(fp, "// WARNING: %s not written to POV file\n", name.c_str());
    }
    // The scene refuses an image of another shape; this tells the user before rendering.
    if (TqPov.AspectRatio != 0)
        fprintf(StdErr, "Remember to use aspect ratio %g for size of rendering.\n",
                TqPov.AspectRatio);
    if (TqPov.IncludeTqEnd) PrintPovIncludeFile(fp, kIncludeTqEnd, nullptr);
    PrintPovIncludeFile(fp, "AtEnd", TqPov.IncludeEnd);
    PrintPovBookmark(fp, "End");
    if (nNonFiniteNumbers != 0) {
        // Whatever wrote it, a scene holding "inf" or "nan" does not parse.
        ReportNonFiniteSceneValue();
        return PrintPovErrFile(fp, -1);
    }
    return 0;
}

// The model object, in the default colour (-c) where the model has colour 16 surfaces for it; the
// LGEO "_clear" model in a transparent default colour; and the slope copy above quality 0.
void PrintPovModel(FILE* fp) {
    const PartEntry* model = &Parts[0];
    const LgeoElmt* element = FindLgeoElmt(model->DatName, 0);
    unsigned attributes;
    Color2rgb(TqPov.DefaultColor, nullptr, &attributes);
    PrintPovBookmark(fp, "ModelObject %s", model->DatName);
    bool coloured = model->AttrFlags.UsesColour16;
    const char* separator = coloured ? " " : "";
    const char* suffix =
        element && element->Source == 'L' && (attributes & kColourHasAlpha) ? "_clear" : "";
    char id[160];
    strncpy0(id, PovName(model->DatName), sizeof(id));
    fprintf(fp, "object { %s%s %s%s}\n", id, suffix,
            coloured ? PovColorRef(TqPov.DefaultColor, 0) : "", separator);
    if (model->AttrFlags.PovMark) {
        fprintf(fp, "#if (TqQuality > 0)\n\tobject { %s_slope %s%s}\n#end\n", id,
                coloured ? PovColorRef(TqPov.DefaultColor, 1) : "", separator);
    }
    fputs("\n\n", fp);
}

int PrintPovErrFile(FILE* fp, int code) {
    // A scene that failed before any declaration still gets its header, so that the banner
    // below it tells why the file does not render.
    if (!PovHeaderPrinted) PrintPovHeader(fp);
    // Comment lines of 79 characters overwrite every byte after the header. A stdio stream cannot
    // be shortened, so the last line may reach past the old end. POV-Ray then renders an empty
    // scene, and whoever opens the file reads why.
    long end = ftell(fp);
    fseek(fp, PovEndOfHeaderPosition, SEEK_SET);
    const char* text = code == -2 ? "Empty model" : "Error occurred";
    do {
        fprintf(fp, "// %-74s!\n", text);
    } while (ftell(fp) < end);
    return code;
}

// Rounded half up, in 64 bits so that a * 100 cannot overflow.
const char* PovStatPct(int a, int b) {
    int p = b != 0 ? (int)(((long long)a * 100 + b / 2) / b) : 0;
    char text[24];
    snprintf(text, sizeof(text), "(%d%%)", p);
    return SceneWriter.percent.Clear().Add(text).c_str();
}

namespace {

// -v: every file of the table with what was written for it.
void PrintFileList(FILE* fp, const char* prefix) {
    fprintf(fp, "%sDAT files printed:\n", prefix);
    for (int i = 0; i < nParts; i++) {
        const PartEntry* part = &Parts[i];
        if (!part->DatName) continue;
        fprintf(fp, "%s%14s", prefix, SceneSafe(part->DatName).c_str());
        if (const char* word = PovStateWord(part->PovState)) fprintf(fp, " %s", word);
        if (part->LoadFlags.IsPart)
            fputs(" part", fp);
        else if (part->LoadFlags.IsPrimitive)
            fputs(" primitive", fp);
        fputc('\n', fp);
    }
    fprintf(fp, "%s\n", prefix);
}

// One line per replacement source, in the order they were tried.
void PrintSourceLines(FILE* fp, const char* prefix) {
    for (const char* letter = TqPov.ReplaceOrder; *letter; letter++) {
        switch (*letter) {
            case '3':
                PrintSourceLine(fp, prefix, "TQRPARTS:     ", nPovTqrFromPARTS, nPovTqrFromP);
                break;
            case 'B':
                PrintSourceLine(fp, prefix, "KV:           ", nPovKvFromPARTS, nPovKvFromP);
                break;
            case 'L':
                PrintSourceLine(fp, prefix, "LGEO:         ", nPovLgeoFromPARTS, nPovLgeoFromP);
                break;
            case 'P':
                fprintf(fp, "%sPOV Equivs:       -         %5d %s\n", prefix, nPovEquivFromP,
                        PovStatPct(nPovEquivFromP, nPovTotalFromP));
                break;
        }
    }
}

// -d: the model's members and every file's parts, studs and box.
void PrintDebugTable(FILE* fp, const char* prefix) {
    fprintf(fp, "%snPovObjects: %d\n", prefix, Parts[0].nPovObjects);
    fprintf(fp, "%s      DatName PARTS studs BBox\n", prefix);
    for (int i = 0; i < nParts; i++) {
        const PartEntry* part = &Parts[i];
        if (!part->DatName) continue;
        fprintf(fp, "%s%13s %5d %5u %d %s", prefix, SceneSafe(part->DatName).c_str(),
                part->LoadFlags.IsPart ? 1 : 0, (unsigned)part->nStuds,
                part->LoadFlags.BBoxValid ? 1 : 0, PovGGG(part->BBox));
        fprintf(fp, " %s\n", PovGGG(part->BBox + 3));
    }
}

}  // namespace

// The same statistics end the scene as comments (prefix "// ") and the run on the console.
int PrintPovStatistics(FILE* fp, const char* prefix) {
    const PartEntry* model = &Parts[0];
    if (TqVerboseOption) PrintFileList(fp, prefix);
    fprintf(
        fp,
        "%s              PARTS             P         Total\n%sDAT files:    %5d         %5d         %5d\n",
        prefix, prefix, nPovTotalFromPARTS, nPovTotalFromP, nParts);
    PrintSourceLines(fp, prefix);
    fprintf(fp, "%sModel has %u parts (%u studs)\n", prefix, (unsigned)model->nContainedParts,
            (unsigned)model->nStuds);
    if (TqPov.Debug) PrintDebugTable(fp, prefix);
    return 0;
}
