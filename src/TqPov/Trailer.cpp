// Everything after the last declaration: model box variables, floor, background, camera, lights,
// the model object, the statistics; or the error banner over a failed scene.
#include <cmath>
#include <cstring>

#include "TqColor/TqColor.h"
#include "TqPov/TqPov.h"

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
void PrintSourceLine(SceneWriter* w, FILE* fp, const char* prefix, const char* label, int fromParts,
                     int fromP) {
    fprintf(fp, "%s%s%5d %-6s", prefix, label, fromParts,
            PovStatPct(w, fromParts, w->nPovTotalFromPARTS));
    fprintf(fp, "  %5d %s\n", fromP, PovStatPct(w, fromP, w->nPovTotalFromP));
}

// The model box as scene variables; false (reported, nothing written) when its centre or size
// is not a finite number.
bool PrintModelData(SceneWriter* w, FILE* fp, const PartEntry* model) {
    float* centre = w->BBoxCenter;
    V3Mean(centre, model->BBox, model->BBox + 3);
    float size[3];
    V3Sub(size, model->BBox + 3, model->BBox);
    if (!std::isfinite(centre[0] + centre[1] + centre[2] + size[0] + size[1] + size[2])) {
        ReportNonFiniteSceneValue(w);
        return false;
    }
    // Centre and size are derived in the scene from Min and Max; their values follow as comments.
    PrintPovBookmark(fp, "ModelData");
    fprintf(fp, "#declare TqModelBBoxMin = %s;\n", PovGGG(w, model->BBox));
    fprintf(fp, "#declare TqModelBBoxMax = %s;\n", PovGGG(w, model->BBox + 3));
    fprintf(fp, "#declare TqModelBBoxCenter = (TqModelBBoxMin+TqModelBBoxMax)/2; // %s\n",
            PovGGG(w, centre));
    fprintf(fp, "#declare TqModelBBoxSize = TqModelBBoxMax-TqModelBBoxMin; // %s\n",
            PovGGG(w, size));
    if (w->pov->FloorYGiven)
        fprintf(fp, "#declare TqFloorY = %g; // -f\n", w->pov->FloorY);
    else
        fputs("#declare TqFloorY = TqModelBBoxMax.y;\n", fp);  // LDraw's y axis points down
    return true;
}

}  // namespace

// Everything a scene starts from, before loading: the header's inputs, the counters, the cut
// names, the LGEO tables (read once per run) and the camera's directions, which must be ready
// when the loader offers the first point of the model.
int PrintPovInit(SceneWriter* w, const char* modelPath, PrintPovHeaderExtraFuncT extra,
                 void* userData) {
    w->PrintPovHeaderInputFullPath = modelPath;
    w->PrintPovHeaderExtraFunc = extra;
    w->PrintPovHeaderExtraUserData = userData;
    w->PovHeaderPrinted = 0;
    ResetSceneWriter(w);
    w->nNonFiniteNumbers = 0;
    w->nPovTotalFromPARTS = w->nPovTotalFromP = w->nPovEquivFromP = w->nPovLgeoFromP = 0;
    w->nPovLgeoFromPARTS = w->nPovTqrFromPARTS = w->nPovTqrFromP = 0;
    const TqPovRecord* pov = w->pov;
    LgeoTables& lgeo = w->lgeo;
    if ((strchr(pov->ReplaceOrder, 'L') || strchr(pov->ReplaceOrder, 'B')) && !lgeo.LgeoTabsRead) {
        if (ReadLgeoTabs(w) != 0) return -1;
        if (pov->Debug) PrintLgeoTabs(w, w->diag->Out);
        fprintf(w->diag->StdErr, "Using LGEO: %d parts, %d colors\n", lgeo.nLgeoElmts,
                lgeo.nLgeoColrs);
        lgeo.LgeoTabsRead = 1;
    }
    PreCalcCamera(w);
    return 0;
}

TrailerResult PrintPovTrailer(SceneWriter* w, FILE* fp, bool loaded) {
    // A failed load or an empty model gets the banner over the scene instead. After that the
    // order matters: the box variables come first (the floor uses TqFloorY), the camera before
    // the lights (they are placed at the camera's distance), the end files last.
    PartTable& parts = w->model->Parts;
    PartEntry* model = &parts[0];
    const TqPovRecord* pov = w->pov;
    if (!loaded) return PrintPovErrFile(w, fp, TrailerResult::kFailed);
    if (model->nPovObjects == 0 || !model->LoadFlags.BBoxValid)
        return PrintPovErrFile(w, fp, TrailerResult::kEmptyModel);
    CalcCameraAddBoxCorners(w, model->BBox);
    if (!PrintModelData(w, fp, model)) return PrintPovErrFile(w, fp, TrailerResult::kFailed);
    if (pov->FloorType) {
        PrintPovBookmark(fp, "Floor");
        fputs(pov->FloorType == 'c' ? kCheckeredFloor : kGreyFloor, fp);
    }
    if (pov->BackgroundOn) {
        PrintPovBookmark(fp, "Background");
        fprintf(fp, "background { color rgb %s}\n\n", PovGGG(w, pov->BackgroundRgb));
    }
    if (pov->CameraOn) {
        if (CalcCamera(w, fp) != 0) return PrintPovErrFile(w, fp, TrailerResult::kFailed);
    } else {
        PrintPovIncludeFile(w, fp, "Camera", pov->IncludeCamera);
    }
    if (pov->LightsOn) {
        if (AddDefaultLights(w) != 0 || CalcLights(w, fp) != 0)
            return PrintPovErrFile(w, fp, TrailerResult::kFailed);
    } else {
        PrintPovIncludeFile(w, fp, "Lights", pov->IncludeLights);
    }
    PrintPovModel(w, fp);
    if (pov->EdgePixels != 0) PrintPovEdges(w, fp);
    // The statistics, and the files that were not handled, go into the scene as comments.
    PrintPovBookmark(fp, "Statistics");
    PrintPovStatistics(w, fp, "// ");
    for (int i = 0; i < parts.nParts(); i++) {
        const PartEntry* part = &parts[i];
        if (!part->DatName) continue;
        SceneSafe name(part->DatName);
        if (!part->LoadFlags.Read) fprintf(fp, "// WARNING: %s not read\n", name.c_str());
        if (!part->LoadFlags.Loaded) fprintf(fp, "// WARNING: %s not resolved\n", name.c_str());
        if (part->PovState == kPovNotWritten)
            fprintf(fp, "// WARNING: %s not written to POV file\n", name.c_str());
    }
    // The scene refuses an image of another shape; this tells the user before rendering.
    if (pov->AspectRatio != 0)
        fprintf(w->diag->StdErr, "Remember to use aspect ratio %g for size of rendering.\n",
                pov->AspectRatio);
    if (pov->IncludeTqEnd) PrintPovIncludeFile(w, fp, kIncludeTqEnd, nullptr);
    PrintPovIncludeFile(w, fp, "AtEnd", pov->IncludeEnd);
    PrintPovBookmark(fp, "End");
    if (w->nNonFiniteNumbers != 0) {
        // Whatever wrote it, a scene holding "inf" or "nan" does not parse.
        ReportNonFiniteSceneValue(w);
        return PrintPovErrFile(w, fp, TrailerResult::kFailed);
    }
    return TrailerResult::kWritten;
}

// The model object, in the default colour (-c) where the model has colour 16 surfaces for it; the
// LGEO "_clear" model in a transparent default colour; and the slope copy above quality 0.
void PrintPovModel(SceneWriter* w, FILE* fp) {
    const PartEntry* model = &w->model->Parts[0];
    const LgeoElmt* element = FindLgeoElmt(w, model->DatName, 0);
    int colour = w->pov->DefaultColor;
    unsigned attributes;
    Color2rgb(w->colours, colour, nullptr, &attributes);
    PrintPovBookmark(fp, "ModelObject %s", model->DatName);
    bool coloured = model->AttrFlags.UsesColour16;
    const char* separator = coloured ? " " : "";
    const char* suffix =
        element && element->Source == 'L' && (attributes & kColourHasAlpha) ? "_clear" : "";
    char id[160];
    strncpy0(id, PovName(w, model->DatName), sizeof(id));
    fprintf(fp, "object { %s%s %s%s}\n", id, suffix, coloured ? PovColorRef(w, colour, 0) : "",
            separator);
    if (model->AttrFlags.PovMark) {
        fprintf(fp, "#if (TqQuality > 0)\n\tobject { %s_slope %s%s}\n#end\n", id,
                coloured ? PovColorRef(w, colour, 1) : "", separator);
    }
    fputs("\n\n", fp);
}

TrailerResult PrintPovErrFile(SceneWriter* w, FILE* fp, TrailerResult result) {
    // A scene that failed before any declaration still gets its header, so that the banner
    // below it tells why the file does not render.
    if (!w->PovHeaderPrinted) PrintPovHeader(w, fp);
    // Comment lines of 79 characters overwrite every byte after the header. A stdio stream cannot
    // be shortened, so the last line may reach past the old end. POV-Ray then renders an empty
    // scene, and whoever opens the file reads why.
    long end = ftell(fp);
    fseek(fp, w->PovEndOfHeaderPosition, SEEK_SET);
    const char* text = result == TrailerResult::kEmptyModel ? "Empty model" : "Error occurred";
    do {
        fprintf(fp, "// %-74s!\n", text);
    } while (ftell(fp) < end);
    return result;
}

// Rounded half up, in 64 bits so that a * 100 cannot overflow.
const char* PovStatPct(SceneWriter* w, int a, int b) {
    int p = b != 0 ? (int)(((long long)a * 100 + b / 2) / b) : 0;
    char text[24];
    snprintf(text, sizeof(text), "(%d%%)", p);
    return w->percent.Clear().Add(text).c_str();
}

namespace {

// -v: every file of the table with what was written for it.
void PrintFileList(SceneWriter* w, FILE* fp, const char* prefix) {
    fprintf(fp, "%sDAT files printed:\n", prefix);
    PartTable& parts = w->model->Parts;
    for (int i = 0; i < parts.nParts(); i++) {
        const PartEntry* part = &parts[i];
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
void PrintSourceLines(SceneWriter* w, FILE* fp, const char* prefix) {
    for (const char* letter = w->pov->ReplaceOrder; *letter; letter++) {
        switch (*letter) {
            case '3':
                PrintSourceLine(w, fp, prefix, "TQRPARTS:     ", w->nPovTqrFromPARTS,
                                w->nPovTqrFromP);
                break;
            case 'B':
                PrintSourceLine(w, fp, prefix, "KV:           ", w->nPovKvFromPARTS,
                                w->nPovKvFromP);
                break;
            case 'L':
                PrintSourceLine(w, fp, prefix, "LGEO:         ", w->nPovLgeoFromPARTS,
                                w->nPovLgeoFromP);
                break;
            case 'P':
                fprintf(fp, "%sPOV Equivs:       -         %5d %s\n", prefix, w->nPovEquivFromP,
                        PovStatPct(w, w->nPovEquivFromP, w->nPovTotalFromP));
                break;
        }
    }
}

// -d: the model's members and every file's parts, studs and box.
void PrintDebugTable(SceneWriter* w, FILE* fp, const char* prefix) {
    PartTable& parts = w->model->Parts;
    fprintf(fp, "%snPovObjects: %d\n", prefix, parts[0].nPovObjects);
    fprintf(fp, "%s      DatName PARTS studs BBox\n", prefix);
    for (int i = 0; i < parts.nParts(); i++) {
        const PartEntry* part = &parts[i];
        if (!part->DatName) continue;
        fprintf(fp, "%s%13s %5d %5u %d %s", prefix, SceneSafe(part->DatName).c_str(),
                part->LoadFlags.IsPart ? 1 : 0, (unsigned)part->nStuds,
                part->LoadFlags.BBoxValid ? 1 : 0, PovGGG(w, part->BBox));
        fprintf(fp, " %s\n", PovGGG(w, part->BBox + 3));
    }
}

}  // namespace

// The same statistics end the scene as comments (prefix "// ") and the run on the console.
int PrintPovStatistics(SceneWriter* w, FILE* fp, const char* prefix) {
    PartTable& parts = w->model->Parts;
    const PartEntry* model = &parts[0];
    if (w->settings->TqVerboseOption) PrintFileList(w, fp, prefix);
    fprintf(
        fp,
        "%s              PARTS             P         Total\n%sDAT files:    %5d         %5d         %5d\n",
        prefix, prefix, w->nPovTotalFromPARTS, w->nPovTotalFromP, parts.nParts());
    PrintSourceLines(w, fp, prefix);
    fprintf(fp, "%sModel has %u parts (%u studs)\n", prefix, (unsigned)model->nContainedParts,
            (unsigned)model->nStuds);
    if (w->pov->Debug) PrintDebugTable(w, fp, prefix);
    return 0;
}
