// Colour materials of the scene and the small text helpers for vectors, colour names and
// material references.
#include <cstring>

#include "TqColor/TqColor.h"
#include "TqPov/TqPov.h"

const char* PovGGG(const float* v) {
    return SceneWriter.vector.Clear().AddVector(v).c_str();
}

const char* Pov255(const float* rgb) {
    // Extended precision, so that a channel stored as 77/255 prints as 77 again.
    char text[96];
    snprintf(text, sizeof(text), "%Lg,%Lg,%Lg", (long double)rgb[0] * 255,
             (long double)rgb[1] * 255, (long double)rgb[2] * 255);
    return SceneWriter.rgb.Clear().Add(text).c_str();
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

const char* DatColorStr(int colour) {
    return AddColourName(SceneWriter.colourName.Clear(), (unsigned)colour).c_str();
}

const char* PovColorRef(int colour, int slope) {
    TextBuffer<64>& text = SceneWriter.colourRef.Clear().Add("material { TqColor", 18);
    AddColourName(text, (unsigned)colour).Add(SlopeSuffix(slope)).Add(" }", 2);
    return text.c_str();
}

const char* PovFinishTag(int finish) {
    if (finish < 0 || finish >= 6) return "Transparent";
    // The tag with every letter after the first in lower case: Opaque, Matte_metallic.
    TextBuffer<32>& tag = SceneWriter.finishTag.Clear().Add(TqColourFinishTags[finish]);
    Tqstrlwr(const_cast<char*>(tag.c_str()) + 1);
    return tag.c_str();
}

// The plainest macro that can express the colour: RGB with its finish; RGBA for a transparent
// colour without a finish of its own; the general macro once luminance, or alpha together with a
// finish, must go in. A result of 1 makes the colour's materials TqMaterialT, with an interior.
int PrintPovColorTexture(FILE* fp, const float* rgb, unsigned attributes) {
    int finish = (int)(attributes & kColourFinishMask);
    bool alphaGiven = attributes & kColourHasAlpha,
         luminanceGiven = attributes & kColourHasLuminance;
    int alpha = (int)((attributes >> 8) & 0xFF), luminance = (int)((attributes >> 16) & 0xFF);
    if (!alphaGiven && !luminanceGiven) {
        fprintf(fp, "TqTexture%sRGB(%s)\n", PovFinishTag(finish), Pov255(rgb));
        return 0;
    }
    if (alphaGiven && !luminanceGiven && finish == 0) {
        fprintf(fp, "TqTextureTransparentRGBA(%s,%d)\n", Pov255(rgb), alpha);
        return 1;
    }
    fprintf(fp, "TqTextureOtherRGBFAL(%s,%d,%d,%d)\n", Pov255(rgb), finish, alphaGiven ? alpha : -1,
            luminanceGiven ? luminance : -1);
    return 1;
}

// A colour's texture, slope texture and both materials, each under its own #ifndef so that an
// include file read earlier can replace any one of them. The bookmark names the file the colour
// came from, if any: LGEO's colour file or the library's.
void PrintPovColor(FILE* fp, int colour) {
    const ColourEntry* entry =
        colour >= 0 && colour <= kMaxColourCode ? FindColour(colour) : nullptr;
    float rgb[3];
    unsigned attributes;
    Color2rgb(colour, rgb, &attributes);
    const char* lgeoName = TqPov.LgeoColors ? FindLgeoColr(colour) : nullptr;
    char name[24];
    strncpy0(name, DatColorStr(colour), sizeof(name));
    const char* source = lgeoName                              ? " (from lg_color.inc)"
                         : (attributes & kColourFromFile) != 0 ? " (from ldconfig.ldr)"
                                                               : "";
    PrintPovBookmark(fp, "Color %s%s%s%s", name, entry ? " " : "", entry ? entry->Name : "",
                     source);
    fprintf(fp, "#ifndef (TqTexture%s)\n", name);
    // A colour LGEO lacks keeps its LDraw texture; direct colours are never in LGEO's list, so
    // they draw no note.
    if (TqPov.LgeoColors && !lgeoName && colour <= kMaxColourCode) {
        fputs("// Color not in lg_color.inc; however use same texture\n", fp);
        printf("*** Color %s not defined in lg_color.inc\n", name);
    }
    fprintf(fp, "#declare TqTexture%s = ", name);
    int transparent;
    if (lgeoName) {
        // LGEO's texture brings its own transparency; the LDraw colour's alpha picks the material.
        fprintf(fp, "texture { %s }\n", lgeoName);
        transparent = (attributes & kColourHasAlpha) != 0;
    } else {
        transparent = PrintPovColorTexture(fp, rgb, attributes);
    }
    fputs("#end\n", fp);
    fprintf(
        fp,
        "#ifndef (TqTexture%s_slope)\n#declare TqTexture%s_slope = TqTextureSlope(TqTexture%s)\n#end\n",
        name, name, name);
    for (int slope = 0; slope < 2; slope++) {
        const char* suffix = SlopeSuffix(slope);
        fprintf(fp,
                "#ifndef (TqColor%s%s)\n#declare TqColor%s%s = TqMaterial%s(TqTexture%s%s)\n#end\n",
                name, suffix, name, suffix, transparent ? "T" : "", name, suffix);
    }
    fputc('\n', fp);
}

// Every colour met so far that is not declared yet: called before each part's declaration, so a
// colour is declared once, ahead of its first use.
void PrintUsedColors(FILE* fp) {
    for (int i = 0; i < nUsedColors; i++) {
        if (UsedColors[i].Flags & kUsedColorPrinted) continue;
        PrintPovColor(fp, UsedColors[i].Colour);
        UsedColors[i].Flags |= kUsedColorPrinted;
    }
}
