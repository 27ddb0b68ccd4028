// Reading POV-Ray's console output: the banner and progress stay out, warnings and errors pass
// unchanged, the stage and percentage follow, and the first error is kept whole; and the
// command line keeps a path with blanks in one quoted argument.
#include <string>
#include <vector>

#include "TqRender/RenderTestSupport.h"
#include "TqRender/TqRender.h"

namespace {

using tqrender::PovrayReport;
using tqrender::ScanPovrayOutput;

// Shortened from a real POV-Ray 3.7 run: configuration note, banner, a parse warning, progress
// lines rewritten with carriage returns, then a parse error.
const char kTranscript[] =
    "povray: cannot open the user configuration file /root/.povray/3.7/povray.conf: No such file or directory\n"
    "Persistence of Vision(tm) Ray Tracer Version 3.7.0.10.unofficial (g++ @\n"
    " x86_64-pc-linux-gnu)\n"
    "\n"
    "Primary POV-Ray 3.7 Architects/Developers: (Alphabetically)\n"
    "  Chris Cason         Thorsten Froehlich  Christoph Lipka   \n"
    "\n"
    "Support libraries used by POV-Ray:\n"
    "  ZLib 1.2.13, Copyright 1995-2012 Jean-loup Gailly and Mark Adler\n"
    " Project.\n"
    "\n"
    "==== [Parsing...] ==========================================================\n"
    "Parsing 630K tokens\rParsing 1508K tokens\r\n"
    "File 'a b.pov' line 3: Parse Warning: hello\n"
    "dbg\n"
    "==== [Rendering...] ========================================================\n"
    "Rendered 1024 of 19200 pixels (5%)\rRendered 9216 of 19200 pixels (48%)\r\n"
    "File 'x.inc' line 2: Possible Parse Error: Cannot find file 'y.inc', even after trying\n"
    " to append file type extension.\n"
    "File 'x.inc' line 2: Parse Error: Cannot open include file y.inc.\n"
    " second line of the error\n"
    "Fatal error in parser: Cannot parse input.\n"
    "Render failed\n"
    "\n"
    "POV-Ray finished\n";

const std::vector<std::string> kForwarded = {
    "File 'a b.pov' line 3: Parse Warning: hello",
    "dbg",
    "File 'x.inc' line 2: Possible Parse Error: Cannot find file 'y.inc', even after trying",
    " to append file type extension.",
    "File 'x.inc' line 2: Parse Error: Cannot open include file y.inc.",
    " second line of the error",
    "Fatal error in parser: Cannot parse input.",
    "Render failed",
};

}  // namespace

TEST(TqRenderPovray, OnlyMessagesPassAndTheFirstRealErrorIsKeptWhole) {
    // Whole, and one byte at a time: pipes cut the stream anywhere.
    for (size_t piece : {sizeof(kTranscript), (size_t)1, (size_t)7}) {
        PovrayReport report;
        std::vector<std::string> forward;
        std::string_view all(kTranscript);
        for (size_t at = 0; at < all.size(); at += piece)
            ScanPovrayOutput(&report, all.substr(at, piece), &forward);
        EXPECT_EQ(forward, kForwarded) << "piece " << piece;
        EXPECT_EQ(report.stage, tqrender::PovrayStage::kRendering) << "piece " << piece;
        EXPECT_EQ(report.percent, 48) << "piece " << piece;
        EXPECT_EQ(
            report.firstError,
            "File 'x.inc' line 2: Parse Error: Cannot open include file y.inc. second line of "
            "the error")
            << "piece " << piece;
    }
}

TEST(TqRenderPovray, StageAndPercentFollowTheRun) {
    PovrayReport report;
    std::vector<std::string> forward;
    EXPECT_EQ(report.stage, tqrender::PovrayStage::kStarting);
    ScanPovrayOutput(&report, "==== [Parsing...] =====\n", &forward);
    EXPECT_EQ(report.stage, tqrender::PovrayStage::kParsing);
    EXPECT_EQ(report.percent, -1);
    ScanPovrayOutput(&report, "Rendered 5 of 10 pixels (50%)\r", &forward);
    EXPECT_EQ(report.stage, tqrender::PovrayStage::kRendering);
    EXPECT_EQ(report.percent, 50);
    EXPECT_TRUE(forward.empty());
    EXPECT_TRUE(report.firstError.empty());
}

TEST(TqRenderPovray, OptionErrorsBeforeTheBannerCountAsErrors) {
    PovrayReport report;
    std::vector<std::string> forward;
    ScanPovrayOutput(
        &report, "\nProblem with option setting\npovray +Qx\nFailed to parse command-line option\n",
        &forward);
    EXPECT_EQ(report.firstError, "Problem with option setting");
    EXPECT_EQ(forward.size(), 3u);
}

TEST(TqRenderPovray, PathsWithBlanksStayOneQuotedArgument) {
    tqrender::RenderOptions options;
    tqrender::SetRenderDefaults(&options);
    tqrender::PovrayCall call;
    call.scene = "my dir/a b.pov";
    call.output = "out dir/it's.png";
    call.libraryDirs = {"look dir"};
    std::vector<std::string> args = tqrender::PovrayArguments(options, call);
    for (const char* expected :
         {"+I\"my dir/a b.pov\"", "+O\"out dir/it's.png\"", "+L\"look dir\""})
        EXPECT_NE(std::find(args.begin(), args.end(), expected), args.end()) << expected;
}
