// The input side: text utilities and diagnostics, part file lookup, the in-memory model, the LDraw
// reader with its line checks, and the depth-first loader.
#pragma once

#include <cstddef>
#include <cstdio>

#include "LDrawIni/LDrawIni.h"
#include "TqMath/TqMath.h"
#include "Tqr/Settings.h"

#define TQ_PRINTF(fmtIndex, argIndex) __attribute__((format(printf, fmtIndex, argIndex)))

// ---------------------------------------------------------------- text utilities

/// Size of the line buffer every LDraw, colour and LGEO reader uses.
constexpr int kLineSize = 1000;
/// Longest word GetNextToken returns.
constexpr int kTokenMax = 79;

/// The current input position that every line reader fills and every diagnostic prints.
struct InputInfo {
    char Line[kLineSize];  ///< the current line, trimmed
    const char* FileName;  ///< name of the file being read, as shown in messages
    unsigned LineNo;       ///< physical line number from 1; 0 before the first line
};
/// The current input position.
extern InputInfo IInfo;
/// The last word returned by GetNextToken.
extern char Token[kTokenMax + 1];
/// Stud primitives meant only for use inside other primitives.
extern const char* const SpeedPrimitives[];

/// GetNextToken flags.
enum TokenFlags : int {
    kTokenFixName = 1,  ///< put the word into FixDatName form
    kTokenPeek = 2      ///< do not move the cursor
};

/// 1 for '0'..'9'.
int IsDigit(int c);
/// 1 for ASCII letters.
int IsAlpha(int c);
/// 1 for a non-empty text of digits only.
int IsNumber(const char* s);
/// 1 for digits, one '.', digits, at least two characters in all.
int IsDecimalNumber(const char* s);
/// 1 for a letter followed by letters, digits or '_'.
int IsIdentifier(const char* s);
/// First character that is neither blank nor tab.
char* FirstNonBlank(const char* s);
/// 1 when s begins with prefix (case-sensitive).
int StrBeginsWith(const char* s, const char* prefix);
/// In place to upper case (ASCII).
char* Tqstrupr(char* s);
/// In place to lower case (ASCII).
char* Tqstrlwr(char* s);
/// Every '\' to '/'.
char* TqFixSlashes(char* s);
/// Normal form of LDraw file names: lower case, '/' separators.
char* FixDatName(char* s);
/// Removes every '/' at the end.
char* DeleteTrailingBackslash(char* s);
/// Removes trailing line ends and 0x1A, and with alsoBlanks blanks and tabs too.
char* TqTrimRight(char* s, int alsoBlanks);
/// Bounded copy that always terminates; size <= 1 gives an empty destination.
char* strncpy0(char* dst, const char* src, int size);
/// Owned copy or null.
char* FarStrdup(const char* s);
/// Index of the first entry equal to s in a null-terminated list, or -1.
int IsInList(const char* s, const char* const* list);
/// Index of the first following argument equal to s (list ends with null), or -1.
int IsInVaList(const char* s, ...);
/// 1 when the normalised name is a speed primitive.
int IsSpeedPrimitive(const char* name);
/// Reads one line accepting LF, CR, CR LF and LF CR; null at end of input or on an error. A line
/// longer than size - 1 characters comes back in pieces.
char* Tqfgets(char* buf, int size, FILE* fp);
/// What TqReadLine saw of one physical line.
struct LineRead {
    size_t length = 0;    ///< characters of the line without its line end, dropped ones included
    bool cut = false;     ///< the line was longer than the buffer; the rest was dropped
    bool hasNul = false;  ///< a NUL byte was read into the buffer (the text ends there)
};
/// Tqfgets for readers that count physical lines: the rest of a line longer than the buffer is
/// read and dropped, so that the next call returns the next line.
char* TqReadLine(char* buf, int size, FILE* fp, LineRead* info);
/// Removes a UTF-8 byte-order mark from the start of a first line.
void SkipUtf8Bom(char* line);
/// What the first block of a file shows it to be.
enum class FileKind {
    kText,         ///< nothing unusual
    kTextWithNul,  ///< text, but a NUL byte in the first block
    kUtf16,        ///< UTF-16 text, with or without byte-order mark
    kBinary        ///< a known binary format (image, archive, executable)
};
/// Looks at the first block of an opened regular file and rewinds it.
FileKind SniffFile(FILE* fp);
/// Opens a regular file for reading; anything else (directory, FIFO, device) is refused with
/// errno EINVAL, without ever blocking on a FIFO.
FILE* OpenRegularFile(const char* path);
/// Next blank-separated word (at most 79 characters) into Token; the cursor moves unless peeking.
char* GetNextToken(char** cursor, int flags);
/// 1 when path is a directory.
int TqIsDir(const char* path);
/// Makes room for one more element of a growable table; 0 ok, 1 out of memory.
int CheckAlloc(void** array, int count, int* capacity, size_t elementSize, int initial,
               int increment);
/// Typed form of CheckAlloc.
template <typename T>
int CheckAlloc(T** array, int count, int* capacity, int initial, int increment) {
    void* p = *array;
    int result = CheckAlloc(&p, count, capacity, sizeof(T), initial, increment);
    *array = static_cast<T*>(p);
    return result;
}
/// Matches a file name against a scanf-like pattern of literals, "%d" and "%[set]" (one or more
/// characters of the set); returns the number of conversions made, as sscanf would. Numbers and
/// the first letter of each set go to the outputs when given; they need room for one entry per
/// "%d" and per "%[set]" of the pattern.
int ScanNamePattern(const char* s, const char* pattern, int* numbers, char* letters);
/// strtof, with a fast exact path for plain decimals.
float ParseFloat(const char* s, char** end);
/// Stores the mask of line types kept in memory.
void SetLineTypeSaveMask(unsigned mask);

// ---------------------------------------------------------------- diagnostics

/// The form of an input diagnostic.
enum InputErrorKind : int {
    kPlain = 0,     ///< no prefix
    kWarning = 1,   ///< "WARNING": the line is kept
    kSkipping = 2,  ///< "SKIPPING": the line is dropped
    kFailure = 3    ///< no prefix, but counted as an error (recursion, nesting too deep)
};
/// Errors (SKIPPING lines and failures) shown so far.
extern int nInputErrors;
/// Warnings (WARNING lines) shown so far.
extern int nInputWarnings;
/// Files looked for and not found so far.
extern int nFilesNotFound;
/// From here on, diagnostics of one file are counted per message instead of printed, when the
/// warning level is below 2 (a library colour file holds dozens of alike notices).
void BeginDiagnosticSummary();
/// Prints one line per kind of message counted since BeginDiagnosticSummary.
void EndDiagnosticSummary(const char* fileName);
/// Message and newline on StdErr (the title is not shown).
void PromptUser(const char* title, const char* format, ...) TQ_PRINTF(2, 3);
/// Input diagnostic on standard output when level <= WarningLevel.
void ErrorInInput(int level, int kind, const char* format, ...) TQ_PRINTF(3, 4);
/// Hook before a reading phase; no effect here.
void ErrorInInputInit();
/// Hook after a reading phase; no effect here.
void ErrorInInputShow();

// ---------------------------------------------------------------- file lookup

/// Full path of the last file tried by OpenDatFile2.
extern char DatPath[kPathSize];
/// Extensions tried for a model name: as given, .ldr, .dat, .mpd.
extern const char* const Extensions[4];
/// The library search record, filled by ReadColours.
extern LDrawIniS* LDrawIni;

/// Files opened or tried so far (for the benchmark).
extern long nFileOpenAttempts;
/// Directories listed so far (for the benchmark).
extern long nDirectoryListings;
/// Called with the path of every file opened for reading through the lookup (benchmark hook).
extern void (*OnFileOpened)(const char* path);
/// Drops the remembered directory listings (a directory the run writes into has changed).
void ForgetDirectoryListings();
/// Rewrites path in place to the letter case found on disk; 1 when it exists.
int FindMatchingPath(char* path, int mustBeDir);
/// FindMatchingPath without the directory requirement; the hook for LDrawIni.
int TqFileCaseCallback(char* path);
/// Opens path trying it as written, name part lower, upper, then matched on disk.
FILE* fopeni(char* path, const char* mode);
/// Tries dir + name (+ extensions for a model) and fills DatPath.
FILE* OpenDatFile2(const char* dir, const char* name, int isModel);
/// Searches the current directory (models) and the search directories; flags of the hit.
FILE* OpenDatFile(const char* name, int isModel, int* flags);
/// DatPath.
const char* GetOpenDatFilePath();
/// Finds the LGEO directory; 1 when one is known.
int InitLgeoDir(const LDrawIniS* ini);

// ---------------------------------------------------------------- model

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
    PartLoadFlags LoadFlags;
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

private:
    PartEntry first_[kChunkSize] = {};
    // Zero-filled chunks after the first. Like the first they live as long as the process: kept
    // in plain storage, what the entries own stays reachable to the very end.
    PartEntry** chunks_ = nullptr;
    int nChunks_ = 0;
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
/// Frees every entry and empties the table and the used colours, for independent runs in one
/// process (tests and fuzzers).
void ClearPartTable();
/// Adds colour to UsedColors unless present; 0 ok, -1 out of memory.
int AddUsedColor(int colour);
/// 1 when the comment text of a type 0 line is a heap copy.
int LineOwnsText(const LineEntry* line);

// ---------------------------------------------------------------- reader

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
/// 1 when read, 0 when memory ran out, -1 when transform blocks nest too deep (reported).
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

// ---------------------------------------------------------------- line checks

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

// ---------------------------------------------------------------- loader

/// Prepares a run for one model; 0 ok, -1 otherwise.
int LoadModelPre(const char* modelPath);
/// Loads the prepared model; 0 ok, -1 on failure.
int LoadModel();
/// Loads one entry depth first; 0 loaded, 1 not found or out of memory, 2 recursion.
int LoadPart(PartEntry* part, int isMainModel, const char* refName, int writeDeclarations);
/// Recomputes part's box from its lines; with feedCamera the points go to the camera.
void CalcPartBBox(PartEntry* part, int feedCamera);
/// 1 for primitives that hold edge lines only.
int IsLineType2Primitive(const char* name);
