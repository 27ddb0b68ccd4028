// Path names, the names of frames and partial pictures, whole-file reads and writes, and shell
// quoting for the commands that are printed or written to a plan.
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "TqRender/TqRender.h"

namespace fs = std::filesystem;

namespace tqrender {

std::string BaseName(const std::string& path) {
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string DirName(const std::string& path) {
    size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return "";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string StemOf(const std::string& path) {
    std::string base = BaseName(path);
    size_t dot = base.find_last_of('.');
    // A leading dot names a hidden file, not an extension.
    return dot == std::string::npos || dot == 0 ? base : base.substr(0, dot);
}

std::string JoinPath(const std::string& dir, const std::string& name) {
    if (dir.empty() || dir == ".") return name;
    return dir.back() == '/' ? dir + name : dir + "/" + name;
}

std::string DefaultOutputPath(const std::string& model) {
    return StemOf(model) + ".png";
}

// Three digits keep frames in name order up to 999; past that %03d simply prints more digits,
// which ffmpeg still finds through the same %03d of FramePattern.
std::string FramePath(const std::string& out, int index) {
    char number[16];
    snprintf(number, sizeof(number), "-%03d.png", index);
    return JoinPath(DirName(out), StemOf(out) + number);
}

std::string FramePattern(const std::string& out) {
    // A literal '%' in the name would be read by ffmpeg as part of the pattern.
    std::string stem;
    for (char c : StemOf(out)) stem += c == '%' ? std::string("%%") : std::string(1, c);
    return JoinPath(DirName(out), stem + "-%03d.png");
}

std::string AnimationPath(const std::string& out) {
    return JoinPath(DirName(out), StemOf(out) + ".gif");
}

// A scene that stays is named after the picture, so that a folder of them reads well; one in the
// private directory has a fixed name, which no picture name can make too long for tqr.
std::string ScenePath(const RenderOptions& options, const std::string& dir, int frame) {
    bool stays = !options.keepSceneDir.empty() || !options.planFile.empty();
    if (stays)
        return JoinPath(dir, StemOf(frame ? FramePath(options.out, frame) : options.out) + ".pov");
    char name[32];
    if (frame)
        snprintf(name, sizeof(name), "frame-%03d.pov", frame);
    else
        snprintf(name, sizeof(name), "scene.pov");
    return JoinPath(dir, name);
}

std::string RenderStatePath(const std::string& output) {
    return JoinPath(DirName(output), StemOf(output) + ".pov-state");
}

// lstat: a symbolic link counts even when it dangles, so replacing it needs --force; the rename
// that publishes a picture replaces the link itself, never what it points to.
bool PathExists(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

bool IsDirectory(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool MakeDirectories(const std::string& path) {
    // Judged by what is there afterwards: a directory that already existed is success too.
    std::error_code ec;
    fs::create_directories(path, ec);
    return IsDirectory(path);
}

bool ReadWholeFile(const std::string& path, std::string* text) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream ss;
    ss << in.rdbuf();
    *text = ss.str();
    return !in.bad();
}

bool WriteWholeFile(const std::string& path, std::string_view text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(text.data(), (std::streamsize)text.size());
    // Checked after close: a full disk often shows only when the last buffer is flushed.
    out.close();
    return !out.fail();
}

std::vector<std::string> RegularFilesIn(const std::string& dir) {
    std::error_code ec;
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir, ec)) {
        if (entry.is_regular_file()) names.push_back(entry.path().filename().string());
    }
    return names;
}

bool SameContent(const std::string& a, const std::string& b) {
    std::string textA, textB;
    return ReadWholeFile(a, &textA) && ReadWholeFile(b, &textB) && textA == textB;
}

bool CopyFile(const std::string& from, const std::string& to) {
    std::string text;
    return ReadWholeFile(from, &text) && WriteWholeFile(to, text);
}

// Plain words stay bare so that printed commands read naturally. Anything else goes in single
// quotes, inside which a shell takes every character as it is except the quote itself, which
// is written as '\'' (close, escaped quote, reopen).
std::string ShellQuote(const std::string& arg) {
    const char kSafe[] = "@%+=:,./-_";
    bool plain = !arg.empty();
    for (char c : arg) {
        if (!isalnum((unsigned char)c) && !strchr(kSafe, c)) plain = false;
    }
    if (plain) return arg;
    std::string quoted = "'";
    for (char c : arg) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

std::string ShellCommand(const std::vector<std::string>& argv) {
    std::string line;
    for (const std::string& arg : argv) {
        if (!line.empty()) line += ' ';
        line += ShellQuote(arg);
    }
    return line;
}

}  // namespace tqrender
