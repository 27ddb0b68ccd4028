// The colour table: LDraw colour numbers to RGB and finish attributes, filled from the LDraw
// colour definition file and a built-in list.
#pragma once

#include <cstdio>
#include <map>

#include "TqDiag/TqDiag.h"
#include "TqLibrary/TqLibrary.h"

/// One defined colour.
struct ColourEntry {
    char* Name;               ///< name as written, owned by the table
    int Code;                 ///< 0..kMaxColourCode, unique, the sort key
    unsigned Value;           ///< main colour 0xRRGGBB
    unsigned Edge;            ///< edge colour number 0..kMaxColourCode or direct colour 0x2RRGGBB
    unsigned char Alpha;      ///< opacity 0..255, 0 when not given
    unsigned char Luminance;  ///< 0..255, 0 when not given
    unsigned char Flags;      ///< finish index (bits 0-2) and the kColour* bits
};

/// Finish index bits of ColourEntry::Flags and of the attributes word.
constexpr unsigned kColourFinishMask = 0x07;
/// An ALPHA value was read.
constexpr unsigned kColourHasAlpha = 0x08;
/// A LUMINANCE value was read.
constexpr unsigned kColourHasLuminance = 0x10;
/// Defined by the colour file (built-in entries lack it).
constexpr unsigned kColourFromFile = 0x20;
/// First direct colour number (0x2RRGGBB).
constexpr int kDirectColourBase = 0x2000000;
/// Highest colour number kept in the table: every number below the direct colours. Today's colour
/// files define codes far above the 0..511 of old (10375 Trans_Black, the 100xx rubbers).
constexpr int kMaxColourCode = kDirectColourBase - 1;
/// Highest colour number of the old dithered range (256..511, when not defined).
constexpr int kMaxDitheredCode = 511;

/// ReadColorValue kinds.
enum ColourValueKind : int {
    kColourValue = 0,  ///< a VALUE: RGB only
    kColourEdge = 1    ///< an EDGE: RGB or a single colour number
};

/// The flecks a colour file's MATERIAL gives a colour: glitter (sparkling, in transparent
/// colours also inside) or speckle.
struct ColourMaterial {
    enum Kind { kNone, kGlitter, kSpeckle } kind = kNone;
    unsigned value = 0;       ///< the flecks' colour 0xRRGGBB
    int alpha = -1;           ///< their opacity 0..255, -1 when not given
    int luminance = -1;       ///< their glow 0..255, -1 when not given
    double fraction = 0;      ///< share of the surface they cover
    double vfraction = 0;     ///< share of the volume (glitter)
    double minSize = 0;       ///< fleck size in LDU, smallest ...
    double maxSize = 0;       ///< ... and largest (SIZE gives both)
};

struct ColourTable;
/// Empties the table.
void FreeColours(ColourTable* table);

/// The colour table of a run: the colour file's colours and the built-in ones, sorted by Code.
struct ColourTable {
    ColourEntry* TqColours = nullptr;  ///< the entries, sorted by Code
    int nTqColours = 0;                ///< entries in use
    int nTqColoursAlloc = 0;           ///< entries allocated
    std::map<int, ColourMaterial> Materials;  ///< the glitter and speckle colours, by code

    ColourTable() = default;
    ~ColourTable() { FreeColours(this); }
    ColourTable(const ColourTable&) = delete;
    ColourTable& operator=(const ColourTable&) = delete;
};
/// Finish names by index, ended by null: OPAQUE, CHROME, PEARLESCENT, RUBBER, MATTE_METALLIC,
/// METAL.
extern const char* const TqColourFinishTags[];

/// Orders entries by Code.
int cmpTqColours(const void* a, const void* b);
/// Entry with that code, or null.
ColourEntry* FindColour(const ColourTable* table, int code);
/// First entry (in code order) whose name equals name ignoring case, or null.
ColourEntry* FindColourByName(const ColourTable* table, const char* name);
/// 0 code already defined, 1 added, 2 added with a name already in use, -1 out of memory
/// (reported).
int AddColour(ColourTable* table, Diagnostics* diag, const ColourEntry* entry);
/// Reads a colour file found through the library's lookup; 0 when it cannot be opened, else 1.
int ReadLdconfig(ColourTable* table, Library* lib, const char* path);
/// Reads colour lines from an open stream; name is shown in the diagnostics.
void ReadLdconfigStream(ColourTable* table, Diagnostics* diag, FILE* fp, const char* name);
/// Parses the text after the leading "0": 0 not a colour line, 1 filled, -1 fault reported. The
/// flecks of a MATERIAL go to *material when given.
int ReadColourLine(Diagnostics* diag, char* text, ColourEntry* entry,
                   ColourMaterial* material = nullptr);
/// The glitter or speckle material of a colour, or null.
const ColourMaterial* FindMaterial(const ColourTable* table, int code);
/// Parses one colour value: 0 RGB read, 1 single colour number (edge only), -1 fault reported.
int ReadColorValue(Diagnostics* diag, char** cursor, int kind, unsigned* result);
/// Adds the built-in colours whose codes are still free.
void FillInColours(ColourTable* table, Diagnostics* diag);
/// Replaces edge numbers that name no defined colour by 0.
void ResolveEdgeColours(ColourTable* table, Diagnostics* diag, const char* path);
/// Writes the table as colour lines (-pc).
void PrintColours(const ColourTable* table, FILE* fp);
/// RGB (0..1) and attributes word of any colour number; 0 ok, -1 unknown (grey).
int Color2rgb(const ColourTable* table, int code, float* rgb, unsigned* attributes);
