// The conversion as tqr-render runs it: which of tqr's messages reach the user, the step count it
// reads, and the scene it keeps, which must be exactly what tqr writes by itself.
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "TqRender/RenderTestSupport.h"
#include "TqRender/TqRender.h"

namespace {

// The date line is the only one that differs between two runs of tqr.
std::string WithoutDate(std::string scene) {
    size_t at = scene.find("// Date:");
    if (at != std::string::npos) scene.erase(at, scene.find('\n', at) - at);
    return scene;
}

}  // namespace

TEST(TqRenderConversion, RoutineReportStaysQuietAndProblemsPassAsTheyAre) {
    const std::string out =
        "NOTABENE \"3005-s.dat\" referenced by \"a.ldr\": Moved to 3005pts\n"
        "tqr 1.4.0 - LDraw to POV-Ray converter, (C) 2026 The tqr authors\n"
        "Usage: tqr [options] modelpath [povpath] [options]\n"
        "  -b[<color>] background color, -b gives 0.3,0.8,1\n";
    const std::string err =
        "Processing car.ldr\n"
        "Could not find nosuch.dat Referenced by car.ldr\n"
        "Number of steps: 9\n"
        "tqr 1.4.0 - LDraw to POV-Ray converter, (C) 2026 The tqr authors\n"
        "              PARTS             P         Total\n"
        "DAT files:        2             4             8\n"
        "POV Equivs:       -             2 (50%)\n"
        "Model has 1 parts (11 studs)\n"
        "Remember to use aspect ratio 1.33333 for size of rendering.\n"
        "POV file successfully written: car.pov  17 kBytes\n";
    EXPECT_EQ(tqrender::InterestingConverterLines(out, err, true),
              "NOTABENE \"3005-s.dat\" referenced by \"a.ldr\": Moved to 3005pts\n"
              "Could not find nosuch.dat Referenced by car.ldr\n");
    // A failed run shows all of its own report, but never tqr's usage.
    std::string failed =
        tqrender::InterestingConverterLines(out, "*** Cannot find model file 'x.ldr'.\n", false);
    EXPECT_NE(failed.find("*** Cannot find model file 'x.ldr'."), std::string::npos);
    EXPECT_EQ(failed.find("Usage: tqr"), std::string::npos);
}

// The count comes from the scene's clock conditions, the largest of any (sub-)model, never from
// text a name can carry: a comment line is no condition.
TEST(TqRenderConversion, StepsAreCountedFromTheScenesClockConditions) {
    TempDir work;
    const struct {
        const char* scene;
        int steps;
    } kCases[] = {
        {"// Generated\nobject { x }\n", 0},
        {"x\n// STEP\n#if (clock > 1)\n#end\n// STEP\n#if (clock > 2)\n#end\n", 3},
        {"x\n// STEP\n#if (clock > 1)\n#end\n// STEP\n#if (clock > 5)\n// STEP\n#if (clock > 2)\n",
         6},
        {"// Input file: Number of steps: 12.ldr\n// STEP #if (clock > 40)\n", 0},
        {"x\n// STEP\n#if (clock > 2000000000)\n", 2000000001},
        {"x\n// STEP\n#if (clock > 99999999999999)\n", 2147483647},
    };
    for (const auto& c : kCases) {
        std::string scene = work.Write("s.pov", c.scene);
        EXPECT_EQ(tqrender::SceneStepCount(scene), c.steps) << c.scene;
    }
    EXPECT_EQ(tqrender::SceneStepCount(work / "missing.pov"), -1);
}

TEST(TqRenderConversion, KeptPlainSceneIsByteForByteWhatTqrWrites) {
    if (SharedLDrawDir().empty() || SharedModelsDir().empty()) GTEST_SKIP() << "no shared files";
    if (!HavePovray()) GTEST_SKIP() << "povray not installed";
    TempDir work;
    std::string model = SharedModelsDir() + "/car.ldr";
    RenderRun r =
        RunTqrRender({"--look", "plain", "--size", "64x48", "--quality", "draft", "--keep-scene",
                      "kept", model, "car.png", "--", SharedLibraryOption()},
                     work.Path());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ListDir(work / "kept"), std::vector<std::string>{"car.pov"});
    std::string kept = ReadFile(work / "kept/car.pov");
    EXPECT_EQ(kept.find("tqr-studio"), std::string::npos);
    // tqr by hand, same directory, same options, same output path: the documented command.
    RunResult tqr = RunTqr({"-o", "-car1.33333", "-cfit" + std::to_string(tqrender::kFramingMargin),
                            SharedLibraryOption(), model, "kept/car.pov"},
                           work.Path(), CleanLibraryEnv(work.Path()));
    ASSERT_EQ(tqr.status, 0) << tqr.err;
    std::string byHand = ReadFile(work / "kept/car.pov");
    EXPECT_TRUE(WithoutDate(kept) == WithoutDate(byHand)) << "the kept scene differs";
}

TEST(TqRenderConversion, KeptStudioSceneBringsItsIncludeFiles) {
    if (SharedLDrawDir().empty() || SharedModelsDir().empty()) GTEST_SKIP() << "no shared files";
    if (!HavePovray()) GTEST_SKIP() << "povray not installed";
    TempDir work;
    RenderRun r = RunTqrRender({"--size=64x48", "--quality=draft", "--keep-scene=kept",
                                SharedModelsDir() + "/pyramid.ldr", "--", SharedLibraryOption()},
                               work.Path());
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<std::string> files = ListDir(work / "kept");
    for (const char* name :
         {"pyramid.pov", tqrender::kStudioInclude, tqrender::kStudioLightsInclude})
        EXPECT_NE(std::find(files.begin(), files.end(), name), files.end()) << name;
    // The scene names the look's files bare, so the directory renders wherever it is moved.
    std::string scene = ReadFile(work / "kept/pyramid.pov");
    EXPECT_NE(scene.find("#include \"tqr-studio.inc\""), std::string::npos);
    EXPECT_EQ(RenderScene(work / "kept/pyramid.pov", work / "again.png", 32, 24, {work / "kept"},
                          "+MV3.7 -A"),
              "");
}

// The images of printed parts go beside a kept scene and a plan, so that both render after the
// library's own images are gone; a direct render finds them wherever the library lies.
TEST(TqRenderConversion, KeptScenesAndPlansBringTheImagesOfPrintedParts) {
    std::string ldraw = SharedLDrawDir();
    if (ldraw.empty()) GTEST_SKIP() << "no shared files";
    if (!HavePovray()) GTEST_SKIP() << "povray not installed";
    TempDir work;
    work.MakeDir("lib/parts");
    for (const char* shared : {"p", "LDConfig.ldr", "parts/s", "parts/3626cpx3.dat"})
        ASSERT_EQ(symlink((ldraw + "/" + shared).c_str(), (work / "lib/" + shared).c_str()), 0);
    std::string textures = work.MakeDir("lib/parts/textures");
    for (const char* image : {"3626cpx3a.png", "3626cpx3b.png"})
        work.Write("lib/parts/textures/" + std::string(image),
                   ReadFile(ldraw + "/parts/textures/" + image));
    work.Write("head.ldr", "1 14 0 0 0 1 0 0 0 1 0 0 0 1 3626cpx3.dat\n");
    std::string lib = "-ldd" + work / "lib";
    RenderRun kept = RunTqrRender(
        {"--size=64x48", "--quality=draft", "--keep-scene=kept", "head.ldr", "--", lib},
        work.Path());
    ASSERT_EQ(kept.status, 0) << kept.err;
    RenderRun plan = RunTqrRender({"--size=64x48", "--quality=draft", "--plan=plan/jobs.txt",
                                   "head.ldr", "planned.png", "--", lib},
                                  work.Path());
    ASSERT_EQ(plan.status, 0) << plan.err;
    for (const char* dir : {"kept", "plan"}) {
        for (const char* image : {"3626cpx3a.png", "3626cpx3b.png"})
            EXPECT_EQ(ReadFile(work / (std::string(dir) + "/" + image)),
                      ReadFile(textures + "/" + image))
                << dir << "/" << image;
    }
    std::filesystem::remove_all(textures);
    EXPECT_EQ(RenderScene(work / "kept/head.pov", work / "again.png", 32, 24, {work / "kept"},
                          "+MV3.7 -A"),
              "");
}
