// Check mode seen from outside: single files, directory walks, primitive listings.
#include <cstring>
#include <string>
#include <unordered_map>

#include "Tqr/Tqr.h"
#include "support/TestSupport.h"

namespace {

struct CheckLibrary {
    TempDir dir;
    std::string lib;
    CheckLibrary() {
        lib = dir.MakeDir("ldraw");
        dir.Write("ldraw/ldconfig.ldr", "");
        dir.Write("ldraw/p/stu2.dat", "0 Speed stud\n3 16 0 0 0 1 0 0 0 1 0\n");
        dir.Write("ldraw/p/ring3.dat", "0 Ring\n3 16 0 0 0 1 0 0 0 0 1\n");
        dir.Write("ldraw/p/odd.dat", "0 Odd\n3 16 0 0 0 1 0 0 0 0 1\n");
        dir.Write("ldraw/parts/bad.dat", "0 Bad part\n3 16 0 0 0 1 0 0 1 0 0\n");
        dir.Write("ldraw/parts/good.dat", "0 Good part\n3 16 0 0 0 1 0 0 0 0 1\n");
    }
    RunResult Run(std::vector<std::string> args, bool toStdout = true) {
        args.insert(args.begin(), "-ldd" + lib);
        if (toStdout) args.insert(args.begin(), "-stdout");
        return RunTqr(args, dir.Path(), CleanLibraryEnv(dir.Path()));
    }
};

size_t Count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t pos = text.find(what); pos != std::string::npos; pos = text.find(what, pos + 1))
        n++;
    return n;
}

}  // namespace

TEST(CheckMode, SingleFileShowsItsPathAndFaults) {
    CheckLibrary c;
    std::string model = c.dir.Write(
        "m.ldr", "0 Model\n1 4 0 0 0 1 0 0 0 1 0 0 0 1 bad.dat\n3 4 0 0 0 1 0 0 1 0 0\n");
    RunResult r = c.Run({"-check", model});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.rfind("'" + model + "'\n", 0), 0u) << r.out;
    EXPECT_NE(r.out.find("WARNING \"m.ldr\" Line 3: Identical vertices: 3 4 0 0 0 1 0 0 1 0 0\n"),
              std::string::npos);
    // A library file is checked quietly: its level 1 faults stay hidden.
    EXPECT_EQ(r.out.find("\"bad.dat\""), std::string::npos);
    EXPECT_NE(r.out.find("0 Model\n"), std::string::npos);
    EXPECT_EQ(r.out.substr(r.out.size() - 1 - std::string("tqr 1.4.0").size()).rfind("\ntqr", 0),
              std::string::npos);
    EXPECT_FALSE(FileExists(c.dir / "m.pov"));
    // One line sums up the run; faults of library files that stay hidden are not counted.
    EXPECT_NE(r.out.find("Checked 1 file: 0 errors, 1 warning, 0 files not found\n"),
              std::string::npos)
        << r.out;
    std::string broken = c.dir.Write("n.ldr",
                                     "1 4 0 0 0 1 0 0 0 1 0 0 0 1 none.dat\n7 bad line\n"
                                     "1 4 0 0 0 0 0 0 0 0 0 0 0 0 good.dat\n");
    RunResult n = c.Run({"-check", broken});
    EXPECT_NE(n.out.find("Checked 1 file: 2 errors, 0 warnings, 1 file not found\n"),
              std::string::npos)
        << n.out;
}

TEST(CheckMode, DirectoriesPrintTheirCountsDeepestFirst) {
    CheckLibrary c;
    c.dir.Write("models/a.ldr", "1 4 0 0 0 1 0 0 0 1 0 0 0 1 good.dat\n");
    c.dir.Write("models/b.ldr", "1 4 0 0 0 1 0 0 0 1 0 0 0 1 good.dat\n");
    c.dir.Write("models/sub/c.ldr", "3 4 0 0 0 1 0 0 0 1 0\n");
    RunResult r = c.Run({"-check", c.dir / "models/"});
    EXPECT_EQ(r.status, 0);
    size_t sub = r.out.find("1 files in " + (c.dir / "models/sub") + " checked.\n");
    size_t top = r.out.find("2 files in " + (c.dir / "models") + " checked.\n");
    EXPECT_NE(sub, std::string::npos) << r.out;
    EXPECT_NE(top, std::string::npos) << r.out;
    EXPECT_LT(sub, top);
    EXPECT_EQ(Count(r.out, "checked."), 2u);
    RunResult both = c.Run({"-check", c.dir / "models"}, false);
    EXPECT_EQ(Count(both.out, "checked."), 2u);
    EXPECT_EQ(Count(both.err, "checked."), 2u);
}

TEST(CheckMode, SharedPartIsCheckedOnce) {
    CheckLibrary c;
    c.dir.Write("models/a.ldr", "1 4 0 0 0 1 0 0 0 1 0 0 0 1 bad.dat\n");
    c.dir.Write("models/b.ldr", "1 4 0 0 0 1 0 0 0 1 0 0 0 1 bad.dat\n");
    RunResult r = c.Run({"-check", "-w1", "-d", c.dir / "models"});
    EXPECT_EQ(Count(r.out, "\"bad.dat\" Line 2: Identical vertices"), 0u);
    c.dir.Write("ldraw/parts/worse.dat", "0 Worse\n3 99 0 0 0 1 0 0 0 1 0\n");
    c.dir.Write("models/c.ldr", "1 4 0 0 0 1 0 0 0 1 0 0 0 1 worse.dat\n");
    c.dir.Write("models/d.ldr", "1 4 0 0 0 1 0 0 0 1 0 0 0 1 worse.dat\n");
    r = c.Run({"-check", "-d", c.dir / "models"});
    EXPECT_EQ(Count(r.out, "\"worse.dat\" Line 2: Unknown color, using 7"), 1u) << r.out;
    EXPECT_EQ(Count(r.out, "Cache#"), 2u);  // each part once, when first met
}

TEST(CheckMode, WholeLibraryAndPrimitiveListing) {
    CheckLibrary c;
    RunResult r = c.Run({"-check"});
    EXPECT_EQ(r.status, 0);
    size_t p = r.out.find("3 files in " + c.lib + "/p checked.\n");
    size_t parts = r.out.find("2 files in " + c.lib + "/parts checked.\n");
    EXPECT_NE(p, std::string::npos) << r.out;
    EXPECT_LT(p, parts);
    c.dir.Write("ldraw/TQRPARTS/ring3.inc", "// hand-made\n");
    RunResult pp = c.Run({"-pp", "-check"});
    EXPECT_EQ(pp.status, 0);
    EXPECT_NE(pp.out.find("stu2.dat         irrelevant\n"), std::string::npos) << pp.out;
    EXPECT_NE(pp.out.find("ring3.dat        TQR  TQRPARTS\n"), std::string::npos);
    EXPECT_NE(pp.out.find("odd.dat        \n"), std::string::npos);
    EXPECT_NE(pp.out.find("Primitives in P: 3\nPOV substitutes: 2 (66%)\n"), std::string::npos);
}

TEST(CheckMode, EmptyPrimitiveDirectoryOmitsThePercentage) {
    TempDir dir;
    dir.MakeDir("ldraw/p");
    dir.MakeDir("ldraw/parts");
    RunResult r = RunTqr({"-stdout", "-ldd" + (dir / "ldraw"), "-pp", "-check"}, dir.Path(),
                         CleanLibraryEnv(dir.Path()));
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("Primitives in P: 0\n"), std::string::npos);
    EXPECT_EQ(r.out.find("POV substitutes"), std::string::npos);
}

namespace {

// Mismatches found by the walk below; a file-level count, as the check action is a plain function
// of the run and the path.
int nIndexMismatches = 0;

// Checks a file as the walk would, then asks the index for every name in the table.
int CheckFileAndCompareIndexWithScan(TqrRun* run, const char* path) {
    int checked = CheckDatFile(run, path);
    PartTable& parts = run->model.Parts;
    // The first slot holding each name, found the slow way.
    std::unordered_map<std::string, int> first;
    for (int i = parts.nParts() - 1; i >= 0; i--) {
        if (parts[i].DatName) first[parts[i].DatName] = i;
    }
    for (const auto& [name, slot] : first) {
        if (FindPart(&run->model, name.c_str()) != &parts[slot]) nIndexMismatches++;
    }
    if (FindPart(&run->model, "no such file.dat") != nullptr) nIndexMismatches++;
    return checked;
}

}  // namespace

TEST(CheckModeIndex, AgreesWithASlotScanThroughAWholeLibrary) {
    if (SharedLDrawDir().empty()) GTEST_SKIP() << "shared library absent";
    TestRun t;
    t.UseLibrary(SharedLDrawDir());
    t.settings().DoCheck = 1;
    t.diag()->WarningLevel = 1;
    t.RefreshLoader();
    nIndexMismatches = 0;
    for (const char* sub : {"/p", "/parts", "/models"})
        CheckDatDir(t.run(), (SharedLDrawDir() + sub).c_str(), CheckFileAndCompareIndexWithScan);
    EXPECT_GT(t.model()->Parts.nParts(), 500);
    EXPECT_EQ(nIndexMismatches, 0);
}
