// The depth-first loader: opens and reads each file once, decides between conversion and
// ready-made replacements, counts studs and parts, computes boxes and triggers each declaration.
#include <cmath>
#include <cstring>

#include "TqInput/TqInput.h"

int ModelIncomplete = 0;
LoaderHooks TheLoaderHooks = {};

void CheckMemoryUsage() {}

namespace {

// LoadPart's result for input refused as nested too deeply; passed up without a chain of
// messages, the first one names the file and line.
constexpr int kTooDeep = 3;
// References being loaded around the current one.
int loadDepth = 0;

}  // namespace

// Primitives made of edge lines only: when no edges are drawn (-ee not given) they add nothing to
// the scene and are not even read.
static const char* const LineType2Primitives[] = {"axlehol2.dat", "axlehol3.dat", "studline.dat",
                                                  nullptr};

int IsLineType2Primitive(const char* name) {
    if (IsInList(name, LineType2Primitives) >= 0) return 1;
    if (ScanNamePattern(name, "%d-%dedge.da%[t]", nullptr, nullptr) == 3) return 1;
    // The same edge primitives in the high-resolution directories (48/, 8/).
    const char* s = name;
    while (IsDigit((unsigned char)*s)) s++;
    return s != name && *s == '/' &&
           ScanNamePattern(s + 1, "%d-%dedge.da%[t]", nullptr, nullptr) == 3;
}

int LoadModelPre(const char* modelPath) {
    ErrorInInputInit();
    ModelIncomplete = 0;
    if (!LDrawIni) return -1;
    // The search directories depend on the model's directory (<MODELDIR>); the entries of the last
    // model go, the library entries stay.
    strncpy0(TqInput.ModelPath, modelPath, sizeof(TqInput.ModelPath));
    if (!LDrawIniComputeRealDirs(LDrawIni, 1, 1, modelPath)) return -1;
    FreeModel();
    ModelTitle[0] = ModelAuthor[0] = '\0';
    const char* name = modelPath;
    for (const char* p = modelPath; *p; p++) {
        if (*p == '/' || *p == '\\') name = p + 1;
    }
    // Slot 0 is named by the file name alone, without its directory.
    if (SetMainModelName(name) != 0) {
        PromptUser("Error during input", "Out of memory for model name");
        return -1;
    }
    // The model is placed in the default colour (-c), so that colour is the first one used.
    return AddUsedColor(TqPov.DefaultColor) == 0 ? 0 : -1;
}

int LoadModel() {
    loadDepth = 0;
    return LoadPart(&Parts[0], 1, nullptr, 1) == 0 && !ModelIncomplete ? 0 : -1;
}

static void OfferCameraPoint(const float* point) {
    if (TheLoaderHooks.AddCameraPoint) TheLoaderHooks.AddCameraPoint(point);
}

void CalcPartBBox(PartEntry* part, int feedCamera) {
    // The box is in the entry's own coordinates (LDraw units, y pointing down). A sub-file's box
    // enters as its eight transformed corners. Only the main model feeds the camera, as its
    // coordinates are the scene's; light sources shape the box but are no points to be seen.
    TqEmptyBBox(part->BBox);
    part->LoadFlags.BBoxValid = 0;
    for (LineEntry* line = part->FirstLine; line; line = line->Next) {
        int nPoints = 0;
        switch (line->Type) {
            case 1: {
                const PartEntry* child = line->Part;
                if (!child || !child->LoadFlags.BBoxValid) break;
                part->LoadFlags.BBoxValid = 1;
                if (child->LoadFlags.IsPart && !part->LoadFlags.IsPart &&
                    !line->LineFlags.IsLight) {
                    // Only references that keep the part's size get a seam matrix.
                    double det = std::fabs(M3Det(line->Data));
                    if (det > 0.99 && det < 1.01) line->LineFlags.UnitDet = 1;
                }
                float corners[8][3];
                TqCalcBBoxCorners(corners, line->Data, child->BBox, 0);
                for (const auto& corner : corners) {
                    // Absurd placements (scales of 1e30 nested in each other) overflow; such
                    // corners would put infinities into boxes, seams and the camera.
                    if (!std::isfinite(corner[0] + corner[1] + corner[2])) continue;
                    TqCheckPointAgainstBBox(corner, part->BBox);
                    if (feedCamera && !line->LineFlags.IsLight) OfferCameraPoint(corner);
                }
                break;
            }
            case 2:
            case 5:  // the control points of an optional line do not count
                nPoints = 2;
                break;
            case 3:
                nPoints = 3;
                break;
            case 4:
                nPoints = 4;
                break;
        }
        if (nPoints) part->LoadFlags.BBoxValid = 1;
        for (int i = 0; i < nPoints; i++) {
            TqCheckPointAgainstBBox(line->Data + 4 * i, part->BBox);
            if (feedCamera) OfferCameraPoint(line->Data + 4 * i);
        }
    }
}

// Decides before reading whether the entry is replaced; returns the write flag for its
// sub-files, or -1 when the entry needs no further loading at all.
static int ChooseReplacement(PartEntry* part, int writeDeclarations) {
    PartLoadFlags& flags = part->LoadFlags;
    // Marked read and loaded without opening the file; without a box, it never enlarges its
    // parent's.
    if (TqPov.EdgeWidth == 0 && IsLineType2Primitive(part->DatName)) {
        flags.Read = flags.Loaded = flags.IsPrimitive = 1;
        flags.Loading = 0;
        return -1;
    }
    int childWrite = writeDeclarations;
    // A ready-made model takes the colour of its reference; the files it stands for are still
    // loaded and counted, but never declared.
    if (childWrite && TheLoaderHooks.HasReadyMadeModel &&
        TheLoaderHooks.HasReadyMadeModel(part->DatName)) {
        childWrite = 0;
        part->AttrFlags.UsesColour16 = 1;
    }
    const float* box =
        TheLoaderHooks.EquivalentBox ? TheLoaderHooks.EquivalentBox(part->DatName) : nullptr;
    // A primitive drawn as an exact POV-Ray solid takes the solid's box; its file is never read.
    if (box) {
        memcpy(part->BBox, box, sizeof(part->BBox));
        flags.BBoxValid = flags.Read = flags.Loaded = flags.IsPrimitive = 1;
        part->AttrFlags.UsesColour16 = 1;
    }
    return childWrite;
}

// A file that is no LDraw text at all is reported and then treated as not found.
static bool IsLDrawText(FILE* fp, const char* path) {
    FileKind kind = SniffFile(fp);
    if (kind == FileKind::kUtf16 || kind == FileKind::kBinary) Tally.nErrors++;
    switch (kind) {
        case FileKind::kUtf16:
            PromptUser("Error during input", "%s is UTF-16 text, not an LDraw file", path);
            return false;
        case FileKind::kBinary:
            PromptUser("Error during input", "%s is not a text file", path);
            return false;
        // Text with a NUL byte passes: the reader reports each line concerned.
        default:
            return true;
    }
}

// Opens and reads the entry's file; 0 read, 1 not found or out of memory, kTooDeep.
static int ReadPartFile(PartEntry* part, int isMainModel, const char* refName) {
    FILE* fp;
    int flags = LDrawSearchFlag::MODELDIR;
    char path[kPathSize];
    // The main model is opened by its path; every other entry by name through the search
    // directories, whose flags say what it is (a header line read later may still mark it).
    if (isMainModel) {
        strncpy0(path, TqInput.ModelPath, sizeof(path));
        fp = fopeni(path, "rb");
    } else {
        fp = OpenDatFile(part->DatName, 0, &flags);
        strncpy0(path, GetOpenDatFilePath(), sizeof(path));
    }
    PartLoadFlags& load = part->LoadFlags;
    if (fp && !IsLDrawText(fp, path)) {
        fclose(fp);
        load.Read = load.Loaded = 1;
        load.Loading = 0;
        return 1;
    }
    // Marked read and loaded, so that a missing file is reported once; references to it stay and
    // place nothing.
    if (!fp) {
        Tally.nFilesNotFound++;
        PromptUser("Error during input", "Could not find %s Referenced by %s", part->DatName,
                   refName ? refName : "*");
        load.Read = load.Loaded = 1;
        load.Loading = 0;
        return 1;
    }
    load.IsPrimitive = (flags & LDrawSearchFlag::DEFPRIM) ? 1 : 0;
    load.IsPart = (flags & LDrawSearchFlag::DEFPART) ? 1 : 0;
    load.IsLibrary = (flags & LDrawSearchFlag::MODELDIR) ? 0 : 1;
    if (TqVerboseOption) fprintf(stderr, "Reading %s\n", GetOpenDatFilePath());
    int read = ReadDatFile(fp, part, refName, isMainModel);
    if (read != 1) {
        if (read == 0) CheckMemoryUsage();
        // Give up on this entry, but never take it for a recursion later.
        load.Read = load.Loaded = 1;
        load.Loading = 0;
        return read == 0 ? 1 : kTooDeep;
    }
    return 0;
}

// One level down the reference graph, refused beyond kMaxNesting levels so that no chain of
// sub-models can exhaust the stack.
static int LoadChild(PartEntry* part, const LineEntry* line, int isMainModel, int childWrite) {
    PartEntry* child = line->Part;
    if (loadDepth >= kMaxNesting) {
        ErrorInInput(0, kFailure, "References nested more than %d deep: %s line %u references %s",
                     kMaxNesting, part->DatName, line->LineNo, child->DatName);
        ModelIncomplete = 1;
        return kTooDeep;
    }
    loadDepth++;
    // A transform block belongs to the file it was read from: inside the main model it is part of
    // the main model, and feeds the camera.
    int r = LoadPart(child, child->AttrFlags.Internal ? isMainModel : 0, part->DatName, childWrite);
    loadDepth--;
    return r;
}

// What a child adds to its parent: studs, parts (a sub-model counts the parts inside it), and
// whether some surface takes the colour of the reference.
static void AddChild(PartEntry* part, const LineEntry* line) {
    const PartEntry* child = line->Type == 1 ? line->Part : nullptr;
    const PartLoadFlags& load = part->LoadFlags;
    if (child) {
        part->nStuds += child->nStuds;
        // Parts are counted in models only: inside a part or primitive a sub-part is a piece of one
        // part.
        if (!load.IsPart && !load.IsPrimitive) {
            if (child->LoadFlags.IsPart)
                part->nContainedParts++;
            else if (!child->LoadFlags.IsPrimitive)
                part->nContainedParts += child->nContainedParts;
        }
    }
    if (line->Colour == 16 &&
        (line->Type == 3 || line->Type == 4 || (child && child->AttrFlags.UsesColour16))) {
        part->AttrFlags.UsesColour16 = 1;
    }
}

// Loads every sub-file of a read entry, depth first; 0, or 2 / kTooDeep passed up from below.
static int LoadChildren(PartEntry* part, int isMainModel, int childWrite) {
    for (LineEntry* line = part->FirstLine; line; line = line->Next) {
        PartEntry* child = line->Type == 1 ? line->Part : nullptr;
        if (child && !child->LoadFlags.Loaded) {
            int r = LoadChild(part, line, isMainModel, childWrite);
            if (r == 2) {
                // A cycle prints as a chain, one line per level up to the main model.
                ErrorInInput(0, kPlain, "referenced by %s line %u", part->DatName, line->LineNo);
                return 2;
            }
            if (r == kTooDeep) return kTooDeep;
        }
        AddChild(part, line);
    }
    return 0;
}

int LoadPart(PartEntry* part, int isMainModel, const char* refName, int writeDeclarations) {
    PartLoadFlags& load = part->LoadFlags;
    // Loading marks the entries on the path of the walk from the main model: meeting one again is a
    // cycle.
    if (load.Loading) {
        ErrorInInput(0, kFailure, "Recursive references: %s", part->DatName);
        return 2;
    }
    load.Loading = 1;
    int childWrite = writeDeclarations;
    // In check mode nothing is replaced, nothing declared and no box computed: every file is read
    // and checked as it is.
    if (!DoCheck) {
        childWrite = ChooseReplacement(part, writeDeclarations);
        if (childWrite < 0) return 0;
    }
    if (!load.Loaded) {
        int r = load.Read ? 0 : ReadPartFile(part, isMainModel, refName);
        if (r == 0) r = LoadChildren(part, isMainModel, childWrite);
        if (r != 0) return r;
        if (!DoCheck) CalcPartBBox(part, isMainModel);
    }
    CheckMemoryUsage();
    if (!DoCheck && writeDeclarations && TheLoaderHooks.Declare)
        TheLoaderHooks.Declare(part, isMainModel);
    // Once declared, the lines are no longer needed: the scene holds the geometry, and the entry
    // keeps its box and counts. An entry loaded below a ready-made model keeps its lines, since
    // another file may still have to declare it.
    if (part->PovState) FreeLines(part);
    load.Loaded = 1;
    load.Loading = 0;
    return 0;
}
