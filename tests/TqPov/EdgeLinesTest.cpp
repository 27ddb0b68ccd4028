// Edge lines (-edges): which conditional lines are silhouettes for a camera, and scenes with lines
// of every awkward kind (a point for a line, control points on the line, lines of files that
// draw nothing else, a part far out, steps and fades) that POV-Ray must read without a complaint.
#include <cmath>
#include <string>
#include <vector>

#include "TqPov/TqPov.h"
#include "support/TestSupport.h"

namespace {

// The conditional line at angle degrees on a 16-sided cylinder of radius 10 about the y axis,
// with the neighbouring corners as its control points, as the library's cylinders have them.
ConditionalLine CylinderLine(double degrees) {
    const double kStep = 22.5, kRad = 3.14159265358979 / 180;
    auto at = [&](double d, float y, float* p) {
        p[0] = (float)(10 * std::cos(d * kRad));
        p[1] = y;
        p[2] = (float)(10 * std::sin(d * kRad));
    };
    ConditionalLine line{};
    at(degrees, 0, line.a);
    at(degrees, 24, line.b);
    at(degrees - kStep, 0, line.c);
    at(degrees + kStep, 0, line.d);
    line.colour = 24;
    return line;
}

int Count(const std::string& text, const std::string& what) {
    int n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) n++;
    return n;
}

}  // namespace

TEST(EdgeLines, ConditionalLinesShowWhereTheSurfaceTurnsAwayFromTheCamera) {
    const float camera[3] = {0, 0, -200}, lookAt[3] = {0, 0, 0};
    // Seen from -z, the lines at 0 and 180 degrees are the outline, the one at 270 faces the
    // camera and the one at 90 lies behind; the ones next to the outline are not it.
    EXPECT_TRUE(ConditionalLineShows(kIdentityMatrix, CylinderLine(0), camera, lookAt));
    EXPECT_TRUE(ConditionalLineShows(kIdentityMatrix, CylinderLine(180), camera, lookAt));
    for (double d : {270.0, 90.0, 22.5, 337.5, 157.5})
        EXPECT_FALSE(ConditionalLineShows(kIdentityMatrix, CylinderLine(d), camera, lookAt)) << d;
    // The placement counts: turned a quarter about y, the front line becomes an outline.
    const float turned[16] = {0, 0, 1, 0, 0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 0, 1};
    EXPECT_TRUE(ConditionalLineShows(turned, CylinderLine(270), camera, lookAt));
    // Close up, perspective moves the outline towards the camera: the corner at 337.5 degrees
    // (z < 0) is where the surface turns away for a camera 12 units from the axis.
    const float near[3] = {0, 0, -12};
    EXPECT_FALSE(ConditionalLineShows(kIdentityMatrix, CylinderLine(0), near, lookAt));
    EXPECT_TRUE(ConditionalLineShows(kIdentityMatrix, CylinderLine(337.5), near, lookAt) ||
                ConditionalLineShows(kIdentityMatrix, CylinderLine(315), near, lookAt));
    // Behind the camera nothing shows, and control points on the line decide nothing.
    const float behind[3] = {0, 0, 300}, ahead[3] = {0, 0, 400};
    EXPECT_FALSE(ConditionalLineShows(kIdentityMatrix, CylinderLine(0), behind, ahead));
    ConditionalLine flat = CylinderLine(0);
    for (int i = 0; i < 3; i++) flat.c[i] = flat.d[i] = flat.a[i];
    EXPECT_FALSE(ConditionalLineShows(kIdentityMatrix, flat, camera, lookAt));
}

TEST(EdgeLines, AwkwardLinesGiveAScenePovRayReadsWithoutComplaint) {
    TempDir dir;
    // A part of lines only, one a point, a conditional line with its control points on it and
    // one that shows; a model with its own lines, a sub-model of lines, a part far away, steps.
    dir.Write("lines.dat",
              "0 Lines\n0 Name: lines.dat\n0 !LDRAW_ORG Unofficial_Part\n"
              "2 24 0 0 0 10 0 0\n2 24 5 5 5 5 5 5\n2 0 0 0 0 0 10 0\n"
              "5 24 0 0 0 0 10 0 0 0 0 0 10 0\n5 24 10 0 0 10 10 0 9 0 -3 9 0 3\n");
    dir.Write("model.mpd",
              "0 FILE model.ldr\n"
              "1 4 0 0 0 1 0 0 0 1 0 0 0 1 3001.dat\n"
              "1 2 0 -40 0 1 0 0 0 1 0 0 0 1 lines.dat\n"
              "2 24 0 -30 0 0 -30 0\n2 1 -40 -30 0 40 -30 0\n"
              "5 24 0 0 0 0 -10 0 5 0 0 5 0 0\n"
              "0 STEP\n"
              "1 14 2000 0 0 1 0 0 0 1 0 0 0 1 3001.dat\n"
              "1 16 0 0 60 1 0 0 0 1 0 0 0 1 sub.ldr\n"
              "0 STEP\n"
              "0 FILE sub.ldr\n"
              "2 24 0 0 0 20 0 0\n2 24 0 0 0 0 0 0\n"
              "1 16 0 -24 0 1 0 0 0 1 0 0 0 1 3003.dat\n");
    const std::vector<std::vector<std::string>> kOptions = {
        {"-edges"}, {"-edges3", "-mesh", "-sc", "-sf"}, {"-edges", "-ic"}};
    for (const auto& options : kOptions) {
        std::vector<std::string> args = {"-ldd" + SourceDir() + "/samples/ldraw", "-o"};
        args.insert(args.end(), options.begin(), options.end());
        args.insert(args.end(), {"model.mpd", "model.pov"});
        RunResult r = RunTqr(args, dir.Path(), CleanLibraryEnv(dir.Path()));
        ASSERT_EQ(r.status, 0) << options[0] << r.out << r.err;
        std::string scene = ReadFile(dir / "model.pov");
        SCOPED_TRACE(options.back());
        EXPECT_FALSE(HasNonFiniteNumber(scene));
        EXPECT_NE(scene.find("//// EdgeLines"), std::string::npos);
        // One shared object per file with lines: the lines part, and with -mesh the bricks,
        // whose studs' lines the solids standing for the studs otherwise leave out.
        bool mesh = options.size() > 1 && options[1] == "-mesh";
        EXPECT_EQ(Count(scene, "#declare TqEdges"), mesh ? 3 : 1);
        EXPECT_NE(scene.find("// lines.dat\n#declare TqEdges"), std::string::npos);
        // Black lines keep their colour; the others take the edge colour of the part's.
        EXPECT_NE(scene.find("#declare TqEdge0 = TqEdgeTexture("), std::string::npos);
        if (!HavePovray()) continue;
        EXPECT_EQ(RenderScene(dir / "model.pov", dir / "model.png", 64, 48, {}, "+K1.5"), "");
    }
    // Without a camera of tqr's, no conditional line is chosen, and the width comes from the
    // model's size.
    EXPECT_NE(ReadFile(dir / "model.pov").find("Conditional lines drawn: 0 of 2."), std::string::npos);
}

TEST(EdgeLines, AFadeWithoutStepsIsPointedOutAndTheDefaultSceneHasNoLines) {
    TempDir dir;
    dir.Write("one.ldr", "1 4 0 0 0 1 0 0 0 1 0 0 0 1 3001.dat\n");
    std::string library = "-ldd" + SourceDir() + "/samples/ldraw";
    RunResult faded =
        RunTqr({library, "-sf", "one.ldr", "faded.pov"}, dir.Path(), CleanLibraryEnv(dir.Path()));
    ASSERT_EQ(faded.status, 0) << faded.err;
    EXPECT_NE((faded.out + faded.err).find("-sf has no effect without -sc or -scm"),
              std::string::npos);
    RunResult plain =
        RunTqr({library, "one.ldr", "plain.pov"}, dir.Path(), CleanLibraryEnv(dir.Path()));
    ASSERT_EQ(plain.status, 0) << plain.err;
    std::string scene = ReadFile(dir / "plain.pov");
    for (const char* word : {"EdgeLines", "TqEdge", "_faded"})
        EXPECT_EQ(scene.find(word), std::string::npos) << word;
}
