// The files a run writes over: what may be replaced (with --force, a file or a symbolic link),
// what never is (the model, the bands being joined, a directory, a device, a pipe), and putting
// a finished file in place without replacing one that appeared while it was made.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "TqRender/TqRender.h"

namespace tqrender {

namespace {

// True when target is a file the run reads: the model, or one of the bands being joined. stat
// follows a link to the input; a link of its own at the target is replaced, never followed.
bool IsInput(const RenderOptions& o, const struct stat& target) {
    const std::vector<std::string> models = {o.model};
    for (const std::string& input : o.assemble ? o.bands : models) {
        struct stat st;
        if (!input.empty() && stat(input.c_str(), &st) == 0 && st.st_dev == target.st_dev &&
            st.st_ino == target.st_ino)
            return true;
    }
    return false;
}

// Why the path may not be written, "" when it may.
std::string RefusalFor(const RenderOptions& o, const std::string& path) {
    struct stat st;
    if (lstat(path.c_str(), &st) != 0) return "";
    std::string shown = ShownName(path);
    if (IsInput(o, st))
        return shown + (o.assemble ? " is one of the bands to join" : " is the model") +
               "; it is never written over";
    // With --force, a device node or a pipe would become a regular file, or a write through it
    // would reach whatever it stands for; neither is a picture to replace.
    if (!S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode))
        return shown + " is not a regular file; it is never written over";
    if (!o.force) return shown + " exists; use --force to overwrite it";
    return "";
}

// Renames only while the new name is free (errno EEXIST when it is not): two runs for the same
// picture, both past their first check, must not both report it written. RENAME_NOREPLACE does
// that in one step; a file system without it gets a hard link, which fails on an existing name
// too; one without either gets a check just before the rename.
int RenameIfFree(const std::string& from, const std::string& to) {
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS) return -1;
    if (link(from.c_str(), to.c_str()) == 0) {
        unlink(from.c_str());
        return 0;
    }
    if (errno != EPERM && errno != ENOTSUP) return -1;
    if (PathExists(to)) {
        errno = EEXIST;
        return -1;
    }
    return rename(from.c_str(), to.c_str());
}

}  // namespace

bool CheckPictureName(const std::string& out) {
    if (HasControlCharacter(out)) {
        ProgressNote("%s holds a control character; give OUT another name", ShownName(out).c_str());
        return false;
    }
    std::string dir = DirName(out);
    long nameMax = pathconf(dir.empty() ? "." : dir.c_str(), _PC_NAME_MAX);
    if (nameMax <= 0) nameMax = 255;
    if ((long)BaseName(out).size() > nameMax) {
        ProgressNote("the name of %s is longer than the %ld bytes a file name may have",
                     out.c_str(), nameMax);
        return false;
    }
    return true;
}

bool CheckOverwrite(const RenderOptions& options, const std::vector<std::string>& paths) {
    for (const std::string& path : paths) {
        std::string refusal = RefusalFor(options, path);
        if (!refusal.empty()) {
            ProgressNote("%s", refusal.c_str());
            return false;
        }
    }
    return true;
}

// A copy of the look that is already there unchanged is left alone, so that making a scene again
// in the same directory needs no --force for it; one that was edited is the user's work.
bool CopyFilesInto(const RenderOptions& options, const std::vector<std::string>& sources,
                   const std::vector<std::string>& names, const std::string& to, const char* what,
                   std::vector<std::string>* written) {
    std::vector<size_t> copies;
    for (size_t i = 0; i < sources.size(); i++) {
        std::string target = JoinPath(to, names[i]);
        struct stat st;
        bool there = lstat(target.c_str(), &st) == 0;
        if (there && S_ISREG(st.st_mode) && SameContent(sources[i], target)) continue;
        if (!CheckOverwrite(options, {target})) return false;
        copies.push_back(i);
    }
    for (size_t i : copies) {
        std::string target = JoinPath(to, names[i]);
        // A link in the way is replaced as a link, never written through.
        unlink(target.c_str());
        if (!CopyFile(sources[i], target)) {
            ProgressNote("cannot copy %s into %s", what, to.c_str());
            return false;
        }
        written->push_back(target);
    }
    return true;
}

bool CopyLook(const RenderOptions& options, const std::string& from, const std::string& to,
              std::vector<std::string>* written) {
    std::vector<std::string> names = RegularFilesIn(from), sources;
    for (const std::string& name : names) sources.push_back(JoinPath(from, name));
    return CopyFilesInto(options, sources, names, to, "the studio look", written);
}

bool PublishPicture(const std::string& partial, const std::string& finalPath, bool replace) {
    int status =
        replace ? rename(partial.c_str(), finalPath.c_str()) : RenameIfFree(partial, finalPath);
    if (status != 0 && errno == EEXIST) {
        ProgressNote("%s appeared while this run was rendering; use --force to overwrite it",
                     ShownName(finalPath).c_str());
        return false;
    }
    if (status != 0) {
        ProgressNote("cannot rename %s to %s", ShownName(partial).c_str(),
                     ShownName(finalPath).c_str());
        return false;
    }
    ForgetTemporary(partial);
    return true;
}

}  // namespace tqrender
