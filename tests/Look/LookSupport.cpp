// Helpers of the tests of the studio look: converting with the look's options, rendering with
// POV-Ray side by side, and telling the model's pixels from the backdrop's.
#include "Look/LookSupport.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "TqRender/TqRender.h"

namespace fs = std::filesystem;

std::string PovDir() {
    return SourceDir() + "/pov";
}

std::string SampleLibrary() {
    return SourceDir() + "/samples/ldraw";
}

// The tqr options of the look, as the front end passes them.
std::vector<std::string> StudioOptions() {
    return {"-mesh", "-ib" + PovDir() + "/tqr-studio.inc",
            "-il" + PovDir() + "/tqr-studio-lights.inc"};
}

// The lines in which POV-Ray complains about a scene.
std::string Complaints(const std::string& log) {
    std::string found;
    std::istringstream lines(log);
    for (std::string line; std::getline(lines, line);) {
        if (line.find("Warning:") != std::string::npos ||
            line.find("Parse Error") != std::string::npos)
            found += line + "\n";
    }
    return found;
}

std::vector<std::string> InstructionsOptions(int width) {
    return {"-mesh", "-ib" + PovDir() + "/tqr-instructions.inc",
            "-il" + PovDir() + "/tqr-instructions-lights.inc",
            "-edges" + tqrender::EdgePixelsFor(width)};
}

// Renders with the POV-Ray options of the front end (+L<pov> +MV3.7), all jobs at once: a
// small render spends most of its time in POV-Ray's own start and stop pauses, not on the CPU.
std::vector<Render> RenderAll(const std::vector<RenderJob>& jobs) {
    std::string script;
    for (const auto& job : jobs) {
        std::string base = fs::path(job.scene).parent_path().string() + "/" + job.name;
        // A second try when a busy machine kept POV-Ray from starting its worker threads.
        script += "(for try in 1 2; do povray -D +FN +A0.3 +W" + std::to_string(job.width) + " +H" +
                  std::to_string(job.height) + " '+L" + PovDir() + "' +MV3.7 " + job.options +
                  " '+I" + job.scene + "' '+O" + base + ".png'";
        for (const auto& library : job.libraries) script += " '+L" + library + "'";
        script += " >'" + base + ".log' 2>&1; echo $? >'" + base + ".status'; grep -q " +
                  "'Timed out waiting for worker' '" + base + ".log' || break; done) &\n";
    }
    script += "wait\n";
    EXPECT_EQ(system(script.c_str()), 0);
    std::vector<Render> renders(jobs.size());
    for (size_t i = 0; i < jobs.size(); i++) {
        std::string base = fs::path(jobs[i].scene).parent_path().string() + "/" + jobs[i].name;
        Render& r = renders[i];
        r.log = ReadFile(base + ".log");
        std::string error;
        r.ok = atoi(ReadFile(base + ".status").c_str()) == 0 &&
               ReadImage(base + ".png", &r.image, &error);
        if (!r.ok) r.log += "\n" + jobs[i].scene + ": no picture " + error;
    }
    return renders;
}

// Converts an LDraw text with the studio options (and any others) into <name>.pov in dir.
std::string ConvertStudio(const TempDir& dir, const std::string& name, const std::string& ldraw,
                          const std::vector<std::string>& options, const std::string& library) {
    return ConvertLook(dir, name, ldraw, StudioOptions(), options, library);
}

std::string ConvertLook(const TempDir& dir, const std::string& name, const std::string& ldraw,
                        const std::vector<std::string>& look,
                        const std::vector<std::string>& options, const std::string& library) {
    dir.Write(name + ".ldr", ldraw);
    std::vector<std::string> args = {"-ldd" + library, "-o"};
    args.insert(args.end(), look.begin(), look.end());
    args.insert(args.end(), options.begin(), options.end());
    args.push_back(name + ".ldr");
    args.push_back(name + ".pov");
    RunResult r = RunTqr(args, dir.Path(), CleanLibraryEnv(dir.Path()));
    EXPECT_EQ(r.status, 0) << name << "\n" << r.out << r.err;
    return dir / (name + ".pov");
}

// One part at the origin.
std::string OnePart(int colour, const char* part) {
    return "1 " + std::to_string(colour) + " 0 0 0 1 0 0 0 1 0 0 0 1 " + part + "\n";
}

Mask MaskOf(const Image& transparent) {
    Mask mask;
    for (int y = 0; y < transparent.height; y++) {
        for (int x = 0; x < transparent.width; x++) {
            int alpha = transparent.Alpha(x, y);
            if (alpha == 255) mask.model.emplace_back(x, y);
            if (alpha == 0) mask.backdrop.emplace_back(x, y);
        }
    }
    return mask;
}

Measured Measure(const Image& image, const std::vector<std::pair<int, int>>& pixels) {
    Measured m;
    for (auto [x, y] : pixels) {
        double luminance = image.Luminance(x, y);
        m.mean += luminance / pixels.size();
        m.max = std::max(m.max, luminance);
        std::array<int, 3> c = image.Rgb(x, y);
        for (int i = 0; i < 3; i++) m.rgb[i] += c[i] / (double)pixels.size();
    }
    return m;
}
