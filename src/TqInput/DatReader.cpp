// The LDraw file reader: line types 0 to 5, meta commands, multi-part sections, back-face culling
// statements and transform blocks, with every line checked and stored in the part table.
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "TqColor/TqColor.h"
#include "TqInput/TexMap.h"
#include "TqInput/TqInput.h"

namespace {

// Bit n of a BFC statement's options is keyword n of this list.
const char* const BfcKeywords[] = {"CERTIFY", "NOCERTIFY", "CLIP",       "NOCLIP",
                                   "CW",      "CCW",       "INVERTNEXT", nullptr};
enum BfcOption : int {
    kCertify = 0x01,
    kNoCertify = 0x02,
    kClip = 0x04,
    kNoClip = 0x08,
    kCw = 0x10,
    kCcw = 0x20,
    kInvertNext = 0x40
};
// Index 0 is empty so that the keywords count from 1 and 0 means no block; kTransformNumbers holds
// how many numbers each keyword takes.
const char* const TransformKeywords[] = {"", "TRANSLATE", "ROTATE", "SCALE", "TRANSFORM", nullptr};
const int kTransformNumbers[] = {0, 3, 4, 1, 12};
const char* const IfPovKws[] = {"ENDPOV", "IFPOV", "IFNOTPOV", "ELSEPOV", nullptr};
const char* const MetaTextures[] = {"END", "SLOPE", nullptr};
// Items a line of each type converts: type, colour and the coordinates, for type 1 the file name as
// well. Type 5 has four points: the two ends of the line and two control points.
const int nArgumentsExpected[] = {0, 15, 8, 11, 14, 14};

// Reading state of one file: the current section, block and back-face culling state.
struct ReaderState {
    Loader* loader;
    Diagnostics* diag;  // the loader's, used on almost every line
    Model* model;
    FILE* fp;
    PartEntry* file;      // the entry ReadDatFile was called for
    const char* refName;  // the referencing file, for notices
    bool isMainModel;
    bool ldrawSeen = false;
    bool firstFileMet = false;
    int blockDepth = 0;  // transform blocks open around the current line
    // Per section.
    PartEntry* cur;
    LineEntry** tail;
    LineEntry* lastStored = nullptr;  // the record *tail follows, while it is known
    int openKeyword = 0;
    bool operationalSeen = false;
    bool certifyMet = false, noCertifyMet = false, certified = false;
    bool invertNextPending = false;
    int openTexture = 0;
    bool categoryMet = false;
    char category[40] = "";
    TexMapState tex;  // the printed-part textures around the current line
};

LineEntry** EndOfLines(PartEntry* part) {
    LineEntry** tail = &part->FirstLine;
    while (*tail) tail = &(*tail)->Next;
    return tail;
}

void StartSection(ReaderState* st, PartEntry* entry) {
    st->cur = entry;
    st->tail = EndOfLines(entry);
    st->lastStored = nullptr;
    st->openKeyword = 0;
    st->operationalSeen = false;
    st->certifyMet = st->noCertifyMet = st->certified = false;
    st->invertNextPending = false;
    st->openTexture = 0;
    st->categoryMet = false;
    st->category[0] = '\0';
    EndTextures(&st->tex);
}

// "%d %li %f x12%n %s": returns the number of items converted; *rest is the position after the
// twelfth number.
int ParseLinePattern(const char* s, int* type, int* colour, float* numbers, const char** rest) {
    char* end;
    errno = 0;
    // The type is clamped rather than wrapped, so that an absurd type is reported as unknown
    // instead of passing for a valid one. A colour outside the int range makes the line invalid.
    long t = strtol(s, &end, 10);
    if (end == s) return 0;
    *type = t > INT_MAX ? INT_MAX : t < INT_MIN ? INT_MIN : (int)t;
    s = end;
    errno = 0;
    long c = strtol(s, &end, 0);  // decimal, 0x hexadecimal, 0 octal
    if (end == s || errno == ERANGE || c > INT_MAX || c < INT_MIN) return 1;
    *colour = (int)c;
    s = end;
    int count = 2;
    for (int i = 0; i < 12; i++) {
        if (!ScanFloat(&s, &numbers[i])) return count;
        count++;
    }
    *rest = s;
    return *SkipWhiteSpace(s) ? count + 1 : count;
}

const char* TransformName(int keyword) {
    return keyword > 0 && keyword < 5 ? TransformKeywords[keyword] : "";
}

void FillMatrixFromNumbers(float* m, const float* n) {
    // x y z a b c d e f g h i -> rows (a b c x), (d e f y), (g h i z), (0 0 0 1).
    const int at[12] = {3, 7, 11, 0, 1, 2, 4, 5, 6, 8, 9, 10};
    for (int i = 0; i < 12; i++) m[at[i]] = n[i];
    m[12] = m[13] = m[14] = 0;
    m[15] = 1;
}

// Back-face culling rules per section. NOCERTIFY must come before any operational line and any
// other BFC statement, and no BFC statement counts after it. CERTIFY must also come before the
// first operational line, unless an earlier statement certified the section implicitly. Any other
// statement (CLIP, NOCLIP, CW, CCW, INVERTNEXT) certifies implicitly when it comes first, and is
// ignored after operational lines of an uncertified section. Returns false when the line is to be
// dropped.
bool HandleBfc(ReaderState* st, int options, bool* isInvertNext) {
    *isInvertNext = false;
    if (st->noCertifyMet) {
        ErrorInInput(st->diag, 0, kSkipping, "BFC NOCERTIFY already met");
        return false;
    }
    if (options & kNoCertify) {
        if (st->certifyMet) {
            ErrorInInput(st->diag, 0, kSkipping, "BFC CERTIFY already met");
            return false;
        }
        if (st->certified) {
            ErrorInInput(st->diag, 0, kSkipping, "Already BFC certified implicitly");
            return false;
        }
        if (st->operationalSeen) {
            ErrorInInput(st->diag, 0, kSkipping,
                         "BFC NOCERTIFY must appear before the first operational command-line");
            return false;
        }
        st->noCertifyMet = true;
        st->certified = false;
        return true;
    }
    if (options & kCertify) {
        if (st->certifyMet)
            ErrorInInput(st->diag, 0, kWarning, "BFC CERTIFY already met");
        else if (st->certified)
            ErrorInInput(st->diag, 0, kWarning, "Already BFC certified implicitly");
        if (!st->certified && st->operationalSeen) {
            ErrorInInput(st->diag, 0, kSkipping,
                         "BFC CERTIFY must appear before the first operational command-line");
            return false;
        }
        st->certifyMet = st->certified = true;
    }
    if (options & (kClip | kNoClip | kCw | kCcw | kInvertNext)) {
        if (!st->certified && st->operationalSeen) {
            ErrorInInput(
                st->diag, 0, kSkipping,
                "This BFC is ignored because no BFC appeared before the first operational command-line");
            return false;
        }
        st->certified = true;
        if (options & kInvertNext) *isInvertNext = true;
    }
    return true;
}

// A renamed library file is left behind as a stub titled "~Moved to <new name>". It still works,
// but the user is told, with the line of the model or the file that referenced it, so that the
// model can be brought up to date.
void ReportMovedTo(const ReaderState* st, const char* meta) {
    const InputInfo& at = st->diag->IInfo;
    if (st->isMainModel) {
        ErrorInInput(st->diag, 0, kPlain, "NOTABENE \"%s\" Line %u: %s", at.FileName, at.LineNo,
                     at.Line);
    } else {
        ErrorInInput(st->diag, 0, kPlain, "NOTABENE \"%s\" referenced by \"%s\": %s", at.FileName,
                     st->refName ? st->refName : "", meta + 1);
    }
}

// The title is the first plain comment of the main model; "Author:" is taken wherever it stands.
// Lines of this program's own meta commands (TQR) and ROTATION lines are never taken for the title.
void TakeTitleOrAuthor(ReaderState* st, const char* meta) {
    Model* model = st->model;
    bool check = st->loader->settings->DoCheck;
    if (StrBeginsWith(meta, "Author:")) {
        if (!model->ModelAuthor[0]) {
            strncpy0(model->ModelAuthor, FirstNonBlank(meta + 7), sizeof(model->ModelAuthor));
            if (check) ErrorInInput(st->diag, 0, kPlain, "%s", st->diag->IInfo.Line);
        }
        return;
    }
    if (model->ModelTitle[0] || StrBeginsWith(meta, "TQR ") || StrBeginsWith(meta, "ROTATION ") ||
        strstr(meta, "Z-Edivu")) {
        return;
    }
    strncpy0(model->ModelTitle, meta, sizeof(model->ModelTitle));
    if (check) ErrorInInput(st->diag, 0, kPlain, "%s", st->diag->IInfo.Line);
}

// The plain meta commands of a type 0 line; false when the line is to be dropped.
bool HandleMeta(ReaderState* st, char* meta, LineEntry* line) {
    st->ldrawSeen = true;
    if (StrBeginsWith(meta, "~Moved to ")) ReportMovedTo(st, meta);
    // TQR blocks and STEP are recognised here once; the writer goes by the line's flags.
    int povBlock = IsIfpovKeyword(meta);
    if (povBlock >= 0) {
        ErrorInInput(st->diag, 0, kWarning, "This keyword is deprecated");
        line->LineFlags.PovBlock = (unsigned char)(povBlock + 1);
    }
    // The header line tells parts from primitives; a contradicting second one is dropped.
    if (UpdateFromPARTS(st->diag, meta, st->cur) < 0) return false;
    char* cursor = meta;
    const TokenText word = GetNextToken(&cursor, 0);
    const char* keyword = word.text;
    if (strcmp(keyword, "STEP") == 0) {
        line->LineFlags.IsStep = 1;
        EndTextures(&st->tex);
    } else if (strcmp(keyword, "CATEGORY") == 0) {
        if (st->categoryMet) {
            ErrorInInput(st->diag, 0, kSkipping, "Already met CATEGORY %s", st->category);
            return false;
        }
        st->categoryMet = true;
        strncpy0(st->category, FirstNonBlank(cursor), sizeof(st->category));
    } else if (strcmp(keyword, "TEXTURE") == 0) {
        // TEXTURE SLOPE ... TEXTURE END: the index in MetaTextures goes into the line's Colour
        // field.
        const TokenText name = GetNextToken(&cursor, 0);
        int texture = name.text[0] ? IsInList(name.text, MetaTextures) : 0;
        if (texture < 0) {
            ErrorInInput(st->diag, 0, kSkipping, "Unknown TEXTURE %s", name.text);
            return false;
        }
        line->LineFlags.IsTexture = 1;
        line->Colour = texture;
        st->openTexture = texture;
    } else if (st->isMainModel) {
        TakeTitleOrAuthor(st, meta);
    }
    return true;
}

bool OutOfMemory(ReaderState* st) {
    PromptUser(st->diag, "Error during input", "Out of memory in \"%s\" line %u",
               st->diag->IInfo.FileName, st->diag->IInfo.LineNo);
    fclose(st->fp);
    st->model->ModelIncomplete = 1;
    return false;
}

// Opens a transform block: a generated reference to a new internal entry that collects the lines
// up to its END. Returns false when memory ran out.
bool OpenTransformBlock(ReaderState* st, int keyword, const float* matrix) {
    // Unique in the run: the generated name is also the block's name in the scene.
    char name[32];
    snprintf(name, sizeof(name), "TqTransf%d", st->model->InternID++);
    PartEntry* block = RegisterPart(st->model, st->diag, 1, name);
    if (!block) {
        st->model->ModelIncomplete = 1;  // the block's placement is lost
        return true;                     // its lines stay in the current entry
    }
    LineEntry reference = {};
    reference.Type = 1;
    // Colour 16: the block's lines take the colour of wherever the block is used, like any
    // sub-file.
    reference.Colour = 16;
    memcpy(reference.Data, matrix, sizeof(reference.Data));
    reference.Part = block;
    if (!SaveLine(&st->tail, &reference, nullptr)) {
        FreePart(&st->model->Parts, block);
        return OutOfMemory(st);
    }
    // The block remembers where reading stood, so that its END resumes there.
    InternalPartEntry* internal = reinterpret_cast<InternalPartEntry*>(block);
    internal->SavedKeyword = st->openKeyword;
    internal->SavedTail = st->tail;
    internal->Parent = st->cur;
    st->cur = block;
    st->tail = &block->FirstLine;
    st->lastStored = nullptr;
    st->openKeyword = keyword;
    st->blockDepth++;
    return true;
}

// Closes the innermost block; the caller has checked that one is open.
void CloseTransformBlock(ReaderState* st) {
    InternalPartEntry* internal = reinterpret_cast<InternalPartEntry*>(st->cur);
    st->cur->LoadFlags.Read = 1;
    st->openKeyword = internal->SavedKeyword;
    st->tail = internal->SavedTail;
    st->lastStored = nullptr;
    st->cur = internal->Parent;
    st->blockDepth--;
}

// Closes what is still open at the end of a section (end of file or a later FILE line).
void EndSection(ReaderState* st, bool atEndOfFile) {
    if (st->cur->LoadFlags.Read) return;
    // Blocks left open are closed with a warning, so that their lines are still placed; an open
    // TEXTURE is only reported.
    while (st->cur->AttrFlags.Internal) {
        if (atEndOfFile)
            ErrorInInput(st->diag, 0, kPlain, "WARNING \"%s\": End-Of-File, %s END expected",
                         st->diag->IInfo.FileName, TransformName(st->openKeyword));
        else
            ErrorInInput(st->diag, 0, kWarning, "%s END expected", TransformName(st->openKeyword));
        CloseTransformBlock(st);
    }
    if (st->openTexture) {
        if (atEndOfFile)
            ErrorInInput(st->diag, 0, kPlain, "WARNING \"%s\": End-Of-File, TEXTURE %s not ended",
                         st->diag->IInfo.FileName, MetaTextures[st->openTexture]);
        else
            ErrorInInput(st->diag, 0, kWarning, "TEXTURE %s not ended",
                         MetaTextures[st->openTexture]);
    }
    st->cur->LoadFlags.Read = 1;
}

}  // namespace

int ReadBfcLine(Diagnostics* diag, char* meta) {
    char* cursor = meta;
    if (strcmp(GetNextToken(&cursor, 0).text, "BFC") != 0) return 0;
    int options = 0, n = 0;
    for (TokenText word; (word = GetNextToken(&cursor, 0)).text[0];) {
        int index = IsInList(word.text, BfcKeywords);
        if (index < 0) {
            ErrorInInput(diag, 0, kSkipping, "Illegal BFC option");
            return -1;
        }
        options |= 1 << index;
        n++;
    }
    if (n == 0) {
        ErrorInInput(diag, 0, kSkipping, "No BFC options specified");
        return -1;
    }
    // NOCERTIFY with other options is reported but kept; opposing options in one statement are not.
    if ((options & kNoCertify) && options != kNoCertify)
        ErrorInInput(diag, 0, kWarning, "NOCERTIFY must appear alone");
    if (((options & kClip) && (options & kNoClip)) || ((options & kCw) && (options & kCcw))) {
        ErrorInInput(diag, 0, kSkipping, "Only one BFC option from a group allowed");
        return -1;
    }
    return options;
}

int ReadTransformLine(Diagnostics* diag, char* meta, LineEntry* line) {
    char* cursor = meta;
    int keyword = IsInList(GetNextToken(&cursor, 0).text, TransformKeywords);
    if (keyword <= 0) return 0;
    if (strcmp(GetNextToken(&cursor, kTokenPeek).text, "END") == 0) return -keyword;
    memset(line, 0, sizeof(*line));
    float n[12];
    int count = 0;
    const char* s = cursor;
    while (count < 12 && ScanFloat(&s, &n[count])) count++;
    if (count != kTransformNumbers[keyword]) {
        ErrorInInput(diag, 0, kSkipping, "Illegal syntax");
        return 0;
    }
    float* m = line->Data;
    switch (keyword) {
        case 1:  // TRANSLATE x y z
            m[0] = m[5] = m[10] = 1;
            m[3] = n[0];
            m[7] = n[1];
            m[11] = n[2];
            break;
        case 2:  // ROTATE angle ax ay az
            if (TqSetupRotMat(m, n[0], n + 1)) ErrorInInput(diag, 0, kWarning, "Zero vector");
            break;
        case 3:  // SCALE s
            m[0] = m[5] = m[10] = n[0];
            break;
        case 4:  // TRANSFORM x y z a b c d e f g h i
            FillMatrixFromNumbers(m, n);
            break;
    }
    m[15] = 1;
    return keyword;
}

int IsIfpovKeyword(const char* meta) {
    return StrBeginsWith(meta, "TQR ") ? IsInList(meta + 4, IfPovKws) : -1;
}

int UpdateFromPARTS(Diagnostics* diag, char* meta, PartEntry* part) {
    char* cursor = meta;
    const TokenText word = GetNextToken(&cursor, kTokenFixName);
    const char* first = word.text;
    // The header forms of official and unofficial library files, new and old, compared in lower
    // case: !LDRAW_ORG, LDRAW_ORG, Unofficial, Un-official, Official LCAD, Original LDraw. The word
    // that follows says part or primitive.
    bool header = IsInVaList(first, "!ldraw_org", "ldraw_org", "unofficial", "un-official",
                             (const char*)nullptr) >= 0;
    if (!header && strcmp(first, "official") == 0)
        header = strcmp(GetNextToken(&cursor, kTokenFixName).text, "lcad") == 0;
    if (!header && strcmp(first, "original") == 0)
        header = strcmp(GetNextToken(&cursor, kTokenFixName).text, "ldraw") == 0;
    if (!header) return 0;
    const TokenText kindWord = GetNextToken(&cursor, kTokenFixName);
    const char* kind = kindWord.text;
    if (IsInVaList(kind, "part", "subpart", "sub-part", "element", (const char*)nullptr) >= 0) {
        if (part->LoadFlags.IsPrimitive) {
            ErrorInInput(diag, 0, kSkipping, "Already categorized as Primitive");
            return -1;
        }
        part->LoadFlags.IsPart = 1;
    } else if (IsInVaList(kind, "primitive", "48_primitive", (const char*)nullptr) >= 0) {
        if (part->LoadFlags.IsPart) {
            ErrorInInput(diag, 0, kSkipping, "Already categorized as Part");
            return -1;
        }
        part->LoadFlags.IsPrimitive = 1;
    }
    return 0;
}

void GetExtendedFilename(Diagnostics* diag, const char* text, char* name) {
    const char* s = FirstNonBlank(text);
    // Unquoted, the name is the rest of the line, blanks included (trailing blanks were trimmed
    // when the line was read). Quotes set a name apart from any text after it.
    if (*s != '"') {
        strncpy0(name, s, kPathSize);
        return;
    }
    s++;
    const char* end = strchr(s, '"');
    if (!end) {
        ErrorInInput(diag, 0, kWarning, "Missing end quote");
        strncpy0(name, s, kPathSize);
        return;
    }
    if (end[1]) ErrorInInput(diag, 0, kWarning, "Trailing characters after end quote");
    size_t length = (size_t)(end - s);
    if (length >= (size_t)kPathSize) length = kPathSize - 1;
    memcpy(name, s, length);
    name[length] = '\0';
}

namespace {

enum class LineOutcome { kKeep, kDrop, kEndSection };

// What the parse of one physical line found, beyond the line record itself.
struct ParsedLine {
    const char* text = nullptr;  // the comment text of a type 0 line
    char* meta = nullptr;        // the meta text of a real "0" line that is not a FILE line
    int type = 0;                // line type of a numbered line
    int count = 0;               // items the line pattern converted; 0 for "0" lines
    float numbers[12] = {};      // short line types leave the tail unread
    const char* rest = nullptr;  // after the twelfth number: the sub-file name
    char subName[kPathSize];     // the sub-file of a type 1 line, or the section of a FILE line
    int transform = 0;           // keyword of the transform block the line opens
    float blockMatrix[16];       // and the block's matrix
};

// A "0" line: comment text and meta text, and the FILE line that starts a section.
LineOutcome ParseCommentLine(ReaderState* st, char* s, ParsedLine* p) {
    char* after = s + 1;
    if (*after && *after != ' ' && *after != '\t') {
        ErrorInInput(st->diag, 3, kWarning, "Comment lines should have space after 0");
        p->text = after;
    } else {
        p->text = *after ? after + 1 : after;
    }
    p->meta = FirstNonBlank(p->text);
    char* meta = p->meta;
    // A FILE line with a name starts a section of a multi-part file. The first section is the
    // file's own entry, so the first FILE line opens no new entry and stays as a comment; every
    // later one ends the section before it and starts an entry of its own name.
    if (!StrBeginsWith(meta, "FILE") || (meta[4] != ' ' && meta[4] != '\t') ||
        !*FirstNonBlank(meta + 4)) {
        return LineOutcome::kKeep;
    }
    GetExtendedFilename(st->diag, meta + 5, p->subName);
    st->ldrawSeen = true;
    if (st->firstFileMet) return LineOutcome::kEndSection;
    st->firstFileMet = true;
    if (st->operationalSeen)
        ErrorInInput(st->diag, 0, kWarning, "LDraw command(s) preceded this line");
    // In a multi-part file the title follows the first FILE line; whatever was taken before was
    // none.
    if (st->isMainModel) st->model->ModelTitle[0] = '\0';
    p->meta = nullptr;  // the first FILE line stays as a comment, not examined further
    return LineOutcome::kKeep;
}

// A numbered line: the line pattern. Text before the first LDraw line is kept as it is.
LineOutcome ParseNumberedLine(ReaderState* st, char* s, LineEntry* line, ParsedLine* p) {
    p->count = ParseLinePattern(s, &p->type, &line->Colour, p->numbers, &p->rest);
    // Until the first LDraw line, text that is no LDraw line is taken for a free-text header and
    // kept as a comment. After it, such a line is a fault, and a blank line is dropped without a
    // word.
    if (p->count > 0) return LineOutcome::kKeep;
    if (st->ldrawSeen) {
        if (*s) ErrorInInput(st->diag, 0, kSkipping, "Bad line");
        return LineOutcome::kDrop;
    }
    p->text = st->diag->IInfo.Line;
    return LineOutcome::kKeep;
}

// The sub-file name of a type 1 line, and what its name says: a light source, a speed primitive.
void TakeSubFileReference(ReaderState* st, LineEntry* line, ParsedLine* p) {
    FillMatrixFromNumbers(line->Data, p->numbers);
    GetExtendedFilename(st->diag, p->rest, p->subName);
    FixDatName(p->subName);
    UseHighResolutionPrimitive(st->loader, p->subName);
    // With -l a reference to light.dat becomes a light source of the line's colour, which must then
    // be a colour this program knows.
    if (strcmp(p->subName, "light.dat") == 0 && st->loader->settings->TqPov.LightDatLights) {
        line->LineFlags.IsLight = 1;
        st->model->LightDatFound = 1;
        if (Color2rgb(st->loader->colours, line->Colour, nullptr, nullptr) != 0) {
            ErrorInInput(st->diag, 0, kWarning, "Sorry, cannot handle color %d, using 15",
                         line->Colour);
            line->Colour = 15;
        }
    }
    if (IsSpeedPrimitive(p->subName))
        ErrorInInput(st->diag, 0, kWarning,
                     "This speed-primitive should not be referenced directly");
}

// A numbered line of a known type and item count becomes a line record; anything else is
// refused, or, before the first LDraw line, kept as a comment. Read with textures, the fallback
// geometry of a texture in use is left out, and other geometry takes the texture around it.
LineOutcome FinishNumberedLine(ReaderState* st, LineEntry* line, ParsedLine* p) {
    if (st->tex.on && SkipsGeometry(&st->tex)) return LineOutcome::kDrop;
    int type = p->type;
    bool valid = type >= 1 && type <= 5 && p->count == nArgumentsExpected[type];
    if (!valid && st->ldrawSeen) {
        if (type < 1 || type > 5)
            ErrorInInput(st->diag, 0, kSkipping, "Unknown line type");
        else
            ErrorInInput(st->diag, 0, kSkipping, "%d arguments expected", nArgumentsExpected[type]);
        return LineOutcome::kDrop;
    }
    if (!valid) {
        line->Colour = 0;
        p->text = st->diag->IInfo.Line;
        return LineOutcome::kKeep;
    }
    line->Type = type;
    st->ldrawSeen = st->operationalSeen = true;
    if (st->tex.on) line->TexMap = TextureOfNextLine(&st->tex);
    if (type == 1) {
        TakeSubFileReference(st, line, p);
        return LineOutcome::kKeep;
    }
    // Points are stored as (x, y, z, 1), ready for a 4x4 matrix; the points a short line type lacks
    // stay at the origin.
    for (int point = 0, n = 0; point < 4; point++) {
        for (int k = 0; k < 3; k++, n++) line->Data[4 * point + k] = n < 12 ? p->numbers[n] : 0;
        line->Data[4 * point + 3] = 1;
    }
    return LineOutcome::kKeep;
}

// The start or END of a transform block (keyword from ReadTransformLine, negative for END).
LineOutcome HandleTransformLine(ReaderState* st, int keyword, const LineEntry& block,
                                ParsedLine* p) {
    st->ldrawSeen = st->operationalSeen = true;
    if (keyword > 0) {
        p->transform = keyword;
        memcpy(p->blockMatrix, block.Data, sizeof(block.Data));
        return LineOutcome::kKeep;
    }
    if (st->openKeyword == 0) {
        ErrorInInput(st->diag, 0, kSkipping, "END not expected");
        return LineOutcome::kDrop;
    }
    // An END closes only the innermost block, and must name its keyword.
    if (-keyword != st->openKeyword) {
        ErrorInInput(st->diag, 0, kSkipping, "%s END expected", TransformName(st->openKeyword));
        return LineOutcome::kDrop;
    }
    CloseTransformBlock(st);
    return LineOutcome::kKeep;
}

// Read with textures: a !TEXMAP line steers the sections, and a "0 !:" line inside a section
// whose texture is used is the geometry it carries. Anything else is no texture line.
bool HandleTextureLine(ReaderState* st, LineEntry* line, ParsedLine* p, LineOutcome* outcome) {
    if (StrBeginsWith(p->meta, "!TEXMAP") && (p->meta[7] == ' ' || p->meta[7] == '\t')) {
        ReadTexMapLine(&st->tex, st->loader, p->meta);
        *outcome = LineOutcome::kKeep;
        return true;
    }
    if (!StrBeginsWith(p->meta, "!:") || !TakesTexturedLines(&st->tex)) return false;
    char* geometry = FirstNonBlank(p->meta + 2);
    *outcome = ParseNumberedLine(st, geometry, line, p);
    if (*outcome == LineOutcome::kKeep) {
        // Text that is no geometry line stays a comment.
        *outcome = p->count > 0 ? FinishNumberedLine(st, line, p) : LineOutcome::kKeep;
    }
    return true;
}

// The meta commands of a "0" line: back-face culling, transform blocks, then the plain ones.
LineOutcome HandleMetaText(ReaderState* st, LineEntry* line, ParsedLine* p) {
    LineOutcome textured;
    if (st->tex.on && HandleTextureLine(st, line, p, &textured)) return textured;
    // A BFC statement counts as an operational line itself.
    int bfc = ReadBfcLine(st->diag, p->meta);
    if (bfc < 0) return LineOutcome::kDrop;
    if (bfc > 0) {
        bool invertNext;
        if (!HandleBfc(st, bfc, &invertNext)) return LineOutcome::kDrop;
        st->invertNextPending = invertNext;
        st->ldrawSeen = st->operationalSeen = true;
        return LineOutcome::kKeep;
    }
    LineEntry block;
    int keyword = ReadTransformLine(st->diag, p->meta, &block);
    if (keyword != 0) return HandleTransformLine(st, keyword, block, p);
    return HandleMeta(st, p->meta, line) ? LineOutcome::kKeep : LineOutcome::kDrop;
}

// One physical line (in IInfo) into a line record.
LineOutcome ParseOneLine(ReaderState* st, LineEntry* line, ParsedLine* p, bool prevInvertNext) {
    char* s = FirstNonBlank(st->diag->IInfo.Line);
    LineOutcome outcome =
        *s == '0' ? ParseCommentLine(st, s, p) : ParseNumberedLine(st, s, line, p);
    if (outcome != LineOutcome::kKeep) return outcome;
    // INVERTNEXT concerns the very next line, which must reference a sub-file.
    bool texturedLine = st->tex.on && p->meta && StrBeginsWith(p->meta, "!:");
    if (prevInvertNext && p->type != 1 && !texturedLine)
        ErrorInInput(st->diag, 0, kWarning, "Line type 1 must follow BFC INVERTNEXT");
    // A section of a name already read (a FILE name given twice) was stored before; its new lines
    // are refused.
    if (st->cur->LoadFlags.Read) {
        ErrorInInput(st->diag, 0, kSkipping, "Subfile %s already read", st->cur->DatName);
        return LineOutcome::kDrop;
    }
    if (p->count > 0) return FinishNumberedLine(st, line, p);
    if (!p->meta || !*p->meta) return LineOutcome::kKeep;
    return HandleMetaText(st, line, p);
}

bool IsPlainEmptyComment(const LineEntry* line, const char* text) {
    const LineFlagBits none = {};
    return line->Type == 0 && text[0] == '\0' &&
           memcmp(&line->LineFlags, &none, sizeof(none)) == 0 && line->Colour == 0;
}

// Stores a checked line; false when memory ran out (the file is closed then).
bool StoreLine(ReaderState* st, LineEntry* line, const char* text) {
    if (!(st->model->LineTypeSaveMask & (1u << line->Type))) return true;
    // 16 and 24 name no colour of their own: they stand for the colour of the reference and its
    // edge colour, so only real colour numbers are recorded.
    if (line->Type >= 1 && line->Colour != 16 && line->Colour != 24 &&
        AddUsedColor(st->model, st->diag, line->Colour) != 0) {
        fclose(st->fp);
        st->model->ModelIncomplete = 1;
        return false;
    }
    if (!text) text = "";
    // Runs of blank lines (kept before the first LDraw line) and bare "0" lines cost one record
    // with a count, not one record each: a few megabytes of them must not take gigabytes.
    if (st->lastStored && IsPlainEmptyComment(line, text) &&
        IsPlainEmptyComment(st->lastStored, st->lastStored->Text) &&
        st->lastStored->nRepeats < UINT_MAX) {
        st->lastStored->nRepeats++;
        return true;
    }
    LineEntry** at = st->tail;
    if (!SaveLine(&st->tail, line, text)) return OutOfMemory(st);
    st->lastStored = *at;
    return true;
}

// A FILE line ends a section: the next one starts with the entry of its name. False when the
// entry cannot be made (memory ran out).
bool StartNextSection(ReaderState* st, char* name) {
    if (st->loader->settings->TqVerboseOption) fprintf(st->diag->StdErr, "MPD subfile %s\n", name);
    FixDatName(name);
    PartEntry* section = RegisterPart(st->model, st->diag, 0, name);
    if (!section) {
        st->model->ModelIncomplete = 1;
        return false;
    }
    if (section->LoadFlags.Read) ErrorInInput(st->diag, 0, kSkipping, "FILE %s already read", name);
    // Sections of a library file are library entries too, and outlive the model like the file.
    section->LoadFlags.IsLibrary = st->file->LoadFlags.IsLibrary;
    StartSection(st, section);
    return true;
}

// Checks a parsed line, registers its sub-file and stores it, opening the transform block it
// starts. 1 to go on, 0 when memory ran out, -1 when blocks nest too deep (the file is closed).
int AcceptLine(ReaderState* st, LineEntry* line, const ParsedLine& p) {
    if (p.transform && st->blockDepth >= kMaxNesting) {
        // Every block is a level of the recursive walks that load, declare and free it.
        ErrorInInput(st->diag, 0, kSkipping, "Transform blocks nested more than %d deep",
                     kMaxNesting);
        fclose(st->fp);
        st->model->ModelIncomplete = 1;
        return -1;
    }
    // In check mode a library file is checked quietly: only faults of level 0 are shown.
    LineCheckContext checks = st->loader->checks;
    checks.reportLimit =
        st->loader->settings->DoCheck && !st->isMainModel ? 0 : st->diag->WarningLevel;
    if (!CheckLine(&checks, line, p.subName, st->cur)) return 1;
    if (line->Type == 1) {
        line->Part = RegisterPart(st->model, st->diag, 0, p.subName);
        if (!line->Part) {
            st->model->ModelIncomplete = 1;
            return 1;
        }
    }
    if (!StoreLine(st, line, p.text)) return 0;
    if (p.transform && !OpenTransformBlock(st, p.transform, p.blockMatrix)) return 0;
    return 1;
}

}  // namespace

LoadResult ReadDatFile(Loader* loader, FILE* fp, PartEntry* part, const char* refName,
                       int isMainModel) {
    ReaderState st;
    st.loader = loader;
    st.diag = loader->diag;
    st.model = loader->model;
    st.fp = fp;
    // Printed parts are read with their textures where parts are flattened into meshes, which can
    // carry them; otherwise as a reader without textures reads them, as always.
    st.tex.on = loader->settings->Mesh.On != 0;
    st.file = part;
    st.refName = refName;
    st.isMainModel = isMainModel != 0;
    StartSection(&st, part);
    InputInfo& at = st.diag->IInfo;
    at.FileName = part->DatName;
    at.LineNo = 0;
    for (;;) {
        // The end of the file ends the last section the way a FILE line ends the one before it.
        bool atEndOfFile = !ReadInputLine(st.diag, fp, 0);
        LineOutcome outcome = LineOutcome::kEndSection;
        LineEntry line = {};
        ParsedLine parsed;
        if (!atEndOfFile) {
            bool prevInvertNext = st.invertNextPending;
            st.invertNextPending = false;
            line.LineNo = at.LineNo;
            outcome = ParseOneLine(&st, &line, &parsed, prevInvertNext);
        }
        if (outcome == LineOutcome::kEndSection) {
            EndSection(&st, atEndOfFile);
            if (atEndOfFile || !StartNextSection(&st, parsed.subName)) {
                fclose(fp);
                return LoadResult::kOk;
            }
            continue;
        }
        if (outcome == LineOutcome::kDrop) continue;
        int accepted = AcceptLine(&st, &line, parsed);
        if (accepted == 0) return LoadResult::kFailed;
        if (accepted < 0) return LoadResult::kTooDeep;
    }
}
