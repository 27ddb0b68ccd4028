// The LGEO lists: reading with their diagnostics, sorting, and lookups by source order; the
// LGEO include files inside a rendered scene.
#include <array>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "TqPov/TqPov.h"
#include "support/Image.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;

namespace {

class LgeoLists : public TqrTest {
protected:
    TempDir dir;
    std::string out;
    SceneWriter* w = t.writer();
    const LgeoTables& lists = w->lgeo;
    int Read(const std::string& elements, const std::string& colours) {
        dir.Write("lgeo/lg_elements.lst", elements);
        dir.Write("lgeo/lg_colors.lst", colours);
        strncpy0(t.settings().TqInput.LgeoDir, (dir / "lgeo").c_str(), kPathSize);
        FreeLgeoTabs(&w->lgeo);
        RunCapture capture(t);
        int r = ReadLgeoTabs(w);
        out = capture.Out() + capture.Err();
        return r;
    }
    LgeoElmt* Find(const char* name, int wanted) { return FindLgeoElmt(w, name, wanted); }
    const char* Colour(int code) { return FindLgeoColr(w, code); }
};

}  // namespace

TEST_F(LgeoLists, ElementsAreSortedAndFoundBySource) {
    ASSERT_EQ(
        Read(
            "3001 3001 LS\n3002 3002 B\n3003 3003 LB\n973p01 973p01 L\n3001p01 3001p01 L\nx1 x1 L\n"
            "  # comment\n; comment\n\n",
            "4 lg_red\n"),
        0)
        << out;
    EXPECT_EQ(out, "");
    const char* order[] = {"x1", "973p01", "3001", "3001p01", "3002", "3003"};
    ASSERT_EQ(lists.nLgeoElmts, 6);
    for (int i = 0; i < 6; i++) EXPECT_STREQ(lists.LgeoElmts[i].DatName, order[i]) << i;
    strcpy(t.pov().ReplaceOrder, "PL");
    LgeoElmt* e = Find("3001.dat", 0);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->Flags, kLgeoL | kLgeoSlope);
    EXPECT_EQ(e->Source, 'L');
    EXPECT_STREQ(GetLgeoName(w, e), "lg_3001");
    strcpy(t.pov().ReplaceOrder, "PB");
    e = Find("3001.dat", 0);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->Source, 0);
    EXPECT_EQ(Find("3001.dat", 'B'), nullptr);
    EXPECT_STREQ(GetLgeoName(w, Find("3002.dat", 'B')), "kv_3002");
    strcpy(t.pov().ReplaceOrder, "PLB");
    EXPECT_EQ(Find("3003.dat", 0)->Source, 'L');
    strcpy(t.pov().ReplaceOrder, "PBL");
    EXPECT_EQ(Find("3003.dat", 0)->Source, 'B');
    EXPECT_EQ(Find("3001P01.DAT", 0), nullptr);
    EXPECT_NE(Find("3001p01.dat", 0), nullptr);
    EXPECT_EQ(Find("3001", 0), nullptr);
    EXPECT_EQ(Find(std::string(100, '1').append(".dat").c_str(), 0), nullptr);
}

TEST_F(LgeoLists, LaterColourLinesOverrideEarlierOnes) {
    ASSERT_EQ(Read("3001 3001 L\n",
                   "4 lg_red\n4 lg_bright_red\n-1 lg_odd\n-2147483648 lg_lowest\n"
                   "-2147483649 lg_beyond\n"),
              0);
    EXPECT_STREQ(Colour(4), "lg_bright_red");
    EXPECT_STREQ(Colour(-1), "lg_odd");
    EXPECT_STREQ(Colour(INT_MIN), "lg_lowest");  // every signed 32-bit number is valid
    EXPECT_EQ(lists.nLgeoColrs, 4);
    EXPECT_NE(out.find("Line 5: Bad line, Color number expected"), std::string::npos) << out;
    EXPECT_EQ(Colour(5), nullptr);
}

TEST_F(LgeoLists, MalformedLinesAreReportedAndSkipped) {
    t.diag()->WarningLevel = 0;
    ASSERT_EQ(Read("3001 3001 LX\n3002 3002\n" + std::string(300, 'z') + " a b\n",
                   "4\nred lg_red\n14 lg_yellow extra words\n"),
              0);
    EXPECT_NE(out.find("WARNING \"" + (dir / "lgeo/lg_elements.lst") +
                       "\" Line 1: Unknown flag 'X': 3001 3001 LX"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("Line 2: Bad line, 3 fields expected"), std::string::npos);
    EXPECT_NE(out.find("Line 1: Bad line, 2 fields expected"), std::string::npos);
    EXPECT_NE(out.find("Line 2: Bad line, Color number expected"), std::string::npos);
    EXPECT_EQ(lists.nLgeoElmts, 2);  // the 300-character word is cut into words of 79
    strcpy(t.pov().ReplaceOrder, "PL");
    ASSERT_NE(Find("3001.dat", 0), nullptr);
    EXPECT_EQ(Find("3001.dat", 0)->Flags, kLgeoL);
    EXPECT_STREQ(Colour(14), "lg_yellow");
}

TEST_F(LgeoLists, MissingOrEmptyListsFail) {
    strncpy0(t.settings().TqInput.LgeoDir, "/no/such/lgeo", kPathSize);
    {
        RunCapture capture(t);
        EXPECT_EQ(ReadLgeoTabs(w), -1);
        EXPECT_EQ(capture.Err(), "Can't open /no/such/lgeo/lg_elements.lst\n");
    }
    EXPECT_EQ(Read("# nothing\n", "4 lg_red\n"), -1);
}

TEST(LgeoScene, LgeoColourFileDoesNotChangeTheRulesOfTheScene) {
    // Real LGEO colour files include POV-Ray's colors.inc, whose #version directives would put the
    // rest of the scene under 3.7 rules without assumed_gamma: reds turn pink, POV-Ray warns.
    if (!HavePovray()) GTEST_SKIP() << "povray not installed";
    TempDir dir;
    fs::copy(SourceDir() + "/tests/golden/lgeo_example", dir.Path(), fs::copy_options::recursive);
    std::string colours = ReadFile(dir / "lgeo/lg_color.inc");
    dir.Write("lgeo/lg_color.inc", "#include \"colors.inc\"\n" + colours);
    RunResult r = RunTqr({"-lgeo", "-ldd" + dir / "ldraw", "-ldc", "-lgd" + dir / "lgeo", "-o",
                          "lgeo.ldr", "out.pov"},
                         dir.Path(), CleanLibraryEnv(dir.Path()));
    ASSERT_EQ(r.status, 0) << r.err;
    std::string log = dir / "povray.log";
    std::string command = "cd '" + dir.Path() + "' && povray -D -V +W80 +H60 +FP +Iout.pov " +
                          "+Oout.ppm '+L" + dir / "lgeo" + "' >'" + log + "' 2>&1";
    ASSERT_EQ(system(command.c_str()), 0) << ReadFile(log);
    EXPECT_EQ(ReadFile(log).find("Possible Parse Error"), std::string::npos) << ReadFile(log);
    Image image;
    ASSERT_TRUE(ReadImage(dir / "out.ppm", &image));
    // The brightest red pixel of the red brick keeps a red hue: green and blue well below red.
    std::array<int, 3> reddest = {0, 0, 0};
    for (int y = 0; y < image.height; y++) {
        for (int x = 0; x < image.width; x++) {
            std::array<int, 3> rgb = image.Rgb(x, y);
            if (rgb[0] - rgb[1] > reddest[0] - reddest[1]) reddest = rgb;
        }
    }
    EXPECT_GT(reddest[0], 2 * reddest[1]) << reddest[0] << "," << reddest[1] << "," << reddest[2];
    EXPECT_GT(reddest[0], 2 * reddest[2]);
}
