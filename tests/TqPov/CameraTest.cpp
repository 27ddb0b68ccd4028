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
    SceneWriter* w = t.writer();
    const CameraDataS& CameraData = w->CameraData;
    const float* Location = w->Location;
    const float* LookAt = w->LookAt;
    const float* BBoxCenter = w->BBoxCenter;

    // Starts over: the settings as the options left them by default, no points offered.
    void Fresh() {
        SetTqPovDefaults(&t.pov());
        points.clear();
        w->CameraData = {};
        memset(w->Location, 0, sizeof(w->Location));
        memset(w->LookAt, 0, sizeof(w->LookAt));
    }
    // Offers the corners of boxes placed around the scene, then computes the camera.
    void Fit(std::initializer_list<std::array<float, 6>> boxes) {
        PreCalcCamera(w);
        float all[6];
        TqEmptyBBox(all);
        const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
        for (const auto& box : boxes) {
            float corners[8][3];
            TqCalcBBoxCorners(corners, identity, box.data(), 0);
            for (const auto& c : corners) {
                CalcCameraAddPoint(w, c);
                TqCheckPointAgainstBBox(c, all);
                points.push_back({c[0], c[1], c[2]});
            }
        }
        V3Mean(w->BBoxCenter, all, all + 3);
        memcpy(t.model()->Parts[0].BBox, all, sizeof(all));
        MemoryStream scene;
        CalcCamera(w, scene.fp());
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
            Fresh();
            t.pov().CameraPos[0] = latitude;
            t.pov().CameraPos[1] = 45;
            t.pov().AspectRatio = aspect;
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
    t.pov().AspectRatio = 1.5f;
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
    memcpy(&bits, &t.pov().ViewingAngle, 4);
    EXPECT_EQ(bits, 0x4286C2A1u);
}

TEST_F(Camera, NegativeRadiusMovesBackByPercent) {
    t.pov().CameraPos[2] = -25;
    Fit({{0, 0, 0, 80, 24, 40}});
    float first[3];
    V3Assign(first, Location);
    EXPECT_NE(text.find("\t#declare TqPercentageBack = 25; // Percentage of radius\n"),
              std::string::npos);
    Fresh();
    Fit({{0, 0, 0, 80, 24, 40}});
    for (int i = 0; i < 3; i++) EXPECT_FLOAT_EQ(Location[i], first[i]);
}

TEST_F(Camera, GivenRadiusOrLocation) {
    t.pov().CameraPos[2] = 500;
    Fit({{-10, -10, -10, 10, 10, 10}});
    float v[3];
    V3Sub(v, Location, LookAt);
    EXPECT_NEAR(V3Length(v), 500, 1e-3);
    EXPECT_EQ(text.find("based on the following"), std::string::npos);
    Fresh();
    t.pov().CameraGlobe = 0;
    t.pov().CameraPos[0] = 0, t.pov().CameraPos[1] = -100, t.pov().CameraPos[2] = -300;
    t.pov().LookAtGiven = 1;
    Fit({{-10, -10, -10, 10, 10, 10}});
    EXPECT_NE(text.find("\t\t#declare TqLookAt = <0,0,0>; // -cla\n"), std::string::npos);
    EXPECT_NE(text.find("\t\t#declare TqLocation = <0,-100,-300>;\n"), std::string::npos);
    Fresh();
    t.pov().CameraGlobe = 0;
    t.pov().CameraPos[0] = 0, t.pov().CameraPos[1] = -100, t.pov().CameraPos[2] = -300;
    Fit({{-10, -10, -10, 10, 10, 30}});
    EXPECT_NE(text.find("\t\t#declare TqLookAt = <0,0,10>; // Calculated (not -cla)\n"),
              std::string::npos);
}

TEST_F(Camera, PoleLatitudeIsMovedOffThePole) {
    t.pov().CameraPos[0] = 90;
    Fit({{0, 0, 0, 10, 10, 10}});
    EXPECT_NE(text.find("// TqLatitude=89.999\n"), std::string::npos);
    EXPECT_TRUE(std::isfinite(Location[0]) && std::isfinite(Location[1]) &&
                std::isfinite(Location[2]));
}

TEST_F(Camera, FirstDefaultLightAtTheCameraDistance) {
    w->BBoxCenter[0] = w->BBoxCenter[1] = w->BBoxCenter[2] = 0;
    w->Location[2] = 200;
    ASSERT_EQ(AddDefaultLights(w), 0);
    ASSERT_EQ(w->nLights, 3);
    w->nLights = 1;
    MemoryStream stream;
    CalcLights(w, stream.fp());
    EXPECT_EQ(
        stream.Text(),
        "\n//// Lights\nlight_source {\n\t<0,-141.421,-141.421>  // Latitude,Longitude,Radius: 45,0,200\n"
        "\tcolor rgb <1,1,1>\n}\n");
    t.model()->LightDatFound = 1;
    w->nLights = 0;
    ASSERT_EQ(AddDefaultLights(w), 0);
    EXPECT_EQ(w->nLights, 0);
    t.pov().DefaultLightsToo = 1;
    ASSERT_EQ(AddDefaultLights(w), 0);
    EXPECT_EQ(w->nLights, 3);
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

// -cfit frames the parts where they stand: a row of bricks in a sub-model turned by 45 degrees,
// and in a sub-model of that, a wheel (a cylinder on its side) whose box corners lie far outside
// it. The automatic fit of the boxes leaves the model small; -cfit fills the picture to its
// margin and centres it, for the automatic camera, a given distance and the orthographic view.
TEST(CameraBinary, FitOfThePlacedPartsFillsAndCentresThePicture) {
    if (!HavePovray()) GTEST_SKIP() << "povray not installed";
    TempDir dir;
    dir.Write("model.mpd",
              "0 FILE main.ldr\n"
              "1 16 0 0 0 0.7071 0 0.7071 0 1 0 -0.7071 0 0.7071 arm.ldr\n"
              "0 FILE arm.ldr\n"
              "1 4 0 0 0 1 0 0 0 1 0 0 0 1 3001.dat\n"
              "1 14 80 0 0 1 0 0 0 1 0 0 0 1 3001.dat\n"
              "1 1 160 0 0 1 0 0 0 1 0 0 0 1 3001.dat\n"
              "1 16 200 -60 0 1 0 0 0 1 0 0 0 1 hub.ldr\n"
              "0 FILE hub.ldr\n"
              "1 0 0 0 0 0 10 0 40 0 0 0 0 40 4-4cyli.dat\n");
    struct View {
        std::vector<std::string> options;
        bool fills;  // false: a given distance, which only centres
    };
    const View views[] = {{{"-cfit5"}, true},
                          {{"-cfit5", "-cg10,-70"}, true},
                          {{"-cfit5", "-co"}, true},
                          {{"-cfit5", "-cg30,45,900"}, false}};
    auto render = [&](const std::vector<std::string>& options, Image* image) {
        std::vector<std::string> args = {"-ldd" + SourceDir() + "/samples/ldraw", "-o"};
        args.insert(args.end(), options.begin(), options.end());
        args.insert(args.end(), {"model.mpd", "fit.pov"});
        RunResult r = RunTqr(args, dir.Path(), CleanLibraryEnv(dir.Path()));
        ASSERT_EQ(r.status, 0) << r.out << r.err;
        ASSERT_EQ(RenderScene(dir / "fit.pov", dir / "fit.png", 160, 120, {}, "+UA +FN"), "");
        ASSERT_TRUE(ReadImage(dir / "fit.png", image));
    };
    Image boxes;
    render({}, &boxes);
    PixelRect b = OpaqueBounds(boxes);
    double boxFill = std::max((b.x1 - b.x0) / 160.0, (b.y1 - b.y0) / 120.0);
    for (const View& view : views) {
        std::string name = view.options.back();
        Image image;
        render(view.options, &image);
        PixelRect box = OpaqueBounds(image);
        ASSERT_LT(box.x0, box.x1) << name;
        // Margins as shares of the picture's width and height.
        double left = box.x0 / 160.0, right = 1 - box.x1 / 160.0;
        double top = box.y0 / 120.0, bottom = 1 - box.y1 / 120.0;
        EXPECT_NEAR(left, right, 0.015) << name;
        EXPECT_NEAR(top, bottom, 0.015) << name;
        if (!view.fills) continue;
        EXPECT_NEAR(std::min(left + right, top + bottom), 0.10, 0.02) << name;
        EXPECT_GE(std::min({left, right, top, bottom}), 0.04) << name;
    }
    EXPECT_LT(boxFill, 0.8) << "the model does not show what -cfit mends";
}
