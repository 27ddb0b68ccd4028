// The depth-first loader over a small real library: counts, boxes, recursion and missing files.
#include <string>

#include "TqInput/TqInput.h"
#include "TqPov/TqPov.h"
#include "Tqr/Tqr.h"
#include "support/TestSupport.h"

namespace {

class LoaderWalk : public TqrTest {
protected:
    TempDir dir;
    char* sceneBuffer = nullptr;
    size_t sceneSize = 0;
    std::string err, out;
    FILE* scene = nullptr;

    void SetUp() override {
        dir.Write("lib/parts/brick.dat",
                  "0 Brick\n0 !LDRAW_ORG Part\n4 16 -10 0 -10 10 0 -10 10 0 10 -10 0 10\n"
                  "1 16 0 0 0 1 0 0 0 1 0 0 0 1 stud.dat\n1 16 5 0 0 1 0 0 0 1 0 0 0 1 stud.dat\n"
                  "2 24 0 0 0 1 1 1\n");
        dir.Write("lib/parts/plain.dat", "0 Plain\n3 4 0 0 0 1 0 0 0 1 0\n2 16 0 0 0 1 0 0\n");
        dir.Write("lib/p/stud.dat", "0 Stud\n0 !LDRAW_ORG Primitive\n3 16 0 0 0 6 0 0 0 -4 0\n");
        dir.Write("lib/p/1-4edge.dat", "0 Edge\n2 24 0 0 0 1 0 0\n");
        dir.Write("lib/ldconfig.ldr", "");
        t.UseLibrary(dir / "lib");
        scene = open_memstream(&sceneBuffer, &sceneSize);
        t.writer()->PovFp = scene;
    }
    void TearDown() override {
        fclose(scene);
        free(sceneBuffer);
    }
    PartEntry* Find(const char* name) { return FindPart(t.model(), name); }
    // 0 when the model loaded completely, else -1.
    int Load(const std::string& name, const std::string& text) {
        std::string path = dir.Write("model/" + name, text);
        // The test has just written into a listed directory.
        LDrawIniForgetListings(t.library()->LDrawIni);
        RunCapture capture(t);
        int r = LoadModelPre(t.loader(), path.c_str());
        if (r == 0) r = LoadModel(t.loader()) ? 0 : -1;
        err = capture.Err();
        out = capture.Out();
        return r;
    }
};

}  // namespace

TEST_F(LoaderWalk, CountsStudsAndPartsThroughSubModels) {
    ASSERT_EQ(
        Load(
            "m.mpd",
            "0 FILE m.ldr\n1 4 0 0 0 1 0 0 0 1 0 0 0 1 a.ldr\n1 4 0 0 0 1 0 0 0 1 0 0 0 1 b.ldr\n"
            "0 FILE a.ldr\n1 1 0 0 0 1 0 0 0 1 0 0 0 1 brick.dat\n1 1 0 0 0 1 0 0 0 1 0 0 0 1 stud.dat\n"
            "0 FILE b.ldr\n1 1 0 0 0 1 0 0 0 1 0 0 0 1 brick.dat\n"),
        0)
        << err;
    EXPECT_EQ(t.model()->Parts[0].nContainedParts, 2);
    EXPECT_EQ(t.model()->Parts[0].nStuds, 5);
    PartEntry* brick = Find("brick.dat");
    EXPECT_TRUE(brick->LoadFlags.IsPart && brick->LoadFlags.IsLibrary && brick->LoadFlags.Loaded);
    EXPECT_EQ(brick->nStuds, 2);
    EXPECT_TRUE(Find("a.ldr")->LoadFlags.Read);
    EXPECT_FALSE(Find("a.ldr")->LoadFlags.IsLibrary);
    EXPECT_EQ(err, "");
}

TEST_F(LoaderWalk, ColourSixteenPropagatesOnlyThroughSurfaces) {
    ASSERT_EQ(
        Load("m.ldr",
             "1 16 0 0 0 1 0 0 0 1 0 0 0 1 brick.dat\n1 4 0 0 0 1 0 0 0 1 0 0 0 1 plain.dat\n"),
        0);
    EXPECT_TRUE(Find("brick.dat")->AttrFlags.UsesColour16);
    EXPECT_FALSE(Find("plain.dat")->AttrFlags.UsesColour16);
    EXPECT_TRUE(t.model()->Parts[0].AttrFlags.UsesColour16);
}

TEST_F(LoaderWalk, BoxesAndUnitDeterminants) {
    ASSERT_EQ(
        Load("m.ldr",
             "1 4 0 0 0 -1 0 0 0 1 0 0 0 1 brick.dat\n1 4 100 0 0 2 0 0 0 2 0 0 0 2 brick.dat\n"
             "5 24 0 -50 0 0 -60 0 99 99 99 -99 -99 -99\n"),
        0);
    SetLineTypeSaveMask(t.model(), 0x3F);
    PartEntry* brick = Find("brick.dat");
    EXPECT_TRUE(brick->LoadFlags.BBoxValid);
    EXPECT_EQ(brick->BBox[0], -10);
    EXPECT_EQ(brick->BBox[4], 1);                 // stored edge lines count too
    EXPECT_EQ(t.model()->Parts[0].BBox[3], 122);  // the scaled copy reaches x = 100 + 2 * (5 + 6)
    EXPECT_EQ(t.model()->Parts[0].BBox[1],
              -60);  // the optional line's ends count, not its control points
    EXPECT_EQ(t.model()->Parts[0].BBox[5], 20);
}

TEST(LoaderPlacement, OnlyReferencesThatKeepTheSizeKeepIt) {
    // Seams are measured in a part's own units: only a placement whose determinant is near 1
    // (mirrored or not) keeps the size.
    struct Case {
        float a, e, i;
        int keeps;
    } cases[] = {{1, 1, 1, 1},      {-1, 1, 1, 1},   {2, 1, 1, 0},     {1.009f, 1, 1, 1},
                 {1.011f, 1, 1, 0}, {0.5f, 2, 1, 1}, {0.98f, 1, 1, 0}, {1, -1, -1, 1}};
    for (const Case& c : cases) {
        LineEntry line = {};
        line.Type = 1;
        line.Data[0] = c.a;
        line.Data[5] = c.e;
        line.Data[10] = c.i;
        line.Data[15] = 1;
        EXPECT_EQ(KeepsSize(&line), c.keeps) << c.a << " " << c.e << " " << c.i;
    }
}

TEST_F(LoaderWalk, RecursionIsReportedAsAChain) {
    EXPECT_EQ(Load("r.mpd",
                   "0 FILE r.ldr\n1 4 0 0 0 1 0 0 0 1 0 0 0 1 a.ldr\n"
                   "0 FILE a.ldr\n\n1 4 0 0 0 1 0 0 0 1 0 0 0 1 b.ldr\n"
                   "0 FILE b.ldr\n1 4 0 0 0 1 0 0 0 1 0 0 0 1 a.ldr\n"),
              -1);
    EXPECT_EQ(
        out,
        "Recursive references: a.ldr\nreferenced by b.ldr line 7\nreferenced by a.ldr line 5\n"
        "referenced by r.mpd line 2\n");
    EXPECT_EQ(Load("self.ldr", "1 4 0 0 0 1 0 0 0 1 0 0 0 1 self.ldr\n"), -1);
    EXPECT_EQ(out, "Recursive references: self.ldr\nreferenced by self.ldr line 1\n");
}

TEST_F(LoaderWalk, MissingFilesAreReportedOnceAndSkipped) {
    std::string model;
    for (int i = 0; i < 3000; i++)
        model += "1 4 " + std::to_string(i) + " 0 0 1 0 0 0 1 0 0 0 1 miss" +
                 std::to_string(i % 2500) + ".dat\n";
    model += "1 4 0 0 0 1 0 0 0 1 0 0 0 1 plain.dat\n";
    EXPECT_EQ(Load("big.ldr", model), 0);
    // Each of the 2500 distinct names once, however often it is referenced, and every
    // reference kept: the table grows with the model.
    size_t reports = 0;
    for (size_t at = err.find("Could not find"); at != std::string::npos;
         at = err.find("Could not find", at + 1))
        reports++;
    EXPECT_EQ(reports, 2500u);
    EXPECT_NE(err.find("Could not find miss2499.dat Referenced by big.ldr\n"), std::string::npos);
    EXPECT_NE(Find("miss2499.dat"), nullptr);
    EXPECT_NE(Find("plain.dat"), nullptr);
}

TEST_F(LoaderWalk, EdgePrimitivesAreNotOpenedWithoutEdgeLines) {
    ASSERT_EQ(
        Load("e.ldr",
             "1 16 0 0 0 1 0 0 0 1 0 0 0 1 1-4edge.dat\n1 4 0 0 0 1 0 0 0 1 0 0 0 1 plain.dat\n"),
        0);
    PartEntry* edge = Find("1-4edge.dat");
    EXPECT_TRUE(edge->LoadFlags.IsPrimitive);
    EXPECT_FALSE(edge->LoadFlags.BBoxValid);
    EXPECT_EQ(edge->FirstLine, nullptr);
}

TEST_F(LoaderWalk, SecondModelFindsLibraryEntriesLoaded) {
    t.settings().DoCheck = 1;
    SetLineTypeSaveMask(t.model(), 0x3E);
    ASSERT_EQ(Load("one.ldr", "1 4 0 0 0 1 0 0 0 1 0 0 0 1 plain.dat\n"), 0);
    FreeLines(Find("plain.dat"));
    ASSERT_EQ(
        Load("two.ldr",
             "1 4 0 0 0 1 0 0 0 1 0 0 0 1 plain.dat\n1 4 0 0 0 1 0 0 0 1 0 0 0 1 brick.dat\n"),
        0);
    EXPECT_TRUE(Find("plain.dat")->LoadFlags.Loaded);
    EXPECT_EQ(t.model()->Parts[0].nContainedParts, 2);
}
