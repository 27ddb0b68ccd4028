// Geometry and colour checks of single lines, with their repairs.
#include <cmath>
#include <cstring>
#include <string>

#include "TqInput/TqInput.h"
#include "support/TestSupport.h"

namespace {

class LineChecks : public TqrTest {
protected:
    void SetUp() override { t.diag()->IInfo.FileName = "t.dat"; }
    // Checks a line given as its numbers, with the checks set up from the settings as they are
    // now; returns the diagnostics, and in *drop 1 when the line is to be dropped.
    std::string Check(LineEntry* line, const char* subName = "", PartEntry* part = nullptr,
                      int* drop = nullptr) {
        RunCapture capture(t);
        LineCheckContext checks;
        InitLineChecks(&checks, t.diag(), t.colours(), &t.settings());
        bool keep = CheckLine(&checks, line, subName, part);
        if (drop) *drop = keep ? 0 : 1;
        return capture.Out();
    }
    static LineEntry Polygon(int type, int colour, std::initializer_list<float> coords) {
        LineEntry line = {};
        line.Type = type;
        line.Colour = colour;
        int i = 0;
        for (float c : coords) {
            line.Data[4 * (i / 3) + i % 3] = c;
            i++;
        }
        for (int p = 0; p < 4; p++) line.Data[4 * p + 3] = 1;
        return line;
    }
    static LineEntry Placement(std::initializer_list<float> rows) {
        LineEntry line = {};
        line.Type = 1;
        line.Colour = 16;
        int i = 0;
        for (float v : rows) line.Data[4 * (i / 3) + i % 3] = v, i++;
        line.Data[15] = 1;
        return line;
    }
};

}  // namespace

TEST_F(LineChecks, SingularPlacementsOfFlatPrimitivesAreRepaired) {
    t.diag()->WarningLevel = 2;
    LineEntry disc = Placement({1, 0, 0, 0, 0, 0, 0, 0, 1});
    int drop = -1;
    EXPECT_EQ(Check(&disc, "4-4disc.dat", nullptr, &drop),
              "WARNING \"t.dat\" Line 0: Row 1 all zeros: \n");
    EXPECT_EQ(drop, 0);
    EXPECT_EQ(disc.Data[5], 1);
    LineEntry brick = Placement({1, 0, 0, 0, 0, 0, 0, 0, 1});
    EXPECT_NE(Check(&brick, "3001.dat", nullptr, &drop)
                  .find("SKIPPING \"t.dat\" Line 0: Singular matrix"),
              std::string::npos);
    EXPECT_EQ(drop, 1);
    // No zero row, but all Y elements zero: they are set one by one.
    LineEntry tilted = Placement({1, 0, 1, 1, 0, 1, 0, 0, 1});
    EXPECT_NE(Check(&tilted, "48/ring3.dat", nullptr, &drop).find("Y column all zeros"),
              std::string::npos);
    EXPECT_EQ(drop, 0);
    EXPECT_NE(M3Det(tilted.Data), 0);
    LineEntry hopeless = Placement({1, 2, 3, 2, 4, 6, 3, 6, 9});
    EXPECT_NE(Check(&hopeless, "rect.dat", nullptr, &drop).find("Singular matrix (unfixable)"),
              std::string::npos);
    EXPECT_EQ(drop, 1);
}

TEST_F(LineChecks, FlatPrimitiveNames) {
    for (const char* name :
         {"rect.dat", "ring10.dat", "rin3.dat", "1-4ring7.dat", "2-4rin12.dat", "1-4disc.dat",
          "4-4ndis.dat", "3-16edge.dat", "48/1-4disc.dat", "8/ring2.dat"}) {
        EXPECT_TRUE(IsXzPart(name)) << name;
    }
    for (const char* name : {"ring10.ldr", "4-4cyli.dat", "disc.dat", "48/stud.dat", "x/ring2.dat"})
        EXPECT_FALSE(IsXzPart(name)) << name;
    EXPECT_TRUE(IsLineType2Primitive("1-4edge.dat"));
    EXPECT_TRUE(IsLineType2Primitive("48/2-4edge.dat"));
    EXPECT_TRUE(IsLineType2Primitive("studline.dat"));
    EXPECT_FALSE(IsLineType2Primitive("1-4disc.dat"));
}

TEST_F(LineChecks, DegenerateTrianglesAndLines) {
    t.diag()->WarningLevel = 1;
    LineEntry repeated = Polygon(3, 4, {0, 0, 0, 1, 0, 0, 1, 0, 0});
    EXPECT_EQ(Check(&repeated), "WARNING \"t.dat\" Line 0: Identical vertices: \n");
    LineEntry collinear = Polygon(3, 4, {0, 0, 0, 1, 0, 0, 2, 0, 0});
    EXPECT_EQ(Check(&collinear), "WARNING \"t.dat\" Line 0: Collinear vertices (0): \n");
    LineEntry edge = Polygon(2, 24, {1, 1, 1, 1, 1, 1});
    EXPECT_EQ(Check(&edge), "WARNING \"t.dat\" Line 0: Identical vertices: \n");
    LineEntry optional = Polygon(5, 24, {0, 0, 0, 1, 0, 0, 2, 2, 2, 2, 2, 2});
    EXPECT_EQ(Check(&optional), "WARNING \"t.dat\" Line 0: Identical vertices: \n");
    float a[3] = {0, 0, 0}, b[3] = {1, 0, 0}, c[3] = {2, 0, 0}, d[3] = {0, 1, 0};
    EXPECT_EQ(PointsOnLine(a, b, c), 0);
    EXPECT_FLOAT_EQ(PointsOnLine(a, b, d), 0.5f);
}

TEST_F(LineChecks, QuadrilateralOrderIsRepaired) {
    t.diag()->WarningLevel = 1;
    // A square given in the order of its diagonals: corners 0, 2, 1, 3.
    LineEntry crossed = Polygon(4, 4, {0, 0, 0, 1, 0, 1, 1, 0, 0, 0, 0, 1});
    EXPECT_EQ(Check(&crossed), "WARNING \"t.dat\" Line 0: Bad vertex sequence, 0312 used: \n");
    EXPECT_EQ(crossed.Data[4], 0);  // new point 1 is old point 3
    EXPECT_EQ(crossed.Data[6], 1);
    // Corners 0, 1, 3, 2 of the square need the other exchange.
    LineEntry swapped = Polygon(4, 4, {0, 0, 0, 1, 0, 0, 0, 0, 1, 1, 0, 1});
    EXPECT_EQ(Check(&swapped), "WARNING \"t.dat\" Line 0: Bad vertex sequence, 0132 used: \n");
    EXPECT_EQ(swapped.Data[8], 1);  // new point 2 is old point 3
    EXPECT_EQ(swapped.Data[10], 1);
    // A concave quadrilateral whose 0-2 diagonal lies outside restarts at vertex 1 without a
    // sequence message; its corner normals then point apart, which the plane test reports.
    LineEntry concave = Polygon(4, 4, {0, 0, 0, 1, 0, 0.5f, 2, 0, 0, 1, 0, 2});
    EXPECT_EQ(Check(&concave), "WARNING \"t.dat\" Line 0: Vertices not coplanar (180): \n");
    EXPECT_EQ(concave.Data[0], 1);
    EXPECT_EQ(concave.Data[2], 0.5f);
    EXPECT_EQ(concave.Data[12], 0);
}

TEST_F(LineChecks, CoplanarityUsesTheCheckModeAngle) {
    float rise = (float)std::tan(2 * 3.141592653589793 / 180);
    auto folded = [&]() { return Polygon(4, 4, {0, 0, 0, 1, 0, 0, 1, rise, 1, 0, 0, 1}); };
    t.diag()->WarningLevel = 1;
    t.settings().DoCheck = 1;
    LineEntry quad = folded();
    EXPECT_NE(Check(&quad).find("Vertices not coplanar ("), std::string::npos);
    t.settings().DoCheck = 0;
    quad = folded();
    EXPECT_EQ(Check(&quad), "");
    t.settings().CoPlanarAngle = 1.5f;
    quad = folded();
    EXPECT_NE(Check(&quad).find("Vertices not coplanar"), std::string::npos);
}

TEST_F(LineChecks, ColourRules) {
    t.diag()->WarningLevel = 1;
    LineEntry triangle = Polygon(3, 24, {0, 0, 0, 1, 0, 0, 0, 1, 0});
    EXPECT_EQ(Check(&triangle),
              "WARNING \"t.dat\" Line 0: Color 24 illegal for this line type, using 16: \n");
    EXPECT_EQ(triangle.Colour, 16);
    LineEntry edge = Polygon(2, 24, {0, 0, 0, 1, 0, 0});
    EXPECT_EQ(Check(&edge), "");
    LineEntry edge16 = Polygon(2, 16, {0, 0, 0, 1, 0, 0});
    EXPECT_EQ(Check(&edge16), "WARNING \"t.dat\" Line 0: Lines should not use color 16: \n");
    LineEntry unknown = Polygon(3, 99, {0, 0, 0, 1, 0, 0, 0, 1, 0});
    EXPECT_EQ(Check(&unknown), "WARNING \"t.dat\" Line 0: Unknown color, using 7: \n");
    EXPECT_EQ(unknown.Colour, 7);
    LineEntry direct = Polygon(3, 0x2123456, {0, 0, 0, 1, 0, 0, 0, 1, 0});
    EXPECT_EQ(Check(&direct), "");
}

TEST_F(LineChecks, DuplicatesAreFoundInAnyVertexOrderFromLevelOne) {
    PartEntry* part = RegisterPart(t.model(), t.diag(), 0, "d.dat");
    LineEntry** tail = &part->FirstLine;
    LineEntry first = Polygon(3, 4, {0, 0, 0, 1, 0, 0, 0, 1, 0});
    first.LineNo = 7;
    SaveLine(&tail, &first, nullptr);
    LineEntry rotated = Polygon(3, 4, {1, 0, 0, 0, 1, 0, 0, 0, 0});
    t.diag()->WarningLevel = 0;
    EXPECT_EQ(Check(&rotated, "", part), "");
    t.diag()->WarningLevel = 1;
    EXPECT_EQ(Check(&rotated, "", part), "WARNING \"t.dat\" Line 0: Identical to line 7: \n");
    LineEntry ref = Placement({1, 0, 0, 0, 1, 0, 0, 0, 1});
    ref.LineNo = 9;
    ref.Part = RegisterPart(t.model(), t.diag(), 0, "a.dat");
    SaveLine(&tail, &ref, nullptr);
    LineEntry same = Placement({1, 0, 0, 0, 1, 0, 0, 0, 1});
    EXPECT_EQ(Check(&same, "a.dat", part), "WARNING \"t.dat\" Line 0: Identical to line 9: \n");
    EXPECT_EQ(Check(&same, "b.dat", part), "");
}
