// Part declarations: every LDraw file becomes one named POV-Ray object, converted into meshes
// grouped by colour and sub-file objects with placement and seam matrices, or replaced.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "TqColor/TqColor.h"
#include "TqPov/TqPov.h"

SceneWriterState SceneWriter;
int nPovTotalFromPARTS = 0;
int nPovTotalFromP = 0;
char PovNameSuffix[8] = "";

namespace {

// Characters a POV-Ray identifier cannot hold, and the words that stand for them. "_" becomes
// "__", so that "a.b" (a_dot_b) and "a_dot_b" (a__dot__b) stay apart.
struct BadChar {
    char c;
    const char* word;
};
const BadChar PovBadChars[] = {{'-', "dash"},  {'.', "dot"},    {'&', "and"},   {':', "colon"},
                               {'/', "slash"}, {'\\', "slash"}, {'~', "tilde"}, {'#', "crosshatch"},
                               {' ', "space"}, {'_', ""}};
// Directive per block meta command, indexed by IsIfpovKeyword.
const char* const PovCond[] = {"end", "if (1)", "if (0)", "else"};

// Longer identifiers are cut to this length and kept unique by UniqueCutName.
constexpr int kMaxPovName = 125;

// The writer's hot paths put out many short texts; these skip the parsing of a printf format.
void Put(FILE* fp, const char* text) {
    fputs(text, fp);
}
template <typename... More>
void Put(FILE* fp, const char* text, More... more) {
    fputs(text, fp);
    Put(fp, more...);
}

// STEP lines become clock conditions only with -sc, or with -scm in the main model.
bool IsStepBoundary(const LineEntry* line, int isModel) {
    return line->LineFlags.IsStep && (TqPov.StepClock || (TqPov.StepClockModelOnly && isModel));
}

// IFPOV, IFNOTPOV and ENDPOV set the block state (1, 2, 0); ELSEPOV swaps 1 and 2.
int NextBlockState(int block, int keyword) {
    return keyword == 3 ? 3 - block : keyword;
}

// A TEXTURE meta line splits meshes like a change of colour; its key is the line's colour field,
// -1 when that is 0.
int TextureKey(const LineEntry* line) {
    return line->Colour ? line->Colour : -1;
}

// POV-Ray drops a mesh triangle whose cross product has length exactly 0, computed in double
// from the numbers as written; a mesh left without triangles stops the parse. The test works on
// the corners as they will be printed (six significant digits), so it sees what POV-Ray sees.
bool TriangleIsDegenerate(const float* a, const float* b, const float* c) {
    double v1[3], v2[3], cross[3];
    auto sub = [](double* out, const float* p, const float* q) {
        for (int i = 0; i < 3; i++) out[i] = (double)p[i] - q[i];
    };
    sub(v1, a, b);
    sub(v2, c, b);
    auto crossOf = [&cross](const double* u, const double* v) {
        cross[0] = u[1] * v[2] - u[2] * v[1];
        cross[1] = u[2] * v[0] - u[0] * v[2];
        cross[2] = u[0] * v[1] - u[1] * v[0];
    };
    crossOf(v1, v2);
    double area = std::sqrt(cross[0] * cross[0] + cross[1] * cross[1] + cross[2] * cross[2]);
    double size = 0, span = std::sqrt(v1[0] * v1[0] + v1[1] * v1[1] + v1[2] * v1[2]) +
                            std::sqrt(v2[0] * v2[0] + v2[1] * v2[1] + v2[2] * v2[2]);
    for (const float* p : {a, b, c}) {
        for (int i = 0; i < 3; i++) size = std::max(size, std::fabs((double)p[i]));
    }
    // Printing rounds to six digits and moves each coordinate by at most 5e-6 of the largest
    // one, which changes the cross product by less than 2e-5 * size * span + 3e-10 * size^2.
    // A triangle clearly above that cannot collapse and needs no second look (the common case).
    if (area > 4e-5 * size * span + 1e-9 * size * size) return false;
    double printed[3][3];
    const float* corners[3] = {a, b, c};
    for (int k = 0; k < 3; k++) {
        for (int i = 0; i < 3; i++) {
            char text[32];
            FormatG(text, corners[k][i]);
            printed[k][i] = strtod(text, nullptr);
        }
    }
    for (int i = 0; i < 3; i++) {
        v1[i] = printed[0][i] - printed[1][i];
        v2[i] = printed[2][i] - printed[1][i];
    }
    crossOf(v1, v2);
    return std::sqrt(cross[0] * cross[0] + cross[1] * cross[1] + cross[2] * cross[2]) == 0;
}

// A type 3 or 4 line whose triangles POV-Ray would all drop.
bool SurfaceIsDegenerate(const LineEntry* line) {
    const float* d = line->Data;
    if (!TriangleIsDegenerate(d, d + 4, d + 8)) return false;
    return line->Type != 4 || TriangleIsDegenerate(d + 8, d + 12, d);
}

// The state of the output pass over one part's lines.
struct OutputPass {
    FILE* fp;
    PartEntry* part;
    bool isModelOrSubModel;  // echo each LDraw line as a comment: models only, not library files
    // The run of surfaces of one colour and texture that forms a mesh. Its mesh is opened only
    // at its first triangle that POV-Ray accepts; degenerate ones before it wait in pending.
    bool groupOpen = false;
    bool meshOpen = false;
    int meshColour = 0, meshTexture = -1;
    std::vector<const LineEntry*> pending;
    bool studsOpen = false;  // an "#if (TqStuds)" block is open
    int slopeCopies = 0;     // l: colour 16 references to parts with a slope variant

    void CloseMesh() {
        groupOpen = false;
        pending.clear();  // a run of degenerate triangles only: POV-Ray refuses such a mesh
        if (!meshOpen) return;
        // A mesh in colour 16 gets no material: it takes the colour of whatever places the part.
        if (meshColour != 16) Put(fp, "\t\t", PovColorRef(meshColour, 0), "\n");
        Put(fp, "\t}\n");
        meshOpen = false;
    }
    void CloseStuds() {
        if (!studsOpen) return;
        fputs("\t#end\n", fp);
        studsOpen = false;
    }
};

// With -l a light.dat reference becomes a light at its position, in its colour.
void PrintLightSource(FILE* fp, const LineEntry* line) {
    float rgb[3];
    Color2rgb(line->Colour, rgb, nullptr);
    fprintf(fp, "\tlight_source {\n\t\t<%g,%g,%g>\n\t\tcolor rgb %s\n%s\t}\n", line->Data[3],
            line->Data[7], line->Data[11], PovGGG(rgb),
            TqPov.ShadowlessLights ? "\t\tshadowless\n" : "");
}

// A reference that needs more than "object { name matrix }": seams, LGEO variants, slope copies.
void PrintLongReference(OutputPass* pass, const LineEntry* line, const LgeoElmt* element) {
    FILE* fp = pass->fp;
    const PartEntry* child = line->Part;
    char id[160];
    strncpy0(id, PovName(child->DatName), sizeof(id));
    // In a colour of its own, a part with a slope variant is placed twice: as itself, and above
    // quality 0 as its "_slope" object in the colour's slope material.
    int copies = 1, depth = 1;
    if (child->AttrFlags.PovMark) {
        if (line->Colour == 16) {
            // The colour is chosen further up: the referencing part gets a slope variant instead.
            pass->part->AttrFlags.PovMark = 1;
            pass->slopeCopies++;
        } else {
            copies = 2;
        }
    }
    unsigned attributes;
    Color2rgb(line->Colour, nullptr, &attributes);
    bool transparent = (attributes & kColourHasAlpha) != 0;
    bool lgeo = element && element->Source == 'L';
    // A transparent LGEO part with a slope model is merged with its slope copy: a union would show
    // the faces where the two meet through the clear material. LGEO's "_clear" models are made for
    // transparent colours.
    bool merge = transparent && lgeo && (element->Flags & kLgeoSlope);
    if (merge) {
        fputs("\t#if (TqQuality > 0) merge #else object #end {\n", fp);
        depth = 2;
    }
    for (int i = 0; i < copies; i++) {
        if (i > 0) Put(fp, Tabs(depth++), "#if (TqQuality > 0)\n");
        const char* suffix = i > 0 ? "_slope" : (lgeo && transparent ? "_clear" : "");
        Put(fp, Tabs(depth), "object {\n", Tabs(depth), "\t", id, suffix, "\n");
        // The seam width stays a scene variable (TqSW, TqSWT). LGEO models keep their size, but a
        // transparent one shrinks by a fixed 0.01 so that faces of touching clear bricks do not
        // coincide. Only a reference that keeps the part's size (UnitDet) gets a seam: the seam is
        // measured in the part's own units.
        const char* seam =
            lgeo ? (transparent ? "0.01" : nullptr)
                 : (line->LineFlags.UnitDet ? (transparent ? "TqSWT" : "TqSW") : nullptr);
        if (seam) {
            Put(fp, Tabs(depth), "\t");
            PrintPovSeamMatrix(fp, child, seam);
        }
        Put(fp, Tabs(depth), "\t");
        PrintPovMatrix(fp, line);
        // A material only where the part has colour 16 surfaces for it to colour; colour 16 itself
        // leaves the choice to whatever places this part.
        if (line->Colour != 16 && child->AttrFlags.UsesColour16)
            Put(fp, "\n", Tabs(depth), "\t", PovColorRef(line->Colour, i > 0));
        Put(fp, "\n", Tabs(depth), "}\n");
        if (i > 0) Put(fp, Tabs(--depth), "#end\n");
    }
    if (merge) fputs("\t}\n", fp);
}

void PrintReference(OutputPass* pass, const LineEntry* line) {
    FILE* fp = pass->fp;
    const PartEntry* child = line->Part;
    bool light = line->LineFlags.IsLight;
    pass->CloseMesh();
    if (pass->part->nPovNonStudObjects != 0) {
        // Stud primitives, and sub-files made of studs only, go inside "#if (TqStuds)". A part
        // of studs only has no switch inside: its parent switches it as a whole.
        if (!child->AttrFlags.IsStud && (child->nPovNonStudObjects != 0 || light)) {
            pass->CloseStuds();
        } else if (!pass->studsOpen) {
            fputs("\t#if (TqStuds)\n", fp);
            pass->studsOpen = true;
        }
    }
    if (pass->studsOpen) fputc('\t', fp);
    // The echo lets a reader of the scene find each line of the model file.
    if (pass->isModelOrSubModel) {
        fputs("\t//", fp);
        PrintDatLine(fp, line);
        if (pass->studsOpen) fputc('\t', fp);
    }
    if (light) {
        PrintLightSource(fp, line);
        return;
    }
    // Most references need only the object, its matrix and perhaps a material.
    const LgeoElmt* element = FindLgeoElmt(child->DatName, 0);
    if (!element && !line->LineFlags.UnitDet && !child->AttrFlags.PovMark) {
        Put(fp, "\tobject { ", PovName(child->DatName), " ");
        PrintPovMatrix(fp, line);
        if (line->Colour != 16 && child->AttrFlags.UsesColour16)
            Put(fp, " ", PovColorRef(line->Colour, 0));
        Put(fp, " }\n");
        return;
    }
    PrintLongReference(pass, line, element);
}

// A quadrilateral becomes two triangles, corners 0 1 2 and 2 3 0.
void PrintTriangles(OutputPass* pass, const LineEntry* line) {
    FILE* fp = pass->fp;
    if (pass->isModelOrSubModel) {
        fputs("\t\t//", fp);
        PrintDatLine(fp, line);
    }
    PrintPovPartTriangle(fp, line, 0);
    if (line->Type == 4) PrintPovPartTriangle(fp, line, 2);
}

// Surfaces of one colour and texture in a row share one mesh, not one object per triangle.
// Degenerate triangles that waited go into the mesh once it opens, as the file has them.
void PrintSurface(OutputPass* pass, const LineEntry* line, int texture) {
    pass->CloseStuds();
    if (pass->groupOpen && (line->Colour != pass->meshColour || texture != pass->meshTexture))
        pass->CloseMesh();
    if (!pass->groupOpen) {
        pass->groupOpen = true;
        pass->meshColour = line->Colour;
        pass->meshTexture = texture;
    }
    if (!pass->meshOpen) {
        if (SurfaceIsDegenerate(line)) {
            pass->pending.push_back(line);
            return;
        }
        Put(pass->fp, "\tmesh {\n");
        pass->meshOpen = true;
        for (const LineEntry* earlier : pass->pending) PrintTriangles(pass, earlier);
        pass->pending.clear();
    }
    PrintTriangles(pass, line);
}

// A type 0 line as a comment, or inside an IFPOV block as the model's own POV-Ray code. One
// record may stand for a run of empty comments, written one by one as they were read.
void PrintCommentLine(FILE* fp, const LineEntry* line, int block) {
    for (unsigned n = 0; n <= line->nRepeats; n++) {
        if (block == 1) {
            fprintf(fp, "%s\n", line->Text);
        } else if (block == 0 || !TqPov.ExcludeNonPov) {
            const char* comment = GetDatComment(line);
            // An empty comment at the very end of the part is left out.
            if (*comment || n < line->nRepeats || line->Next)
                fprintf(fp, "// %s\n", SceneSafe(comment).c_str());
        }
    }
}

// Replacement by a ready-made model, in the priority order the user gave. A replacement is one
// member, which counts as a stud when the file is one.
bool TryReplacements(FILE* fp, PartEntry* part, int isModel) {
    for (const char* letter = TqPov.ReplaceOrder; *letter; letter++) {
        int done = 0;
        unsigned char state = kPovNotWritten;
        switch (*letter) {
            case 'P':
                done = PrintPovPartPovEquiv(fp, part, isModel);
                state = kPovEquiv;
                break;
            case '3':
                done = PrintPovPartTqrPart(fp, part, isModel);
                state = kPovTqrParts;
                break;
            case 'L':
            case 'B':
                done = PrintPovPartLgeo(fp, part, isModel, *letter);
                state = *letter == 'L' ? kPovLgeo : kPovKv;
                break;
        }
        if (done) {
            PrintPovPartXxtro(fp, part, isModel, 0);
            part->nPovObjects = 1;
            part->nPovNonStudObjects = part->AttrFlags.IsStud ? 0 : 1;
            part->PovState = state;
            return true;
        }
    }
    return false;
}

// The members a declaration will have, counted the way the output pass groups them.
struct MemberCount {
    int members = 0;    // meshes, sub-file objects and light sources
    int nonStud = 0;    // of those, the ones that are not stud primitives
    int slopeRefs = 0;  // references in a colour of their own to parts with a slope variant
    bool meshOpen = false, meshCounted = false;
    int meshColour = 0, meshTexture = -1;

    // A reference; a sub-file not declared yet is declared now, before its parent.
    void CountReference(FILE* fp, const LineEntry* line) {
        meshOpen = false;
        PartEntry* child = line->Part;
        if (child->PovState == kPovNotWritten) {
            PrintPovPart(fp, child, 0);
            FreeLines(child);
        }
        if (line->LineFlags.IsLight) {
            members++;
            nonStud++;
        } else if (child->nPovObjects != 0) {
            members++;
            if (!child->AttrFlags.IsStud) nonStud++;
        }
        if (child->AttrFlags.PovMark && line->Colour != 16) slopeRefs++;
    }
    // A surface; a mesh counts only once it holds a triangle that POV-Ray accepts.
    void CountSurface(const LineEntry* line, int texture) {
        if (meshOpen && (line->Colour != meshColour || texture != meshTexture)) meshOpen = false;
        if (!meshOpen) {
            meshOpen = true;
            meshCounted = false;
            meshColour = line->Colour;
            meshTexture = texture;
        }
        if (!meshCounted && !SurfaceIsDegenerate(line)) {
            meshCounted = true;
            members++;
            nonStud++;
        }
    }
};

// Counts the members of the declaration (declaring sub-files that are not written yet). The
// container (object or union, with or without a switch) must be chosen before the first member
// is written, and sub-files must be declared before this declaration opens: hence a first pass.
MemberCount CountMembers(FILE* fp, PartEntry* part) {
    MemberCount count;
    int block = 0, texture = -1;
    for (LineEntry* line = part->FirstLine; line; line = line->Next) {
        if (line->Type == 0) {
            if (line->LineFlags.IsTexture) {
                texture = TextureKey(line);
                continue;
            }
            int keyword = IsIfpovKeyword(line->Text);
            if (keyword >= 0) {
                count.meshOpen = false;
                // A declaration with blocks is always a union.
                if (count.members < 2) count.members = count.nonStud = 2;
                block = NextBlockState(block, keyword);
            }
        } else if (line->Type == 1 && block == 0) {
            count.CountReference(fp, line);
        } else if ((line->Type == 3 || line->Type == 4) && block == 0) {
            count.CountSurface(line, texture);
        }
    }
    return count;
}

// The "_slope" declaration of a part that places slope parts in colour 16: their "_slope"
// objects, placed as in the part and following its steps, for the part's parent to colour.
void PrintSlopeDeclaration(FILE* fp, PartEntry* part, int isModel, const char* id, int slopeCopies,
                           int steps) {
    fprintf(fp, "\n#if (TqQuality > 0)\n#declare %s_slope = %s {\n", id,
            slopeCopies == 1 && steps == 0 ? "object" : "union");
    // Two far-away spheres keep the union non-empty outside every clock condition.
    if (steps != 0) fputs("\tsphere {<1e9,1e9,1e9>,1} sphere {<1e9,1e9,1e9>,1} //HACK\n", fp);
    int step = 0;
    for (const LineEntry* line = part->FirstLine; line; line = line->Next) {
        if (line->Type == 0 && line->Text && strcmp(line->Text, "STEP") == 0 &&
            (TqPov.StepClock || (TqPov.StepClockModelOnly && isModel))) {
            PrintPovPartStep(fp, &step, 1);
        } else if (line->Type == 1 && line->Part->nPovObjects != 0 &&
                   line->Part->AttrFlags.PovMark && line->Colour == 16) {
            fprintf(fp, "\tobject { %s_slope ", PovName(line->Part->DatName));
            PrintPovMatrix(fp, line);
            fputs(" }\n", fp);
        }
    }
    PrintPovPartStep(fp, &step, 0);
    fputs("}\n#end\n", fp);
}

// Writes the declaration of a part not written yet.
void DeclarePart(FILE* fp, PartEntry* part, int isModel);

// Names cut to fit POV-Ray's identifier limit can meet: two sub-files sharing their first 119
// characters would share one identifier, and the second declaration would be skipped by its
// #ifndef. The first keeps the cut identifier, later ones get a number before "MAX125". Whole
// identifiers cannot meet (every replaced character turns into a distinct marked word).
const char* UniqueCutName(const char* name, TextBuffer<160>& identifier) {
    CutIdentifiers& cut = SceneWriter.cutIdentifiers;
    std::string key = std::string(name) + '\n' + PovNameSuffix;
    auto known = cut.byName.find(key);
    if (known != cut.byName.end()) return identifier.Clear().Add(known->second.c_str()).c_str();
    std::string unique = identifier.c_str();
    for (unsigned k = 1; cut.taken.count(unique); k++) {
        char number[16];
        int length = snprintf(number, sizeof(number), "_%u", k);
        unique.assign(identifier.c_str(), (size_t)(119 - length));
        unique.append(number).append("MAX125");
    }
    cut.taken.insert(unique);
    cut.byName.emplace(std::move(key), unique);
    return identifier.Clear().Add(unique.c_str()).c_str();
}

// A sub-file named "box" or "text" would give an identifier POV-Ray's parser refuses. (The scene's
// own identifiers start with "Tq", which no name can give: names are kept in lower case.)
bool IsReservedIdentifier(const char* id) {
    return !strchr(id, '_') && IsPovReservedWord(id);
}

}  // namespace

void ResetSceneWriter() {
    SceneWriter.cutIdentifiers.byName.clear();
    SceneWriter.cutIdentifiers.taken.clear();
    SceneWriter.declarationDepth = 0;
}

const char* PovName(const char* name) {
    // A digit cannot start an identifier; a character without a word becomes its hex code. The
    // text is cut as soon as it passes 125 characters, so it never grows beyond 125 plus one
    // replaced character ("_crosshatch_", 12), well within the buffer.
    TextBuffer<160>& id = SceneWriter.povName.Clear();
    const unsigned char* s = reinterpret_cast<const unsigned char*>(name);
    if (IsDigit(*s)) id.Add('_');
    for (; *s; s++) {
        if (IsAlpha(*s) || IsDigit(*s)) {
            id.Add((char)*s);
        } else {
            const BadChar* bad = nullptr;
            for (const BadChar& b : PovBadChars) {
                if ((signed char)b.c == (signed char)*s) bad = &b;
            }
            id.Add('_');
            if (bad)
                id.Add(bad->word);
            else
                id.Add("0123456789ABCDEF"[*s >> 4]).Add("0123456789ABCDEF"[*s & 0xF]);
            id.Add('_');
        }
        if (id.size() > (size_t)kMaxPovName) {
            // Cut long names so that the identifier stays within POV-Ray's limit.
            id.Cut(119).Add("MAX125");
            return UniqueCutName(name, id);
        }
    }
    id.Add(PovNameSuffix);
    if (IsReservedIdentifier(id.c_str())) {
        // A leading "_" before a letter cannot come from a name: there a "_" before a letter
        // always opens a "_word_" marker.
        char word[160];
        strncpy0(word, id.c_str(), sizeof(word));
        id.Clear().Add('_').Add(word);
    }
    return id.c_str();
}

// POV-Ray multiplies a point as a row from the left, LDraw as a column from the right: the matrix
// goes in transposed, a d g, b e h, c f i, then the position x y z.
void PrintPovMatrix(FILE* fp, const LineEntry* line) {
    const float* m = line->Data;
    TextBuffer<12 * 32 + 16> text;
    text.Add("matrix <", 8);
    for (int k = 0; k < 4; k++) {
        for (int r = 0; r < 3; r++) text.AddG(m[4 * r + k]).Add(r < 2 || k < 3 ? ',' : '>');
    }
    text.WriteTo(fp);
}

// A seam shrinks a placed part by the seam width about the centre of its own box, so that
// neighbouring bricks show a thin gap. The shift width/(size/centre) = centre * width / size keeps
// the centre in place. An axis no wider than the seam stays as it is; a centre of 0 needs no shift
// (and size/centre would be infinite). Size and centre are rounded to float once, from double.
void PrintPovSeamMatrix(FILE* fp, const PartEntry* part, const char* width) {
    float size[3], centre[3];
    for (int i = 0; i < 3; i++) {
        size[i] = (float)((double)part->BBox[3 + i] - part->BBox[i]);
        centre[i] = (float)(((double)part->BBox[i] + part->BBox[3 + i]) / 2);
    }
    // "1-%s/%g" per axis on the diagonal, then ",%s/%g" per axis for the shift.
    TextBuffer<512> text;
    text.Add("matrix <", 8);
    for (int i = 0; i < 3; i++) {
        if (size[i] == 0 || TqPov.SeamWidth >= size[i])
            text.Add('1');
        else
            text.Add("1-", 2).Add(width).Add('/').AddG(size[i]);
        if (i < 2) text.Add(",0,0,0,", 7);
    }
    for (int i = 0; i < 3; i++) {
        if (size[i] == 0 || centre[i] == 0 || TqPov.SeamWidth >= size[i])
            text.Add(",0", 2);
        else
            text.Add(',').Add(width).Add('/').AddG(size[i] / centre[i]);
    }
    text.Add(">\n", 2);
    text.WriteTo(fp);
}

void PrintPovPartTriangle(FILE* fp, const LineEntry* line, int first) {
    TextBuffer<3 * 112 + 32> text;
    text.Add("\t\ttriangle {", 12);
    for (int i = 0; i < 3; i++)
        text.Add(' ').AddVector(line->Data + 4 * ((first + i) % 4)).Add(i < 2 ? ',' : ' ');
    text.Add("}\n", 2);
    text.WriteTo(fp);
}

// What follows the n-th STEP shows once the animation clock passes n; what comes before the first
// STEP is always there.
void PrintPovPartStep(FILE* fp, int* counter, int open) {
    if (*counter) fprintf(fp, "#end // if (clock > %d)\n", *counter);
    if (open) fprintf(fp, "// STEP\n#if (clock > %d)\n", ++*counter);
}

// The #ifndef lets an include file read earlier replace any declaration by defining its name.
void PrintPovPartXxtro(FILE* fp, const PartEntry* part, int isModel, int intro) {
    if (!intro) {
        fprintf(fp, "#end // ifndef (%s)\n\n", PovName(part->DatName));
        return;
    }
    const char* kind = isModel                       ? "Model"
                       : part->LoadFlags.IsPrimitive ? "Primitive"
                       : part->LoadFlags.IsPart      ? "Part"
                                                     : "Submodel";
    PrintPovBookmark(fp, "%s %s", kind, part->DatName);
    fprintf(fp, "#ifndef (%s)\n", PovName(part->DatName));
}

// An LDraw comment may start with "//" and a blank; the scene writes its own "// ".
const char* GetDatComment(const LineEntry* line) {
    if (!line || line->Type != 0 || !line->Text) return "";
    const char* text = line->Text;
    if (text[0] == '/' && text[1] == '/') {
        text += 2;
        if (*text == ' ') text++;
    }
    return text;
}

void PrintPovPartFirstLineComment(FILE* fp, const PartEntry* part) {
    const char* text = GetDatComment(part->FirstLine);
    if (*text) fprintf(fp, "// %s\n", SceneSafe(text).c_str());
}

// Type, colour, then the numbers in LDraw's order: a reference gives its position first.
void PrintDatLine(FILE* fp, const LineEntry* line) {
    if (line->Type == 0) {
        Put(fp, " 0 ", SceneSafe(line->Text).c_str(), "\n");
        return;
    }
    const float* m = line->Data;
    TextBuffer<12 * 34 + 40> text;
    text.Add(' ').Add((char)('0' + line->Type)).Add(' ').Add(DatColorStr(line->Colour));
    // Three numbers after two blanks, each group: "  %g %g %g".
    auto group = [&text](float a, float b, float c) {
        text.Add("  ", 2).AddG(a).Add(' ').AddG(b).Add(' ').AddG(c);
    };
    if (line->Type == 1) {
        group(m[3], m[7], m[11]);
        for (int r = 0; r < 3; r++) group(m[4 * r], m[4 * r + 1], m[4 * r + 2]);
        Put(fp, text.c_str(), " ", SceneSafe(line->Part ? line->Part->DatName : "").c_str(), "\n");
        return;
    }
    int nPoints = line->Type == 2 ? 2 : line->Type == 3 ? 3 : 4;
    for (int i = 0; i < nPoints; i++) group(m[4 * i], m[4 * i + 1], m[4 * i + 2]);
    text.Add('\n');
    text.WriteTo(fp);
}

void PrintPovPart(FILE* fp, PartEntry* part, int isModel) {
    if (part->PovState != kPovNotWritten) return;
    // Sub-files not declared yet are declared from inside their parent's declaration, so a chain
    // of them is a chain of calls, bounded like every other nesting.
    int& depth = SceneWriter.declarationDepth;
    if (depth >= kMaxNesting) {
        ErrorInInput(0, kFailure, "References nested more than %d deep: %s", kMaxNesting,
                     part->DatName);
        ModelIncomplete = 1;
        return;
    }
    depth++;
    DeclarePart(fp, part, isModel);
    depth--;
}

namespace {

// "#declare id = " and the kind of object the members go into: a box instead at quality 0 for
// parts, a union when there are several members (or, for stud switches, may be).
void PrintDeclarationOpening(FILE* fp, const PartEntry* part, const char* id, int members,
                             int nonStud, int slopeRefs) {
    // At quality 0 a part is its box: a quick preview of where everything goes. An object holds
    // one member and a union should hold two (POV-Ray warns otherwise), so where the count
    // depends on the quality (slope copies) or on the studs switch, the container does too.
    fprintf(fp, "#declare %s = ", id);
    if (part->LoadFlags.IsPart) {
        fprintf(fp, "#if (TqQuality = 0) box { %s,", PovGGG(part->BBox));
        fprintf(fp, " %s } #else ", PovGGG(part->BBox + 3));
    }
    if (members == 1)
        fputs(slopeRefs == 0 ? "object {\n" : "#if (TqQuality > 0) union #else object #end {\n",
              fp);
    else
        fputs(nonStud == 1 ? "#if (TqStuds) union #else object #end {\n" : "union {\n", fp);
}

// A type 0 line of the output pass: texture switches, step boundaries, IFPOV blocks, comments.
void PrintMetaLine(OutputPass* pass, const LineEntry* line, int isModel, int* block, int* texture,
                   int* steps) {
    if (line->LineFlags.IsTexture) {
        *texture = TextureKey(line);
        return;
    }
    // A directive must not cut through an open mesh or stud switch, so both close first.
    bool boundary = IsStepBoundary(line, isModel);
    int keyword = IsIfpovKeyword(line->Text);
    if (boundary || keyword >= 0) {
        pass->CloseMesh();
        pass->CloseStuds();
    }
    if (boundary) {
        PrintPovPartStep(pass->fp, steps, 1);
    } else if (keyword < 0) {
        PrintCommentLine(pass->fp, line, *block);
    } else {
        if (!TqPov.ExcludeNonPov)
            fprintf(pass->fp, "// %s\n#%s\n", SceneSafe(line->Text).c_str(), PovCond[keyword]);
        *block = NextBlockState(*block, keyword);
    }
}

// The members of a converted declaration, line by line; returns the number of steps opened.
int PrintMembers(OutputPass* pass, int isModel) {
    int block = 0, texture = -1, steps = 0;
    for (const LineEntry* line = pass->part->FirstLine; line; line = line->Next) {
        // With -enp the LDraw lines inside blocks are left out; only the POV-Ray code stays.
        bool excluded = TqPov.ExcludeNonPov && block != 0;
        if (line->Type == 0) {
            PrintMetaLine(pass, line, isModel, &block, &texture, &steps);
        } else if (line->Type == 1) {
            if (!excluded && (line->Part->nPovObjects != 0 || line->LineFlags.IsLight))
                PrintReference(pass, line);
        } else if (line->Type == 3 || line->Type == 4) {
            if (!excluded) PrintSurface(pass, line, texture);
        }  // edge and optional lines never reach the scene
    }
    pass->CloseStuds();
    pass->CloseMesh();
    PrintPovPartStep(pass->fp, &steps, 0);
    return steps;
}

void DeclarePart(FILE* fp, PartEntry* part, int isModel) {
    // Marked at once, so that a reference back to this part while it is written does not start
    // it again.
    part->PovState = kPovEmpty;
    PrintPovHeader(fp);
    if (part->LoadFlags.IsPart) nPovTotalFromPARTS++;
    if (part->LoadFlags.IsPrimitive) nPovTotalFromP++;
    PrintUsedColors(fp);
    // Only library files are replaced; models and sub-models are always converted.
    if ((part->LoadFlags.IsPart || part->LoadFlags.IsPrimitive) &&
        TryReplacements(fp, part, isModel))
        return;
    MemberCount count = CountMembers(fp, part);
    part->nPovObjects = count.members;
    part->nPovNonStudObjects = count.nonStud;
    if (count.members == 0) return;  // nothing to draw: references to the part are left out

    char id[160];
    strncpy0(id, PovName(part->DatName), sizeof(id));
    PrintPovPartXxtro(fp, part, isModel, 1);
    PrintDeclarationOpening(fp, part, id, count.members, count.nonStud, count.slopeRefs);
    OutputPass pass;
    pass.fp = fp;
    pass.part = part;
    pass.isModelOrSubModel = !part->LoadFlags.IsPart && !part->LoadFlags.IsPrimitive;
    int steps = PrintMembers(&pass, isModel);
    fputs(part->LoadFlags.IsPart ? "}\n#end\n" : "}\n", fp);
    if (part->AttrFlags.PovMark)
        PrintSlopeDeclaration(fp, part, isModel, id, pass.slopeCopies, steps);
    PrintPovPartXxtro(fp, part, isModel, 0);
    part->PovState = kPovNormal;
    // What comes before the first STEP is a step too.
    if (steps != 0) fprintf(StdErr, "Number of steps: %d\n", steps + 1);
}

}  // namespace
