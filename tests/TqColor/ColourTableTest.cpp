// Colour lines, colour values, the built-in colours and colour numbers to RGB.
#include <array>
#include <string>

#include "TqColor/TqColor.h"
#include "TqInput/TqInput.h"
#include "support/Image.h"
#include "support/TestSupport.h"

namespace {

class Colours : public TqrTest {
protected:
    // Parses one colour line; returns the result and the diagnostics printed.
    int Parse(const std::string& text, ColourEntry* entry, std::string* out) {
        t.diag()->WarningLevel = 3;
        t.diag()->IInfo.FileName = "c.ldr";
        RunCapture capture(t);
        std::string copy = text;
        int r = ReadColourLine(t.diag(), copy.data(), entry);
        *out = capture.Out();
        return r;
    }
};

}  // namespace

TEST_F(Colours, ColourLinesAndTheirFaults) {
    struct Case {
        const char* text;
        int result;
        const char* message;  // expected diagnostic text (contained), or "" for none
    } cases[] = {
        {"!COLOUR Black CODE 0 VALUE #4D4D4D EDGE #797973", 1, ""},
        {"!colour Black CODE 0 VALUE #4D4D4D EDGE #797973", 0, ""},
        {"!COLOUR x code 1 value 255 0 0 edge 0", 1, ""},
        {"!COLOUR", -1, "Color name expected"},
        {"!COLOUR 2x CODE 1", -1, "Illegal color name"},
        {"!COLOUR a COD 1", -1, "CODE expected"},
        {"!COLOUR a CODE x", -1, "Color code expected"},
        {"!COLOUR a CODE 16 VALUE 1 2 3 EDGE 0", -1, "Illegal color code"},
        {"!COLOUR a CODE 24", -1, "Illegal color code"},
        {"!COLOUR a CODE 33554432 VALUE 1 2 3 EDGE 0", -1, "Color code out of range [0..33554431]"},
        {"!COLOUR a CODE -1", -1, "Color code out of range [0..33554431]"},
        {"!COLOUR Trans_Black CODE 10375 VALUE #212121 EDGE #545454 ALPHA 128", 1, ""},
        {"!COLOUR a CODE 1 VALU 1", -1, "VALUE expected"},
        {"!COLOUR a CODE 1 VALUE #FFF EDGE 0", -1, "VALUE: Six hex digits RRGGBB expected"},
        {"!COLOUR a CODE 1 VALUE #12ZZ56 EDGE 0", -1, "VALUE: Six hex digits RRGGBB expected"},
        {"!COLOUR a CODE 1 VALUE #123456 EDGE 0x12345G", -1, "EDGE: Six hex digits RRGGBB"},
        {"!COLOUR a CODE 1 VALUE 0.5 1 0 EDGE 0", -1, "VALUE: Bad floating point color value"},
        {"!COLOUR a CODE 1 VALUE 1 0.5 0 EDGE 0", -1, "VALUE: Error in color value"},
        {"!COLOUR a CODE 1 VALUE 1.5 0.5 0. EDGE 0", -1, "VALUE: Color value out of range [0..1]"},
        {"!COLOUR a CODE 1 VALUE 256 0 0 EDGE 0", -1, "VALUE: Color value out of range [0..255]"},
        {"!COLOUR a CODE 1 VALUE EDGE 0", -1, "VALUE: Color value expected"},
        {"!COLOUR a CODE 1 VALUE 1 2 3 EDG 0", -1, "EDGE expected"},
        {"!COLOUR a CODE 1 VALUE 1 2 3 EDGE 1 2", -1, "EDGE: Error in color value"},
        {"!COLOUR a CODE 1 VALUE 1 2 3 EDGE 33554432", -1,
         "Edge color code out of range [0..33554431]"},
        {"!COLOUR a CODE 1 VALUE 1 2 3 EDGE 10010", 1, ""},
        {"!COLOUR a CODE 1 VALUE 1 2 3 EDGE 0 ALPHA x", -1, "ALPHA value expected"},
        {"!COLOUR a CODE 1 VALUE 1 2 3 EDGE 0 ALPHA 256", -1, "ALPHA value out of range [0..255]"},
        {"!COLOUR a CODE 1 VALUE 1 2 3 EDGE 0 LUMINANCE", -1, "LUMINANCE value expected"},
        {"!COLOUR a CODE 1 VALUE 1 2 3 EDGE 0 LUMINANCE 999", -1,
         "LUMINANCE value out of range [0..255]"},
        {"!COLOUR a CODE 1 VALUE 1 2 3 EDGE 0 CHROME METAL", 1, "Finish-tag already met"},
        {"!COLOUR a CODE 1 VALUE 1 2 3 EDGE 0 OPAQUE", 1, "Unknown tag \"OPAQUE\""},
        {"!COLOUR a CODE 1 VALUE 1 2 3 EDGE 0 LUMINANCE 15 ALPHA 128", 1, "Unknown tag \"ALPHA\""},
        {"!COLOUR a CODE 1 VALUE 1 2 3 EDGE 0 MATERIAL GLITTER VALUE #FFFFFF FRACTION 0.17", 1, ""},
    };
    for (const Case& c : cases) {
        ColourEntry entry;
        std::string out;
        EXPECT_EQ(Parse(c.text, &entry, &out), c.result) << c.text;
        if (*c.message)
            EXPECT_NE(out.find(c.message), std::string::npos) << c.text << "\n" << out;
        else
            EXPECT_EQ(out, "") << c.text;
        free(entry.Name);
    }
}

TEST_F(Colours, ColourLineValues) {
    ColourEntry e;
    std::string out;
    ASSERT_EQ(Parse("!COLOUR Black CODE 0 VALUE #4D4D4D EDGE #797973", &e, &out), 1);
    EXPECT_EQ(e.Code, 0);
    EXPECT_EQ(e.Value, 0x4D4D4Du);
    EXPECT_EQ(e.Edge, 0x2797973u);
    EXPECT_EQ(e.Flags, 0);
    free(e.Name);
    ASSERT_EQ(
        Parse("!COLOUR a Code 1 Value 0.5 0.5 0.5 Edge 7 ALPHA 128 LUMINANCE 15 rubber", &e, &out),
        1);
    EXPECT_EQ(e.Value, 0x7F7F7Fu);
    EXPECT_EQ(e.Edge, 7u);
    EXPECT_EQ(e.Alpha, 128);
    EXPECT_EQ(e.Luminance, 15);
    EXPECT_EQ(e.Flags, kColourHasAlpha | kColourHasLuminance | 3);
    free(e.Name);
    ASSERT_EQ(Parse("!COLOUR x code 1 value 255 0 0 edge 0", &e, &out), 1);
    EXPECT_EQ(e.Value, 0xFF0000u);
    EXPECT_EQ(e.Edge, 0u);
    free(e.Name);
    ASSERT_EQ(Parse("!COLOUR a CODE 1 VALUE 0x0000ff EDGE 0x123456 CHROME METAL", &e, &out), 1);
    EXPECT_EQ(e.Value, 0xFFu);
    EXPECT_EQ(e.Edge, 0x2123456u);
    EXPECT_EQ(e.Flags & kColourFinishMask, 1u);
    free(e.Name);
}

TEST_F(Colours, NumbersToRgb) {
    struct Case {
        int code;
        int result;
        float r, g, b;
        unsigned attributes;
    } cases[] = {
        {4, 0, 247 / 255.0f, 41 / 255.0f, 14 / 255.0f, 0},
        {0x2FF8000, 0, 1, 128 / 255.0f, 0, 0},
        {0x3FF0000, 0, 1, 0, 0, 0x8008},
        {16, -1, 0.5f, 0.5f, 0.5f, 0},
        {0x4F00F00, 0, 1, 0, 0, 0},
        {0x5F00000, 0, 1, 0, 0, 0x8008},
        {0x6000F00, 0, 1, 0, 0, 0x8008},
        {0x7123456, 0, 0, 0, 0, 0},
        {0x8000000, -1, 0.5f, 0.5f, 0.5f, 0},
        {-5, -1, 0.5f, 0.5f, 0.5f, 0},
        {36, 0, 247 / 255.0f, 41 / 255.0f, 14 / 255.0f, 0x8008},
        {383, 0, 214 / 255.0f, 214 / 255.0f, 214 / 255.0f, 1},
    };
    for (const Case& c : cases) {
        float rgb[3];
        unsigned attributes = 99;
        EXPECT_EQ(Color2rgb(t.colours(), c.code, rgb, &attributes), c.result) << c.code;
        EXPECT_FLOAT_EQ(rgb[0], c.r) << c.code;
        EXPECT_FLOAT_EQ(rgb[1], c.g) << c.code;
        EXPECT_FLOAT_EQ(rgb[2], c.b) << c.code;
        EXPECT_EQ(attributes, c.attributes) << c.code;
    }
    // 300 = 0x12C: dithered from colours 12 and 2.
    float rgb[3];
    ASSERT_EQ(Color2rgb(t.colours(), 300, rgb, nullptr), 0);
    EXPECT_FLOAT_EQ(rgb[0], (0xFF + 0x1E) / 510.0f);
    EXPECT_FLOAT_EQ(rgb[1], (0x9A + 0xA0) / 510.0f);
}

TEST_F(Colours, BuiltinColoursYieldTheirNameToTheFile) {
    FreeColours(t.colours());
    ColourEntry red = {};
    red.Name = FarStrdup("Red");
    red.Code = 100;
    red.Flags = kColourFromFile;
    ASSERT_EQ(AddColour(t.colours(), t.diag(), &red), 1);
    FillInColours(t.colours(), t.diag());
    EXPECT_EQ(t.colours()->nTqColours, 50);
    const ColourEntry* four = FindColour(t.colours(), 4);
    ASSERT_NE(four, nullptr);
    EXPECT_STREQ(four->Name, "Red_Tq");
    EXPECT_EQ(four->Edge, 12u);
    EXPECT_EQ(FindColour(t.colours(), 36)->Alpha, 128);
    EXPECT_EQ(FindColour(t.colours(), 36)->Flags, kColourHasAlpha);
    EXPECT_EQ(FindColour(t.colours(), 256)->Flags, 3);
    EXPECT_EQ(FindColourByName(t.colours(), "RED")->Code, 100);
    EXPECT_EQ(FindColour(t.colours(), 512), nullptr);
    EXPECT_EQ(FindColour(t.colours(), 16), nullptr);
    ColourEntry again = {};
    again.Code = 4;
    EXPECT_EQ(AddColour(t.colours(), t.diag(), &again), 0);
    ColourEntry sameName = {};
    sameName.Code = 101;
    sameName.Name = FarStrdup("red");
    EXPECT_EQ(AddColour(t.colours(), t.diag(), &sameName), 2);
}

TEST_F(Colours, ListingFormat) {
    FreeColours(t.colours());
    TempDir dir;
    std::string path =
        dir.Write("c.ldr",
                  "0 !COLOUR Trans_Red CODE 36 VALUE #C91A09 EDGE #880000 ALPHA 128\n"
                  "0 !COLOUR Glow CODE 21 VALUE #E0FFB0 EDGE 2 ALPHA 250 LUMINANCE 15 CHROME\n"
                  "0 !COLOUR A_Name_Longer_Than_Eighteen CODE 2 VALUE #000001 EDGE 21\n");
    ASSERT_EQ(ReadLdconfig(t.colours(), t.library(), path.c_str()), 1);
    MemoryStream stream;
    PrintColours(t.colours(), stream.fp());
    EXPECT_EQ(
        stream.Text(),
        "0 !COLOUR A_Name_Longer_Than_Eighteen  CODE   2 VALUE #000001 EDGE      21\n"
        "0 !COLOUR Glow                CODE  21 VALUE #E0FFB0 EDGE       2 ALPHA 250 LUMINANCE  15 CHROME\n"
        "0 !COLOUR Trans_Red           CODE  36 VALUE #C91A09 EDGE #880000 ALPHA 128\n");
    FillInColours(t.colours(), t.diag());
    RunCapture capture(t);
    ResolveEdgeColours(t.colours(), t.diag(), "c.ldr");
    EXPECT_EQ(capture.Out(), "");
}

TEST_F(Colours, UnknownEdgeColourBecomesBlackAtEveryLevel) {
    FreeColours(t.colours());
    TempDir dir;
    std::string path = dir.Write("c.ldr", "0 !COLOUR A CODE 3 VALUE #000001 EDGE 77\n");
    ReadLdconfig(t.colours(), t.library(), path.c_str());
    t.diag()->WarningLevel = -1;
    RunCapture capture(t);
    ResolveEdgeColours(t.colours(), t.diag(), "c.ldr");
    EXPECT_EQ(capture.Out(),
              "WARNING \"c.ldr\": Cannot find edge color (77) for color 3, using 0\n");
    EXPECT_EQ(FindColour(t.colours(), 3)->Edge, 0u);
}

TEST_F(Colours, DamagedColourFilesAreReadLineByLine) {
    FreeColours(t.colours());
    TempDir dir;
    std::string junk;
    for (int i = 0; i < 3000; i++) junk += (char)(i * 37 % 256);
    std::string content = "0 !COLOUR Good CODE 1 VALUE #010203 EDGE 0\n" + junk + "\n" +
                          "0 !COLOUR " + std::string(5000, 'A') + " CODE 2 VALUE #010203 EDGE 0\n" +
                          "0 !COLOUR Dup CODE 1 VALUE #FFFFFF EDGE 0\n" +
                          "0 !COLOUR Good CODE 3 VALUE #040506 EDGE 0\n" +
                          "0 !COLOUR Half CODE 4 VALUE\n" +
                          "0!COLOUR Tight CODE 5 VALUE #050505 EDGE 0\n" + "9 junk\n0\n\n";
    std::string path = dir.Write("c.ldr", content);
    t.diag()->WarningLevel = 3;
    RunCapture capture(t);
    ASSERT_EQ(ReadLdconfig(t.colours(), t.library(), path.c_str()), 1);
    std::string out = capture.Out();
    EXPECT_EQ(FindColour(t.colours(), 1)->Value, 0x010203u);
    EXPECT_STREQ(FindColour(t.colours(), 3)->Name, "Good");
    EXPECT_EQ(FindColour(t.colours(), 4), nullptr);
    ASSERT_NE(FindColour(t.colours(), 5), nullptr);
    EXPECT_NE(out.find("Colour code already defined"), std::string::npos);
    EXPECT_NE(out.find("Colour name already used"), std::string::npos);
    EXPECT_NE(out.find("Comment lines should have space after 0"), std::string::npos);
    EXPECT_NE(out.find("Bad line"), std::string::npos);
    EXPECT_EQ(ReadLdconfig(t.colours(), t.library(), (dir / "missing.ldr").c_str()), 0);
}

TEST_F(Colours, GlitterAndSpeckleMaterialsAreRead) {
    t.diag()->WarningLevel = 3;
    std::string file =
        "0 !COLOUR Glitter_Trans_Dark_Pink CODE 114 VALUE #DF6695 EDGE #B9275F ALPHA 128 "
        "MATERIAL GLITTER VALUE #B92790 FRACTION 0.17 VFRACTION 0.2 SIZE 1\n"
        "0 !COLOUR Speckle_Black_Silver CODE 132 VALUE #000000 EDGE #898788 "
        "MATERIAL SPECKLE VALUE #898788 FRACTION 0.4 MINSIZE 1 MAXSIZE 3\n"
        "0 !COLOUR Fabric CODE 600 VALUE #000000 EDGE #000000 MATERIAL FABRIC VELVET\n"
        "0 !COLOUR Bad_Glitter CODE 601 VALUE #000000 EDGE #000000 MATERIAL GLITTER VALUE #FFFFFF "
        "FRACTION 2 SIZE 1\n"
        "0 !COLOUR No_Size CODE 602 VALUE #000000 EDGE #000000 MATERIAL SPECKLE VALUE #FFFFFF "
        "FRACTION 0.5\n";
    FILE* fp = fmemopen(file.data(), file.size(), "r");
    RunCapture capture(t);
    ReadLdconfigStream(t.colours(), t.diag(), fp, "c.ldr");
    fclose(fp);
    const ColourMaterial* glitter = FindMaterial(t.colours(), 114);
    ASSERT_NE(glitter, nullptr);
    EXPECT_EQ(glitter->kind, ColourMaterial::kGlitter);
    EXPECT_EQ(glitter->value, 0xB92790u);
    EXPECT_DOUBLE_EQ(glitter->fraction, 0.17);
    EXPECT_DOUBLE_EQ(glitter->vfraction, 0.2);
    EXPECT_DOUBLE_EQ(glitter->minSize, 1);
    EXPECT_DOUBLE_EQ(glitter->maxSize, 1);
    const ColourMaterial* speckle = FindMaterial(t.colours(), 132);
    ASSERT_NE(speckle, nullptr);
    EXPECT_EQ(speckle->kind, ColourMaterial::kSpeckle);
    EXPECT_DOUBLE_EQ(speckle->minSize, 1);
    EXPECT_DOUBLE_EQ(speckle->maxSize, 3);
    const ColourMaterial* unsized = FindMaterial(t.colours(), 602);
    ASSERT_NE(unsized, nullptr);
    EXPECT_DOUBLE_EQ(unsized->maxSize, 1);
    // Other materials pass without a word; faulty flecks are reported and the colour stays.
    for (int code : {600, 601}) {
        EXPECT_EQ(FindMaterial(t.colours(), code), nullptr) << code;
        EXPECT_NE(FindColour(t.colours(), code), nullptr) << code;
    }
    EXPECT_EQ(capture.Out(),
              "WARNING \"c.ldr\" Line 4: Bad GLITTER material; the colour is drawn without its "
              "flecks: " +
                  file.substr(file.find("0 !COLOUR Bad"),
                              file.find("\n0 !COLOUR No") - file.find("0 !COLOUR Bad")) +
                  "\n");
}

TEST(ColoursBinary, RealColourFileIsListedWithItsFaultsSkipped) {
    std::string ldraw = SharedLDrawDir();
    if (ldraw.empty()) GTEST_SKIP() << "shared library absent";
    TempDir home;
    RunResult r = RunTqr({"-ldd" + ldraw, "-pc"}, home.Path(), CleanLibraryEnv(home.Path()));
    EXPECT_EQ(r.status, 0);
    std::string file = ReadFile(ldraw + "/LDConfig.ldr");
    int defined = 0;
    size_t pos = 0;
    while ((pos = file.find("!COLOUR ", pos)) != std::string::npos) {
        defined++;
        pos++;
    }
    int listed = 0;
    for (char c : r.out) listed += c == '\n';
    // Every code is listed, those above 511 too; only the placeholders 16 and 24 are refused.
    int builtinOnly = 0;
    for (size_t at = r.out.find("* "); at != std::string::npos; at = r.out.find("* ", at + 1))
        builtinOnly++;
    EXPECT_EQ(listed - builtinOnly, defined - 2) << r.out.substr(0, 300);
    EXPECT_NE(
        r.out.find(
            "0 !COLOUR Glitter_Trans_Dark_Pink  CODE 114 VALUE #DF6695 EDGE #B9275F ALPHA 128\n"),
        std::string::npos);
    EXPECT_NE(
        r.out.find("0 !COLOUR Trans_Black         CODE 10375 VALUE #212121 EDGE #545454 ALPHA 128"),
        std::string::npos)
        << r.out;
    // At warning level 1 (and in check mode) one line per kind of fault, from level 2 each; the
    // codes above 511 are no fault any more.
    RunResult summed =
        RunTqr({"-ldd" + ldraw, "-w1", "-pc"}, home.Path(), CleanLibraryEnv(home.Path()));
    EXPECT_EQ(summed.out.find("out of range"), std::string::npos) << summed.out.substr(0, 400);
    EXPECT_NE(summed.out.find("LDConfig.ldr\": 2 lines: Illegal color code (-w2 shows each)\n"),
              std::string::npos);
    RunResult each =
        RunTqr({"-ldd" + ldraw, "-w2", "-pc"}, home.Path(), CleanLibraryEnv(home.Path()));
    EXPECT_NE(each.out.find("Illegal color code: 0 !COLOUR Main_Colour"), std::string::npos);
}

TEST(ColoursBinary, CodesAbove511RenderInTheirColours) {
    std::string ldraw = SharedLDrawDir();
    if (ldraw.empty()) GTEST_SKIP() << "shared library absent";
    if (!HavePovray()) GTEST_SKIP() << "povray not installed";
    TempDir dir;
    struct Case {
        int code;
        const char* what;
    } cases[] = {
        {10010, "Rubber_Bright_Green"}, {10045, "Metallic_Light_Blue"}, {10375, "Trans_Black"}};
    for (const Case& c : cases) {
        // Appended: g++ 12 at -O3 takes "c" + std::to_string() for an overlapping copy.
        std::string name = "c";
        name += std::to_string(c.code);
        dir.Write(name + ".ldr",
                  "1 " + std::to_string(c.code) + " 0 0 0 1 0 0 0 1 0 0 0 1 3001.dat\n");
        RunResult r = RunTqr({"-ldd" + ldraw, "-w1", name + ".ldr", name + ".pov"}, dir.Path(),
                             CleanLibraryEnv(dir.Path()));
        ASSERT_EQ(r.status, 0) << c.what << r.err;
        EXPECT_EQ(r.out.find("Unknown color"), std::string::npos) << c.what << r.out;
        std::string scene = ReadFile(dir / (name + ".pov"));
        EXPECT_NE(scene.find("//// Color " + std::to_string(c.code) + " " + c.what),
                  std::string::npos)
            << c.what;
        ASSERT_EQ(RenderScene(dir / (name + ".pov"), dir / (name + ".png"), 160, 120, {}, "+UA"),
                  "");
        Image image;
        ASSERT_TRUE(ReadImage(dir / (name + ".png"), &image));
        PixelRect box = OpaqueBounds(image);
        std::array<double, 3> rgb = MeanRgb(image, box);
        SCOPED_TRACE(std::string(c.what) + ": " + std::to_string(rgb[0]) + "," +
                     std::to_string(rgb[1]) + "," + std::to_string(rgb[2]));
        switch (c.code) {
            case 10010:  // green
                EXPECT_GT(rgb[1], rgb[0] * 1.3);
                EXPECT_GT(rgb[1], rgb[2] * 1.3);
                break;
            case 10045:  // light blue (#97CBD9): blue, then green, above red
                EXPECT_GT(rgb[2], rgb[0] * 1.2);
                EXPECT_GT(rgb[1], rgb[0] * 1.1);
                break;
            case 10375: {  // dark, and the transparent background shows through the brick
                EXPECT_LT(rgb[0] + rgb[1] + rgb[2], 3 * 90);
                int seeThrough = 0;
                for (int y = box.y0; y < box.y1; y++) {
                    for (int x = box.x0; x < box.x1; x++) seeThrough += image.Alpha(x, y) < 250;
                }
                EXPECT_GT(seeThrough, (box.x1 - box.x0) * (box.y1 - box.y0) / 4);
                break;
            }
        }
    }
}
