// Reader of the LDraw colour definition file: one "0 !COLOUR" line per colour.
#include <cstdlib>
#include <cstring>

#include "TqColor/TqColor.h"
#include "TqDiag/TqDiag.h"
#include "TqLibrary/TqLibrary.h"

// Faults in the user's colour file are shown from warning level 1 on (and in check mode), so that
// a library whose colour file holds codes this program cannot use does not clutter every run.
static constexpr int kColourFaultLevel = 1;

static int ValueFault(int kind, const char* text) {
    ErrorInInput(kColourFaultLevel, kSkipping, "%s: %s", kind == kColourEdge ? "EDGE" : "VALUE",
                 text);
    return -1;
}

static int HexDigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

static int ReadHexValue(const char* digits, int kind, unsigned* result) {
    if (strlen(digits) != 6) return ValueFault(kind, "Six hex digits RRGGBB expected");
    unsigned v = 0;
    // Every digit is checked: a typing slip such as #12ZZ56 would otherwise end the value at the
    // first letter and give a near-black colour without a word.
    for (int i = 0; i < 6; i++) {
        int digit = HexDigitValue(digits[i]);
        if (digit < 0) return ValueFault(kind, "Six hex digits RRGGBB expected");
        v = v * 16 + (unsigned)digit;
    }
    *result = v;
    return 0;
}

static int ReadDecimalRgb(char** cursor, int kind, unsigned* result) {
    unsigned rgb = 0;
    for (int i = 0; i < 3; i++) {
        // The first of the three values is the word ReadColorValue has already taken.
        const char* tok = i == 0 ? Token : GetNextToken(cursor, 0);
        if (!IsDecimalNumber(tok)) return ValueFault(kind, "Bad floating point color value");
        double v = strtod(tok, nullptr);
        if (v < 0 || v > 1) return ValueFault(kind, "Color value out of range [0..1]");
        // Truncated, not rounded: 1.0 gives 255, 0.5 gives 127.
        rgb = rgb * 256 + (unsigned)(v * 255);
    }
    *result = rgb;
    return 0;
}

int ReadColorValue(char** cursor, int kind, unsigned* result) {
    // The forms of a value: #RRGGBB, 0xRRGGBB, three decimals 0..1 ("0.5 0.5 1.0"), three integers
    // 0..255, and for EDGE also a single colour number.
    GetNextToken(cursor, 0);
    if (Token[0] == '#') return ReadHexValue(Token + 1, kind, result);
    if (Token[0] == '0' && (Token[1] == 'x' || Token[1] == 'X'))
        return ReadHexValue(Token + 2, kind, result);
    if (IsDecimalNumber(Token)) return ReadDecimalRgb(cursor, kind, result);
    unsigned long numbers[3];
    int n = 0;
    while (n < 3) {
        // The first word is already taken; later ones are only taken when they are numbers.
        const char* tok = n == 0 ? Token : GetNextToken(cursor, kTokenPeek);
        if (!IsNumber(tok)) {
            if (n == 0) return ValueFault(kind, "Color value expected");
            if (n == 1 && kind == kColourEdge) {
                // Clamped before narrowing: a huge number must stay huge and fail the range check
                // of the caller, not wrap round to a small colour number.
                *result = (unsigned)(numbers[0] > 0xFFFFFFFFul ? 0xFFFFFFFFul : numbers[0]);
                return 1;
            }
            return ValueFault(kind, "Error in color value");
        }
        numbers[n++] = strtoul(tok, nullptr, 10);
        if (n > 1) GetNextToken(cursor, 0);
    }
    for (int i = 0; i < 3; i++) {
        if (numbers[i] > 255) return ValueFault(kind, "Color value out of range [0..255]");
    }
    *result = (unsigned)(numbers[0] * 65536 + numbers[1] * 256 + numbers[2]);
    return 0;
}

static int LineFault(const char* message) {
    ErrorInInput(kColourFaultLevel, kSkipping, "%s", message);
    return -1;
}

// Keywords may be written in any letter case; the word is compared in lower case.
static bool NextKeywordIs(char** cursor, const char* keyword) {
    return strcmp(Tqstrlwr(GetNextToken(cursor, 0)), keyword) == 0;
}

// ALPHA or LUMINANCE followed by 0..255; 0 when the keyword is absent, 1 read, -1 fault.
static int ReadOptionalByte(char** cursor, const char* keyword, const char* name,
                            unsigned char* value) {
    // Peeked, so that a line without the keyword loses nothing. ALPHA is looked for before
    // LUMINANCE, so they are read only in that order.
    GetNextToken(cursor, kTokenPeek);
    if (strcmp(Tqstrlwr(Token), keyword) != 0) return 0;
    GetNextToken(cursor, 0);
    GetNextToken(cursor, 0);
    char message[64];
    if (!IsNumber(Token)) {
        snprintf(message, sizeof(message), "%s value expected", name);
        return LineFault(message);
    }
    unsigned long v = strtoul(Token, nullptr, 10);
    if (v > 255) {
        snprintf(message, sizeof(message), "%s value out of range [0..255]", name);
        return LineFault(message);
    }
    *value = (unsigned char)v;
    return 1;
}

static void ReadFinishTags(char** cursor, ColourEntry* entry) {
    for (;;) {
        char* tok = GetNextToken(cursor, 0);
        if (!*tok) return;
        Tqstrupr(tok);
        // The parameters that follow MATERIAL describe glitter and speckle; they are not used.
        if (strcmp(tok, "MATERIAL") == 0) return;
        int finish = IsInList(tok, TqColourFinishTags + 1);
        if (finish < 0) {
            ErrorInInput(kColourFaultLevel, kWarning, "Unknown tag \"%s\"", tok);
            return;
        }
        if (entry->Flags & kColourFinishMask)
            ErrorInInput(kColourFaultLevel, kWarning, "Finish-tag already met");
        else
            entry->Flags |= (unsigned char)(finish + 1);
    }
}

int ReadColourLine(char* text, ColourEntry* entry) {
    memset(entry, 0, sizeof(*entry));
    char* cursor = text;
    // "!COLOUR" itself is matched exactly, in capitals; any other comment line is no colour line
    // and is passed over without a word.
    if (strcmp(GetNextToken(&cursor, 0), "!COLOUR") != 0) return 0;
    GetNextToken(&cursor, 0);
    if (!Token[0]) return LineFault("Color name expected");
    if (!IsIdentifier(Token)) return LineFault("Illegal color name");
    entry->Name = FarStrdup(Token);
    if (!entry->Name) return LineFault("Out of memory for color name");
    if (!NextKeywordIs(&cursor, "code")) return LineFault("CODE expected");
    GetNextToken(&cursor, 0);
    char* end;
    long code = strtol(Token, &end, 10);
    if (end == Token) return LineFault("Color code expected");
    if (code < 0 || code > kMaxColourCode) return LineFault("Color code out of range [0..511]");
    // 16 and 24 are LDraw's placeholders for the current colour and the edge colour.
    if (code == 16 || code == 24) return LineFault("Illegal color code");
    entry->Code = (int)code;
    if (!NextKeywordIs(&cursor, "value")) return LineFault("VALUE expected");
    if (ReadColorValue(&cursor, kColourValue, &entry->Value) < 0) return -1;
    if (!NextKeywordIs(&cursor, "edge")) return LineFault("EDGE expected");
    int edgeForm = ReadColorValue(&cursor, kColourEdge, &entry->Edge);
    if (edgeForm < 0) return -1;
    if (edgeForm == 1 && entry->Edge > (unsigned)kMaxColourCode)
        return LineFault("Edge color code out of range [0..511]");
    // An edge given as RGB becomes the direct colour 0x2RRGGBB, so that Edge is always a colour
    // number.
    if (edgeForm == 0) entry->Edge += kDirectColourBase;
    int r = ReadOptionalByte(&cursor, "alpha", "ALPHA", &entry->Alpha);
    if (r < 0) return -1;
    if (r > 0) entry->Flags |= kColourHasAlpha;
    r = ReadOptionalByte(&cursor, "luminance", "LUMINANCE", &entry->Luminance);
    if (r < 0) return -1;
    if (r > 0) entry->Flags |= kColourHasLuminance;
    ReadFinishTags(&cursor, entry);
    return 1;
}

int ReadLdconfig(const char* path) {
    // A private copy: fopeni rewrites the path in place to the spelling it found on disk.
    char openPath[kPathSize];
    if (strlen(path) >= sizeof(openPath)) return 0;
    strncpy0(openPath, path, sizeof(openPath));
    FILE* fp = fopeni(openPath, "r");
    if (!fp) return 0;
    BeginDiagnosticSummary();
    ReadLdconfigStream(fp, path);
    EndDiagnosticSummary(path);
    fclose(fp);
    return 1;
}

void ReadLdconfigStream(FILE* fp, const char* name) {
    IInfo.FileName = name;
    IInfo.LineNo = 0;
    while (ReadInputLine(fp, kColourFaultLevel)) {
        char* s = FirstNonBlank(IInfo.Line);
        if (!*s) continue;
        // A colour file holds only "0" lines; a line of any other type is a fault, and a bare "0"
        // is passed over.
        if (*s != '0') {
            ErrorInInput(kColourFaultLevel, kSkipping, "Bad line");
            continue;
        }
        s++;
        if (!*s) continue;
        if (*s != ' ' && *s != '\t')
            ErrorInInput(3, kWarning, "Comment lines should have space after 0");
        ColourEntry entry;
        int r = ReadColourLine(FirstNonBlank(s), &entry);
        if (r == 0) continue;
        if (r < 0) {
            free(entry.Name);
            continue;
        }
        entry.Flags |= kColourFromFile;
        // A code defined twice keeps its first definition.
        r = AddColour(&entry);
        if (r < 0) {
            free(entry.Name);
            break;
        }
        if (r == 0) {
            free(entry.Name);
            ErrorInInput(kColourFaultLevel, kSkipping, "Colour code already defined");
        } else if (r == 2) {
            ErrorInInput(kColourFaultLevel, kWarning, "Colour name already used");
        }
    }
}
