// Where POV-Ray works: a directory of its own inside the run's private one, holding nothing but
// links to the scenes, the pictures' directories and the include directories of the run.
#include <sys/stat.h>
#include <unistd.h>

#include <climits>

#include "TqRender/TqRender.h"

namespace tqrender {

namespace {

// The link to target (made absolute against the start directory), made on first use. Its name
// is short ASCII whatever the target's name: POV-Ray cannot open a name with a byte above 127,
// a '"' or a backslash, nor one longer than about 200 characters; the kernel follows the link to
// any name. "" when the link cannot be made.
std::string LinkTo(WorkPlace* place, const std::string& target, const char* prefix,
                   const char* suffix) {
    std::string absolute = target.empty()     ? place->startDir
                           : target[0] == '/' ? target
                                              : JoinPath(place->startDir, target);
    auto found = place->links.find(absolute);
    if (found != place->links.end()) return found->second;
    std::string name = prefix + std::to_string(place->links.size() + 1) + suffix;
    if (symlink(absolute.c_str(), JoinPath(place->povrayDir, name).c_str()) != 0) return "";
    place->links.emplace(absolute, name);
    return name;
}

}  // namespace

bool MakeWorkPlace(const std::string& dir, WorkPlace* place) {
    place->dir = dir;
    place->povrayDir = JoinPath(dir, "povray");
    char cwd[PATH_MAX];
    if (!getcwd(cwd, sizeof(cwd))) {
        ProgressNote("cannot find the current directory; run tqr-render from one that exists");
        return false;
    }
    place->startDir = cwd;
    if (mkdir(place->povrayDir.c_str(), 0700) != 0) {
        ProgressNote("cannot create a temporary directory");
        return false;
    }
    return true;
}

// POV-Ray looks for an include file in its working directory first, which used to be the start
// directory: that one now leads the library directories, so that the user's own include files,
// named relative to it, are found as before.
bool LinkPovrayCall(WorkPlace* place, const PovrayCall& call, PovrayCall* seen) {
    *seen = call;
    seen->scene = LinkTo(place, call.scene, "scene-", ".pov");
    std::string outputDir = LinkTo(place, DirName(call.output), "dir-", "");
    seen->output = JoinPath(outputDir, BaseName(call.output));
    seen->libraryDirs = {LinkTo(place, "", "dir-", "")};
    for (const std::string& dir : call.libraryDirs)
        seen->libraryDirs.push_back(LinkTo(place, dir, "dir-", ""));
    if (seen->scene.empty() || outputDir.empty()) return false;
    // The images of printed parts by the names the scene tries first: POV-Ray finds them here,
    // whatever the names of the folders tqr found them in.
    for (const SceneImage& image : SceneImages(call.scene)) {
        std::string link = JoinPath(place->povrayDir, image.name);
        if (access(link.c_str(), F_OK) != 0 && symlink(image.path.c_str(), link.c_str()) != 0)
            return false;
    }
    for (const std::string& dir : seen->libraryDirs) {
        if (dir.empty()) return false;
    }
    return true;
}

}  // namespace tqrender
