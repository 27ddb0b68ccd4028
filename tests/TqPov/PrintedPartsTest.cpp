// Printed parts rendered (-mesh): each projection puts its image the right way round, the library's
// printed head, torso and globe show their prints, and every printed part of the library makes a
// scene POV-Ray takes without a word.
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "support/Image.h"
#include "support/TestSupport.h"

namespace {

// What a printed pixel is: one of the test image's quadrant colours, or something else.
char ColourOf(const std::array<int, 3>& rgb) {
    int high = std::max({rgb[0], rgb[1], rgb[2]}), low = std::min({rgb[0], rgb[1], rgb[2]});
    if (high < 60) return '?';
    if (low * 4 >= high * 3) return 'w';
    for (int c = 0; c < 3; c++) {
        bool dominant = true;
        for (int o = 0; o < 3; o++) {
            if (o != c && rgb[o] * 3 > rgb[c] * 2) dominant = false;
        }
        if (dominant) return "rgb"[c];
    }
    return '?';
}

// A part placed alone in yellow, seen from where -cg puts the camera, rendered without
// antialiasing on a transparent background.
bool RenderPart(const TempDir& dir, const std::string& library, const std::string& part,
                const std::string& globe, const std::string& mode, Image* image, std::string* why,
                int width = 200) {
    std::string name = part.substr(0, part.find('.')) + "_" + TestNameOf(globe) + mode;
    dir.Write(name + ".ldr", "1 14 0 0 0 1 0 0 0 1 0 0 0 1 " + part + "\n");
    std::vector<std::string> args = {"-ldd" + library, "-o", "-cg" + globe, name + ".ldr",
                                     name + ".pov"};
    if (!mode.empty()) args.insert(args.begin() + 1, mode);
    RunResult r = RunTqr(args, dir.Path(), CleanLibraryEnv(dir.Path()));
    *why = r.status == 0 ? "" : r.out + r.err;
    if (why->empty())
        *why = RenderScene(dir / (name + ".pov"), dir / (name + ".png"), width, width * 3 / 4, {},
                           "+UA +FN");
    return why->empty() && ReadImage(dir / (name + ".png"), image, why);
}

// The colour seen at a point of the part's picture, given as shares of its opaque box from the
// centre (-0.5 left or top .. 0.5 right or bottom); the most common colour in a 5x5 patch.
char ColourAt(const Image& image, double across, double down) {
    PixelRect box = OpaqueBounds(image);
    int x = (int)std::lround((box.x0 + box.x1) / 2.0 + across * (box.x1 - box.x0));
    int y = (int)std::lround((box.y0 + box.y1) / 2.0 + down * (box.y1 - box.y0));
    std::map<char, int> votes;
    for (int dy = -2; dy <= 2; dy++) {
        for (int dx = -2; dx <= 2; dx++) votes[ColourOf(image.Rgb(x + dx, y + dy))]++;
    }
    char best = '?';
    for (auto [colour, n] : votes) {
        if (n > votes[best]) best = colour;
    }
    return best;
}

// A 32x32 image in four quadrants: red top left, green top right, blue bottom left, white
// bottom right.
std::vector<unsigned char> QuadrantImage() {
    std::vector<unsigned char> rgba;
    for (int y = 0; y < 32; y++) {
        for (int x = 0; x < 32; x++) {
            static const unsigned char kColours[4][3] = {
                {255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}};
            const unsigned char* c = kColours[(y >= 16) * 2 + (x >= 16)];
            rgba.insert(rgba.end(), {c[0], c[1], c[2], 255});
        }
    }
    return rgba;
}

std::string Number(double v) {
    char text[32];
    snprintf(text, sizeof(text), "%.4f", std::fabs(v) < 1e-9 ? 0.0 : v);
    return text;
}
std::string Point(double x, double y, double z) {
    return Number(x) + " " + Number(y) + " " + Number(z);
}

// A cylinder of radius 20 from y = 20 up to y = -20, and a sphere of radius 20, as quadrilaterals
// and triangles of their own: fine enough to be round, no primitive needed.
std::string CylinderLines() {
    std::string lines;
    const int n = 48;
    for (int k = 0; k < n; k++) {
        double a = 2 * M_PI * k / n, b = 2 * M_PI * (k + 1) / n;
        lines += "4 16 " + Point(20 * cos(a), 20, 20 * sin(a)) + " " +
                 Point(20 * cos(b), 20, 20 * sin(b)) + " " + Point(20 * cos(b), -20, 20 * sin(b)) +
                 " " + Point(20 * cos(a), -20, 20 * sin(a)) + "\n";
    }
    return lines;
}
std::string SphereLines() {
    std::string lines;
    const int around = 48, rings = 24;
    auto at = [](int i, int j) {
        double lon = 2 * M_PI * i / around, lat = M_PI * j / rings - M_PI / 2;
        return Point(20 * cos(lat) * cos(lon), 20 * sin(lat), 20 * cos(lat) * sin(lon));
    };
    for (int j = 0; j < rings; j++) {
        for (int i = 0; i < around; i++)
            lines += "4 16 " + at(i, j) + " " + at(i + 1, j) + " " + at(i + 1, j + 1) + " " +
                     at(i, j + 1) + "\n";
    }
    return lines;
}

}  // namespace

// Seen from the front (-cg0,0 looks along +z), each projection shows the image as drawn: red
// top left, green top right, blue bottom left, white bottom right. A print placed in a part
// passes to the sub-file that holds the surface.
TEST(PrintedParts, EachProjectionShowsItsImageTheRightWayRound) {
    if (!HavePovray()) GTEST_SKIP() << "povray not installed";
    TempDir dir;
    std::string lib = dir.MakeDir("lib");
    dir.Write("lib/ldconfig.ldr", ReadFile(SourceDir() + "/samples/ldraw/ldconfig.ldr"));
    dir.MakeDir("lib/p");
    ASSERT_TRUE(
        WriteRgbaPng(dir.MakeDir("lib/parts/textures") + "/quad.png", 32, 32, QuadrantImage()));
    const std::string header = "0 !LDRAW_ORG Part UPDATE 2026-01\n";
    dir.Write("lib/parts/s/face.dat", "0 ~Face\n" + header + "4 16 " + Point(-20, -20, 0) + " " +
                                          Point(20, -20, 0) + " " + Point(20, 20, 0) + " " +
                                          Point(-20, 20, 0) + "\n");
    dir.Write("lib/parts/planar.dat", "0 Planar\n" + header + "0 !TEXMAP START PLANAR " +
                                          Point(-20, -20, 0) + " " + Point(20, -20, 0) + " " +
                                          Point(-20, 20, 0) +
                                          " quad.png\n1 16 0 0 0 1 0 0 0 1 0 0 0 1 s/face.dat\n"
                                          "0 !TEXMAP FALLBACK\n0 !TEXMAP END\n");
    dir.Write("lib/parts/cylindrical.dat",
              "0 Cylindrical\n" + header + "0 !TEXMAP START CYLINDRICAL 0 20 0 0 -20 0 0 0 -20 " +
                  "180 quad.png\n" + CylinderLines() + "0 !TEXMAP FALLBACK\n0 !TEXMAP END\n");
    dir.Write("lib/parts/spherical.dat",
              "0 Spherical\n" + header + "0 !TEXMAP START SPHERICAL 0 0 0 0 0 -20 20 0 0 180 " +
                  "180 quad.png\n" + SphereLines() + "0 !TEXMAP FALLBACK\n0 !TEXMAP END\n");
    for (const char* part : {"planar.dat", "cylindrical.dat", "spherical.dat"}) {
        SCOPED_TRACE(part);
        Image image;
        std::string why;
        ASSERT_TRUE(RenderPart(dir, lib, part, "0,0", "-mesh", &image, &why)) << why;
        std::string seen = {ColourAt(image, -0.2, -0.2), ColourAt(image, 0.2, -0.2),
                            ColourAt(image, -0.2, 0.2), ColourAt(image, 0.2, 0.2)};
        EXPECT_EQ(seen, "rgbw");
        // Without -mesh the print is not read: the part is plain yellow.
        ASSERT_TRUE(RenderPart(dir, lib, part, "0,0", "", &image, &why)) << why;
        EXPECT_EQ(ColourAt(image, -0.2, -0.2), '?');
    }
}

namespace {

// Shares of the opaque pixels of a picture, by quadrant of its opaque box (0 top left, 1 top
// right, 2 bottom left, 3 bottom right), that a test picks.
template <typename Pick>
std::array<double, 4> QuadrantShares(const Image& image, Pick pick) {
    PixelRect box = OpaqueBounds(image);
    std::array<double, 4> picked{}, all{};
    for (int y = box.y0; y < box.y1; y++) {
        for (int x = box.x0; x < box.x1; x++) {
            if (image.Alpha(x, y) != 255) continue;
            int q = (2 * y >= box.y0 + box.y1) * 2 + (2 * x >= box.x0 + box.x1);
            all[(size_t)q]++;
            if (pick(image.Rgb(x, y))) picked[(size_t)q]++;
        }
    }
    for (size_t q = 0; q < 4; q++) picked[q] = all[q] > 0 ? picked[q] / all[q] : 0;
    return picked;
}

bool Dark(const std::array<int, 3>& c) {
    return c[0] + c[1] + c[2] < 150;
}
// Reddish brown and dark red, against the yellow of the part.
bool Reddish(const std::array<int, 3>& c) {
    return c[0] > 30 && c[0] * 2 > c[1] * 3;
}

}  // namespace

// The library's printed parts: the minifig face shows dark eyes and mouth, eyes above; the torso
// is printed front and back, its scar on the right of the front; the globe shows South America
// lower right, neither mirrored nor upside down.
TEST(PrintedParts, TheLibrarysHeadTorsoAndGlobeShowTheirPrints) {
    if (!HavePovray()) GTEST_SKIP() << "povray not installed";
    std::string ldraw = SharedLDrawDir();
    if (ldraw.empty()) GTEST_SKIP() << "shared library absent";
    TempDir dir;
    Image head, torso, back, globe;
    std::string why;
    ASSERT_TRUE(RenderPart(dir, ldraw, "3626cpx3.dat", "0,0", "-mesh", &head, &why)) << why;
    ASSERT_TRUE(RenderPart(dir, ldraw, "973paz.dat", "0,0", "-mesh", &torso, &why)) << why;
    ASSERT_TRUE(RenderPart(dir, ldraw, "973paz.dat", "0,180", "-mesh", &back, &why)) << why;
    ASSERT_TRUE(RenderPart(dir, ldraw, "61287p01.dat", "0,-90", "-mesh", &globe, &why)) << why;
    std::array<double, 4> face = QuadrantShares(head, Dark);
    EXPECT_GT(face[0] + face[1], 0.1) << "eyes";
    EXPECT_GT(face[2] + face[3], 0.04) << "mouth";
    EXPECT_GT(face[0] + face[1], 1.5 * (face[2] + face[3])) << "the eyes are above the mouth";
    std::array<double, 4> front = QuadrantShares(torso, Reddish);
    std::array<double, 4> rear = QuadrantShares(back, Reddish);
    for (size_t q = 0; q < 4; q++) {
        EXPECT_GT(front[q], 0.05) << q;
        EXPECT_GT(rear[q], 0.1) << q;
    }
    EXPECT_GT(front[1], 1.3 * front[0]) << "the scar on the right";
    std::array<double, 4> land = QuadrantShares(globe, Reddish);
    EXPECT_GT(land[1], 1.5 * land[0]) << "North America top right";
    EXPECT_GT(land[3], 3 * land[2]) << "South America bottom right";
}

// The head's own face projection, its image swapped for one that is not symmetric, reads the
// right way round: the face is not mirrored.
TEST(PrintedParts, TheHeadsFaceIsNotMirrored) {
    if (!HavePovray()) GTEST_SKIP() << "povray not installed";
    std::string ldraw = SharedLDrawDir();
    if (ldraw.empty()) GTEST_SKIP() << "shared library absent";
    TempDir dir;
    std::string lib = dir.MakeDir("lib");
    dir.MakeDir("lib/parts");
    for (const char* shared : {"p", "LDConfig.ldr", "parts/s", "parts/3626cpx3.dat"})
        ASSERT_EQ(symlink((ldraw + "/" + shared).c_str(), (dir / "lib/" + shared).c_str()), 0)
            << shared;
    ASSERT_TRUE(WriteRgbaPng(dir.MakeDir("lib/parts/textures") + "/3626cpx3a.png", 32, 32,
                             QuadrantImage()));
    Image head;
    std::string why;
    ASSERT_TRUE(RenderPart(dir, lib, "3626cpx3.dat", "0,0", "-mesh", &head, &why, 320)) << why;
    std::string seen = {ColourAt(head, -0.15, -0.05), ColourAt(head, 0.15, -0.05),
                        ColourAt(head, -0.15, 0.2), ColourAt(head, 0.15, 0.2)};
    EXPECT_EQ(seen, "rgbw");
}

// Every printed part of the library converts without a word and makes a scene POV-Ray renders,
// each image named by a path that holds a blank and a quote.
TEST(PrintedParts, EveryPrintedPartOfTheLibraryMakesAScene) {
    if (!HavePovray()) GTEST_SKIP() << "povray not installed";
    std::string ldraw = SharedLDrawDir();
    if (ldraw.empty()) GTEST_SKIP() << "shared library absent";
    TempDir dir;
    // The library again, under a name a scene must quote and escape.
    std::string lib = dir.Path() + "/the \"shared\" library";
    ASSERT_EQ(symlink(ldraw.c_str(), lib.c_str()), 0);
    size_t printed = 0;
    for (const auto& entry : std::filesystem::directory_iterator(ldraw + "/parts")) {
        std::string name = entry.path().filename().string();
        if (entry.path().extension() != ".dat" ||
            ReadFile(entry.path()).find("!TEXMAP") == std::string::npos)
            continue;
        SCOPED_TRACE(name);
        printed++;
        std::string stem = entry.path().stem().string();
        dir.Write(stem + ".ldr", "1 16 0 0 0 1 0 0 0 1 0 0 0 1 " + name + "\n");
        RunResult r = RunTqr({"-ldd" + lib, "-mesh", "-q3", stem + ".ldr", stem + ".pov"},
                             dir.Path(), CleanLibraryEnv(dir.Path()));
        ASSERT_EQ(r.status, 0) << r.out << r.err;
        EXPECT_EQ(r.out.find("WARNING"), std::string::npos) << r.out;
        std::string scene = ReadFile(dir / (stem + ".pov"));
        EXPECT_NE(scene.find("the \\\"shared\\\" library"), std::string::npos);
        EXPECT_EQ(RenderScene(dir / (stem + ".pov"), dir / (stem + ".png"), 40, 30), "");
    }
    EXPECT_GE(printed, 5u);
}
