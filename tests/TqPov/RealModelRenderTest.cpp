// The real models converted with default options and rendered by POV-Ray: every scene parses,
// and the automatic camera frames the whole model tightly.
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/TestSupport.h"

namespace {

const char* const kModels[] = {
    "pyramid.ldr",
    "car.ldr",
    "1180-1 - Space Port Moon Buggy.mpd",
    "7140-1-X-wingFighter.mpd",
    "6080 - Kings Castle.mpd",
    "10179-1 - Millennium Falcon - UCS.mpd",
    "datsville_rev002.013_inlined_n_boxed_n.mpd",
};

struct Image {
    int width = 0, height = 0;
    std::vector<unsigned char> rgb;
    const unsigned char* At(int x, int y) const { return &rgb[3 * ((size_t)y * width + x)]; }
};

// The next header word of a PPM file, skipping "#" comment lines.
std::string PpmWord(std::istream& in) {
    std::string word;
    while (in >> word && word[0] == '#') {
        std::string rest;
        std::getline(in, rest);
    }
    return word;
}

// Binary PPM as POV-Ray writes it with +FP.
bool ReadPpm(const std::string& path, Image* image) {
    std::ifstream in(path, std::ios::binary);
    std::string magic = PpmWord(in);
    image->width = atoi(PpmWord(in).c_str());
    image->height = atoi(PpmWord(in).c_str());
    int maxValue = atoi(PpmWord(in).c_str());
    in.get();
    if (magic != "P6" || maxValue != 255) return false;
    image->rgb.resize((size_t)image->width * image->height * 3);
    in.read(reinterpret_cast<char*>(image->rgb.data()), (std::streamsize)image->rgb.size());
    return (bool)in;
}

// The background of -b is rgb 0.3, 0.8, 1.
bool IsBackground(const unsigned char* p) {
    return abs(p[0] - 77) <= 2 && abs(p[1] - 204) <= 2 && p[2] >= 253;
}

struct Extent {
    int minX = 1 << 30, minY = 1 << 30, maxX = -1, maxY = -1;
    bool touchesBorder = false;
};

Extent ModelExtent(const Image& image) {
    Extent e;
    for (int y = 0; y < image.height; y++) {
        for (int x = 0; x < image.width; x++) {
            if (IsBackground(image.At(x, y))) continue;
            e.minX = std::min(e.minX, x), e.maxX = std::max(e.maxX, x);
            e.minY = std::min(e.minY, y), e.maxY = std::max(e.maxY, y);
            if (x == 0 || y == 0 || x == image.width - 1 || y == image.height - 1)
                e.touchesBorder = true;
        }
    }
    return e;
}

// Converts and renders; returns false (with a failure recorded) when either step fails.
bool ConvertAndRender(const std::string& model, const std::vector<std::string>& options,
                      const TempDir& work, Image* image) {
    std::vector<std::string> args = {"-ldd" + SharedLDrawDir(), "-o"};
    args.insert(args.end(), options.begin(), options.end());
    args.push_back(model);
    args.push_back("scene.pov");
    RunResult r = RunTqr(args, work.Path(), CleanLibraryEnv(work.Path()));
    EXPECT_EQ(r.status, 0) << model << "\n" << r.err;
    if (r.status != 0) return false;
    std::string scene = ReadFile(work / "scene.pov");
    EXPECT_FALSE(HasNonFiniteNumber(scene)) << model;
    std::string ppm = work / "scene.ppm";
    std::string messages = RenderScene(work / "scene.pov", ppm, 160, 120, {}, "+FP -A");
    EXPECT_EQ(messages.find("Parse Error"), std::string::npos) << model << "\n" << messages;
    return ReadPpm(ppm, image);
}

class RealModelRender : public ::testing::TestWithParam<const char*> {};

}  // namespace

TEST_P(RealModelRender, ParsesAndIsFramed) {
    if (SharedLDrawDir().empty() || SharedModelsDir().empty())
        GTEST_SKIP() << "shared library or models absent";
    if (!HavePovray()) GTEST_SKIP() << "povray not installed";
    std::string model = SharedModelsDir() + "/" + GetParam();
    TempDir work;
    Image tight, back;
    ASSERT_TRUE(ConvertAndRender(model, {"-b"}, work, &tight));
    Extent e = ModelExtent(tight);
    ASSERT_GE(e.maxX, 0) << "nothing of the model is visible";
    double spanX = (e.maxX - e.minX + 1) / (double)tight.width,
           spanY = (e.maxY - e.minY + 1) / (double)tight.height;
    EXPECT_GE(std::max(spanX, spanY), 0.8) << spanX << " x " << spanY;
    ASSERT_TRUE(ConvertAndRender(model, {"-b", "-cg30,45,-10"}, work, &back));
    EXPECT_FALSE(ModelExtent(back).touchesBorder);
}

// The instructions look's scene, with every edge line of the model and the conditional lines
// that are silhouettes from its camera, parses without a complaint.
TEST_P(RealModelRender, ParsesWithEdgeLines) {
    if (SharedLDrawDir().empty() || SharedModelsDir().empty())
        GTEST_SKIP() << "shared library or models absent";
    if (!HavePovray()) GTEST_SKIP() << "povray not installed";
    std::string pov = SourceDir() + "/pov";
    TempDir work;
    RunResult r =
        RunTqr({"-ldd" + SharedLDrawDir(), "-o", "-mesh", "-edges", "-cfit5",
                "-ib" + pov + "/tqr-instructions.inc", "-il" + pov + "/tqr-instructions-lights.inc",
                SharedModelsDir() + "/" + GetParam(), "scene.pov"},
               work.Path(), CleanLibraryEnv(work.Path()));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(ReadFile(work / "scene.pov").find("#declare TqEdges1 "), std::string::npos);
    EXPECT_EQ(RenderScene(work / "scene.pov", work / "scene.png", 64, 48, {pov}, "+MV3.7 -A"), "");
}

INSTANTIATE_TEST_SUITE_P(Models, RealModelRender, ::testing::ValuesIn(kModels),
                         [](const ::testing::TestParamInfo<const char*>& param) {
                             std::string name = param.param;
                             return TestNameOf(name.substr(0, name.find('.')));
                         });

TEST(RealColours, GlowingAndRubberColoursOfTheRealColourFileRender) {
    if (SharedLDrawDir().empty()) GTEST_SKIP() << "shared library absent";
    TempDir work;
    std::string model;
    int x = 0;
    for (int colour : {21, 294, 329, 66, 67, 383, 334, 4}) {
        model += "1 " + std::to_string(colour) + " " + std::to_string(x) +
                 " 0 0 1 0 0 0 1 0 0 0 1 3001.dat\n";
        x += 90;
    }
    work.Write("colours.ldr", model);
    RunResult r = RunTqr({"-ldd" + SharedLDrawDir(), "colours.ldr"}, work.Path(),
                         CleanLibraryEnv(work.Path()));
    ASSERT_EQ(r.status, 0) << r.err;
    std::string scene = ReadFile(work / "colours.pov");
    EXPECT_NE(scene.find("TqTextureOtherRGBFAL("), std::string::npos);
    if (!HavePovray()) GTEST_SKIP() << "povray not installed";
    EXPECT_EQ(RenderScene(work / "colours.pov", work / "colours.png", 64, 48), "");
}
