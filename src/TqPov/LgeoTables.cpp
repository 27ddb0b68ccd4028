// The LGEO element and colour lists: which parts have hand-made LGEO (or Brenholt) models under
// which name, and which LGEO colour stands for an LDraw colour.
#include <climits>
#include <cstdlib>
#include <cstring>

#include "TqColor/TqColor.h"
#include "TqPov/TqPov.h"

const char* const LgeoFilenames[2] = {"lg_elements.lst", "lg_colors.lst"};

namespace {

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
bool AppendElement(SceneWriter* w, const char* datName, const char* lgeoName,
                   const char* flagText) {
    LgeoTables& t = w->lgeo;
    if (CheckAlloc(&t.LgeoElmts, t.nLgeoElmts, &t.nLgeoElmtsAlloc, 100, 100)) {
        fprintf(w->diag->StdErr, "Out of memory for more Lgeo Elmts\n");
        return false;
    }
    LgeoElmt* e = &t.LgeoElmts[t.nLgeoElmts];
    e->DatName = FarStrdup(datName);
    e->LgeoName = FarStrdup(lgeoName);
    if (!e->DatName || !e->LgeoName) {
        free(e->DatName);
        free(e->LgeoName);
        fprintf(w->diag->StdErr, "Out of memory for more Lgeo Elmts\n");
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
            ErrorInInput(w->diag, 0, kWarning, "Unknown flag '%c'", *c);
    }
    t.nLgeoElmts++;
    return true;
}

bool AppendColour(SceneWriter* w, int code, const char* name) {
    LgeoTables& t = w->lgeo;
    if (CheckAlloc(&t.LgeoColrs, t.nLgeoColrs, &t.nLgeoColrsAlloc, 10, 10)) {
        fprintf(w->diag->StdErr, "Out of memory for more Lgeo Colrs\n");
        return false;
    }
    t.LgeoColrs[t.nLgeoColrs].Code = code;
    t.LgeoColrs[t.nLgeoColrs].Name = FarStrdup(name);
    if (!t.LgeoColrs[t.nLgeoColrs].Name) {
        fprintf(w->diag->StdErr, "Out of memory for more Lgeo Colrs\n");
        return false;
    }
    t.nLgeoColrs++;
    return true;
}

}  // namespace

// Lines starting with '#' or ';' are comments. Only the first three words count: the element list
// needs three (name, model, flags), the colour list two (number, name).
int ReadLgeoListStream(SceneWriter* w, int index, FILE* fp) {
    Diagnostics* diag = w->diag;
    diag->IInfo.FileName = w->lgeo.LgeoListPaths[index];
    diag->IInfo.LineNo = 0;
    int needed = index == 0 ? 3 : 2;
    while (ReadInputLine(diag, fp, 0)) {
        char* cursor = FirstNonBlank(diag->IInfo.Line);
        if (!*cursor || *cursor == '#' || *cursor == ';') continue;
        TokenText words[3];
        int n = 0;
        while (n < 3 && (words[n] = GetNextToken(&cursor, 0)).text[0]) n++;
        if (n < needed) {
            ErrorInInput(diag, 0, kSkipping, "Bad line, %d fields expected", needed);
            continue;
        }
        if (index == 0) {
            // The loader's names are in LDraw's normal form; the list's names must match them.
            FixDatName(words[0].text);
            if (!AppendElement(w, words[0].text, words[1].text, words[2].text)) return -1;
            continue;
        }
        // A number beyond int is a bad line, not a colour number wrapped around.
        char* end;
        long code = strtol(words[0].text, &end, 10);
        if (end == words[0].text || code > INT_MAX || code < INT_MIN) {
            ErrorInInput(diag, 0, kSkipping, "Bad line, Color number expected");
            continue;
        }
        if (!AppendColour(w, (int)code, words[1].text)) return -1;
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

FILE* OpenLgeoLst(SceneWriter* w, int index, char* pathBuf) {
    FILE* messages = w->diag->StdErr;
    if (snprintf(pathBuf, kPathSize, "%s/%s", w->settings->TqInput.LgeoDir, LgeoFilenames[index]) >=
        kPathSize) {
        fprintf(messages, "Can't open %s\n", pathBuf);
        return nullptr;
    }
    // fopeni rewrites the letter case of what it tries; report the path as composed.
    char tried[kPathSize];
    strncpy0(tried, pathBuf, sizeof(tried));
    FILE* fp = fopeni(w->library, tried, "r");
    if (!fp) {
        fprintf(messages, "Can't open %s\n", pathBuf);
        return nullptr;
    }
    strncpy0(pathBuf, tried, kPathSize);
    if (w->pov->Debug) fprintf(w->diag->Out, "Found %s\n", pathBuf);
    return fp;
}

int ReadLgeoTabs(SceneWriter* w) {
    LgeoTables& t = w->lgeo;
    for (int index = 0; index < 2; index++) {
        FILE* fp = OpenLgeoLst(w, index, t.LgeoListPaths[index]);
        if (!fp) return -1;
        int r = ReadLgeoListStream(w, index, fp);
        fclose(fp);
        if (r != 0) return -1;
    }
    // An element list without elements is as good as missing: -lgeo would do nothing.
    if (t.nLgeoElmts == 0) return -1;
    qsort(t.LgeoElmts, (size_t)t.nLgeoElmts, sizeof(LgeoElmt), cmpLgeoElmts);
    return 0;
}

// The list's names are words without extension, so a name longer than a word cannot be in it and
// the key always fits. The source is chosen again at every lookup: the first of L and B in
// ReplaceOrder that the element has.
LgeoElmt* FindLgeoElmt(SceneWriter* w, const char* name, int wanted) {
    const LgeoTables& t = w->lgeo;
    if (t.nLgeoElmts == 0 || strlen(name) > (size_t)kTokenMax) return nullptr;
    const char* dot = strrchr(name, '.');
    if (!dot) return nullptr;
    char key[kTokenMax + 1];
    strncpy0(key, name, (int)(dot - name) + 1);
    LgeoElmt probe = {};
    probe.DatName = key;
    LgeoElmt* e = static_cast<LgeoElmt*>(
        bsearch(&probe, t.LgeoElmts, (size_t)t.nLgeoElmts, sizeof(LgeoElmt), cmpLgeoElmts));
    if (!e) return nullptr;
    e->Source = 0;
    for (const char* letter = w->pov->ReplaceOrder; *letter; letter++) {
        if ((*letter == 'L' && (e->Flags & kLgeoL)) || (*letter == 'B' && (e->Flags & kLgeoB))) {
            e->Source = *letter;
            break;
        }
    }
    if (wanted && wanted != e->Source) return nullptr;
    return e;
}

const char* GetLgeoName(SceneWriter* w, const LgeoElmt* elmt) {
    TextBuffer<kTokenMax + 8>& name = w->lgeoName.Clear();
    return name.Add(elmt->Source == 'L' ? "lg_" : "kv_").Add(elmt->LgeoName).c_str();
}

// Searched from the end, so that a later line of the colour list overrides an earlier one.
const char* FindLgeoColr(const SceneWriter* w, int colour) {
    const LgeoTables& t = w->lgeo;
    for (int i = t.nLgeoColrs - 1; i >= 0; i--) {
        if (t.LgeoColrs[i].Code == colour) return t.LgeoColrs[i].Name;
    }
    return nullptr;
}

// -d: both tables as read, the elements in their sorted order.
void PrintLgeoTabs(SceneWriter* w, FILE* fp) {
    const LgeoTables& t = w->lgeo;
    fprintf(fp, "%s  %d\n", LgeoFilenames[0], t.nLgeoElmts);
    for (int i = 0; i < t.nLgeoElmts; i++) {
        const LgeoElmt* e = &t.LgeoElmts[i];
        char flags[4] = "";
        int n = 0;
        if (e->Flags & kLgeoL) flags[n++] = 'L';
        if (e->Flags & kLgeoSlope) flags[n++] = 'S';
        if (e->Flags & kLgeoB) flags[n++] = 'B';
        flags[n] = '\0';
        fprintf(fp, "%8s %-8s %-3s\n", e->DatName, e->LgeoName, n ? flags : "-");
    }
    fprintf(fp, "\n%s  %d\n", LgeoFilenames[1], t.nLgeoColrs);
    for (int i = 0; i < t.nLgeoColrs; i++)
        fprintf(fp, "%6ld %s\n", (long)t.LgeoColrs[i].Code, t.LgeoColrs[i].Name);
    fprintf(fp, "\n");
}

void FreeLgeoTabs(LgeoTables* t) {
    for (int i = 0; i < t->nLgeoElmts; i++) {
        free(t->LgeoElmts[i].DatName);
        free(t->LgeoElmts[i].LgeoName);
    }
    free(t->LgeoElmts);
    t->LgeoElmts = nullptr;
    t->nLgeoElmts = t->nLgeoElmtsAlloc = 0;
    for (int i = 0; i < t->nLgeoColrs; i++) free(t->LgeoColrs[i].Name);
    free(t->LgeoColrs);
    t->LgeoColrs = nullptr;
    t->nLgeoColrs = t->nLgeoColrsAlloc = 0;
}

// -test -lgeo part.dat: the part as converted from its LDraw lines (L was taken out of the order),
// placed in transparent yellow (46); then the same part from its LGEO model, which the trailer
// places in the default colour.
int PrintPovLgeoTest(SceneWriter* w, FILE* fp) {
    TqPovRecord* pov = w->pov;
    int savedColour = pov->DefaultColor;
    pov->DefaultColor = 46;
    PrintPovColor(w, fp, 46);
    PrintPovModel(w, fp);
    pov->DefaultColor = savedColour;
    strncpy0(pov->ReplaceOrder, "PL", sizeof(pov->ReplaceOrder));
    // The same part once more, now from its LGEO model, under names ending in "_lgeo".
    strncpy0(w->PovNameSuffix, "_lgeo", sizeof(w->PovNameSuffix));
    PartEntry* model = &w->model->Parts[0];
    model->PovState = kPovNotWritten;
    PrintPovPart(w, fp, model, 1);
    return 0;
}
