// The automatic camera: the fit itself, the modes, and the text written; the default lights.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "TqPov/TqPov.h"
#include "Tqr/Tqr.h"
#include "support/Image.h"
#include "support/TestSupport.h"

namespace {

class Camera : public TqrTest {
protected:
    std::vector<std::array<float, 3>> points;
    std::string text;

    void SetUp() override {
        TqrTest::SetUp();
        memset(&CameraData, 0, sizeof(CameraData));
        memset(LookAt, 0, sizeof(LookAt));
        memset(Location, 0, sizeof(Location));
    }
    // Offers the corners of boxes placed around the scene, then computes the camera.
    void Fit(std::initializer_list<std::array<float, 6>> boxes) {
        PreCalcCamera();
        float all[6];
        TqEmptyBBox(all);
        const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
        for (const auto& box : boxes) {
            float corners[8][3];
            TqCalcBBoxCorners(corners, identity, box.data(), 0);
            for (const auto& c : corners) {
                CalcCameraAddPoint(c);
                TqCheckPointAgainstBBox(c, all);
                points.push_back({c[0], c[1], c[2]});
            }
        }
        V3Mean(BBoxCenter, all, all + 3);
        memcpy(Parts[0].BBox, all, sizeof(all));
        MemoryStream scene;
        CalcCamera(scene.fp());
        text = scene.Text();
    }
    // Smallest margin of any point against the four side planes, seen from location.
    double WorstMargin(const float* location) {
        double worst = 1e30;
        for (const auto& p : points) {
            float rel[3];
            V3Sub(rel, p.data(), location);
            double scale = V3Length(rel);
            for (const auto& normal : CameraData.PlaneNormal)
                worst = std::min(worst, V3Dot(normal, rel) / (scale * V3Length(normal)));
        }
        return worst;
    }
};

}  // namespace

TEST_F(Camera, AutomaticFitIsTight) {
    for (float latitude : {30.0f, -20.0f, 75.0f}) {
        for (float aspect : {0.0f, 1.5f, 0.75f}) {
            ResetGlobalState();
            points.clear();
            TqPov.CameraPos[0] = latitude;
            TqPov.CameraPos[1] = 45;
            TqPov.AspectRatio = aspect;
            Fit({{0, 0, 0, 80, 24, 40},
                 {200, -100, 50, 260, -20, 90},
                 {-150, 30, -300, -100, 60, -250}});
            SCOPED_TRACE(std::to_string(latitude) + " " + std::to_string(aspect));
            // Every point is inside the view from the computed location ...
            EXPECT_GT(WorstMargin(Location), -1e-5);
            // ... and moving in along the viewing line puts one outside.
            float closer[3];
            float distance =
                (float)std::sqrt((Location[0] - BBoxCenter[0]) * (Location[0] - BBoxCenter[0]) +
                                 (Location[1] - BBoxCenter[1]) * (Location[1] - BBoxCenter[1]) +
                                 (Location[2] - BBoxCenter[2]) * (Location[2] - BBoxCenter[2]));
            V3AddScaled(closer, Location, distance * 0.01, CameraData.Direction);
            EXPECT_LT(WorstMargin(closer), -1e-4);
        }
    }
}

TEST_F(Camera, TextOfTheAutomaticCamera) {
    TqPov.AspectRatio = 1.5f;
    Fit({{0, 0, 0, 80, 24, 40}});
    EXPECT_NE(
        text.find(
            "// TQR's automatic camera positioning was based on the following:\n// TqLatitude=30\n// TqLongitude=45\n"),
        std::string::npos);
    EXPECT_NE(text.find("// TqViewingAngle=67.3801\n"), std::string::npos);
    EXPECT_NE(text.find("\t#declare TqAspectRatio = 1.5;\n"), std::string::npos);
    EXPECT_NE(text.find("\t#declare TqSky = -y;\n"), std::string::npos);
    EXPECT_NE(
        text.find(
            "//Uncomment either two lines below to make stereo images:\n\t//#declare TqStereoView = -TqStereoAngle/2;"),
        std::string::npos);
    EXPECT_NE(text.find("\t\t#declare TqLookAt = <"), std::string::npos);
    EXPECT_NE(text.find("// Calculated (not -cla)\n"), std::string::npos);
    uint32_t bits;
    memcpy(&bits, &TqPov.ViewingAngle, 4);
    EXPECT_EQ(bits, 0x4286C2A1u);
}

TEST_F(Camera, NegativeRadiusMovesBackByPercent) {
    TqPov.CameraPos[2] = -25;
    Fit({{0, 0, 0, 80, 24, 40}});
    float first[3];
    V3Assign(first, Location);
    EXPECT_NE(text.find("\t#declare TqPercentageBack = 25; // Percentage of radius\n"),
              std::string::npos);
    ResetGlobalState();
    points.clear();
    Fit({{0, 0, 0, 80, 24, 40}});
    for (int i = 0; i < 3; i++) EXPECT_FLOAT_EQ(Location[i], first[i]);
}

TEST_F(Camera, GivenRadiusOrLocation) {
    TqPov.CameraPos[2] = 500;
    Fit({{-10, -10, -10, 10, 10, 10}});
    float v[3];
    V3Sub(v, Location, LookAt);
    EXPECT_NEAR(V3Length(v), 500, 1e-3);
    EXPECT_EQ(text.find("based on the following"), std::string::npos);
    ResetGlobalState();
    TqPov.CameraGlobe = 0;
    TqPov.CameraPos[0] = 0, TqPov.CameraPos[1] = -100, TqPov.CameraPos[2] = -300;
    TqPov.LookAtGiven = 1;
    Fit({{-10, -10, -10, 10, 10, 10}});
    EXPECT_NE(text.find("\t\t#declare TqLookAt = <0,0,0>; // -cla\n"), std::string::npos);
    EXPECT_NE(text.find("\t\t#declare TqLocation = <0,-100,-300>;\n"), std::string::npos);
    ResetGlobalState();
    TqPov.CameraGlobe = 0;
    TqPov.CameraPos[0] = 0, TqPov.CameraPos[1] = -100, TqPov.CameraPos[2] = -300;
    Fit({{-10, -10, -10, 10, 10, 30}});
    EXPECT_NE(text.find("\t\t#declare TqLookAt = <0,0,10>; // Calculated (not -cla)\n"),
              std::string::npos);
}

TEST_F(Camera, PoleLatitudeIsMovedOffThePole) {
    TqPov.CameraPos[0] = 90;
    Fit({{0, 0, 0, 10, 10, 10}});
    EXPECT_NE(text.find("// TqLatitude=89.999\n"), std::string::npos);
    EXPECT_TRUE(std::isfinite(Location[0]) && std::isfinite(Location[1]) &&
                std::isfinite(Location[2]));
}

TEST_F(Camera, FirstDefaultLightAtTheCameraDistance) {
    BBoxCenter[0] = BBoxCenter[1] = BBoxCenter[2] = 0;
    Location[2] = 200;
    ASSERT_EQ(AddDefaultLights(), 0);
    ASSERT_EQ(nLights, 3);
    nLights = 1;
    MemoryStream stream;
    CalcLights(stream.fp());
    EXPECT_EQ(
        stream.Text(),
        "\n//// Lights\nlight_source {\n\t<0,-141.421,-141.421>  // Latitude,Longitude,Radius: 45,0,200\n"
        "\tcolor rgb <1,1,1>\n}\n");
    TqPov.LightDatFound = 1;
    nLights = 0;
    ASSERT_EQ(AddDefaultLights(), 0);
    EXPECT_EQ(nLights, 0);
    TqPov.DefaultLightsToo = 1;
    ASSERT_EQ(AddDefaultLights(), 0);
    EXPECT_EQ(nLights, 3);
}

TEST(CameraBinary, SkyAlongTheViewingLineIsRefusedClearly) {
    TempDir dir;
    dir.Write("m.ldr", "1 4 0 0 0 1 0 0 0 1 0 0 0 1 3003.dat\n");
    RunResult r = RunTqr(
        {"-stdout", "-ldd" + SourceDir() + "/samples/ldraw", "-cg0,0", "-csky0,0,1", "m.ldr"},
        dir.Path(), CleanLibraryEnv(dir.Path()));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("Singular matrix when calculating camera position."), std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("To proceed specify radius or use -cc option.\n"), std::string::npos);
    std::string scene = ReadFile(dir / "m.pov");
    EXPECT_FALSE(HasNonFiniteNumber(scene));
    EXPECT_NE(scene.find("// Error occurred"), std::string::npos);
}

TEST(CameraBinary, OrthographicViewHoldsTheWholeModelAndRenders) {
    if (!HavePovray()) GTEST_SKIP() << "povray not installed";
    TempDir dir;
    std::string lib = "-ldd" + SourceDir() + "/samples/ldraw";
    std::string model = SourceDir() + "/samples/tower.ldr";
    // Several views and aspect ratios, and a roll that turns the model in the frame.
    struct View {
        std::vector<std::string> options;
        int width, height;
    };
    for (const View& view :
         {View{{"-co"}, 160, 120}, View{{"-co", "-cg10,-70"}, 160, 120},
          View{{"-co", "-car1", "-cg60,200"}, 120, 120}, View{{"-co", "-cra30"}, 160, 120}}) {
        std::vector<std::string> args = {lib, "-o"};
        args.insert(args.end(), view.options.begin(), view.options.end());
        args.insert(args.end(), {model, dir / "ortho.pov"});
        RunResult r = RunTqr(args, dir.Path(), CleanLibraryEnv(dir.Path()));
        std::string name = view.options.back();
        ASSERT_EQ(r.status, 0) << name << r.err;
        EXPECT_EQ(ReadFile(dir / "ortho.pov").find("doesn't work yet"), std::string::npos);
        ASSERT_EQ(RenderScene(dir / "ortho.pov", dir / "ortho.png", view.width, view.height, {},
                              "+UA +FN"),
                  "")
            << name;
        Image image;
        ASSERT_TRUE(ReadImage(dir / "ortho.png", &image)) << name;
        // Where the model is: every pixel that is not the transparent background.
        PixelRect box = OpaqueBounds(image);
        EXPECT_GT(box.x0, 0) << name;
        EXPECT_GT(box.y0, 0) << name;
        EXPECT_LT(box.x1, image.width) << name;
        EXPECT_LT(box.y1, image.height) << name;
        double fill = std::max((box.x1 - box.x0) / (double)image.width,
                               (box.y1 - box.y0) / (double)image.height);
        EXPECT_GE(fill, name == "-cra30" ? 0.6 : 0.8) << name;
    }
}
