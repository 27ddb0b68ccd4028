// The run sequence seen from outside: output paths, refusal to overwrite, library errors.
#include <string>

#include "Tqr/Tqr.h"
#include "support/TestSupport.h"

namespace {

const char kBrickModel[] = "0 Test model\n1 4 0 0 0 1 0 0 0 1 0 0 0 1 box.dat\n";

// A library with a single part so that conversions have something to read.
struct Workspace {
    TempDir dir;
    std::string lib, work;
    Workspace() {
        lib = dir.MakeDir("ldraw");
        dir.MakeDir("ldraw/p");
        dir.Write("ldraw/parts/box.dat",
                  "0 Box\n0 Name: box.dat\n0 !LDRAW_ORG Part\n"
                  "4 16 -10 0 -10 10 0 -10 10 0 10 -10 0 10\n");
        dir.Write("ldraw/ldconfig.ldr", "0 !COLOUR Red CODE 4 VALUE #C91A09 EDGE #333333\n");
        work = dir.MakeDir("work");
        dir.Write("work/model.ldr", kBrickModel);
    }
    RunResult Run(std::vector<std::string> args, const std::string& cwd = "") {
        // -stdout only counts as the first argument.
        args.insert(args.begin() + (!args.empty() && args[0] == "-stdout" ? 1 : 0), "-ldd" + lib);
        return RunTqr(args, cwd.empty() ? work : cwd, {{"HOME", work}});
    }
};

}  // namespace

TEST(RunSequence, OutputPathIsFormedFromTheModelName) {
    Workspace ws;
    std::string other = ws.dir.MakeDir("elsewhere");
    ws.dir.Write("elsewhere/deep.ldr", kBrickModel);
    ws.dir.MakeDir("work/outdir");
    ws.dir.Write("work/.hidden", kBrickModel);
    struct Case {
        std::vector<std::string> args;
        const char* expected;
    } cases[] = {
        {{"model.ldr"}, "model.pov"},
        {{other + "/deep.ldr"}, "deep.pov"},
        {{"model.ldr", "outdir"}, "outdir/model.pov"},
        {{"model.ldr", "outdir///"}, "outdir/model.pov"},
        {{"model.ldr", "out"}, "out.pov"},
        {{"model.ldr", "out.txt"}, "out.txt"},
        {{"model.ldr", "newdir/"}, "newdir.pov"},
        {{"model"}, "model.pov"},
        {{".hidden"}, ".hidden.pov"},
    };
    for (const Case& c : cases) {
        std::string expected = ws.work + "/" + c.expected;
        std::vector<std::string> args = c.args;
        args.push_back("-o");
        RunResult r = ws.Run(args);
        EXPECT_TRUE(FileExists(expected)) << c.expected << "\n" << r.err;
        remove(expected.c_str());
    }
}

TEST(RunSequence, ExistingOutputIsNotOverwrittenWithoutO) {
    Workspace ws;
    std::string pov = ws.dir.Write("work/model.pov", "precious");
    RunResult r = ws.Run({"-stdout", "model.ldr"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("*** File '" + pov.substr(ws.work.size() + 1) +
                         "' already exists, use option -o to overwrite.\n"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(ReadFile(pov), "precious");
}

TEST(RunSequence, MissingModelAndLibraryAreReported) {
    Workspace ws;
    RunResult r = ws.Run({"-stdout", "nothere.ldr"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "*** Cannot find model file 'nothere.ldr'.\n");
    RunResult bad =
        RunTqr({"-stdout", "-ldd/no/such/dir", "model.ldr"}, ws.work, {{"HOME", ws.work}});
    EXPECT_EQ(bad.out, "*** LDrawDir '/no/such/dir' is not a valid directory.\n");
    RunResult none =
        RunTqr({"-stdout", "model.ldr"}, ws.work, {{"HOME", ws.work}, {"LDRAWDIR", kUnsetEnv}});
    EXPECT_NE(none.out.find("Alternatively use the -ldd<dir> option.\n"), std::string::npos);
    RunResult search = RunTqr({"-stdout", "-ldd" + ws.lib, "model.ldr"}, ws.work,
                              {{"HOME", ws.work}, {"LDRAWSEARCH", ""}});
    // An empty LDRAWSEARCH variable means an empty search list.
    EXPECT_EQ(search.out, "*** Failed to compute search dirs.\n");
}

TEST(RunSequence, OverlongFormedOutputPathIsRefused) {
    Workspace ws;
    // An existing directory whose name fits, but not once "/model.pov" is added.
    std::string rel = "d";
    while (rel.size() < 1015) rel += "/ddddddddd";
    ws.dir.MakeDir("work/" + rel);
    RunResult r = ws.Run({"-stdout", "model.ldr", rel});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "*** Output path too long (at most 1023 characters).\n");
}

TEST(RunSequence, ColourFileCanBeGivenOrSwitchedOff) {
    Workspace ws;
    RunResult missing = ws.Run({"-stdout", "-ldcnothere.ldr", "model.ldr"});
    EXPECT_EQ(missing.out, "*** Could not open ldconfig.ldr file 'nothere.ldr'.\n");
    ws.dir.Write("ldraw/alt.ldr", "0 !COLOUR Alt CODE 4 VALUE #010203 EDGE 0\n");
    RunResult alt = RunTqr({"-ldd" + ws.lib, "-ldcalt.ldr", "-pc"}, ws.work, {{"HOME", ws.work}});
    EXPECT_EQ(alt.status, 0);
    EXPECT_NE(alt.out.find("0 !COLOUR Alt                 CODE   4 VALUE #010203 EDGE       0\n"),
              std::string::npos);
    RunResult none =
        RunTqr({"-ldd" + ws.lib, "-ldc", "-pc", "model.ldr"}, ws.work, {{"HOME", ws.work}});
    EXPECT_EQ(none.status, 0);
    EXPECT_NE(none.out.find("0 !COLOUR Red*"), std::string::npos);
}

TEST(RunSequence, BadOutputAndDegenerateModelsFailClearly) {
    Workspace ws;
    RunResult noDir = ws.Run({"-stdout", "model.ldr", "no/such/dir/out.pov"});
    EXPECT_EQ(noDir.status, 1);
    EXPECT_NE(noDir.out.find("*** Could not open 'no/such/dir/out.pov' for writing.\n"),
              std::string::npos)
        << noDir.out;
    // Every reference missing: nothing to draw.
    ws.dir.Write("work/missing.ldr",
                 "1 4 0 0 0 1 0 0 0 1 0 0 0 1 nothing.dat\n1 1 0 0 0 1 0 0 0 1 0 0 0 1 none.dat\n");
    RunResult missing = ws.Run({"-stdout", "missing.ldr"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.out.find("Could not find nothing.dat Referenced by missing.ldr\n"),
              std::string::npos);
    EXPECT_NE(missing.out.find("Empty model.\n"), std::string::npos);
    EXPECT_NE(missing.out.find("*** Abnormal termination.\n"), std::string::npos);
    EXPECT_NE(ReadFile(ws.work + "/missing.pov").find("// Empty model"), std::string::npos);
    // A triangle collapsed to a point is nothing POV-Ray would draw (it refuses a mesh of such
    // triangles): the model is empty.
    ws.dir.Write("work/point.ldr", "3 4 5 5 5 5 5 5 5 5 5\n");
    RunResult point = ws.Run({"-stdout", "point.ldr"});
    EXPECT_EQ(point.status, 1);
    EXPECT_NE(point.out.find("Empty model.\n"), std::string::npos) << point.out;
    EXPECT_EQ(ReadFile(ws.work + "/point.pov").find("mesh"), std::string::npos);
    // A camera standing on the point it looks at cannot be placed.
    ws.dir.Write("work/flat.ldr", "3 4 0 0 0 10 0 0 0 0 10\n");
    RunResult same = ws.Run({"-stdout", "-cc5,5,5", "-cla5,5,5", "flat.ldr"});
    EXPECT_EQ(same.status, 1);
    EXPECT_NE(same.out.find("Cannot place the camera"), std::string::npos) << same.out;
    std::string scene = ReadFile(ws.work + "/flat.pov");
    EXPECT_FALSE(HasNonFiniteNumber(scene));
    EXPECT_NE(scene.find("// Error occurred"), std::string::npos);
    // With a camera elsewhere the same model converts.
    RunResult elsewhere = ws.Run({"-stdout", "-o", "-cc5,5,-100", "-cla5,5,5", "flat.ldr"});
    EXPECT_EQ(elsewhere.status, 0) << elsewhere.out;
}
