// Converts the large real models repeatedly and reports wall time, peak memory, files opened and
// directories listed, beside a floor: reading every input file once and writing a scene of the
// same size. Usage: build/bench/tqr_bench [runs] [model names...] (default 5 runs, the Millennium
// Falcon and Datsville from ../shared/models, against ../shared/ldraw).
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "TqInput/TqInput.h"
#include "Tqr/Tqr.h"

namespace {

struct RunStats {
    double seconds = 0;
    long peakKb = 0;
    long opens = 0, listings = 0;
    long sceneBytes = 0;
    std::vector<std::string> files;
};

void RecordOpened(void* files, const char* path) {
    static_cast<std::set<std::string>*>(files)->insert(path);
}

double Now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// One conversion in a child process, so that every run starts cold and peak memory is its own.
RunStats ConvertOnce(const std::string& ldraw, const std::string& model, const std::string& scene) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) exit(2);
    double start = Now();
    pid_t pid = fork();
    if (pid == 0) {
        close(pipeFds[0]);
        int devNull = open("/dev/null", O_WRONLY);
        dup2(devNull, 1);
        dup2(devNull, 2);
        std::set<std::string> files;
        std::string lddArg = "-ldd" + ldraw;
        std::vector<std::string> args = {"tqr", lddArg, "-o", model, scene};
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        auto run = std::make_unique<TqrRun>();
        InitRun(run.get(), stdout, stderr);
        run->library.OnFileOpened = RecordOpened;
        run->library.onFileOpenedUser = &files;
        int status = RunTqr(run.get(), (int)args.size(), argv.data());
        const LDrawIniS* ini = run->library.LDrawIni;
        long listings = ini && ini->DirCache ? ini->DirCache->nDirectoryListings : 0;
        FILE* report = fdopen(pipeFds[1], "w");
        fprintf(report, "%d %ld %ld\n", status, run->library.nFileOpenAttempts, listings);
        for (const auto& f : files) fprintf(report, "%s\n", f.c_str());
        fclose(report);
        _exit(status);
    }
    close(pipeFds[1]);
    FILE* report = fdopen(pipeFds[0], "r");
    RunStats stats;
    int status = 1;
    if (fscanf(report, "%d %ld %ld\n", &status, &stats.opens, &stats.listings) != 3) status = 1;
    char line[4096];
    while (fgets(line, sizeof(line), report)) {
        line[strcspn(line, "\n")] = '\0';
        stats.files.push_back(line);
    }
    fclose(report);
    struct rusage usage;
    int waitStatus;
    wait4(pid, &waitStatus, 0, &usage);
    stats.seconds = Now() - start;
    stats.peakKb = usage.ru_maxrss;
    struct stat st;
    stats.sceneBytes = stat(scene.c_str(), &st) == 0 ? (long)st.st_size : 0;
    if (status != 0) fprintf(stderr, "conversion of %s failed\n", model.c_str());
    return stats;
}

// The floor: read each input file once and write a file as large as the scene.
double IoFloor(const std::vector<std::string>& files, long sceneBytes, const std::string& out) {
    double start = Now();
    std::vector<char> buffer(1 << 16);
    for (const auto& file : files) {
        FILE* fp = fopen(file.c_str(), "rb");
        if (!fp) continue;
        while (fread(buffer.data(), 1, buffer.size(), fp) == buffer.size()) {
        }
        fclose(fp);
    }
    FILE* fp = fopen(out.c_str(), "w");
    std::fill(buffer.begin(), buffer.end(), 'x');
    for (long left = sceneBytes; left > 0; left -= (long)buffer.size())
        fwrite(buffer.data(), 1, (size_t)std::min<long>(left, (long)buffer.size()), fp);
    fclose(fp);
    return Now() - start;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    int runs = argc > 1 ? atoi(argv[1]) : 5;
    if (runs < 1) runs = 1;
    std::string shared = std::string(TQR_SHARED_DIR);
    std::vector<std::string> models;
    for (int i = 2; i < argc; i++) models.push_back(argv[i]);
    if (models.empty())
        models = {"10179-1 - Millennium Falcon - UCS.mpd",
                  "datsville_rev002.013_inlined_n_boxed_n.mpd"};
    char work[] = "/tmp/tqr-bench-XXXXXX";
    if (!mkdtemp(work)) return 2;
    printf("%-44s %8s %8s %9s %7s %9s %9s %6s\n", "model", "median s", "min s", "peak MB", "opens",
           "listings", "floor s", "ratio");
    for (const auto& name : models) {
        std::string model = shared + "/models/" + name, scene = std::string(work) + "/scene.pov";
        ConvertOnce(shared + "/ldraw", model, scene);  // warm the file cache
        std::vector<double> times, floors;
        RunStats last;
        for (int r = 0; r < runs; r++) {
            last = ConvertOnce(shared + "/ldraw", model, scene);
            times.push_back(last.seconds);
        }
        last.files.push_back(model);
        for (int r = 0; r < runs; r++)
            floors.push_back(
                IoFloor(last.files, last.sceneBytes, std::string(work) + "/floor.out"));
        double median = Median(times), floor = Median(floors);
        printf("%-44.44s %8.3f %8.3f %9.1f %7ld %9ld %9.3f %6.1f\n", name.c_str(), median,
               *std::min_element(times.begin(), times.end()), last.peakKb / 1024.0, last.opens,
               last.listings, floor, median / floor);
    }
    std::string cleanup = std::string("rm -rf ") + work;
    return system(cleanup.c_str()) == 0 ? 0 : 1;
}
