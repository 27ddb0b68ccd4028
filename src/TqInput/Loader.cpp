// The depth-first loader: opens and reads each file once, decides between conversion and
// ready-made replacements, counts studs and parts, computes boxes and triggers each declaration.
#include <cmath>
#include <cstring>

#include "TqInput/TqInput.h"

void InitLoader(Loader* loader, const TqSettings* settings, TqInputRecord* input, Diagnostics* diag,
                Library* library, const ColourTable* colours, Model* model) {
    loader->settings = settings;
    loader->input = input;
    loader->diag = diag;
    loader->library = library;
    loader->colours = colours;
    loader->model = model;
    loader->hooks = {};
    loader->loadDepth = 0;
    InitLineChecks(&loader->checks, diag, colours, settings);
}

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

void UseHighResolutionPrimitive(Loader* loader, char* name) {
    if (!loader->settings->Mesh.HighResolution || strchr(name, '/')) return;
    auto [known, added] = loader->highResolution.try_emplace(name, false);
    const LDrawIniS* ini = loader->library->LDrawIni;
    if (added && ini) {
        // Only the primitive directories hold the 48-sided versions, in their "48" folder.
        for (int i = 0; i < ini->nSearchDirs && !known->second; i++) {
            const LDrawSearchDirS* dir = &ini->SearchDirs[i];
            char path[kPathSize];
            if (!(dir->Flags & LDrawSearchFlag::DEFPRIM) ||
                snprintf(path, sizeof(path), "%s48/%s", dir->Dir, name) >= (int)sizeof(path))
                continue;
            known->second = FindMatchingPath(loader->library, path, 0) != 0;
        }
    }
    if (!known->second || strlen(name) + 3 >= (size_t)kPathSize) return;
    memmove(name + 3, name, strlen(name) + 1);
    memcpy(name, "48/", 3);
}

int LoadModelPre(Loader* loader, const char* modelPath) {
    Model* model = loader->model;
    model->ModelIncomplete = 0;
    LDrawIniS* ini = loader->library->LDrawIni;
    if (!ini) return -1;
    // The search directories depend on the model's directory (<MODELDIR>); the entries of the last
    // model go, the library entries stay.
    strncpy0(loader->input->ModelPath, modelPath, sizeof(loader->input->ModelPath));
    if (!LDrawIniComputeRealDirs(ini, 1, 1, modelPath)) return -1;
    FreeModel(model);
    model->ModelTitle[0] = model->ModelAuthor[0] = '\0';
    const char* name = modelPath;
    for (const char* p = modelPath; *p; p++) {
        if (*p == '/' || *p == '\\') name = p + 1;
    }
    // Slot 0 is named by the file name alone, without its directory.
    if (SetMainModelName(model, name) != 0) {
        PromptUser(loader->diag, "Error during input", "Out of memory for model name");
        return -1;
    }
    // The model is placed in the default colour (-c), so that colour is the first one used.
    return AddUsedColor(model, loader->diag, loader->settings->TqPov.DefaultColor) == 0 ? 0 : -1;
}

bool LoadModel(Loader* loader) {
    loader->loadDepth = 0;
    Model* model = loader->model;
    return LoadPart(loader, &model->Parts[0], 1, nullptr, 1) == LoadResult::kOk &&
           !model->ModelIncomplete;
}

static void OfferCameraPoint(Loader* loader, const float* point) {
    const LoaderHooks& hooks = loader->hooks;
    if (hooks.AddCameraPoint) hooks.AddCameraPoint(hooks.writer, point);
}

int KeepsSize(const LineEntry* line) {
    double det = std::fabs(M3Det(line->Data));
    return det > 0.99 && det < 1.01;
}

void CalcPartBBox(Loader* loader, PartEntry* part, int feedCamera) {
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
                float corners[8][3];
                TqCalcBBoxCorners(corners, line->Data, child->BBox, 0);
                for (const auto& corner : corners) {
                    // Absurd placements (scales of 1e30 nested in each other) overflow; such
                    // corners would put infinities into boxes, seams and the camera.
                    if (!std::isfinite(corner[0] + corner[1] + corner[2])) continue;
                    TqCheckPointAgainstBBox(corner, part->BBox);
                    if (feedCamera && !line->LineFlags.IsLight) OfferCameraPoint(loader, corner);
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
            if (feedCamera) OfferCameraPoint(loader, line->Data + 4 * i);
        }
    }
}

// Decides before reading whether the entry is replaced; returns the write flag for its
// sub-files, or -1 when the entry needs no further loading at all.
static int ChooseReplacement(Loader* loader, PartEntry* part, int writeDeclarations) {
    PartLoadFlags& flags = part->LoadFlags;
    const LoaderHooks& hooks = loader->hooks;
    // Marked read and loaded without opening the file; without a box, it never enlarges its
    // parent's. Flattened parts (-mesh) take their hard edges from such files.
    const TqSettings* settings = loader->settings;
    if (!KeepsEdgeLines(*settings) && IsLineType2Primitive(part->DatName)) {
        flags.Read = flags.Loaded = flags.IsPrimitive = 1;
        flags.Loading = 0;
        return -1;
    }
    int childWrite = writeDeclarations;
    // A ready-made model takes the colour of its reference; the files it stands for are still
    // loaded and counted, but never declared.
    if (childWrite && hooks.HasReadyMadeModel &&
        hooks.HasReadyMadeModel(hooks.writer, part->DatName)) {
        childWrite = 0;
        part->AttrFlags.UsesColour16 = 1;
    }
    const float* box =
        hooks.EquivalentBox ? hooks.EquivalentBox(hooks.writer, part->DatName) : nullptr;
    // A primitive drawn as an exact POV-Ray solid takes the solid's box; its file is never read.
    if (box) {
        memcpy(part->BBox, box, sizeof(part->BBox));
        flags.BBoxValid = flags.Read = flags.Loaded = flags.IsPrimitive = 1;
        part->AttrFlags.UsesColour16 = 1;
    }
    return childWrite;
}

// A file that is no LDraw text at all is reported and then treated as not found.
static bool IsLDrawText(Diagnostics* diag, FILE* fp, const char* path) {
    FileKind kind = SniffFile(fp);
    if (kind == FileKind::kUtf16 || kind == FileKind::kBinary) diag->Tally.nErrors++;
    switch (kind) {
        case FileKind::kUtf16:
            PromptUser(diag, "Error during input", "%s is UTF-16 text, not an LDraw file", path);
            return false;
        case FileKind::kBinary:
            PromptUser(diag, "Error during input", "%s is not a text file", path);
            return false;
        // Text with a NUL byte passes: the reader reports each line concerned.
        default:
            return true;
    }
}

// Opens and reads the entry's file.
static LoadResult ReadPartFile(Loader* loader, PartEntry* part, int isMainModel,
                               const char* refName) {
    Diagnostics* diag = loader->diag;
    FILE* fp;
    int flags = LDrawSearchFlag::MODELDIR;
    char path[kPathSize];
    // The main model is opened by its path; every other entry by name through the search
    // directories, whose flags say what it is (a header line read later may still mark it).
    if (isMainModel) {
        strncpy0(path, loader->input->ModelPath, sizeof(path));
        fp = fopeni(loader->library, path, "rb");
    } else {
        fp = OpenDatFile(loader->library, part->DatName, 0, &flags, path);
    }
    PartLoadFlags& load = part->LoadFlags;
    if (fp && !IsLDrawText(diag, fp, path)) {
        fclose(fp);
        load.Read = load.Loaded = 1;
        load.Loading = 0;
        return LoadResult::kFailed;
    }
    // Marked read and loaded, so that a missing file is reported once; references to it stay and
    // place nothing.
    if (!fp) {
        diag->Tally.nFilesNotFound++;
        PromptUser(diag, "Error during input", "Could not find %s Referenced by %s", part->DatName,
                   refName ? refName : "*");
        load.Read = load.Loaded = 1;
        load.Loading = 0;
        return LoadResult::kFailed;
    }
    load.IsPrimitive = (flags & LDrawSearchFlag::DEFPRIM) ? 1 : 0;
    load.IsPart = (flags & LDrawSearchFlag::DEFPART) ? 1 : 0;
    load.IsLibrary = (flags & LDrawSearchFlag::MODELDIR) ? 0 : 1;
    if (loader->settings->TqVerboseOption) fprintf(diag->StdErr, "Reading %s\n", path);
    LoadResult read = ReadDatFile(loader, fp, part, refName, isMainModel);
    if (read != LoadResult::kOk) {
        // Give up on this entry, but never take it for a recursion later.
        load.Read = load.Loaded = 1;
        load.Loading = 0;
    }
    return read;
}

// One level down the reference graph, refused beyond kMaxNesting levels so that no chain of
// sub-models can exhaust the stack.
static LoadResult LoadChild(Loader* loader, PartEntry* part, const LineEntry* line, int isMainModel,
                            int childWrite) {
    PartEntry* child = line->Part;
    if (loader->loadDepth >= kMaxNesting) {
        ErrorInInput(loader->diag, 0, kFailure,
                     "References nested more than %d deep: %s line %u references %s", kMaxNesting,
                     part->DatName, line->LineNo, child->DatName);
        loader->model->ModelIncomplete = 1;
        return LoadResult::kTooDeep;
    }
    loader->loadDepth++;
    // A transform block belongs to the file it was read from: inside the main model it is part of
    // the main model, and feeds the camera.
    LoadResult r = LoadPart(loader, child, child->AttrFlags.Internal ? isMainModel : 0,
                            part->DatName, childWrite);
    loader->loadDepth--;
    return r;
}

// A name in the library's folder of sub-parts, pieces of one part (names are in FixDatName form:
// lower case, forward slashes).
static bool IsSubPartName(const char* name) {
    return StrBeginsWith(name, "s/");
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
        } else if (load.IsPart && child->LoadFlags.IsPart && !IsSubPartName(child->DatName)) {
            part->AttrFlags.HoldsParts = 1;
        }
    }
    if (line->Colour == 16 &&
        (line->Type == 3 || line->Type == 4 || (child && child->AttrFlags.UsesColour16))) {
        part->AttrFlags.UsesColour16 = 1;
    }
}

// Loads every sub-file of a read entry, depth first; a recursion or too deep a nesting is passed
// up from below.
static LoadResult LoadChildren(Loader* loader, PartEntry* part, int isMainModel, int childWrite) {
    for (LineEntry* line = part->FirstLine; line; line = line->Next) {
        PartEntry* child = line->Type == 1 ? line->Part : nullptr;
        if (child && !child->LoadFlags.Loaded) {
            LoadResult r = LoadChild(loader, part, line, isMainModel, childWrite);
            if (r == LoadResult::kRecursion) {
                // A cycle prints as a chain, one line per level up to the main model.
                ErrorInInput(loader->diag, 0, kPlain, "referenced by %s line %u", part->DatName,
                             line->LineNo);
                return r;
            }
            if (r == LoadResult::kTooDeep) return r;
        }
        AddChild(part, line);
    }
    return LoadResult::kOk;
}

LoadResult LoadPart(Loader* loader, PartEntry* part, int isMainModel, const char* refName,
                    int writeDeclarations) {
    PartLoadFlags& load = part->LoadFlags;
    bool check = loader->settings->DoCheck;
    // Loading marks the entries on the path of the walk from the main model: meeting one again is a
    // cycle.
    if (load.Loading) {
        ErrorInInput(loader->diag, 0, kFailure, "Recursive references: %s", part->DatName);
        return LoadResult::kRecursion;
    }
    load.Loading = 1;
    int childWrite = writeDeclarations;
    // In check mode nothing is replaced, nothing declared and no box computed: every file is read
    // and checked as it is.
    if (!check) {
        childWrite = ChooseReplacement(loader, part, writeDeclarations);
        if (childWrite < 0) return LoadResult::kOk;
    }
    if (!load.Loaded) {
        LoadResult r =
            load.Read ? LoadResult::kOk : ReadPartFile(loader, part, isMainModel, refName);
        if (r == LoadResult::kOk) r = LoadChildren(loader, part, isMainModel, childWrite);
        if (r != LoadResult::kOk) return r;
        if (!check) CalcPartBBox(loader, part, isMainModel);
    }
    const LoaderHooks& hooks = loader->hooks;
    if (!check && writeDeclarations && hooks.Declare)
        hooks.Declare(hooks.writer, part, isMainModel);
    // Once declared, the lines are no longer needed: the scene holds the geometry, and the entry
    // keeps its box and counts. An entry loaded below a ready-made model keeps its lines, since
    // another file may still have to declare it; so do the model and its sub-models when the
    // camera frames the placed parts (-cfit), which it finds through them after loading.
    const TqPovRecord& pov = loader->settings->TqPov;
    bool keptForCamera = (pov.FitPlacedParts || pov.EdgePixels != 0) && !part->LoadFlags.IsPart &&
                         !part->LoadFlags.IsPrimitive;
    if (part->PovState && !keptForCamera) FreeLines(part);
    load.Loaded = 1;
    load.Loading = 0;
    return LoadResult::kOk;
}
