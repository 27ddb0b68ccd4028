// Scene text helpers: identifiers, matrices, colour names and textures, statistics, the banner.
#include <cstring>
#include <string>

#include "TqColor/TqColor.h"
#include "TqPov/TqPov.h"
#include "support/TestSupport.h"

namespace {

class SceneText : public TqrTest {
protected:
    SceneWriter* w = t.writer();
};

}  // namespace

TEST_F(SceneText, IdentifiersOfFileNames) {
    struct Case {
        const char* name;
        const char* id;
    } cases[] = {
        {"3001.dat", "_3001_dot_dat"},
        {"s/3001s01.dat", "s_slash_3001s01_dot_dat"},
        {"a-b c.dat", "a_dash_b_space_c_dot_dat"},
        {"x_y&z:~#\\.ldr", "x__y_and_z_colon__tilde__crosshatch__slash__dot_ldr"},
        {"\xe9+.dat", "_E9__2B__dot_dat"},
        {"Truck.LDR", "Truck_dot_LDR"},
        // POV-Ray keywords cannot be identifiers; "Box" and "box.ldr" are none.
        {"box", "_box"},
        {"text", "_text"},
        {"Box", "Box"},
        {"box.ldr", "box_dot_ldr"},
    };
    for (const Case& c : cases) EXPECT_STREQ(PovName(w, c.name), c.id) << c.name;
    std::string longName(200, 'a');
    std::string cut = PovName(w, longName.c_str());
    EXPECT_EQ(cut.size(), 125u);
    EXPECT_EQ(cut.substr(119), "MAX125");
    strcpy(w->PovNameSuffix, "_lgeo");
    EXPECT_STREQ(PovName(w, "3001.dat"), "_3001_dot_dat_lgeo");
    EXPECT_STREQ(PovName(w, "box"), "box_lgeo");
    EXPECT_EQ(std::string(PovName(w, longName.c_str())).substr(119), "MAX125");
    w->PovNameSuffix[0] = '\0';
}

TEST_F(SceneText, MatricesAndSeams) {
    LineEntry line = {};
    line.Type = 1;
    float m[16] = {1, 2, 3, 10, 4, 5, 6, 20, 7, 8, 9, 30, 0, 0, 0, 1};
    memcpy(line.Data, m, sizeof(m));
    MemoryStream scene;
    PrintPovMatrix(w, scene.fp(), &line);
    EXPECT_EQ(scene.Text(), "matrix <1,4,7,2,5,8,3,6,9,10,20,30>");
    PartEntry part = {};
    float box[6] = {-40, -4, -20, 40, 24, 20};
    memcpy(part.BBox, box, sizeof(box));
    MemoryStream seam;
    PrintPovSeamMatrix(w, seam.fp(), &part, "TqSW");
    EXPECT_EQ(seam.Text(), "matrix <1-TqSW/80,0,0,0,1-TqSW/28,0,0,0,1-TqSW/40,0,TqSW/2.8,0>\n");
    // Flat and thin axes keep scale 1 and no shift.
    float flat[6] = {-10, 0, -0.25f, 10, 0, 0.25f};
    memcpy(part.BBox, flat, sizeof(flat));
    MemoryStream thin;
    PrintPovSeamMatrix(w, thin.fp(), &part, "TqSW");
    EXPECT_EQ(thin.Text(), "matrix <1-TqSW/20,0,0,0,1,0,0,0,1,0,0,0>\n");
    t.pov().SeamWidth = 0;
    MemoryStream none;
    PrintPovSeamMatrix(w, none.fp(), &part, "TqSW");
    EXPECT_EQ(none.Text(), "matrix <1-TqSW/20,0,0,0,1,0,0,0,1-TqSW/0.5,0,0,0>\n");
}

TEST_F(SceneText, TrianglesStepsAndDatLines) {
    LineEntry quad = {};
    quad.Type = 4;
    quad.Colour = 0x2FF8000;
    float p[16] = {0, 0, 0, 1, 1, 0, 0, 1, 1, 1, 0, 1, 0, 1, 0, 1};
    memcpy(quad.Data, p, sizeof(p));
    MemoryStream scene;
    PrintPovPartTriangle(w, scene.fp(), &quad, 0);
    PrintPovPartTriangle(w, scene.fp(), &quad, 2);
    PrintDatLine(w, scene.fp(), &quad);
    int step = 0;
    PrintPovPartStep(scene.fp(), &step, 1);
    PrintPovPartStep(scene.fp(), &step, 0);
    EXPECT_EQ(scene.Text(),
              "\t\ttriangle { <0,0,0>, <1,0,0>, <1,1,0> }\n"
              "\t\ttriangle { <1,1,0>, <0,1,0>, <0,0,0> }\n"
              " 4 0x02FF8000  0 0 0  1 0 0  1 1 0  0 1 0\n"
              "// STEP\n#if (clock > 1)\n#end // if (clock > 1)\n");
    LineEntry comment = {};
    comment.Text = const_cast<char*>("// a comment");
    EXPECT_STREQ(GetDatComment(&comment), "a comment");
    EXPECT_STREQ(GetDatComment(nullptr), "");
    EXPECT_STREQ(Tabs(0), "");
    EXPECT_STREQ(Tabs(8), "\t\t\t\t\t\t\t\t");
}

TEST_F(SceneText, ColourNamesAndReferences) {
    EXPECT_STREQ(DatColorStr(w, 0), "0");
    EXPECT_STREQ(DatColorStr(w, 511), "511");
    EXPECT_STREQ(DatColorStr(w, 0x3FF0000), "0x03FF0000");
    EXPECT_STREQ(DatColorStr(w, -1), "0xFFFFFFFF");
    EXPECT_STREQ(PovColorRef(w, 7, 1), "material { TqColor7_slope }");
    const char* names[] = {"Opaque",         "Chrome", "Pearlescent", "Rubber",
                           "Matte_metallic", "Metal",  "Transparent"};
    for (int i = 0; i < 7; i++) EXPECT_STREQ(PovFinishTag(w, i), names[i]) << i;
    float grey[3] = {77 / 255.0f, 0.5f, 1};
    EXPECT_STREQ(Pov255(w, grey), "77,127.5,255");
    float v[3] = {0.5f, 1, -2.25f};
    EXPECT_STREQ(PovGGG(w, v), "<0.5,1,-2.25>");
}

TEST_F(SceneText, TextureMacroChosenByAttributes) {
    float rgb[3] = {1, 0, 0};
    struct Case {
        unsigned attributes;
        int transparent;
        const char* text;
    } cases[] = {
        {0, 0, "TqTextureOpaqueRGB(255,0,0)\n"},
        {1, 0, "TqTextureChromeRGB(255,0,0)\n"},
        {0x8008, 1, "TqTextureTransparentRGBA(255,0,0,128)\n"},
        {0x0F0010, 1, "TqTextureOtherRGBFAL(255,0,0,0,-1,15)\n"},
        {0x8009, 1, "TqTextureOtherRGBFAL(255,0,0,1,128,-1)\n"},
    };
    for (const Case& c : cases) {
        MemoryStream scene;
        EXPECT_EQ(PrintPovColorTexture(w, scene.fp(), rgb, c.attributes), c.transparent)
            << c.attributes;
        EXPECT_EQ(scene.Text(), c.text) << c.attributes;
    }
}

TEST_F(SceneText, ColourGroupsAreDeclaredOnce) {
    MemoryStream scene;
    AddUsedColor(t.model(), t.diag(), 4);
    AddUsedColor(t.model(), t.diag(), 0x3FF0000);
    PrintUsedColors(w, scene.fp());
    std::string first = scene.Text();
    EXPECT_NE(
        first.find(
            "\n//// Color 4 Red\n#ifndef (TqTexture4)\n#declare TqTexture4 = TqTextureOpaqueRGB(247,41,14)\n#end\n"
            "#ifndef (TqTexture4_slope)\n#declare TqTexture4_slope = TqTextureSlope(TqTexture4)\n#end\n"
            "#ifndef (TqColor4)\n#declare TqColor4 = TqMaterial(TqTexture4)\n#end\n"
            "#ifndef (TqColor4_slope)\n#declare TqColor4_slope = TqMaterial(TqTexture4_slope)\n#end\n\n"),
        std::string::npos)
        << first;
    EXPECT_NE(first.find("#declare TqTexture0x03FF0000 = TqTextureTransparentRGBA(255,0,0,128)\n"),
              std::string::npos);
    EXPECT_NE(first.find("#declare TqColor0x03FF0000 = TqMaterialT(TqTexture0x03FF0000)\n"),
              std::string::npos);
    PrintUsedColors(w, scene.fp());
    EXPECT_EQ(scene.Text(), first);
}

TEST_F(SceneText, PercentagesAndStatistics) {
    EXPECT_STREQ(PovStatPct(w, 1, 3), "(33%)");
    EXPECT_STREQ(PovStatPct(w, 2, 3), "(67%)");
    EXPECT_STREQ(PovStatPct(w, 5, 0), "(0%)");
    ASSERT_EQ(SetMainModelName(t.model(), "m.ldr"), 0);
    t.model()->Parts[0].nContainedParts = 12;
    t.model()->Parts[0].nStuds = 96;
    for (int i = 1; i < 47; i++) {
        char name[16];
        snprintf(name, sizeof(name), "f%d", i);
        RegisterPart(t.model(), t.diag(), 0, name);
    }
    w->nPovTotalFromPARTS = 12;
    w->nPovTotalFromP = 30;
    w->nPovEquivFromP = 25;
    w->nPovTqrFromPARTS = 2;
    w->nPovTqrFromP = 0;
    MemoryStream scene;
    PrintPovStatistics(w, scene.fp(), "// ");
    EXPECT_EQ(scene.Text(),
              "//               PARTS             P         Total\n"
              "// DAT files:       12            30            47\n"
              "// POV Equivs:       -            25 (83%)\n"
              "// TQRPARTS:         2 (17%)       0 (0%)\n"
              "// Model has 12 parts (96 studs)\n");
}

TEST_F(SceneText, HeaderIsWrittenOnceAndTheBannerCoversTheBody) {
    MemoryStream scene;
    PrintPovInit(w, "model.ldr", nullptr, nullptr);
    PrintPovHeader(w, scene.fp());
    size_t once = scene.Text().size();
    PrintPovHeader(w, scene.fp());
    EXPECT_EQ(scene.Text().size(), once);
    std::string text = scene.Text();
    EXPECT_EQ(text.find("lg_"), std::string::npos);
    EXPECT_NE(text.find("#declare TqQuality = 2;"), std::string::npos);
    EXPECT_NE(text.find("#declare TqSW = 0.5;"), std::string::npos);
    EXPECT_NE(text.find("#ifndef (TqTextureOtherRGBFAL)"), std::string::npos);
    fputs("#declare Body = 1;\n", scene.fp());
    long before = ftell(scene.fp());
    EXPECT_EQ(PrintPovErrFile(w, scene.fp(), TrailerResult::kEmptyModel),
              TrailerResult::kEmptyModel);
    std::string failed = scene.Text();
    std::string banner = std::string("// Empty model") + std::string(63, ' ') + "!\n";
    EXPECT_EQ(failed.substr((size_t)w->PovEndOfHeaderPosition, banner.size()), banner);
    EXPECT_GE((long)failed.size(), before);
    EXPECT_EQ(failed.find("#declare TqQuality"), std::string::npos);
    EXPECT_EQ(failed.find("Body"), std::string::npos);
}
