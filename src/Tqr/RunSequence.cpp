// The spine of a run: message stream, option scan, library and colours, listing, check and test
// modes, the output path, loading and scene writing, and the final summary.
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "LDrawIni/LDrawIni.h"
#include "TqColor/TqColor.h"
#include "TqPov/TqPov.h"
#include "Tqr/Tqr.h"

char LdconfigLdrPath[kPathSize];
int LdconfigLdrRead = 0;
char SplitName[kPathSize];

namespace {

// What -test makes of the run: a normal conversion, or the test scene of one LGEO element, of one
// primitive, or of all equivalents.
enum class TestKind { kNormal, kLgeoElement, kPrimitive, kAllEquivalents };

// Sub-directory test that ignores letter case: libraries unpacked on Linux often spell P, PARTS
// and MODELS in lower case.
bool HasSubDir(const char* name) {
    char path[kPathSize];
    strncpy0(path, name, sizeof(path));
    return FindMatchingPath(path, 1) && TqIsDir(path);
}

// -ldc<path>: that file, as given or inside the library; -ldc alone: none, the built-in colours
// only; without -ldc: ldconfig.ldr of the library, which need not exist.
void ChooseColourFile() {
    const char* ldrawDir = LDrawIni->LDrawDir;
    if (MyLdconfigLdr && *MyLdconfigLdr) {
        char path[kPathSize];
        FILE* fp = nullptr;
        if (strlen(MyLdconfigLdr) < sizeof(path)) {
            strncpy0(path, MyLdconfigLdr, sizeof(path));
            fp = fopeni(path, "r");
        }
        if (!fp &&
            snprintf(path, sizeof(path), "%s/%s", ldrawDir, MyLdconfigLdr) < (int)sizeof(path)) {
            fp = fopeni(path, "r");
        }
        if (!fp) Exit("Could not open ldconfig.ldr file '%s'", MyLdconfigLdr);
        fclose(fp);
        strncpy0(LdconfigLdrPath, path, sizeof(LdconfigLdrPath));
    } else if (MyLdconfigLdr) {
        LdconfigLdrPath[0] = '\0';
    } else if (snprintf(LdconfigLdrPath, sizeof(LdconfigLdrPath), "%s/ldconfig.ldr", ldrawDir) >=
               (int)sizeof(LdconfigLdrPath)) {
        LdconfigLdrPath[0] = '\0';
    } else {
        // Show the name as spelled on disk (often LDConfig.ldr) in messages and the scene header.
        FindMatchingPath(LdconfigLdrPath, 0);
    }
}

// Base name of the model as typed, without directory; the last character is not examined so
// that a trailing separator stays part of the name.
const char* ModelBaseName(const char* path) {
    size_t p = strlen(path);
    if (p > 0) p--;
    while (p > 0 && path[p - 1] != '/' && path[p - 1] != '\\') p--;
    return path + p;
}

// Cuts SplitName at its last '.', never at the first character, so ".hidden" stays whole.
void CutExtension(char* name) {
    size_t n = strlen(name);
    for (size_t i = n; i-- > 1;) {
        if (name[i] == '/' || name[i] == '\\') break;
        if (name[i] == '.') {
            name[i] = '\0';
            break;
        }
    }
}

// Whether the output name has an extension of its own; a dot that starts the whole path does not
// count (.hidden becomes .hidden.pov).
bool LastComponentHasDot(const char* path) {
    const char* component = path;
    for (const char* p = path; *p; p++) {
        if (*p == '/' || *p == '\\') component = p + 1;
    }
    for (const char* p = component; *p; p++) {
        if (*p == '.' && p != path) return true;
    }
    return false;
}

// -check writes no scene: with -pp it lists the primitives of P and their substitutes, otherwise it
// checks the file or tree given, or all of P and PARTS. The library may spell P and PARTS in any
// letter case.
void RunCheckModeAndExit(const RunSwitches* switches) {
    if (switches->PrintPrimitives) {
        char dir[kPathSize];
        if (snprintf(dir, sizeof(dir), "%s/P", LDrawIni->LDrawDir) >= (int)sizeof(dir))
            Exit("Path too long '%s'", LDrawIni->LDrawDir);
        FindMatchingPath(dir, 1);
        CheckPrimFileDirLen = (int)strlen(dir) + 1;
        CheckDatDir(dir, CheckPrimFile);
        printf("Primitives in P: %d\n", CheckPrimFileTotal);
        if (CheckPrimFileTotal != 0) {
            printf("POV substitutes: %d (%d%%)\n", CheckPrimFileFound,
                   CheckPrimFileFound * 100 / CheckPrimFileTotal);
        }
        ExitAfterListing();
    }
    if (ModelFilename[0]) {
        if (TqIsDir(ModelFilename))
            CheckDatDir(ModelFilename, CheckDatFile);
        else
            CheckDatFile(ModelFilename);
    } else {
        for (const char* sub : {"P", "PARTS"}) {
            char dir[kPathSize];
            if (snprintf(dir, sizeof(dir), "%s/%s", LDrawIni->LDrawDir, sub) >= (int)sizeof(dir))
                Exit("Path too long '%s'", LDrawIni->LDrawDir);
            FindMatchingPath(dir, 1);
            CheckDatDir(dir, CheckDatFile);
        }
    }
    PrintCheckSummary();
    PrintProgVer(StdErr);
    ExitAfterListing();
}

// A model path that exists as typed but cannot be read is an error of its own: the search must
// not quietly take a file of the same name from the library instead.
void CheckModelAsTyped(const char* path) {
    struct stat st;
    if (stat(path, &st) != 0 || S_ISDIR(st.st_mode)) return;
    FILE* fp = OpenRegularFile(path);
    if (!fp)
        Exit("Cannot read '%s': %s", path,
             errno == EINVAL ? "not a regular file" : strerror(errno));
    fclose(fp);
}

// -test -lgeo tests an LGEO element; a name with an equivalent tests that primitive; any other
// name, all equivalents.
TestKind ChooseTestKind() {
    if (!VlkIsTesting) return TestKind::kNormal;
    if (strchr(TqPov.ReplaceOrder, 'L')) return TestKind::kLgeoElement;
    if (FindPovEquiv(ModelFilename)) return TestKind::kPrimitive;
    return TestKind::kAllEquivalents;
}

const char* LastPathComponent(const char* path) {
    const char* slash = strrchr(path, '/');
    return slash ? slash + 1 : path;
}

bool HasPovExtension(const char* path) {
    const char* dot = strrchr(LastPathComponent(path), '.');
    return dot && strcasecmp(dot, ".pov") == 0;
}

int ConvertByTestKind(TestKind kind) {
    char name[kPathSize];
    strncpy0(name, LastPathComponent(ModelFilename), sizeof(name));
    switch (kind) {
        case TestKind::kNormal:
            return LoadModel();
        case TestKind::kLgeoElement: {
            // Converted from its LDraw lines first; the test scene then adds the LGEO model.
            if (!FindLgeoElmt(name, 'L')) Exit("No such LGEO element '%s'", name);
            strremchr(TqPov.ReplaceOrder, 'L');
            TqPov.LgeoTest = 1;
            int status = LoadModel();
            return status == 0 ? PrintPovLgeoTest(PovFp) : status;
        }
        case TestKind::kPrimitive: {
            // Without substitution the primitive's own triangles are loaded, to compare with.
            strremchr(TqPov.ReplaceOrder, 'P');
            int status = LoadModel();
            return status == 0 ? PrintPovEquivTest(PovFp, name) : status;
        }
        case TestKind::kAllEquivalents:
            return MakePovEquivPovfile();
    }
    return -1;
}

}  // namespace

// No output path, or a directory: the model's base name with .pov, in that directory or else the
// current one (not the model's). A name without extension gets .pov. Every length is checked
// before it is copied, so nothing is cut.
int FormOutputPath(const char* modelPath, char* povPath) {
    DeleteTrailingBackslash(povPath);
    if (!*povPath || TqIsDir(povPath)) {
        strncpy0(SplitName, ModelBaseName(modelPath), sizeof(SplitName));
        CutExtension(SplitName);
        char formed[kPathSize];
        int n = *povPath ? snprintf(formed, sizeof(formed), "%s/%s.pov", povPath, SplitName)
                         : snprintf(formed, sizeof(formed), "%s.pov", SplitName);
        if (n >= (int)sizeof(formed)) return -1;
        strncpy0(povPath, formed, kPathSize);
    }
    if (!LastComponentHasDot(povPath)) {
        if (strlen(povPath) + 4 >= (size_t)kPathSize) return -1;
        strcat(povPath, ".pov");
    }
    return 0;
}

void ReadColours() {
    if (LdconfigLdrRead) return;
    // Read during the option scan, the library options still to come have not taken effect.
    if (LibraryOptionFollows()) ExitHint = kLibraryOptionsFirst;
    int error = 0;
    LDrawIni = LDrawIniGet(MyLDrawDir, MyLDrawDir ? "-ldd<dir> option" : nullptr, &error);
    // When nothing names or holds a library (error 2), it may still be the current directory.
    if (!LDrawIni && error == 2 && HasSubDir("P") && HasSubDir("PARTS") && HasSubDir("MODELS"))
        LDrawIni = LDrawIniGet(".", "Current directory", &error);
    if (!LDrawIni) {
        Exit(
            "Environment variable LDRAWDIR must be set to directory with P,PARTS,MODELS.\ne.g.  'setenv LDRAWDIR /mnt/win_c/Lego/LDraw'\nor    'setenv LDRAWDIR /home/vlk/Lego/LDraw'\nAlternatively use the -ldd<dir> option");
    }
    if (!TqIsDir(LDrawIni->LDrawDir))
        Exit("LDrawDir '%s' is not a valid directory", LDrawIni->LDrawDir);
    // The table starts empty so that the file's colours come first; the built-in ones only fill
    // the gaps, and edge colours are resolved once every colour is known.
    ChooseColourFile();
    FreeColours();
    if (LdconfigLdrPath[0] && ReadLdconfig(LdconfigLdrPath) == 0) LdconfigLdrPath[0] = '\0';
    FillInColours();
    ResolveEdgeColours(LdconfigLdrPath);
    LdconfigLdrRead = 1;
    ExitHint = nullptr;
}

// The command line, arguments with blanks in quotes, so that the scene can be made again.
void PrintPovHeaderExtra(FILE* fp, void* userData) {
    const CommandLine* cl = static_cast<const CommandLine*>(userData);
    fprintf(fp, "// ldconfig.ldr: %s\n", SceneSafe(LdconfigLdrPath).c_str());
    fputs("// Commandline: ", fp);
    for (int i = 0; i < cl->argc; i++) {
        SceneSafe arg(cl->argv[i]);
        if (strchr(cl->argv[i], ' '))
            fprintf(fp, " \"%s\"", arg.c_str());
        else
            fprintf(fp, " %s", arg.c_str());
    }
    fputc('\n', fp);
}

namespace {

// Until the command line is scanned: the message stream, the case-insensitive lookup, the
// built-in colours (so that colour options resolve without any file) and the defaults. Without a
// model, only -pp lists something; otherwise the usage is shown.
void StartRun(int argc, char** argv) {
    ConnectSceneWriter();
    // The stream is chosen before the scan, whose own messages go there: hence -stdout first.
    StdErr = stderr;
    if (argc > 1 && strcmp(argv[1], "-stdout") == 0) StdErr = stdout;
    LDrawIniSetFileCaseCallback(TqFileCaseCallback);
    DoCheck = 0;
    ModelFilename[0] = PovFilename[0] = '\0';
    FillInColours();
    TheRun.commandLine = {argc, argv};
    SetTqPovDefaults(&TqPov);
    TheRun.switches = {0, 0, 1, 1};  // LGEO colours and finishes unless -nolgc[f]
    ScanArguments(argc, argv, &TheRun.switches);
    CheckArgumentsAfterScan(&TheRun.switches);
    if (ModelFilename[0] || DoCheck) return;
    if (TheRun.switches.PrintPrimitives) {
        PrintPovEquivsList(stdout);
        ExitAfterListing();
    }
    Exit(nullptr);
}

// The library, its colours and search directories, TQRPARTS and LGEO; check mode ends here.
void PrepareLibrary() {
    ReadColours();
    // TQRPARTS is a source by default; without the directory it is dropped without a word.
    if (strchr(TqPov.ReplaceOrder, '3') && !CheckTqrPartsDir()) strremchr(TqPov.ReplaceOrder, '3');
    if (TqVerboseOption) fprintf(StdErr, "Calling LDrawIniComputeRealDirs\n");
    if (!LDrawIniComputeRealDirs(LDrawIni, 1, 1, nullptr)) Exit("Failed to compute search dirs");
    if ((strchr(TqPov.ReplaceOrder, 'L') || strchr(TqPov.ReplaceOrder, 'B')) &&
        !InitLgeoDir(LDrawIni)) {
        Exit(
            "Environment variable LGEODIR must be set to directory with LGEO parts.\ne.g.  'setenv LGEODIR /mnt/win_c/Lego/lgeo'\nor    'setenv LGEODIR /home/vlk/Lego/lgeo'");
    }
    if (DoCheck) RunCheckModeAndExit(&TheRun.switches);
}

// The model file as found, and the output path formed from it.
void LocateModelAndOutput(TestKind kind) {
    if (kind == TestKind::kAllEquivalents) {
        strncpy0(PovFilename, ModelFilename, sizeof(PovFilename));
        strncpy0(ModelFilename, "PovEquivs", sizeof(ModelFilename));
    } else {
        CheckModelAsTyped(ModelFilename);
        FILE* fp = OpenDatFile(ModelFilename, 1, nullptr);
        if (!fp) Exit("Cannot find model file '%s'", ModelFilename);
        fclose(fp);
    }
    // The output name comes from the name as typed; the model path then becomes the file found.
    if (FormOutputPath(ModelFilename, PovFilename) != 0)
        Exit("Output path too long (at most %d characters)", kPathSize - 1);
    if (kind == TestKind::kAllEquivalents) {
        // This test writes under the part name as typed: run in a parts folder, -o would replace
        // the part itself with an empty scene.
        if (access(PovFilename, F_OK) == 0 && !HasPovExtension(PovFilename))
            Exit("Output file '%s' exists and is no scene; -test writes under the name as typed, "
                 "so run it in an empty folder",
                 PovFilename);
        return;
    }
    strncpy0(ModelFilename, GetOpenDatFilePath(), sizeof(ModelFilename));
    // Not even -o may write the scene over the model it is made from.
    if (SameFile(PovFilename, ModelFilename))
        Exit("Output file '%s' is the model file itself; give another output path", PovFilename);
}

// Creates the scene file; nothing the user has is overwritten without -o.
void OpenScene() {
    // Any existing file counts, readable or not.
    if (!TheRun.switches.Overwrite && access(PovFilename, F_OK) == 0)
        Exit("File '%s' already exists, use option -o to overwrite", PovFilename);
    PovFp = OpenSceneFile(PovFilename);
    if (!PovFp) Exit("Could not open '%s' for writing", PovFilename);
    // A large buffer: scenes of big models run to tens of megabytes.
    setvbuf(PovFp, TheRun.sceneBuffer, _IOFBF, sizeof(TheRun.sceneBuffer));
    // Held for the whole scene: every fputs and fwrite then finds the lock already ours instead of
    // taking and releasing it, which costs more than the copy for the short texts written here.
    flockfile(PovFp);
}

// Writes the whole scene: the model and the trailer. The status, and the size written.
int WriteScene(TestKind kind, long* size) {
    OpenScene();
    fprintf(StdErr, "Processing %s\n", GetOpenDatFilePath());
    // A failed scene is still completed, closed and moved into place: its banner says why.
    int status = ConvertByTestKind(kind);
    status = PrintPovTrailer(PovFp, status);
    if (status == -2) fprintf(StdErr, "Empty model.\n");
    fseek(PovFp, 0, SEEK_END);
    *size = ftell(PovFp);
    // A write error (a full disk) fails a run that would otherwise have succeeded.
    funlockfile(PovFp);
    bool writeFailed = CloseSceneFile(PovFp) != 0;
    PovFp = nullptr;
    PrintProgVer(StdErr);
    if (writeFailed && status == 0) {
        fprintf(StdErr, "*** Could not write '%s' completely.\n", PovFilename);
        status = -1;
    }
    return status;
}

// The closing lines and the exit status.
int FinishRun(int status, long size) {
    if (!StandardOutputIntact()) {
        // The diagnostics are lost; the user must not take the run for a clean one.
        fputs("*** Could not write to standard output.\n", stderr);
        status = -1;
    }
    if (status != 0) {
        fprintf(StdErr, "*** Abnormal termination.\n");
        return 1;
    }
    PrintPovStatistics(StdErr, "");
    fprintf(StdErr, "POV file successfully written: %s  %ld kBytes\n", PovFilename,
            (size + 1023) / 1024);
    return 0;
}

}  // namespace

TqrRun TheRun;

// The order of the steps: the colours need the library, and a colour option may read them during
// the scan already. The model is prepared and the writer initialised before the scene file is
// created, so that a failure there leaves no file behind.
int TqrMain(int argc, char** argv) {
    StartRun(argc, argv);
    PrepareLibrary();
    // Lines of types 0, 1, 3 and 4 are kept; edge lines (2 and 5) only with -ee.
    SetLineTypeSaveMask(TqPov.EdgeWidth != 0 ? 0x3F : 0x1B);
    TestKind kind = ChooseTestKind();
    LocateModelAndOutput(kind);
    if (LoadModelPre(ModelFilename) != 0 ||
        PrintPovInit(ModelFilename, PrintPovHeaderExtra, &TheRun.commandLine) != 0) {
        fprintf(StdErr, "*** Abnormal termination.\n");
        return 1;
    }
    long size = 0;
    int status = WriteScene(kind, &size);
    return FinishRun(status, size);
}
