// Plans: the scenes and include files beside the plan file, one independent POV-Ray command per
// line (a band of rows of a still, or a frame), and the one command that assembles the result.
// Every path is written as the user gave it, so the plan runs from the current directory on any
// machine that has its files.
#include <cstdio>

#include "TqRender/TqRender.h"

namespace tqrender {

namespace {

// More bands than machines keeps every machine busy while the slow bands (the model's middle)
// finish.
constexpr int kDefaultBands = 8;

// Bands lie beside the plan, named after OUT with their place and the number of bands, so that
// --assemble can put them in order and name one that is missing.
std::string BandPath(const RenderOptions& o, int index, int count) {
    return JoinPath(DirName(o.planFile), BandFileName(StemOf(o.out), index, count));
}

bool ConvertInto(const Tools& tools, const RenderOptions& o, const std::string& workDir,
                 const std::string& scene, const std::vector<std::string>& extra, bool quiet,
                 int* steps) {
    Conversion c = RunConversion(tools, ConversionArguments(o, scene, extra), workDir, quiet);
    if (steps) *steps = c.steps;
    return c.ok;
}

// The commands of a still: bands of rows, written as Targa files beside the plan.
bool StillCommands(const Tools& tools, const RenderOptions& o, const std::string& workDir,
                   PovrayCall base, std::vector<std::string>* commands,
                   std::vector<std::string>* bands) {
    if (!ConvertInto(tools, o, workDir, base.scene, {}, false, nullptr)) return false;
    for (const std::string& dir : SceneLibraryDirs(base.scene)) base.libraryDirs.push_back(dir);
    // --jobs N asks for N bands; never more bands than rows.
    int count = std::min(o.jobsGiven ? o.jobs : kDefaultBands, o.height);
    for (int i = 0; i < count; i++) {
        PovrayCall call = base;
        call.targa = true;
        call.output = BandPath(o, i, count);
        BandRows(o.height, count, i, &call.firstRow, &call.lastRow);
        commands->push_back(ShellCommand(PovrayArguments(o, call)));
        bands->push_back(call.output);
    }
    return true;
}

// The commands of an animation: one per frame, straight to the frame's final name (nothing of
// this program runs beside them to rename a partial file). Building steps share one scene and
// differ in the clock; turntable frames get a scene each, beside the plan.
bool FrameCommands(const Tools& tools, const RenderOptions& o, const std::string& workDir,
                   const PovrayCall& base, std::vector<std::string>* commands) {
    std::vector<std::vector<std::string>> turntable;
    int steps = 0;
    if (o.turntable > 0 && !PrepareTurntable(tools, o, workDir, &turntable)) return false;
    if (o.steps && !ConvertInto(tools, o, workDir, base.scene, {"-sc"}, false, &steps))
        return false;
    int frames = o.steps ? std::max(1, steps) : o.turntable;
    std::vector<std::string> outputs;
    for (int i = 1; i <= frames; i++) outputs.push_back(FramePath(o.out, i));
    if (!CheckOverwrite(o, outputs)) return false;
    for (int i = 1; i <= frames; i++) {
        PovrayCall call = base;
        call.output = outputs[i - 1];
        if (o.steps) {
            call.clockGiven = true;
            call.clock = i - 0.5;
        } else {
            call.scene = JoinPath(DirName(o.planFile), StemOf(call.output) + ".pov");
            if (!ConvertInto(tools, o, workDir, call.scene, turntable[i - 1], true, nullptr))
                return false;
        }
        for (const std::string& dir : SceneLibraryDirs(call.scene)) call.libraryDirs.push_back(dir);
        commands->push_back(ShellCommand(PovrayArguments(o, call)));
    }
    return true;
}

// The look's include files go beside the plan, so that its directory holds what the commands
// include; LGEO and TQRPARTS files are found at the paths the scenes record.
bool PreparePlanDir(const Tools& tools, const RenderOptions& o, std::string* dir) {
    *dir = DirName(o.planFile);
    if (!dir->empty() && !MakeDirectories(*dir)) {
        ProgressNote("cannot create the directory %s", dir->c_str());
        return false;
    }
    if (o.look == Look::kStudio && !CopyDirectoryFiles(tools.povDir, dir->empty() ? "." : *dir)) {
        ProgressNote("cannot copy the studio look beside %s", o.planFile.c_str());
        return false;
    }
    return true;
}

// Frames are joined by ffmpeg, as after a render; the bands of a still by this program's
// --assemble, which gets --force only when the user gave it here.
std::string AssembleCommand(const Tools& tools, const RenderOptions& o,
                            const std::vector<std::string>& bands, int frames) {
    if (bands.empty()) return ShellCommand(AnimationCommand("ffmpeg", o, frames));
    std::vector<std::string> args = {tools.self, "--assemble"};
    if (o.force) args.push_back("--force");
    args.push_back(o.out);
    args.insert(args.end(), bands.begin(), bands.end());
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
    bool animation = o.steps || o.turntable > 0;
    if (!animation && !CheckOverwrite(o, {o.out})) return 1;
    std::string dir;
    if (!PreparePlanDir(tools, o, &dir)) return 1;
    PovrayCall base;
    base.scene = JoinPath(dir, StemOf(o.out) + ".pov");
    // The commands run unattended and side by side: progress output would only garble logs.
    base.quiet = true;
    if (o.look == Look::kStudio) base.libraryDirs.push_back(dir.empty() ? "." : dir);
    // A turntable says so itself, before its probe conversion.
    if (o.turntable == 0) ProgressNote("converting %s", o.model.c_str());
    std::vector<std::string> commands, bands;
    bool ok = animation ? FrameCommands(tools, o, workDir, base, &commands)
                        : StillCommands(tools, o, workDir, base, &commands, &bands);
    if (!ok || InterruptSignal()) return 1;
    std::string text;
    for (const std::string& command : commands) text += command + "\n";
    if (!WriteWholeFile(o.planFile, text)) {
        ProgressNote("cannot write %s", o.planFile.c_str());
        return 1;
    }
    ProgressNote("%zu commands in %s; run them with: parallel < %s", commands.size(),
                 o.planFile.c_str(), ShellQuote(o.planFile).c_str());
    ProgressNote("then assemble the result with the command printed on standard output");
    // Standard output holds only that command, so it can be redirected into a script.
    printf("%s\n", AssembleCommand(tools, o, bands, (int)commands.size()).c_str());
    fflush(stdout);
    return 0;
}

}  // namespace tqrender
