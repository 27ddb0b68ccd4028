// The spine of a run: the command line, the checks that must pass before anything is written,
// the private work directory, and then a still, an animation, a plan or the joining of bands.
#include <unistd.h>

#include <cstdio>

#include "TqRender/TqRender.h"

namespace tqrender {

namespace {

// POV-Ray takes its file names in double quotes, so a name holding one cannot be passed on.
bool CheckPovrayNames(const RenderOptions& o) {
    for (const std::string* path : {&o.out, &o.keepSceneDir, &o.planFile}) {
        if (!PovQuotable(*path)) {
            ProgressNote("POV-Ray cannot take a '\"' in a file name: %s", path->c_str());
            return false;
        }
    }
    std::string outDir = DirName(o.out);
    if (!outDir.empty() && !IsDirectory(outDir)) {
        ProgressNote("the directory of %s does not exist", o.out.c_str());
        return false;
    }
    return true;
}

// A missing program or look is reported before anything is converted, with how to fix it.
bool CheckTools(const Tools& tools, const RenderOptions& o) {
    if (tools.tqr.empty()) {
        ProgressNote("cannot find the converter 'tqr' next to this program or on PATH");
        return false;
    }
    if (o.look == Look::kStudio && !HasStudioLook(tools.povDir)) {
        ProgressNote(
            "cannot find the studio look (%s) in %s; set TQR_POV_DIR to its directory or use --look plain",
            kStudioInclude, tools.povDir.empty() ? "the usual places" : tools.povDir.c_str());
        return false;
    }
    // A plan only writes commands; POV-Ray is needed where they run.
    if (o.planFile.empty() && tools.povray.empty()) {
        ProgressNote(
            "POV-Ray is not installed (no 'povray' on PATH); install it with: apt-get install povray");
        return false;
    }
    return true;
}

// The scene goes where the user wants to keep it, with the include files of the look beside
// it, so that the directory renders on its own.
bool PrepareKeptScene(const Tools& tools, const RenderOptions& o) {
    if (o.keepSceneDir.empty()) return true;
    if (!MakeDirectories(o.keepSceneDir)) {
        ProgressNote("cannot create the directory %s", o.keepSceneDir.c_str());
        return false;
    }
    if (o.look == Look::kStudio && !CopyDirectoryFiles(tools.povDir, o.keepSceneDir)) {
        ProgressNote("cannot copy the studio look into %s", o.keepSceneDir.c_str());
        return false;
    }
    return true;
}

// One picture: convert, then one POV-Ray run into the partial name, then the rename.
int RunStill(const Tools& tools, const RenderOptions& o, const std::string& workDir) {
    if (!CheckOverwrite(o, {o.out})) return 1;
    std::string sceneDir = o.keepSceneDir.empty() ? workDir : o.keepSceneDir;
    RenderJob job;
    job.call.scene = JoinPath(sceneDir, StemOf(o.out) + ".pov");
    double start = NowSeconds();
    ProgressNote("converting %s", o.model.c_str());
    if (!RunConversion(tools, ConversionArguments(o, job.call.scene, {}), workDir, false).ok)
        return 1;
    double converted = NowSeconds();
    // The look's directory first, then those the scene's own includes need.
    job.call.libraryDirs = LookLibraryDirs(tools, o);
    for (const std::string& dir : SceneLibraryDirs(job.call.scene))
        job.call.libraryDirs.push_back(dir);
    job.call.output = PartialPath(o.out);
    job.finalPath = o.out;
    // The command shown for a kept scene writes straight to OUT: by hand, no partial name.
    if (!o.keepSceneDir.empty()) {
        PovrayCall byHand = job.call;
        byHand.output = o.out;
        ProgressNote("scene kept: %s; render it by hand with:", job.call.scene.c_str());
        ProgressForward("  " + ShellCommand(PovrayArguments(o, byHand)));
    }
    std::vector<RenderJob> jobs = {job};
    if (RunRenderJobs(tools, o, &jobs, 1, workDir) != 1) return 1;
    ProgressNote("wrote %s (convert %.1f s, render %.1f s)", o.out.c_str(), converted - start,
                 NowSeconds() - converted);
    // Standard output carries only the picture's path, for scripts; all else goes to stderr.
    printf("%s\n", o.out.c_str());
    fflush(stdout);
    return 0;
}

int RunModel(RenderOptions o) {
    // A directory as OUT receives the picture under the model's name.
    if (!o.out.empty() && (o.out.back() == '/' || IsDirectory(o.out)))
        o.out = JoinPath(o.out, DefaultOutputPath(o.model));
    Tools tools = LocateTools();
    if (!CheckTools(tools, o) || !CheckPovrayNames(o)) return 1;
    // Private to this run: tqr's messages, scenes nobody keeps, probe conversions.
    std::string workDir = MakeTemporaryDirectory();
    if (workDir.empty()) {
        ProgressNote("cannot create a temporary directory");
        return 1;
    }
    if (!o.planFile.empty()) return WritePlan(tools, o, workDir);
    if (!PrepareKeptScene(tools, o)) return 1;
    if (o.steps || o.turntable > 0) return RunAnimation(tools, o, workDir);
    return RunStill(tools, o, workDir);
}

}  // namespace

std::vector<std::string> LookLibraryDirs(const Tools& tools, const RenderOptions& options) {
    if (options.look == Look::kPlain) return {};
    return {options.keepSceneDir.empty() ? tools.povDir : options.keepSceneDir};
}

// The partial file lies beside the final one, so this is a rename within one file system:
// atomic, and an older picture stays whole until the new one replaces it.
bool PublishPicture(const std::string& partial, const std::string& finalPath) {
    if (rename(partial.c_str(), finalPath.c_str()) != 0) {
        ProgressNote("cannot rename %s to %s", partial.c_str(), finalPath.c_str());
        return false;
    }
    ForgetTemporary(partial);
    return true;
}

bool CheckOverwrite(const RenderOptions& options, const std::vector<std::string>& paths) {
    if (options.force) return true;
    for (const std::string& path : paths) {
        if (PathExists(path)) {
            ProgressNote("%s exists; use --force to overwrite it", path.c_str());
            return false;
        }
    }
    return true;
}

int TqRenderMain(int argc, char** argv) {
    ProgressInit(isatty(2) != 0);
    RenderOptions options;
    std::string error;
    if (!ParseRenderOptions(argc, argv, &options, &error)) {
        fprintf(stderr, "tqr-render: %s\n", error.c_str());
        PrintRenderUsage(stderr);
        // 2 for a command line error, the usual status for misuse; 1 for a failed run.
        return 2;
    }
    if (options.help) {
        PrintRenderUsage(stdout);
        return 0;
    }
    // Only now: nothing existed before that would need cleaning up. From here an interruption
    // stops the children, and the run still reaches the clean-up below.
    InstallSignalHandlers();
    int status = options.assemble ? RunAssemble(options) : RunModel(options);
    ProgressDone();
    RemoveTemporaries();
    // An interrupted run says so and ends as a shell expects of a process killed by the signal.
    if (int signalNumber = InterruptSignal()) {
        ProgressNote("interrupted; nothing more was written");
        return 128 + signalNumber;
    }
    return status;
}

}  // namespace tqrender
