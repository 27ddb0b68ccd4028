// Helpers of the tqr-render tests: running the real program (to its end or in the background),
// finding optional programs, and looking at the files a run leaves.
#pragma once

#include <sys/types.h>

#include <map>
#include <string>
#include <vector>

#include "support/Image.h"
#include "support/TestSupport.h"

/// What a run of tqr-render produced.
struct RenderRun {
    int status = -1;
    std::string out;
    std::string err;
};

/// RunTqrRender's stdoutPath that leaves the program without a standard output.
inline const std::string kClosedStream = "<closed>";
/// Runs tqr-render in dir; env entries are set (kUnsetEnv removes one). The shared library is
/// the only one it can find: the variables that point at other libraries are removed. Standard
/// output goes to stdoutPath when one is given (RenderRun::out stays empty), or nowhere with
/// kClosedStream. TQR_RENDER_TEST_BINARY=<path> runs another build of the program.
RenderRun RunTqrRender(const std::vector<std::string>& args, const std::string& dir,
                       const std::map<std::string, std::string>& env = {},
                       const std::string& stdoutPath = "");
/// The tqr-render the tests run: TQR_RENDER_TEST_BINARY, else this build's.
std::string TqrRenderBinary();
/// Starts tqr-render in the background with its standard error going to errPath.
pid_t StartTqrRender(const std::vector<std::string>& args, const std::string& dir,
                     const std::map<std::string, std::string>& env, const std::string& errPath);
/// Processes whose working directory lies under dir or whose command line names it.
std::vector<pid_t> ProcessesUsing(const std::string& dir);
/// The picture's size when the file is a PNG, else {0, 0}.
std::pair<int, int> PngSize(const std::string& path);
/// True when the program is on PATH.
bool HaveProgram(const std::string& name);
/// The tqr option that names the shared library.
std::string SharedLibraryOption();
/// Names in a directory (no "." or ".."), sorted; hidden ones too.
std::vector<std::string> ListDir(const std::string& dir);
/// Reads a picture; records a failure and returns false when it cannot.
bool LoadPicture(const std::string& path, Image* image);
/// True when every pixel within `share` of the width or height from the border is transparent.
bool BorderIsTransparent(const Image& image, double share);
/// Share of the width and height that the opaque pixels span.
void OpaqueSpan(const Image& image, double* spanX, double* spanY);
/// Pixels whose channels differ by more than `tolerance` between two pictures of one size.
long DifferentPixels(const Image& a, const Image& b, int tolerance);
/// The 18-byte header of a Targa file (type 2 plain or 10 run-length, 24 or 32 bits a pixel).
std::string TargaHeader(int width, int height, int bits, int type, bool topDown);

/// Fixture of the tests that render the shared models: skipped without them or POV-Ray; the
/// program's temporary directories go to tmp_, so that none can be left unseen.
class SharedModelRender : public ::testing::Test {
protected:
    void SetUp() override {
        if (SharedLDrawDir().empty() || SharedModelsDir().empty())
            GTEST_SKIP() << "shared library or models absent";
        if (!HavePovray()) GTEST_SKIP() << "povray not installed";
        env_ = {{"TMPDIR", tmp_.Path()}};
    }
    TempDir tmp_;
    TempDir work_;
    std::map<std::string, std::string> env_;
};
