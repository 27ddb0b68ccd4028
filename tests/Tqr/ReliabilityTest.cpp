// Input that once crashed, hung, lost data or passed for success: each case runs the real
// binary (under a timeout where it once hung) and checks the message, the status and what was
// written.
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/TestSupport.h"

namespace fs = std::filesystem;

namespace {

// Long enough for the sanitizer build; a hang runs into it at once.
constexpr int kTimeout = 60;

size_t Count(const std::string& text, const std::string& word) {
    size_t n = 0;
    for (size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1)) n++;
    return n;
}

std::string Hostile(const std::string& name) {
    return SourceDir() + "/tests/hostile/" + name;
}

// A work directory with a copy of the sample library under ldraw/.
class Reliability : public ::testing::Test {
protected:
    TempDir dir;
    std::string lib = dir / "ldraw";

    void SetUp() override {
        fs::copy(SourceDir() + "/samples/ldraw", lib, fs::copy_options::recursive);
    }
    RunResult Run(std::vector<std::string> args, const RunOptions& options = {}) {
        args.insert(args.begin(), {"-stdout", "-ldd" + lib});
        RunOptions timed = options;
        if (timed.timeoutSeconds == 0) timed.timeoutSeconds = kTimeout;
        return RunTqr(args, dir.Path(), CleanLibraryEnv(dir.Path()), timed);
    }
    std::string Scene(const std::string& name = "out.pov") { return ReadFile(dir / name); }
};

}  // namespace

TEST_F(Reliability, DeepNestingEndsWithAMessageNotACrash) {
    std::string nest(150000 * 10, ' ');
    for (size_t i = 0; i < 150000; i++) nest.replace(i * 10, 10, "0 SCALE 1\n");
    dir.Write("nest.ldr", nest + "3 4 0 0 0 1 0 0 0 1 0\n");
    RunResult convert = Run({"-o", "nest.ldr", "out.pov"});
    EXPECT_EQ(convert.status, 1) << convert.out.substr(0, 2000);
    EXPECT_NE(convert.out.find("SKIPPING \"nest.ldr\" Line 1001: Transform blocks nested more "
                               "than 1000 deep: 0 SCALE 1\n"),
              std::string::npos);
    EXPECT_NE(convert.out.find("*** Abnormal termination.\n"), std::string::npos);
    RunResult check = Run({"-check", "nest.ldr"});
    EXPECT_EQ(check.status, 0);
    EXPECT_NE(check.out.find("Transform blocks nested more than 1000 deep"), std::string::npos);

    // A chain of sub-models: 1000 levels below the main model still load, 1001 do not.
    for (int levels : {1000, 1001}) {
        std::string mpd;
        for (int i = 0; i < levels; i++)
            mpd += "0 FILE s" + std::to_string(i) + ".ldr\n1 16 0 0 0 1 0 0 0 1 0 0 0 1 s" +
                   std::to_string(i + 1) + ".ldr\n";
        mpd += "0 FILE s" + std::to_string(levels) + ".ldr\n3 4 0 0 0 10 0 0 0 0 10\n";
        dir.Write("chain.mpd", mpd);
        RunResult r = Run({"-o", "chain.mpd", "out.pov"});
        EXPECT_EQ(r.status, levels == 1000 ? 0 : 1) << levels << r.out.substr(0, 2000);
        bool refused = r.out.find(
                           "References nested more than 1000 deep: s1000.ldr line 2002 "
                           "references s1001.ldr\n") != std::string::npos;
        EXPECT_EQ(refused, levels == 1001) << levels;
    }
}

TEST_F(Reliability, OnlyRegularFilesAreReadAndLinkLoopsAreWalkedOnce) {
    ASSERT_EQ(mkfifo((dir / "fifo.ldr").c_str(), 0644), 0);
    ASSERT_EQ(mkfifo((lib + "/parts/fifo.dat").c_str(), 0644), 0);
    fs::create_symlink("/dev/zero", lib + "/parts/zero.dat");
    dir.Write("model.ldr",
              "1 4 0 0 0 1 0 0 0 1 0 0 0 1 fifo.dat\n1 4 0 0 0 1 0 0 0 1 0 0 0 1 zero.dat\n"
              "1 4 0 0 0 1 0 0 0 1 0 0 0 1 3001.dat\n");
    RunResult model = Run({"fifo.ldr", "out.pov"});
    EXPECT_EQ(model.status, 1);
    EXPECT_NE(model.out.find("*** Cannot read 'fifo.ldr': not a regular file.\n"),
              std::string::npos)
        << model.out;
    RunResult parts = Run({"model.ldr", "out.pov"});
    EXPECT_EQ(parts.status, 0) << parts.out;
    EXPECT_NE(parts.out.find("Could not find fifo.dat Referenced by model.ldr"), std::string::npos);
    EXPECT_NE(parts.out.find("Could not find zero.dat Referenced by model.ldr"), std::string::npos);
    RunResult colours = Run({"-ldc/dev/zero", "-o", "model.ldr", "out.pov"});
    EXPECT_EQ(colours.status, 1);
    EXPECT_NE(colours.out.find("Could not open ldconfig.ldr file '/dev/zero'"), std::string::npos);
    std::map<std::string, std::string> env = CleanLibraryEnv(dir.Path());
    env["LDRAWINI"] = dir / "fifo.ldr";
    RunOptions timed;
    timed.timeoutSeconds = kTimeout;
    RunResult ini =
        RunTqr({"-stdout", "-ldd" + lib, "-o", "model.ldr", "out.pov"}, dir.Path(), env, timed);
    EXPECT_EQ(ini.status, 0) << ini.out;

    // Two links back to the directory itself: the walk visits the directory once.
    dir.MakeDir("loop");
    dir.Write("loop/m.ldr", "3 4 0 0 0 10 0 0 0 0 10\n");
    fs::create_symlink(".", dir / "loop/a");
    fs::create_symlink(".", dir / "loop/b");
    ASSERT_EQ(mkfifo((dir / "loop/pipe.ldr").c_str(), 0644), 0);
    RunResult walk = Run({"-check", "loop"});
    EXPECT_EQ(walk.status, 0);
    EXPECT_EQ(Count(walk.out, "m.ldr'\n"), 1u) << walk.out;
    EXPECT_NE(walk.out.find("/pipe.ldr' is not a regular file, skipped\n"), std::string::npos);
    EXPECT_NE(walk.out.find("Checked 1 file: 0 errors, 0 warnings, 0 files not found, 1 skipped\n"),
              std::string::npos)
        << walk.out;
}

TEST_F(Reliability, ThousandsOfSubModelsAndLibraryFilesAllArrive) {
    RunResult many = Run({"-o", Hostile("table_full.mpd"), "out.pov"});
    EXPECT_EQ(many.status, 0) << many.out.substr(0, 2000);
    EXPECT_EQ(many.out.find("Sorry"), std::string::npos);
    std::string scene = Scene();
    EXPECT_EQ(Count(scene, "_dot_ldr = "), 2500u);        // every sub-model declared
    EXPECT_EQ(Count(scene, "_dot_ldr matrix <"), 2500u);  // and placed in the main model

    std::string model;
    for (int i = 0; i < 2600; i++) {
        std::string name = "p";
        name.append(std::to_string(i)).append(".dat");
        dir.Write("ldraw/parts/" + name, "0 Part " + std::to_string(i) + "\n3 16 0 0 0 " +
                                             std::to_string(i + 1) + " 0 0 0 0 10\n");
        model += "1 4 " + std::to_string(i * 20) + " 0 0 1 0 0 0 1 0 0 0 1 " + name + "\n";
    }
    dir.Write("distinct.ldr", model);
    RunResult distinct = Run({"-o", "distinct.ldr", "out.pov"});
    EXPECT_EQ(distinct.status, 0) << distinct.out.substr(0, 2000);
    EXPECT_NE(distinct.out.find("Model has 2600 parts"), std::string::npos);
    EXPECT_EQ(Count(Scene(), "_dot_dat\n\t\tmatrix <1-TqSW"), 2600u);  // each placed, seamed
}

TEST_F(Reliability, EncodingsAreReadOrRefusedWithAMessage) {
    RunResult bom = Run({"-o", Hostile("bom_geometry.ldr"), "out.pov"});
    EXPECT_EQ(bom.status, 0) << bom.out;
    EXPECT_NE(bom.out.find("Model has 2 parts"), std::string::npos) << bom.out;
    for (const char* name : {"utf16_le_bom.ldr", "utf16_be.ldr"}) {
        RunResult r = Run({"-o", Hostile(name), "out.pov"});
        EXPECT_EQ(r.status, 1) << name;
        EXPECT_NE(r.out.find(std::string(name) + " is UTF-16 text, not an LDraw file\n"),
                  std::string::npos)
            << name << r.out;
    }
    RunResult nul = Run({"-o", Hostile("nul_line_start.ldr"), "out.pov"});
    EXPECT_EQ(nul.status, 0);
    EXPECT_NE(nul.out.find("WARNING \"nul_line_start.ldr\" Line 2: NUL byte in line; the rest of "
                           "the line is ignored: \n"),
              std::string::npos)
        << nul.out;
}

TEST_F(Reliability, LongLinesAreCutAndCountedOnce) {
    RunResult r = Run({"-o", Hostile("long_comment_geometry.ldr"), "out.pov"});
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("WARNING \"long_comment_geometry.ldr\" Line 1: Line too long, 2039 "
                         "characters; the rest is ignored: 0 xxx"),
              std::string::npos)
        << r.out.substr(0, 300);
    // The tail of the comment is no part, and the next lines keep their numbers.
    EXPECT_EQ(r.out.find("3003"), std::string::npos);
    EXPECT_EQ(Scene().find("3003"), std::string::npos);
    EXPECT_NE(r.out.find("SKIPPING \"long_comment_geometry.ldr\" Line 3: Bad line"),
              std::string::npos);
}

TEST_F(Reliability, CutIdentifiersStayUnique) {
    RunResult r = Run({"-o", Hostile("cut_names.mpd"), "out.pov"});
    EXPECT_EQ(r.status, 0) << r.out;
    std::string scene = Scene();
    size_t first = scene.find("MAX125 = ");
    ASSERT_NE(first, std::string::npos);
    size_t second = scene.find("MAX125 = ", first + 1);
    ASSERT_NE(second, std::string::npos);
    std::string id1 = scene.substr(scene.rfind("#declare ", first) + 9,
                                   first + 6 - scene.rfind("#declare ", first) - 9);
    std::string id2 = scene.substr(scene.rfind("#declare ", second) + 9,
                                   second + 6 - scene.rfind("#declare ", second) - 9);
    EXPECT_NE(id1, id2);
    EXPECT_LE(id2.size(), 125u);
    EXPECT_NE(scene.find("object { " + id1 + " "), std::string::npos);
    EXPECT_NE(scene.find("object { " + id2 + " "), std::string::npos);
}

// Sub-models named like POV-Ray keywords ("box", "union", "text") must still give a scene that
// parses.
TEST_F(Reliability, NamesThatArePovrayKeywordsStillParse) {
    RunResult r = Run({"-o", Hostile("reserved_names.mpd"), "out.pov"});
    EXPECT_EQ(r.status, 0) << r.out;
    std::string scene = Scene();
    for (const char* id : {"_box", "_union", "_text"}) {
        EXPECT_NE(scene.find(std::string("#declare ") + id + " = "), std::string::npos) << id;
        EXPECT_NE(scene.find(std::string("object { ") + id + " "), std::string::npos) << id;
    }
    if (HavePovray()) {
        EXPECT_EQ(RenderScene(dir / "out.pov", dir / "out.png", 64, 48), "");
    }
}

TEST_F(Reliability, BlankLinesCostAFewBytesAndWriteTheSameScene) {
    std::string blanks(5000000, '\n');
    dir.Write("blank.ldr", blanks + "3 4 0 0 0 10 0 0 0 0 10\n");
    RunResult r = Run({"-o", "blank.ldr", "out.pov"});
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_LT(r.peakKb, 150 * 1024) << "5 MB of blank lines took " << r.peakKb << " kB";
    EXPECT_EQ(Count(Scene(), "// \n"), 5000000u);
}

TEST_F(Reliability, NonFiniteValuesNeverReachTheScene) {
    RunResult r = Run({"-o", "-cc0,0,0", Hostile("inf_light.ldr"), "out.pov"});
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_NE(r.out.find("The model is too large to frame: a camera, light or floor value is not "
                         "a finite number\n"),
              std::string::npos)
        << r.out;
    EXPECT_FALSE(HasNonFiniteNumber(Scene()));
}

TEST_F(Reliability, AnUnreadableModelIsNotReplacedByALibraryModel) {
    dir.Write("ldraw/models/car.ldr", "3 4 0 0 0 10 0 0 0 0 10\n");
    dir.Write("car.ldr", "3 1 0 0 0 10 0 0 0 0 10\n");
    chmod((dir / "car.ldr").c_str(), 0);
    chmod(dir.Path().c_str(), 0777);  // the run drops to user nobody when the test is root
    RunOptions nobody;
    nobody.unprivileged = true;
    nobody.timeoutSeconds = kTimeout;
    RunResult r = RunTqr({"-stdout", "-ldd" + lib, "car.ldr", dir / "out/car.pov"}, dir.Path(),
                         CleanLibraryEnv(dir.Path()), nobody);
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_NE(r.out.find("*** Cannot read 'car.ldr': Permission denied.\n"), std::string::npos)
        << r.out;
}

TEST_F(Reliability, MeshesOfDegenerateTrianglesAreLeftOut) {
    RunResult only = Run({"-o", Hostile("degenerate_only.ldr"), "out.pov"});
    EXPECT_EQ(only.status, 1);
    EXPECT_NE(only.out.find("Empty model.\n"), std::string::npos) << only.out;
    EXPECT_EQ(only.out.find("successfully written"), std::string::npos);
    RunResult part = Run({"-o", Hostile("degenerate_part.mpd"), "out.pov"});
    EXPECT_EQ(part.status, 0) << part.out;
    std::string scene = Scene();
    EXPECT_EQ(Count(scene, "mesh {"), 1u);
    EXPECT_EQ(scene.find("material { TqColor1 }"), std::string::npos);  // the collapsed mesh
    if (HavePovray()) {
        EXPECT_EQ(RenderScene(dir / "out.pov", dir / "out.png", 64, 48), "");
    }
}

TEST_F(Reliability, CheckModeSkipsBinaryFilesAndFindsHiddenRecursion) {
    std::string png = "\x89PNG\r\n\x1a\n";
    png += std::string(200, '\0') + "1 4 0 0 0 1 0 0 0 1 0 0 0 1 3001.dat\n";
    dir.Write("ldraw/parts/textures/logo.png", png);
    dir.Write("ldraw/parts/zz.dat", "0 A part\n0 !LDRAW_ORG Part\n3 16 0 0 0 1 0 0 0 0 1\n");
    dir.Write("ldraw/parts/sub/zz.dat",
              "0 A model named like the part\n"
              "1 4 0 0 0 1 0 0 0 1 0 0 0 1 zz.dat\n");
    RunResult r = Run({"-check"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("/parts/textures/logo.png' is not a text file, skipped\n"),
              std::string::npos);
    EXPECT_EQ(r.out.find("PNG"), std::string::npos);
    EXPECT_NE(r.out.find("Recursive references: zz.dat\nreferenced by zz.dat line 2\n"),
              std::string::npos)
        << r.out;
}

// A line break in a file or directory name once ended the scene comment that carries the name,
// and POV-Ray ran the rest as scene code. Every route a name takes into the scene is tried; the
// name stays inside its comment or string, and no control character but the line ends and tabs
// of the scene's own text reaches the file.
TEST_F(Reliability, NamesWithLineBreaksStayInTheirCommentsAndStrings) {
    const std::string payload = "\n#error \"INJECTED\"\n";
    const std::string model =
        "0 A model\n0 escape \x1b[31m and form feed \x0c\n"
        "1 4 0 0 0 1 0 0 0 1 0 0 0 1 3001.dat\n"
        "1 1 0 -24 0 1 0 0 0 1 0 0 0 1 missing\x0b.dat\n";
    std::string controls(1, '\x7f');
    for (char ch = 1; ch < 0x20; ch++) {
        if (ch != '\n' && ch != '\t') controls += ch;
    }
    fs::create_symlink(lib, dir / ("lib" + payload));
    const struct {
        const char* route;
        std::string workDir;  // under dir
        std::vector<std::string> args;
        bool renders;  // false where the name is an include file that does not exist
    } kCases[] = {
        {"model file name", "", {"-ldd" + lib, "m" + payload + ".ldr", "out.pov"}, true},
        {"working directory", "w" + payload, {"-ldd" + lib, dir / "plain.ldr", "out.pov"}, true},
        {"library path", "", {"-ldd" + dir / ("lib" + payload), "plain.ldr", "out.pov"}, true},
        {"include file",
         "",
         {"-ldd" + lib, "-ib" + payload + ".inc", "plain.ldr", "out.pov"},
         false},
    };
    dir.Write("m" + payload + ".ldr", model);
    dir.Write("plain.ldr", model);
    for (const auto& c : kCases) {
        std::string work = c.workDir.empty() ? dir.Path() : dir.MakeDir(c.workDir);
        std::vector<std::string> args = c.args;
        args.insert(args.begin(), {"-o", "-v"});
        RunResult r = RunTqr(args, work, CleanLibraryEnv(dir.Path()));
        ASSERT_EQ(r.status, 0) << c.route << "\n" << r.err;
        std::string scene = ReadFile(work + "/out.pov");
        EXPECT_EQ(scene.find("\n#error \"INJECTED\""), std::string::npos) << c.route;
        size_t control = scene.find_first_of(controls);
        EXPECT_EQ(control, std::string::npos)
            << c.route << ": byte " << (int)scene[control] << " in the scene";
        // Rendered under a plain name: POV-Ray cannot open one with a line break itself.
        if (c.renders && HavePovray()) {
            dir.Write("render.pov", scene);
            EXPECT_EQ(RenderScene(dir / "render.pov", dir / "render.png", 32, 24), "") << c.route;
        }
    }
}

// -cfit walks every placed part and surface. Nine levels of sub-models that each place the next
// ten times hold a thousand million triangles: the walk stops entering sub-models once it has
// seen a few million points, and the scene is written within the timeout.
TEST_F(Reliability, FramingThePlacedPartsOfAnExplodingModelEnds) {
    std::string mpd;
    for (int level = 0; level < 9; level++) {
        mpd += "0 FILE s" + std::to_string(level) + ".ldr\n";
        for (int i = 0; i < 10; i++)
            mpd += "1 16 " + std::to_string(i * 30) + " 0 0 1 0 0 0 1 0 0 0 1 s" +
                   std::to_string(level + 1) + ".ldr\n";
    }
    mpd += "0 FILE s9.ldr\n3 4 0 0 0 10 0 0 0 0 10\n";
    dir.Write("boom.mpd", mpd);
    RunResult r = Run({"-o", "-cfit5", "boom.mpd", "out.pov"});
    EXPECT_EQ(r.status, 0) << r.out.substr(0, 2000);
    EXPECT_NE(Scene().find("// TqRadius="), std::string::npos);
    EXPECT_FALSE(HasNonFiniteNumber(Scene()));
}
