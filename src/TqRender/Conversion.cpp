// The conversion: the tqr command line for a run, running it, sorting its messages into the
// routine report and what the user must see, and reading back what the scene says about itself.
#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>

#include "TqRender/TqRender.h"

namespace tqrender {

// The margin of tqr's fit of the placed parts (-cfit), in per cent of the picture on each side
// where the model fills it: the model takes 90% of the picture's width or height, a product shot.
const int kFramingMargin = 5;

namespace {

// Lines tqr prints on every successful run; nothing in them needs the user's attention here.
const char* const kRoutinePrefixes[] = {
    "Processing ",
    "Number of steps: ",
    "POV file successfully written",
    "Remember to use aspect",
    "Model has ",
    "DAT files:",
    "POV Equivs:",
};

bool IsRoutineLine(const std::string& line) {
    for (const char* prefix : kRoutinePrefixes) {
        if (line.rfind(prefix, 0) == 0) return true;
    }
    // tqr's version line, and the indented column heads of its statistics table.
    if (line.find(" - LDraw to POV-Ray converter") != std::string::npos) return true;
    size_t first = line.find_first_not_of(' ');
    return first != std::string::npos && line.compare(first, 5, "PARTS") == 0;
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        // A CR-LF line end would defeat the prefix tests and print a stray carriage return.
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

// Both options take part models from an LGEO directory.
bool UsesLgeo(const std::vector<std::string>& tqrOptions) {
    for (const std::string& o : tqrOptions) {
        if (o == "-lgeo" || o == "-kv") return true;
    }
    return false;
}

// Value of a "// NAME: value (how it was found)" header line of a scene; the note in
// parentheses is dropped, and "" stands for a line that is absent or empty.
std::string HeaderValue(const std::string& head, const char* name) {
    std::string key = std::string("// ") + name + ":";
    size_t at = head.find("\n" + key);
    if (at == std::string::npos) return "";
    size_t start = head.find_first_not_of(' ', at + 1 + key.size());
    size_t end = head.find('\n', at + 1);
    if (start == std::string::npos || end == std::string::npos || start >= end) return "";
    std::string value = head.substr(start, end - start);
    size_t how = value.rfind(" (");
    if (how != std::string::npos && value.back() == ')') value.erase(how);
    return value;
}

}  // namespace

std::string EdgePixelsFor(int width) {
    // tqr takes the width in pixels of a picture 800 wide and draws wider pictures' lines wider
    // in proportion.
    double pixels = std::min(std::max(width / 700.0, 1.0), 4.0) * 800 / std::max(width, 1);
    char text[16];
    snprintf(text, sizeof(text), "%.3g", pixels);
    return text;
}

std::vector<std::string> LookConversionOptions(const RenderOptions& options) {
    if (options.look == Look::kPlain) return {};
    // Bare names: POV-Ray finds them on its library path, so a kept scene or a plan moves to
    // another directory or machine together with copies of the include files.
    // Parts as smooth meshes: round surfaces shade round, prints and glitter are drawn, and big
    // models fit in POV-Ray's memory. At high quality the library's 48-sided primitives give
    // rounder outlines too.
    bool instructions = options.look == Look::kInstructions;
    std::vector<std::string> args = {
        "-mesh", std::string("-ib") + (instructions ? kInstructionsInclude : kStudioInclude),
        std::string("-il") + (instructions ? kInstructionsLightsInclude : kStudioLightsInclude)};
    // Instruction pictures draw the library's edge lines: one pixel wide up to 700 pixels, wider
    // in proportion beyond, so that they keep their weight on the page.
    if (instructions) args.push_back("-edges" + EdgePixelsFor(options.width));
    if (options.quality == Quality::kHigh) args.push_back("-q3");
    // LGEO's colour textures carry legacy-gamma values that look washed out in the studio's
    // linear-light scene; -nolgc makes tqr declare every colour through the look's macros.
    // Whatever else LGEO parts need with the studio look belongs in this list, nowhere else.
    static const std::vector<std::string> kStudioLgeoOptions = {"-nolgc"};
    if (UsesLgeo(options.tqrOptions))
        args.insert(args.end(), kStudioLgeoOptions.begin(), kStudioLgeoOptions.end());
    return args;
}

std::vector<std::string> ConversionArguments(const RenderOptions& options,
                                             const std::string& scenePath,
                                             const std::vector<std::string>& extra) {
    // The camera is made for the picture's own shape; -o replaces a scene left in a kept or plan
    // directory by an earlier run, where tqr would refuse.
    char aspect[32];
    snprintf(aspect, sizeof(aspect), "-car%.6g", (double)options.width / options.height);
    // "tqr" as the command name: the scene records its command line, and a kept scene should
    // read the same as one the user makes by hand.
    // The camera frames the parts themselves; a turntable frame keeps the distance it is given and
    // is only centred.
    std::vector<std::string> args = {"tqr", "-o", aspect, "-cfit" + std::to_string(kFramingMargin)};
    for (const std::string& o : LookConversionOptions(options)) args.push_back(o);
    args.insert(args.end(), options.tqrOptions.begin(), options.tqrOptions.end());
    args.insert(args.end(), extra.begin(), extra.end());
    // tqr takes anything that starts with '-' for an option.
    args.push_back(ArgumentPath(options.model));
    args.push_back(scenePath);
    return args;
}

std::string InterestingConverterLines(const std::string& out, const std::string& err, bool ok) {
    std::vector<std::string> outLines = SplitLines(out);
    // On a command line error tqr prints its usage, framed by its version line; what came
    // before it (file notes) still counts.
    for (size_t i = 0; i < outLines.size(); i++) {
        if (outLines[i].rfind("Usage: tqr", 0) == 0) {
            outLines.resize(i > 0 ? i - 1 : 0);
            break;
        }
    }
    std::string kept;
    for (const std::string& line : outLines) {
        if (!line.empty() && !IsRoutineLine(line)) kept += line + "\n";
    }
    // After a failure every line of standard error stays, routine ones too: they show how far
    // tqr got.
    for (const std::string& line : SplitLines(err)) {
        if (!line.empty() && (!ok || !IsRoutineLine(line))) kept += line + "\n";
    }
    return kept;
}

// tqr opens the n-th step of every model and sub-model with "// STEP" and a clock condition on
// its own lines; a model has one step more than it has such conditions, the frames cover the
// largest. Names in the scene never break a line, so only the scene's own lines count. (A model's
// POV-Ray code can still write such lines; the caller bounds the count.)
int SceneStepCount(const std::string& scene) {
    std::string text;
    if (!ReadWholeFile(scene, &text)) return -1;
    const char kKey[] = "\n// STEP\n#if (clock > ";
    long long largest = 0;
    for (size_t at = text.find(kKey); at != std::string::npos; at = text.find(kKey, at + 1)) {
        largest = std::max(largest, strtoll(text.c_str() + at + strlen(kKey), nullptr, 10));
    }
    return largest > 0 ? (int)std::min<long long>(largest + 1, INT_MAX) : 0;
}

Conversion RunConversion(const Tools& tools, const std::vector<std::string>& args,
                         const std::string& workDir, bool quiet) {
    Conversion result;
    std::string outPath = JoinPath(workDir, "tqr.out"), errPath = JoinPath(workDir, "tqr.err");
    int status = RunChildToFiles(tools.tqr, args, outPath, errPath);
    std::string out, err;
    ReadWholeFile(outPath, &out);
    ReadWholeFile(errPath, &err);
    // Status 0 alone is not enough: a listing option among the user's ends tqr without a scene.
    result.ok = status == 0 && PathExists(args.back());
    // Once interrupted, tqr's last words are only its reaction to our signal.
    if (InterruptSignal()) return result;
    result.output = InterestingConverterLines(out, err, result.ok);
    if (quiet && result.ok) return result;
    for (const std::string& line : SplitLines(result.output)) ProgressForward(line);
    if (status < 0) ProgressNote("cannot run the converter %s", tools.tqr.c_str());
    return result;
}

bool SceneCameraDistance(const std::string& scene, double* distance) {
    std::string text;
    if (!ReadWholeFile(scene, &text)) return false;
    // The automatic camera records its distance among the comments before the camera.
    const char kKey[] = "\n// TqRadius=";
    size_t at = text.find(kKey);
    if (at == std::string::npos) return false;
    char* end;
    *distance = strtod(text.c_str() + at + strlen(kKey), &end);
    return end != text.c_str() + at + strlen(kKey) && *distance > 0;
}

std::vector<std::string> SceneLibraryDirs(const std::string& scene) {
    // The paths are in the first comment block of the scene.
    // A line end first, so that every header line can be found by "\n// Name:".
    std::string head(16385, '\n');
    std::ifstream in(scene, std::ios::binary);
    in.read(head.data() + 1, (std::streamsize)head.size() - 1);
    head.resize((size_t)in.gcount() + 1);
    std::vector<std::string> dirs;
    std::string ldraw = HeaderValue(head, "LDRAWDIR");
    // The scene includes TQRPARTS files by bare name. tqr matches names regardless of case,
    // POV-Ray does not, so either spelling of the directory may be the one on disk.
    if (!ldraw.empty()) {
        for (const char* name : {"TQRPARTS", "tqrparts"}) {
            if (IsDirectory(JoinPath(ldraw, name))) dirs.push_back(JoinPath(ldraw, name));
        }
    }
    std::string lgeo = HeaderValue(head, "LGEODIR");
    // LGEO's include files lie in its directory or in its lg and ar subdirectories.
    if (!lgeo.empty()) {
        for (const char* sub : {"", "lg", "ar"}) {
            std::string dir = *sub ? JoinPath(lgeo, sub) : lgeo;
            if (IsDirectory(dir)) dirs.push_back(dir);
        }
    }
    return dirs;
}

namespace {

// A string of the scene after *at, with its escaped quotes; false when none starts there.
bool ReadSceneString(const std::string& text, size_t* at, const char* before, std::string* value) {
    size_t n = strlen(before);
    if (text.compare(*at, n, before) != 0) return false;
    value->clear();
    for (size_t i = *at + n; i < text.size() && text[i] != '\n'; i++) {
        if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == '"') {
            *value += '"';
            i++;
        } else if (text[i] == '"') {
            *at = i + 1;
            return true;
        } else {
            *value += text[i];
        }
    }
    return false;
}

}  // namespace

std::vector<SceneImage> SceneImages(const std::string& scene) {
    std::string text;
    std::vector<SceneImage> images;
    if (!ReadWholeFile(scene, &text)) return images;
    std::set<std::string> seen;
    // tqr writes: png #if (file_exists("NAME")) "NAME" #else "PATH" #end
    const char kStart[] = "png #if (file_exists(\"";
    for (size_t at = text.find(kStart); at != std::string::npos; at = text.find(kStart, at + 1)) {
        size_t cursor = at;
        SceneImage image;
        std::string again;
        if (ReadSceneString(text, &cursor, kStart, &image.name) &&
            ReadSceneString(text, &cursor, ")) \"", &again) &&
            ReadSceneString(text, &cursor, " #else \"", &image.path) && again == image.name &&
            seen.insert(image.path).second)
            images.push_back(image);
    }
    return images;
}

bool CopySceneImages(const RenderOptions& options, const std::string& scene,
                     const std::string& dir) {
    std::vector<std::string> sources, names, written;
    for (const SceneImage& image : SceneImages(scene)) {
        sources.push_back(image.path);
        names.push_back(image.name);
    }
    return CopyFilesInto(options, sources, names, dir, "the images of printed parts", &written);
}

}  // namespace tqrender
