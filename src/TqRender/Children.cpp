// Child processes (started with argument vectors, never through a shell), the signals that stop
// a run, and the temporary files and directories that must go when it ends, however it ends.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>

#include "TqRender/TqRender.h"

extern char** environ;

namespace tqrender {

namespace {

// Read by the signal handler: only lock-free scalars. A slot holds a running child or 0.
// --jobs allows at most 256 renders at once, so the table does not fill up.
constexpr int kMaxChildren = 512;
volatile sig_atomic_t gInterrupt = 0;
volatile pid_t gChildren[kMaxChildren];

// Touched by the main flow only: the handler removes no files, the run does that after its
// children have ended.
std::vector<std::string> gTemporaries;

// Only async-signal-safe work: note the first signal (it makes the exit status) and pass
// SIGTERM on to the children; the run then sees them end and removes its partial files. Ctrl-C
// on a terminal reaches the children anyway, a SIGTERM or SIGHUP sent to this process would not.
// SIGPIPE comes when whoever read our messages has gone (tqr-render ... | head): by default it
// would end this process at once and leave POV-Ray running on, writing a partial picture.
void OnStopSignal(int signalNumber) {
    if (!gInterrupt) gInterrupt = signalNumber;
    for (int i = 0; i < kMaxChildren; i++) {
        pid_t pid = gChildren[i];
        if (pid > 0) kill(pid, SIGTERM);
    }
}

void Remember(pid_t pid) {
    for (int i = 0; i < kMaxChildren; i++) {
        if (gChildren[i] == 0) {
            gChildren[i] = pid;
            break;
        }
    }
    // The signal may have come between the start and the line above.
    if (gInterrupt) kill(pid, SIGTERM);
}

void Forget(pid_t pid) {
    for (int i = 0; i < kMaxChildren; i++) {
        if (gChildren[i] == pid) gChildren[i] = 0;
    }
}

}  // namespace

void InstallSignalHandlers() {
    struct sigaction action = {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    // No SA_RESTART: a blocked wait or poll must return so that the run can clean up.
    action.sa_flags = 0;
    for (int s : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) sigaction(s, &action, nullptr);
}

// The lowest free descriptor is the one open() returns, so each closed one is filled in order.
// Standard output gets /dev/null opened for reading: it holds the place, and every write to it
// fails, so that a run whose output went nowhere is not taken for a success.
void GuardStandardStreams() {
    for (int fd = 0; fd <= 2; fd++) {
        if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        int opened = open("/dev/null", fd == 2 ? O_WRONLY : O_RDONLY);
        if (opened >= 0 && opened != fd) close(opened);
    }
}

int InterruptSignal() {
    return gInterrupt;
}

// posix_spawn with an argument vector: no shell sees the arguments, so a model or directory name
// with blanks, quotes or '$' needs no quoting, and this process is not copied before the exec.
// The program is a path found beforehand, so there is no PATH search here.
pid_t StartChild(const std::string& program, const std::vector<std::string>& argv, int outFd,
                 int errFd, const std::string& dir) {
    // The copies made by dup2 lose close-on-exec; the originals (O_CLOEXEC) reach no child.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (outFd >= 0) posix_spawn_file_actions_adddup2(&actions, outFd, 1);
    if (errFd >= 0) posix_spawn_file_actions_adddup2(&actions, errFd, 2);
    if (!dir.empty()) posix_spawn_file_actions_addchdir_np(&actions, dir.c_str());
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    // An ignored signal stays ignored across exec: started from nohup or a background shell, a
    // child would otherwise shrug off our SIGTERM, or SIGPIPE once its reader has gone.
    sigset_t defaults;
    sigemptyset(&defaults);
    for (int s : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) sigaddset(&defaults, s);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
    // posix_spawn wants char* const[] but does not write to the strings.
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    // A program found through a relative PATH entry is relative to our directory, not the child's.
    std::string path = program;
    char cwd[4096];
    if (!dir.empty() && program[0] != '/' && getcwd(cwd, sizeof(cwd)))
        path = JoinPath(cwd, program);
    pid_t pid = -1;
    int status = posix_spawn(&pid, path.c_str(), &actions, &attributes, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    // glibc reports a program that cannot be executed here, not as a child that exits 127.
    if (status != 0) return -1;
    Remember(pid);
    return pid;
}

int WaitChild(pid_t pid) {
    int status = 0;
    // EINTR comes from our own handler, which has already told the child to stop: wait on.
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) {
            Forget(pid);
            return -1;
        }
    }
    Forget(pid);
    // A child killed by a signal counts as 128 + signal, as a shell reports it.
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : -1;
}

void StopChildren() {
    for (int i = 0; i < kMaxChildren; i++) {
        pid_t pid = gChildren[i];
        if (pid > 0) kill(pid, SIGTERM);
    }
}

int RunChildToFiles(const std::string& program, const std::vector<std::string>& argv,
                    const std::string& outPath, const std::string& errPath) {
    // Files rather than a pipe: the output is read once the child has ended, and a file, unlike
    // an unread pipe, never fills up and stalls the writer.
    int outFd = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    int errFd = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    pid_t pid = outFd >= 0 && errFd >= 0 ? StartChild(program, argv, outFd, errFd) : -1;
    if (outFd >= 0) close(outFd);
    if (errFd >= 0) close(errFd);
    return pid < 0 ? -1 : WaitChild(pid);
}

void RegisterTemporary(const std::string& path) {
    gTemporaries.push_back(path);
}

void ForgetTemporary(const std::string& path) {
    std::erase(gTemporaries, path);
}

void RemoveTemporaries() {
    std::error_code ec;
    // Newest first: files placed inside a registered directory go before the directory.
    for (auto it = gTemporaries.rbegin(); it != gTemporaries.rend(); ++it)
        std::filesystem::remove_all(*it, ec);
    gTemporaries.clear();
}

std::string MakeTemporaryDirectory() {
    // mkdtemp creates the directory with mode 0700 under a name no other run can take.
    const char* base = getenv("TMPDIR");
    std::string pattern = JoinPath(base && *base ? base : "/tmp", "tqr-render-XXXXXX");
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (!mkdtemp(buffer.data())) return "";
    std::string dir = buffer.data();
    RegisterTemporary(dir);
    return dir;
}

}  // namespace tqrender
