// The small scene texts of part declarations: placement and seam matrices, triangles, the clock
// conditions of steps, the guard around a declaration and the echo of LDraw lines as comments.
#include <cstring>

#include "TqPov/TqPov.h"

// POV-Ray multiplies a point as a row from the left, LDraw as a column from the right: the matrix
// goes in transposed, a d g, b e h, c f i, then the position x y z.
void PrintPovMatrix(SceneWriter* w, FILE* fp, const LineEntry* line) {
    const float* m = line->Data;
    TextBuffer<12 * 32 + 16> text(&w->nNonFiniteNumbers);
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
void PrintPovSeamMatrix(SceneWriter* w, FILE* fp, const PartEntry* part, const char* width) {
    TextBuffer<512> text(&w->nNonFiniteNumbers);
    AddSeamMatrix(w, &text, part, width);
    text.Add('\n');
    text.WriteTo(fp);
}

void AddSeamMatrix(SceneWriter* w, TextBuffer<512>* out, const PartEntry* part, const char* width) {
    TextBuffer<512>& text = *out;
    float size[3], centre[3];
    for (int i = 0; i < 3; i++) {
        size[i] = (float)((double)part->BBox[3 + i] - part->BBox[i]);
        centre[i] = (float)(((double)part->BBox[i] + part->BBox[3 + i]) / 2);
    }
    float seam = w->pov->SeamWidth;
    // "1-%s/%g" per axis on the diagonal, then ",%s/%g" per axis for the shift.
    text.Add("matrix <", 8);
    for (int i = 0; i < 3; i++) {
        if (size[i] == 0 || seam >= size[i])
            text.Add('1');
        else
            text.Add("1-", 2).Add(width).Add('/').AddG(size[i]);
        if (i < 2) text.Add(",0,0,0,", 7);
    }
    for (int i = 0; i < 3; i++) {
        if (size[i] == 0 || centre[i] == 0 || seam >= size[i])
            text.Add(",0", 2);
        else
            text.Add(',').Add(width).Add('/').AddG(size[i] / centre[i]);
    }
    text.Add('>');
}

void PrintPovPartTriangle(SceneWriter* w, FILE* fp, const LineEntry* line, int first) {
    TextBuffer<3 * 112 + 32> text(&w->nNonFiniteNumbers);
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
void PrintPovPartXxtro(SceneWriter* w, FILE* fp, const PartEntry* part, int isModel,
                       XxtroSide side) {
    if (side == kOutro) {
        fprintf(fp, "#end // ifndef (%s)\n\n", PovName(w, part->DatName));
        return;
    }
    const char* kind = isModel                       ? "Model"
                       : part->LoadFlags.IsPrimitive ? "Primitive"
                       : part->LoadFlags.IsPart      ? "Part"
                                                     : "Submodel";
    PrintPovBookmark(fp, "%s %s", kind, part->DatName);
    fprintf(fp, "#ifndef (%s)\n", PovName(w, part->DatName));
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
void PrintDatLine(SceneWriter* w, FILE* fp, const LineEntry* line) {
    if (line->Type == 0) {
        Put(fp, " 0 ", SceneSafe(line->Text).c_str(), "\n");
        return;
    }
    const float* m = line->Data;
    TextBuffer<12 * 34 + 40> text(&w->nNonFiniteNumbers);
    text.Add(' ').Add((char)('0' + line->Type)).Add(' ').Add(DatColorStr(w, line->Colour));
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
