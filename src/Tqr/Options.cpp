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
static int LookUpColourNumber(int code, float* rgb) {
    float scratch[3];
    float* out = rgb ? rgb : scratch;
    if (rgb) {
        ReadColours();
        return Color2rgb(code, out, nullptr);
    }
    // A number of the built-in table needs no colour file; only unknown numbers make us read it.
    if (Color2rgb(code, out, nullptr) == 0) return 0;
    ReadColours();
    return Color2rgb(code, out, nullptr);
}

// Four forms: r,g,b from 0 to 1; #RRGGBB; a colour number; a colour name. The range of r,g,b is
// checked only when a colour number is made of them (a direct colour, each channel truncated to
// 0..255); an RGB alone (-b, lights) goes to POV-Ray as given.
int ParseColor(const char* text, int* colour, float* rgb) {
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
        if (LookUpColourNumber(code, rgb) != 0) return -1;
        if (colour) *colour = code;
        return 1;
    }
    // Only a word that can be a colour name is worth reading the colour file for.
    if (!IsIdentifier(text)) return -1;
    ReadColours();
    const ColourEntry* entry = FindColourByName(text);
    if (!entry) return -1;
    if (rgb) Color2rgb(entry->Code, rgb, nullptr);
    if (colour) *colour = entry->Code;
    return 1;
}

// Paths live in kPathSize buffers: a longer one is refused, not cut into another path.
static void CopyFileArgument(char* dst, const char* arg) {
    if (strlen(arg) >= (size_t)kPathSize) {
        Exit("File name too long (%zu characters, at most %d allowed)", strlen(arg), kPathSize - 1);
    }
    strncpy0(dst, arg, kPathSize);
}

// ---------------------------------------------------------------- the options, one handler each

namespace {

// Every handler gets the whole argument (for messages) and its value: what follows the option's
// identifying letters. Characters there that an option does not read are ignored.
using OptionHandler = void (*)(const char* arg, const char* value, RunSwitches* sw);

// For letters that begin option names but complete none, each with the message it has always had.
[[noreturn]] void UnknownOption(const char* arg, const char*, RunSwitches*) {
    Exit("Unknown option '%s'", arg);
}
[[noreturn]] void BadArgument(const char* arg, const char*, RunSwitches*) {
    Exit("Bad argument '%s'", arg);
}
[[noreturn]] void BadArguments(const char* arg, const char*, RunSwitches*) {
    Exit("Bad arguments '%s'", arg);
}

// A number with an open range check: lowest < v < highest (no check where they are equal).
float FloatValue(const char* arg, const char* value, float lowest, float highest) {
    float v;
    if (!ReadFloat(value, &v) || (lowest != highest && !(v > lowest && v < highest)))
        Exit("Bad argument '%s'", arg);
    return v;
}

void ViewingAngle(const char* arg, const char* value, RunSwitches*) {
    TqPov.ViewingAngle = FloatValue(arg, value, 0, 180);
}
void AspectRatio(const char* arg, const char* value, RunSwitches*) {
    float v;
    if (!ReadFloat(value, &v) || !(v > 0)) Exit("Bad argument '%s'", arg);
    TqPov.AspectRatio = v;
}
void CameraCoordinates(const char* arg, const char* value, RunSwitches*) {
    float v[3];
    TqPov.CameraPos[2] = 0;
    if (ReadFloatList(value, v, 3, nullptr) < 3) Exit("Bad arguments '%s'", arg);
    memcpy(TqPov.CameraPos, v, sizeof(v));
    TqPov.CameraGlobe = 0;
}
// The radius may be left out: 0, the automatic fit.
void CameraGlobe(const char* arg, const char* value, RunSwitches*) {
    float v[3] = {0, 0, 0};
    if (ReadFloatList(value, v, 3, nullptr) < 2) Exit("Bad arguments '%s'", arg);
    memcpy(TqPov.CameraPos, v, sizeof(v));
    TqPov.CameraGlobe = 1;
}
// Check mode reports at warning level 1; a -w after -check still changes that.
void Check(const char*, const char*, RunSwitches*) {
    DoCheck = 1;
    WarningLevel = 1;
}
void LookAt(const char* arg, const char* value, RunSwitches*) {
    float v[3];
    if (ReadFloatList(value, v, 3, nullptr) < 3) Exit("Bad arguments '%s'", arg);
    memcpy(TqPov.CameraLookAt, v, sizeof(v));
    TqPov.LookAtGiven = 1;
}
// -co alone keeps the fitted size of the view; -co<s> scales it.
void Orthographic(const char*, const char* value, RunSwitches*) {
    TqPov.Orthographic = 1;
    float v;
    if (ReadFloat(value, &v)) TqPov.OrthoScale = v;
}
void CoPlanar(const char* arg, const char* value, RunSwitches*) {
    CoPlanarAngle = FloatValue(arg, value, 0, 30);
}
void PercentageBack(const char* arg, const char* value, RunSwitches*) {
    TqPov.PercentageBack = FloatValue(arg, value, 0, 0);
}
void RollAngle(const char* arg, const char* value, RunSwitches*) {
    TqPov.RollAngle = FloatValue(arg, value, 0, 0);
}
void StereoAngle(const char* arg, const char* value, RunSwitches*) {
    TqPov.StereoAngle = FloatValue(arg, value, 0, 180);
}
void Sky(const char* arg, const char* value, RunSwitches*) {
    float v[3];
    if (ReadFloatList(value, v, 3, nullptr) < 3) Exit("Bad arguments '%s'", arg);
    // Kept as a unit vector; a zero vector has no direction to point the sky at.
    if (V3Unit(TqPov.CameraSky, v)) Exit("Sky vector is zero '%s'", arg);
    TqPov.SkyGiven = 1;
}
void StereoLeft(const char*, const char*, RunSwitches*) {
    TqPov.StereoLeft = 1;
}
void StereoRight(const char*, const char*, RunSwitches*) {
    TqPov.StereoRight = 1;
}
void DefaultColour(const char* arg, const char* value, RunSwitches*) {
    if (ParseColor(value, &TqPov.DefaultColor, nullptr) < 0) Exit("Bad color '%s'", arg);
}

void Bumps(const char*, const char*, RunSwitches*) {
    TqPov.Bumps = 1;
}
// -b alone is a light blue; a colour after it replaces that.
void Background(const char* arg, const char* value, RunSwitches*) {
    TqPov.BackgroundOn = 1;
    TqPov.BackgroundRgb[0] = 0.3f;
    TqPov.BackgroundRgb[1] = 0.8f;
    TqPov.BackgroundRgb[2] = 1.0f;
    if (ParseColor(value, nullptr, TqPov.BackgroundRgb) < 0) Exit("Bad color '%s'", arg);
}
void Debug(const char*, const char*, RunSwitches*) {
    TqPov.Debug++;
}
// -ee alone: edge lines 0.3 wide in colour 0. With it they are read with the model, though the
// scene does not draw them yet.
void EdgeLines(const char* arg, const char* value, RunSwitches*) {
    TqPov.EdgeWidth = 0.3f;
    TqPov.EdgeColor = 0;
    const char* p = value;
    float width;
    if (!ScanFloat(&p, &width)) return;
    TqPov.EdgeWidth = width;
    if (*p == ',' && ParseColor(p + 1, &TqPov.EdgeColor, nullptr) < 0) Exit("Bad color '%s'", arg);
}
void ExcludeNonPov(const char*, const char*, RunSwitches*) {
    TqPov.ExcludeNonPov = 1;
}
// -f[<type>][<y>]: a lower-case letter picks the type (c checkered, any other grey), a number the
// height; without one the floor lies at the bottom of the model.
void Floor(const char*, const char* value, RunSwitches*) {
    TqPov.FloorType = 'g';
    if (*value >= 'a' && *value <= 'z') TqPov.FloorType = *value++;
    float y;
    if (ReadFloat(value, &y)) {
        TqPov.FloorY = y;
        TqPov.FloorYGiven = 1;
    }
}

// Copies an option's file or version text; when memory runs out the option simply has no effect.
void SetOwnedText(char** field, const char* text) {
    char* copy = FarStrdup(text);
    if (!copy) return;
    free(*field);
    *field = copy;
}
void NoTqBegin(const char*, const char*, RunSwitches*) {
    TqPov.IncludeTqBegin = 0;
}
void NoTqEnd(const char*, const char*, RunSwitches*) {
    TqPov.IncludeTqEnd = 0;
}
void IncludeBegin(const char* arg, const char* value, RunSwitches*) {
    if (!*value) Exit("Missing filename '%s'", arg);
    SetOwnedText(&TqPov.IncludeBegin, value);
}
void IncludeEnd(const char* arg, const char* value, RunSwitches*) {
    if (!*value) Exit("Missing filename '%s'", arg);
    SetOwnedText(&TqPov.IncludeEnd, value);
}
// -ic and -il switch the automatic camera or lights off, with a file to include instead, if any.
void IncludeCamera(const char*, const char* value, RunSwitches*) {
    TqPov.CameraOn = 0;
    if (*value) SetOwnedText(&TqPov.IncludeCamera, value);
}
void IncludeLights(const char*, const char* value, RunSwitches*) {
    TqPov.LightsOn = 0;
    if (*value) SetOwnedText(&TqPov.IncludeLights, value);
}

// Adds a replacement source to the order of sources, or takes one out, warning when that was done
// before.
void AddSource(const char* arg, int letter) {
    if (strappchr(TqPov.ReplaceOrder, letter)) fprintf(StdErr, "Warning: %s already met.\n", arg);
}
void RemoveSource(const char* arg, int letter) {
    if (strremchr(TqPov.ReplaceOrder, letter)) fprintf(StdErr, "Warning: %s already met.\n", arg);
}
void Brenholt(const char*, const char*, RunSwitches*) {
    AddSource("-kv", 'B');
}
void Lgeo(const char*, const char*, RunSwitches*) {
    AddSource("-lgeo", 'L');
}
void NoPovEquivalents(const char*, const char*, RunSwitches*) {
    RemoveSource("-p", 'P');
}
void NoTqrParts(const char*, const char*, RunSwitches*) {
    RemoveSource("-p3", '3');
}
// -nolgc, and -nolgcf which drops LGEO's finishes as well; both count only with -lgeo or -kv,
// which CheckArgumentsAfterScan knows once the whole line is scanned.
void NoLgeoColours(const char*, const char* value, RunSwitches* sw) {
    sw->UseLgeoColors = 0;
    if (*value == 'f') sw->UseLgeoFinishes = 0;
}

// -lg and -lc: three numbers, then a colour after a comma; white without one.
void AddLightOption(const char* arg, const char* value, int globe) {
    LightEntry* light = AddLight();
    if (!light) return;
    light->Flags = globe ? kLightGlobe : 0;
    const char* end;
    if (ReadFloatList(value, light->Position, 3, &end) != 3) Exit("Bad arguments '%s'", arg);
    light->Rgb[0] = light->Rgb[1] = light->Rgb[2] = 1.0f;
    if (*end == ',' && ParseColor(end + 1, nullptr, light->Rgb) < 0) Exit("Bad color '%s'", arg);
}
void LightDatLights(const char*, const char*, RunSwitches*) {
    TqPov.LightDatLights = 1;
}
void LightCoordinates(const char* arg, const char* value, RunSwitches*) {
    AddLightOption(arg, value, 0);
}
void LightGlobe(const char* arg, const char* value, RunSwitches*) {
    AddLightOption(arg, value, 1);
}
void DefaultLightsToo(const char*, const char*, RunSwitches*) {
    TqPov.DefaultLightsToo = 1;
}
void ShadowlessLights(const char*, const char*, RunSwitches*) {
    TqPov.ShadowlessLights = 1;
}
// The library options take effect when the colours are read; once that happened they are late.
// Their texts stay in argv, which lives as long as the process, so a pointer is enough.
void ColourFile(const char*, const char* value, RunSwitches*) {
    if (LdconfigLdrRead) {
        ExitHint = kLibraryOptionsFirst;
        Exit("-ldc must be specified before color options");
    }
    MyLdconfigLdr = value;
}
void LibraryDirectory(const char* arg, const char* value, RunSwitches*) {
    if (!*value) Exit("Missing directory '%s'", arg);
    if (LdconfigLdrRead) {
        ExitHint = kLibraryOptionsFirst;
        Exit("-ldd must be specified before color options");
    }
    MyLDrawDir = value;
}
void LgeoDirectory(const char* arg, const char* value, RunSwitches*) {
    if (strlen(value) >= (size_t)kPathSize) Exit("Directory name too long '%s'", arg);
    strncpy0(TqInput.LgeoDir, value, kPathSize);
    strncpy0(TqInput.LgeoDirSource, "-lgd<dir> option", kPathSize);
}

void MegaPov(const char* arg, const char* value, RunSwitches*) {
    if (!*value) Exit("Missing version '%s'", arg);
    SetOwnedText(&TqPov.MegaPovVersion, value);
}
void Overwrite(const char*, const char*, RunSwitches* sw) {
    sw->Overwrite = 1;
}
// -pc lists at once and ends the process: options after it are never scanned.
void PrintColourTable(const char*, const char*, RunSwitches*) {
    ReadColours();
    PrintColours(stdout);
    ExitAfterListing();
}
void PrintPrimitives(const char*, const char*, RunSwitches* sw) {
    sw->PrintPrimitives = 1;
}
// 0 parts as boxes, 1 without transparency or highlights, 2 normal, 3 logos on studs, 4 on hollow
// studs too.
void QualityLevel(const char* arg, const char* value, RunSwitches*) {
    int n;
    if (!ScanInt(&value, &n) || n < 0 || n > 4) Exit("Bad argument '%s'", arg);
    TqPov.Quality = n;
}
void StepClockModelOnly(const char*, const char*, RunSwitches*) {
    TqPov.StepClockModelOnly = 1;
}
void StepClock(const char*, const char*, RunSwitches*) {
    TqPov.StepClock = 1;
}
void NoStuds(const char*, const char*, RunSwitches*) {
    TqPov.Studs = 0;
}
void Ignored(const char*, const char*, RunSwitches*) {}
void SeamWidth(const char* arg, const char* value, RunSwitches*) {
    TqPov.SeamWidth = FloatValue(arg, value, 0, 0);
}
void Testing(const char*, const char*, RunSwitches*) {
    VlkIsTesting = 1;
}
void Verbose(const char*, const char*, RunSwitches*) {
    TqVerboseOption++;
}
// -w alone means level 1.
void Warnings(const char*, const char* value, RunSwitches*) {
    int n;
    if (!ScanInt(&value, &n)) n = 1;
    WarningLevel = n;
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
    {"stu", false, NoStuds},  // -studs0
    {"st", false, Ignored},   // such as -stdout when it is not the first argument
    {"sw", false, SeamWidth},
    {"tes", false, Testing},  // -test
    {"v", false, Verbose},
    {"w", false, Warnings},
};

void ScanOption(const char* arg, RunSwitches* sw) {
    for (const OptionDescriptor& option : kOptions) {
        size_t n = strlen(option.letters);
        if (strncmp(arg + 1, option.letters, n) != 0) continue;
        if (option.exact && arg[1 + n] != '\0') continue;
        option.handle(arg, arg + 1 + n, sw);
        return;
    }
    Exit("Unknown option '%s'", arg);
}

}  // namespace

namespace {

// The arguments not scanned yet, while the scan runs: an option that reads the colour file can
// then tell whether a library option comes too late.
char** UnscannedArgs = nullptr;
int nUnscannedArgs = 0;

}  // namespace

int LibraryOptionFollows() {
    for (int i = 0; i < nUnscannedArgs; i++) {
        if (StrBeginsWith(UnscannedArgs[i], "-ldd") || StrBeginsWith(UnscannedArgs[i], "-ldc"))
            return 1;
    }
    return 0;
}

// Options and file names mix in any order: the first name is the model, the second the scene.
void ScanArguments(int argc, char** argv, RunSwitches* switches) {
    int nFiles = 0;
    for (int i = 1; i < argc; i++) {
        UnscannedArgs = argv + i + 1;
        nUnscannedArgs = argc - i - 1;
        const char* arg = argv[i];
        if (arg[0] != '-') {
            if (nFiles == 0)
                CopyFileArgument(ModelFilename, arg);
            else if (nFiles == 1)
                CopyFileArgument(PovFilename, arg);
            else
                Exit("Too many filenames");
            nFiles++;
        } else {
            ScanOption(arg, switches);
        }
    }
    nUnscannedArgs = 0;
}

// Combinations, which only the whole command line shows. The automatic fit chooses its own look-at
// point, so -cla needs a camera whose place is given; -cra and -csky would both turn the sky.
void CheckArgumentsAfterScan(const RunSwitches* switches) {
    if (TqPov.LookAtGiven && TqPov.CameraGlobe && !(TqPov.CameraPos[2] > 0))
        Exit("-cla requires -cg with positive radius or -cc");
    if (TqPov.RollAngle != 0 && TqPov.SkyGiven) Exit("-cra and -csky are mutually exclusive");
    // Edge lines would not match LGEO's models or parts shrunk by seams: hints, not errors.
    if (TqPov.EdgeWidth != 0) {
        if (strchr(TqPov.ReplaceOrder, 'L'))
            fprintf(StdErr, "-ee should not be used together with -lgeo\n");
        if (TqPov.SeamWidth != 0) fprintf(StdErr, "-ee should be used together with -sw0\n");
    }
    // LGEO's colours and finishes are used only with its models; otherwise both stay off.
    if (strchr(TqPov.ReplaceOrder, 'L') || strchr(TqPov.ReplaceOrder, 'B')) {
        TqPov.LgeoColors = switches->UseLgeoColors ? 1 : 0;
        TqPov.LgeoFinishes = switches->UseLgeoFinishes ? 1 : 0;
    }
}
