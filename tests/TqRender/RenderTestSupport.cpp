// Helpers of the tqr-render tests.
#include "TqRender/RenderTestSupport.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>

namespace {

std::string ReadAll(int fd) {
    std::string s;
    char buf[65536];
    lseek(fd, 0, SEEK_SET);
    for (ssize_t n; (n = read(fd, buf, sizeof(buf))) > 0;) s.append(buf, (size_t)n);
    return s;
}

// In the child: directory, environment, then the program itself.
[[noreturn]] void ExecRender(const std::vector<std::string>& args, const std::string& dir,
                             const std::map<std::string, std::string>& env) {
    if (!dir.empty() && chdir(dir.c_str()) != 0) _exit(127);
    std::map<std::string, std::string> all = CleanLibraryEnv(getenv("HOME") ? getenv("HOME") : "/");
    for (const auto& [key, value] : env) all[key] = value;
    for (const auto& [key, value] : all) {
        if (value == kUnsetEnv)
            unsetenv(key.c_str());
        else
            setenv(key.c_str(), value.c_str(), 1);
    }
    std::vector<std::string> copies = args;
    std::vector<char*> argv;
    std::string name = "tqr-render";
    argv.push_back(name.data());
    for (auto& a : copies) argv.push_back(a.data());
    argv.push_back(nullptr);
    execv(TqrRenderBinary().c_str(), argv.data());
    _exit(127);
}

}  // namespace

// TQR_RENDER_TEST_BINARY runs the suites against another build, e.g. an older one.
std::string TqrRenderBinary() {
    const char* other = getenv("TQR_RENDER_TEST_BINARY");
    return other ? other : TQR_RENDER_BINARY;
}

RenderRun RunTqrRender(const std::vector<std::string>& args, const std::string& dir,
                       const std::map<std::string, std::string>& env,
                       const std::string& stdoutPath) {
    RenderRun run;
    char outName[] = "/tmp/tqr-render-out-XXXXXX", errName[] = "/tmp/tqr-render-err-XXXXXX";
    int outFd = mkstemp(outName), errFd = mkstemp(errName);
    pid_t pid = fork();
    if (pid == 0) {
        if (stdoutPath == kClosedStream) {
            close(1);
        } else {
            int fd =
                stdoutPath.empty() ? outFd : open(stdoutPath.c_str(), O_WRONLY | O_CREAT, 0644);
            dup2(fd, 1);
        }
        dup2(errFd, 2);
        close(outFd);
        close(errFd);
        int nullFd = open("/dev/null", O_RDONLY);
        dup2(nullFd, 0);
        ExecRender(args, dir, env);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    run.out = ReadAll(outFd);
    run.err = ReadAll(errFd);
    close(outFd);
    close(errFd);
    unlink(outName);
    unlink(errName);
    return run;
}

pid_t StartTqrRender(const std::vector<std::string>& args, const std::string& dir,
                     const std::map<std::string, std::string>& env, const std::string& errPath) {
    pid_t pid = fork();
    if (pid == 0) {
        int errFd = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int nullFd = open("/dev/null", O_RDWR);
        dup2(nullFd, 0);
        dup2(nullFd, 1);
        dup2(errFd, 2);
        ExecRender(args, dir, env);
    }
    return pid;
}

std::vector<pid_t> ProcessesUsing(const std::string& dir) {
    std::vector<pid_t> found;
    for (const std::string& entry : ListDir("/proc")) {
        if (entry.find_first_not_of("0123456789") != std::string::npos) continue;
        std::string proc = "/proc/" + entry;
        char cwd[4096];
        ssize_t n = readlink((proc + "/cwd").c_str(), cwd, sizeof(cwd) - 1);
        std::string where = n > 0 ? std::string(cwd, (size_t)n) : "";
        std::string command = ReadFile(proc + "/cmdline");
        if (where.rfind(dir, 0) == 0 || command.find(dir) != std::string::npos)
            found.push_back((pid_t)atoi(entry.c_str()));
    }
    return found;
}

std::pair<int, int> PngSize(const std::string& path) {
    std::string head = ReadFile(path).substr(0, 24);
    if (head.size() < 24 || head.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0) return {0, 0};
    auto big = [&](size_t at) {
        return (int)((uint8_t)head[at] << 24 | (uint8_t)head[at + 1] << 16 |
                     (uint8_t)head[at + 2] << 8 | (uint8_t)head[at + 3]);
    };
    return {big(16), big(20)};
}

bool HaveProgram(const std::string& name) {
    std::string command = "command -v " + name + " >/dev/null 2>&1";
    return system(command.c_str()) == 0;
}

std::string SharedLibraryOption() {
    return "-ldd" + SharedLDrawDir();
}

std::vector<std::string> ListDir(const std::string& dir) {
    std::vector<std::string> names;
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* e = readdir(d)) {
            std::string name = e->d_name;
            if (name != "." && name != "..") names.push_back(name);
        }
        closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

bool LoadPicture(const std::string& path, Image* image) {
    std::string error;
    bool ok = ReadImage(path, image, &error);
    EXPECT_TRUE(ok) << path << ": " << error;
    return ok;
}

bool BorderIsTransparent(const Image& image, double share) {
    int bandX = (int)(image.width * share + 0.999), bandY = (int)(image.height * share + 0.999);
    for (int y = 0; y < image.height; y++) {
        for (int x = 0; x < image.width; x++) {
            bool border =
                x < bandX || x >= image.width - bandX || y < bandY || y >= image.height - bandY;
            if (border && image.Alpha(x, y) != 0) return false;
        }
    }
    return true;
}

void OpaqueSpan(const Image& image, double* spanX, double* spanY) {
    PixelRect box = OpaqueBounds(image);
    *spanX = box.x1 <= box.x0 ? 0 : (box.x1 - box.x0) / (double)image.width;
    *spanY = box.y1 <= box.y0 ? 0 : (box.y1 - box.y0) / (double)image.height;
}

long DifferentPixels(const Image& a, const Image& b, int tolerance) {
    if (a.width != b.width || a.height != b.height || a.channels != b.channels) return -1;
    long count = 0;
    for (size_t i = 0; i < a.pixels.size(); i += (size_t)a.channels) {
        for (int c = 0; c < a.channels; c++) {
            if (abs(a.pixels[i + c] - b.pixels[i + c]) > tolerance) {
                count++;
                break;
            }
        }
    }
    return count;
}

std::string TargaHeader(int width, int height, int bits, int type, bool topDown) {
    std::string h(18, '\0');
    h[2] = (char)type;
    h[12] = (char)(width & 0xFF), h[13] = (char)(width >> 8);
    h[14] = (char)(height & 0xFF), h[15] = (char)(height >> 8);
    h[16] = (char)bits;
    h[17] = (char)(topDown ? 0x20 : 0) | (bits == 32 ? 8 : 0);
    return h;
}
