// Animations: building steps (one scene whose parts appear with POV-Ray's clock) and turntables
// (one scene per frame, each from another longitude at one fixed camera distance), rendered as
// numbered frames and joined into an animated GIF when ffmpeg is there.
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "TqRender/TqRender.h"

namespace tqrender {

namespace {

constexpr double kDegToRad = 3.14159265358979323846 / 180;
// tqr's default viewing angle (horizontal, degrees) and camera position.
constexpr double kDefaultViewingAngle = 67.380135;
constexpr double kDefaultLatitude = 30;
constexpr double kDefaultLongitude = 45;
// The box corners stay within this share of the half-width and half-height: the model itself
// lies inside its box, so its pixels keep well clear of the 3% border.
constexpr double kTurntableFill = 0.88;

// This program never links the converter, so the little vector arithmetic it needs is its own.
struct Vec {
    double x, y, z;
};
Vec Cross(Vec a, Vec b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
double Dot(Vec a, Vec b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
Vec Unit(Vec a) {
    double n = std::sqrt(Dot(a, a));
    return n > 0 ? Vec{a.x / n, a.y / n, a.z / n} : a;
}

// The viewing direction tqr derives from a latitude and longitude (the camera looks along it).
Vec GlobeDirection(double latitude, double longitude) {
    double phi = latitude * kDegToRad, lambda = longitude * kDegToRad;
    return {-std::sin(lambda) * std::cos(phi), std::sin(phi), std::cos(lambda) * std::cos(phi)};
}

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
    if (!RunConversion(tools, ConversionArguments(o, scene, {"-sc"}), workDir, false).ok ||
        !StepFrames(scene, &frames) || !CheckFrameOverwrite(tools, o, frames))
        return false;
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

// One distance for every frame, the largest any of them needs, so that the model keeps its size
// as it turns. The camera looks at the box's centre, so the corners are taken relative to it.
double TurntableRadius(const double box[6], double latitude, double longitude0, int frames,
                       double viewingAngle, double aspect, double fill) {
    // tqr turns an exact pole into 89.999 degrees for the same reason: the sky must not be
    // parallel to the viewing direction.
    latitude = std::clamp(latitude, -89.999, 89.999);
    double tanH = std::tan(viewingAngle * kDegToRad / 2) * fill, tanV = tanH / aspect;
    double half[3] = {(box[3] - box[0]) / 2, (box[4] - box[1]) / 2, (box[5] - box[2]) / 2};
    double radius = 0;
    for (int k = 0; k < frames; k++) {
        Vec f = GlobeDirection(latitude, longitude0 + 360.0 * k / frames);
        // The picture's axes as tqr builds them from its default sky, -y (up in LDraw).
        Vec side = Unit(Cross(f, Vec{0, -1, 0})), up = Unit(Cross(side, f));
        for (int corner = 0; corner < 8; corner++) {
            Vec c = {corner & 1 ? half[0] : -half[0], corner & 2 ? half[1] : -half[1],
                     corner & 4 ? half[2] : -half[2]};
            // The camera stands at centre - radius * f, so this corner lies at depth
            // radius + c.f; it must see the corner within the viewing angle both ways.
            double along = Dot(c, f);
            radius = std::max(radius, std::fabs(Dot(c, side)) / tanH - along);
            radius = std::max(radius, std::fabs(Dot(c, up)) / tanV - along);
        }
    }
    return radius;
}

void CameraFromOptions(const std::vector<std::string>& tqrOptions, double* latitude,
                       double* longitude, double* viewingAngle) {
    *latitude = kDefaultLatitude;
    *longitude = kDefaultLongitude;
    *viewingAngle = kDefaultViewingAngle;
    for (const std::string& o : tqrOptions) {
        double la, lo, a;
        // The last setting wins, as in tqr. A digit must follow "-ca", which keeps -car (the
        // aspect ratio) out; an angle tqr would refuse leaves the default.
        if (sscanf(o.c_str(), "-cg%lf,%lf", &la, &lo) == 2) {
            *latitude = la;
            *longitude = lo;
        } else if (o.rfind("-ca", 0) == 0 && o.size() > 3 && isdigit((unsigned char)o[3]) &&
                   sscanf(o.c_str(), "-ca%lf", &a) == 1 && a > 0 && a < 180) {
            *viewingAngle = a;
        }
    }
}

bool PrepareTurntable(const Tools& tools, const RenderOptions& options, const std::string& workDir,
                      std::vector<std::vector<std::string>>* frameOptions) {
    // A probe conversion: only the bounding box it writes is used, and the scene goes at once.
    std::string probe = JoinPath(workDir, "probe.pov");
    ProgressNote("converting %s", ShownName(options.model).c_str());
    if (!RunConversion(tools, ConversionArguments(options, probe, {}), workDir, false).ok)
        return false;
    double box[6];
    bool found = SceneBoundingBox(probe, box);
    unlink(probe.c_str());
    if (!found) {
        ProgressNote("the scene of %s has no model bounding box", ShownName(options.model).c_str());
        return false;
    }
    double latitude, longitude, angle;
    CameraFromOptions(options.tqrOptions, &latitude, &longitude, &angle);
    double radius = TurntableRadius(box, latitude, longitude, options.turntable, angle,
                                    (double)options.width / options.height, kTurntableFill);
    for (int k = 0; k < options.turntable; k++) {
        double lon = longitude + 360.0 * k / options.turntable;
        // A radius of 0 would ask tqr for its automatic fit, frame by frame: at least 1.
        frameOptions->push_back({"-cg" + FormatNumber(latitude) + "," + FormatNumber(lon) + "," +
                                 FormatNumber(std::max(radius, 1.0))});
    }
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
