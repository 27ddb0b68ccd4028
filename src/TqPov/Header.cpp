// The opening of every scene: the comment header that records how it was made, then the global
// declarations (settings, lighting constants, stud logo, LGEO glue, finishes, texture macros).
#include <unistd.h>

#include <algorithm>
#include <cstdarg>
#include <cstring>
#include <ctime>

#include "TqColor/TqColor.h"
#include "TqPov/TqPov.h"
#include "TqSettings/Website.h"

const char kIncludeTqBegin[] = "TqBegin.inc";
const char kIncludeTqEnd[] = "TqEnd.inc";

namespace {

// Every colour declaration calls a macro, and #macro came with POV-Ray 3.1: an older version stops
// at once with a message instead of with a parse error further down.
const char kVersionGuard[] = R"(
#if (version < 3.1)
	#error "This POV code requires at least version 3.1\n"
#end
)";

// Constants the finishes and textures share, and the seam of transparent bricks: never 0, so that
// the touching faces of two transparent bricks cannot coincide.
const char kLighting[] = R"(#declare TqAmbient = 0.4;
#declare TqDiffuse = 0.4;
#declare TqIor     = 1.25;
#declare TqNormalBumps = normal { bumps 0.01 scale 20 }
#declare TqNormalSlope = normal { bumps 0.3 scale 0.5 }


#declare TqSWT = (TqSW ? TqSW : 0.001);  // At least a small seam when transparent

)";

// The stud lettering: spheres, open cylinders and clipped tori in the plane y = 0, scaled to fit
// the top of a stud (radius 6). The stud equivalents add it from quality 3 on (hollow studs at 4).
const char kLogo[] = R"(#declare TqLogo = union {
	sphere {<-59,0,-96>,6}
	cylinder {<-59,0,-96>,<59,0,-122>,6 open}
	sphere {<59,0,-122>,6}
	cylinder {<59,0,-122>,<59,0,-84>,6 open}
	sphere {<59,0,-84>,6}

	sphere {<-59,0,-36>,6}
	cylinder {<-59,0,-36>,<-59,0,1>,6 open}
	sphere {<-59,0,1>,6}
	cylinder {<0,0,-49>,<0,0,-25>,6 open}
	sphere {<0,0,-25>,6}
	sphere {<59,0,-62>,6}
	cylinder {<59,0,-62>,<59,0,-24>,6 open}
	sphere {<59,0,-24>,6}
	cylinder {<-59,0,-36>,<59,0,-62>,6 open}

	sphere {<-35.95,0,57>,6}
	torus {18.45,6 clipped_by{plane{<40,0,-9>,0}} translate<-40,0,39>}
	cylinder {<-44.05,0,21>,<35.95,0,3>,6 open}
	torus {18.45,6 clipped_by{plane{<-40,0,9>,0}} translate<40,0,21>}
	cylinder {<44.05,0,39>,<0,0,49>,6 open}
	sphere {<0,0,49>,6}
	cylinder {<0,0,49>,<0,0,34>,6 open}
	sphere {<0,0,34>,6}

	torus {18.45,6 clipped_by{plane{<40,0,-9>,0}} translate<-40,0,99>}
	cylinder {<-44.05,0,81>,<35.95,0,63>,6 open}
	torus {18.45,6 clipped_by{plane{<-40,0,9>,0}} translate<40,0,81>}
	cylinder {<44.05,0,99>,<-35.95,0,117>,6 open}

	scale 4.5/128
}

)";

// LGEO's colour file includes POV-Ray's colors.inc, whose #version directives switch the rest of
// the scene to 3.7 rules without assumed_gamma: colours wash out and POV-Ray warns. The scene is
// written for the rules before 3.7, so those come back after LGEO's files. Before any #version
// POV-Ray reports 3.7 although it keeps the old rules, hence the 3.62 in that case; an include
// that wants 3.7 (a begin file) states it itself, after this.
const char kLgeoVersionSave[] = "#declare TqVersionBeforeLgeo = version;\n";
const char kLgeoVersionRestore[] =
    "#version (TqVersionBeforeLgeo < 3.7 ? TqVersionBeforeLgeo : 3.62);\n";

// LGEO models stand with z up and measure LG_BRICK_WIDTH per stud pitch (20 LDraw units) and
// LG_BRICK_HEIGHT per brick (24); LDraw's y axis points down. These swap the axes and scale.
const char kLgeoTransforms[] = R"(
#declare TqLDrawToLgeo = transform { matrix <0,-LG_BRICK_WIDTH/20,0, 0,0,-LG_BRICK_HEIGHT/24, -LG_BRICK_WIDTH/20,0,0, 0,0,4*LG_BRICK_HEIGHT/24> }
#declare TqLgeoToLDraw = transform { matrix <0,0,-20/LG_BRICK_WIDTH, -20/LG_BRICK_WIDTH,0,0, 0,-24/LG_BRICK_HEIGHT,0, 0,0,0> }

)";

// Filter only above quality 1: quality 1 renders transparent colours opaque and so saves the
// cost of rays through them.
const char kTransparentMacro[] = R"(#ifndef (TqTextureTransparentRGBA)
#macro TqTextureTransparentRGBA(r,g,b,a)
// Alpha -> Filter: 255 -> 1.00, 128 -> 0.85, 0 -> 0
#local f = (a >= 128 ? 0.85 + (a-128) * 0.15 / (255-128) : a * 0.85 / 255);
texture {
	pigment { rgb <r/255,g/255,b/255> #if (TqQuality > 1) filter f #end }
	finish { TqFinishTransparent }
	#if (TqBumps & (TqQuality > 1)) normal { TqNormalBumps } #end
}
#end
#end

)";

// Colours with luminance, or with alpha and a finish, need the general texture macro; without it
// a model in a glow-in-the-dark or transparent rubber colour would not parse.
// Glitter and speckle colours (-mesh) pass their own texture and their flecks; here the colour is
// drawn without the flecks, the studio look's include file draws them.
const char kFleckMacros[] = R"(#ifndef (TqTextureSpeckle)
#macro TqTextureSpeckle(tex, r, g, b, fraction, minSize, maxSize)
texture { tex }
#end
#end

#ifndef (TqTextureGlitter)
#macro TqTextureGlitter(tex, r, g, b, fraction, vfraction, minSize, maxSize)
texture { tex }
#end
#end

)";

const char kOtherMacro[] = R"(#ifndef (TqTextureOtherRGBFAL)
#macro TqTextureOtherRGBFAL(r,g,b,fin,a,l)
// fin: finish index 0..5 (Opaque ... Metal); a: alpha or -1; l: luminance or -1
#local f = (a < 0 ? 0 : (a >= 128 ? 0.85 + (a-128) * 0.15 / (255-128) : a * 0.85 / 255));
texture {
	pigment { rgb <r/255,g/255,b/255> #if ((a >= 0) & (TqQuality > 1)) filter f #end }
	finish {
		#switch (fin)
			#case (1) TqFinishChrome #break
			#case (2) TqFinishPearlescent #break
			#case (3) TqFinishRubber #break
			#case (4) TqFinishMatte_metallic #break
			#case (5) TqFinishMetal #break
			#else #if (a >= 0) TqFinishTransparent #else TqFinishOpaque #end
		#end
		#if (l > 0) emission l/255 #end
	}
	#if (TqBumps & (TqQuality > 1)) normal { TqNormalBumps } #end
}
#end
#end

)";

// The slope texture roughens the slanted faces of slope bricks; TqMaterialT gives transparent
// colours an interior that refracts. Both only above quality 1. The text stops where the index of
// refraction goes in: LGEO's own when its finishes are used.
const char kSlopeAndMaterialMacros[] = R"(#ifndef (TqTextureSlope)
#macro TqTextureSlope(tex)
texture {
	tex
	#if (TqQuality > 1) normal { TqNormalSlope } #end
}
#end
#end

#ifndef (TqMaterial)
#macro TqMaterial(tex)
material {
	texture { tex }
}
#end
#end

#ifndef (TqMaterialT)
#macro TqMaterialT(tex)
material {
	texture { tex }
	#if (TqQuality > 1)
		interior { )";

const char kMaterialMacroEnd[] = R"( }
	#end
}
#end
#end


)";

// How one finish is written without LGEO finishes, and the LGEO finish that stands for it.
struct FinishForm {
    const char* ambientDiffuse;  // replaces the two default lines; null for the defaults
    const char* quality;         // lines of the "#if (TqQuality >= 2)" block; null = unsupported
    const char* lgeoName;        // LGEO finish; null = not in LGEO
};

// Indexed like the finish bits of a colour: Opaque, Chrome, Pearlescent, Rubber, Matte_metallic,
// Metal, Transparent.
const FinishForm kFinishes[7] = {
    {nullptr, "phong 0.5\nphong_size 40\nreflection 0.08\n", "lg_solid_finish"},
    {"ambient 0.25\ndiffuse 0.6\n",
     "brilliance 5\nmetallic\nspecular 0.80\nroughness 1/100\nreflection 0.65\n",
     "lg_chrome_finish"},
    {nullptr, nullptr, "lg_pearl_finish"},
    {nullptr, "phong 0.1\nphong_size 10\nreflection 0\n", nullptr},
    {nullptr, nullptr, nullptr},
    {nullptr, nullptr, nullptr},
    {nullptr, "phong 0.5\nphong_size 40\nreflection 0.2\n", "lg_transparent_finish"},
};

// Each line of lines indented by depth tabs; every line, the last one too, ends in '\n'.
void PrintIndentedLines(FILE* fp, const char* lines, int depth) {
    while (*lines) {
        const char* end = strchr(lines, '\n');
        fprintf(fp, "%s%.*s\n", Tabs(depth), (int)(end - lines), lines);
        lines = end + 1;
    }
}

// One finish, guarded by #ifndef like every declaration, so that an include file read earlier can
// define its own. Highlights and reflection come only at quality 2 and above, keeping draft renders
// quick. A finish without a look of its own (or, with LGEO finishes, one LGEO lacks) is Opaque.
void PrintFinish(SceneWriter* w, FILE* fp, int index) {
    const FinishForm& form = kFinishes[index];
    const char* name = PovFinishTag(w, index);
    bool lgeoFinishes = w->pov->LgeoFinishes;
    fprintf(fp, "#ifndef (TqFinish%s)\n", name);
    if (lgeoFinishes && form.lgeoName) {
        fprintf(fp, "#declare TqFinish%s = finish { %s }\n", name, form.lgeoName);
    } else if (!form.quality || lgeoFinishes) {
        fputs(lgeoFinishes ? "//Not supported in LGEO, using Opaque\n"
                           : "//Not supported yet, using Opaque\n",
              fp);
        fprintf(fp, "#declare TqFinish%s = finish { TqFinishOpaque }\n", name);
    } else {
        fprintf(fp, "#declare TqFinish%s = finish {\n", name);
        PrintIndentedLines(
            fp,
            form.ambientDiffuse ? form.ambientDiffuse : "ambient TqAmbient\ndiffuse TqDiffuse\n",
            1);
        fputs("\t#if (TqQuality >= 2)\n", fp);
        PrintIndentedLines(fp, form.quality, 2);
        fputs("\t#end\n}\n", fp);
    }
    fputs("#end\n\n", fp);
}

}  // namespace

// A view into the end of one fixed run of tabs: no buffer to overwrite, however many calls share
// one printf.
const char* Tabs(int n) {
    static const char kTabs[] = "\t\t\t\t\t\t\t\t";
    if (n < 0) n = 0;
    if (n > 8) n = 8;
    return kTabs + 8 - n;
}

// Control characters are rare, so the common case only looks: no copy, no allocation.
SceneSafe::SceneSafe(const char* text) : text_(text ? text : "") {
    auto isControl = [](unsigned char c) { return (c < 0x20 && c != '\t') || c == 0x7F; };
    const char* p = text_;
    while (*p && !isControl((unsigned char)*p)) p++;
    if (!*p) return;
    copy_ = text_;
    for (char& c : copy_) {
        if (isControl((unsigned char)c)) c = '?';
    }
    text_ = copy_.c_str();
}

// Bookmarks carry file and colour names; the whole line goes through SceneSafe.
void PrintPovBookmark(FILE* fp, const char* format, ...) {
    va_list ap, again;
    va_start(ap, format);
    va_copy(again, ap);
    int n = vsnprintf(nullptr, 0, format, ap);
    va_end(ap);
    std::string text((size_t)std::max(n, 0), '\0');
    vsnprintf(text.data(), text.size() + 1, format, again);  // the terminator's place is ours
    va_end(again);
    fputs("\n//// ", fp);
    fputs(SceneSafe(text.c_str()).c_str(), fp);
    fputc('\n', fp);
}

void PrintPovIncludeLgeo(FILE* fp, int depth, const char* name) {
    fprintf(fp, "%s#include \"%s.inc\"\n", Tabs(depth), SceneSafe(name).c_str());
}

// The TQRPARTS begin and end files are known by address, so that no label can pass for them, and
// are included only when they exist; a path too long to compose counts as absent.
void PrintPovIncludeFile(SceneWriter* w, FILE* fp, const char* label, const char* path) {
    if (label == kIncludeTqBegin || label == kIncludeTqEnd) {
        char found[kPathSize];
        const LDrawIniS* ini = w->library->LDrawIni;
        if (!ini || snprintf(found, sizeof(found), "%s/TQRPARTS/%s", ini->LDrawDir, label) >=
                        (int)sizeof(found)) {
            return;
        }
        FILE* probe = fopeni(w->library, found, "r");
        if (!probe) return;
        fclose(probe);
        path = label;  // the include names the bare file; POV-Ray finds it on its library path
    }
    if (!path) return;
    PrintPovBookmark(fp, "IncludeFile %s", label);
    fprintf(fp, "#include \"%s\"\n", SceneSafe(path).c_str());
}

namespace {

// The settings the scene was made with, as adjustable declarations, and the fixed ones.
void PrintSettingsDefines(const TqPovRecord* pov, FILE* fp) {
    if (pov->MegaPovVersion) {
        PrintPovBookmark(fp, "MegaPOV");
        fprintf(fp, "#version unofficial megapov %s;\n", pov->MegaPovVersion);
        fputs(
            "// The above line of POV code must be included in every include file as well,\n"
            "// not just the main POV file.\n\n",
            fp);
    }
    // Quality, seam width, studs and bumps are scene variables, not baked into the parts: editing
    // these lines renders the same scene another way without converting again.
    PrintPovBookmark(fp, "Defines");
    fprintf(
        fp,
        "\n#declare TqVersion = 1.4;\n\n#declare TqQuality = %d;  // Quality level, 0=BBox, 1=no refr, 2=normal, 3=studlogo, 4=stud2logo\n\n",
        pov->Quality);
    fprintf(fp, "#declare TqSW = %g;  // Width of seam between two bricks\n\n", pov->SeamWidth);
    fprintf(fp, "#declare TqStuds = %d;  // 1=on 0=off\n\n", pov->Studs ? 1 : 0);
    fprintf(fp, "#declare TqBumps = %d;  // 1=on 0=off\n\n\n", pov->Bumps ? 1 : 0);
    fputs(kLighting, fp);
    fputs(kLogo, fp);
}

// LGEO's own declarations and the transforms between its coordinates and LDraw's.
// LGEO takes its quality and studs from lg_quality and lg_studs, so they follow the scene's.
// lg_color.inc holds LGEO's finishes as well as its colours, and its colours are never used
// without its finishes.
void PrintLgeoBlock(const TqPovRecord* pov, FILE* fp) {
    fputs("\n#declare lg_quality = TqQuality;\n#declare lg_studs = TqStuds;\n\n", fp);
    fputs(kLgeoVersionSave, fp);
    PrintPovIncludeLgeo(fp, 0, "lg_defs");
    if (pov->LgeoFinishes) PrintPovIncludeLgeo(fp, 0, "lg_color");
    fputs(kLgeoVersionRestore, fp);
    fputs(kLgeoTransforms, fp);
}

// The texture and material macros every colour declaration calls.
// One RGB macro per finish but Transparent, which takes an alpha and has a macro of its own.
void PrintMacros(SceneWriter* w, FILE* fp) {
    PrintPovBookmark(fp, "Macros");
    for (int i = 0; i < 6; i++) {
        const char* name = PovFinishTag(w, i);
        fprintf(fp, "#ifndef (TqTexture%sRGB)\n#macro TqTexture%sRGB(r,g,b)\ntexture {\n", name,
                name);
        fprintf(fp, "\tpigment { rgb <r/255,g/255,b/255> }\n\tfinish { TqFinish%s }\n", name);
        fputs("\t#if (TqBumps & (TqQuality > 1)) normal { TqNormalBumps } #end\n}\n#end\n#end\n\n",
              fp);
    }
    fputs(kTransparentMacro, fp);
    fputs(kOtherMacro, fp);
    if (w->settings->Mesh.On) fputs(kFleckMacros, fp);
    fputs(kSlopeAndMaterialMacros, fp);
    fputs(w->pov->LgeoFinishes ? "lg_ior" : "ior TqIor", fp);
    fputs(kMaterialMacroEnd, fp);
}

// With -lgeo -nolgc the LGEO colour names that patterned parts use get LDraw's colours.
void PrintLgeoColourTextures(SceneWriter* w, FILE* fp) {
    PrintPovBookmark(fp, "Textures for LGEO patterned parts");
    const LgeoTables& lgeo = w->lgeo;
    for (int i = 0; i < lgeo.nLgeoColrs; i++) {
        float rgb[3];
        unsigned attributes;
        if (Color2rgb(w->colours, lgeo.LgeoColrs[i].Code, rgb, &attributes) != 0) continue;
        fprintf(fp, "#declare %s = ", lgeo.LgeoColrs[i].Name);
        PrintPovColorTexture(w, fp, rgb, attributes);
    }
    fputc('\n', fp);
}

}  // namespace

// The declarations start here, and so does the banner of a failed scene: it keeps the comment
// header, which tells how the scene was made.
void PrintPovDefines(SceneWriter* w, FILE* fp) {
    const TqPovRecord* pov = w->pov;
    w->PovEndOfHeaderPosition = ftell(fp);
    fputs(kVersionGuard, fp);
    PrintSettingsDefines(pov, fp);
    if (strchr(pov->ReplaceOrder, 'L') || strchr(pov->ReplaceOrder, 'B') || pov->LgeoTest)
        PrintLgeoBlock(pov, fp);
    // User include files come before the guarded declarations so that they can replace them.
    if (pov->IncludeTqBegin) PrintPovIncludeFile(w, fp, kIncludeTqBegin, nullptr);
    PrintPovIncludeFile(w, fp, "AtBeginning", pov->IncludeBegin);
    fputs("\n\n", fp);
    PrintPovBookmark(fp, "Finishes");
    for (int i = 0; i < 7; i++) PrintFinish(w, fp, i);
    fputc('\n', fp);
    PrintMacros(w, fp);
    if (strchr(pov->ReplaceOrder, 'L') && !pov->LgeoColors) PrintLgeoColourTextures(w, fp);
}

// Everything that decided the scene's content (input, library, search directories, LGEO, the
// command line) goes into its comments, so that a scene can be traced back and made again.
void PrintPovHeader(SceneWriter* w, FILE* fp) {
    if (w->PovHeaderPrinted) return;
    w->PovHeaderPrinted = 1;
    const Model* model = w->model;
    const LDrawIniS* ini = w->library->LDrawIni;
    const TqPovRecord* pov = w->pov;
    const TqInputRecord& input = w->settings->TqInput;
    fprintf(fp, "// Generated by %s\n", ProgVer);
    fprintf(fp, "// Tqr website:  %s\n", TQ_WEBSITE);
    fprintf(fp, "// LDraw site:   %s\n", TQ_LDRAW_WEBSITE);
    // The reentrant forms: runs side by side must not share the C library's static buffers.
    time_t now = time(nullptr);
    struct tm local;
    char date[32] = "\n";  // asctime_r needs 26 characters; its text ends in '\n'
    if (localtime_r(&now, &local)) asctime_r(&local, date);
    fprintf(fp, "// Date:         %s", date);
    fprintf(fp, "// Input file:   %s\n", SceneSafe(w->PrintPovHeaderInputFullPath).c_str());
    if (model->ModelTitle[0])
        fprintf(fp, "// Title:        %s\n", SceneSafe(model->ModelTitle).c_str());
    if (model->ModelAuthor[0])
        fprintf(fp, "// Author:       %s\n", SceneSafe(model->ModelAuthor).c_str());
    fprintf(fp, "// ModelDir:     %s\n",
            SceneSafe(ini && ini->ModelDir ? ini->ModelDir : "").c_str());
    char cwd[kPathSize];
    if (getcwd(cwd, sizeof(cwd))) fprintf(fp, "// WorkDir:      %s\n", SceneSafe(cwd).c_str());
    if (ini) {
        fprintf(fp, "// LDRAWDIR:     %s (%s)\n", SceneSafe(ini->LDrawDir).c_str(),
                SceneSafe(ini->LDrawDirSource).c_str());
        fprintf(fp, "// SearchDirs:   (%s)\n", SceneSafe(ini->SearchSource).c_str());
        for (int i = 0; i < ini->nSearchDirs; i++)
            fprintf(fp, "// SearchDir%d:   %s (0x%x)\n", i + 1,
                    SceneSafe(ini->SearchDirs[i].Dir).c_str(), ini->SearchDirs[i].Flags);
    }
    if ((strchr(pov->ReplaceOrder, 'L') || strchr(pov->ReplaceOrder, 'B')) && input.LgeoDir[0])
        fprintf(fp, "// LGEODIR:      %s (%s)\n", SceneSafe(input.LgeoDir).c_str(),
                SceneSafe(input.LgeoDirSource).c_str());
    if (w->PrintPovHeaderExtraFunc) w->PrintPovHeaderExtraFunc(fp, w->PrintPovHeaderExtraUserData);
    PrintPovDefines(w, fp);
}
