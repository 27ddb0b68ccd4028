// The sorted colour table, its lookups, the -pc listing and colour number to RGB.
#include <strings.h>

#include <climits>
#include <cstdlib>
#include <cstring>

#include "TqColor/TqColor.h"
#include "TqDiag/TqDiag.h"

// Index 0 is the plain finish: a colour without a finish tag keeps the finish bits 0, and the other
// tags are numbered from 1 in the order they are listed here.
const char* const TqColourFinishTags[] = {"OPAQUE",         "CHROME", "PEARLESCENT", "RUBBER",
                                          "MATTE_METALLIC", "METAL",  nullptr};

int cmpTqColours(const void* a, const void* b) {
    int ca = static_cast<const ColourEntry*>(a)->Code,
        cb = static_cast<const ColourEntry*>(b)->Code;
    return ca < cb ? -1 : ca > cb ? 1 : 0;
}

// Index of the first entry whose code is not below code.
static int LowerBound(const ColourTable* table, int code) {
    int lo = 0, hi = table->nTqColours;
    while (lo < hi) {
        int mid = (lo + hi) / 2;
        if (table->TqColours[mid].Code < code)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

ColourEntry* FindColour(const ColourTable* table, int code) {
    // Direct colours (0x2000000 and up) and negative numbers are never in the table.
    if (code < 0 || code > kMaxColourCode) return nullptr;
    int i = LowerBound(table, code);
    return i < table->nTqColours && table->TqColours[i].Code == code ? &table->TqColours[i]
                                                                     : nullptr;
}

ColourEntry* FindColourByName(const ColourTable* table, const char* name) {
    for (int i = 0; i < table->nTqColours; i++) {
        ColourEntry* e = &table->TqColours[i];
        if (e->Name && strcasecmp(e->Name, name) == 0) return e;
    }
    return nullptr;
}

int AddColour(ColourTable* table, Diagnostics* diag, const ColourEntry* entry) {
    if (FindColour(table, entry->Code)) return 0;
    if (CheckAlloc(&table->TqColours, table->nTqColours, &table->nTqColoursAlloc, 50, 10)) {
        PromptUser(diag, "Error during input", "Out of memory for more !COLOUR");
        return -1;
    }
    // A name used twice is allowed (and reported by the caller); only the code must be new.
    bool nameUsed = entry->Name && FindColourByName(table, entry->Name) != nullptr;
    // Inserting at its place keeps the table sorted by code, as a sort after appending would.
    int at = LowerBound(table, entry->Code);
    ColourEntry* colours = table->TqColours;
    memmove(&colours[at + 1], &colours[at], (size_t)(table->nTqColours - at) * sizeof(ColourEntry));
    colours[at] = *entry;
    table->nTqColours++;
    return nameUsed ? 2 : 1;
}

void FreeColours(ColourTable* table) {
    for (int i = 0; i < table->nTqColours; i++) free(table->TqColours[i].Name);
    free(table->TqColours);
    table->TqColours = nullptr;
    table->nTqColours = table->nTqColoursAlloc = 0;
    table->Materials.clear();
}

const ColourMaterial* FindMaterial(const ColourTable* table, int code) {
    auto found = table->Materials.find(code);
    return found == table->Materials.end() ? nullptr : &found->second;
}

void ResolveEdgeColours(ColourTable* table, Diagnostics* diag, const char* path) {
    for (int i = 0; i < table->nTqColours; i++) {
        ColourEntry* e = &table->TqColours[i];
        // Only after the whole file and the built-in colours are in can an edge number be judged: a
        // colour may name an edge colour defined further down. Direct edge colours need no entry.
        if (e->Edge <= (unsigned)kMaxColourCode && !FindColour(table, (int)e->Edge)) {
            // Shown at every warning level: a broken edge reference is worth knowing about.
            ErrorInInput(diag, INT_MIN, kPlain,
                         "WARNING \"%s\": Cannot find edge color (%d) for color %d, using 0", path,
                         (int)e->Edge, e->Code);
            e->Edge = 0;
        }
    }
}

void PrintColours(const ColourTable* table, FILE* fp) {
    for (int i = 0; i < table->nTqColours; i++) {
        const ColourEntry* e = &table->TqColours[i];
        // In the colour file's own line form; a '*' after the name marks a built-in colour, and
        // names are padded so that the codes line up.
        int pad = 18 - (int)strlen(e->Name);
        fprintf(fp, "0 !COLOUR %s%c%*s CODE %3d VALUE #%06lX EDGE ", e->Name,
                (e->Flags & kColourFromFile) ? ' ' : '*', pad > 0 ? pad : 0, "", e->Code,
                (unsigned long)e->Value);
        if (e->Edge <= (unsigned)kMaxColourCode)
            fprintf(fp, "%7ld", (long)e->Edge);
        else
            fprintf(fp, "#%06lX", (unsigned long)(e->Edge & 0xFFFFFF));
        if (e->Flags & kColourHasAlpha) fprintf(fp, " ALPHA %3d", e->Alpha);
        if (e->Flags & kColourHasLuminance) fprintf(fp, " LUMINANCE %3d", e->Luminance);
        if (e->Flags & kColourFinishMask)
            fprintf(fp, " %s", TqColourFinishTags[e->Flags & kColourFinishMask]);
        fputc('\n', fp);
    }
}

static void SetRgb(float* rgb, double r, double g, double b) {
    if (!rgb) return;
    rgb[0] = (float)r;
    rgb[1] = (float)g;
    rgb[2] = (float)b;
}

// One channel of 0xRRGGBB (Byte) or of a 12-bit 0xRGB colour (Nibble) as a double, ready to be
// scaled to 0..1.
static double Byte(unsigned value, int shift) {
    return (value >> shift) & 0xFF;
}
static double Nibble(unsigned value, int shift) {
    return (value >> shift) & 0xF;
}

// A colour number of the table's range: a defined colour, or an old dithered one (256..511)
// mixed from two of the first sixteen. False when it is neither.
static bool TableColour(const ColourTable* table, int code, float* rgb, unsigned* attributes) {
    if (const ColourEntry* e = FindColour(table, code)) {
        SetRgb(rgb, Byte(e->Value, 16) / 255, Byte(e->Value, 8) / 255, Byte(e->Value, 0) / 255);
        // The attributes word: Flags in bits 0-7, ALPHA in bits 8-15, LUMINANCE in bits 16-23.
        if (attributes)
            *attributes = e->Flags | (unsigned)e->Alpha << 8 | (unsigned)e->Luminance << 16;
        return true;
    }
    // Codes 256..511 that are not defined are the dithered colours of old LDraw: 256 + 16 * a + b,
    // the mean of colours a and b (0..15). When either is missing the colour stays the grey set by
    // Color2rgb, but still counts as known. Higher codes are known only when defined.
    if (code < 256 || code > kMaxDitheredCode) return false;
    const ColourEntry* a = FindColour(table, code & 15);
    const ColourEntry* b = FindColour(table, (code >> 4) & 15);
    if (a && b) {
        SetRgb(rgb, (Byte(a->Value, 16) + Byte(b->Value, 16)) / 510,
               (Byte(a->Value, 8) + Byte(b->Value, 8)) / 510,
               (Byte(a->Value, 0) + Byte(b->Value, 0)) / 510);
    }
    return true;
}

// A direct colour: the top byte gives the form, the rest the colour itself. 0x3RRGGBB,
// 0x5RGBxxx and 0x6xxxRGB are transparent (alpha 128).
static int DirectColour(unsigned v, float* rgb, unsigned* attributes) {
    unsigned form = v >> 24;
    switch (form) {
        case 2:
        case 3:
            SetRgb(rgb, Byte(v, 16) / 255, Byte(v, 8) / 255, Byte(v, 0) / 255);
            break;
        case 4:  // dithered from two 12-bit colours
            SetRgb(rgb, (Nibble(v, 20) + Nibble(v, 8)) / 30, (Nibble(v, 16) + Nibble(v, 4)) / 30,
                   (Nibble(v, 12) + Nibble(v, 0)) / 30);
            break;
        case 5:
            SetRgb(rgb, Nibble(v, 20) / 15, Nibble(v, 16) / 15, Nibble(v, 12) / 15);
            break;
        case 6:
            SetRgb(rgb, Nibble(v, 8) / 15, Nibble(v, 4) / 15, Nibble(v, 0) / 15);
            break;
        // 0x7xxxxxx draws black.
        case 7:
            SetRgb(rgb, 0, 0, 0);
            break;
        default:
            return -1;
    }
    // Alpha 128 in bits 8-15 together with the kColourHasAlpha bit (0x08).
    if (attributes && (form == 3 || form == 5 || form == 6)) *attributes = 0x8008;
    return 0;
}

int Color2rgb(const ColourTable* table, int code, float* rgb, unsigned* attributes) {
    // Grey and no attributes unless the code turns out to be known; callers that only ask whether a
    // code is known pass null pointers.
    SetRgb(rgb, 0.5, 0.5, 0.5);
    if (attributes) *attributes = 0;
    if (code >= 0 && code <= kMaxColourCode && TableColour(table, code, rgb, attributes)) return 0;
    if (code < 0) return -1;
    return DirectColour((unsigned)code, rgb, attributes);
}
