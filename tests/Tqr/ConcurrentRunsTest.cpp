// Two conversions at once in one process share nothing: run side by side in two threads through
// the library's entry point, each gives the scene and the console output of a tqr process of
// its own.
#include <unistd.h>

#include <string>
#include <thread>
#include <vector>

#include "Tqr/Tqr.h"
#include "support/TestSupport.h"

namespace {

// The date line is the only text that differs from run to run.
std::string WithoutDate(const std::string& scene) {
    std::string out;
    size_t start = 0;
    while (start < scene.size()) {
        size_t end = scene.find('\n', start);
        end = end == std::string::npos ? scene.size() : end + 1;
        std::string line = scene.substr(start, end - start);
        if (line.rfind("// Date:", 0) != 0) out += line;
        start = end;
    }
    return out;
}

// One conversion's arguments and what it produced.
struct Conversion {
    std::vector<std::string> args;  // argv, the program name first
    std::string scene;              // the scene path among the arguments
    int status = -1;
    std::string out, err, sceneText;
};

// The conversion in this process, as the thread that runs it sees it.
void RunInProcess(Conversion* c) {
    std::vector<char*> argv;
    for (std::string& a : c->args) argv.push_back(a.data());
    argv.push_back(nullptr);
    MemoryStream out, err;
    c->status = TqrMain((int)c->args.size(), argv.data(), out.fp(), err.fp());
    c->out = out.Text();
    c->err = err.Text();
    c->sceneText = WithoutDate(ReadFile(c->scene));
}

// Restores the working directory at the end of the scope.
class WorkingDirectory {
public:
    explicit WorkingDirectory(const std::string& dir) {
        if (!getcwd(saved_, sizeof(saved_))) saved_[0] = '\0';
        ok_ = chdir(dir.c_str()) == 0;
    }
    ~WorkingDirectory() {
        if (saved_[0] && chdir(saved_) != 0) perror("chdir");
    }
    bool ok() const { return ok_; }

private:
    char saved_[4096];
    bool ok_ = false;
};

}  // namespace

TEST(ConcurrentRuns, TwoConversionsInTwoThreadsMatchTwoProcesses) {
    TempDir dir;
    std::string samples = SourceDir() + "/samples";
    // A second model with faults, so that the input diagnostics (standard output) have something
    // to say, converted with -stdout, other options and its own colour file.
    dir.Write("colours.ldr", "0 !COLOUR Signal CODE 4 VALUE #E00000 EDGE 0\n");
    dir.Write("faulty.mpd",
              "0 FILE faulty.mpd\n0 Faulty model\n1 4 0 0 0 1 0 0 0 1 0 0 0 1 sub.ldr\n"
              "1 14 0 -24 0 1 0 0 0 1 0 0 0 1 3003.dat\n0 STEP\n"
              "1 99 0 -48 0 1 0 0 0 1 0 0 0 1 3003.dat\n3 4 0 0 0 1 1 1\n"
              "1 4 0 0 0 1 0 0 0 1 0 0 0 1 missing.dat\n"
              "0 FILE sub.ldr\n4 16 0 0 0 10 0 0 10 0 10 0 0 10\n0 BFC CW\n");
    std::vector<Conversion> conversions(2);
    conversions[0].args = {"tqr", "-ldd" + samples + "/ldraw", "-o",       "-q3", "-cg20,60,0",
                           "-v",  samples + "/tower.ldr",      "tower.pov"};
    conversions[0].scene = dir / "tower.pov";
    conversions[1].args = {"tqr",
                           "-stdout",
                           "-ldd" + samples + "/ldraw",
                           "-ldc" + dir / "colours.ldr",
                           "-o",
                           "-w2",
                           "-sc",
                           "-f",
                           "-lsl",
                           "-b",
                           "faulty.mpd",
                           "faulty.pov"};
    conversions[1].scene = dir / "faulty.pov";

    // Each as a process of its own first, in the same directory, with the same arguments.
    std::vector<RunResult> processes;
    std::vector<std::string> processScenes;
    for (const Conversion& c : conversions) {
        std::vector<std::string> args(c.args.begin() + 1, c.args.end());
        processes.push_back(RunTqr(args, dir.Path(), CleanLibraryEnv(dir.Path())));
        processScenes.push_back(WithoutDate(ReadFile(c.scene)));
        ASSERT_FALSE(processScenes.back().empty()) << c.args.back() << processes.back().err;
        unlink(c.scene.c_str());
    }
    EXPECT_NE(processes[1].out.find("Unknown color, using 7"), std::string::npos);
    EXPECT_NE(processes[1].out.find("Could not find missing.dat"), std::string::npos);

    // Then both at once, several times over so that their reading and writing interleave.
    EnvGuard env(CleanLibraryEnv(dir.Path()));
    WorkingDirectory cwd(dir.Path());
    ASSERT_TRUE(cwd.ok());
    for (int round = 0; round < 3; round++) {
        std::thread first(RunInProcess, &conversions[0]);
        std::thread second(RunInProcess, &conversions[1]);
        first.join();
        second.join();
        for (size_t i = 0; i < conversions.size(); i++) {
            const Conversion& c = conversions[i];
            SCOPED_TRACE(c.args.back() + " round " + std::to_string(round));
            EXPECT_EQ(c.status, processes[i].status);
            EXPECT_EQ(c.out, processes[i].out);
            EXPECT_EQ(c.err, processes[i].err);
            EXPECT_EQ(c.sceneText, processScenes[i]);
        }
    }
    EXPECT_EQ(conversions[0].status, 0);
    EXPECT_NE(conversions[1].out.find("Could not find missing.dat"), std::string::npos);
}
