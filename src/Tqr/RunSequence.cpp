// The spine of a run: message stream, option scan, library and colours, listing, check and test
// modes, the output path, loading and scene writing, and the final summary.
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <memory>

#include "LDrawIni/LDrawIni.h"
#include "TqColor/TqColor.h"
#include "TqPov/TqPov.h"
#include "Tqr/Tqr.h"

namespace {

// What -test makes of the run: a normal conversion, or the test scene of one LGEO element, of one
// primitive, or of all equivalents.
enum class TestKind { kNormal, kLgeoElement, kPrimitive, kAllEquivalents };

// Sub-directory test that ignores letter case: libraries unpacked on Linux often spell P, PARTS
// and MODELS in lower case.
bool HasSubDir(TqrRun* run, const char* name) {
    char path[kPathSize];
    strncpy0(path, name, sizeof(path));
    return FindMatchingPath(&run->library, path, 1) && TqIsDir(path);
}

// -ldc<path>: that file, as given or inside the library; -ldc alone: none, the built-in colours
// only; without -ldc: ldconfig.ldr of the library, which need not exist.
bool ChooseColourFile(TqrRun* run) {
    const char* ldrawDir = run->library.LDrawIni->LDrawDir;
    const char* chosen = run->settings.MyLdconfigLdr;
    char* colourPath = run->LdconfigLdrPath;
    if (chosen && *chosen) {
        char path[kPathSize];
        FILE* fp = nullptr;
        if (strlen(chosen) < sizeof(path)) {
            strncpy0(path, chosen, sizeof(path));
            fp = fopeni(&run->library, path, "r");
        }
        if (!fp && snprintf(path, sizeof(path), "%s/%s", ldrawDir, chosen) < (int)sizeof(path)) {
            fp = fopeni(&run->library, path, "r");
        }
        if (!fp) return Exit(run, "Could not open ldconfig.ldr file '%s'", chosen);
        fclose(fp);
        strncpy0(colourPath, path, kPathSize);
    } else if (chosen) {
        colourPath[0] = '\0';
    } else if (snprintf(colourPath, kPathSize, "%s/ldconfig.ldr", ldrawDir) >= kPathSize) {
        colourPath[0] = '\0';
    } else {
        // Show the name as spelled on disk (often LDConfig.ldr) in messages and the scene header.
        FindMatchingPath(&run->library, colourPath, 0);
    }
    return true;
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
// letter case. The run ends here.
bool RunCheckMode(TqrRun* run) {
    const char* ldrawDir = run->library.LDrawIni->LDrawDir;
    CheckRun& check = run->check;
    FILE* out = run->diag.Out;
    if (run->switches.PrintPrimitives) {
        char dir[kPathSize];
        if (snprintf(dir, sizeof(dir), "%s/P", ldrawDir) >= (int)sizeof(dir))
            return Exit(run, "Path too long '%s'", ldrawDir);
        FindMatchingPath(&run->library, dir, 1);
        check.CheckPrimFileDirLen = (int)strlen(dir) + 1;
        CheckDatDir(run, dir, CheckPrimFile);
        fprintf(out, "Primitives in P: %d\n", check.CheckPrimFileTotal);
        if (check.CheckPrimFileTotal != 0) {
            fprintf(out, "POV substitutes: %d (%d%%)\n", check.CheckPrimFileFound,
                    check.CheckPrimFileFound * 100 / check.CheckPrimFileTotal);
        }
        return ExitAfterListing(run);
    }
    const char* model = run->settings.ModelFilename;
    if (model[0]) {
        if (TqIsDir(model))
            CheckDatDir(run, model, CheckDatFile);
        else
            CheckDatFile(run, model);
    } else {
        for (const char* sub : {"P", "PARTS"}) {
            char dir[kPathSize];
            if (snprintf(dir, sizeof(dir), "%s/%s", ldrawDir, sub) >= (int)sizeof(dir))
                return Exit(run, "Path too long '%s'", ldrawDir);
            FindMatchingPath(&run->library, dir, 1);
            CheckDatDir(run, dir, CheckDatFile);
        }
    }
    PrintCheckSummary(run);
    PrintProgVer(run->diag.StdErr);
    return ExitAfterListing(run);
}

// A model path that exists as typed but cannot be read is an error of its own: the search must
// not quietly take a file of the same name from the library instead.
bool CheckModelAsTyped(TqrRun* run, const char* path) {
    struct stat st;
    if (stat(path, &st) != 0 || S_ISDIR(st.st_mode)) return true;
    FILE* fp = OpenRegularFile(path);
    if (!fp) {
        // strerror_r (GNU form): strerror's buffer would be shared with a run beside this one.
        char reason[128];
        return Exit(
            run, "Cannot read '%s': %s", path,
            errno == EINVAL ? "not a regular file" : strerror_r(errno, reason, sizeof(reason)));
    }
    fclose(fp);
    return true;
}

// -test -lgeo tests an LGEO element; a name with an equivalent tests that primitive; any other
// name, all equivalents.
TestKind ChooseTestKind(TqrRun* run) {
    const TqSettings& settings = run->settings;
    if (!settings.VlkIsTesting) return TestKind::kNormal;
    if (strchr(settings.TqPov.ReplaceOrder, 'L')) return TestKind::kLgeoElement;
    PovEquivBuffer dyn;
    if (FindPovEquiv(settings.ModelFilename, &dyn)) return TestKind::kPrimitive;
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

// Loads the model and, in the test modes, adds the test objects; true when the load and the test
// objects succeeded.
bool ConvertByTestKind(TqrRun* run, TestKind kind) {
    char name[kPathSize];
    strncpy0(name, LastPathComponent(run->settings.ModelFilename), sizeof(name));
    TqPovRecord& pov = run->settings.TqPov;
    SceneWriter* w = &run->writer;
    switch (kind) {
        case TestKind::kNormal:
            return LoadModel(&run->loader);
        case TestKind::kLgeoElement:
            // Converted from its LDraw lines first; the test scene then adds the LGEO model.
            strremchr(pov.ReplaceOrder, 'L');
            pov.LgeoTest = 1;
            return LoadModel(&run->loader) && PrintPovLgeoTest(w, w->PovFp) == 0;
        case TestKind::kPrimitive:
            // Without substitution the primitive's own triangles are loaded, to compare with.
            strremchr(pov.ReplaceOrder, 'P');
            return LoadModel(&run->loader) && PrintPovEquivTest(w, w->PovFp, name) == 0;
        case TestKind::kAllEquivalents:
            return MakePovEquivPovfile() == 0;
    }
    return false;
}

}  // namespace

// No output path, or a directory: the model's base name with .pov, in that directory or else the
// current one (not the model's). A name without extension gets .pov. Every length is checked
// before it is copied, so nothing is cut.
int FormOutputPath(TqrRun* run, const char* modelPath, char* povPath) {
    DeleteTrailingBackslash(povPath);
    if (!*povPath || TqIsDir(povPath)) {
        char* splitName = run->SplitName;
        strncpy0(splitName, ModelBaseName(modelPath), kPathSize);
        CutExtension(splitName);
        char formed[kPathSize];
        int n = *povPath ? snprintf(formed, sizeof(formed), "%s/%s.pov", povPath, splitName)
                         : snprintf(formed, sizeof(formed), "%s.pov", splitName);
        if (n >= (int)sizeof(formed)) return -1;
        strncpy0(povPath, formed, kPathSize);
    }
    if (!LastComponentHasDot(povPath)) {
        if (strlen(povPath) + 4 >= (size_t)kPathSize) return -1;
        strcat(povPath, ".pov");
    }
    return 0;
}

bool ReadColours(TqrRun* run) {
    if (run->LdconfigLdrRead) return true;
    // Read during the option scan, the library options still to come have not taken effect.
    if (LibraryOptionFollows(run)) run->ExitHint = kLibraryOptionsFirst;
    int error = 0;
    Library& lib = run->library;
    const char* ldrawDir = run->settings.MyLDrawDir;
    lib.LDrawIni = LDrawIniGet(ldrawDir, ldrawDir ? "-ldd<dir> option" : nullptr, &error,
                               TqFileCaseCallback, &lib);
    // When nothing names or holds a library (error 2), it may still be the current directory.
    if (!lib.LDrawIni && error == 2 && HasSubDir(run, "P") && HasSubDir(run, "PARTS") &&
        HasSubDir(run, "MODELS"))
        lib.LDrawIni = LDrawIniGet(".", "Current directory", &error, TqFileCaseCallback, &lib);
    if (!lib.LDrawIni) {
        return Exit(
            run,
            "Environment variable LDRAWDIR must be set to directory with P,PARTS,MODELS.\ne.g.  'setenv LDRAWDIR /mnt/win_c/Lego/LDraw'\nor    'setenv LDRAWDIR /home/vlk/Lego/LDraw'\nAlternatively use the -ldd<dir> option");
    }
    if (!TqIsDir(lib.LDrawIni->LDrawDir))
        return Exit(run, "LDrawDir '%s' is not a valid directory", lib.LDrawIni->LDrawDir);
    // The table starts empty so that the file's colours come first; the built-in ones only fill
    // the gaps, and edge colours are resolved once every colour is known.
    if (!ChooseColourFile(run)) return false;
    ColourTable* colours = &run->colours;
    FreeColours(colours);
    char* colourPath = run->LdconfigLdrPath;
    if (colourPath[0] && ReadLdconfig(colours, &lib, colourPath) == 0) colourPath[0] = '\0';
    FillInColours(colours, &run->diag);
    ResolveEdgeColours(colours, &run->diag, colourPath);
    run->LdconfigLdrRead = 1;
    run->ExitHint = nullptr;
    return true;
}

// The command line, arguments with blanks in quotes, so that the scene can be made again.
void PrintPovHeaderExtra(FILE* fp, void* userData) {
    const TqrRun* run = static_cast<const TqrRun*>(userData);
    const CommandLine* cl = &run->commandLine;
    fprintf(fp, "// ldconfig.ldr: %s\n", SceneSafe(run->LdconfigLdrPath).c_str());
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

void InitRun(TqrRun* run, FILE* out, FILE* err) {
    Diagnostics& diag = run->diag;
    diag.Out = out;
    diag.StdErr = err;
    diag.Console = err;
    run->library.diag = &diag;
    InitSceneWriter(&run->writer, &run->settings, &diag, &run->library, &run->colours, &run->model);
}

namespace {

// Until the command line is scanned: the message stream, the built-in colours (so that colour
// options resolve without any file) and the records. Without a model, only -pp lists something;
// otherwise the usage is shown.
bool StartRun(TqrRun* run, int argc, char** argv) {
    // The stream is chosen before the scan, whose own messages go there: hence -stdout first.
    if (argc > 1 && strcmp(argv[1], "-stdout") == 0) run->diag.StdErr = run->diag.Out;
    FillInColours(&run->colours, &run->diag);
    run->commandLine = {argc, argv};
    if (!ScanArguments(run, argc, argv) || !CheckArgumentsAfterScan(run)) return false;
    if (run->settings.ModelFilename[0] || run->settings.DoCheck) return true;
    if (run->switches.PrintPrimitives) {
        PrintPovEquivsList(run->diag.Out);
        return ExitAfterListing(run);
    }
    return Exit(run, nullptr);
}

// The library, its colours and search directories, TQRPARTS and LGEO; check mode ends here.
bool PrepareLibrary(TqrRun* run) {
    if (!ReadColours(run)) return false;
    TqSettings& settings = run->settings;
    char* order = settings.TqPov.ReplaceOrder;
    run->library.verbose = settings.TqVerboseOption;
    // TQRPARTS is a source by default; without the directory it is dropped without a word.
    if (strchr(order, '3') && !CheckTqrPartsDir(run)) strremchr(order, '3');
    if (settings.TqVerboseOption) fprintf(run->diag.StdErr, "Calling LDrawIniComputeRealDirs\n");
    if (!LDrawIniComputeRealDirs(run->library.LDrawIni, 1, 1, nullptr))
        return Exit(run, "Failed to compute search dirs");
    if ((strchr(order, 'L') || strchr(order, 'B')) &&
        !InitLgeoDir(&run->library, &settings.TqInput)) {
        return Exit(
            run,
            "Environment variable LGEODIR must be set to directory with LGEO parts.\ne.g.  'setenv LGEODIR /mnt/win_c/Lego/lgeo'\nor    'setenv LGEODIR /home/vlk/Lego/lgeo'");
    }
    InitLoader(&run->loader, &settings, &settings.TqInput, &run->diag, &run->library, &run->colours,
               &run->model);
    if (settings.DoCheck) return RunCheckMode(run);
    ConnectSceneWriter(&run->writer, &run->loader);
    return true;
}

// The model file as found, and the output path formed from it.
bool LocateModelAndOutput(TqrRun* run, TestKind kind) {
    char* model = run->settings.ModelFilename;
    char* scene = run->settings.PovFilename;
    if (kind == TestKind::kAllEquivalents) {
        strncpy0(scene, model, kPathSize);
        strncpy0(model, "PovEquivs", kPathSize);
    } else {
        if (!CheckModelAsTyped(run, model)) return false;
        char found[kPathSize];
        FILE* fp = OpenDatFile(&run->library, model, 1, nullptr, found);
        if (!fp) return Exit(run, "Cannot find model file '%s'", model);
        fclose(fp);
        // The output name comes from the name as typed; the model path then becomes the file
        // found.
        if (FormOutputPath(run, model, scene) != 0)
            return Exit(run, "Output path too long (at most %d characters)", kPathSize - 1);
        strncpy0(model, found, kPathSize);
        // Not even -o may write the scene over the model it is made from.
        if (SameFile(scene, model))
            return Exit(run, "Output file '%s' is the model file itself; give another output path",
                        scene);
        return true;
    }
    if (FormOutputPath(run, model, scene) != 0)
        return Exit(run, "Output path too long (at most %d characters)", kPathSize - 1);
    // This test writes under the part name as typed: run in a parts folder, -o would replace the
    // part itself with an empty scene.
    if (access(scene, F_OK) == 0 && !HasPovExtension(scene))
        return Exit(run,
                    "Output file '%s' exists and is no scene; -test writes under the name as "
                    "typed, so run it in an empty folder",
                    scene);
    return true;
}

// Creates the scene file; nothing the user has is overwritten without -o.
bool OpenScene(TqrRun* run) {
    const char* target = run->settings.PovFilename;
    // Any existing file counts, readable or not.
    if (!run->switches.Overwrite && access(target, F_OK) == 0)
        return Exit(run, "File '%s' already exists, use option -o to overwrite", target);
    FILE* fp = OpenSceneFile(&run->scene, target);
    if (!fp) return Exit(run, "Could not open '%s' for writing", target);
    // A large buffer: scenes of big models run to tens of megabytes.
    setvbuf(fp, run->sceneBuffer, _IOFBF, sizeof(run->sceneBuffer));
    // Held for the whole scene: every fputs and fwrite then finds the lock already ours instead of
    // taking and releasing it, which costs more than the copy for the short texts written here.
    flockfile(fp);
    run->writer.PovFp = fp;
    return true;
}

// Writes the whole scene: the model and the trailer. The status, and the size written.
int WriteScene(TqrRun* run, TestKind kind, long* size) {
    SceneWriter* w = &run->writer;
    FILE* messages = run->diag.StdErr;
    // The test of all equivalents reads no model file.
    fprintf(messages, "Processing %s\n",
            kind == TestKind::kAllEquivalents ? "" : run->settings.ModelFilename);
    // A failed scene is still completed, closed and moved into place: its banner says why.
    bool loaded = ConvertByTestKind(run, kind);
    if (run->finished) return -1;
    TrailerResult result = PrintPovTrailer(w, w->PovFp, loaded);
    if (result == TrailerResult::kEmptyModel) fprintf(messages, "Empty model.\n");
    FILE* fp = w->PovFp;
    fseek(fp, 0, SEEK_END);
    *size = ftell(fp);
    // A write error (a full disk) fails a run that would otherwise have succeeded.
    funlockfile(fp);
    bool writeFailed = CloseSceneFile(&run->scene, fp) != 0;
    w->PovFp = nullptr;
    PrintProgVer(messages);
    int status = result == TrailerResult::kWritten ? 0 : -1;
    if (writeFailed && status == 0) {
        fprintf(messages, "*** Could not write '%s' completely.\n", run->settings.PovFilename);
        status = -1;
    }
    return status;
}

// The closing lines and the exit status.
int FinishRun(TqrRun* run, int status, long size) {
    FILE* messages = run->diag.StdErr;
    if (!StandardOutputIntact(run)) {
        // The diagnostics are lost; the user must not take the run for a clean one.
        fputs("*** Could not write to standard output.\n", run->diag.Console);
        status = -1;
    }
    if (status != 0) {
        fprintf(messages, "*** Abnormal termination.\n");
        return 1;
    }
    PrintPovStatistics(&run->writer, messages, "");
    fprintf(messages, "POV file successfully written: %s  %ld kBytes\n", run->settings.PovFilename,
            (size + 1023) / 1024);
    return 0;
}

// The order of the steps: the colours need the library, and a colour option may read them during
// the scan already. The model is prepared and the writer initialised before the scene file is
// created, so that a failure there leaves no file behind. False when the run ended early.
bool Convert(TqrRun* run, int argc, char** argv) {
    if (!StartRun(run, argc, argv) || !PrepareLibrary(run)) return false;
    TqSettings& settings = run->settings;
    // Lines of types 0, 1, 3 and 4 are kept; edge lines (2 and 5) only when the run needs them.
    SetLineTypeSaveMask(&run->model, KeepsEdgeLines(settings) ? 0x3F : 0x1B);
    TestKind kind = ChooseTestKind(run);
    if (!LocateModelAndOutput(run, kind)) return false;
    if (LoadModelPre(&run->loader, settings.ModelFilename) != 0 ||
        PrintPovInit(&run->writer, settings.ModelFilename, PrintPovHeaderExtra, run) != 0) {
        fprintf(run->diag.StdErr, "*** Abnormal termination.\n");
        run->exitStatus = 1;
        return false;
    }
    // The LGEO tables are read by the writer's set-up; the element must be among them, which is
    // known before the scene file is made.
    if (kind == TestKind::kLgeoElement) {
        const char* name = LastPathComponent(settings.ModelFilename);
        if (!FindLgeoElmt(&run->writer, name, 'L'))
            return Exit(run, "No such LGEO element '%s'", name);
    }
    if (!OpenScene(run)) return false;
    long size = 0;
    int status = WriteScene(run, kind, &size);
    if (run->finished) return false;
    run->exitStatus = FinishRun(run, status, size);
    return true;
}

}  // namespace

int RunTqr(TqrRun* run, int argc, char** argv) {
    Convert(run, argc, argv);
    return run->exitStatus;
}

int TqrMain(int argc, char** argv, FILE* out, FILE* err) {
    // The run's records are many and large (the part table, the scene buffer): on the heap.
    std::unique_ptr<TqrRun> run = std::make_unique<TqrRun>();
    InitRun(run.get(), out, err);
    return RunTqr(run.get(), argc, argv);
}
