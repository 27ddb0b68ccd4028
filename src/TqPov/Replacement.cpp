// Declarations from ready-made models: POV-Ray equivalents of primitives, TQRPARTS include files
// and LGEO or Brenholt part models.
#include <cstring>

#include "TqPov/TqPov.h"

// Closes every object made from an LGEO model: from LGEO's coordinates into LDraw's.
const char MatrixLgeo2LDraw[] = "\ttransform TqLgeoToLDraw\n";

namespace {

// Matches "// TQRDATA: <keyword> " the way scanf would: every blank of the pattern stands for any
// run of white space, including none, and the line must start with the "//" itself. Returns the
// text after the keyword and its blanks.
const char* TqrDataArgument(const char* line, const char* keyword) {
    const char* s = line;
    if (strncmp(s, "//", 2) != 0) return nullptr;
    s = SkipWhiteSpace(s + 2);
    if (strncmp(s, "TQRDATA:", 8) != 0) return nullptr;
    s = SkipWhiteSpace(s + 8);
    size_t n = strlen(keyword);
    if (strncmp(s, keyword, n) != 0) return nullptr;
    return SkipWhiteSpace(s + n);
}

// The word that "%s" would read, cut to fit word.
void ReadWord(const char* s, char* word, size_t size) {
    size_t n = 0;
    while (*s && !IsWhiteSpace((unsigned char)*s) && n + 1 < size) word[n++] = *s++;
    word[n] = '\0';
}

}  // namespace

// TQRPARTS mirrors the library's names with the extension .inc, sub-directories included
// (s/3001s01.dat is TQRPARTS/s/3001s01.inc). Only .dat and .ldr names have one; ".inc" then takes
// the place of an extension of the same length, so the copy stays within the path.
FILE* FindTqrPart(Library* lib, const char* name) {
    const LDrawIniS* ini = lib->LDrawIni;
    if (!ini || !ini->LDrawDir) return nullptr;
    char path[kPathSize];
    if (snprintf(path, sizeof(path), "%s/TQRPARTS/%s", ini->LDrawDir, name) >= (int)sizeof(path))
        return nullptr;
    char* dot = strrchr(path, '.');
    if (!dot || (strcmp(dot, ".dat") != 0 && strcmp(dot, ".ldr") != 0)) return nullptr;
    strncpy0(dot, ".inc", (int)(path + sizeof(path) - dot));
    return fopeni(lib, path, "rb");
}

namespace {

// Acts on one data line of a TQRPARTS file named (n characters, then "inc") like name; false
// when the file is of a version too new to be used.
bool HandleTqrDataLine(SceneWriter* w, FILE* fp, const char* line, const char* name, int n) {
    FILE* messages = w->diag->StdErr;
    // Version 1.4 is the newest format this converter reads; a newer file is not used, and the
    // part falls through to the next source.
    if (const char* s = TqrDataArgument(line, "version")) {
        int major, minor;
        if (ScanInt(&s, &major) && *s == '.' && (s++, ScanInt(&s, &minor)) &&
            (major > 1 || (major == 1 && minor > 4))) {
            fprintf(messages, "*** Version %d.%d of TQRPARTS/%*.*sinc too new for this TQR\n",
                    major, minor, n, n, name);
            return false;
        }
    } else if (const char* f = TqrDataArgument(line, "flag")) {
        char word[200];
        ReadWord(f, word, sizeof(word));
        if (!word[0]) return true;
        if (strcmp(word, "slope") == 0)
            fprintf(messages, "*** Obsolete TQRDATA flag '%s' in TQRPARTS/%*.*sinc\n", word, n, n,
                    name);
        else
            fprintf(messages, "*** Unknown TQRDATA flag '%s' in TQRPARTS/%*.*sinc\n", word, n, n,
                    name);
    } else if (const char* u = TqrDataArgument(line, "uses")) {
        char used[200];
        ReadWord(u, used, sizeof(used));
        if (!used[0]) return true;
        FixDatName(used);
        PartEntry* entry = FindPart(w->model, used);
        if (!entry || !entry->LoadFlags.Loaded) {
            fprintf(messages, "*** Unknown part in TQRDATA uses '%s' in TQRPARTS/%*.*sinc\n", used,
                    n, n, name);
        } else if (entry->PovState == kPovNotWritten) {
            PrintPovPart(w, fp, entry, 0);  // what the file uses is declared before it
            FreeLines(entry);
        }
    }
    return true;
}

}  // namespace

int PrintPovPartTqrPart(SceneWriter* w, FILE* fp, PartEntry* part, int isModel) {
    FILE* inc = FindTqrPart(w->library, part->DatName);
    if (!inc) return 0;
    const char* name = part->DatName;
    int n = (int)strlen(name) - 3;  // the name without "dat" or "ldr"; "inc" follows
    if (n < 0) n = 0;
    char line[200];
    LineRead read;
    // Only data lines matter here; the rest of a longer line of POV-Ray code is dropped, so that
    // it never passes for a data line of its own.
    while (TqReadLine(line, sizeof(line), inc, &read)) {
        if (!HandleTqrDataLine(w, fp, line, name, n)) {
            fclose(inc);
            return 0;
        }
    }
    fclose(inc);
    // The file is included, not copied, as the part's name with .inc; POV-Ray finds it on its
    // library path. Counted only now: a file too new for us counts for nothing.
    if (part->LoadFlags.IsPart) w->nPovTqrFromPARTS++;
    if (part->LoadFlags.IsPrimitive) w->nPovTqrFromP++;
    PrintPovPartXxtro(w, fp, part, isModel, kIntro);
    PrintPovPartFirstLineComment(fp, part);
    fprintf(fp, "\t#include \"%*.*sinc\"  // From TQRPARTS\n", n, n, SceneSafe(name).c_str());
    return 1;
}

// With -lgeo a primitive whose LGEO counterpart is known gets that, turned into LDraw's
// coordinates, instead of the POV-Ray solid.
int PrintPovPartPovEquiv(SceneWriter* w, FILE* fp, PartEntry* part, int isModel) {
    const PovEquivEntry* equiv = FindPovEquiv(part->DatName, &w->dynEquiv);
    if (!equiv) return 0;
    part->PovState = kPovEquiv;
    PrintPovPartXxtro(w, fp, part, isModel, kIntro);
    fprintf(fp, "#declare %s = ", PovName(w, part->DatName));
    const char* lgeo = strchr(w->pov->ReplaceOrder, 'L') ? FindLgeoEquiv(equiv->Name) : nullptr;
    if (lgeo) {
        w->nPovLgeoFromP++;
        fprintf(fp, "object {\n\t%s\n%s}\n", lgeo, MatrixLgeo2LDraw);
    } else {
        w->nPovEquivFromP++;
        fprintf(fp, "%s\n", equiv->Text);
    }
    return 1;
}

int PrintPovPartLgeo(SceneWriter* w, FILE* fp, PartEntry* part, int isModel, int source) {
    const LgeoElmt* element = FindLgeoElmt(w, part->DatName, source);
    bool isPart = part->LoadFlags.IsPart;
    if (!element) {
        // The parts LGEO lacks are listed, so that the user knows which ones are converted.
        if (source == 'L' && isPart)
            fprintf(w->diag->Out, "Not in LGEO: %s %s\n", part->DatName,
                    GetDatComment(part->FirstLine));
        return 0;
    }
    if (isPart) (source == 'L' ? w->nPovLgeoFromPARTS : w->nPovKvFromPARTS)++;
    char lgName[kTokenMax + 8], id[160];
    strncpy0(lgName, GetLgeoName(w, element), sizeof(lgName));
    strncpy0(id, PovName(w, part->DatName), sizeof(id));
    PrintPovPartXxtro(w, fp, part, isModel, kIntro);
    // The element's model is loaded only above quality 0, and only once per scene.
    fprintf(fp, "#if (TqQuality > 0)\n\t#ifndef (%s)\n", lgName);
    PrintPovIncludeLgeo(fp, 2, lgName);
    fputs("\t#end\n#end\n", fp);
    int variants = source == 'L' ? 2 : 1;  // LGEO also has a "_clear" model for transparent colours
    for (int i = 0; i < variants; i++) {
        fprintf(fp, "#declare %s%s = ", id, ClearSuffix(i));
        if (isPart) {
            fprintf(fp, "#if (TqQuality = 0) box { %s,", PovGGG(w, part->BBox));
            fprintf(fp, " %s } #else ", PovGGG(w, part->BBox + 3));
        }
        fputs("object {\n", fp);
        PrintPovPartFirstLineComment(fp, part);
        fprintf(fp, "\t%s%s\n%s}\n", lgName, ClearSuffix(i), MatrixLgeo2LDraw);
        if (isPart) fputs("#end\n", fp);
    }
    // A slope model becomes a second declaration, "_slope", that the parts placing this one add
    // above quality 0; PovMark tells them.
    if (source == 'L' && (element->Flags & kLgeoSlope)) {
        part->AttrFlags.PovMark = 1;
        fprintf(fp, "#if (TqQuality > 0)\n#declare %s_slope = object {\n", id);
        PrintPovPartFirstLineComment(fp, part);
        fprintf(fp, "\t%s_slope\n%s}\n#end\n", lgName, MatrixLgeo2LDraw);
    }
    return 1;
}
