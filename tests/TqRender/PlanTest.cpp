// Plans: the commands run with GNU parallel from the current directory, the printed command
// joins the bands, and the result is the picture a direct render gives.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "TqRender/RenderTestSupport.h"
#include "TqRender/TqRender.h"

TEST(TqRenderPlan, BandsRunInParallelJoinIntoTheDirectRender) {
    if (SharedLDrawDir().empty() || SharedModelsDir().empty()) GTEST_SKIP() << "no shared files";
    if (!HavePovray()) GTEST_SKIP() << "povray not installed";
    if (!HaveProgram("parallel")) GTEST_SKIP() << "GNU parallel not installed";
    TempDir work;
    std::string model = SharedModelsDir() + "/1180-1 - Space Port Moon Buggy.mpd";
    std::vector<std::string> common = {"--size=96x72", "--transparent", model};
    std::vector<std::string> plan = common;
    plan.insert(plan.begin(), {"--plan", "the plan/commands.txt", "--jobs", "3"});
    plan.insert(plan.end(), {"moon buggy.png", "--", SharedLibraryOption()});
    RenderRun planned = RunTqrRender(plan, work.Path());
    ASSERT_EQ(planned.status, 0) << planned.err;
    EXPECT_FALSE(FileExists(work / "moon buggy.png"));
    std::string commands = ReadFile(work / "the plan/commands.txt");
    EXPECT_EQ(std::count(commands.begin(), commands.end(), '\n'), 3) << commands;
    EXPECT_NE(commands.find("the plan/moon buggy-band-03-of-03-"), std::string::npos) << commands;
    // Another machine has only the plan's files: run it in a copy of them, somewhere else.
    TempDir elsewhere;
    std::filesystem::copy(work / "the plan", elsewhere / "the plan");
    std::string run = "cd '" + elsewhere.Path() + "' && parallel -j2 < 'the plan/commands.txt' " +
                      ">/dev/null 2>&1 && PATH='" + tqrender::DirName(TqrRenderBinary()) +
                      "':\"$PATH\" " + planned.out;
    ASSERT_EQ(system(run.c_str()), 0) << run;
    std::vector<std::string> direct = common;
    direct.insert(direct.end(), {"direct.png", "--", SharedLibraryOption()});
    ASSERT_EQ(RunTqrRender(direct, work.Path()).status, 0);
    Image joined, whole;
    ASSERT_TRUE(LoadPicture(elsewhere / "moon buggy.png", &joined));
    ASSERT_TRUE(LoadPicture(work / "direct.png", &whole));
    EXPECT_EQ(joined.channels, 4);
    EXPECT_EQ(DifferentPixels(joined, whole, 1), 0);
}

TEST(TqRenderPlan, BandsCoverEveryRowOnce) {
    for (int height : {1, 7, 48, 600}) {
        for (int count : {1, 2, 3, 8}) {
            if (count > height) continue;
            int expectedFirst = 1;
            for (int i = 0; i < count; i++) {
                int first, last;
                tqrender::BandRows(height, count, i, &first, &last);
                EXPECT_EQ(first, expectedFirst) << height << "/" << count << " band " << i;
                EXPECT_GE(last, first) << height << "/" << count << " band " << i;
                expectedFirst = last + 1;
            }
            EXPECT_EQ(expectedFirst, height + 1) << height << "/" << count;
        }
    }
}

// Three one-pixel rows, each band rendering its own row in its own shade (the rest black, as in
// a POV-Ray band); the same bands under a plan's token, two of them exchanged; and one of another
// plan.
TEST(TqRenderPlan, AssembleOrdersNamedBandsAndRefusesAnIncompleteSet) {
    TempDir work;
    for (int i = 0; i < 3; i++) {
        std::string rows(9, '\0');
        rows.replace((size_t)i * 3, 3, 3, (char)(60 + 60 * i));
        std::string band = TargaHeader(1, 3, 24, 2, true) + rows;
        work.Write(tqrender::BandFileName("car", i, 3, ""), band);
        work.Write(tqrender::BandFileName("car", 2 - i, 3, "0a1b2c3d"), band);
    }
    work.Write("car-band-02-of-03-99999999.tga", ReadFile(work / "car-band-02-of-03.tga"));
    work.Write("car-band-01-of-02.tga", TargaHeader(1, 3, 24, 2, true) + std::string(9, '\0'));
    auto assemble = [&](std::vector<std::string> bands) {
        bands.insert(bands.begin(), {"--assemble", "--force", "car.png"});
        return RunTqrRender(bands, work.Path());
    };
    RenderRun shuffled =
        assemble({"car-band-03-of-03.tga", "car-band-01-of-03.tga", "car-band-02-of-03.tga"});
    ASSERT_EQ(shuffled.status, 0) << shuffled.err;
    Image joined;
    ASSERT_TRUE(LoadPicture(work / "car.png", &joined));
    for (int y = 0; y < 3; y++) EXPECT_EQ(joined.At(0, y)[0], 60 + 60 * y) << "row " << y;
    std::remove((work / "car.png").c_str());
    const struct {
        std::vector<std::string> bands;
        std::string error;
    } refused[] = {
        {{"car-band-01-of-03.tga", "car-band-03-of-03.tga"},
         "band 2 of 3 is missing: car-band-02-of-03.tga"},
        {{"car-band-01-of-03.tga", "car-band-02-of-03.tga", "car-band-02-of-03.tga"},
         "car-band-02-of-03.tga is given twice"},
        {{"car-band-01-of-03.tga", "car-band-01-of-02.tga"},
         "car-band-01-of-03.tga and car-band-01-of-02.tga are bands of different plans"},
        {{"car-band-01-of-03.tga", "nowhere-band-02-of-03.tga", "car-band-03-of-03.tga"},
         "cannot read nowhere-band-02-of-03.tga"},
        {{"car-band-01-of-03-0a1b2c3d.tga", "car-band-02-of-03-0a1b2c3d.tga",
          "car-band-03-of-03-0a1b2c3d.tga"},
         "car-band-01-of-03-0a1b2c3d.tga: it is not band 1 of 3: it has pixels outside rows 1 "
         "to 1"},
        {{"car-band-01-of-03-0a1b2c3d.tga", "car-band-02-of-03-99999999.tga",
          "car-band-03-of-03-0a1b2c3d.tga"},
         "car-band-01-of-03-0a1b2c3d.tga and car-band-02-of-03-99999999.tga are bands of "
         "different plans"},
        {{"car-band-01-of-03-0a1b2c3d.tga", "car-band-03-of-03-0a1b2c3d.tga"},
         "band 2 of 3 is missing: car-band-02-of-03-0a1b2c3d.tga"},
    };
    for (const auto& c : refused) {
        RenderRun r = assemble(c.bands);
        EXPECT_EQ(r.status, 1) << c.error;
        EXPECT_NE(r.err.find(c.error + "\n"), std::string::npos) << r.err;
        EXPECT_FALSE(FileExists(work / "car.png")) << c.error;
    }
}

// A band's header decides how much memory its pixels take: it is believed only as far as the
// plan's size and the file's length bear it out, so a few bytes cannot make the program take
// gigabytes (or abort trying).
TEST(TqRenderPlan, AssembleRefusesABandOfAnotherSizeBeforeReadingItsPixels) {
    TempDir work;
    work.Write("huge-band-01-of-01.tga", TargaHeader(65535, 65535, 32, 2, true) + "12345");
    work.Write("rle-band-01-of-01.tga", TargaHeader(16384, 16384, 32, 10, true) +
                                            "\xff"
                                            "1234");
    work.Write("small-band-01-of-01.tga", TargaHeader(4, 3, 24, 2, true) + std::string(36, '\0'));
    const struct {
        std::vector<std::string> args;
        const char* error;
    } kCases[] = {
        {{"--size", "96x72", "huge-band-01-of-01.tga"},
         "huge-band-01-of-01.tga is not a band of this picture: it is 65535x65535, the picture "
         "96x72"},
        {{"huge-band-01-of-01.tga"},
         "huge-band-01-of-01.tga is not a band of this picture: it is 65535x65535, more than "
         "16384 either way"},
        {{"rle-band-01-of-01.tga"}, "rle-band-01-of-01.tga is truncated"},
        {{"--size", "96x72", "small-band-01-of-01.tga"},
         "small-band-01-of-01.tga is not a band of this picture: it is 4x3, the picture 96x72"},
    };
    for (const auto& c : kCases) {
        std::vector<std::string> args = c.args;
        args.insert(args.begin(), {"--assemble", "out.png"});
        RenderRun r = RunTqrRender(args, work.Path());
        EXPECT_EQ(r.status, 1) << c.error << "\n" << r.err;
        EXPECT_NE(r.err.find(std::string(c.error) + "\n"), std::string::npos) << r.err;
        EXPECT_FALSE(FileExists(work / "out.png")) << c.error;
    }
}

namespace {

// Plans of the shared car, run with GNU parallel where the test needs it.
class TqRenderPlanRun : public SharedModelRender {
protected:
    void SetUp() override {
        SharedModelRender::SetUp();
        if (!IsSkipped() && !HaveProgram("parallel")) GTEST_SKIP() << "GNU parallel not installed";
    }
    RenderRun Plan(std::vector<std::string> args, const std::string& dir,
                   const std::string& camera = "-cg30,45") {
        args.insert(args.begin(), {"--size=48x36", "--quality=draft", "--jobs=3"});
        args.insert(args.end(), {"--", SharedLibraryOption(), camera});
        return RunTqrRender(args, dir, env_);
    }
    // Runs the plan's commands (the first `count` of them, all when 0) with parallel in dir.
    int RunCommands(const std::string& dir, const std::string& plan, int count = 0) {
        std::string head = count ? "head -n " + std::to_string(count) + " '" + plan + "' | " : "";
        std::string input = count ? "" : " < '" + plan + "'";
        std::string command =
            "cd '" + dir + "' && " + head + "parallel -j2" + input + " >/dev/null 2>&1";
        return system(command.c_str());
    }
    std::string car_ = SharedModelsDir() + "/car.ldr";
};

}  // namespace

// parallel reads one command a line: a line break in OUT, or in the model's name that gives
// the default OUT, would end a command and start another, which parallel runs as given.
TEST_F(TqRenderPlanRun, ALineBreakInANameCannotSplitAPlanCommand) {
    work_.Write("m\ntouch INJECTED #.ldr", ReadFile(car_));
    const std::vector<std::string> kCases[] = {
        {car_, "x\ntouch INJECTED #.png"},
        {"m\ntouch INJECTED #.ldr"},
    };
    for (const auto& names : kCases) {
        std::filesystem::remove(work_ / "INJECTED");
        std::filesystem::remove_all(work_ / "plan");
        std::vector<std::string> args = {"--plan", "plan/jobs.txt"};
        args.insert(args.end(), names.begin(), names.end());
        RenderRun r = Plan(args, work_.Path());
        if (FileExists(work_ / "plan/jobs.txt")) RunCommands(work_.Path(), "plan/jobs.txt");
        EXPECT_FALSE(FileExists(work_ / "INJECTED")) << names.back();
        EXPECT_EQ(r.status, 1) << r.err;
        EXPECT_NE(r.err.find("?touch INJECTED #.png holds a control character"), std::string::npos)
            << r.err;
        EXPECT_FALSE(FileExists(work_ / "plan")) << names.back();
    }
}

// A plan made again into the same folder (another camera, say) must not join with bands of the
// earlier one that are still there when some of its own commands failed or did not run.
TEST_F(TqRenderPlanRun, BandsOfAnEarlierPlanAreNeverJoinedIntoANewOne) {
    RenderRun first = Plan({"--plan", "plan/jobs.txt", car_}, work_.Path(), "-cg30,45");
    ASSERT_EQ(first.status, 0) << first.err;
    ASSERT_EQ(RunCommands(work_.Path(), "plan/jobs.txt"), 0);
    RenderRun second =
        Plan({"--force", "--plan", "plan/jobs.txt", car_}, work_.Path(), "-cg30,225");
    ASSERT_EQ(second.status, 0) << second.err;
    ASSERT_EQ(RunCommands(work_.Path(), "plan/jobs.txt", 1), 0);
    std::string path = "PATH='" + tqrender::DirName(TqrRenderBinary()) + "':\"$PATH\" ";
    std::string command = second.out.substr(0, second.out.find('\n'));
    std::string printed = "cd '" + work_.Path() + "' && " + path + command + " 2>printed.log";
    EXPECT_NE(system(printed.c_str()), 0);
    EXPECT_NE(ReadFile(work_ / "printed.log").find("cannot read plan/car-band-02-of-03-"),
              std::string::npos)
        << ReadFile(work_ / "printed.log");
    std::string pattern = "cd '" + work_.Path() + "' && " + path +
                          "tqr-render --assemble car.png plan/car-band-*.tga 2>pattern.log";
    EXPECT_NE(system(pattern.c_str()), 0);
    EXPECT_NE(ReadFile(work_ / "pattern.log").find("are bands of different plans"),
              std::string::npos)
        << ReadFile(work_ / "pattern.log");
    EXPECT_FALSE(FileExists(work_ / "car.png"));
}

// Stopped while it converts the frames of a turntable, a plan removes the folder it made, with
// the scenes and the copies of the look in it.
TEST_F(TqRenderPlanRun, AnInterruptedPlanLeavesNothingBehind) {
    TempDir logs;
    pid_t pid = StartTqrRender(
        {"--turntable=400", "--plan", "plan/jobs.txt",
         SharedModelsDir() + "/6080 - Kings Castle.mpd", "--", SharedLibraryOption()},
        work_.Path(), env_, logs / "plan.log");
    ASSERT_GT(pid, 0);
    for (int i = 0; i < 600 && !FileExists(work_ / "plan/6080 - Kings Castle-005.pov"); i++)
        usleep(50000);
    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status)) << ReadFile(logs / "plan.log");
    EXPECT_EQ(WEXITSTATUS(status), 128 + SIGTERM) << ReadFile(logs / "plan.log");
    EXPECT_TRUE(ListDir(work_.Path()).empty()) << ListDir(work_ / "plan").size() << " files left";
    EXPECT_TRUE(ListDir(tmp_.Path()).empty());
}
