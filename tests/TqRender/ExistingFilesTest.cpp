// Files that exist where a run writes, with the real programs: --force replaces pictures and
// files this program made, never the model, a band being joined or what is no regular file; an
// existing plan or kept scene, or an edited copy of the look, needs --force; and of two runs
// that make the same picture at once, only one writes it.
#include <sys/stat.h>
#include <sys/wait.h>

#include <filesystem>

#include "TqRender/RenderTestSupport.h"
#include "TqRender/TqRender.h"

namespace fs = std::filesystem;

namespace {

class TqRenderExistingFiles : public SharedModelRender {
protected:
    RenderRun Render(std::vector<std::string> args, const std::string& dir) {
        args.insert(args.begin(), {"--size=32x24", "--quality=draft"});
        args.insert(args.end(), {"--", SharedLibraryOption()});
        return RunTqrRender(args, dir, env_);
    }
};

bool IsFifo(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0 && S_ISFIFO(st.st_mode);
}

}  // namespace

TEST_F(TqRenderExistingFiles, ForceNeverWritesOverTheModelABandOrWhatIsNoRegularFile) {
    const std::string model = ReadFile(SharedModelsDir() + "/car.ldr");
    const std::string band = TargaHeader(1, 1, 24, 2, true) + std::string(3, '\0');
    const struct {
        std::vector<std::string> args;
        const char* reason;  // "" = written
        const char* kept;    // a file that keeps its content, "" for none
    } kCases[] = {
        {{"--force", "car.ldr", "pipe.png"}, "pipe.png is not a regular file", ""},
        {{"--force", "car.ldr", "car.ldr"}, "car.ldr is the model", "car.ldr"},
        {{"--force", "--plan", "car.ldr", "car.ldr"}, "car.ldr is the model", "car.ldr"},
        {{"--plan", "jobs.txt", "car.ldr"}, "jobs.txt exists; use --force", "jobs.txt"},
        {{"--plan", "jobs.txt", "--force", "car.ldr"}, "", ""},
        {{"--assemble", "--force", "b-band-01-of-01.tga", "b-band-01-of-01.tga"},
         "b-band-01-of-01.tga is one of the bands",
         "b-band-01-of-01.tga"},
    };
    int n = 0;
    for (const auto& c : kCases) {
        std::string name = "case" + std::to_string(++n), dir = work_.MakeDir(name);
        work_.Write(name + "/car.ldr", model);
        work_.Write(name + "/jobs.txt", "mine\n");
        work_.Write(name + "/b-band-01-of-01.tga", band);
        ASSERT_EQ(mkfifo((dir + "/pipe.png").c_str(), 0644), 0);
        std::string before = *c.kept ? ReadFile(dir + "/" + c.kept) : "";
        RenderRun r = Render(c.args, dir);
        std::string what = c.args[1] + " " + c.args[2];
        if (!*c.reason) {
            EXPECT_EQ(r.status, 0) << what << "\n" << r.err;
            continue;
        }
        EXPECT_EQ(r.status, 1) << what << "\n" << r.err;
        EXPECT_NE(r.err.find(c.reason), std::string::npos) << what << "\n" << r.err;
        EXPECT_TRUE(IsFifo(dir + "/pipe.png")) << what;
        if (*c.kept) {
            EXPECT_EQ(ReadFile(dir + "/" + c.kept), before) << what;
        }
        EXPECT_EQ(ListDir(dir), (std::vector<std::string>{"b-band-01-of-01.tga", "car.ldr",
                                                          "jobs.txt", "pipe.png"}))
            << what;
    }
}

// The manual suggests editing a kept scene and rendering it again; a second run into the same
// directory must not take that work away unasked. Copies of the look that are unchanged are no
// obstacle.
TEST_F(TqRenderExistingFiles, KeptScenesAndEditedCopiesOfTheLookNeedForce) {
    std::string model = SharedModelsDir() + "/car.ldr";
    ASSERT_EQ(Render({"--keep-scene", "kept", model, "first.png"}, work_.Path()).status, 0);
    std::string edited = ReadFile(work_ / "kept/first.pov") + "// my change\n";
    work_.Write("kept/first.pov", edited);
    fs::remove(work_ / "first.png");
    RenderRun again = Render({"--keep-scene", "kept", model, "first.png"}, work_.Path());
    EXPECT_EQ(again.status, 1) << again.err;
    EXPECT_NE(again.err.find("kept/first.pov exists; use --force"), std::string::npos) << again.err;
    EXPECT_EQ(ReadFile(work_ / "kept/first.pov"), edited);
    EXPECT_FALSE(FileExists(work_ / "first.png"));

    RenderRun second = Render({"--keep-scene", "kept", model, "second.png"}, work_.Path());
    EXPECT_EQ(second.status, 0) << second.err;

    std::string look = ReadFile(work_ / "kept/tqr-studio.inc") + "// my look\n";
    work_.Write("kept/tqr-studio.inc", look);
    RenderRun third = Render({"--keep-scene", "kept", model, "third.png"}, work_.Path());
    EXPECT_EQ(third.status, 1) << third.err;
    EXPECT_NE(third.err.find("kept/tqr-studio.inc exists; use --force"), std::string::npos)
        << third.err;
    EXPECT_EQ(ReadFile(work_ / "kept/tqr-studio.inc"), look);
    EXPECT_FALSE(FileExists(work_ / "kept/third.pov"));

    RenderRun forced =
        Render({"--force", "--keep-scene", "kept", model, "first.png"}, work_.Path());
    EXPECT_EQ(forced.status, 0) << forced.err;
    EXPECT_EQ(ReadFile(work_ / "kept/tqr-studio.inc"),
              ReadFile(SourceDir() + "/pov/tqr-studio.inc"));
    EXPECT_NE(ReadFile(work_ / "kept/first.pov"), edited);
}

// Both runs pass the check at their start; the one that finishes second must find the name
// taken instead of replacing the first one's picture and also reporting it written.
TEST_F(TqRenderExistingFiles, OfTwoRunsForOnePictureOnlyOneWritesIt) {
    std::vector<std::string> args = {"--size=200x150",
                                     "--quality=normal",
                                     SharedModelsDir() + "/1180-1 - Space Port Moon Buggy.mpd",
                                     "buggy.png",
                                     "--",
                                     SharedLibraryOption()};
    TempDir logs;
    pid_t first = StartTqrRender(args, work_.Path(), env_, logs / "first.log");
    pid_t second = StartTqrRender(args, work_.Path(), env_, logs / "second.log");
    int statuses[2] = {-1, -1};
    for (int i = 0; i < 2; i++) {
        int status = 0;
        waitpid(i == 0 ? first : second, &status, 0);
        statuses[i] = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    std::string said = ReadFile(logs / "first.log") + ReadFile(logs / "second.log");
    EXPECT_EQ(statuses[0] + statuses[1], 1) << said;
    EXPECT_EQ(statuses[0] * statuses[1], 0) << said;
    EXPECT_NE(said.find("buggy.png appeared while this run was rendering; use --force"),
              std::string::npos)
        << said;
    EXPECT_EQ(ListDir(work_.Path()), std::vector<std::string>{"buggy.png"});
    EXPECT_EQ(PngSize(work_ / "buggy.png"), std::make_pair(200, 150));
    EXPECT_TRUE(ListDir(tmp_.Path()).empty());
}
