// The names this program hands on: which paths POV-Ray can take on its command line, how a name
// that starts with '-' stays a file name for the next program, the hidden name a picture is
// written under, and how a name with control characters shows in a message.
#include <unistd.h>

#include "TqRender/TqRender.h"

namespace tqrender {

namespace {

// POV-Ray copies the scene's name into a fixed buffer: 203 characters passed in tests, 204
// crashed it. Outputs and library directories take longer names, but one limit is easier to
// state, and plans and kept scenes name all three alike.
constexpr size_t kPovrayPathMax = 200;

// A partial name keeps this much of the final name's stem, enough to tell what it was.
constexpr size_t kPartialStemMax = 48;

bool IsControl(char c) {
    return (unsigned char)c < 0x20 || c == 0x7F;
}

// POV-Ray reads its command line as ASCII, a byte above 127 is mangled (a picture lands under
// another name); in its double quotes a backslash starts an escape and '"' ends the name.
bool PovrayTakes(char c) {
    return c >= 0x20 && c <= 0x7E && c != '"' && c != '\\';
}

}  // namespace

std::string PovrayNameProblem(const std::string& path) {
    for (char c : path) {
        if (IsControl(c)) return "it holds a control character";
        if (c == '"') return "it holds a '\"'";
        if (c == '\\') return "it holds a backslash";
        if (!PovrayTakes(c)) return "it holds a character outside ASCII";
    }
    if (path.size() > kPovrayPathMax)
        return "it is longer than " + std::to_string(kPovrayPathMax) + " characters";
    return "";
}

// A plan's commands and a kept scene's hold every path as it is: a name POV-Ray cannot take would
// make them fail where they run, long after this run was reported a success.
bool CheckPovrayNames(const std::vector<std::string>& paths, const char* what) {
    for (const std::string& path : paths) {
        std::string problem = PovrayNameProblem(path);
        if (!problem.empty()) {
            ProgressNote("POV-Ray cannot take %s (%s), %s", ShownName(path).c_str(),
                         problem.c_str(), what);
            return false;
        }
    }
    return true;
}

bool HasControlCharacter(const std::string& text) {
    for (char c : text) {
        if (IsControl(c)) return true;
    }
    return false;
}

std::string ShownName(const std::string& name) {
    std::string shown = name;
    for (char& c : shown) {
        if (IsControl(c)) c = '?';
    }
    return shown;
}

std::string ArgumentPath(const std::string& path) {
    return !path.empty() && path[0] == '-' ? "./" + path : path;
}

// Same directory as the final name, so that publishing it is a rename, never a copy; the process
// id keeps two runs for the same picture apart. POV-Ray writes under this name, so it holds only
// characters POV-Ray takes; a long stem keeps its start and its end, where frame numbers are.
std::string PartialPath(const std::string& finalPath, const char* extension) {
    std::string stem = StemOf(finalPath);
    for (char& c : stem) {
        if (!PovrayTakes(c)) c = '_';
    }
    if (stem.size() > kPartialStemMax) {
        size_t keep = kPartialStemMax / 2;
        stem = stem.substr(0, keep - 1) + "~" + stem.substr(stem.size() - keep);
    }
    std::string name = "." + stem + ".partial-" + std::to_string(getpid()) + extension;
    return JoinPath(DirName(finalPath), name);
}

}  // namespace tqrender
