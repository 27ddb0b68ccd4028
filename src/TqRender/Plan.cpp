// Plans: the scenes and include files beside the plan file, one independent POV-Ray command per
// line (a band of rows of a still, or a frame), and the one command that assembles the result.
// Every path is written as the user gave it, so the plan runs from the current directory on any
// machine that has its files; a plan that does not complete leaves nothing behind.
#include <algorithm>
#include <cstdio>

#include "TqRender/TqRender.h"

namespace tqrender {

namespace {

// More bands than machines keeps every machine busy while the slow bands (the model's middle)
// finish.
constexpr int kDefaultBands = 8;

// A plan being made: where it goes, the token its bands carry, and every file and directory it
// has made so far, which go again unless the plan is complete.
struct PlanWork {
    const Tools& tools;
    const RenderOptions& o;
    const std::string& workDir;
    std::string dir;    // directory of the plan file, "" for the current one
    std::string token;  // tells this plan's bands from those of any other
    std::vector<std::string> made;
};

void Made(PlanWork* p, const std::string& path) {
    RegisterTemporary(path);
    p->made.push_back(path);
}

int BandCount(const RenderOptions& o) {
    // --jobs N asks for N bands; never more bands than rows.
    return std::min(o.jobsGiven ? o.jobs : kDefaultBands, o.height);
}

// Bands lie beside the plan, named after OUT with their place, the number of bands and the
// plan's token, so that --assemble can put them in order, name one that is missing and tell one
// of another plan.
std::string BandPath(const PlanWork& p, int index, int count) {
    return JoinPath(p.dir, BandFileName(StemOf(p.o.out), index, count, p.token));
}

// What the plan will write, checked before anything is: its names as POV-Ray gets them, then the
// files it would replace. (The frames of --steps are known only after the conversion.)
bool CheckPlan(const PlanWork& p) {
    const RenderOptions& o = p.o;
    bool animation = o.steps || o.turntable > 0;
    // A scene per turntable frame, else one.
    std::vector<std::string> scenes;
    for (int i = o.turntable > 0 ? 1 : 0; i <= o.turntable; i++)
        scenes.push_back(ScenePath(o, p.dir, i));
    std::vector<std::string> outputs;
    if (!animation) outputs.push_back(BandPath(p, 0, BandCount(o)));
    for (int i = 1; i <= o.turntable; i++) outputs.push_back(FramePath(o.out, i));
    if (o.steps) outputs.push_back(FramePath(o.out, 1));
    std::vector<std::string> names = {p.dir.empty() ? "." : p.dir, scenes.back()};
    names.insert(names.end(), outputs.begin(), outputs.end());
    if (!CheckPovrayNames(names, "a name that goes into the plan's commands")) return false;
    std::vector<std::string> targets = {o.planFile};
    targets.insert(targets.end(), scenes.begin(), scenes.end());
    if (!animation) targets.push_back(o.out);
    if (o.turntable > 0) targets.insert(targets.end(), outputs.begin(), outputs.end());
    return CheckOverwrite(o, targets);
}

// Converts into one of the plan's scenes, which goes again if the plan does not complete.
bool ConvertInto(PlanWork* p, const std::string& scene, const std::vector<std::string>& extra,
                 bool quiet) {
    Made(p, scene);
    return RunConversion(p->tools, ConversionArguments(p->o, scene, extra), p->workDir, quiet).ok;
}

// The library directories a scene needs, which its commands name as they are. The images of its
// printed parts are copied beside the plan, which the commands search, so that the plan's folder
// renders on any machine.
bool AddSceneLibraryDirs(PlanWork* p, PovrayCall* call) {
    std::vector<std::string> dirs = SceneLibraryDirs(call->scene);
    if (!CheckPovrayNames(dirs, "a directory the scene needs; the plan cannot name it"))
        return false;
    call->libraryDirs.insert(call->libraryDirs.end(), dirs.begin(), dirs.end());
    std::vector<std::string> sources, names, copies;
    for (const SceneImage& image : SceneImages(call->scene)) {
        sources.push_back(image.path);
        names.push_back(image.name);
    }
    if (sources.empty()) return true;
    std::string here = p->dir.empty() ? "." : p->dir;
    bool copied = CopyFilesInto(p->o, sources, names, here, "the images of printed parts", &copies);
    for (const std::string& copy : copies) Made(p, copy);
    auto& lib = call->libraryDirs;
    if (std::find(lib.begin(), lib.end(), here) == lib.end()) lib.push_back(here);
    return copied;
}

// The commands of a still: bands of rows, written as Targa files beside the plan.
bool StillCommands(PlanWork* p, PovrayCall base, std::vector<std::string>* commands,
                   std::vector<std::string>* bands) {
    if (!ConvertInto(p, base.scene, {}, false) || !AddSceneLibraryDirs(p, &base)) return false;
    int count = BandCount(p->o);
    for (int i = 0; i < count; i++) {
        PovrayCall call = base;
        call.targa = true;
        call.output = BandPath(*p, i, count);
        BandRows(p->o.height, count, i, &call.firstRow, &call.lastRow);
        commands->push_back(ShellCommand(PovrayArguments(p->o, call)));
        bands->push_back(call.output);
    }
    return true;
}

// The commands of an animation: one per frame, straight to the frame's final name (nothing of
// this program runs beside them to rename a partial file). Building steps share one scene and
// differ in the clock; turntable frames get a scene each, beside the plan.
bool FrameCommands(PlanWork* p, const PovrayCall& base, std::vector<std::string>* commands) {
    const RenderOptions& o = p->o;
    std::vector<std::vector<std::string>> turntable;
    int frames = o.turntable;
    if (o.turntable > 0 && !PrepareTurntable(p->tools, o, p->workDir, &turntable)) return false;
    if (o.steps &&
        (!ConvertInto(p, base.scene, {"-sc"}, false) || !StepFrames(base.scene, &frames)))
        return false;
    std::vector<std::string> outputs;
    for (int i = 1; i <= frames; i++) outputs.push_back(FramePath(o.out, i));
    if (o.steps && !CheckOverwrite(o, outputs)) return false;
    for (int i = 1; i <= frames; i++) {
        PovrayCall call = base;
        call.output = outputs[i - 1];
        if (o.steps) {
            call.clockGiven = true;
            call.clock = i - 0.5;
        } else {
            call.scene = ScenePath(o, p->dir, i);
            if (!ConvertInto(p, call.scene, turntable[i - 1], true)) return false;
        }
        if (!AddSceneLibraryDirs(p, &call)) return false;
        commands->push_back(ShellCommand(PovrayArguments(o, call)));
    }
    return true;
}

// The outermost directory of path that does not exist yet, "" when it does.
std::string FirstMissingDirectory(const std::string& path) {
    std::string missing;
    for (std::string p = path; !p.empty() && p != "/" && p != "." && !PathExists(p); p = DirName(p))
        missing = p;
    return missing;
}

// The look's include files go beside the plan, so that its directory holds what the commands
// include; LGEO and TQRPARTS files are found at the paths the scenes record.
bool PreparePlanDir(PlanWork* p) {
    std::string created = FirstMissingDirectory(p->dir);
    if (!p->dir.empty() && !MakeDirectories(p->dir)) {
        ProgressNote("cannot create the directory %s", p->dir.c_str());
        return false;
    }
    if (!created.empty()) Made(p, created);
    std::vector<std::string> copies;
    bool copied = p->o.look == Look::kPlain ||
                  CopyLook(p->o, p->tools.povDir, p->dir.empty() ? "." : p->dir, &copies);
    for (const std::string& copy : copies) Made(p, copy);
    return copied;
}

// Frames are joined by ffmpeg, as after a render; the bands of a still by this program's
// --assemble, which gets the picture's size, and --force only when the user gave it here.
std::string AssembleCommand(const PlanWork& p, const std::vector<std::string>& bands, int frames) {
    if (bands.empty()) return ShellCommand(AnimationCommand("ffmpeg", p.o, frames));
    std::vector<std::string> args = {p.tools.self, "--assemble", "--size",
                                     std::to_string(p.o.width) + "x" + std::to_string(p.o.height)};
    if (p.o.force) args.push_back("--force");
    args.push_back(ArgumentPath(p.o.out));
    for (const std::string& band : bands) args.push_back(ArgumentPath(band));
    return ShellCommand(args);
}

}  // namespace

// Nearly equal shares: each band starts on the row after the previous one's last, so together
// they cover every row once.
void BandRows(int height, int count, int index, int* firstRow, int* lastRow) {
    *firstRow = (int)((long)index * height / count) + 1;
    *lastRow = (int)((long)(index + 1) * height / count);
}

int WritePlan(const Tools& tools, const RenderOptions& o, const std::string& workDir) {
    PlanWork p{tools, o, workDir, DirName(o.planFile), PlanToken(), {}};
    if (!CheckPlan(p) || !PreparePlanDir(&p)) return 1;
    PovrayCall base;
    base.scene = ScenePath(o, p.dir, 0);
    // The commands run unattended and side by side: progress output would only garble logs.
    base.quiet = true;
    if (o.look != Look::kPlain) base.libraryDirs.push_back(p.dir.empty() ? "." : p.dir);
    // A turntable says so itself, before its probe conversion.
    if (o.turntable == 0) ProgressNote("converting %s", ShownName(o.model).c_str());
    std::vector<std::string> commands, bands;
    bool ok = o.steps || o.turntable > 0 ? FrameCommands(&p, base, &commands)
                                         : StillCommands(&p, base, &commands, &bands);
    if (!ok || InterruptSignal()) return 1;
    std::string text;
    for (const std::string& command : commands) text += command + "\n";
    Made(&p, o.planFile);
    if (!WriteWholeFile(o.planFile, text)) {
        ProgressNote("cannot write %s", o.planFile.c_str());
        return 1;
    }
    // Standard output holds only that command, so it can be redirected into a script; without
    // it the plan is of no use and goes too.
    printf("%s\n", AssembleCommand(p, bands, (int)commands.size()).c_str());
    if (!StandardOutputWritten() || InterruptSignal()) return 1;
    for (const std::string& path : p.made) ForgetTemporary(path);
    ProgressNote("%zu commands in %s; run them with: parallel < %s", commands.size(),
                 o.planFile.c_str(), ShellQuote(o.planFile).c_str());
    ProgressNote("then assemble the result with the command printed on standard output");
    return 0;
}

}  // namespace tqrender
