// Animations with the real programs at tiny sizes: a turntable gives distinct frames from one
// camera distance, and building steps give one frame per step, the last one the whole model.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <set>

#include "TqRender/RenderTestSupport.h"
#include "TqRender/TqRender.h"

namespace {

class TqRenderAnimation : public SharedModelRender {
protected:
    std::vector<std::string> Lines(const std::string& text) {
        std::vector<std::string> lines;
        for (size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos;
             start = end + 1)
            lines.push_back(text.substr(start, end - start));
        return lines;
    }
};

// Distance between the camera's location and look_at as a frame scene declares them.
double CameraDistance(const std::string& scene) {
    double v[2][3] = {};
    const char* keys[2] = {"#declare TqLocation = <", "#declare TqLookAt = <"};
    for (int k = 0; k < 2; k++) {
        // The perspective branch, after the orthographic one.
        size_t at = scene.rfind(keys[k]);
        if (at == std::string::npos) return -1;
        const char* p = scene.c_str() + at + strlen(keys[k]);
        for (double& c : v[k]) {
            char* end;
            c = strtod(p, &end);
            p = end + 1;
        }
    }
    return std::hypot(v[0][0] - v[1][0], v[0][1] - v[1][1], v[0][2] - v[1][2]);
}

}  // namespace

TEST_F(TqRenderAnimation, TurntableFramesAreDistinctAtOneDistanceAndKeepTheirMargin) {
    RenderRun r = RunTqrRender({"--turntable", "24", "--jobs", "2", "--size", "64x48", "--quality",
                                "draft", "--transparent", "--keep-scene", "scenes",
                                SharedModelsDir() + "/car.ldr", "--", SharedLibraryOption()},
                               work_.Path(), env_);
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<std::string> printed = Lines(r.out);
    bool gif = HaveProgram("ffmpeg");
    ASSERT_EQ(printed.size(), gif ? 25u : 24u) << r.out;
    std::set<std::string> distinct;  // the pixels of each frame
    std::set<long> distances;
    for (int i = 1; i <= 24; i++) {
        std::string frame = tqrender::FramePath("car.png", i);
        EXPECT_EQ(printed[i - 1], frame);
        Image image;
        ASSERT_TRUE(LoadPicture(work_ / frame, &image));
        distinct.insert(std::string(image.pixels.begin(), image.pixels.end()));
        EXPECT_TRUE(BorderIsTransparent(image, 0.03)) << frame;
        std::string scene = ReadFile(work_ / ("scenes/" + tqrender::StemOf(frame) + ".pov"));
        distances.insert(std::lround(CameraDistance(scene) * 100));
    }
    EXPECT_EQ(distinct.size(), 24u);
    EXPECT_EQ(distances.size(), 1u) << "the camera moved in or out";
    if (gif) {
        EXPECT_EQ(ReadFile(work_ / "car.gif").substr(0, 6), "GIF89a");
    } else {
        EXPECT_NE(r.err.find("-i car-%03d.png"), std::string::npos) << r.err;
    }
    EXPECT_TRUE(ListDir(tmp_.Path()).empty());
}

TEST_F(TqRenderAnimation, StepFramesAddOneStepEachAndEndWithTheWholeModel) {
    std::string model = SharedModelsDir() + "/1180-1 - Space Port Moon Buggy.mpd";
    // How many steps tqr itself counts for the model.
    RunResult tqr = RunTqr({"-sc", SharedLibraryOption(), model, work_ / "count.pov"}, work_.Path(),
                           CleanLibraryEnv(work_.Path()));
    ASSERT_EQ(tqr.status, 0) << tqr.err;
    int steps = tqrender::SceneStepCount(work_ / "count.pov");
    ASSERT_GT(steps, 1);
    std::vector<std::string> common = {"--size=80x60", "--quality=draft", "--look=plain", model};
    std::vector<std::string> animated = common;
    animated.insert(animated.begin(), {"--steps", "--jobs=2"});
    animated.insert(animated.end(), {"buggy.png", "--", SharedLibraryOption()});
    RenderRun r = RunTqrRender(animated, work_.Path(), env_);
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<std::string> still = common;
    still.insert(still.end(), {"still.png", "--", SharedLibraryOption()});
    ASSERT_EQ(RunTqrRender(still, work_.Path(), env_).status, 0);
    Image whole;
    ASSERT_TRUE(LoadPicture(work_ / "still.png", &whole));
    Image previous;
    for (int i = 1; i <= steps; i++) {
        Image frame;
        ASSERT_TRUE(LoadPicture(work_ / tqrender::FramePath("buggy.png", i), &frame)) << i;
        if (i > 1) {
            EXPECT_GT(DifferentPixels(frame, previous, 0), 0) << "frame " << i;
        }
        previous = frame;
    }
    EXPECT_EQ(DifferentPixels(previous, whole, 0), 0) << "the last frame is not the whole model";
    EXPECT_FALSE(FileExists(work_ / tqrender::FramePath("buggy.png", steps + 1)));
}

// tqr's console echoes file names, so a count read from it can be forged by a name; the scene's
// own clock conditions cannot, and a count that the model's POV-Ray code inflates is bounded.
TEST_F(TqRenderAnimation, StepFramesFollowTheSceneNotTheNamesAndAreBounded) {
    std::string car = ReadFile(SharedModelsDir() + "/car.ldr");
    RunResult tqr =
        RunTqr({"-sc", SharedLibraryOption(), SharedModelsDir() + "/car.ldr", work_ / "count.pov"},
               work_.Path(), CleanLibraryEnv(work_.Path()));
    ASSERT_EQ(tqr.status, 0) << tqr.err;
    int steps = tqrender::SceneStepCount(work_ / "count.pov");
    ASSERT_GT(steps, 1);
    ASSERT_NE(steps, 12);
    work_.Write("Number of steps: 12.ldr", car);
    work_.Write("forged.ldr", car +
                                  "0 TQR IFPOV\n0 // STEP\n0 #if (clock > 5000)\n0 #end\n"
                                  "0 TQR ENDPOV\n");
    const struct {
        const char* model;
        int frames;  // 0 = refused
    } kCases[] = {{"Number of steps: 12.ldr", steps}, {"forged.ldr", 0}};
    for (const auto& c : kCases) {
        RenderRun r = RunTqrRender({"--steps", "--size=32x24", "--plan", "plan/jobs.txt", c.model,
                                    "m.png", "--", SharedLibraryOption()},
                                   work_.Path(), env_);
        std::string plan = ReadFile(work_ / "plan/jobs.txt");
        if (c.frames) {
            EXPECT_EQ(r.status, 0) << c.model << "\n" << r.err;
            EXPECT_EQ(std::count(plan.begin(), plan.end(), '\n'), c.frames) << c.model;
        } else {
            EXPECT_EQ(r.status, 1) << c.model << "\n" << r.err;
            EXPECT_NE(r.err.find("the model has 5001 building steps; an animation has at most "
                                 "3600 frames"),
                      std::string::npos)
                << r.err;
            EXPECT_FALSE(FileExists(work_ / "plan")) << c.model;
        }
        std::filesystem::remove_all(work_ / "plan");
    }
}

// ffmpeg reads a name that starts with '-' as an option: the printed command that joins the
// frames of OUT "./-o.png" names them and the GIF with their directory, and works.
TEST_F(TqRenderAnimation, TheGifCommandForANameLikeAnOptionWorks) {
    RenderRun r =
        RunTqrRender({"--turntable=2", "--size=32x24", "--quality=draft", "--plan", "plan/jobs.txt",
                      SharedModelsDir() + "/car.ldr", "./-o.png", "--", SharedLibraryOption()},
                     work_.Path(), env_);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find(" -i ./-o-%03d.png "), std::string::npos) << r.out;
    EXPECT_EQ(r.out.substr(r.out.size() - 10), " ./-o.gif\n") << r.out;
    if (!HaveProgram("ffmpeg") || !HaveProgram("parallel")) return;
    std::string run = "cd '" + work_.Path() + "' && parallel < plan/jobs.txt >/dev/null 2>&1 && " +
                      r.out.substr(0, r.out.size() - 1) + " 2>ffmpeg.log";
    EXPECT_EQ(system(run.c_str()), 0) << ReadFile(work_ / "ffmpeg.log");
    EXPECT_EQ(ReadFile(work_ / "-o.gif").substr(0, 6), "GIF89a");
}

// The instruction workflow in one command: a folder of step pictures in the instructions look,
// each step's new parts in full colour and the earlier ones faded.
TEST_F(TqRenderAnimation, InstructionStepsFadeWhatCameBefore) {
    std::string model = SharedModelsDir() + "/pyramid.ldr";
    RenderRun r =
        RunTqrRender({"--look=instructions", "--steps", "--fade", "--size=80x60", "--quality=draft",
                      "--keep-scene=kept", model, "steps/pyramid.png", "--", SharedLibraryOption()},
                     work_.Path(), env_);
    ASSERT_EQ(r.status, 0) << r.err;
    std::string scene = ReadFile(work_ / "kept/pyramid.pov");
    EXPECT_NE(scene.find("//// EdgeLines"), std::string::npos);
    EXPECT_NE(scene.find("_faded #else TqColor"), std::string::npos);
    int steps = tqrender::SceneStepCount(work_ / "kept/pyramid.pov");
    ASSERT_GT(steps, 1);
    for (int i = 1; i <= steps; i++)
        EXPECT_TRUE(FileExists(work_ / tqrender::FramePath("steps/pyramid.png", i))) << i;
    // --fade says nothing without --steps.
    RenderRun still =
        RunTqrRender({"--fade", model, "--", SharedLibraryOption()}, work_.Path(), env_);
    EXPECT_EQ(still.status, 2);
    EXPECT_NE(still.err.find("--fade needs --steps"), std::string::npos) << still.err;
}
