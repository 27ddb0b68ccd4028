// The scan of the command line: one handler per option filling the settings records, and the
// colour and number arguments the options take.
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "TqColor/TqColor.h"
#include "TqPov/TqPov.h"
#include "Tqr/Tqr.h"

// ReplaceOrder has room for every source letter once, and no letter is added twice.
int strappchr(char* s, int letter) {
    if (strchr(s, letter)) return 1;
    size_t n = strlen(s);
    s[n] = (char)letter;
    s[n + 1] = '\0';
    return 0;
}

int strremchr(char* s, int letter) {
    char* p = strchr(s, letter);
    if (!p) return 1;
    memmove(p, p + 1, strlen(p + 1) + 1);
    return 0;
}

// One number as "%f" reads it (infinities and NaN are unreadable: they would reach the scene).
static bool ReadFloat(const char* s, float* value) {
    return ScanFloat(&s, value);
}

// Reads up to max numbers separated by single commas, as "%f,%f,%f" would; returns the count read
// and leaves *end just after the last one.
static int ReadFloatList(const char* s, float* values, int max, const char** end) {
    int n = 0;
    const char* p = s;
    while (n < max) {
        const char* number = p;
        if (n > 0) {
            if (*p != ',') break;
            number = p + 1;
        }
        if (!ScanFloat(&number, &values[n])) break;
        p = number;
        n++;
    }
    if (end) *end = p;
    return n;
}

// A colour number, and its RGB when rgb is given: then the colour file is read first, since its
// definition of a colour wins over the built-in one.
static int LookUpColourNumber(TqrRun* run, int code, float* rgb) {
    float scratch[3];
    float* out = rgb ? rgb : scratch;
    if (rgb) {
        if (!ReadColours(run)) return -1;
        return Color2rgb(&run->colours, code, out, nullptr);
    }
    // A number of the built-in table needs no colour file; only unknown numbers make us read it.
    if (Color2rgb(&run->colours, code, out, nullptr) == 0) return 0;
    if (!ReadColours(run)) return -1;
    return Color2rgb(&run->colours, code, out, nullptr);
}

// Four forms: r,g,b from 0 to 1; #RRGGBB; a colour number; a colour name. The range of r,g,b is
// checked only when a colour number is made of them (a direct colour, each channel truncated to
// 0..255); an RGB alone (-b, lights) goes to POV-Ray as given.
int ParseColor(TqrRun* run, const char* text, int* colour, float* rgb) {
    if (!*text) return 0;
    float c[3];
    const char* end;
    if (ReadFloatList(text, c, 3, &end) == 3) {
        if (rgb) {
            for (int i = 0; i < 3; i++) rgb[i] = c[i];
        }
        if (colour) {
            for (int i = 0; i < 3; i++) {
                if (!(c[i] >= 0 && c[i] <= 1)) return -1;
            }
            *colour = kDirectColourBase + ((int)(c[0] * 255) << 16) + ((int)(c[1] * 255) << 8) +
                      (int)(c[2] * 255);
        }
        return 1;
    }
    if (text[0] == '#') {
        unsigned long v;
        if (strlen(text) != 7 || sscanf(text, "#%6lx", &v) != 1) return -1;
        int code = kDirectColourBase + (int)v;
        if (rgb) {
            rgb[0] = (float)(((v >> 16) & 0xFF) / 255.0);
            rgb[1] = (float)(((v >> 8) & 0xFF) / 255.0);
            rgb[2] = (float)((v & 0xFF) / 255.0);
        }
        if (colour) *colour = code;
        return 1;
    }
    char* stop;
    errno = 0;
    long number = strtol(text, &stop, 0);  // "%li": decimal, 0x hexadecimal, 0 octal
    if (stop != text) {
        if (errno == ERANGE || number > INT_MAX || number < INT_MIN) return -1;
        int code = (int)number;
        if (LookUpColourNumber(run, code, rgb) != 0) return -1;
        if (colour) *colour = code;
        return 1;
    }
    // Only a word that can be a colour name is worth reading the colour file for.
    if (!IsIdentifier(text)) return -1;
    if (!ReadColours(run)) return -1;
    const ColourEntry* entry = FindColourByName(&run->colours, text);
    if (!entry) return -1;
    if (rgb) Color2rgb(&run->colours, entry->Code, rgb, nullptr);
    if (colour) *colour = entry->Code;
    return 1;
}

// Paths live in kPathSize buffers: a longer one is refused, not cut into another path.
static bool CopyFileArgument(TqrRun* run, char* dst, const char* arg) {
    if (strlen(arg) >= (size_t)kPathSize) {
        return Exit(run, "File name too long (%zu characters, at most %d allowed)", strlen(arg),
                    kPathSize - 1);
    }
    strncpy0(dst, arg, kPathSize);
    return true;
}

// ---------------------------------------------------------------- the options, one handler each

namespace {

// Every handler gets the run, the whole argument (for messages) and its value: what follows the
// option's identifying letters. Characters there that an option does not read are ignored. It
// returns false when the run has ended.
using OptionHandler = bool (*)(TqrRun* run, const char* arg, const char* value);

// For letters that begin option names but complete none, each with the message it has always had.
bool UnknownOption(TqrRun* run, const char* arg, const char*) {
    return Exit(run, "Unknown option '%s'", arg);
}
bool BadArgument(TqrRun* run, const char* arg, const char*) {
    return Exit(run, "Bad argument '%s'", arg);
}
bool BadArguments(TqrRun* run, const char* arg, const char*) {
    return Exit(run, "Bad arguments '%s'", arg);
}

// A number with an open range check: lowest < v < highest (no check where they are equal).
bool FloatValue(TqrRun* run, const char* arg, const char* value, float lowest, float highest,
                float* result) {
    float v;
    if (!ReadFloat(value, &v) || (lowest != highest && !(v > lowest && v < highest)))
        return Exit(run, "Bad argument '%s'", arg);
    *result = v;
    return true;
}

// The scene settings, which most options set.
TqPovRecord& Pov(TqrRun* run) {
    return run->settings.TqPov;
}

bool ViewingAngle(TqrRun* run, const char* arg, const char* value) {
    return FloatValue(run, arg, value, 0, 180, &Pov(run).ViewingAngle);
}
bool AspectRatio(TqrRun* run, const char* arg, const char* value) {
    float v;
    if (!ReadFloat(value, &v) || !(v > 0)) return Exit(run, "Bad argument '%s'", arg);
    Pov(run).AspectRatio = v;
    return true;
}
bool CameraCoordinates(TqrRun* run, const char* arg, const char* value) {
    float v[3];
    TqPovRecord& pov = Pov(run);
    pov.CameraPos[2] = 0;
    if (ReadFloatList(value, v, 3, nullptr) < 3) return Exit(run, "Bad arguments '%s'", arg);
    memcpy(pov.CameraPos, v, sizeof(v));
    pov.CameraGlobe = 0;
    return true;
}
// The radius may be left out: 0, the automatic fit.
bool CameraGlobe(TqrRun* run, const char* arg, const char* value) {
    float v[3] = {0, 0, 0};
    if (ReadFloatList(value, v, 3, nullptr) < 2) return Exit(run, "Bad arguments '%s'", arg);
    memcpy(Pov(run).CameraPos, v, sizeof(v));
    Pov(run).CameraGlobe = 1;
    return true;
}
// Check mode reports at warning level 1; a -w after -check still changes that.
bool Check(TqrRun* run, const char*, const char*) {
    run->settings.DoCheck = 1;
    run->diag.WarningLevel = 1;
    return true;
}
bool LookAt(TqrRun* run, const char* arg, const char* value) {
    float v[3];
    if (ReadFloatList(value, v, 3, nullptr) < 3) return Exit(run, "Bad arguments '%s'", arg);
    memcpy(Pov(run).CameraLookAt, v, sizeof(v));
    Pov(run).LookAtGiven = 1;
    return true;
}
// -co alone keeps the fitted size of the view; -co<s> scales it.
bool Orthographic(TqrRun* run, const char*, const char* value) {
    Pov(run).Orthographic = 1;
    float v;
    if (ReadFloat(value, &v)) Pov(run).OrthoScale = v;
    return true;
}
// -cfit alone fits the placed parts tightly; -cfit<m> leaves m per cent of the picture's width
// and height free on each side (50 would leave no room for the model).
bool FitPlacedParts(TqrRun* run, const char* arg, const char* value) {
    float margin = 0;
    if (*value && (!ReadFloat(value, &margin) || !(margin >= 0 && margin < 50)))
        return Exit(run, "Bad argument '%s'", arg);
    Pov(run).FitPlacedParts = 1;
    Pov(run).FitMargin = margin;
    return true;
}
bool CoPlanar(TqrRun* run, const char* arg, const char* value) {
    return FloatValue(run, arg, value, 0, 30, &run->settings.CoPlanarAngle);
}
bool PercentageBack(TqrRun* run, const char* arg, const char* value) {
    return FloatValue(run, arg, value, 0, 0, &Pov(run).PercentageBack);
}
bool RollAngle(TqrRun* run, const char* arg, const char* value) {
    return FloatValue(run, arg, value, 0, 0, &Pov(run).RollAngle);
}
bool StereoAngle(TqrRun* run, const char* arg, const char* value) {
    return FloatValue(run, arg, value, 0, 180, &Pov(run).StereoAngle);
}
bool Sky(TqrRun* run, const char* arg, const char* value) {
    float v[3];
    if (ReadFloatList(value, v, 3, nullptr) < 3) return Exit(run, "Bad arguments '%s'", arg);
    // Kept as a unit vector; a zero vector has no direction to point the sky at.
    if (V3Unit(Pov(run).CameraSky, v)) return Exit(run, "Sky vector is zero '%s'", arg);
    Pov(run).SkyGiven = 1;
    return true;
}
bool StereoLeft(TqrRun* run, const char*, const char*) {
    Pov(run).StereoLeft = 1;
    return true;
}
bool StereoRight(TqrRun* run, const char*, const char*) {
    Pov(run).StereoRight = 1;
    return true;
}
bool DefaultColour(TqrRun* run, const char* arg, const char* value) {
    if (ParseColor(run, value, &Pov(run).DefaultColor, nullptr) < 0)
        return Exit(run, "Bad color '%s'", arg);
    return true;
}

bool Bumps(TqrRun* run, const char*, const char*) {
    Pov(run).Bumps = 1;
    return true;
}
// -b alone is a light blue; a colour after it replaces that.
bool Background(TqrRun* run, const char* arg, const char* value) {
    TqPovRecord& pov = Pov(run);
    pov.BackgroundOn = 1;
    pov.BackgroundRgb[0] = 0.3f;
    pov.BackgroundRgb[1] = 0.8f;
    pov.BackgroundRgb[2] = 1.0f;
    if (ParseColor(run, value, nullptr, pov.BackgroundRgb) < 0)
        return Exit(run, "Bad color '%s'", arg);
    return true;
}
bool Debug(TqrRun* run, const char*, const char*) {
    Pov(run).Debug++;
    return true;
}
// -ee alone: edge lines 0.3 wide in colour 0. With it they are read with the model, though the
// scene does not draw them yet.
bool EdgeLines(TqrRun* run, const char* arg, const char* value) {
    TqPovRecord& pov = Pov(run);
    pov.EdgeWidth = 0.3f;
    pov.EdgeColor = 0;
    const char* p = value;
    float width;
    if (!ScanFloat(&p, &width)) return true;
    pov.EdgeWidth = width;
    if (*p == ',' && ParseColor(run, p + 1, &pov.EdgeColor, nullptr) < 0)
        return Exit(run, "Bad color '%s'", arg);
    return true;
}
// -edges[<px>]: the library's edge lines drawn, and its conditional lines where they are
// silhouettes for the scene's camera, about <px> pixels wide at the rendered size.
bool DrawEdges(TqrRun* run, const char* arg, const char* value) {
    float pixels = 1;
    if (*value && (!ReadFloat(value, &pixels) || !(pixels > 0) || pixels > 100))
        return Exit(run, "Bad edge width '%s'", arg);
    Pov(run).EdgePixels = pixels;
    return true;
}
bool ExcludeNonPov(TqrRun* run, const char*, const char*) {
    Pov(run).ExcludeNonPov = 1;
    return true;
}
// -f[<type>][<y>]: a lower-case letter picks the type (c checkered, any other grey), a number the
// height; without one the floor lies at the bottom of the model.
bool Floor(TqrRun* run, const char*, const char* value) {
    TqPovRecord& pov = Pov(run);
    pov.FloorType = 'g';
    if (*value >= 'a' && *value <= 'z') pov.FloorType = *value++;
    float y;
    if (ReadFloat(value, &y)) {
        pov.FloorY = y;
        pov.FloorYGiven = 1;
    }
    return true;
}

// Copies an option's file or version text; when memory runs out the option simply has no effect.
void SetOwnedText(char** field, const char* text) {
    char* copy = FarStrdup(text);
    if (!copy) return;
    free(*field);
    *field = copy;
}
bool NoTqBegin(TqrRun* run, const char*, const char*) {
    Pov(run).IncludeTqBegin = 0;
    return true;
}
bool NoTqEnd(TqrRun* run, const char*, const char*) {
    Pov(run).IncludeTqEnd = 0;
    return true;
}
bool IncludeBegin(TqrRun* run, const char* arg, const char* value) {
    if (!*value) return Exit(run, "Missing filename '%s'", arg);
    SetOwnedText(&Pov(run).IncludeBegin, value);
    return true;
}
bool IncludeEnd(TqrRun* run, const char* arg, const char* value) {
    if (!*value) return Exit(run, "Missing filename '%s'", arg);
    SetOwnedText(&Pov(run).IncludeEnd, value);
    return true;
}
// -ic and -il switch the automatic camera or lights off, with a file to include instead, if any.
bool IncludeCamera(TqrRun* run, const char*, const char* value) {
    Pov(run).CameraOn = 0;
    if (*value) SetOwnedText(&Pov(run).IncludeCamera, value);
    return true;
}
bool IncludeLights(TqrRun* run, const char*, const char* value) {
    Pov(run).LightsOn = 0;
    if (*value) SetOwnedText(&Pov(run).IncludeLights, value);
    return true;
}

// Adds a replacement source to the order of sources, or takes one out, warning when that was done
// before.
bool AddSource(TqrRun* run, const char* arg, int letter) {
    if (strappchr(Pov(run).ReplaceOrder, letter))
        fprintf(run->diag.StdErr, "Warning: %s already met.\n", arg);
    return true;
}
bool RemoveSource(TqrRun* run, const char* arg, int letter) {
    if (strremchr(Pov(run).ReplaceOrder, letter))
        fprintf(run->diag.StdErr, "Warning: %s already met.\n", arg);
    return true;
}
bool Brenholt(TqrRun* run, const char*, const char*) {
    return AddSource(run, "-kv", 'B');
}
bool Lgeo(TqrRun* run, const char*, const char*) {
    return AddSource(run, "-lgeo", 'L');
}
bool NoPovEquivalents(TqrRun* run, const char*, const char*) {
    return RemoveSource(run, "-p", 'P');
}
bool NoTqrParts(TqrRun* run, const char*, const char*) {
    return RemoveSource(run, "-p3", '3');
}
// -nolgc, and -nolgcf which drops LGEO's finishes as well; both count only with -lgeo or -kv,
// which CheckArgumentsAfterScan knows once the whole line is scanned. Any other letter right after
// -nolgc makes an unknown option; what follows the f is ignored, like the rest of any option.
bool NoLgeoColours(TqrRun* run, const char* arg, const char* value) {
    if (*value && *value != 'f') return Exit(run, "Unknown option '%s'", arg);
    run->switches.UseLgeoColors = 0;
    if (*value == 'f') run->switches.UseLgeoFinishes = 0;
    return true;
}

// -lg and -lc: three numbers, then a colour after a comma; white without one.
bool AddLightOption(TqrRun* run, const char* arg, const char* value, int globe) {
    LightEntry* light = AddLight(&run->writer);
    if (!light) return true;
    light->Flags = globe ? kLightGlobe : 0;
    const char* end;
    if (ReadFloatList(value, light->Position, 3, &end) != 3)
        return Exit(run, "Bad arguments '%s'", arg);
    light->Rgb[0] = light->Rgb[1] = light->Rgb[2] = 1.0f;
    if (*end == ',' && ParseColor(run, end + 1, nullptr, light->Rgb) < 0)
        return Exit(run, "Bad color '%s'", arg);
    return true;
}
bool LightDatLights(TqrRun* run, const char*, const char*) {
    Pov(run).LightDatLights = 1;
    return true;
}
bool LightCoordinates(TqrRun* run, const char* arg, const char* value) {
    return AddLightOption(run, arg, value, 0);
}
bool LightGlobe(TqrRun* run, const char* arg, const char* value) {
    return AddLightOption(run, arg, value, 1);
}
bool DefaultLightsToo(TqrRun* run, const char*, const char*) {
    Pov(run).DefaultLightsToo = 1;
    return true;
}
bool ShadowlessLights(TqrRun* run, const char*, const char*) {
    Pov(run).ShadowlessLights = 1;
    return true;
}
// The library options take effect when the colours are read; once that happened they are late.
// Their texts stay in argv, which lives as long as the run, so a pointer is enough.
bool ColourFile(TqrRun* run, const char*, const char* value) {
    if (run->LdconfigLdrRead) {
        run->ExitHint = kLibraryOptionsFirst;
        return Exit(run, "-ldc must be specified before color options");
    }
    run->settings.MyLdconfigLdr = value;
    return true;
}
bool LibraryDirectory(TqrRun* run, const char* arg, const char* value) {
    if (!*value) return Exit(run, "Missing directory '%s'", arg);
    if (run->LdconfigLdrRead) {
        run->ExitHint = kLibraryOptionsFirst;
        return Exit(run, "-ldd must be specified before color options");
    }
    run->settings.MyLDrawDir = value;
    return true;
}
bool LgeoDirectory(TqrRun* run, const char* arg, const char* value) {
    if (strlen(value) >= (size_t)kPathSize) return Exit(run, "Directory name too long '%s'", arg);
    TqInputRecord& input = run->settings.TqInput;
    strncpy0(input.LgeoDir, value, kPathSize);
    strncpy0(input.LgeoDirSource, "-lgd<dir> option", kPathSize);
    return true;
}

// -mesh: library parts flattened into shared meshes with smooth normals.
bool MeshMode(TqrRun* run, const char*, const char*) {
    run->settings.Mesh.On = 1;
    return true;
}

bool MegaPov(TqrRun* run, const char* arg, const char* value) {
    if (!*value) return Exit(run, "Missing version '%s'", arg);
    SetOwnedText(&Pov(run).MegaPovVersion, value);
    return true;
}
bool Overwrite(TqrRun* run, const char*, const char*) {
    run->switches.Overwrite = 1;
    return true;
}
// -pc lists at once and ends the run: options after it are never scanned.
bool PrintColourTable(TqrRun* run, const char*, const char*) {
    if (!ReadColours(run)) return false;
    PrintColours(&run->colours, run->diag.Out);
    return ExitAfterListing(run);
}
bool PrintPrimitives(TqrRun* run, const char*, const char*) {
    run->switches.PrintPrimitives = 1;
    return true;
}
// 0 parts as boxes, 1 without transparency or highlights, 2 normal, 3 logos on studs, 4 on hollow
// studs too.
bool QualityLevel(TqrRun* run, const char* arg, const char* value) {
    int n;
    if (!ScanInt(&value, &n) || n < 0 || n > 4) return Exit(run, "Bad argument '%s'", arg);
    Pov(run).Quality = n;
    return true;
}
bool StepClockModelOnly(TqrRun* run, const char*, const char*) {
    Pov(run).StepClockModelOnly = 1;
    return true;
}
// -sf[<p>]: with clock conditions at steps, the parts of earlier steps in their colours mixed
// with <p>% white, so that the parts of the step at hand stand out.
bool StepFade(TqrRun* run, const char* arg, const char* value) {
    float percent = 60;
    if (*value && (!ReadFloat(value, &percent) || !(percent > 0) || percent > 100))
        return Exit(run, "Bad fade '%s'", arg);
    Pov(run).StepFade = percent / 100;
    return true;
}
bool StepClock(TqrRun* run, const char*, const char*) {
    Pov(run).StepClock = 1;
    return true;
}
bool NoStuds(TqrRun* run, const char*, const char*) {
    Pov(run).Studs = 0;
    return true;
}
bool Ignored(TqrRun*, const char*, const char*) {
    return true;
}
bool SeamWidth(TqrRun* run, const char* arg, const char* value) {
    return FloatValue(run, arg, value, 0, 0, &Pov(run).SeamWidth);
}
bool Testing(TqrRun* run, const char*, const char*) {
    run->settings.VlkIsTesting = 1;
    return true;
}
bool Verbose(TqrRun* run, const char*, const char*) {
    run->settings.TqVerboseOption++;
    return true;
}
// -w alone means level 1.
bool Warnings(TqrRun* run, const char*, const char* value) {
    int n;
    if (!ScanInt(&value, &n)) n = 1;
    run->diag.WarningLevel = n;
    return true;
}

// An option is known by its identifying letters after the '-'. The first entry whose letters
// begin the argument (or equal it, for the exact ones) takes it, so longer letters come before
// shorter ones; an argument no entry takes is an unknown option.
struct OptionDescriptor {
    const char* letters;
    bool exact;
    OptionHandler handle;
};

const OptionDescriptor kOptions[] = {
    {"bu", true, Bumps},
    {"b", false, Background},
    // -c: the camera, check mode, the co-planarity angle, else a colour.
    {"car", false, AspectRatio},
    {"ca", false, ViewingAngle},
    {"cc", false, CameraCoordinates},
    {"cfit", false, FitPlacedParts},
    {"cg", false, CameraGlobe},
    {"ch", false, Check},
    {"cla", false, LookAt},
    {"cl", false, BadArgument},
    {"co", false, Orthographic},
    {"cpa", false, CoPlanar},
    {"cpct", false, PercentageBack},
    {"cpc", false, BadArgument},
    {"cp", false, UnknownOption},
    {"cra", false, RollAngle},
    {"cr", false, BadArgument},
    {"csa", false, StereoAngle},
    {"csky", false, Sky},
    {"csk", false, BadArguments},
    {"csl", false, StereoLeft},
    {"csr", false, StereoRight},
    {"cs", false, UnknownOption},
    {"c", true, UnknownOption},  // -c alone names no colour
    {"c", false, DefaultColour},
    {"d", true, Debug},
    {"edges", false, DrawEdges},
    {"ee", false, EdgeLines},
    {"en", false, ExcludeNonPov},
    {"f", false, Floor},
    {"i3b-", false, NoTqBegin},
    {"i3e-", false, NoTqEnd},
    {"ib", false, IncludeBegin},
    {"ie", false, IncludeEnd},
    {"ic", false, IncludeCamera},
    {"il", false, IncludeLights},
    {"kv", false, Brenholt},
    // -l: lights, and the library and LGEO directories.
    {"l", true, LightDatLights},
    {"lc", false, LightCoordinates},
    {"ld", true, DefaultLightsToo},
    {"ldc", false, ColourFile},
    {"ldd", false, LibraryDirectory},
    {"lgd", false, LgeoDirectory},
    {"lgeo", false, Lgeo},
    {"lg", false, LightGlobe},
    {"lsl", false, ShadowlessLights},
    {"mesh", true, MeshMode},
    {"mp", false, MegaPov},
    {"nolgc", false, NoLgeoColours},
    {"o", false, Overwrite},
    // -p alone switches the equivalents off; -p3, -pc and -pp are options of their own.
    {"p", true, NoPovEquivalents},
    {"p3", false, NoTqrParts},
    {"pc", false, PrintColourTable},
    {"pp", false, PrintPrimitives},
    {"q", false, QualityLevel},
    {"scm", false, StepClockModelOnly},
    {"sc", false, StepClock},
    {"sf", false, StepFade},
    {"stu", false, NoStuds},  // -studs0
    {"st", false, Ignored},   // such as -stdout when it is not the first argument
    {"sw", false, SeamWidth},
    {"tes", false, Testing},  // -test
    {"v", false, Verbose},
    {"w", false, Warnings},
};

bool ScanOption(TqrRun* run, const char* arg) {
    for (const OptionDescriptor& option : kOptions) {
        size_t n = strlen(option.letters);
        if (strncmp(arg + 1, option.letters, n) != 0) continue;
        if (option.exact && arg[1 + n] != '\0') continue;
        return option.handle(run, arg, arg + 1 + n);
    }
    return Exit(run, "Unknown option '%s'", arg);
}

}  // namespace

int LibraryOptionFollows(const TqrRun* run) {
    for (int i = 0; i < run->nUnscannedArgs; i++) {
        if (StrBeginsWith(run->unscannedArgs[i], "-ldd") ||
            StrBeginsWith(run->unscannedArgs[i], "-ldc"))
            return 1;
    }
    return 0;
}

// Options and file names mix in any order: the first name is the model, the second the scene.
bool ScanArguments(TqrRun* run, int argc, char** argv) {
    int nFiles = 0;
    TqSettings& settings = run->settings;
    for (int i = 1; i < argc; i++) {
        run->unscannedArgs = argv + i + 1;
        run->nUnscannedArgs = argc - i - 1;
        const char* arg = argv[i];
        bool goOn;
        if (arg[0] != '-') {
            if (nFiles == 0)
                goOn = CopyFileArgument(run, settings.ModelFilename, arg);
            else if (nFiles == 1)
                goOn = CopyFileArgument(run, settings.PovFilename, arg);
            else
                goOn = Exit(run, "Too many filenames");
            nFiles++;
        } else {
            goOn = ScanOption(run, arg);
        }
        if (!goOn) return false;
    }
    run->nUnscannedArgs = 0;
    return true;
}

// Combinations, which only the whole command line shows. The automatic fit chooses its own look-at
// point, so -cla needs a camera whose place is given; -cra and -csky would both turn the sky.
bool CheckArgumentsAfterScan(TqrRun* run) {
    TqPovRecord& pov = run->settings.TqPov;
    FILE* messages = run->diag.StdErr;
    if (pov.LookAtGiven && pov.CameraGlobe && !(pov.CameraPos[2] > 0))
        return Exit(run, "-cla requires -cg with positive radius or -cc");
    if (pov.RollAngle != 0 && pov.SkyGiven)
        return Exit(run, "-cra and -csky are mutually exclusive");
    // Edge lines would not match LGEO's models or parts shrunk by seams: hints, not errors.
    if (pov.EdgeWidth != 0) {
        if (strchr(pov.ReplaceOrder, 'L'))
            fprintf(messages, "-ee should not be used together with -lgeo\n");
        if (pov.SeamWidth != 0) fprintf(messages, "-ee should be used together with -sw0\n");
    }
    if (pov.StepFade != 0 && !pov.StepClock && !pov.StepClockModelOnly)
        fprintf(messages, "-sf has no effect without -sc or -scm\n");
    // The flattened parts take the 48-sided primitives where the quality asks for logos on studs:
    // the meshes are made now, so the quality of the conversion decides.
    run->settings.Mesh.HighResolution = run->settings.Mesh.On && pov.Quality >= 3;
    // LGEO's colours and finishes are used only with its models; otherwise both stay off.
    if (strchr(pov.ReplaceOrder, 'L') || strchr(pov.ReplaceOrder, 'B')) {
        pov.LgeoColors = run->switches.UseLgeoColors ? 1 : 0;
        pov.LgeoFinishes = run->switches.UseLgeoFinishes ? 1 : 0;
    }
    return true;
}
