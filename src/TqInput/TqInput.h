// The LDraw input side: the in-memory model (the part table with its lines), the LDraw reader
// with its line checks, and the depth-first loader that hands finished entries to whoever
// registered for them (the scene writer).
#pragma once

#include <cstddef>
#include <cstdio>
#include <set>
#include <string_view>
#include <unordered_map>

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
    unsigned char PovMark : 1;       ///< the declaration has a _slope variant
    unsigned char UsesColour16 : 1;  ///< some surface takes the colour of the reference
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

/// Flags of a stored line.
struct LineFlagBits {
    unsigned char UnitDet : 1;    ///< type 1 reference to a part with |det| near 1
    unsigned char IsLight : 1;    ///< light.dat used as a light source
    unsigned char IsStep : 1;     ///< STEP meta line
    unsigned char IsTexture : 1;  ///< TEXTURE meta line
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

/// The part table; slot 0 is the main model. It grows with the model: entries live in chunks
/// that never move, because stored lines point at the entries of their sub-files.
class PartTable {
public:
    /// Entries per chunk; the first chunk is static, so slot 0 always exists.
    static constexpr int kChunkSize = 1024;
    /// The entry of a slot; the slot must have been made available by Grow.
    PartEntry& operator[](int slot) {
        return slot < kChunkSize ? first_[slot] : chunks_[slot / kChunkSize - 1][slot % kChunkSize];
    }
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
    /// Slot 0 is taken by the main model.
    void ClaimSlot0() { freeSlots_.erase(0); }
    /// A slot below nParts whose entry was freed, to be taken again first.
    void ReleaseSlot(int slot);
    /// Frees every entry and forgets every name: the table is empty again.
    void Clear();

private:
    /// Slots 0..kChunkSize-1.
    PartEntry first_[kChunkSize] = {};
    /// Zero-filled chunks after the first. Like the first they live as long as the process: kept
    /// in plain storage, what the entries own stays reachable to the very end.
    PartEntry** chunks_ = nullptr;
    /// Chunks in chunks_.
    int nChunks_ = 0;
    /// Name -> entry: a model references the same few hundred names tens of thousands of times.
    std::unordered_map<std::string_view, PartEntry*> index_;
    /// Entries whose name slot 0 took over (see Index), indexed again when slot 0 lets it go.
    std::unordered_map<std::string_view, PartEntry*> hiddenBySlot0_;
    /// Slots below nParts whose entry was freed.
    std::set<int> freeSlots_;
};
/// The part table.
extern PartTable Parts;
/// Slots in use or ever used.
extern int nParts;
/// Colours used on stored lines, in order of first use.
extern UsedColorEntry* UsedColors;
/// Used entries of UsedColors.
extern int nUsedColors;
/// Allocated entries of UsedColors.
extern int nUsedColorsAlloc;
/// Bit n set = lines of type n are stored; 0x3F.
extern unsigned LineTypeSaveMask;
/// Names that make an entry a stud.
extern const char* const StudPrimitives[];
/// Stud primitives meant only for use inside other primitives.
extern const char* const SpeedPrimitives[];
/// 1 when the normalised name is a speed primitive.
int IsSpeedPrimitive(const char* name);
/// Stores the mask of line types kept in memory.
void SetLineTypeSaveMask(unsigned mask);
/// Title of the main model (at most 99 characters).
extern char ModelTitle[100];
/// Author of the main model (at most 99 characters).
extern char ModelAuthor[100];

/// Entry named exactly name among the first nParts slots, or null.
PartEntry* FindPart(const char* name);
/// Entry for name, created when needed; internal entries live outside the table. Null on failure.
PartEntry* RegisterPart(int internal, const char* name);
/// Appends a copy of line at *tail (advanced); text for type 0. 0 ok, 1 out of memory.
int SaveLine(LineEntry*** tail, const LineEntry* line, const char* text);
/// Releases the lines of part (and the transform blocks they own).
void FreeLines(PartEntry* part);
/// Releases part's name and lines; frees an internal record, clears a table slot.
void FreePart(PartEntry* part);
/// Names slot 0 (the main model), releasing what it held; 0 ok, -1 out of memory.
int SetMainModelName(const char* name);
/// Frees the main model and every entry that is not a library file.
void FreeModel();
/// Adds colour to UsedColors unless present; 0 ok, -1 out of memory.
int AddUsedColor(int colour);
/// 1 when the comment text of a type 0 line is a heap copy.
int LineOwnsText(const LineEntry* line);

// The reader: LDraw files into entries and their lines.

/// Deepest nesting of transform blocks in a file and of references below the main model: deeper
/// input is refused, so that no file can exhaust the stack of the recursive walks.
constexpr int kMaxNesting = 1000;
/// Set when the model could not be loaded completely (memory ran out, nesting too deep), so that
/// the conversion never reports success for it; cleared by LoadModelPre.
extern int ModelIncomplete;

/// Name of the sub-file last parsed (type 1 line or FILE line).
extern char SubPartDatName[kPathSize];
/// Running counter for transform block names.
extern int InternID;

/// Reads an opened LDraw file into part (and further entries for FILE sections); closes fp.
/// 1 when read (ModelIncomplete tells whether completely), 0 when memory for a line ran out, -1
/// when transform blocks nest too deep (reported).
int ReadDatFile(FILE* fp, PartEntry* part, const char* refName, int isMainModel);
/// BFC statement: 0 not BFC, -1 bad (reported), else the option bits.
int ReadBfcLine(char* meta);
/// Transform block: 0 none or bad, -index for "keyword END", else index with line->Data filled.
int ReadTransformLine(char* meta, LineEntry* line);
/// Index of "TQR ENDPOV|IFPOV|IFNOTPOV|ELSEPOV", or -1.
int IsIfpovKeyword(const char* meta);
/// Official header: 0 normally, -1 when the line is to be dropped.
int UpdateFromPARTS(char* meta, PartEntry* part);
/// Puts the possibly quoted file name starting at text into SubPartDatName.
void GetExtendedFilename(const char* text);

// The line checks.

/// Cosine of the co-planarity tolerance, fixed at the first check.
extern double CosThreshold;
/// Forgets CosThreshold so that the next check computes it again (new settings).
void ResetLineChecks();
/// Checks and repairs a parsed line; 1 = drop it.
int CheckLine(LineEntry* line, const char* subName, PartEntry* part);
/// 1 for primitives lying in the XZ plane.
int IsXzPart(const char* name);
/// Collinearity measure of three points: 0 when collinear.
float PointsOnLine(const float* a, const float* b, const float* c);
/// Reorders the four points of data so that new 0..3 are old i, j, k, l.
void Resequence(float* data, int i, int j, int k, int l);

// The loader.

/// What the loader needs from the writer of the scene. The scene writer sits above the loader and
/// registers these (ConnectSceneWriter); a null member does nothing, so that the loader also
/// runs alone (check mode, tests).
struct LoaderHooks {
    /// 1 when a ready-made model (LGEO, TQRPARTS) replaces the file; its sub-files are then
    /// loaded and counted but not declared.
    int (*HasReadyMadeModel)(const char* name);
    /// The box of the POV-Ray solid standing for a primitive, which is then not read; or null.
    const float* (*EquivalentBox)(const char* name);
    /// Writes the declaration of an entry whose sub-files are all loaded (and declared).
    void (*Declare)(PartEntry* part, int isModel);
    /// Offers a point of the main model to the automatic camera.
    void (*AddCameraPoint)(const float* point);
};
/// The hooks in force.
extern LoaderHooks TheLoaderHooks;
/// Hook while loading; no effect here.
void CheckMemoryUsage();

/// Prepares a run for one model; 0 ok, -1 otherwise.
int LoadModelPre(const char* modelPath);
/// Loads the prepared model; 0 ok, -1 on failure.
int LoadModel();
/// Loads one entry depth first; 0 loaded, 1 not found or out of memory, 2 recursion, 3 references
/// or blocks nested too deep.
int LoadPart(PartEntry* part, int isMainModel, const char* refName, int writeDeclarations);
/// Recomputes part's box from its lines; with feedCamera the points go to the camera.
void CalcPartBBox(PartEntry* part, int feedCamera);
/// 1 for primitives that hold edge lines only.
int IsLineType2Primitive(const char* name);
