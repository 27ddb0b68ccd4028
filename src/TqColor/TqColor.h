// The colour table: LDraw colour numbers to RGB and finish attributes, filled from the LDraw
// colour definition file and a built-in list.
#pragma once

#include <cstdio>

/// One defined colour.
struct ColourEntry {
    char* Name;               ///< name as written, owned by the table
    int Code;                 ///< 0..511, unique, the sort key
    unsigned Value;           ///< main colour 0xRRGGBB
    unsigned Edge;            ///< edge colour number 0..511 or direct colour 0x2RRGGBB
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
/// Highest colour number kept in the table.
constexpr int kMaxColourCode = 511;

/// ReadColorValue kinds.
enum ColourValueKind : int {
    kColourValue = 0,  ///< a VALUE: RGB only
    kColourEdge = 1    ///< an EDGE: RGB or a single colour number
};

/// The colour table, sorted by Code.
extern ColourEntry* TqColours;
/// Entries in use.
extern int nTqColours;
/// Entries allocated.
extern int nTqColoursAlloc;
/// Finish names by index, ended by null: OPAQUE, CHROME, PEARLESCENT, RUBBER, MATTE_METALLIC,
/// METAL.
extern const char* const TqColourFinishTags[];

/// Orders entries by Code.
int cmpTqColours(const void* a, const void* b);
/// Entry with that code, or null.
ColourEntry* FindColour(int code);
/// First entry (in code order) whose name equals name ignoring case, or null.
ColourEntry* FindColourByName(const char* name);
/// 0 code already defined, 1 added, 2 added with a name already in use, -1 out of memory.
int AddColour(const ColourEntry* entry);
/// Empties the table.
void FreeColours();
/// Reads a colour file; 0 when it cannot be opened, else 1.
int ReadLdconfig(const char* path);
/// Reads colour lines from an open stream; name is shown in the diagnostics.
void ReadLdconfigStream(FILE* fp, const char* name);
/// Parses the text after the leading "0": 0 not a colour line, 1 filled, -1 fault reported.
int ReadColourLine(char* text, ColourEntry* entry);
/// Parses one colour value: 0 RGB read, 1 single colour number (edge only), -1 fault reported.
int ReadColorValue(char** cursor, int kind, unsigned* result);
/// Adds the built-in colours whose codes are still free.
void FillInColours();
/// Replaces edge numbers that name no defined colour by 0.
void ResolveEdgeColours(const char* path);
/// Writes the table as colour lines (-pc).
void PrintColours(FILE* fp);
/// RGB (0..1) and attributes word of any colour number; 0 ok, -1 unknown (grey).
int Color2rgb(int code, float* rgb, unsigned* attributes);
