// Where the helper programs and the studio look's include files are: the converter next to this
// program first (a build tree or an installed prefix keeps the two together), POV-Ray and
// ffmpeg on PATH, the include files beside the program's prefix or in the source tree.
#include <unistd.h>

#include <climits>
#include <cstdlib>

#include "TqRender/TqRender.h"

// The build names the source tree's pov/, so that a program run from its build tree finds the
// look; without it that last place is simply not tried.
#ifndef TQR_POV_SOURCE_DIR
#define TQR_POV_SOURCE_DIR ""
#endif

namespace tqrender {

const char kStudioInclude[] = "tqr-studio.inc";
const char kStudioLightsInclude[] = "tqr-studio-lights.inc";
const char kInstructionsInclude[] = "tqr-instructions.inc";
const char kInstructionsLightsInclude[] = "tqr-instructions-lights.inc";

namespace {

// access(X_OK) also holds for a searchable directory, which is no program.
bool IsExecutableFile(const std::string& path) {
    return !path.empty() && access(path.c_str(), X_OK) == 0 && !IsDirectory(path);
}

// The absolute, symlink-free form of a path, or the path itself when it cannot be resolved.
std::string Canonical(const std::string& path) {
    char resolved[PATH_MAX];
    return realpath(path.c_str(), resolved) ? std::string(resolved) : path;
}

}  // namespace

bool HasStudioLook(const std::string& dir) {
    if (dir.empty()) return false;
    for (const char* name :
         {kStudioInclude, kStudioLightsInclude, kInstructionsInclude, kInstructionsLightsInclude}) {
        if (!PathExists(JoinPath(dir, name))) return false;
    }
    return true;
}

std::string FindOnPath(const std::string& name) {
    // A name with a slash is a path already, as for a shell; with no PATH, a usual default.
    if (name.find('/') != std::string::npos) return IsExecutableFile(name) ? name : "";
    const char* path = getenv("PATH");
    std::string dirs = path ? path : "/usr/local/bin:/usr/bin:/bin";
    size_t start = 0;
    while (start <= dirs.size()) {
        size_t colon = dirs.find(':', start);
        if (colon == std::string::npos) colon = dirs.size();
        // An empty PATH entry means the current directory.
        std::string dir = colon > start ? dirs.substr(start, colon - start) : ".";
        std::string candidate = JoinPath(dir, name);
        if (IsExecutableFile(candidate)) return dir == "." ? "./" + name : candidate;
        start = colon + 1;
    }
    return "";
}

// /proc/self/exe names the running binary however it was started: by a relative path, through
// PATH, or through a symbolic link.
std::string ExecutableDir() {
    char buffer[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", buffer, sizeof(buffer) - 1);
    if (n <= 0) return "";
    buffer[n] = '\0';
    return DirName(buffer);
}

std::string FindPovDir() {
    const char* env = getenv("TQR_POV_DIR");
    if (env && *env) return env;  // taken as given: a wrong setting must not fall back silently
    std::string exeDir = ExecutableDir();
    std::string installed = exeDir.empty() ? "" : Canonical(exeDir + "/../share/tqr/pov");
    if (HasStudioLook(installed)) return installed;
    if (HasStudioLook(TQR_POV_SOURCE_DIR)) return TQR_POV_SOURCE_DIR;
    return "";
}

Tools LocateTools() {
    Tools tools;
    std::string exeDir = ExecutableDir();
    // The tqr beside this program belongs to the same build or installation: it comes first.
    std::string beside = exeDir.empty() ? "" : exeDir + "/tqr";
    tools.tqr = IsExecutableFile(beside) ? beside : FindOnPath("tqr");
    tools.povray = FindOnPath("povray");
    tools.ffmpeg = FindOnPath("ffmpeg");
    tools.povDir = FindPovDir();
    // Printed commands read best with the bare name, when PATH leads to this very program.
    std::string self = exeDir.empty() ? "tqr-render" : exeDir + "/tqr-render";
    std::string onPath = FindOnPath("tqr-render");
    tools.self = !onPath.empty() && Canonical(onPath) == Canonical(self) ? "tqr-render" : self;
    return tools;
}

}  // namespace tqrender
