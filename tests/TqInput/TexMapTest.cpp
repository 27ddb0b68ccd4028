// Printed parts read with textures (-mesh): which geometry a !TEXMAP section gives, which texture
// each line carries, and how faulty sections fall back to the plain shape.
#include <string>
#include <utility>
#include <vector>

#include "TqInput/TqInput.h"
#include "support/Image.h"
#include "support/TestSupport.h"

namespace {

// A library with one good image, and images that only look like one.
class TexMapReading : public TqrTest {
protected:
    void SetUp() override {
        TqrTest::SetUp();
        dir_.Write("lib/ldconfig.ldr", ReadFile(SourceDir() + "/samples/ldraw/ldconfig.ldr"));
        dir_.MakeDir("lib/p");
        std::string textures = dir_.MakeDir("lib/parts/textures");
        std::vector<unsigned char> pixels(8 * 8 * 4, 200);
        ASSERT_TRUE(WriteRgbaPng(textures + "/Good.PNG", 8, 8, pixels));
        std::string good = ReadFile(textures + "/Good.PNG");
        dir_.Write("lib/parts/textures/cut.png", good.substr(0, good.size() - 20));
        dir_.Write("lib/parts/textures/text.png", "0 not an image\n");
        t.UseLibrary(dir_ / "lib");
        t.settings().Mesh.On = 1;
        t.diag()->WarningLevel = 1;
    }
    // Colour and texture of each triangle read, in order.
    static std::vector<std::pair<int, int>> Triangles(const PartEntry* part) {
        std::vector<std::pair<int, int>> seen;
        for (const LineEntry* line : LinesOf(part)) {
            if (line->Type == 3) seen.push_back({line->Colour, line->TexMap});
        }
        return seen;
    }
    TempDir dir_;
};

// A triangle in colour, its own by where it lies.
std::string Tri(int colour) {
    std::string x = std::to_string(colour), next = std::to_string(colour + 1);
    return "3 " + x + " " + x + " 0 0 " + next + " 0 0 " + x + " 1 0\n";
}
const std::string kPlanar = "PLANAR 0 0 0 10 0 0 0 10 0 good.png\n";

}  // namespace

TEST_F(TexMapReading, SectionsNextNestingAndStepGiveEachLineItsTexture) {
    PartEntry* part;
    std::string out = t.ReadDatText(
        "0 !TEXMAP START " + kPlanar + Tri(1) + "0 !: " + Tri(2) +  // texture 1
            "0 !TEXMAP START " + kPlanar + Tri(3) +                   // 2, nested
            "0 !TEXMAP NEXT " + kPlanar + Tri(5) + Tri(6) +           // 3 for one line
            "0 !TEXMAP FALLBACK\n" + Tri(4) + "0 !TEXMAP END\n" + Tri(7) +
            "0 !TEXMAP FALLBACK\n" + Tri(4) + "0 !TEXMAP START " + kPlanar + Tri(4) +
            "0 !TEXMAP END\n" + Tri(4) + "0 !TEXMAP END\n" + Tri(8) +  // untextured again
            "0 !TEXMAP START " + kPlanar + Tri(9) + "0 STEP\n" + Tri(10),
        "p.dat", false, &part);
    EXPECT_EQ(out, "");
    std::vector<std::pair<int, int>> expected = {{1, 1}, {2, 1}, {3, 2}, {5, 3}, {6, 2},
                                                 {7, 1}, {8, 0}, {9, 4}, {10, 0}};
    EXPECT_EQ(Triangles(part), expected);
    EXPECT_EQ(t.model()->TexMaps.size(), 4u);
    EXPECT_NE(t.model()->TexMaps[0].Png.find("/parts/textures/Good.PNG"), std::string::npos);
}

TEST_F(TexMapReading, WithoutTexturesEveryPlainLineIsReadAndNoneIsTextured) {
    t.settings().Mesh.On = 0;
    PartEntry* part;
    std::string out = t.ReadDatText("0 !TEXMAP START " + kPlanar + Tri(1) + "0 !: " + Tri(2) +
                                        "0 !TEXMAP FALLBACK\n" + Tri(4) + "0 !TEXMAP END\n",
                                    "p.dat", false, &part);
    EXPECT_EQ(out, "");
    std::vector<std::pair<int, int>> expected = {{1, 0}, {4, 0}};
    EXPECT_EQ(Triangles(part), expected);
    EXPECT_TRUE(t.model()->TexMaps.empty());
}

// A section that cannot be used is read as a reader without textures reads it: its plain lines
// and its fallback, and not the lines only texture-aware readers see.
TEST_F(TexMapReading, FaultySectionsAreReportedAndFallBackToThePlainShape) {
    const std::pair<std::string, std::string> cases[] = {
        {"", "Texture method expected"},
        {"PLANAR 0 0 0 10 0 0 0 10 good.png", "Texture numbers expected"},
        {"PLANAR 0 0 0 0 0 0 0 10 0 good.png", "Texture axis of zero length"},
        {"CYLINDRICAL 0 0 0 0 -10 0 0 -5 0 180 good.png", "Texture axis of zero length"},
        {"SPHERICAL 0 0 0 10 0 0 0 0 10 0 90 good.png", "Texture angle must be above 0"},
        {"CONICAL 0 0 0 10 0 0 0 10 0 good.png", "Unknown texture method CONICAL"},
        {"PLANAR 0 0 0 10 0 0 0 10 0", "Texture image name expected"},
        {"PLANAR 0 0 0 10 0 0 0 10 0 missing.png", "Texture image missing.png: not found"},
        {"PLANAR 0 0 0 10 0 0 0 10 0 text.png", "Texture image text.png: "},
        {"PLANAR 0 0 0 10 0 0 0 10 0 cut.png", "Texture image cut.png: "},
    };
    for (const auto& [texmap, message] : cases) {
        SCOPED_TRACE(texmap);
        TestRun run;
        run.UseLibrary(dir_ / "lib");
        run.settings().Mesh.On = 1;
        run.diag()->WarningLevel = 1;
        PartEntry* part;
        std::string out = run.ReadDatText("0 !TEXMAP START " + texmap + "\n" + Tri(1) + "0 !: " +
                                              Tri(2) + "0 !TEXMAP FALLBACK\n" + Tri(4) +
                                              "0 !TEXMAP END\n",
                                          "p.dat", false, &part);
        EXPECT_EQ(out.rfind("WARNING \"p.dat\" Line 1: " + message, 0), 0u) << out;
        std::vector<std::pair<int, int>> expected = {{1, 0}, {4, 0}};
        EXPECT_EQ(Triangles(part), expected);
    }
}

TEST_F(TexMapReading, AMissingImageIsNamedOnceAndStrayCommandsAreReported) {
    std::string missing = "0 !TEXMAP START PLANAR 0 0 0 10 0 0 0 10 0 gone.png\n";
    std::string out = t.ReadDatText(missing + Tri(1) + "0 !TEXMAP END\n" + missing + Tri(2) +
                                        "0 !TEXMAP END\n0 !TEXMAP END\n0 !TEXMAP FALLBACK\n"
                                        "0 !TEXMAP SHRINK\n",
                                    "p.dat", false);
    EXPECT_EQ(out,
              "WARNING \"p.dat\" Line 1: Texture image gone.png: not found; the part is drawn "
              "without it: " +
                  missing.substr(0, missing.size() - 1) +
                  "\nWARNING \"p.dat\" Line 7: !TEXMAP END without START: 0 !TEXMAP END\n"
                  "WARNING \"p.dat\" Line 8: !TEXMAP FALLBACK without START: 0 !TEXMAP FALLBACK\n"
                  "WARNING \"p.dat\" Line 9: Unknown !TEXMAP command SHRINK: 0 !TEXMAP SHRINK\n");
}
