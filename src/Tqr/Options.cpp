// The settings records and the scan of the command line that fills them.
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "TqColor/TqColor.h"
#include "TqPov/TqPov.h"
#include "Tqr/Tqr.h"

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

// Reads one number the way "%f" does (leading blanks skipped, stops at the first character that
// does not fit). Infinities and NaN count as unreadable: they would end up in the scene text.
static bool ReadFloat(const char* s, float* value, const char** end) {
    char* stop;
    float v = strtof(s, &stop);
    if (stop == s || !std::isfinite(v)) return false;
    *value = v;
    if (end) *end = stop;
    return true;
}

// Like "%d": decimal, leading blanks skipped; values beyond the int range are clamped.
static bool ReadInt(const char* s, int* value) {
    char* stop;
    errno = 0;
    long v = strtol(s, &stop, 10);
    if (stop == s) return false;
    if (v > INT_MAX) v = INT_MAX;
    if (v < INT_MIN) v = INT_MIN;
    *value = (int)v;
    return true;
}

// Reads up to max numbers separated by single commas, as "%f,%f,%f" would; returns the count read
// and leaves *end just after the last one.
static int ReadFloatList(const char* s, float* values, int max, const char** end) {
    int n = 0;
    const char* p = s;
    while (n < max) {
        if (n > 0) {
            if (*p != ',') break;
            if (!ReadFloat(p + 1, &values[n], &p)) break;
        } else if (!ReadFloat(p, &values[n], &p)) {
            break;
        }
        n++;
    }
    if (end) *end = p;
    return n;
}

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
    if (!IsIdentifier(text)) return -1;
    ReadColours();
    const ColourEntry* entry = FindColourByName(text);
    if (!entry) return -1;
    if (rgb) Color2rgb(entry->Code, rgb, nullptr);
    if (colour) *colour = entry->Code;
    return 1;
}

// Copies an option's file or version text; when memory runs out the option simply has no effect.
static void SetOwnedText(char** field, const char* text) {
    char* copy = FarStrdup(text);
    if (!copy) return;
    free(*field);
    *field = copy;
}

static void AddLightOption(const char* arg, int globe) {
    LightEntry* light = AddLight();
    if (!light) return;
    light->Flags = globe ? kLightGlobe : 0;
    const char* end;
    if (ReadFloatList(arg + 3, light->Position, 3, &end) != 3) Exit("Bad arguments '%s'", arg);
    light->Rgb[0] = light->Rgb[1] = light->Rgb[2] = 1.0f;
    if (*end == ',' && ParseColor(end + 1, nullptr, light->Rgb) < 0) Exit("Bad color '%s'", arg);
}

static void CopyFileArgument(char* dst, const char* arg) {
    if (strlen(arg) >= (size_t)kPathSize) {
        Exit("File name too long (%zu characters, at most %d allowed)", strlen(arg), kPathSize - 1);
    }
    strncpy0(dst, arg, kPathSize);
}

static void ScanCameraOption(const char* arg) {
    const char* o = arg + 2;  // after "-c"
    float v[3];
    switch (o[0]) {
        case 'a':
            if (o[1] != 'r') {
                if (!ReadFloat(o + 1, &v[0], nullptr) || !(v[0] > 0 && v[0] < 180))
                    Exit("Bad argument '%s'", arg);
                TqPov.ViewingAngle = v[0];
            } else {
                if (!ReadFloat(o + 2, &v[0], nullptr) || !(v[0] > 0))
                    Exit("Bad argument '%s'", arg);
                TqPov.AspectRatio = v[0];
            }
            return;
        case 'c':
            TqPov.CameraPos[2] = 0;
            if (ReadFloatList(o + 1, v, 3, nullptr) < 3) Exit("Bad arguments '%s'", arg);
            memcpy(TqPov.CameraPos, v, sizeof(v));
            TqPov.CameraGlobe = 0;
            return;
        case 'g': {
            v[2] = 0;
            if (ReadFloatList(o + 1, v, 3, nullptr) < 2) Exit("Bad arguments '%s'", arg);
            memcpy(TqPov.CameraPos, v, sizeof(v));
            TqPov.CameraGlobe = 1;
            return;
        }
        case 'h':
            DoCheck = 1;
            WarningLevel = 1;
            return;
        case 'l':
            if (o[1] != 'a') Exit("Bad argument '%s'", arg);
            if (ReadFloatList(o + 2, v, 3, nullptr) < 3) Exit("Bad arguments '%s'", arg);
            memcpy(TqPov.CameraLookAt, v, sizeof(v));
            TqPov.LookAtGiven = 1;
            return;
        case 'o':
            TqPov.Orthographic = 1;
            if (ReadFloat(o + 1, &v[0], nullptr)) TqPov.OrthoScale = v[0];
            return;
        case 'p':
            if (o[1] == 'a') {
                if (!ReadFloat(o + 2, &v[0], nullptr) || !(v[0] > 0 && v[0] < 30))
                    Exit("Bad argument '%s'", arg);
                CoPlanarAngle = v[0];
            } else if (o[1] == 'c') {
                if (o[2] != 't' || !ReadFloat(o + 3, &v[0], nullptr))
                    Exit("Bad argument '%s'", arg);
                TqPov.PercentageBack = v[0];
            } else {
                Exit("Unknown option '%s'", arg);
            }
            return;
        case 'r':
            if (o[1] != 'a' || !ReadFloat(o + 2, &v[0], nullptr)) Exit("Bad argument '%s'", arg);
            TqPov.RollAngle = v[0];
            return;
        case 's':
            if (o[1] == 'a') {
                if (!ReadFloat(o + 2, &v[0], nullptr) || !(v[0] > 0 && v[0] < 180))
                    Exit("Bad argument '%s'", arg);
                TqPov.StereoAngle = v[0];
            } else if (o[1] == 'k') {
                if (o[2] != 'y' || ReadFloatList(o + 3, v, 3, nullptr) < 3)
                    Exit("Bad arguments '%s'", arg);
                if (V3Unit(TqPov.CameraSky, v)) Exit("Sky vector is zero '%s'", arg);
                TqPov.SkyGiven = 1;
            } else if (o[1] == 'l') {
                TqPov.StereoLeft = 1;
            } else if (o[1] == 'r') {
                TqPov.StereoRight = 1;
            } else {
                Exit("Unknown option '%s'", arg);
            }
            return;
        case '\0':
            Exit("Unknown option '%s'", arg);
        default:
            if (ParseColor(o, &TqPov.DefaultColor, nullptr) < 0) Exit("Bad color '%s'", arg);
            return;
    }
}

static void ScanLightOrLibraryOption(const char* arg) {
    const char* o = arg + 2;  // after "-l"
    if (o[0] == '\0') {
        TqPov.LightDatLights = 1;
    } else if (o[0] == 'c') {
        AddLightOption(arg, 0);
    } else if (o[0] == 'd') {
        if (o[1] == '\0') {
            TqPov.DefaultLightsToo = 1;
        } else if (o[1] == 'c') {
            if (LdconfigLdrRead) {
                ExitHint = kLibraryOptionsFirst;
                Exit("-ldc must be specified before color options");
            }
            MyLdconfigLdr = o + 2;
        } else if (o[1] == 'd') {
            if (o[2] == '\0') Exit("Missing directory '%s'", arg);
            if (LdconfigLdrRead) {
                ExitHint = kLibraryOptionsFirst;
                Exit("-ldd must be specified before color options");
            }
            MyLDrawDir = o + 2;
        } else {
            Exit("Unknown option '%s'", arg);
        }
    } else if (o[0] == 'g') {
        if (o[1] == 'd') {
            if (strlen(o + 2) >= (size_t)kPathSize) Exit("Directory name too long '%s'", arg);
            strncpy0(TqInput.LgeoDir, o + 2, kPathSize);
            strncpy0(TqInput.LgeoDirSource, "-lgd<dir> option", kPathSize);
        } else if (o[1] == 'e' && o[2] == 'o') {
            if (strappchr(TqPov.ReplaceOrder, 'L'))
                fprintf(StdErr, "Warning: -lgeo already met.\n");
        } else {
            AddLightOption(arg, 1);
        }
    } else if (o[0] == 's') {
        if (o[1] != 'l') Exit("Unknown option '%s'", arg);
        TqPov.ShadowlessLights = 1;
    } else {
        Exit("Unknown option '%s'", arg);
    }
}

static void ScanIncludeOption(const char* arg) {
    const char* o = arg + 2;  // after "-i"
    if (strncmp(o, "3b-", 3) == 0) {
        TqPov.IncludeTqBegin = 0;
    } else if (strncmp(o, "3e-", 3) == 0) {
        TqPov.IncludeTqEnd = 0;
    } else if (o[0] == 'b' || o[0] == 'e') {
        if (o[1] == '\0') Exit("Missing filename '%s'", arg);
        SetOwnedText(o[0] == 'b' ? &TqPov.IncludeBegin : &TqPov.IncludeEnd, o + 1);
    } else if (o[0] == 'c') {
        TqPov.CameraOn = 0;
        if (o[1]) SetOwnedText(&TqPov.IncludeCamera, o + 1);
    } else if (o[0] == 'l') {
        TqPov.LightsOn = 0;
        if (o[1]) SetOwnedText(&TqPov.IncludeLights, o + 1);
    } else {
        Exit("Unknown option '%s'", arg);
    }
}

static void ScanOption(const char* arg, RunSwitches* sw) {
    const char* o = arg + 1;
    float f;
    int n;
    switch (o[0]) {
        case 'b':
            if (strcmp(o, "bu") == 0) {
                TqPov.Bumps = 1;
                return;
            }
            TqPov.BackgroundOn = 1;
            TqPov.BackgroundRgb[0] = 0.3f;
            TqPov.BackgroundRgb[1] = 0.8f;
            TqPov.BackgroundRgb[2] = 1.0f;
            if (ParseColor(o + 1, nullptr, TqPov.BackgroundRgb) < 0) Exit("Bad color '%s'", arg);
            return;
        case 'c':
            ScanCameraOption(arg);
            return;
        case 'd':
            if (o[1]) Exit("Unknown option '%s'", arg);
            TqPov.Debug++;
            return;
        case 'e':
            if (o[1] == 'e') {
                TqPov.EdgeWidth = 0.3f;
                TqPov.EdgeColor = 0;
                const char* end;
                if (ReadFloat(o + 2, &f, &end)) {
                    TqPov.EdgeWidth = f;
                    if (*end == ',' && ParseColor(end + 1, &TqPov.EdgeColor, nullptr) < 0)
                        Exit("Bad color '%s'", arg);
                }
            } else if (o[1] == 'n') {
                TqPov.ExcludeNonPov = 1;
            } else {
                Exit("Unknown option '%s'", arg);
            }
            return;
        case 'f': {
            TqPov.FloorType = 'g';
            const char* p = o + 1;
            if (*p >= 'a' && *p <= 'z') TqPov.FloorType = *p++;
            if (ReadFloat(p, &f, nullptr)) {
                TqPov.FloorY = f;
                TqPov.FloorYGiven = 1;
            }
            return;
        }
        case 'i':
            ScanIncludeOption(arg);
            return;
        case 'k':
            if (o[1] != 'v') Exit("Unknown option '%s'", arg);
            if (strappchr(TqPov.ReplaceOrder, 'B')) fprintf(StdErr, "Warning: -kv already met.\n");
            return;
        case 'l':
            ScanLightOrLibraryOption(arg);
            return;
        case 'm':
            if (o[1] != 'p') Exit("Unknown option '%s'", arg);
            if (o[2] == '\0') Exit("Missing version '%s'", arg);
            SetOwnedText(&TqPov.MegaPovVersion, o + 2);
            return;
        case 'n':
            if (strncmp(o, "nolgc", 5) != 0) Exit("Unknown option '%s'", arg);
            // As for every option, characters after the identifying letters do not count.
            sw->UseLgeoColors = 0;
            if (o[5] == 'f') sw->UseLgeoFinishes = 0;
            return;
        case 'o':
            sw->Overwrite = 1;
            return;
        case 'p':
            if (o[1] == '\0') {
                if (strremchr(TqPov.ReplaceOrder, 'P'))
                    fprintf(StdErr, "Warning: -p already met.\n");
            } else if (o[1] == '3') {
                if (strremchr(TqPov.ReplaceOrder, '3'))
                    fprintf(StdErr, "Warning: -p3 already met.\n");
            } else if (o[1] == 'c') {
                ReadColours();
                PrintColours(stdout);
                ExitAfterListing();
            } else if (o[1] == 'p') {
                sw->PrintPrimitives = 1;
            } else {
                Exit("Unknown option '%s'", arg);
            }
            return;
        case 'q':
            if (!ReadInt(o + 1, &n) || n < 0 || n > 4) Exit("Bad argument '%s'", arg);
            TqPov.Quality = n;
            return;
        case 's':
            if (o[1] == 'c') {
                if (o[2] == 'm')
                    TqPov.StepClockModelOnly = 1;
                else
                    TqPov.StepClock = 1;
            } else if (o[1] == 't') {
                if (o[2] == 'u') TqPov.Studs = 0;
                // Any other "-st..." (such as -stdout when not first) has no effect.
            } else if (o[1] == 'w') {
                if (!ReadFloat(o + 2, &f, nullptr)) Exit("Bad argument '%s'", arg);
                TqPov.SeamWidth = f;
            } else {
                Exit("Unknown option '%s'", arg);
            }
            return;
        case 't':
            if (o[1] != 'e' || o[2] != 's') Exit("Unknown option '%s'", arg);
            VlkIsTesting = 1;
            return;
        case 'v':
            TqVerboseOption++;
            return;
        case 'w':
            if (!ReadInt(o + 1, &n)) n = 1;
            WarningLevel = n;
            return;
        default:
            Exit("Unknown option '%s'", arg);
    }
}

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

void CheckArgumentsAfterScan(const RunSwitches* switches) {
    if (TqPov.LookAtGiven && TqPov.CameraGlobe && !(TqPov.CameraPos[2] > 0))
        Exit("-cla requires -cg with positive radius or -cc");
    if (TqPov.RollAngle != 0 && TqPov.SkyGiven) Exit("-cra and -csky are mutually exclusive");
    if (TqPov.EdgeWidth != 0) {
        if (strchr(TqPov.ReplaceOrder, 'L'))
            fprintf(StdErr, "-ee should not be used together with -lgeo\n");
        if (TqPov.SeamWidth != 0) fprintf(StdErr, "-ee should be used together with -sw0\n");
    }
    if (strchr(TqPov.ReplaceOrder, 'L') || strchr(TqPov.ReplaceOrder, 'B')) {
        TqPov.LgeoColors = switches->UseLgeoColors ? 1 : 0;
        TqPov.LgeoFinishes = switches->UseLgeoFinishes ? 1 : 0;
    }
}
