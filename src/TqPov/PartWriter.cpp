// Part declarations: every LDraw file becomes one named POV-Ray object, converted into meshes
// grouped by colour and sub-file objects with placement and seam matrices, or replaced.
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <unordered_set>

#include "TqColor/TqColor.h"
#include "TqPov/MemberWalk.h"
#include "TqPov/TqPov.h"

// Only a reference that keeps the part's size gets a seam, placing a part from a model: the seam
// is measured in the part's own units.
bool NeedsSeam(const PartEntry* part, const LineEntry* line) {
    const PartEntry* child = line->Part;
    return child->LoadFlags.BBoxValid && child->LoadFlags.IsPart && !part->LoadFlags.IsPart &&
           !line->LineFlags.IsLight && KeepsSize(line);
}

namespace {

// Directive per block meta command, indexed by IsIfpovKeyword.
const char* const PovCond[] = {"end", "if (1)", "if (0)", "else"};

// With -l a light.dat reference becomes a light at its position, in its colour.
void PrintLightSource(SceneWriter* w, FILE* fp, const LineEntry* line) {
    float rgb[3];
    Color2rgb(w->colours, line->Colour, rgb, nullptr);
    fprintf(fp, "\tlight_source {\n\t\t<%g,%g,%g>\n\t\tcolor rgb %s\n%s\t}\n", line->Data[3],
            line->Data[7], line->Data[11], PovGGG(w, rgb),
            w->pov->ShadowlessLights ? "\t\tshadowless\n" : "");
}

// The members of a declaration as the walk meets them, counted. The container (object or union,
// with or without a switch) must be chosen before the first member is written.
class MemberCount : public MemberEvents {
public:
    int members = 0;    // meshes, sub-file objects and light sources
    int nonStud = 0;    // of those, the ones that are not stud primitives
    int slopeRefs = 0;  // references in a colour of their own to parts with a slope variant

    void MeshOpen() override {
        members++;
        nonStud++;
    }
    void Reference(const LineEntry* line, bool) override {
        const PartEntry* child = line->Part;
        members++;
        if (line->LineFlags.IsLight || !child->AttrFlags.IsStud) nonStud++;
        if (child->AttrFlags.PovMark && line->Colour != 16) slopeRefs++;
    }
    // A declaration with blocks is always a union.
    void Block(const LineEntry*, int) override {
        if (members < 2) members = nonStud = 2;
    }
};

// The output pass over one part's lines.
class DeclarationPrinter : public MemberEvents {
public:
    DeclarationPrinter(SceneWriter* w, FILE* fp, PartEntry* part, int isModel)
        : w_(w),
          fp_(fp),
          part_(part),
          fade_(w->pov->StepFade != 0 &&
                (w->pov->StepClock || (w->pov->StepClockModelOnly && isModel))),
          // Each LDraw line is echoed as a comment in models only, not in library files.
          echo_(!part->LoadFlags.IsPart && !part->LoadFlags.IsPrimitive) {}

    int steps = 0;        // clock conditions opened
    int slopeCopies = 0;  // colour 16 references to parts with a slope variant

    void MeshOpen() override { Put(fp_, "\tmesh {\n"); }
    // A quadrilateral becomes two triangles, corners 0 1 2 and 2 3 0.
    void Triangles(const LineEntry* line) override {
        if (echo_) {
            fputs("\t\t//", fp_);
            PrintDatLine(w_, fp_, line);
        }
        PrintPovPartTriangle(w_, fp_, line, 0);
        if (line->Type == 4) PrintPovPartTriangle(w_, fp_, line, 2);
    }
    // A mesh in colour 16 gets no material: it takes the colour of whatever places the part.
    void MeshClose(int colour) override {
        if (colour != 16) Put(fp_, "\t\t", PovColorRef(w_, colour, 0), "\n");
        Put(fp_, "\t}\n");
    }
    void StudsOpen() override { fputs("\t#if (TqStuds)\n", fp_); }
    void StudsClose() override { fputs("\t#end\n", fp_); }
    void Reference(const LineEntry* line, bool inStuds) override;
    // A type 0 line as a comment, or inside an IFPOV block as the model's own POV-Ray code. One
    // record may stand for a run of empty comments, written one by one as they were read.
    void Comment(const LineEntry* line, int block) override {
        for (unsigned n = 0; n <= line->nRepeats; n++) {
            if (block == 1) {
                fprintf(fp_, "%s\n", line->Text);
            } else if (block == 0 || !w_->pov->ExcludeNonPov) {
                const char* comment = GetDatComment(line);
                // An empty comment at the very end of the part is left out.
                if (*comment || n < line->nRepeats || line->Next)
                    fprintf(fp_, "// %s\n", SceneSafe(comment).c_str());
            }
        }
    }
    void Step() override { PrintPovPartStep(fp_, &steps, 1); }
    void Block(const LineEntry* line, int keyword) override {
        if (!w_->pov->ExcludeNonPov)
            fprintf(fp_, "// %s\n#%s\n", SceneSafe(line->Text).c_str(), PovCond[keyword]);
    }

private:
    void PrintLongReference(const LineEntry* line, const LgeoElmt* element);
    // A placement's material; with -sf the faded one once the step at hand is over.
    const char* ColourRef(int colour, int slope) {
        return fade_ ? PovStepColorRef(w_, colour, slope, steps) : PovColorRef(w_, colour, slope);
    }

    SceneWriter* w_;
    FILE* fp_;
    PartEntry* part_;
    bool fade_;
    bool echo_;
};

void DeclarationPrinter::Reference(const LineEntry* line, bool inStuds) {
    const PartEntry* child = line->Part;
    if (inStuds) fputc('\t', fp_);
    // The echo lets a reader of the scene find each line of the model file.
    if (echo_) {
        fputs("\t//", fp_);
        PrintDatLine(w_, fp_, line);
        if (inStuds) fputc('\t', fp_);
    }
    if (line->LineFlags.IsLight) {
        PrintLightSource(w_, fp_, line);
        return;
    }
    // Most references need only the object, its matrix and perhaps a material.
    const LgeoElmt* element = FindLgeoElmt(w_, child->DatName, 0);
    if (!element && !NeedsSeam(part_, line) && !child->AttrFlags.PovMark) {
        Put(fp_, "\tobject { ", PovName(w_, child->DatName), " ");
        PrintPovMatrix(w_, fp_, line);
        if (line->Colour != 16 && child->AttrFlags.UsesColour16)
            Put(fp_, " ", ColourRef(line->Colour, 0));
        Put(fp_, " }\n");
        return;
    }
    PrintLongReference(line, element);
}

// A reference that needs more than "object { name matrix }": seams, LGEO variants, slope copies.
void DeclarationPrinter::PrintLongReference(const LineEntry* line, const LgeoElmt* element) {
    FILE* fp = fp_;
    const PartEntry* child = line->Part;
    char id[160];
    strncpy0(id, PovName(w_, child->DatName), sizeof(id));
    // In a colour of its own, a part with a slope variant is placed twice: as itself, and above
    // quality 0 as its "_slope" object in the colour's slope material.
    int copies = 1, depth = 1;
    if (child->AttrFlags.PovMark) {
        if (line->Colour == 16) {
            // The colour is chosen further up: the referencing part gets a slope variant instead.
            part_->AttrFlags.PovMark = 1;
            slopeCopies++;
        } else {
            copies = 2;
        }
    }
    unsigned attributes;
    Color2rgb(w_->colours, line->Colour, nullptr, &attributes);
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
        // coincide.
        const char* seam =
            lgeo ? (transparent ? "0.01" : nullptr)
                 : (NeedsSeam(part_, line) ? (transparent ? "TqSWT" : "TqSW") : nullptr);
        if (seam) {
            Put(fp, Tabs(depth), "\t");
            PrintPovSeamMatrix(w_, fp, child, seam);
        }
        Put(fp, Tabs(depth), "\t");
        PrintPovMatrix(w_, fp, line);
        // A material only where the part has colour 16 surfaces for it to colour; colour 16 itself
        // leaves the choice to whatever places this part.
        if (line->Colour != 16 && child->AttrFlags.UsesColour16)
            Put(fp, "\n", Tabs(depth), "\t", ColourRef(line->Colour, i > 0));
        Put(fp, "\n", Tabs(depth), "}\n");
        if (i > 0) Put(fp, Tabs(--depth), "#end\n");
    }
    if (merge) fputs("\t}\n", fp);
}

// Replacement by a ready-made model, in the priority order the user gave. A replacement is one
// member, which counts as a stud when the file is one.
bool TryReplacements(SceneWriter* w, FILE* fp, PartEntry* part, int isModel) {
    for (const char* letter = w->pov->ReplaceOrder; *letter; letter++) {
        int done = 0;
        unsigned char state = kPovNotWritten;
        switch (*letter) {
            case 'P':
                // Flattened parts hold their primitives' own triangles, which shade round.
                if (FlattensPart(w, part)) break;
                done = PrintPovPartPovEquiv(w, fp, part, isModel);
                state = kPovEquiv;
                break;
            case '3':
                done = PrintPovPartTqrPart(w, fp, part, isModel);
                state = kPovTqrParts;
                break;
            case 'L':
            case 'B':
                done = PrintPovPartLgeo(w, fp, part, isModel, *letter);
                state = *letter == 'L' ? kPovLgeo : kPovKv;
                break;
        }
        if (done) {
            PrintPovPartXxtro(w, fp, part, isModel, kOutro);
            part->nPovObjects = 1;
            part->nPovNonStudObjects = part->AttrFlags.IsStud ? 0 : 1;
            part->PovState = state;
            return true;
        }
    }
    return false;
}

// Sub-files that no declaration wrote yet (those loaded below a ready-made model, and in the -mesh
// mode every library file) are declared before this one, which places them. A flattened part
// keeps its lines: another part may hold it too.
void DeclareChildren(SceneWriter* w, FILE* fp, PartEntry* part) {
    // The parts to flatten are made together first, each on a processor of its own.
    std::vector<const PartEntry*> flat;
    std::unordered_set<const PartEntry*> listed;
    for (const LineEntry* line = part->FirstLine; line; line = line->Next) {
        const PartEntry* child = line->Type == 1 ? line->Part : nullptr;
        if (child && child->PovState == kPovNotWritten && FlattensPart(w, child) &&
            listed.insert(child).second)
            flat.push_back(child);
    }
    PrebuildFlatParts(w, flat);
    for (LineEntry* line = part->FirstLine; line; line = line->Next) {
        PartEntry* child = line->Type == 1 ? line->Part : nullptr;
        if (!child || child->PovState != kPovNotWritten) continue;
        PrintPovPart(w, fp, child, 0);
        if (!FlattensPart(w, child)) FreeLines(child);
    }
    // Those a ready-made model replaced instead.
    w->prebuilt.clear();
}

// The "_slope" declaration of a part that places slope parts in colour 16: their "_slope"
// objects, placed as in the part and following its steps, for the part's parent to colour.
void PrintSlopeDeclaration(SceneWriter* w, FILE* fp, PartEntry* part, int isModel, const char* id,
                           int slopeCopies, int steps) {
    fprintf(fp, "\n#if (TqQuality > 0)\n#declare %s_slope = %s {\n", id,
            slopeCopies == 1 && steps == 0 ? "object" : "union");
    // Two far-away spheres keep the union non-empty outside every clock condition.
    if (steps != 0) fputs("\tsphere {<1e9,1e9,1e9>,1} sphere {<1e9,1e9,1e9>,1} //HACK\n", fp);
    int step = 0;
    for (const LineEntry* line = part->FirstLine; line; line = line->Next) {
        if (IsStepBoundary(w, line, isModel)) {
            PrintPovPartStep(fp, &step, 1);
        } else if (line->Type == 1 && line->Part->nPovObjects != 0 &&
                   line->Part->AttrFlags.PovMark && line->Colour == 16) {
            fprintf(fp, "\tobject { %s_slope ", PovName(w, line->Part->DatName));
            PrintPovMatrix(w, fp, line);
            fputs(" }\n", fp);
        }
    }
    PrintPovPartStep(fp, &step, 0);
    fputs("}\n#end\n", fp);
}

// "#declare id = " and the kind of object the members go into: a box instead at quality 0 for
// parts, a union when there are several members (or, for stud switches, may be).
void PrintDeclarationOpening(SceneWriter* w, FILE* fp, const PartEntry* part, const char* id,
                             const MemberCount& count) {
    // At quality 0 a part is its box: a quick preview of where everything goes. An object holds
    // one member and a union should hold two (POV-Ray warns otherwise), so where the count
    // depends on the quality (slope copies) or on the studs switch, the container does too.
    fprintf(fp, "#declare %s = ", id);
    if (part->LoadFlags.IsPart) {
        fprintf(fp, "#if (TqQuality = 0) box { %s,", PovGGG(w, part->BBox));
        fprintf(fp, " %s } #else ", PovGGG(w, part->BBox + 3));
    }
    if (count.members == 1)
        fputs(
            count.slopeRefs == 0 ? "object {\n" : "#if (TqQuality > 0) union #else object #end {\n",
            fp);
    else
        fputs(count.nonStud == 1 ? "#if (TqStuds) union #else object #end {\n" : "union {\n", fp);
}

void DeclarePart(SceneWriter* w, FILE* fp, PartEntry* part, int isModel) {
    // Marked at once, so that a reference back to this part while it is written does not start
    // it again.
    part->PovState = kPovEmpty;
    PrintPovHeader(w, fp);
    if (part->LoadFlags.IsPart) w->nPovTotalFromPARTS++;
    if (part->LoadFlags.IsPrimitive) w->nPovTotalFromP++;
    PrintUsedColors(w, fp);
    // Only library files are replaced; models and sub-models are always converted.
    if ((part->LoadFlags.IsPart || part->LoadFlags.IsPrimitive) &&
        TryReplacements(w, fp, part, isModel))
        return;
    if (FlattensPart(w, part)) {
        DeclareFlatPart(w, fp, part, isModel);
        return;
    }
    DeclareChildren(w, fp, part);
    MemberCount count;
    WalkMembers(w, part, isModel, false, &count);
    part->nPovObjects = count.members;
    part->nPovNonStudObjects = count.nonStud;
    if (count.members == 0) return;  // nothing to draw: references to the part are left out

    char id[160];
    strncpy0(id, PovName(w, part->DatName), sizeof(id));
    PrintPovPartXxtro(w, fp, part, isModel, kIntro);
    PrintDeclarationOpening(w, fp, part, id, count);
    DeclarationPrinter printer(w, fp, part, isModel);
    WalkMembers(w, part, isModel, part->nPovNonStudObjects != 0, &printer);
    PrintPovPartStep(fp, &printer.steps, 0);
    fputs(part->LoadFlags.IsPart ? "}\n#end\n" : "}\n", fp);
    if (part->AttrFlags.PovMark)
        PrintSlopeDeclaration(w, fp, part, isModel, id, printer.slopeCopies, printer.steps);
    PrintPovPartXxtro(w, fp, part, isModel, kOutro);
    part->PovState = kPovNormal;
    // What comes before the first STEP is a step too.
    if (printer.steps != 0) fprintf(w->diag->StdErr, "Number of steps: %d\n", printer.steps + 1);
}

}  // namespace

void PrintPovPart(SceneWriter* w, FILE* fp, PartEntry* part, int isModel) {
    if (part->PovState != kPovNotWritten) return;
    // Sub-files not declared yet are declared from inside their parent's declaration, so a chain
    // of them is a chain of calls, bounded like every other nesting.
    int& depth = w->declarationDepth;
    if (depth >= kMaxNesting) {
        ErrorInInput(w->diag, 0, kFailure, "References nested more than %d deep: %s", kMaxNesting,
                     part->DatName);
        w->model->ModelIncomplete = 1;
        return;
    }
    depth++;
    DeclarePart(w, fp, part, isModel);
    depth--;
}
