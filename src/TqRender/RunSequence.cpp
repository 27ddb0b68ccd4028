// The spine of a run: the command line, the checks that must pass before anything is written,
// the private work directory, and then a still, an animation, a plan or the joining of bands.
#include <unistd.h>

#include <cstdio>

#include "TqRender/TqRender.h"

namespace tqrender {

namespace {

// A picture's directory is made when it is missing (as --keep-scene's is): one command turns a
// model into a folder of step pictures. The names of a kept scene go into the POV-Ray command
// shown for it, so they must be names POV-Ray takes. (A picture rendered here may have any name:
// POV-Ray reaches it through a link, see WorkPlace.)
bool CheckNames(const RenderOptions& o) {
    if (!CheckPictureName(o.out)) return false;
    std::string outDir = DirName(o.out);
    if (!outDir.empty() && !IsDirectory(outDir) && !MakeDirectories(outDir)) {
        ProgressNote("cannot create the directory of %s", o.out.c_str());
        return false;
    }
    if (o.keepSceneDir.empty()) return true;
    std::vector<std::string> names = {o.keepSceneDir, ScenePath(o, o.keepSceneDir, o.turntable)};
    if (!o.steps && o.turntable == 0) names.push_back(o.out);
    return CheckPovrayNames(names, "a name that --keep-scene gives it");
}

// A missing program or look is reported before anything is converted, with how to fix it.
bool CheckTools(const Tools& tools, const RenderOptions& o) {
    if (tools.tqr.empty()) {
        ProgressNote("cannot find the converter 'tqr' next to this program or on PATH");
        return false;
    }
    if (o.look != Look::kPlain && !HasStudioLook(tools.povDir)) {
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

// The files a still or an animation will write that are known before the conversion: the
// picture or a turntable's frames and GIF, and the kept scenes. (The frames of --steps follow
// once the conversion has counted them.)
std::vector<std::string> KnownTargets(const Tools& tools, const RenderOptions& o) {
    std::vector<std::string> targets;
    if (!o.steps && o.turntable == 0) targets.push_back(o.out);
    for (int i = 1; i <= o.turntable; i++) targets.push_back(FramePath(o.out, i));
    if (o.turntable > 0 && !tools.ffmpeg.empty()) targets.push_back(AnimationPath(o.out));
    if (!o.keepSceneDir.empty()) {
        for (int i = o.turntable > 0 ? 1 : 0; i <= o.turntable; i++)
            targets.push_back(ScenePath(o, o.keepSceneDir, i));
    }
    return targets;
}

// The scene goes where the user wants to keep it, with the include files of the look beside
// it, so that the directory renders on its own.
bool PrepareKeptScene(const Tools& tools, const RenderOptions& o) {
    if (o.keepSceneDir.empty()) return true;
    if (!MakeDirectories(o.keepSceneDir)) {
        ProgressNote("cannot create the directory %s", o.keepSceneDir.c_str());
        return false;
    }
    std::vector<std::string> copies;
    return o.look == Look::kPlain || CopyLook(o, tools.povDir, o.keepSceneDir, &copies);
}

// The POV-Ray command that renders a kept scene by hand, straight to OUT: no partial name.
void ShowKeptSceneCommand(const RenderOptions& o, const PovrayCall& call) {
    PovrayCall byHand = call;
    byHand.output = o.out;
    ProgressNote("scene kept: %s; render it by hand with:", call.scene.c_str());
    ProgressForward("  " + ShellCommand(PovrayArguments(o, byHand)));
    // The scene's own include directories are known only now; this run reaches them through its
    // links, the command above cannot.
    for (const std::string& dir : call.libraryDirs) {
        std::string problem = PovrayNameProblem(dir);
        if (!problem.empty())
            ProgressNote("POV-Ray cannot take %s (%s): the command above fails on it",
                         ShownName(dir).c_str(), problem.c_str());
    }
}

// One picture: convert, then one POV-Ray run into the partial name, then the rename.
int RunStill(const Tools& tools, const RenderOptions& o, WorkPlace* place) {
    std::string sceneDir = o.keepSceneDir.empty() ? place->dir : o.keepSceneDir;
    RenderJob job;
    job.call.scene = ScenePath(o, sceneDir, 0);
    double start = NowSeconds();
    ProgressNote("converting %s", ShownName(o.model).c_str());
    if (!RunConversion(tools, ConversionArguments(o, job.call.scene, {}), place->dir, false).ok)
        return 1;
    double converted = NowSeconds();
    // The look's directory first, then those the scene's own includes need.
    job.call.libraryDirs = LookLibraryDirs(tools, o);
    for (const std::string& dir : SceneLibraryDirs(job.call.scene))
        job.call.libraryDirs.push_back(dir);
    job.call.output = PartialPath(o.out, ".png");
    job.finalPath = o.out;
    if (!o.keepSceneDir.empty()) {
        if (!CopySceneImages(o, job.call.scene, o.keepSceneDir)) return 1;
        ShowKeptSceneCommand(o, job.call);
    }
    std::vector<RenderJob> jobs = {job};
    if (RunRenderJobs(tools, o, &jobs, 1, place) != 1) return 1;
    ProgressNote("wrote %s (convert %.1f s, render %.1f s)", o.out.c_str(), converted - start,
                 NowSeconds() - converted);
    // Standard output carries only the picture's path, for scripts; all else goes to stderr.
    printf("%s\n", o.out.c_str());
    return 0;
}

int RunModel(RenderOptions o) {
    // A directory as OUT receives the picture under the model's name.
    if (!o.out.empty() && (o.out.back() == '/' || IsDirectory(o.out)))
        o.out = JoinPath(o.out, DefaultOutputPath(o.model));
    Tools tools = LocateTools();
    if (!CheckTools(tools, o) || !CheckNames(o)) return 1;
    // Everything known to be written is checked before anything is: a refusal leaves no trace.
    if (o.planFile.empty() && !CheckOverwrite(o, KnownTargets(tools, o))) return 1;
    // Private to this run: tqr's messages, scenes nobody keeps, probe conversions.
    std::string workDir = MakeTemporaryDirectory();
    if (workDir.empty()) {
        ProgressNote("cannot create a temporary directory");
        return 1;
    }
    if (!o.planFile.empty()) return WritePlan(tools, o, workDir);
    WorkPlace place;
    if (!MakeWorkPlace(workDir, &place) || !PrepareKeptScene(tools, o)) return 1;
    if (o.steps || o.turntable > 0) return RunAnimation(tools, o, &place);
    return RunStill(tools, o, &place);
}

}  // namespace

std::vector<std::string> LookLibraryDirs(const Tools& tools, const RenderOptions& options) {
    if (options.look == Look::kPlain) return {};
    return {options.keepSceneDir.empty() ? tools.povDir : options.keepSceneDir};
}

// A full disk or a closed stream shows only when the buffer is flushed.
bool StandardOutputWritten() {
    if (fflush(stdout) == 0 && !ferror(stdout)) return true;
    ProgressNote("cannot write to standard output: the names of what was written are lost");
    return false;
}

int TqRenderMain(int argc, char** argv) {
    GuardStandardStreams();
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
    if (status == 0 && !StandardOutputWritten()) status = 1;
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
