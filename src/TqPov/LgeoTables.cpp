// The LGEO element and colour lists: which parts have hand-made LGEO (or Brenholt) models under
// which name, and which LGEO colour stands for an LDraw colour.
#include <climits>
#include <cstdlib>
#include <cstring>

#include "TqColor/TqColor.h"
#include "TqPov/TqPov.h"

LgeoElmt* LgeoElmts = nullptr;
int nLgeoElmts = 0;
int nLgeoElmtsAlloc = 0;
LgeoColr* LgeoColrs = nullptr;
int nLgeoColrs = 0;
int nLgeoColrsAlloc = 0;
const char* const LgeoFilenames[2] = {"lg_elements.lst", "lg_colors.lst"};

namespace {

// Paths of the two lists, kept for the diagnostics that name them.
char LgeoListPaths[2][kPathSize];

// The number a name starts with; names without one all sort first. Once the value reaches 1e12
// it stays, so a long run of digits cannot overflow; such names fall back to the text order.
long long LeadingNumber(const char* s) {
    if (!IsDigit((unsigned char)*s)) return -1;
    long long v = 0;
    for (; IsDigit((unsigned char)*s); s++) {
        if (v < 1000000000000LL) v = v * 10 + (*s - '0');
    }
    return v;
}

// One element with its flag letters: L an LGEO model, S its slope model, B a Brenholt model. An
// entry that cannot be completed is undone, so the table never holds half an element.
bool AppendElement(const char* datName, const char* lgeoName, const char* flagText) {
    if (CheckAlloc(&LgeoElmts, nLgeoElmts, &nLgeoElmtsAlloc, 100, 100)) {
        fprintf(StdErr, "Out of memory for more Lgeo Elmts\n");
        return false;
    }
    LgeoElmt* e = &LgeoElmts[nLgeoElmts];
    e->DatName = FarStrdup(datName);
    e->LgeoName = FarStrdup(lgeoName);
    if (!e->DatName || !e->LgeoName) {
        free(e->DatName);
        free(e->LgeoName);
        fprintf(StdErr, "Out of memory for more Lgeo Elmts\n");
        return false;
    }
    e->Flags = 0;
    e->Source = 0;
    for (const char* c = flagText; *c; c++) {
        if (*c == 'L')
            e->Flags |= kLgeoL;
        else if (*c == 'S')
            e->Flags |= kLgeoSlope;
        else if (*c == 'B')
            e->Flags |= kLgeoB;
        else
            ErrorInInput(0, kWarning, "Unknown flag '%c'", *c);
    }
    nLgeoElmts++;
    return true;
}

bool AppendColour(int code, const char* name) {
    if (CheckAlloc(&LgeoColrs, nLgeoColrs, &nLgeoColrsAlloc, 10, 10)) {
        fprintf(StdErr, "Out of memory for more Lgeo Colrs\n");
        return false;
    }
    LgeoColrs[nLgeoColrs].Code = code;
    LgeoColrs[nLgeoColrs].Name = FarStrdup(name);
    if (!LgeoColrs[nLgeoColrs].Name) {
        fprintf(StdErr, "Out of memory for more Lgeo Colrs\n");
        return false;
    }
    nLgeoColrs++;
    return true;
}

}  // namespace

// Lines starting with '#' or ';' are comments. Only the first three words count: the element list
// needs three (name, model, flags), the colour list two (number, name).
int ReadLgeoListStream(int index, FILE* fp) {
    IInfo.FileName = LgeoListPaths[index];
    IInfo.LineNo = 0;
    int needed = index == 0 ? 3 : 2;
    while (ReadInputLine(fp, 0)) {
        char* cursor = FirstNonBlank(IInfo.Line);
        if (!*cursor || *cursor == '#' || *cursor == ';') continue;
        char words[3][kTokenMax + 1];
        int n = 0;
        while (n < 3 && *GetNextToken(&cursor, 0)) strncpy0(words[n++], Token, sizeof(words[0]));
        if (n < needed) {
            ErrorInInput(0, kSkipping, "Bad line, %d fields expected", needed);
            continue;
        }
        if (index == 0) {
            // The loader's names are in LDraw's normal form; the list's names must match them.
            FixDatName(words[0]);
            if (!AppendElement(words[0], words[1], words[2])) return -1;
            continue;
        }
        // A number beyond int is a bad line, not a colour number wrapped around.
        char* end;
        long code = strtol(words[0], &end, 10);
        if (end == words[0] || code > INT_MAX || code < INT_MIN) {
            ErrorInInput(0, kSkipping, "Bad line, Color number expected");
            continue;
        }
        if (!AppendColour((int)code, words[1])) return -1;
    }
    return 0;
}

// By leading number first, so 973p01 sorts before 3001. The same order sorts the table and guides
// the search in FindLgeoElmt, so it must be total.
int cmpLgeoElmts(const void* a, const void* b) {
    const char* na = static_cast<const LgeoElmt*>(a)->DatName;
    const char* nb = static_cast<const LgeoElmt*>(b)->DatName;
    long long va = LeadingNumber(na), vb = LeadingNumber(nb);
    if (va != vb) return va < vb ? -1 : 1;
    int c = strcmp(na, nb);
    return c < 0 ? -1 : c > 0 ? 1 : 0;
}

FILE* OpenLgeoLst(int index, char* pathBuf) {
    if (snprintf(pathBuf, kPathSize, "%s/%s", TqInput.LgeoDir, LgeoFilenames[index]) >= kPathSize) {
        fprintf(StdErr, "Can't open %s\n", pathBuf);
        return nullptr;
    }
    // fopeni rewrites the letter case of what it tries; report the path as composed.
    char tried[kPathSize];
    strncpy0(tried, pathBuf, sizeof(tried));
    FILE* fp = fopeni(tried, "r");
    if (!fp) {
        fprintf(StdErr, "Can't open %s\n", pathBuf);
        return nullptr;
    }
    strncpy0(pathBuf, tried, kPathSize);
    if (TqPov.Debug) printf("Found %s\n", pathBuf);
    return fp;
}

int ReadLgeoTabs() {
    for (int index = 0; index < 2; index++) {
        FILE* fp = OpenLgeoLst(index, LgeoListPaths[index]);
        if (!fp) return -1;
        int r = ReadLgeoListStream(index, fp);
        fclose(fp);
        if (r != 0) return -1;
    }
    // An element list without elements is as good as missing: -lgeo would do nothing.
    if (nLgeoElmts == 0) return -1;
    qsort(LgeoElmts, (size_t)nLgeoElmts, sizeof(LgeoElmt), cmpLgeoElmts);
    return 0;
}

// The list's names are words without extension, so a name longer than a word cannot be in it and
// the key always fits. The source is chosen again at every lookup: the first of L and B in
// ReplaceOrder that the element has.
LgeoElmt* FindLgeoElmt(const char* name, int wanted) {
    if (nLgeoElmts == 0 || strlen(name) > (size_t)kTokenMax) return nullptr;
    const char* dot = strrchr(name, '.');
    if (!dot) return nullptr;
    char key[kTokenMax + 1];
    strncpy0(key, name, (int)(dot - name) + 1);
    LgeoElmt probe = {};
    probe.DatName = key;
    LgeoElmt* e = static_cast<LgeoElmt*>(
        bsearch(&probe, LgeoElmts, (size_t)nLgeoElmts, sizeof(LgeoElmt), cmpLgeoElmts));
    if (!e) return nullptr;
    e->Source = 0;
    for (const char* letter = TqPov.ReplaceOrder; *letter; letter++) {
        if ((*letter == 'L' && (e->Flags & kLgeoL)) || (*letter == 'B' && (e->Flags & kLgeoB))) {
            e->Source = *letter;
            break;
        }
    }
    if (wanted && wanted != e->Source) return nullptr;
    return e;
}

const char* GetLgeoName(const LgeoElmt* elmt) {
    TextBuffer<kTokenMax + 8>& name = SceneWriter.lgeoName.Clear();
    return name.Add(elmt->Source == 'L' ? "lg_" : "kv_").Add(elmt->LgeoName).c_str();
}

// Searched from the end, so that a later line of the colour list overrides an earlier one.
const char* FindLgeoColr(int colour) {
    for (int i = nLgeoColrs - 1; i >= 0; i--) {
        if (LgeoColrs[i].Code == colour) return LgeoColrs[i].Name;
    }
    return nullptr;
}

// -d: both tables as read, the elements in their sorted order.
void PrintLgeoTabs() {
    printf("%s  %d\n", LgeoFilenames[0], nLgeoElmts);
    for (int i = 0; i < nLgeoElmts; i++) {
        const LgeoElmt* e = &LgeoElmts[i];
        char flags[4] = "";
        int n = 0;
        if (e->Flags & kLgeoL) flags[n++] = 'L';
        if (e->Flags & kLgeoSlope) flags[n++] = 'S';
        if (e->Flags & kLgeoB) flags[n++] = 'B';
        flags[n] = '\0';
        printf("%8s %-8s %-3s\n", e->DatName, e->LgeoName, n ? flags : "-");
    }
    printf("\n%s  %d\n", LgeoFilenames[1], nLgeoColrs);
    for (int i = 0; i < nLgeoColrs; i++)
        printf("%6ld %s\n", (long)LgeoColrs[i].Code, LgeoColrs[i].Name);
    printf("\n");
}

void FreeLgeoTabs() {
    for (int i = 0; i < nLgeoElmts; i++) {
        free(LgeoElmts[i].DatName);
        free(LgeoElmts[i].LgeoName);
    }
    free(LgeoElmts);
    LgeoElmts = nullptr;
    nLgeoElmts = nLgeoElmtsAlloc = 0;
    for (int i = 0; i < nLgeoColrs; i++) free(LgeoColrs[i].Name);
    free(LgeoColrs);
    LgeoColrs = nullptr;
    nLgeoColrs = nLgeoColrsAlloc = 0;
}

// -test -lgeo part.dat: the part as converted from its LDraw lines (L was taken out of the order),
// placed in transparent yellow (46); then the same part from its LGEO model, which the trailer
// places in the default colour.
int PrintPovLgeoTest(FILE* fp) {
    int savedColour = TqPov.DefaultColor;
    TqPov.DefaultColor = 46;
    PrintPovColor(fp, 46);
    PrintPovModel(fp);
    TqPov.DefaultColor = savedColour;
    strncpy0(TqPov.ReplaceOrder, "PL", sizeof(TqPov.ReplaceOrder));
    // The same part once more, now from its LGEO model, under names ending in "_lgeo".
    strncpy0(PovNameSuffix, "_lgeo", sizeof(PovNameSuffix));
    Parts[0].PovState = kPovNotWritten;
    PrintPovPart(fp, &Parts[0], 1);
    return 0;
}
