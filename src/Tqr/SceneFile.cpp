// The scene file: written beside its target under a temporary name and moved over the target
// only once it is complete, so that a full disk or an interrupted run never leaves a truncated
// scene where a good one was.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <cstring>

#include "Tqr/Tqr.h"

namespace {

// The temporary file while it exists, else empty; a signal handler removes it.
char TempPath[kPathSize];
const char* TargetPath = nullptr;
// The signals that end a run from outside; the temporary file must not outlive it.
const int kCleanupSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

// Dies of the same signal after the cleanup, so that whoever started the run sees how it ended.
void RemoveTempAndDie(int signal) {
    if (TempPath[0]) unlink(TempPath);
    std::signal(signal, SIG_DFL);
    raise(signal);
}

void SetCleanupHandlers(bool on) {
    for (int s : kCleanupSignals) std::signal(s, on ? RemoveTempAndDie : SIG_DFL);
}

// The umask can only be read by setting it, so it is set back at once.
mode_t NewFileMode() {
    mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

// ".name.XXXXXX" in the target's directory, so that the final rename stays on one file system.
bool FormTempPath(const char* target) {
    const char* slash = strrchr(target, '/');
    int n = slash ? snprintf(TempPath, sizeof(TempPath), "%.*s/.%s.XXXXXX", (int)(slash - target),
                             target, slash + 1)
                  : snprintf(TempPath, sizeof(TempPath), ".%s.XXXXXX", target);
    return n > 0 && n < (int)sizeof(TempPath);
}

}  // namespace

int SameFile(const char* a, const char* b) {
    struct stat sa, sb;
    return stat(a, &sa) == 0 && stat(b, &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

FILE* OpenSceneFile(const char* target) {
    TempPath[0] = '\0';
    TargetPath = target;
    struct stat st;
    bool exists = lstat(target, &st) == 0;
    // A FIFO, a device or a symbolic link is written through, as the user named it; so is a
    // file whose directory we may not create in (the file itself may still be writable).
    if (exists && !S_ISREG(st.st_mode)) return fopen(target, "w");
    // A scene we may not write stays as it is: rename would replace it where fopen would refuse.
    if (exists && access(target, W_OK) != 0) return nullptr;
    if (!FormTempPath(target)) return fopen(target, "w");
    // Close-on-exec: a program started later does not inherit the half-written scene. Without a
    // temporary file (no right to create one there, say) the target is written directly.
    int fd = mkostemp(TempPath, O_CLOEXEC);
    if (fd < 0) {
        TempPath[0] = '\0';
        return fopen(target, "w");
    }
    // The replaced scene keeps the old file's permission bits (and owner, where allowed); a new
    // one gets what fopen would have given it.
    fchmod(fd, exists ? st.st_mode & 07777 : NewFileMode());
    if (exists && fchown(fd, st.st_uid, st.st_gid) != 0) {
        // Only the superuser may give a file away; the scene is then simply ours.
    }
    SetCleanupHandlers(true);
    FILE* fp = fdopen(fd, "w");
    if (!fp) {
        close(fd);
        unlink(TempPath);
        TempPath[0] = '\0';
        SetCleanupHandlers(false);
    }
    return fp;
}

// A full disk shows only when the last buffer is flushed, or as an error flag set earlier; either
// keeps a short scene from being moved into place.
int CloseSceneFile(FILE* fp) {
    bool ok = fflush(fp) == 0 && !ferror(fp);
    if (fclose(fp) != 0) ok = false;
    if (TempPath[0]) {
        if (!ok || rename(TempPath, TargetPath) != 0) {
            ok = false;
            unlink(TempPath);  // the old scene, if any, stays as it was
        }
        TempPath[0] = '\0';
        SetCleanupHandlers(false);
    }
    return ok ? 0 : -1;
}
