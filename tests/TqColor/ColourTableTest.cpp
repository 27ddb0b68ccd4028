// Colour lines, colour values, the built-in colours and colour numbers to RGB.
#include <string>

#include "TqColor/TqColor.h"
#include "TqInput/TqInput.h"
#include "support/TestSupport.h"

namespace {

class Colours : public TqrTest {
protected:
    // Parses one colour line; returns the result and the diagnostics printed.
    int Parse(const std::string& text, ColourEntry* entry, std::string* out) {
        WarningLevel = 3;
        IInfo.FileName = "c.ldr";
        CaptureOutput capture;
        std::string copy = text;
        int r = ReadColourLine(copy.data(), entry);
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
        {"!COLOUR a CODE 512", -1, "Color code out of range [0..511]"},
        {"!COLOUR a CODE -1", -1, "Color code out of range [0..511]"},
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
        {"!COLOUR a CODE 1 VALUE 1 2 3 EDGE 600", -1, "Edge color code out of range [0..511]"},
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
        EXPECT_EQ(Color2rgb(c.code, rgb, &attributes), c.result) << c.code;
        EXPECT_FLOAT_EQ(rgb[0], c.r) << c.code;
        EXPECT_FLOAT_EQ(rgb[1], c.g) << c.code;
        EXPECT_FLOAT_EQ(rgb[2], c.b) << c.code;
        EXPECT_EQ(attributes, c.attributes) << c.code;
    }
    // 300 = 0x12C: dithered from colours 12 and 2.
    float rgb[3];
    ASSERT_EQ(Color2rgb(300, rgb, nullptr), 0);
    EXPECT_FLOAT_EQ(rgb[0], (0xFF + 0x1E) / 510.0f);
    EXPECT_FLOAT_EQ(rgb[1], (0x9A + 0xA0) / 510.0f);
}

TEST_F(Colours, BuiltinColoursYieldTheirNameToTheFile) {
    FreeColours();
    ColourEntry red = {};
    red.Name = FarStrdup("Red");
    red.Code = 100;
    red.Flags = kColourFromFile;
    ASSERT_EQ(AddColour(&red), 1);
    FillInColours();
    EXPECT_EQ(nTqColours, 50);
    const ColourEntry* four = FindColour(4);
    ASSERT_NE(four, nullptr);
    EXPECT_STREQ(four->Name, "Red_Tq");
    EXPECT_EQ(four->Edge, 12u);
    EXPECT_EQ(FindColour(36)->Alpha, 128);
    EXPECT_EQ(FindColour(36)->Flags, kColourHasAlpha);
    EXPECT_EQ(FindColour(256)->Flags, 3);
    EXPECT_EQ(FindColourByName("RED")->Code, 100);
    EXPECT_EQ(FindColour(512), nullptr);
    EXPECT_EQ(FindColour(16), nullptr);
    ColourEntry again = {};
    again.Code = 4;
    EXPECT_EQ(AddColour(&again), 0);
    ColourEntry sameName = {};
    sameName.Code = 101;
    sameName.Name = FarStrdup("red");
    EXPECT_EQ(AddColour(&sameName), 2);
}

TEST_F(Colours, ListingFormat) {
    FreeColours();
    TempDir dir;
    std::string path =
        dir.Write("c.ldr",
                  "0 !COLOUR Trans_Red CODE 36 VALUE #C91A09 EDGE #880000 ALPHA 128\n"
                  "0 !COLOUR Glow CODE 21 VALUE #E0FFB0 EDGE 2 ALPHA 250 LUMINANCE 15 CHROME\n"
                  "0 !COLOUR A_Name_Longer_Than_Eighteen CODE 2 VALUE #000001 EDGE 21\n");
    ASSERT_EQ(ReadLdconfig(path.c_str()), 1);
    MemoryStream stream;
    PrintColours(stream.fp());
    EXPECT_EQ(
        stream.Text(),
        "0 !COLOUR A_Name_Longer_Than_Eighteen  CODE   2 VALUE #000001 EDGE      21\n"
        "0 !COLOUR Glow                CODE  21 VALUE #E0FFB0 EDGE       2 ALPHA 250 LUMINANCE  15 CHROME\n"
        "0 !COLOUR Trans_Red           CODE  36 VALUE #C91A09 EDGE #880000 ALPHA 128\n");
    FillInColours();
    CaptureOutput capture;
    ResolveEdgeColours("c.ldr");
    EXPECT_EQ(capture.Out(), "");
}

TEST_F(Colours, UnknownEdgeColourBecomesBlackAtEveryLevel) {
    FreeColours();
    TempDir dir;
    std::string path = dir.Write("c.ldr", "0 !COLOUR A CODE 3 VALUE #000001 EDGE 77\n");
    ReadLdconfig(path.c_str());
    WarningLevel = -1;
    CaptureOutput capture;
    ResolveEdgeColours("c.ldr");
    EXPECT_EQ(capture.Out(),
              "WARNING \"c.ldr\": Cannot find edge color (77) for color 3, using 0\n");
    EXPECT_EQ(FindColour(3)->Edge, 0u);
}

TEST_F(Colours, DamagedColourFilesAreReadLineByLine) {
    FreeColours();
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
    WarningLevel = 3;
    CaptureOutput capture;
    ASSERT_EQ(ReadLdconfig(path.c_str()), 1);
    std::string out = capture.Out();
    EXPECT_EQ(FindColour(1)->Value, 0x010203u);
    EXPECT_STREQ(FindColour(3)->Name, "Good");
    EXPECT_EQ(FindColour(4), nullptr);
    ASSERT_NE(FindColour(5), nullptr);
    EXPECT_NE(out.find("Colour code already defined"), std::string::npos);
    EXPECT_NE(out.find("Colour name already used"), std::string::npos);
    EXPECT_NE(out.find("Comment lines should have space after 0"), std::string::npos);
    EXPECT_NE(out.find("Bad line"), std::string::npos);
    EXPECT_EQ(ReadLdconfig((dir / "missing.ldr").c_str()), 0);
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
    // Codes above 511 and the placeholders 16 and 24 are refused; the rest are listed.
    EXPECT_GT(listed, 150);
    EXPECT_LT(listed, defined);
    EXPECT_NE(
        r.out.find(
            "0 !COLOUR Glitter_Trans_Dark_Pink  CODE 114 VALUE #DF6695 EDGE #B9275F ALPHA 128\n"),
        std::string::npos);
    EXPECT_EQ(r.out.find("CODE 10375"), std::string::npos);
    // At warning level 1 (and in check mode) one line per kind of fault, from level 2 each.
    RunResult summed =
        RunTqr({"-ldd" + ldraw, "-w1", "-pc"}, home.Path(), CleanLibraryEnv(home.Path()));
    EXPECT_NE(summed.out.find("LDConfig.ldr\": 26 lines: Color code out of range [0..511] (-w2 "
                              "shows each)\n"),
              std::string::npos)
        << summed.out.substr(0, 400);
    EXPECT_NE(summed.out.find("LDConfig.ldr\": 2 lines: Illegal color code (-w2 shows each)\n"),
              std::string::npos);
    EXPECT_EQ(summed.out.find("[0..511]: 0 !COLOUR"), std::string::npos);
    RunResult each =
        RunTqr({"-ldd" + ldraw, "-w2", "-pc"}, home.Path(), CleanLibraryEnv(home.Path()));
    EXPECT_NE(each.out.find("Color code out of range [0..511]: 0 !COLOUR Trans_Black"),
              std::string::npos);
    EXPECT_NE(each.out.find("Illegal color code: 0 !COLOUR Main_Colour"), std::string::npos);
}
