// The command line of tqr-render: what is refused and why, the two forms of a value, the
// options that go to tqr, and the exit status and text of the real program on bad input.
#include <string>
#include <vector>

#include "TqRender/RenderTestSupport.h"
#include "TqRender/TqRender.h"

namespace {

using tqrender::ParseRenderOptions;
using tqrender::RenderOptions;

bool Parse(std::vector<std::string> args, RenderOptions* options, std::string* error) {
    args.insert(args.begin(), "tqr-render");
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    return ParseRenderOptions((int)argv.size(), argv.data(), options, error);
}

std::string Joined(const std::vector<std::string>& args) {
    std::string s;
    for (const auto& a : args) s += "[" + a + "]";
    return s;
}

}  // namespace

TEST(TqRenderOptions, MalformedOrUnknownOptionsAreRefusedWithTheReason) {
    const struct {
        std::vector<std::string> args;
        const char* reason;
    } kCases[] = {
        {{"--size", "800", "m.ldr"}, "bad --size '800'"},
        {{"--size=0x600", "m.ldr"}, "bad --size '0x600'"},
        {{"--size=80x", "m.ldr"}, "bad --size"},
        {{"--size=-80x60", "m.ldr"}, "bad --size"},
        {{"--size=80x60x2", "m.ldr"}, "bad --size"},
        {{"--look", "shiny", "m.ldr"}, "bad --look 'shiny'"},
        {{"--look=instruction", "m.ldr"}, "expected studio, instructions or plain"},
        {{"--quality=best", "m.ldr"}, "bad --quality 'best'"},
        {{"--turntable", "0", "m.ldr"}, "bad --turntable '0'"},
        {{"--turntable=12.5", "m.ldr"}, "bad --turntable"},
        {{"--jobs=0", "m.ldr"}, "bad --jobs '0'"},
        {{"--bogus", "m.ldr"}, "unknown option '--bogus'"},
        {{"-x", "m.ldr"}, "unknown option '-x'"},
        {{"-dash.ldr"},
         "unknown option '-dash.ldr'; a file whose name starts with '-' is given "
         "as ./-dash.ldr"},
        {{"--force=yes", "m.ldr"}, "'--force' takes no value"},
        {{"m.ldr", "--size"}, "'--size' needs a value"},
        {{"--s", "80x60", "m.ldr"}, "ambiguous option '--s'"},
        {{"--plan=", "m.ldr"}, "--plan needs a non-empty path"},
        {{"--steps", "--turntable", "4", "m.ldr"}, "cannot be combined"},
        {{"--fade", "m.ldr"}, "--fade needs --steps"},
        {{}, "no model given"},
        {{"a.ldr", "a.png", "extra"}, "too many arguments ('extra')"},
        {{"--assemble", "out.png"}, "--assemble needs OUT.png and at least one band"},
        {{"m.ldr", "--", "-ldd/l", "-car2"}, "'-car2' after \"--\": the aspect ratio follows"},
        {{"m.ldr", "--", "-check"}, "'-check' after \"--\": tqr writes no scene"},
        {{"m.ldr", "--", "-test"}, "'-test' after \"--\": tqr writes no scene"},
        {{"m.ldr", "--", "-pp"}, "'-pp' after \"--\": tqr writes no scene"},
        {{"m.ldr", "--", "other.pov"}, "'other.pov' after \"--\": tqr-render names the model"},
    };
    for (const auto& c : kCases) {
        RenderOptions options;
        std::string error;
        EXPECT_FALSE(Parse(c.args, &options, &error)) << Joined(c.args);
        EXPECT_NE(error.find(c.reason), std::string::npos) << Joined(c.args) << " -> " << error;
        EXPECT_EQ(error.find('\n'), std::string::npos) << Joined(c.args);
    }
}

TEST(TqRenderOptions, ValuesComeJoinedOrSeparateAndOptionsGoAnywhereBeforeTheDashes) {
    RenderOptions a, b;
    std::string error;
    ASSERT_TRUE(Parse({"--size=320x240", "car.ldr", "--look", "plain", "--tur", "8", "--jobs=2"},
                      &a, &error))
        << error;
    ASSERT_TRUE(
        Parse({"car.ldr", "--size", "320x240", "--look=plain", "--turntable=8", "--jobs", "2"}, &b,
              &error))
        << error;
    for (const RenderOptions* o : {&a, &b}) {
        EXPECT_EQ(o->width, 320);
        EXPECT_EQ(o->height, 240);
        EXPECT_EQ(o->look, tqrender::Look::kPlain);
        EXPECT_EQ(o->turntable, 8);
        EXPECT_EQ(o->jobs, 2);
        EXPECT_EQ(o->model, "car.ldr");
        EXPECT_EQ(o->out, "car.png");
    }
}

TEST(TqRenderOptions, EverythingAfterTheDashesGoesToTqrUnchanged) {
    RenderOptions o;
    std::string error;
    ASSERT_TRUE(
        Parse({"models/My Model.mpd", "--", "-ldd/x y", "--size", "-cg30,60", "--"}, &o, &error))
        << error;
    EXPECT_EQ(o.tqrOptions, (std::vector<std::string>{"-ldd/x y", "--size", "-cg30,60", "--"}));
    EXPECT_EQ(o.width, 800);
    EXPECT_EQ(o.height, 600);
    // The picture lands in the current directory, named after the model.
    EXPECT_EQ(o.out, "My Model.png");
}

TEST(TqRenderOptions, BadInputEndsWithStatusTwoOneLineAndTheUsage) {
    for (std::vector<std::string> args : {std::vector<std::string>{"--size", "80", "car.ldr"},
                                          std::vector<std::string>{"--frobnicate", "car.ldr"}}) {
        TempDir work;
        RenderRun r = RunTqrRender(args, work.Path());
        EXPECT_EQ(r.status, 2) << Joined(args);
        EXPECT_EQ(r.out, "") << Joined(args);
        size_t firstEnd = r.err.find('\n');
        ASSERT_NE(firstEnd, std::string::npos) << Joined(args);
        EXPECT_EQ(r.err.rfind("tqr-render: ", 0), 0u) << r.err;
        EXPECT_EQ(r.err.compare(firstEnd + 1, 6, "Usage:"), 0) << r.err;
        EXPECT_TRUE(ListDir(work.Path()).empty()) << Joined(args);
    }
    // "--" starts tqr's options, so a model named like an option needs its directory: the
    // message says how (the manual promised such names would pass).
    RenderRun dash = RunTqrRender({"-dash.ldr"}, "");
    EXPECT_EQ(dash.status, 2);
    EXPECT_NE(dash.err.find("is given as ./-dash.ldr"), std::string::npos) << dash.err;
    RenderRun help = RunTqrRender({"--help"}, "");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("--turntable N"), std::string::npos);
}

// The instructions look converts with its own include files and edge lines about a pixel wide
// (tqr counts pixels of an 800-pixel picture): the same lines in proportion up to 700 pixels,
// then as wide as ever in pixels, so a bigger picture does not draw hairlines.
TEST(TqRenderOptions, InstructionsLookDrawsEdgeLinesAboutAPixelWide) {
    RenderOptions o;
    std::string error;
    ASSERT_TRUE(Parse({"--look=instructions", "--size=1600x1200", "m.ldr"}, &o, &error)) << error;
    std::vector<std::string> args = tqrender::LookConversionOptions(o);
    EXPECT_EQ(args, (std::vector<std::string>{"-mesh", "-ibtqr-instructions.inc",
                                              "-iltqr-instructions-lights.inc", "-edges1.14"}));
    EXPECT_EQ(tqrender::EdgePixelsFor(800), "1.14");
    EXPECT_EQ(tqrender::EdgePixelsFor(400), "2");
    EXPECT_EQ(tqrender::EdgePixelsFor(100000), "0.032");
}
