// The option scan: values stored by accepted options, and the messages of refused ones.
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "TqColor/TqColor.h"
#include "TqPov/TqPov.h"
#include "Tqr/Tqr.h"
#include "support/TestSupport.h"

namespace {

// Each scan in a run of its own: the settings then show what that command line alone set.
class Options : public ::testing::Test {
protected:
    RunSwitches Scan(std::vector<std::string> args) {
        run_ = std::make_unique<TestRun>();
        args.insert(args.begin(), "tqr");
        kept_ = args;  // -ldd and -ldc point into the arguments
        std::vector<char*> argv;
        for (auto& a : kept_) argv.push_back(a.data());
        if (ScanArguments(run_->run(), (int)argv.size(), argv.data()))
            CheckArgumentsAfterScan(run_->run());
        return run_->run()->switches;
    }
    TestRun& t() { return *run_; }
    std::unique_ptr<TestRun> run_ = std::make_unique<TestRun>();
    std::vector<std::string> kept_;
};

// A tiny library so that options naming colours can read a colour file.
std::string MakeLibrary(const TempDir& dir) {
    dir.MakeDir("lib/P");
    dir.MakeDir("lib/PARTS");
    dir.MakeDir("lib/MODELS");
    dir.Write("lib/ldconfig.ldr", "0 !COLOUR Bright_Red CODE 4 VALUE #C91A09 EDGE #333333\n");
    return dir / "lib";
}

RunResult RunStdout(std::vector<std::string> args, const std::string& ldraw = kUnsetEnv) {
    args.insert(args.begin(), "-stdout");
    TempDir cwd;
    return RunTqr(args, cwd.Path(), {{"LDRAWDIR", ldraw}, {"HOME", cwd.Path()}});
}

}  // namespace

TEST_F(Options, NumbersAndSwitchesAreStored) {
    Scan({"-q2x", "-w", "-sw0", "-studs0", "-bu", "-enp", "-sc", "-scm", "-lsl", "-d", "-d", "-v"});
    EXPECT_EQ(t().pov().Quality, 2);
    EXPECT_EQ(t().diag()->WarningLevel, 1);
    EXPECT_EQ(t().pov().SeamWidth, 0);
    EXPECT_FALSE(t().pov().Studs);
    EXPECT_TRUE(t().pov().Bumps && t().pov().ExcludeNonPov && t().pov().StepClock &&
                t().pov().StepClockModelOnly);
    EXPECT_TRUE(t().pov().ShadowlessLights);
    EXPECT_EQ(t().pov().Debug, 2);
    EXPECT_EQ(t().settings().TqVerboseOption, 1);
    Scan({"-w7"});
    EXPECT_EQ(t().diag()->WarningLevel, 7);
    Scan({"-wx"});
    EXPECT_EQ(t().diag()->WarningLevel, 1);
    Scan({"-w3", "-check"});
    EXPECT_EQ(t().diag()->WarningLevel, 1);
    EXPECT_EQ(t().settings().DoCheck, 1);
    Scan({"-check", "-w0"});
    EXPECT_EQ(t().diag()->WarningLevel, 0);
}

TEST_F(Options, CameraOptions) {
    Scan({"-cg30,45"});
    EXPECT_TRUE(t().pov().CameraGlobe);
    EXPECT_EQ(t().pov().CameraPos[2], 0);
    Scan({"-cg30,45,200", "-cla0,0,0", "-ca45", "-car1.5", "-cra10", "-cpct25", "-csa3", "-co2"});
    EXPECT_EQ(t().pov().CameraPos[2], 200);
    EXPECT_TRUE(t().pov().LookAtGiven);
    EXPECT_EQ(t().pov().ViewingAngle, 45);
    EXPECT_EQ(t().pov().AspectRatio, 1.5f);
    EXPECT_EQ(t().pov().RollAngle, 10);
    EXPECT_EQ(t().pov().PercentageBack, 25);
    EXPECT_EQ(t().pov().StereoAngle, 3);
    EXPECT_TRUE(t().pov().Orthographic);
    EXPECT_EQ(t().pov().OrthoScale, 2);
    Scan({"-cc1,2,3", "-cla4,5,6", "-csky0,-2,0", "-csl", "-csr", "-cpa2"});
    EXPECT_FALSE(t().pov().CameraGlobe);
    EXPECT_EQ(t().pov().CameraPos[1], 2);
    EXPECT_EQ(t().pov().CameraSky[0], 0);
    EXPECT_EQ(t().pov().CameraSky[1], -1);
    EXPECT_TRUE(t().pov().SkyGiven && t().pov().StereoLeft && t().pov().StereoRight);
    EXPECT_EQ(t().settings().CoPlanarAngle, 2);
    Scan({"-cra0", "-csky0,-1,0"});
    EXPECT_TRUE(t().pov().SkyGiven);
    Scan({});
    EXPECT_FALSE(t().pov().FitPlacedParts);
    Scan({"-cfit"});
    EXPECT_TRUE(t().pov().FitPlacedParts);
    EXPECT_EQ(t().pov().FitMargin, 0);
    Scan({"-cfit4.5"});
    EXPECT_EQ(t().pov().FitMargin, 4.5f);
}

TEST_F(Options, ReplacementOrderAndLgeoColours) {
    Scan({"-lgeo", "-lgeo"});
    EXPECT_STREQ(t().pov().ReplaceOrder, "P3L");
    Scan({"-p", "-p3", "-lgeo", "-kv"});
    EXPECT_STREQ(t().pov().ReplaceOrder, "LB");
    Scan({"-nolgc"});
    EXPECT_FALSE(t().pov().LgeoColors);
    EXPECT_FALSE(t().pov().LgeoFinishes);
    Scan({"-lgeo", "-nolgc"});
    EXPECT_FALSE(t().pov().LgeoColors);
    EXPECT_TRUE(t().pov().LgeoFinishes);
    Scan({"-lgeo", "-nolgcf"});
    EXPECT_FALSE(t().pov().LgeoColors);
    EXPECT_FALSE(t().pov().LgeoFinishes);
    // Letters after the f are ignored, as for every other option; any other letter after -nolgc
    // names no option.
    Scan({"-lgeo", "-nolgcfx"});
    EXPECT_FALSE(t().pov().LgeoColors);
    EXPECT_FALSE(t().pov().LgeoFinishes);
    EXPECT_FALSE(t().run()->finished);
    for (const char* unknown : {"-nolgcx", "-nolgcF", "-nolgc1"}) {
        Scan({"-stdout", "-lgeo", unknown});
        EXPECT_TRUE(t().run()->finished) << unknown;
        EXPECT_EQ(t().run()->exitStatus, 1) << unknown;
        EXPECT_NE(t().Err().find("*** Unknown option '" + std::string(unknown) + "'.\n"),
                  std::string::npos)
            << unknown << t().Err();
    }
    Scan({"-kv"});
    EXPECT_TRUE(t().pov().LgeoColors && t().pov().LgeoFinishes);
}

TEST_F(Options, EdgeFloorBackgroundAndIncludes) {
    Scan({"-ee"});
    EXPECT_FLOAT_EQ(t().pov().EdgeWidth, 0.3f);
    EXPECT_EQ(t().pov().EdgeColor, 0);
    Scan({"-ee0.5,4"});
    EXPECT_FLOAT_EQ(t().pov().EdgeWidth, 0.5f);
    EXPECT_EQ(t().pov().EdgeColor, 4);
    Scan({"-ee,4"});
    EXPECT_FLOAT_EQ(t().pov().EdgeWidth, 0.3f);
    EXPECT_EQ(t().pov().EdgeColor, 0);
    // -edges draws the lines, about a pixel wide unless told; -ee stays what it was.
    Scan({"-edges"});
    EXPECT_FLOAT_EQ(t().pov().EdgePixels, 1);
    EXPECT_FLOAT_EQ(t().pov().EdgeWidth, 0);
    Scan({"-edges2.5", "-sf"});
    EXPECT_FLOAT_EQ(t().pov().EdgePixels, 2.5f);
    EXPECT_FLOAT_EQ(t().pov().StepFade, 0.6f);
    Scan({"-sf35"});
    EXPECT_FLOAT_EQ(t().pov().StepFade, 0.35f);
    struct FloorCase {
        const char* arg;
        int type;
        bool given;
        float y;
    } floors[] = {{"-f", 'g', false, 0},
                  {"-fc", 'c', false, 0},
                  {"-fc-20", 'c', true, -20},
                  {"-f-20", 'g', true, -20}};
    for (const FloorCase& c : floors) {
        Scan({c.arg});
        EXPECT_EQ(t().pov().FloorType, c.type) << c.arg;
        EXPECT_EQ((bool)t().pov().FloorYGiven, c.given) << c.arg;
        EXPECT_EQ(t().pov().FloorY, c.y) << c.arg;
    }
    Scan({"-b"});
    EXPECT_TRUE(t().pov().BackgroundOn);
    EXPECT_FLOAT_EQ(t().pov().BackgroundRgb[1], 0.8f);
    Scan({"-b1.5,0,0", "-c4", "-ic", "-ilx.inc", "-ibb.inc", "-iee.inc", "-mp1.0", "-i3b-", "-i3e-",
          "-stdout", "-l", "-ld"});
    EXPECT_FLOAT_EQ(t().pov().BackgroundRgb[0], 1.5f);
    EXPECT_EQ(t().pov().DefaultColor, 4);
    EXPECT_FALSE(t().pov().CameraOn);
    EXPECT_EQ(t().pov().IncludeCamera, nullptr);
    EXPECT_STREQ(t().pov().IncludeLights, "x.inc");
    EXPECT_STREQ(t().pov().IncludeBegin, "b.inc");
    EXPECT_STREQ(t().pov().IncludeEnd, "e.inc");
    EXPECT_STREQ(t().pov().MegaPovVersion, "1.0");
    EXPECT_EQ(t().pov().IncludeTqBegin, 0);
    EXPECT_EQ(t().pov().IncludeTqEnd, 0);
    EXPECT_TRUE(t().pov().LightDatLights && t().pov().DefaultLightsToo);
}

TEST_F(Options, LightsKeepTheirOrderAndColours) {
    Scan({"-lg45,0,0", "-lc0,-500,0,#FF0000"});
    const SceneWriter* w = t().writer();
    ASSERT_EQ(w->nLights, 2);
    EXPECT_EQ(w->Lights[0].Flags & kLightGlobe, kLightGlobe);
    EXPECT_EQ(w->Lights[0].Rgb[0], 1);
    EXPECT_EQ(w->Lights[1].Flags & kLightGlobe, 0);
    EXPECT_EQ(w->Lights[1].Position[1], -500);
    EXPECT_EQ(w->Lights[1].Rgb[0], 1);
    EXPECT_EQ(w->Lights[1].Rgb[1], 0);
}

TEST_F(Options, ColourTexts) {
    struct Case {
        const char* text;
        bool wantNumber;
        int result;
        int number;
        float r, g, b;
    } cases[] = {
        {"", true, 0, -1, 0, 0, 0},         {"#FF0000", true, 1, 0x2FF0000, 1, 0, 0},
        {"#FF00", true, -1, -1, 0, 0, 0},   {"0.5,0.5,0.5", true, 1, 0x27F7F7F, 0.5f, 0.5f, 0.5f},
        {"1.5,0,0", true, -1, -1, 0, 0, 0}, {"1.5,0,0", false, 1, -1, 1.5f, 0, 0},
        {"4", true, 1, 4, 0, 0, 0},         {"0x2FF8000", true, 1, 0x2FF8000, 0, 0, 0},
        {"2x", true, 1, 2, 0, 0, 0},        {"x!", true, -1, -1, 0, 0, 0},
    };
    for (const Case& c : cases) {
        int number = -1;
        float rgb[3] = {0, 0, 0};
        int r = c.wantNumber ? ParseColor(t().run(), c.text, &number, nullptr)
                             : ParseColor(t().run(), c.text, nullptr, rgb);
        EXPECT_EQ(r, c.result) << c.text;
        if (c.wantNumber) {
            EXPECT_EQ(number, c.number) << c.text;
        } else {
            EXPECT_FLOAT_EQ(rgb[0], c.r) << c.text;
        }
    }
    float rgb[3];
    EXPECT_EQ(ParseColor(t().run(), "#FF0000", nullptr, rgb), 1);
    EXPECT_EQ(rgb[0], 1);
    EXPECT_EQ(rgb[1], 0);
}

TEST_F(Options, StringHelpers) {
    char order[8] = "P3";
    EXPECT_EQ(strappchr(order, 'L'), 0);
    EXPECT_EQ(strappchr(order, 'L'), 1);
    EXPECT_STREQ(order, "P3L");
    EXPECT_EQ(strremchr(order, '3'), 0);
    EXPECT_STREQ(order, "PL");
    EXPECT_EQ(strremchr(order, '3'), 1);
}

TEST(OptionsBinary, RefusedOptionsShowOnlyTheirMessageWithStdout) {
    struct Case {
        std::vector<std::string> args;
        const char* message;
    } cases[] = {
        {{"-q5", "m.ldr"}, "*** Bad argument '-q5'.\n"},
        {{"-q-1"}, "*** Bad argument '-q-1'.\n"},
        {{"-c"}, "*** Unknown option '-c'.\n"},
        {{"-cred"}, "*** Bad argument '-cred'.\n"},
        {{"-cg30"}, "*** Bad arguments '-cg30'.\n"},
        {{"-cc1,2"}, "*** Bad arguments '-cc1,2'.\n"},
        {{"-cla1,2,3"}, "*** -cla requires -cg with positive radius or -cc.\n"},
        {{"-cla"}, "*** Bad arguments '-cla'.\n"},
        {{"-clx"}, "*** Bad argument '-clx'.\n"},
        {{"-csky0,0,0"}, "*** Sky vector is zero '-csky0,0,0'.\n"},
        {{"-cra10", "-csky0,-1,0"}, "*** -cra and -csky are mutually exclusive.\n"},
        {{"-ca180"}, "*** Bad argument '-ca180'.\n"},
        {{"-car0"}, "*** Bad argument '-car0'.\n"},
        {{"-cpa30"}, "*** Bad argument '-cpa30'.\n"},
        {{"-cfit50"}, "*** Bad argument '-cfit50'.\n"},
        {{"-cfit-1"}, "*** Bad argument '-cfit-1'.\n"},
        {{"-cfitx"}, "*** Bad argument '-cfitx'.\n"},
        {{"-edges0"}, "*** Bad edge width '-edges0'.\n"},
        {{"-edgesx"}, "*** Bad edge width '-edgesx'.\n"},
        {{"-edges101"}, "*** Bad edge width '-edges101'.\n"},
        {{"-sf0"}, "*** Bad fade '-sf0'.\n"},
        {{"-sf101"}, "*** Bad fade '-sf101'.\n"},
        {{"-cpx"}, "*** Unknown option '-cpx'.\n"},
        {{"-cpcx"}, "*** Bad argument '-cpcx'.\n"},
        {{"-csx"}, "*** Unknown option '-csx'.\n"},
        {{"-dx"}, "*** Unknown option '-dx'.\n"},
        {{"-i3x-"}, "*** Unknown option '-i3x-'.\n"},
        {{"-ib"}, "*** Missing filename '-ib'.\n"},
        {{"-ie"}, "*** Missing filename '-ie'.\n"},
        {{"-kx"}, "*** Unknown option '-kx'.\n"},
        {{"-ldd"}, "*** Missing directory '-ldd'.\n"},
        {{"-ldx"}, "*** Unknown option '-ldx'.\n"},
        {{"-lsx"}, "*** Unknown option '-lsx'.\n"},
        {{"-lx"}, "*** Unknown option '-lx'.\n"},
        {{"-lg1,2"}, "*** Bad arguments '-lg1,2'.\n"},
        {{"-lc1,2,x"}, "*** Bad arguments '-lc1,2,x'.\n"},
        {{"-mp"}, "*** Missing version '-mp'.\n"},
        {{"-px"}, "*** Unknown option '-px'.\n"},
        {{"-sw"}, "*** Bad argument '-sw'.\n"},
        {{"-sx"}, "*** Unknown option '-sx'.\n"},
        {{"-tx"}, "*** Unknown option '-tx'.\n"},
        {{"-"}, "*** Unknown option '-'.\n"},
        {{"-Q"}, "*** Unknown option '-Q'.\n"},
        {{"a", "b", "c"}, "*** Too many filenames.\n"},
        {{"-cgnan,0"}, "*** Bad arguments '-cgnan,0'.\n"},
        {{"-sw1e999"}, "*** Bad argument '-sw1e999'.\n"},
        {{"-c0.5,2,0"}, "*** Bad color '-c0.5,2,0'.\n"},
        {{"-c#12"}, "*** Bad color '-c#12'.\n"},
    };
    for (const Case& c : cases) {
        RunResult r = RunStdout(c.args);
        EXPECT_EQ(r.status, 1) << c.args[0];
        EXPECT_EQ(r.out, c.message) << c.args[0];
        EXPECT_EQ(r.err, "") << c.args[0];
    }
}

TEST(OptionsBinary, UsageWithoutArgumentsAndBeforeErrors) {
    TempDir cwd;
    RunResult r = RunTqr({}, cwd.Path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out.rfind(ProgVer, 0), 0u);
    EXPECT_NE(r.out.find("Usage: tqr [options] modelpath [povpath] [options]\n"),
              std::string::npos);
    EXPECT_NE(r.out.find("-<r>% further away"), std::string::npos);
    EXPECT_EQ(r.out.find("-test show test options"), std::string::npos);
    EXPECT_EQ(r.err, "");
    RunResult testing = RunTqr({"-test"}, cwd.Path());
    EXPECT_NE(testing.out.find("  -test -lgeo part.dat generate pov file for testing primitive\n" +
                               std::string(ProgVer)),
              std::string::npos);
    RunResult bad = RunTqr({"-q9"}, cwd.Path());
    EXPECT_EQ(bad.out, r.out);
    EXPECT_EQ(bad.err, "\n*** Bad argument '-q9'.\n");
    RunResult onlyOptions = RunTqr({"-q1", "-stdout"}, cwd.Path());
    EXPECT_EQ(onlyOptions.status, 1);
    EXPECT_EQ(onlyOptions.out, r.out);
}

TEST(OptionsBinary, ColourOptionsFixTheLibrary) {
    TempDir dir;
    std::string lib = MakeLibrary(dir);
    const std::string hint = "Hint: put -ldd and -ldc before any option that names a colour.\n";
    RunResult b4 = RunStdout({"-b4", "-ldd" + lib}, lib);
    EXPECT_EQ(b4.out, "*** -ldd must be specified before color options.\n" + hint);
    RunResult c4 = RunStdout({"-c4", "-ldd" + lib, "-q9"}, lib);
    EXPECT_EQ(c4.out, "*** Bad argument '-q9'.\n");
    RunResult bux = RunStdout({"-ldd" + lib, "-bux"});
    EXPECT_EQ(bux.out, "*** Bad color '-bux'.\n");
    RunResult named = RunStdout({"-ldd" + lib, "-cbright_red", "-ldc", "-q9"});
    EXPECT_EQ(named.out, "*** -ldc must be specified before color options.\n" + hint);
    RunResult noLibrary = RunStdout({"-bux"});
    EXPECT_NE(noLibrary.out.find("*** Environment variable LDRAWDIR must be set"),
              std::string::npos);
    EXPECT_EQ(noLibrary.out.find("Hint"), std::string::npos);  // no library option to move
    // Without any other library setting, a colour read before -ldd cannot find the library:
    // the message says what is missing, the hint what to do.
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"-bgreen", "-ldd" + lib, "car.ldr"}, {"-pc", "-ldd" + lib}}) {
        RunResult late = RunStdout(args);
        EXPECT_EQ(late.status, 1) << args[0];
        EXPECT_NE(late.out.find("Alternatively use the -ldd<dir> option.\n" + hint),
                  std::string::npos)
            << late.out;
    }
    RunResult first = RunStdout({"-ldd" + lib, "-pc"});
    EXPECT_EQ(first.status, 0);
    EXPECT_EQ(first.out.find("Hint"), std::string::npos);
}

TEST(OptionsBinary, OverlongFileNamesAreRefused) {
    std::string longName(1100, 'a');
    RunResult r = RunStdout({longName});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "*** File name too long (1100 characters, at most 1023 allowed).\n");
    r = RunStdout({"m.ldr", std::string(1024, 'b')});
    EXPECT_EQ(r.out, "*** File name too long (1024 characters, at most 1023 allowed).\n");
    r = RunStdout({"-lgd" + std::string(1030, 'c')});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out.rfind("*** Directory name too long", 0), 0u);
}

TEST(OptionsBinary, WarningsGoToTheMessageStreamAndTheRunContinues) {
    RunResult r =
        RunStdout({"-lgeo", "-lgeo", "-kv", "-kv", "-p", "-p", "-p3", "-p3", "-ee", "-q9"});
    EXPECT_EQ(r.out,
              "Warning: -lgeo already met.\nWarning: -kv already met.\nWarning: -p already met.\n"
              "Warning: -p3 already met.\n*** Bad argument '-q9'.\n");
    r = RunStdout({"-lgeo", "-ee"});
    EXPECT_EQ(
        r.out.rfind(
            "-ee should not be used together with -lgeo\n-ee should be used together with -sw0\n",
            0),
        0u);
}
