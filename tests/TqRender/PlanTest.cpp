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
    EXPECT_NE(commands.find("the plan/moon buggy-band-03-of-03-"), std::string::npos) << commands;
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

// Three one-pixel rows, each band rendering its own row in its own shade (the rest black, as in
// a POV-Ray band).
TEST(TqRenderPlan, AssembleOrdersNamedBandsAndRefusesAnIncompleteSet) {
    TempDir work;
    for (int i = 0; i < 3; i++) {
        std::string rows(9, '\0');
        rows.replace((size_t)i * 3, 3, 3, (char)(60 + 60 * i));
        work.Write(tqrender::BandFileName("car", i, 3, ""), TargaHeader(1, 3, 24, 2, true) + rows);
    }
    work.Write("car-band-01-of-02.tga", TargaHeader(1, 3, 24, 2, true) + std::string(9, '\0'));
    auto assemble = [&](std::vector<std::string> bands) {
        bands.insert(bands.begin(), {"--assemble", "--force", "car.png"});
        return RunTqrRender(bands, work.Path());
    };
    RenderRun shuffled = assemble(
        {"car-band-03-of-03.tga", "car-band-01-of-03.tga", "car-band-02-of-03.tga"});
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
    };
    for (const auto& c : refused) {
        RenderRun r = assemble(c.bands);
        EXPECT_EQ(r.status, 1) << c.error;
        EXPECT_NE(r.err.find(c.error + "\n"), std::string::npos) << r.err;
        EXPECT_FALSE(FileExists(work / "car.png")) << c.error;
    }
}
