// A still from start to end with the real converter and POV-Ray at small sizes: awkward names,
// pictures that already exist, the framing margin, missing or failing programs, and a run
// stopped by SIGTERM.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "TqRender/RenderTestSupport.h"
#include "TqRender/TqRender.h"

namespace {

class TqRenderStill : public SharedModelRender {};

}  // namespace

TEST_F(TqRenderStill, NamesWithBlanksRenderAndThePathIsPrinted) {
    std::filesystem::create_directories(work_ / "my models");
    std::filesystem::create_directories(work_ / "my pictures");
    std::filesystem::copy_file(SharedModelsDir() + "/car.ldr", work_ / "my models/red car.ldr");
    RenderRun r = RunTqrRender({"--size", "64x48", "--quality", "draft", "my models/red car.ldr",
                                "my pictures/red car.png", "--", SharedLibraryOption()},
                               work_.Path(), env_);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "my pictures/red car.png\n");
    Image image;
    ASSERT_TRUE(LoadPicture(work_ / "my pictures/red car.png", &image));
    EXPECT_EQ(image.width, 64);
    EXPECT_EQ(image.height, 48);
    // The studio look renders cleanly; stages are reported.
    EXPECT_EQ(r.err.find("Warning"), std::string::npos) << r.err;
    for (const char* stage : {"converting", "parsing", "rendering", "%"})
        EXPECT_NE(r.err.find(stage), std::string::npos) << stage << "\n" << r.err;
    EXPECT_EQ(ListDir(work_ / "my pictures"), std::vector<std::string>{"red car.png"});
    EXPECT_TRUE(ListDir(tmp_.Path()).empty());
}

TEST_F(TqRenderStill, AnExistingPictureIsOnlyReplacedWithForce) {
    std::string picture = work_.Write("car.png", "mine");
    std::vector<std::string> args = {"--size=32x24", "--quality=draft",
                                     "--look=plain", SharedModelsDir() + "/car.ldr",
                                     "--",           SharedLibraryOption()};
    RenderRun refused = RunTqrRender(args, work_.Path(), env_);
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("--force"), std::string::npos) << refused.err;
    EXPECT_EQ(ReadFile(picture), "mine");
    args.insert(args.begin(), "--force");
    RenderRun forced = RunTqrRender(args, work_.Path(), env_);
    ASSERT_EQ(forced.status, 0) << forced.err;
    Image image;
    EXPECT_TRUE(LoadPicture(picture, &image));
}

TEST_F(TqRenderStill, TheModelKeepsClearOfTheBorder) {
    for (const char* model : {"car.ldr", "1180-1 - Space Port Moon Buggy.mpd", "pyramid.ldr"}) {
        RenderRun r = RunTqrRender(
            {"--size", "160x120", "--quality", "draft", "--transparent",
             SharedModelsDir() + "/" + model, "m.png", "--force", "--", SharedLibraryOption()},
            work_.Path(), env_);
        ASSERT_EQ(r.status, 0) << model << "\n" << r.err;
        Image image;
        ASSERT_TRUE(LoadPicture(work_ / "m.png", &image));
        ASSERT_EQ(image.channels, 4) << model;
        EXPECT_TRUE(BorderIsTransparent(image, 0.03)) << model;
        // Not bought by shrinking the model to a dot: it still fills most of one direction.
        double spanX, spanY;
        OpaqueSpan(image, &spanX, &spanY);
        EXPECT_GT(std::max(spanX, spanY), 0.6) << model << " " << spanX << " x " << spanY;
    }
}

TEST_F(TqRenderStill, MissingPovrayIsExplainedWithTheInstallCommand) {
    env_["PATH"] = "/nonexistent";
    RenderRun r = RunTqrRender({SharedModelsDir() + "/car.ldr", "--", SharedLibraryOption()},
                               work_.Path(), env_);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("apt-get install povray"), std::string::npos) << r.err;
    EXPECT_TRUE(ListDir(work_.Path()).empty());
}

TEST_F(TqRenderStill, FailuresOfTheConverterAndOfPovrayAreReportedAsTheyCame) {
    RenderRun missing = RunTqrRender({"--look=plain", "nothere.ldr", "--", SharedLibraryOption()},
                                     work_.Path(), env_);
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("*** Cannot find model file 'nothere.ldr'."), std::string::npos)
        << missing.err;
    EXPECT_EQ(missing.err.find("Usage: tqr"), std::string::npos);
    std::string bad = work_.Write("bad.inc", "sphere { 0, 1\n  foo bar\n");
    RenderRun failed = RunTqrRender({"--look=plain", "--size=32x24", SharedModelsDir() + "/car.ldr",
                                     "--", SharedLibraryOption(), "-ie" + bad},
                                    work_.Path(), env_);
    EXPECT_EQ(failed.status, 1);
    EXPECT_NE(failed.err.find("tqr-render: POV-Ray failed: File '" + bad + "' line 2: Parse Error"),
              std::string::npos)
        << failed.err;
    EXPECT_TRUE(ListDir(work_.Path()) == std::vector<std::string>{"bad.inc"});
    EXPECT_TRUE(ListDir(tmp_.Path()).empty());
}

TEST_F(TqRenderStill, SigtermDuringTheRenderLeavesNoPictureAndNoTemporaries) {
    std::string log = work_ / "err.log";
    pid_t pid = StartTqrRender(
        {"--size", "640x480", "--quality", "high", SharedModelsDir() + "/6080 - Kings Castle.mpd",
         "castle.png", "--", SharedLibraryOption()},
        work_.Path(), env_, log);
    ASSERT_GT(pid, 0);
    // Wait until POV-Ray is at work, then stop the program the way a service manager would.
    for (int i = 0; i < 600 && ReadFile(log).find("parsing") == std::string::npos; i++)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    std::this_thread::sleep_for(std::chrono::milliseconds(800));
    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status)) << ReadFile(log);
    EXPECT_EQ(WEXITSTATUS(status), 128 + SIGTERM) << ReadFile(log);
    EXPECT_EQ(ListDir(work_.Path()), std::vector<std::string>{"err.log"});
    EXPECT_TRUE(ListDir(tmp_.Path()).empty());
}
