// The 49 colours that are always known, so that colour options and models work without (or with an
// incomplete) colour file.
#include <cstdlib>
#include <cstring>

#include "TqColor/TqColor.h"
#include "TqDiag/TqDiag.h"
#include "TqLibrary/TqLibrary.h"

namespace {

struct BuiltinColour {
    int Code;
    const char* Name;
    unsigned Value;
    unsigned Edge;
};

// Left column of the classic table (0..28), then the right column (32..503).
constexpr BuiltinColour kBuiltinColours[] = {
    {0, "Black", 0x4D4D4D, 8},
    {1, "Blue", 0x1560F9, 9},
    {2, "Green", 0x1EA03A, 10},
    {3, "DarkCyan_Teal", 0x00A7A0, 11},
    {4, "Red", 0xF7290E, 12},
    {5, "Magenta_DkPink)", 0xA0507F, 13},
    {6, "Brown", 0x90562F, 0},
    {7, "Grey", 0xAEAEAE, 8},
    {8, "DarkGrey", 0x797973, 0},
    {9, "LightBlue", 0x5050FF, 1},
    {10, "LightGreen", 0xDCFF0A, 2},
    {11, "Cyan_Turquoise", 0xA6F2FF, 3},
    {12, "LightRed", 0xFF9A21, 4},
    {13, "Pink", 0xFFA7CF, 5},
    {14, "Yellow", 0xFFE736, 8},
    {15, "White", 0xFFFFFF, 8},
    {17, "MintGreen", 0x66F099, 2},
    {18, "LtYellow", 0xFFFF80, 8},
    {19, "Tan", 0xCCAA66, 6},
    {20, "LtPurple", 0xE0CCF0, 22},
    {21, "GlowDark", 0xE0FFB0, 8},
    {22, "Purple", 0x993399, 20},
    {23, "VioletBlue", 0x4C00CC, 9},
    {25, "Orange", 0xFF6600, 4},
    {26, "DarkPink_Magenta", 0xFF3399, 13},
    {27, "YellowGreen", 0xADDD50, 2},
    {28, "DarkTan", 0xCCAA66, 6},
    {32, "TransBlack", 0x4D4D4D, 0},
    {33, "TransBlue", 0x1560F9, 0},
    {34, "TransGreen", 0x1EA03A, 0},
    {35, "TransDarkCyan", 0x00A7A0, 0},
    {36, "TransRed", 0xF7290E, 0},
    {37, "TransMagenta", 0xA0507F, 0},
    {38, "TransBrown", 0x90562F, 0},
    {39, "TransGrey", 0xAEAEAE, 0},
    {40, "TransDarkGrey", 0x797973, 0},
    {41, "TransLightBlue", 0x5050FF, 0},
    {42, "TransLightGreen", 0xDCFF0A, 0},
    {43, "TransCyan", 0xA6F2FF, 0},
    {44, "TransLightRed", 0xFF9A21, 0},
    {45, "TransPink", 0xFFA7CF, 0},
    {46, "TransYellow", 0xFFE736, 0},
    {47, "TransWhite_Clear", 0xFFFFFF, 0},
    {57, "TransOrange", 0xFF6600, 0},
    {256, "BlackRubber", 0x4D4D4D, 0},
    {375, "GreyRubber", 0xAEAEAE, 0},
    {383, "ChromeSilver", 0xD6D6D6, 0},
    {494, "ElectricalContactsYellow", 0xD6D6D6, 0},
    {503, "Chrome", 0xD6D6D6, 0},
};

constexpr unsigned kFinishChrome = 1;
constexpr unsigned kFinishRubber = 3;

unsigned char BuiltinFlags(int code) {
    // Codes 32..63 are the transparent colours (alpha 128 below); 383, 494 and 503 are chrome, 256
    // and 375 rubber.
    if (code >= 32 && code <= 63) return kColourHasAlpha;
    if (code == 383 || code == 494 || code == 503) return kFinishChrome;
    if (code == 256 || code == 375) return kFinishRubber;
    return 0;
}

}  // namespace

// Run at start-up, so that colour options work without a file, and again after the colour file:
// AddColour keeps a code that is already defined, so the file's definitions win.
void FillInColours(ColourTable* table, Diagnostics* diag) {
    for (const BuiltinColour& b : kBuiltinColours) {
        ColourEntry entry = {};
        entry.Code = b.Code;
        entry.Value = b.Value;
        // Only the classic colours 0..31 carry an edge colour of their own.
        entry.Edge = b.Code <= 31 ? b.Edge : 0;
        entry.Flags = BuiltinFlags(b.Code);
        if (entry.Flags & kColourHasAlpha) entry.Alpha = 128;
        // A colour file may give a built-in name to another code; the built-in colour then
        // yields its name by taking a "_Tq" suffix.
        char name[96];
        strncpy0(name, b.Name, sizeof(name));
        // Bounded so that a name never grows beyond the 79 characters of a word (76 + 3).
        while (FindColourByName(table, name) && strlen(name) <= 76) strcat(name, "_Tq");
        entry.Name = FarStrdup(name);
        if (!entry.Name) return;
        int r = AddColour(table, diag, &entry);
        if (r <= 0) free(entry.Name);  // code already defined (normally by the colour file)
        if (r < 0) return;
    }
}
