// A still from start to end with the real converter and POV-Ray at small sizes: awkward names,
// pictures that already exist, the framing margin, missing or failing programs, and a run
// stopped by SIGTERM.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
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

// The camera frames the parts themselves: on every shared model (but the town, whose parse alone
// takes half a minute) the model fills at least 88% of the picture's width or height, keeps at
// least 2% from every edge, and sits in the middle: left and right margins within 5% of the
// width of each other, top and bottom within 5% of the height.
TEST_F(TqRenderStill, TheModelFillsThePictureCentredWithItsMargin) {
    for (const char* model : {"car.ldr", "pyramid.ldr", "1180-1 - Space Port Moon Buggy.mpd",
                              "7140-1-X-wingFighter.mpd", "6080 - Kings Castle.mpd",
                              "10179-1 - Millennium Falcon - UCS.mpd"}) {
        RenderRun r = RunTqrRender(
            {"--size", "200x150", "--quality", "draft", "--transparent",
             SharedModelsDir() + "/" + model, "m.png", "--force", "--", SharedLibraryOption()},
            work_.Path(), env_);
        ASSERT_EQ(r.status, 0) << model << "\n" << r.err;
        Image image;
        ASSERT_TRUE(LoadPicture(work_ / "m.png", &image));
        ASSERT_EQ(image.channels, 4) << model;
        PixelRect box = OpaqueBounds(image);
        ASSERT_LT(box.x0, box.x1) << model;
        double w = image.width, h = image.height;
        double left = box.x0 / w, right = 1 - box.x1 / w, top = box.y0 / h, bottom = 1 - box.y1 / h;
        std::string margins = std::string(model) + ": left " + std::to_string(left) + " right " +
                              std::to_string(right) + " top " + std::to_string(top) + " bottom " +
                              std::to_string(bottom);
        EXPECT_GE(std::max(1 - left - right, 1 - top - bottom), 0.88) << margins;
        EXPECT_GE(std::min({left, right, top, bottom}), 0.02) << margins;
        EXPECT_LE(std::fabs(left - right), 0.05) << margins;
        EXPECT_LE(std::fabs(top - bottom), 0.05) << margins;
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

// "tqr-render ... | head" or "| true": once the reader has gone, the next message raises
// SIGPIPE. The run must stop as for Ctrl-C, stopping POV-Ray and removing what it started,
// instead of dying at once and leaving POV-Ray to write a partial picture on its own.
TEST_F(TqRenderStill, AReaderThatGoesAwayStopsTheRunAndItsChildren) {
    TempDir logs;
    for (const char* reader : {"head -3", "true"}) {
        std::string script = "cd '" + work_.Path() + "'\nTMPDIR='" + tmp_.Path() + "' '" +
                             TqrRenderBinary() + "' --size 400x300 '" + SharedModelsDir() +
                             "/1180-1 - Space Port Moon Buggy.mpd' buggy.png -- " +
                             SharedLibraryOption() + " 2>&1 | " + reader +
                             " >/dev/null\necho ${PIPESTATUS[0]} >'" + logs / "status" + "'\n";
        logs.Write("run.sh", script);
        ASSERT_EQ(system(("bash '" + logs / "run.sh" + "'").c_str()), 0) << script;
        // The run has ended; give anything it left running a moment to show itself.
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        std::vector<pid_t> left = ProcessesUsing(work_.Path()), inTmp = ProcessesUsing(tmp_.Path());
        left.insert(left.end(), inTmp.begin(), inTmp.end());
        for (pid_t pid : left) kill(pid, SIGKILL);
        EXPECT_TRUE(left.empty()) << reader << ": " << left.size() << " processes left running";
        EXPECT_EQ(ReadFile(logs / "status"), std::to_string(128 + SIGPIPE) + "\n") << reader;
        EXPECT_EQ(ListDir(work_.Path()), std::vector<std::string>{}) << reader;
        EXPECT_EQ(ListDir(tmp_.Path()), std::vector<std::string>{}) << reader;
        for (const std::string& dir : {work_.Path(), tmp_.Path()}) {
            std::filesystem::remove_all(dir);
            std::filesystem::create_directories(dir);
        }
    }
}

// Standard output carries the picture's name (or a plan's command) for scripts: when it cannot
// be written, the run fails, as tqr does, and a plan without its command goes again.
TEST_F(TqRenderStill, LostStandardOutputFailsTheRun) {
    std::string car = SharedModelsDir() + "/car.ldr";
    work_.Write("b-band-01-of-01.tga", TargaHeader(1, 1, 24, 2, true) + std::string(3, '\0'));
    const struct {
        std::vector<std::string> args;
        std::string stdoutPath;
        const char* left;  // what stays in the work directory
    } kCases[] = {
        {{car, "car.png"}, "/dev/full", "car.png"},
        {{car, "car.png"}, kClosedStream, "car.png"},
        {{"--plan", "plan/jobs.txt", car}, "/dev/full", ""},
        {{"--assemble", "b.png", "b-band-01-of-01.tga"}, "/dev/full", "b.png"},
    };
    for (const auto& c : kCases) {
        std::vector<std::string> args = c.args;
        if (c.args[0] != "--assemble") {
            args.insert(args.begin(), {"--size=32x24", "--quality=draft"});
            args.insert(args.end(), {"--", SharedLibraryOption()});
        }
        RenderRun r = RunTqrRender(args, work_.Path(), env_, c.stdoutPath);
        std::string what = c.args[0] + " > " + c.stdoutPath;
        EXPECT_EQ(r.status, 1) << what << "\n" << r.err;
        EXPECT_NE(r.err.find("cannot write to standard output"), std::string::npos) << what << "\n"
                                                                                    << r.err;
        std::vector<std::string> expected = {"b-band-01-of-01.tga"};
        if (*c.left) expected.push_back(c.left);
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(ListDir(work_.Path()), expected) << what;
        for (const char* made : {"car.png", "b.png", "plan"})
            std::filesystem::remove_all(work_ / made);
    }
}
