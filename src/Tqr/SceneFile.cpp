// The scene file: written beside its target under a temporary name and moved over the target
// only once it is complete, so that a full disk or an interrupted run never leaves a truncated
// scene where a good one was.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "Tqr/Tqr.h"

namespace {

// The temporary scene files of the runs under way, which a signal that ends the process removes.
// A process has one set of signal handlers, so this is the one state its runs share: slots taken
// under a lock, read by the handler through atomic flags only (no lock can be taken there).
constexpr int kMaxTempFiles = 64;
struct TempFileSlots {
    char paths[kMaxTempFiles][kPathSize];
    std::atomic<bool> used[kMaxTempFiles];
    std::mutex lock;  // taking and releasing slots, and the handlers with them
    int nUsed = 0;
};
TempFileSlots& TempFiles() {
    static TempFileSlots slots;
    return slots;
}
// The signals that end a run from outside; the temporary files must not outlive it.
const int kCleanupSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

// Dies of the same signal after the cleanup, so that whoever started the run sees how it ended.
void RemoveTempsAndDie(int signal) {
    TempFileSlots& slots = TempFiles();
    for (int i = 0; i < kMaxTempFiles; i++) {
        if (slots.used[i].load()) unlink(slots.paths[i]);
    }
    std::signal(signal, SIG_DFL);
    raise(signal);
}

// Remembers a temporary file; -1 when every slot is taken (the file is then left to the run's own
// cleanup, which happens unless a signal ends it).
int RegisterTemp(const char* path) {
    TempFileSlots& slots = TempFiles();
    std::lock_guard<std::mutex> guard(slots.lock);
    for (int i = 0; i < kMaxTempFiles; i++) {
        if (slots.used[i].load()) continue;
        strncpy0(slots.paths[i], path, kPathSize);
        slots.used[i].store(true);
        if (slots.nUsed++ == 0) {
            for (int s : kCleanupSignals) std::signal(s, RemoveTempsAndDie);
        }
        return i;
    }
    return -1;
}

void ForgetTemp(int slot) {
    if (slot < 0) return;
    TempFileSlots& slots = TempFiles();
    std::lock_guard<std::mutex> guard(slots.lock);
    slots.used[slot].store(false);
    if (--slots.nUsed == 0) {
        for (int s : kCleanupSignals) std::signal(s, SIG_DFL);
    }
}

// The umask can only be read by setting it, so it is set back at once. Runs side by side set it
// to the value it had, so they cannot disturb one another.
mode_t NewFileMode() {
    static std::mutex umaskLock;
    std::lock_guard<std::mutex> guard(umaskLock);
    mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

// ".name.XXXXXX" in the target's directory, so that the final rename stays on one file system.
bool FormTempPath(SceneFile* scene, const char* target) {
    char* temp = scene->TempPath;
    const char* slash = strrchr(target, '/');
    int n = slash ? snprintf(temp, kPathSize, "%.*s/.%s.XXXXXX", (int)(slash - target), target,
                             slash + 1)
                  : snprintf(temp, kPathSize, ".%s.XXXXXX", target);
    return n > 0 && n < kPathSize;
}

void DropTemp(SceneFile* scene) {
    scene->TempPath[0] = '\0';
    ForgetTemp(scene->registration);
    scene->registration = -1;
}

}  // namespace

int SameFile(const char* a, const char* b) {
    struct stat sa, sb;
    return stat(a, &sa) == 0 && stat(b, &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

FILE* OpenSceneFile(SceneFile* scene, const char* target) {
    scene->TempPath[0] = '\0';
    scene->TargetPath = target;
    scene->registration = -1;
    struct stat st;
    bool exists = lstat(target, &st) == 0;
    // A FIFO, a device or a symbolic link is written through, as the user named it; so is a
    // file whose directory we may not create in (the file itself may still be writable).
    if (exists && !S_ISREG(st.st_mode)) return fopen(target, "w");
    // A scene we may not write stays as it is: rename would replace it where fopen would refuse.
    if (exists && access(target, W_OK) != 0) return nullptr;
    if (!FormTempPath(scene, target)) return fopen(target, "w");
    // Close-on-exec: a program started later does not inherit the half-written scene. Without a
    // temporary file (no right to create one there, say) the target is written directly.
    int fd = mkostemp(scene->TempPath, O_CLOEXEC);
    if (fd < 0) {
        scene->TempPath[0] = '\0';
        return fopen(target, "w");
    }
    // The replaced scene keeps the old file's permission bits (and owner, where allowed); a new
    // one gets what fopen would have given it.
    fchmod(fd, exists ? st.st_mode & 07777 : NewFileMode());
    if (exists && fchown(fd, st.st_uid, st.st_gid) != 0) {
        // Only the superuser may give a file away; the scene is then simply ours.
    }
    scene->registration = RegisterTemp(scene->TempPath);
    FILE* fp = fdopen(fd, "w");
    if (!fp) {
        close(fd);
        unlink(scene->TempPath);
        DropTemp(scene);
    }
    return fp;
}

// A full disk shows only when the last buffer is flushed, or as an error flag set earlier; either
// keeps a short scene from being moved into place.
int CloseSceneFile(SceneFile* scene, FILE* fp) {
    bool ok = fflush(fp) == 0 && !ferror(fp);
    if (fclose(fp) != 0) ok = false;
    if (scene->TempPath[0]) {
        if (!ok || rename(scene->TempPath, scene->TargetPath) != 0) {
            ok = false;
            unlink(scene->TempPath);  // the old scene, if any, stays as it was
        }
        DropTemp(scene);
    }
    return ok ? 0 : -1;
}
