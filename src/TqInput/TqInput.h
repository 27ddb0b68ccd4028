// The LDraw input side: the in-memory model (the part table with its lines), the LDraw reader
// with its line checks, and the depth-first loader that hands finished entries to whoever
// registered for them (the scene writer).
#pragma once

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "TqColor/TqColor.h"
#include "TqDiag/TqDiag.h"
#include "TqLibrary/TqLibrary.h"
#include "TqMath/TqMath.h"
#include "TqSettings/TqSettings.h"
#include "TqText/TqText.h"

// The model: the part table and the lines of its entries.

/// One stored line; declared ahead because part entries point at their lines.
struct LineEntry;

/// Content state of a part.
struct PartLoadFlags {
    unsigned char Read : 1;         ///< content complete, file not opened again
    unsigned char Loaded : 1;       ///< sub-files loaded, box computed, declaration written
    unsigned char IsPart : 1;       ///< an official part
    unsigned char IsPrimitive : 1;  ///< a primitive
    unsigned char IsLibrary : 1;    ///< found outside the model's directory; survives FreeModel
    unsigned char Loading : 1;      ///< recursion guard
    unsigned char BBoxValid : 1;    ///< BBox received at least one point
};

/// Attributes of a part.
struct PartAttrFlags {
    unsigned char Internal : 1;      ///< a transform block outside Parts, owned by its reference
    unsigned char IsStud : 1;        ///< one of StudPrimitives
    unsigned char PovMark : 1;       ///< has a slope variant: the declaration has a _slope twin
    unsigned char UsesColour16 : 1;  ///< some surface takes the colour of the reference
    unsigned char HoldsParts : 1;    ///< a part that places whole parts (an assembly), not only
                                     ///< sub-parts and primitives
};

/// One LDraw file met while loading.
struct PartEntry {
    char* DatName;           ///< normalised name as referenced (slot 0: model file name)
    LineEntry* FirstLine;    ///< head of the stored lines, or null
    int nPovObjects;         ///< members of the declaration
    int nPovNonStudObjects;  ///< members that are not studs
    int nStuds;              ///< stud primitives inside, through all levels
    int nContainedParts;     ///< library parts inside, through sub-models
    ::BBox BBox;             ///< box in the part's own coordinates
    unsigned char PovState;  ///< 0 until declared; then a PovStateValue
    /// How far loading has got.
    PartLoadFlags LoadFlags;
    /// What kind of entry this is.
    PartAttrFlags AttrFlags;
};

/// A transform block: a part record with the state of the block it interrupts.
struct InternalPartEntry {
    PartEntry Part;         ///< must stay first: the record is used through PartEntry pointers
    PartEntry* Parent;      ///< the entry being read when the block opened
    LineEntry** SavedTail;  ///< its line-append position
    int SavedKeyword;       ///< transform keyword of the enclosing block, 0 when none
};

/// Flags of a stored line: what the reader recognised in it, so that no later stage reads the
/// text again.
struct LineFlagBits {
    unsigned char IsLight : 1;    ///< light.dat used as a light source
    unsigned char IsStep : 1;     ///< STEP meta line
    unsigned char IsTexture : 1;  ///< TEXTURE meta line
    unsigned char PovBlock : 3;   ///< TQR ENDPOV, IFPOV, IFNOTPOV, ELSEPOV: 1 + IsIfpovKeyword; 0
};

/// One stored line of a part.
struct LineEntry {
    int Type;           ///< line type 0..5
    int Colour;         ///< colour as read; texture index on TEXTURE lines
    unsigned LineNo;    ///< physical line number; 0 for generated block references
    unsigned nRepeats;  ///< type 0: further identical empty comments folded into this record
    float Data[16];     ///< type 1: Matrix4; 2..5: points of four floats; type 0: inline text
    LineEntry* Next;    ///< next line of the part
    PartEntry* Part;    ///< type 1: the referenced entry
    char* Text;         ///< type 0: the comment text, inline or owned
    /// What the line is beyond its type.
    LineFlagBits LineFlags;
    /// Geometry of a printed part read with textures (-mesh): 1 + the index of its texture in
    /// the model's TexMaps; 0 when untextured.
    int TexMap;
};

/// How a texture is projected onto the surface.
enum TexMapMethod : int {
    kTexPlanar = 0,       ///< P1 top-left, P2 top-right, P3 bottom-left of the image
    kTexCylindrical = 1,  ///< P1 bottom and P2 top of the axis, P3 on the image's middle; wraps a
    kTexSpherical = 2     ///< P1 centre, P2 the image's centre, P3 fixes its middle line; a, b
};

/// The texture of a !TEXMAP line of a printed part.
struct TexMapEntry {
    int Method;            ///< TexMapMethod
    float Point[3][3];     ///< P1, P2, P3, in the coordinates of the file that holds the line
    float Angle[2];        ///< a and b in degrees, when the method takes them
    std::string Png;       ///< the image, found and checked
};

/// Used colour record.
struct UsedColorEntry {
    int Colour;           ///< colour number
    unsigned char Flags;  ///< bit 0 Printed: declared in the scene
};

/// Inline text room in a type 0 line: shorter comments live in Data.
constexpr int kInlineTextSize = 64;
/// Printed bit of a used colour.
constexpr unsigned char kUsedColorPrinted = 0x01;

class PartTable;
/// Releases part's name and lines; frees an internal record, clears a table slot.
void FreePart(PartTable* table, PartEntry* part);

/// The part table; slot 0 is the main model. It grows with the model: entries live in chunks
/// that never move, because stored lines point at the entries of their sub-files.
class PartTable {
public:
    /// Entries per chunk; the first chunk is part of the table, so slot 0 always exists.
    static constexpr int kChunkSize = 1024;
    PartTable() = default;
    ~PartTable();
    PartTable(const PartTable&) = delete;
    PartTable& operator=(const PartTable&) = delete;
    /// The entry of a slot; the slot must have been made available by Grow.
    PartEntry& operator[](int slot) {
        return slot < kChunkSize ? first_[slot] : chunks_[slot / kChunkSize - 1][slot % kChunkSize];
    }
    /// Slots in use or ever used.
    int nParts() const { return nParts_; }
    /// Makes slots 0..slots-1 available; false when memory ran out.
    bool Grow(int slots);
    /// Slot of an entry of the table, or -1 for any other record (a transform block).
    int SlotOf(const PartEntry* part) const;
    /// The entry named exactly name (the lowest slot when two share it), or null.
    PartEntry* Find(const char* name) const;
    /// Files an entry under its name; slot 0 wins over a library entry of the same name.
    void Index(PartEntry* part);
    /// Forgets an entry's name; an entry slot 0 hid gets it back.
    void Unindex(PartEntry* part);
    /// The lowest free slot, or a new one at the end; -1 when memory ran out.
    int TakeSlot();
    /// Slot 0 is taken by the main model, which always counts as used.
    void ClaimSlot0() {
        freeSlots_.erase(0);
        if (nParts_ < 1) nParts_ = 1;
    }
    /// A slot below nParts whose entry was freed, to be taken again first.
    void ReleaseSlot(int slot);
    /// Frees every entry and forgets every name: the table is empty again.
    void Clear();

private:
    /// Slots 0..kChunkSize-1.
    PartEntry first_[kChunkSize] = {};
    /// Zero-filled chunks after the first.
    PartEntry** chunks_ = nullptr;
    /// Chunks in chunks_.
    int nChunks_ = 0;
    /// Slots in use or ever used.
    int nParts_ = 0;
    /// Name -> entry: a model references the same few hundred names tens of thousands of times.
    std::unordered_map<std::string_view, PartEntry*> index_;
    /// Entries whose name slot 0 took over (see Index), indexed again when slot 0 lets it go.
    std::unordered_map<std::string_view, PartEntry*> hiddenBySlot0_;
    /// Slots below nParts whose entry was freed.
    std::set<int> freeSlots_;
};

/// One model in memory: the part table with its lines, the colours used, and what was read about
/// the model as a whole. In check mode the library entries stay from one file to the next.
struct Model {
    PartTable Parts;                       ///< the part table; slot 0 is the main model
    UsedColorEntry* UsedColors = nullptr;  ///< colours used on stored lines, in order of first use
    int nUsedColors = 0;                   ///< used entries of UsedColors
    int nUsedColorsAlloc = 0;              ///< allocated entries of UsedColors
    unsigned LineTypeSaveMask = 0x3F;      ///< bit n set = lines of type n are stored
    char ModelTitle[100] = "";             ///< title of the main model (at most 99 characters)
    char ModelAuthor[100] = "";            ///< author of the main model (at most 99 characters)
    /// Set when the model could not be loaded completely (memory ran out, nesting too deep), so
    /// that the conversion never reports success for it; cleared by LoadModelPre.
    int ModelIncomplete = 0;
    int InternID = 0;       ///< running counter for transform block names
    int LightDatFound = 0;  ///< a light.dat light source was read (with -l)
    std::vector<TexMapEntry> TexMaps;  ///< the textures read (-mesh), for LineEntry::TexMap

    Model() = default;
    ~Model() { free(UsedColors); }
    Model(const Model&) = delete;
    Model& operator=(const Model&) = delete;
};

/// Names that make an entry a stud.
extern const char* const StudPrimitives[];
/// Stud primitives meant only for use inside other primitives.
extern const char* const SpeedPrimitives[];
/// 1 when the normalised name is a speed primitive.
int IsSpeedPrimitive(const char* name);
/// Stores the mask of line types kept in memory.
void SetLineTypeSaveMask(Model* model, unsigned mask);

/// Entry named exactly name among the first nParts slots, or null.
PartEntry* FindPart(Model* model, const char* name);
/// Entry for name, created when needed; internal entries live outside the table. Null on failure
/// (reported).
PartEntry* RegisterPart(Model* model, Diagnostics* diag, int internal, const char* name);
/// Appends a copy of line at *tail (advanced); text for type 0. False when memory ran out.
bool SaveLine(LineEntry*** tail, const LineEntry* line, const char* text);
/// Releases the lines of part (and the transform blocks they own).
void FreeLines(PartEntry* part);
/// Names slot 0 (the main model), releasing what it held; 0 ok, -1 out of memory.
int SetMainModelName(Model* model, const char* name);
/// Frees the main model and every entry that is not a library file.
void FreeModel(Model* model);
/// Adds colour to UsedColors unless present; 0 ok, -1 out of memory (reported).
int AddUsedColor(Model* model, Diagnostics* diag, int colour);
/// 1 when the comment text of a type 0 line is a heap copy.
int LineOwnsText(const LineEntry* line);

// The line checks.

/// What the line checks need: where they report, up to which level, the colours a line may use
/// and the co-planarity tolerance.
struct LineCheckContext {
    Diagnostics* diag = nullptr;           ///< where faults are reported
    const ColourTable* colours = nullptr;  ///< the colours a line may use
    int reportLimit =
        0;  ///< highest level shown: the warning level, 0 for library files in check mode
    double CosThreshold = 1;  ///< cosine of the co-planarity tolerance
};
/// Sets the checks up for the run: its sink, colours and tolerance (-cpa, check mode).
void InitLineChecks(LineCheckContext* checks, Diagnostics* diag, const ColourTable* colours,
                    const TqSettings* settings);
/// Checks and repairs a parsed line; false when it is to be dropped.
bool CheckLine(const LineCheckContext* checks, LineEntry* line, const char* subName,
               PartEntry* part);
/// 1 for primitives lying in the XZ plane.
int IsXzPart(const char* name);
/// Collinearity measure of three points: 0 when collinear.
float PointsOnLine(const float* a, const float* b, const float* c);
/// Reorders the four points of data so that new 0..3 are old i, j, k, l.
void Resequence(float* data, int i, int j, int k, int l);

// The loader and the reader.

/// Deepest nesting of transform blocks in a file and of references below the main model: deeper
/// input is refused, so that no file can exhaust the stack of the recursive walks.
constexpr int kMaxNesting = 1000;

/// How reading or loading an entry ended; the diagnostic has gone through the sink already.
enum class LoadResult {
    kOk,         ///< read and loaded
    kFailed,     ///< not found, no LDraw text, or memory ran out
    kRecursion,  ///< the entry references itself through its sub-files
    kTooDeep     ///< references or transform blocks nested deeper than kMaxNesting
};

/// What the loader needs from the writer of the scene. The scene writer sits above the loader and
/// registers these (ConnectSceneWriter); a null member does nothing, so that the loader also
/// runs alone (check mode, tests). Each gets the writer it was registered with.
struct LoaderHooks {
    void* writer;  ///< first argument of every hook
    /// 1 when a ready-made model (LGEO, TQRPARTS) replaces the file; its sub-files are then
    /// loaded and counted but not declared.
    int (*HasReadyMadeModel)(void* writer, const char* name);
    /// The box of the POV-Ray solid standing for a primitive, which is then not read; or null.
    const float* (*EquivalentBox)(void* writer, const char* name);
    /// Writes the declaration of an entry whose sub-files are all loaded (and declared).
    void (*Declare)(void* writer, PartEntry* part, int isModel);
    /// Offers a point of the main model to the automatic camera.
    void (*AddCameraPoint)(void* writer, const float* point);
};

/// One load walk over a model: the records it reads and fills, and how deep it stands.
struct Loader {
    const TqSettings* settings = nullptr;  ///< -check, -v, -ee, -c, -l
    TqInputRecord* input = nullptr;        ///< ModelPath, set by LoadModelPre
    Diagnostics* diag = nullptr;           ///< where faults and messages go
    Library* library = nullptr;            ///< finds and opens the files
    const ColourTable* colours = nullptr;  ///< the colours lines may use
    Model* model = nullptr;                ///< the part table being filled
    LoaderHooks hooks = {};                ///< the scene writer's side, or none
    LineCheckContext checks;               ///< the checks of every line
    int loadDepth = 0;                     ///< references being loaded around the current one
    /// Primitive names and whether the library has their 48-sided version (-mesh -q3), each
    /// looked up once.
    std::unordered_map<std::string, bool> highResolution;
    /// Texture images already reported as unusable: each is named once.
    std::unordered_set<std::string> reportedTextures;
};
/// Connects a loader to the records of a run (no hooks).
void InitLoader(Loader* loader, const TqSettings* settings, TqInputRecord* input, Diagnostics* diag,
                Library* library, const ColourTable* colours, Model* model);

/// Reads an opened LDraw file into part (and further entries for FILE sections); closes fp.
/// kOk when read (ModelIncomplete tells whether completely), kFailed when memory for a line ran
/// out, kTooDeep when transform blocks nest too deep (reported).
LoadResult ReadDatFile(Loader* loader, FILE* fp, PartEntry* part, const char* refName,
                       int isMainModel);
/// BFC statement: 0 not BFC, -1 bad (reported), else the option bits.
int ReadBfcLine(Diagnostics* diag, char* meta);
/// Transform block: 0 none or bad, -index for "keyword END", else index with line->Data filled.
int ReadTransformLine(Diagnostics* diag, char* meta, LineEntry* line);
/// Index of "TQR ENDPOV|IFPOV|IFNOTPOV|ELSEPOV", or -1.
int IsIfpovKeyword(const char* meta);
/// Official header: 0 normally, -1 when the line is to be dropped.
int UpdateFromPARTS(Diagnostics* diag, char* meta, PartEntry* part);
/// Puts the possibly quoted file name starting at text into name (kPathSize characters).
void GetExtendedFilename(Diagnostics* diag, const char* text, char* name);

/// The 48-sided version of a primitive ("48/" + name) when the flattened parts ask for it and the
/// library has one: name is rewritten in place (kPathSize characters).
void UseHighResolutionPrimitive(Loader* loader, char* name);
/// Prepares a run for one model; 0 ok, -1 otherwise.
int LoadModelPre(Loader* loader, const char* modelPath);
/// Loads the prepared model; true when it loaded completely.
bool LoadModel(Loader* loader);
/// Loads one entry depth first.
LoadResult LoadPart(Loader* loader, PartEntry* part, int isMainModel, const char* refName,
                    int writeDeclarations);
/// Recomputes part's box from its lines; with feedCamera the points go to the camera.
void CalcPartBBox(Loader* loader, PartEntry* part, int feedCamera);
/// 1 for primitives that hold edge lines only.
int IsLineType2Primitive(const char* name);
/// 1 when a reference keeps the size of what it places (|det| near 1): only such references get
/// a seam, which is measured in the part's own units.
int KeepsSize(const LineEntry* line);
