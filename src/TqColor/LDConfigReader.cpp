// Reader of the LDraw colour definition file: one "0 !COLOUR" line per colour.
#include <cstdlib>
#include <cstring>

#include "TqColor/TqColor.h"
#include "TqDiag/TqDiag.h"
#include "TqLibrary/TqLibrary.h"

// Faults in the user's colour file are shown from warning level 1 on (and in check mode), so that
// a library whose colour file holds codes this program cannot use does not clutter every run.
static constexpr int kColourFaultLevel = 1;

static int ValueFault(Diagnostics* diag, int kind, const char* text) {
    ErrorInInput(diag, kColourFaultLevel, kSkipping, "%s: %s",
                 kind == kColourEdge ? "EDGE" : "VALUE", text);
    return -1;
}

static int HexDigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

static int ReadHexValue(Diagnostics* diag, const char* digits, int kind, unsigned* result) {
    if (strlen(digits) != 6) return ValueFault(diag, kind, "Six hex digits RRGGBB expected");
    unsigned v = 0;
    // Every digit is checked: a typing slip such as #12ZZ56 would otherwise end the value at the
    // first letter and give a near-black colour without a word.
    for (int i = 0; i < 6; i++) {
        int digit = HexDigitValue(digits[i]);
        if (digit < 0) return ValueFault(diag, kind, "Six hex digits RRGGBB expected");
        v = v * 16 + (unsigned)digit;
    }
    *result = v;
    return 0;
}

static int ReadDecimalRgb(Diagnostics* diag, char** cursor, const TokenText& first, int kind,
                          unsigned* result) {
    unsigned rgb = 0;
    for (int i = 0; i < 3; i++) {
        // The first of the three values is the word ReadColorValue has already taken.
        TokenText word = i == 0 ? first : GetNextToken(cursor, 0);
        const char* tok = word.text;
        if (!IsDecimalNumber(tok)) return ValueFault(diag, kind, "Bad floating point color value");
        double v = strtod(tok, nullptr);
        if (v < 0 || v > 1) return ValueFault(diag, kind, "Color value out of range [0..1]");
        // Truncated, not rounded: 1.0 gives 255, 0.5 gives 127.
        rgb = rgb * 256 + (unsigned)(v * 255);
    }
    *result = rgb;
    return 0;
}

int ReadColorValue(Diagnostics* diag, char** cursor, int kind, unsigned* result) {
    // The forms of a value: #RRGGBB, 0xRRGGBB, three decimals 0..1 ("0.5 0.5 1.0"), three integers
    // 0..255, and for EDGE also a single colour number.
    const TokenText first = GetNextToken(cursor, 0);
    const char* token = first.text;
    if (token[0] == '#') return ReadHexValue(diag, token + 1, kind, result);
    if (token[0] == '0' && (token[1] == 'x' || token[1] == 'X'))
        return ReadHexValue(diag, token + 2, kind, result);
    if (IsDecimalNumber(token)) return ReadDecimalRgb(diag, cursor, first, kind, result);
    unsigned long numbers[3];
    int n = 0;
    while (n < 3) {
        // The first word is already taken; later ones are only taken when they are numbers.
        TokenText word = n == 0 ? first : GetNextToken(cursor, kTokenPeek);
        const char* tok = word.text;
        if (!IsNumber(tok)) {
            if (n == 0) return ValueFault(diag, kind, "Color value expected");
            if (n == 1 && kind == kColourEdge) {
                // Clamped before narrowing: a huge number must stay huge and fail the range check
                // of the caller, not wrap round to a small colour number.
                *result = (unsigned)(numbers[0] > 0xFFFFFFFFul ? 0xFFFFFFFFul : numbers[0]);
                return 1;
            }
            return ValueFault(diag, kind, "Error in color value");
        }
        numbers[n++] = strtoul(tok, nullptr, 10);
        if (n > 1) GetNextToken(cursor, 0);
    }
    for (int i = 0; i < 3; i++) {
        if (numbers[i] > 255) return ValueFault(diag, kind, "Color value out of range [0..255]");
    }
    *result = (unsigned)(numbers[0] * 65536 + numbers[1] * 256 + numbers[2]);
    return 0;
}

static int LineFault(Diagnostics* diag, const char* message) {
    ErrorInInput(diag, kColourFaultLevel, kSkipping, "%s", message);
    return -1;
}

// Keywords may be written in any letter case; the word is compared in lower case.
static bool NextKeywordIs(char** cursor, const char* keyword) {
    TokenText word = GetNextToken(cursor, 0);
    return strcmp(Tqstrlwr(word.text), keyword) == 0;
}

// ALPHA or LUMINANCE followed by 0..255; 0 when the keyword is absent, 1 read, -1 fault.
static int ReadOptionalByte(Diagnostics* diag, char** cursor, const char* keyword, const char* name,
                            unsigned char* value) {
    // Peeked, so that a line without the keyword loses nothing. ALPHA is looked for before
    // LUMINANCE, so they are read only in that order.
    TokenText word = GetNextToken(cursor, kTokenPeek);
    if (strcmp(Tqstrlwr(word.text), keyword) != 0) return 0;
    GetNextToken(cursor, 0);
    word = GetNextToken(cursor, 0);
    char message[64];
    if (!IsNumber(word.text)) {
        snprintf(message, sizeof(message), "%s value expected", name);
        return LineFault(diag, message);
    }
    unsigned long v = strtoul(word.text, nullptr, 10);
    if (v > 255) {
        snprintf(message, sizeof(message), "%s value out of range [0..255]", name);
        return LineFault(diag, message);
    }
    *value = (unsigned char)v;
    return 1;
}

// A number after a MATERIAL keyword, at least low; false when it is none.
static bool ReadMaterialNumber(char** cursor, double low, double* value) {
    TokenText word = GetNextToken(cursor, 0);
    char* end;
    double v = strtod(word.text, &end);
    if (end == word.text || *end || !(v >= low) || v > 1e6) return false;
    *value = v;
    return true;
}

// "GLITTER|SPECKLE VALUE #RRGGBB [ALPHA a] [LUMINANCE l] FRACTION f [VFRACTION vf] (SIZE s |
// MINSIZE m MAXSIZE n)" in any order after the kind. Other kinds of material are passed over
// without a word, as before; a glitter or speckle that cannot be read is reported and the colour
// stays plain.
static void ReadMaterial(Diagnostics* diag, char** cursor, ColourMaterial* material) {
    TokenText kind = GetNextToken(cursor, 0);
    Tqstrupr(kind.text);
    ColourMaterial m;
    m.kind = strcmp(kind.text, "GLITTER") == 0   ? ColourMaterial::kGlitter
             : strcmp(kind.text, "SPECKLE") == 0 ? ColourMaterial::kSpeckle
                                                 : ColourMaterial::kNone;
    if (m.kind == ColourMaterial::kNone) return;
    bool ok = true, valueSeen = false;
    for (TokenText word = GetNextToken(cursor, 0); ok && word.text[0];
         word = GetNextToken(cursor, 0)) {
        Tqstrupr(word.text);
        double v = 0;
        const char* key = word.text;
        if (strcmp(key, "VALUE") == 0) {
            ok = valueSeen = ReadColorValue(diag, cursor, kColourValue, &m.value) == 0;
        } else if (strcmp(key, "ALPHA") == 0 || strcmp(key, "LUMINANCE") == 0) {
            ok = ReadMaterialNumber(cursor, 0, &v) && v <= 255;
            (key[0] == 'A' ? m.alpha : m.luminance) = (int)v;
        } else if (strcmp(key, "FRACTION") == 0 || strcmp(key, "VFRACTION") == 0) {
            ok = ReadMaterialNumber(cursor, 0, &v) && v <= 1;
            (key[0] == 'F' ? m.fraction : m.vfraction) = v;
        } else if (strcmp(key, "SIZE") == 0) {
            ok = ReadMaterialNumber(cursor, 0, &m.minSize);
            m.maxSize = m.minSize;
        } else if (strcmp(key, "MINSIZE") == 0 || strcmp(key, "MAXSIZE") == 0) {
            ok = ReadMaterialNumber(cursor, 0, key[1] == 'I' ? &m.minSize : &m.maxSize);
        } else {
            ok = false;
        }
    }
    // Without a size the flecks get the one most of the colour file gives.
    if (m.minSize == 0 && m.maxSize == 0) m.minSize = m.maxSize = 1;
    if (ok && valueSeen && m.maxSize > 0 && m.minSize <= m.maxSize) {
        if (material) *material = m;
        return;
    }
    ErrorInInput(diag, kColourFaultLevel, kWarning,
                 "Bad %s material; the colour is drawn without its flecks", kind.text);
}

static void ReadFinishTags(Diagnostics* diag, char** cursor, ColourEntry* entry,
                           ColourMaterial* material) {
    for (;;) {
        TokenText word = GetNextToken(cursor, 0);
        char* tok = word.text;
        if (!*tok) return;
        Tqstrupr(tok);
        // The rest of the line describes the material's flecks.
        if (strcmp(tok, "MATERIAL") == 0) {
            ReadMaterial(diag, cursor, material);
            return;
        }
        int finish = IsInList(tok, TqColourFinishTags + 1);
        if (finish < 0) {
            ErrorInInput(diag, kColourFaultLevel, kWarning, "Unknown tag \"%s\"", tok);
            return;
        }
        if (entry->Flags & kColourFinishMask)
            ErrorInInput(diag, kColourFaultLevel, kWarning, "Finish-tag already met");
        else
            entry->Flags |= (unsigned char)(finish + 1);
    }
}

int ReadColourLine(Diagnostics* diag, char* text, ColourEntry* entry, ColourMaterial* material) {
    memset(entry, 0, sizeof(*entry));
    char* cursor = text;
    // "!COLOUR" itself is matched exactly, in capitals; any other comment line is no colour line
    // and is passed over without a word.
    if (strcmp(GetNextToken(&cursor, 0).text, "!COLOUR") != 0) return 0;
    TokenText word = GetNextToken(&cursor, 0);
    if (!word.text[0]) return LineFault(diag, "Color name expected");
    if (!IsIdentifier(word.text)) return LineFault(diag, "Illegal color name");
    entry->Name = FarStrdup(word.text);
    if (!entry->Name) return LineFault(diag, "Out of memory for color name");
    if (!NextKeywordIs(&cursor, "code")) return LineFault(diag, "CODE expected");
    word = GetNextToken(&cursor, 0);
    char* end;
    long code = strtol(word.text, &end, 10);
    if (end == word.text) return LineFault(diag, "Color code expected");
    if (code < 0 || code > kMaxColourCode)
        return LineFault(diag, "Color code out of range [0..33554431]");
    // 16 and 24 are LDraw's placeholders for the current colour and the edge colour.
    if (code == 16 || code == 24) return LineFault(diag, "Illegal color code");
    entry->Code = (int)code;
    if (!NextKeywordIs(&cursor, "value")) return LineFault(diag, "VALUE expected");
    if (ReadColorValue(diag, &cursor, kColourValue, &entry->Value) < 0) return -1;
    if (!NextKeywordIs(&cursor, "edge")) return LineFault(diag, "EDGE expected");
    int edgeForm = ReadColorValue(diag, &cursor, kColourEdge, &entry->Edge);
    if (edgeForm < 0) return -1;
    if (edgeForm == 1 && entry->Edge > (unsigned)kMaxColourCode)
        return LineFault(diag, "Edge color code out of range [0..33554431]");
    // An edge given as RGB becomes the direct colour 0x2RRGGBB, so that Edge is always a colour
    // number.
    if (edgeForm == 0) entry->Edge += kDirectColourBase;
    int r = ReadOptionalByte(diag, &cursor, "alpha", "ALPHA", &entry->Alpha);
    if (r < 0) return -1;
    if (r > 0) entry->Flags |= kColourHasAlpha;
    r = ReadOptionalByte(diag, &cursor, "luminance", "LUMINANCE", &entry->Luminance);
    if (r < 0) return -1;
    if (r > 0) entry->Flags |= kColourHasLuminance;
    ReadFinishTags(diag, &cursor, entry, material);
    return 1;
}

int ReadLdconfig(ColourTable* table, Library* lib, const char* path) {
    // A private copy: fopeni rewrites the path in place to the spelling it found on disk.
    char openPath[kPathSize];
    if (strlen(path) >= sizeof(openPath)) return 0;
    strncpy0(openPath, path, sizeof(openPath));
    FILE* fp = fopeni(lib, openPath, "r");
    if (!fp) return 0;
    Diagnostics* diag = lib->diag;
    BeginDiagnosticSummary(diag);
    ReadLdconfigStream(table, diag, fp, path);
    EndDiagnosticSummary(diag, path);
    fclose(fp);
    return 1;
}

void ReadLdconfigStream(ColourTable* table, Diagnostics* diag, FILE* fp, const char* name) {
    diag->IInfo.FileName = name;
    diag->IInfo.LineNo = 0;
    while (ReadInputLine(diag, fp, kColourFaultLevel)) {
        char* s = FirstNonBlank(diag->IInfo.Line);
        if (!*s) continue;
        // A colour file holds only "0" lines; a line of any other type is a fault, and a bare "0"
        // is passed over.
        if (*s != '0') {
            ErrorInInput(diag, kColourFaultLevel, kSkipping, "Bad line");
            continue;
        }
        s++;
        if (!*s) continue;
        if (*s != ' ' && *s != '\t')
            ErrorInInput(diag, 3, kWarning, "Comment lines should have space after 0");
        ColourEntry entry;
        ColourMaterial material;
        int r = ReadColourLine(diag, FirstNonBlank(s), &entry, &material);
        if (r == 0) continue;
        if (r < 0) {
            free(entry.Name);
            continue;
        }
        entry.Flags |= kColourFromFile;
        // A code defined twice keeps its first definition.
        r = AddColour(table, diag, &entry);
        if (r < 0) {
            free(entry.Name);
            break;
        }
        if (r > 0 && material.kind != ColourMaterial::kNone)
            table->Materials[entry.Code] = material;
        if (r == 0) {
            free(entry.Name);
            ErrorInInput(diag, kColourFaultLevel, kSkipping, "Colour code already defined");
        } else if (r == 2) {
            ErrorInInput(diag, kColourFaultLevel, kWarning, "Colour name already used");
        }
    }
}
