// Animations: building steps (one scene whose parts appear with POV-Ray's clock) and turntables
// (one scene per frame, each from another longitude at one fixed camera distance), rendered as
// numbered frames and joined into an animated GIF when ffmpeg is there.
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "TqRender/TqRender.h"

namespace tqrender {

namespace {

// tqr's default camera position.
constexpr double kDefaultLatitude = 30;
constexpr double kDefaultLongitude = 45;

// Seven significant digits, about what tqr's single-precision numbers hold.
std::string FormatNumber(double v) {
    char text[32];
    snprintf(text, sizeof(text), "%.7g", v);
    return text;
}

// Every frame of --steps and the GIF are checked before the first render, once the conversion has
// told how many there are, so that a refusal costs no render.
bool CheckFrameOverwrite(const Tools& tools, const RenderOptions& o, int frames) {
    std::vector<std::string> paths;
    for (int i = 1; i <= frames; i++) paths.push_back(FramePath(o.out, i));
    if (!tools.ffmpeg.empty()) paths.push_back(AnimationPath(o.out));
    return CheckOverwrite(o, paths);
}

// Step frames share one scene; frame i shows the steps up to i (content after the k-th STEP
// appears when clock > k), so the last frame shows the whole model.
bool PrepareStepJobs(const Tools& tools, const RenderOptions& o, const std::string& workDir,
                     const std::string& sceneDir, std::vector<RenderJob>* jobs) {
    std::string scene = ScenePath(o, sceneDir, 0);
    ProgressNote("converting %s", ShownName(o.model).c_str());
    int frames = 0;
    std::vector<std::string> stepOptions = {"-sc"};
    if (o.fade) stepOptions.push_back("-sf");
    if (!RunConversion(tools, ConversionArguments(o, scene, stepOptions), workDir, false).ok ||
        !StepFrames(scene, &frames) || !CheckFrameOverwrite(tools, o, frames))
        return false;
    if (!o.keepSceneDir.empty() && !CopySceneImages(o, scene, o.keepSceneDir)) return false;
    std::vector<std::string> dirs = SceneLibraryDirs(scene);
    for (int i = 1; i <= frames; i++) {
        RenderJob job;
        job.label = "frame " + std::to_string(i) + "/" + std::to_string(frames);
        job.call.scene = scene;
        job.call.clockGiven = true;
        // Halfway between two step numbers, clear of the comparison's edge.
        job.call.clock = i - 0.5;
        job.call.libraryDirs = dirs;
        jobs->push_back(job);
    }
    return true;
}

// Turntable frames differ in their camera, which is part of the scene: each frame converts its
// own scene just before its render.
bool PrepareTurntableJobs(const Tools& tools, const RenderOptions& o, const std::string& workDir,
                          const std::string& sceneDir, std::vector<RenderJob>* jobs) {
    std::vector<std::vector<std::string>> frameOptions;
    if (!PrepareTurntable(tools, o, workDir, &frameOptions)) return false;
    int frames = (int)frameOptions.size();
    for (int i = 1; i <= frames; i++) {
        RenderJob job;
        job.label = "frame " + std::to_string(i) + "/" + std::to_string(frames);
        job.call.scene = ScenePath(o, sceneDir, i);
        job.convertArgs = ConversionArguments(o, job.call.scene, frameOptions[i - 1]);
        // Frame scenes of a big model add up; only kept ones stay after their render.
        job.removeScene = o.keepSceneDir.empty();
        jobs->push_back(job);
    }
    return true;
}

// Joins the frames, or says how to when ffmpeg is not installed; false when joining failed.
bool AssembleAnimation(const Tools& tools, const RenderOptions& o, int frames) {
    std::string gif = AnimationPath(o.out);
    if (tools.ffmpeg.empty()) {
        ProgressNote("ffmpeg is not installed (apt-get install ffmpeg); to join the frames run:");
        ProgressForward("  " + ShellCommand(AnimationCommand("ffmpeg", o, frames)));
        return true;
    }
    // The GIF, too, is written under a partial name and renamed when complete; the output is
    // ffmpeg's last argument.
    std::string partial = PartialPath(gif, ".gif");
    RegisterTemporary(partial);
    std::vector<std::string> args = AnimationCommand(tools.ffmpeg, o, frames);
    args.back() = ArgumentPath(partial);
    pid_t pid = StartChild(tools.ffmpeg, args, -1, -1);
    int status = pid < 0 ? -1 : WaitChild(pid);
    if (status != 0 || !PathExists(partial)) {
        if (!InterruptSignal())
            ProgressNote("ffmpeg could not join the frames into %s", gif.c_str());
        return false;
    }
    if (!PublishPicture(partial, gif, o.force)) return false;
    printf("%s\n", gif.c_str());
    return true;
}

}  // namespace

void CameraFromOptions(const std::vector<std::string>& tqrOptions, double* latitude,
                       double* longitude) {
    *latitude = kDefaultLatitude;
    *longitude = kDefaultLongitude;
    for (const std::string& o : tqrOptions) {
        double la, lo;
        // The last setting wins, as in tqr.
        if (sscanf(o.c_str(), "-cg%lf,%lf", &la, &lo) == 2) {
            *latitude = la;
            *longitude = lo;
        }
    }
}

// One distance for every frame, the largest any of them needs, so that the model keeps its size
// as it turns. tqr's fit of the placed parts finds each frame's distance: a probe conversion of
// every frame's view, of which only the recorded distance is kept. The frames then keep that
// distance and tqr centres each of them on the model.
bool PrepareTurntable(const Tools& tools, const RenderOptions& options, const std::string& workDir,
                      std::vector<std::vector<std::string>>* frameOptions) {
    std::string probe = JoinPath(workDir, "probe.pov");
    ProgressNote("converting %s", ShownName(options.model).c_str());
    double latitude, longitude, radius = 0;
    CameraFromOptions(options.tqrOptions, &latitude, &longitude);
    std::vector<std::string> globes;
    for (int k = 0; k < options.turntable; k++) {
        double lon = longitude + 360.0 * k / options.turntable;
        globes.push_back("-cg" + FormatNumber(latitude) + "," + FormatNumber(lon));
        // The first probe says what tqr has to say about the model; the others repeat it.
        if (!RunConversion(tools, ConversionArguments(options, probe, {globes.back()}), workDir,
                           k > 0)
                 .ok)
            return false;
        double distance;
        bool found = SceneCameraDistance(probe, &distance);
        unlink(probe.c_str());
        if (!found) {
            ProgressNote("the scene of %s has no camera distance",
                         ShownName(options.model).c_str());
            return false;
        }
        // tqr writes six digits: a hair further keeps the widest frame inside its margin.
        radius = std::max(radius, distance * 1.00001);
        if (InterruptSignal()) return false;
    }
    for (const std::string& globe : globes)
        frameOptions->push_back({globe + "," + FormatNumber(radius)});
    return true;
}

int AnimationRate(const RenderOptions& options) {
    return options.steps ? 1 : 12;
}

std::vector<std::string> AnimationCommand(const std::string& ffmpeg, const RenderOptions& options,
                                          int frames) {
    // -nostdin: ffmpeg would otherwise read commands from a terminal the user types into.
    std::vector<std::string> args = {ffmpeg, "-nostdin", "-v", "error", "-y"};
    // ffmpeg takes a name that starts with '-' for an option.
    args.insert(args.end(), {"-framerate", std::to_string(AnimationRate(options)), "-i",
                             ArgumentPath(FramePattern(options.out))});
    // -frames:v ignores frames left over from a longer run; one palette serves every frame.
    args.insert(args.end(), {"-frames:v", std::to_string(frames), "-filter_complex",
                             "split[a][b];[a]palettegen[p];[b][p]paletteuse"});
    args.insert(args.end(), {"-f", "gif", ArgumentPath(AnimationPath(options.out))});
    return args;
}

bool StepFrames(const std::string& scene, int* frames) {
    int steps = SceneStepCount(scene);
    if (steps < 0) {
        ProgressNote("cannot read the scene %s", scene.c_str());
        return false;
    }
    // The count comes from the model (its own POV-Ray code may add clock conditions), so it is
    // bounded like the frames of a turntable.
    if (steps > kMaxFrames) {
        ProgressNote("the model has %d building steps; an animation has at most %d frames", steps,
                     kMaxFrames);
        return false;
    }
    if (steps == 0) ProgressNote("the model has no building steps: one frame");
    *frames = std::max(1, steps);
    return true;
}

int RunAnimation(const Tools& tools, const RenderOptions& options, WorkPlace* place) {
    const std::string& workDir = place->dir;
    std::string sceneDir = options.keepSceneDir.empty() ? workDir : options.keepSceneDir;
    std::vector<RenderJob> jobs;
    bool prepared = options.steps ? PrepareStepJobs(tools, options, workDir, sceneDir, &jobs)
                                  : PrepareTurntableJobs(tools, options, workDir, sceneDir, &jobs);
    if (!prepared || InterruptSignal()) return 1;
    std::vector<std::string> look = LookLibraryDirs(tools, options);
    // The look's directory goes first, as for a still.
    for (RenderJob& job : jobs) {
        job.call.libraryDirs.insert(job.call.libraryDirs.begin(), look.begin(), look.end());
        job.finalPath = FramePath(options.out, (int)(&job - jobs.data()) + 1);
        job.call.output = PartialPath(job.finalPath, ".png");
        job.call.threads = ThreadsPerJob(options.jobs);
    }
    int frames = (int)jobs.size();
    double start = NowSeconds();
    int written = RunRenderJobs(tools, options, &jobs, options.jobs, place);
    if (written != frames || InterruptSignal()) {
        if (!InterruptSignal()) ProgressNote("%d of %d frames written", written, frames);
        return 1;
    }
    ProgressNote("%d frames written (%.1f s)", frames, NowSeconds() - start);
    for (int i = 1; i <= frames; i++) printf("%s\n", FramePath(options.out, i).c_str());
    fflush(stdout);
    return AssembleAnimation(tools, options, frames) ? 0 : 1;
}

}  // namespace tqrender
