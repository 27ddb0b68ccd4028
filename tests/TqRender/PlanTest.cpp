// Plans: the commands run with GNU parallel from the current directory, the printed command
// joins the bands, and the result is the picture a direct render gives.
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
    // Another machine has only the plan's files: run it in a copy of them, somewhere else.
    TempDir elsewhere;
    std::filesystem::copy(work / "the plan", elsewhere / "the plan");
    std::string run = "cd '" + elsewhere.Path() + "' && parallel -j2 < 'the plan/commands.txt' " +
                      ">/dev/null 2>&1 && PATH='" + tqrender::DirName(TQR_RENDER_BINARY) +
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
