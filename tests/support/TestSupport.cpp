// Shared test helpers.
#include "support/TestSupport.h"

#include <fcntl.h>
#include <grp.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "TqColor/TqColor.h"
#include "TqPov/TqPov.h"
#include "Tqr/Tqr.h"

namespace fs = std::filesystem;

TestRun::TestRun() : run_(std::make_unique<TqrRun>()) {
    InitRun(run_.get(), out_.fp(), err_.fp());
    FillInColours(colours(), diag());
    RefreshLoader();
}

void TestRun::RefreshLoader() {
    InitLoader(loader(), &settings(), &settings().TqInput, diag(), library(), colours(), model());
    ConnectSceneWriter(writer(), loader());
}

void TestRun::UseLibrary(const std::string& root) {
    libraryRoot_ = root;
    EnvGuard env(CleanLibraryEnv("/nonexistent"));
    settings().MyLDrawDir = libraryRoot_.c_str();
    ReadColours(run());
    LDrawIniComputeRealDirs(library()->LDrawIni, 1, 1, nullptr);
    RefreshLoader();
}

std::string TestRun::ReadDatText(const std::string& text, const char* name, bool isMainModel,
                                 PartEntry** entry) {
    PartEntry* part = RegisterPart(model(), diag(), 0, name);
    if (entry) *entry = part;
    if (!part) return "";
    std::string copy = text;
    FILE* fp = fmemopen(copy.data(), copy.size(), "r");
    if (!fp) fp = fopen("/dev/null", "r");
    size_t before = Out().size();
    ReadDatFile(loader(), fp, part, isMainModel ? nullptr : "ref.ldr", isMainModel);
    return Out().substr(before);
}

TempDir::TempDir() {
    char pattern[] = "/tmp/tqr-test-XXXXXX";
    char* made = mkdtemp(pattern);
    path_ = made ? made : "/tmp";
}

TempDir::~TempDir() {
    std::error_code ec;
    if (path_ != "/tmp") fs::remove_all(path_, ec);
}

std::string TempDir::Write(const std::string& name, const std::string& content) const {
    std::string path = *this / name;
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << content;
    return path;
}

std::string TempDir::MakeDir(const std::string& name) const {
    std::string path = *this / name;
    fs::create_directories(path);
    return path;
}

static std::string ReadFd(int fd) {
    std::string s;
    char buf[65536];
    for (;;) {
        ssize_t n = read(fd, buf, sizeof(buf));
        if (n <= 0) break;
        s.append(buf, (size_t)n);
    }
    return s;
}

namespace {

// In the child: limits, privileges and streams as the options ask.
void PrepareChild(const RunOptions& options, int outFd, int errFd) {
    if (!options.stdoutPath.empty()) {
        outFd = open(options.stdoutPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (outFd < 0) _exit(127);
    }
    dup2(outFd, 1);
    dup2(errFd, 2);
    if (options.fileSizeLimit >= 0) {
        struct rlimit limit = {(rlim_t)options.fileSizeLimit, (rlim_t)options.fileSizeLimit};
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    if (options.unprivileged && geteuid() == 0) {
        if (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0) _exit(127);
    }
}

// Waits for the child, killing it when the timeout passes; the child's own peak memory too.
int WaitForChild(pid_t pid, int timeoutSeconds, long* peakKb) {
    int status = 0;
    struct rusage usage = {};
    auto start = std::chrono::steady_clock::now();
    for (;;) {
        pid_t done = wait4(pid, &status, timeoutSeconds > 0 ? WNOHANG : 0, &usage);
        if (done == pid) break;
        if (std::chrono::steady_clock::now() - start > std::chrono::seconds(timeoutSeconds)) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            return kTimedOut;
        }
        usleep(5000);
    }
    *peakKb = usage.ru_maxrss;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace

RunResult RunTqr(const std::vector<std::string>& args, const std::string& dir,
                 const std::map<std::string, std::string>& env, const RunOptions& options) {
    RunResult result;
    char outName[] = "/tmp/tqr-out-XXXXXX", errName[] = "/tmp/tqr-err-XXXXXX";
    int outFd = mkstemp(outName), errFd = mkstemp(errName);
    pid_t pid = fork();
    if (pid == 0) {
        PrepareChild(options, outFd, errFd);
        if (!dir.empty() && chdir(dir.c_str()) != 0) _exit(127);
        // A sanitizer finding must not pass for the program's own exit status 1.
        setenv("ASAN_OPTIONS", "exitcode=86:detect_leaks=1", 1);
        setenv("UBSAN_OPTIONS", "exitcode=86:halt_on_error=1:print_stacktrace=1", 1);
        for (const auto& [key, value] : env) {
            if (value == kUnsetEnv)
                unsetenv(key.c_str());
            else
                setenv(key.c_str(), value.c_str(), 1);
        }
        std::vector<char*> argv;
        // TQR_TEST_BINARY runs the suites against another build, e.g. an older one.
        const char* other = getenv("TQR_TEST_BINARY");
        std::string binary = other ? other : TQR_BINARY, name = "tqr";
        argv.push_back(name.data());  // the same command name in every build
        std::vector<std::string> copies = args;
        for (auto& a : copies) argv.push_back(a.data());
        argv.push_back(nullptr);
        execv(binary.c_str(), argv.data());
        _exit(127);
    }
    result.status = WaitForChild(pid, options.timeoutSeconds, &result.peakKb);
    lseek(outFd, 0, SEEK_SET);
    lseek(errFd, 0, SEEK_SET);
    result.out = ReadFd(outFd);
    result.err = ReadFd(errFd);
    close(outFd);
    close(errFd);
    unlink(outName);
    unlink(errName);
    return result;
}

EnvGuard::EnvGuard(const std::map<std::string, std::string>& values) {
    for (const auto& [key, value] : values) {
        const char* old = getenv(key.c_str());
        saved_[key] = {old != nullptr, old ? old : ""};
        if (value == kUnsetEnv)
            unsetenv(key.c_str());
        else
            setenv(key.c_str(), value.c_str(), 1);
    }
}

EnvGuard::~EnvGuard() {
    for (const auto& [key, old] : saved_) {
        if (old.first)
            setenv(key.c_str(), old.second.c_str(), 1);
        else
            unsetenv(key.c_str());
    }
}

std::map<std::string, std::string> CleanLibraryEnv(const std::string& home) {
    std::map<std::string, std::string> env = {{"HOME", home},
                                              {"LDRAWDIR", kUnsetEnv},
                                              {"LDRAWINI", kUnsetEnv},
                                              {"LDRAWSEARCH", kUnsetEnv},
                                              {"LGEODIR", kUnsetEnv}};
    for (int i = 1; i <= 5; i++) {
        char name[32];
        snprintf(name, sizeof(name), "LDRAWSEARCH%02d", i);
        env[name] = kUnsetEnv;
    }
    return env;
}

std::vector<LineEntry*> LinesOf(const PartEntry* part) {
    std::vector<LineEntry*> lines;
    for (LineEntry* line = part->FirstLine; line; line = line->Next) lines.push_back(line);
    return lines;
}

std::string TestNameOf(std::string name) {
    for (char& c : name) {
        if (!isalnum((unsigned char)c)) c = '_';
    }
    return name;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

bool FileExists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

std::string SourceDir() {
    return TQR_SOURCE_DIR;
}

bool HasNonFiniteNumber(const std::string& original) {
    // Comment lines may quote the model's own text; only scene code counts.
    std::string text;
    std::istringstream lines(original);
    for (std::string line; std::getline(lines, line);) {
        size_t comment = line.find("//");
        text += line.substr(0, comment) + "\n";
    }
    for (const char* word : {"nan", "inf"}) {
        for (size_t pos = text.find(word); pos != std::string::npos;
             pos = text.find(word, pos + 1)) {
            bool before = pos == 0 || !isalpha((unsigned char)text[pos - 1]);
            bool after = pos + 3 >= text.size() || !isalpha((unsigned char)text[pos + 3]);
            if (before && after) return true;
        }
    }
    return false;
}

bool HavePovray() {
    return system("command -v povray >/dev/null 2>&1") == 0;
}

std::string RenderScene(const std::string& scene, const std::string& png, int width, int height,
                        const std::vector<std::string>& libraryPaths, const std::string& options) {
    std::string command = "povray -V -D +W" + std::to_string(width) + " +H" +
                          std::to_string(height) + " " + options + " '+I" + scene + "' '+O" + png +
                          "'";
    for (const auto& dir : libraryPaths) command += " '+L" + dir + "'";
    std::string log = png + ".log";
    command += " >'" + log + "' 2>&1";
    int status = system(command.c_str());
    std::string messages = ReadFile(log);
    // On a machine busy with other tests POV-Ray may give up starting its worker threads; that
    // says nothing about the scene, so it gets a second chance.
    if (messages.find("Timed out waiting for worker thread startup") != std::string::npos) {
        status = system(command.c_str());
        messages = ReadFile(log);
    }
    unlink(log.c_str());
    bool parseError = messages.find("Parse Error") != std::string::npos;
    if (status == 0 && !parseError && FileExists(png)) return "";
    return messages.empty() ? "povray failed" : messages;
}

static std::string SharedSub(const char* sub) {
    std::string path = SourceDir() + "/../shared/" + sub;
    return fs::is_directory(path) ? fs::canonical(path).string() : "";
}

std::string SharedLDrawDir() {
    return SharedSub("ldraw");
}
std::string SharedModelsDir() {
    return SharedSub("models");
}

CaptureStdout::CaptureStdout() {
    fflush(stdout);
    testing::internal::CaptureStdout();
}

CaptureStdout::~CaptureStdout() {
    Out();
}

std::string CaptureStdout::Out() {
    if (!stopped_) {
        fflush(stdout);
        out_ = testing::internal::GetCapturedStdout();
        stopped_ = true;
    }
    return out_;
}
