// Colour materials of the scene and the small text helpers for vectors, colour names and
// material references.
#include <cstring>

#include "TqColor/TqColor.h"
#include "TqPov/TqPov.h"

const char* PovGGG(SceneWriter* w, const float* v) {
    return w->vector.Clear().AddVector(v).c_str();
}

const char* Pov255(SceneWriter* w, const float* rgb) {
    // Extended precision, so that a channel stored as 77/255 prints as 77 again.
    char text[96];
    snprintf(text, sizeof(text), "%Lg,%Lg,%Lg", (long double)rgb[0] * 255,
             (long double)rgb[1] * 255, (long double)rgb[2] * 255);
    return w->rgb.Clear().Add(text).c_str();
}

const char* SlopeSuffix(int slope) {
    return slope ? "_slope" : "";
}

const char* ClearSuffix(int clear) {
    return clear ? "_clear" : "";
}

// The scene name of a colour number: "%ld" below 0x1000000, else "0x%08lX", so that a direct
// colour (0x2RRGGBB and the like) shows its form and its RGB digits.
template <size_t N>
static TextBuffer<N>& AddColourName(TextBuffer<N>& text, unsigned u) {
    if (u < 0x1000000) return text.AddUnsigned(u);
    text.Add("0x", 2);
    for (int shift = 28; shift >= 0; shift -= 4) text.Add("0123456789ABCDEF"[(u >> shift) & 0xF]);
    return text;
}

const char* DatColorStr(SceneWriter* w, int colour) {
    return AddColourName(w->colourName.Clear(), (unsigned)colour).c_str();
}

const char* PovColorRef(SceneWriter* w, int colour, int slope) {
    TextBuffer<64>& text = w->colourRef.Clear().Add("material { TqColor", 18);
    AddColourName(text, (unsigned)colour).Add(SlopeSuffix(slope)).Add(" }", 2);
    return text.c_str();
}

const char* PovStepColorRef(SceneWriter* w, int colour, int slope, int section) {
    TextBuffer<160>& text = w->stepColourRef.Clear().Add("material { #if (clock > ");
    text.AddUnsigned((unsigned long)section + 1).Add(") TqColor");
    AddColourName(text, (unsigned)colour).Add(SlopeSuffix(slope)).Add("_faded #else TqColor");
    AddColourName(text, (unsigned)colour).Add(SlopeSuffix(slope)).Add(" #end }");
    return text.c_str();
}

void FadeRgb(const SceneWriter* w, const float* rgb, float* faded) {
    float share = w->pov->StepFade;
    for (int i = 0; i < 3; i++) faded[i] = rgb[i] + (1 - rgb[i]) * share;
}

const char* PovFinishTag(SceneWriter* w, int finish) {
    if (finish < 0 || finish >= 6) return "Transparent";
    // The tag with every letter after the first in lower case: Opaque, Matte_metallic.
    TextBuffer<32>& tag = w->finishTag.Clear().Add(TqColourFinishTags[finish]);
    Tqstrlwr(const_cast<char*>(tag.c_str()) + 1);
    return tag.c_str();
}

// The plainest macro that can express the colour: RGB with its finish; RGBA for a transparent
// colour without a finish of its own; the general macro once luminance, or alpha together with a
// finish, must go in. A result of 1 makes the colour's materials TqMaterialT, with an interior.
int PrintPovColorTexture(SceneWriter* w, FILE* fp, const float* rgb, unsigned attributes,
                         const char* end) {
    int finish = (int)(attributes & kColourFinishMask);
    bool alphaGiven = attributes & kColourHasAlpha,
         luminanceGiven = attributes & kColourHasLuminance;
    int alpha = (int)((attributes >> 8) & 0xFF), luminance = (int)((attributes >> 16) & 0xFF);
    if (!alphaGiven && !luminanceGiven) {
        fprintf(fp, "TqTexture%sRGB(%s)%s", PovFinishTag(w, finish), Pov255(w, rgb), end);
        return 0;
    }
    if (alphaGiven && !luminanceGiven && finish == 0) {
        fprintf(fp, "TqTextureTransparentRGBA(%s,%d)%s", Pov255(w, rgb), alpha, end);
        return 1;
    }
    fprintf(fp, "TqTextureOtherRGBFAL(%s,%d,%d,%d)%s", Pov255(w, rgb), finish,
            alphaGiven ? alpha : -1, luminanceGiven ? luminance : -1, end);
    return 1;
}

namespace {

// Glitter and speckle are written in the flattened-part mode only: the scenes of the other modes
// stay as they were, and the studio look, which draws the flecks, converts with -mesh.
const ColourMaterial* FlecksOf(const SceneWriter* w, int colour) {
    if (!w->settings->Mesh.On || colour < 0 || colour > kMaxColourCode) return nullptr;
    return FindMaterial(w->colours, colour);
}

// "TqTextureSpeckle(<colour's own texture>, r,g,b, fraction, min, max)" or "TqTextureGlitter(
// <texture>, r,g,b, fraction, vfraction, min, max)": the scene's own macros give the colour's
// texture alone, the studio look's draw the flecks over it.
// The slope texture puts the slope's normal on the colour's own texture, under the flecks: a
// texture with flecks is a pattern of textures, which takes no normal of its own.
int PrintPovFleckTexture(SceneWriter* w, FILE* fp, const float* rgb, unsigned attributes,
                         const ColourMaterial& m, bool slope) {
    bool glitter = m.kind == ColourMaterial::kGlitter;
    fputs(glitter ? "TqTextureGlitter(" : "TqTextureSpeckle(", fp);
    if (slope) fputs("TqTextureSlope(", fp);
    int transparent = PrintPovColorTexture(w, fp, rgb, attributes, slope ? ")" : "");
    float fleck[3] = {(float)((m.value >> 16) & 0xFF) / 255, (float)((m.value >> 8) & 0xFF) / 255,
                      (float)(m.value & 0xFF) / 255};
    fprintf(fp, ", %s, %g", Pov255(w, fleck), m.fraction);
    if (glitter) fprintf(fp, ", %g", m.vfraction);
    fprintf(fp, ", %g, %g)\n", m.minSize, m.maxSize);
    return transparent;
}

}  // namespace

// -sf: the colour of parts whose step is over, mixed with white: its texture, as the colour's own
// but lighter, and both materials.
static void PrintFadedColour(SceneWriter* w, FILE* fp, const char* name, const float* rgb,
                             unsigned attributes) {
    float faded[3];
    FadeRgb(w, rgb, faded);
    fprintf(fp, "#ifndef (TqTexture%s_faded)\n#declare TqTexture%s_faded = ", name, name);
    int transparent = PrintPovColorTexture(w, fp, faded, attributes);
    fputs("#end\n", fp);
    const char* material = transparent ? "TqMaterialT" : "TqMaterial";
    fprintf(fp,
            "#ifndef (TqColor%s_faded)\n#declare TqColor%s_faded = %s(TqTexture%s_faded)\n#end\n",
            name, name, material, name);
    fprintf(fp,
            "#ifndef (TqColor%s_slope_faded)\n#declare TqColor%s_slope_faded = "
            "%s(TqTextureSlope(TqTexture%s_faded))\n#end\n",
            name, name, material, name);
}

// A colour's texture, slope texture and both materials, each under its own #ifndef so that an
// include file read earlier can replace any one of them. The bookmark names the file the colour
// came from, if any: LGEO's colour file or the library's.
void PrintPovColor(SceneWriter* w, FILE* fp, int colour) {
    const ColourEntry* entry =
        colour >= 0 && colour <= kMaxColourCode ? FindColour(w->colours, colour) : nullptr;
    float rgb[3];
    unsigned attributes;
    Color2rgb(w->colours, colour, rgb, &attributes);
    const TqPovRecord* pov = w->pov;
    const char* lgeoName = pov->LgeoColors ? FindLgeoColr(w, colour) : nullptr;
    char name[24];
    strncpy0(name, DatColorStr(w, colour), sizeof(name));
    const char* source = lgeoName                              ? " (from lg_color.inc)"
                         : (attributes & kColourFromFile) != 0 ? " (from ldconfig.ldr)"
                                                               : "";
    PrintPovBookmark(fp, "Color %s%s%s%s", name, entry ? " " : "", entry ? entry->Name : "",
                     source);
    fprintf(fp, "#ifndef (TqTexture%s)\n", name);
    // A colour LGEO lacks keeps its LDraw texture; direct colours are never in LGEO's list, so
    // they draw no note.
    if (pov->LgeoColors && !lgeoName && colour <= kMaxColourCode) {
        fputs("// Color not in lg_color.inc; however use same texture\n", fp);
        fprintf(w->diag->Out, "*** Color %s not defined in lg_color.inc\n", name);
    }
    fprintf(fp, "#declare TqTexture%s = ", name);
    int transparent;
    const ColourMaterial* flecks = lgeoName ? nullptr : FlecksOf(w, colour);
    if (lgeoName) {
        // LGEO's texture brings its own transparency; the LDraw colour's alpha picks the material.
        fprintf(fp, "texture { %s }\n", lgeoName);
        transparent = (attributes & kColourHasAlpha) != 0;
    } else if (flecks) {
        transparent = PrintPovFleckTexture(w, fp, rgb, attributes, *flecks, false);
    } else {
        transparent = PrintPovColorTexture(w, fp, rgb, attributes);
    }
    fputs("#end\n", fp);
    if (flecks) {
        fprintf(fp, "#ifndef (TqTexture%s_slope)\n#declare TqTexture%s_slope = ", name, name);
        PrintPovFleckTexture(w, fp, rgb, attributes, *flecks, true);
        fputs("#end\n", fp);
    } else {
        fprintf(fp,
                "#ifndef (TqTexture%s_slope)\n#declare TqTexture%s_slope = "
                "TqTextureSlope(TqTexture%s)\n#end\n",
                name, name, name);
    }
    for (int slope = 0; slope < 2; slope++) {
        const char* suffix = SlopeSuffix(slope);
        fprintf(fp,
                "#ifndef (TqColor%s%s)\n#declare TqColor%s%s = TqMaterial%s(TqTexture%s%s)\n#end\n",
                name, suffix, name, suffix, transparent ? "T" : "", name, suffix);
    }
    if (pov->StepFade != 0) PrintFadedColour(w, fp, name, rgb, attributes);
    fputc('\n', fp);
}

// Every colour met so far that is not declared yet: called before each part's declaration, so a
// colour is declared once, ahead of its first use.
void PrintUsedColors(SceneWriter* w, FILE* fp) {
    Model* model = w->model;
    for (int i = 0; i < model->nUsedColors; i++) {
        UsedColorEntry& used = model->UsedColors[i];
        if (used.Flags & kUsedColorPrinted) continue;
        PrintPovColor(w, fp, used.Colour);
        used.Flags |= kUsedColorPrinted;
    }
}
