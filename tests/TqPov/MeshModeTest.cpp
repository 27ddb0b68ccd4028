// The flattened-part mode (-mesh) rendered: curved surfaces shade round where the triangles of the
// same parts show every facet, edges stay sharp, and each part is one shared mesh declaration.
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "support/Image.h"
#include "support/TestSupport.h"

namespace {

// Pixels (x, y) deep inside the model whose right neighbour is brighter or darker by a few levels
// or more: where flat shading meets the next facet, or an edge.
std::set<std::pair<int, int>> LuminanceSteps(const Image& image) {
    auto inside = [&](int x, int y) {
        for (int dy = -2; dy <= 2; dy++) {
            for (int dx = -3; dx <= 4; dx++) {
                int px = x + dx, py = y + dy;
                if (px < 0 || py < 0 || px >= image.width || py >= image.height) return false;
                if (image.Alpha(px, py) != 255) return false;
            }
        }
        return true;
    };
    std::set<std::pair<int, int>> steps;
    for (int y = 0; y < image.height; y++) {
        for (int x = 0; x + 1 < image.width; x++) {
            if (inside(x, y) && std::abs(image.Luminance(x + 1, y) - image.Luminance(x, y)) >= 4)
                steps.insert({x, y});
        }
    }
    return steps;
}

// How many of the flat scene's steps the smooth scene still has.
size_t StepsKept(const std::set<std::pair<int, int>>& flat,
                 const std::set<std::pair<int, int>>& smooth) {
    size_t kept = 0;
    for (const auto& p : flat) kept += smooth.count(p);
    return kept;
}

// One part placed alone in yellow, converted with the given options and rendered without
// antialiasing on a transparent background.
struct PartPicture {
    bool ok = false;
    std::string why;
    Image image;
};
PartPicture Render(const TempDir& dir, const std::string& library, const std::string& part,
                   const std::string& mode) {
    PartPicture picture;
    std::string name = part.substr(0, part.find('.')) + mode;
    dir.Write(name + ".ldr", "1 14 0 0 0 1 0 0 0 1 0 0 0 1 " + part + "\n");
    RunResult r = RunTqr({"-ldd" + library, "-o", mode, name + ".ldr", name + ".pov"}, dir.Path(),
                         CleanLibraryEnv(dir.Path()));
    if (r.status != 0) {
        picture.why = r.out + r.err;
        return picture;
    }
    picture.why =
        RenderScene(dir / (name + ".pov"), dir / (name + ".png"), 160, 120, {}, "+UA +FN");
    picture.ok = picture.why.empty() && ReadImage(dir / (name + ".png"), &picture.image);
    return picture;
}

}  // namespace

TEST(MeshMode, RoundSurfacesShadeWithoutFacetsAndEdgesStaySharp) {
    if (!HavePovray()) GTEST_SKIP() << "povray not installed";
    TempDir dir;
    std::string lib = dir.MakeDir("lib");
    std::string samples = SourceDir() + "/samples/ldraw";
    for (const char* sub : {"p/4-4cyli.dat", "p/4-4disc.dat", "p/4-4edge.dat", "p/box5.dat",
                            "p/stud.dat", "parts/3001.dat", "ldconfig.ldr"})
        dir.Write("lib/" + std::string(sub), ReadFile(samples + "/" + sub));
    // A drum: a 16-sided cylinder (its faces meet at 22.5 degrees, no lines drawn) with a lid.
    dir.Write("lib/parts/drum.dat",
              "0 Drum\n0 !LDRAW_ORG Part UPDATE 2026-01\n"
              "1 16 0 0 0 20 0 0 0 -40 0 0 0 20 4-4cyli.dat\n"
              "1 16 0 -40 0 20 0 0 0 1 0 0 0 20 4-4disc.dat\n");
    // -p writes the same triangles with their flat normals: the scene that shows the facets.
    PartPicture flat = Render(dir, lib, "drum.dat", "-p");
    PartPicture smooth = Render(dir, lib, "drum.dat", "-mesh");
    ASSERT_TRUE(flat.ok && smooth.ok) << flat.why << smooth.why;
    auto flatSteps = LuminanceSteps(flat.image), smoothSteps = LuminanceSteps(smooth.image);
    EXPECT_GE(flatSteps.size(), 100u) << "the flat scene shows its facets";
    EXPECT_LE(StepsKept(flatSteps, smoothSteps) * 10, flatSteps.size())
        << StepsKept(flatSteps, smoothSteps) << " of " << flatSteps.size();
    // A block's edges are edge lines on right angles: every step the flat block shows, the
    // smooth one shows too.
    dir.Write("lib/parts/block.dat",
              "0 Block\n0 !LDRAW_ORG Part UPDATE 2026-01\n"
              "1 16 0 0 0 20 0 0 0 10 0 0 0 10 box5.dat\n");
    PartPicture flatBlock = Render(dir, lib, "block.dat", "-p");
    PartPicture smoothBlock = Render(dir, lib, "block.dat", "-mesh");
    ASSERT_TRUE(flatBlock.ok && smoothBlock.ok) << flatBlock.why << smoothBlock.why;
    auto blockFlat = LuminanceSteps(flatBlock.image);
    ASSERT_GE(blockFlat.size(), 20u);
    EXPECT_GE(StepsKept(blockFlat, LuminanceSteps(smoothBlock.image)) * 10, blockFlat.size() * 9);
}

TEST(MeshMode, RealCurvedPartsLoseTheirFacets) {
    if (!HavePovray()) GTEST_SKIP() << "povray not installed";
    std::string ldraw = SharedLDrawDir();
    if (ldraw.empty()) GTEST_SKIP() << "shared library absent";
    TempDir dir;
    // The round brick and the minifig head are round all over; tyres and curved slopes have
    // sharp edges beside their curves, so there only fewer steps are asked for.
    struct Case {
        const char* part;
        double keptAtMost;  // share of the flat scene's steps still there
    } cases[] = {{"3062b.dat", 0.35}, {"3626b.dat", 0.5},  {"3641.dat", 0.95},
                 {"15068.dat", 0.8},  {"50950.dat", 0.95}, {"93273.dat", 0.85}};
    for (const Case& c : cases) {
        PartPicture flat = Render(dir, ldraw, c.part, "-p");
        PartPicture smooth = Render(dir, ldraw, c.part, "-mesh");
        ASSERT_TRUE(flat.ok && smooth.ok) << c.part << flat.why << smooth.why;
        auto flatSteps = LuminanceSteps(flat.image);
        size_t kept = StepsKept(flatSteps, LuminanceSteps(smooth.image));
        EXPECT_LE((double)kept, c.keptAtMost * (double)flatSteps.size())
            << c.part << ": " << kept << " of " << flatSteps.size();
    }
}

TEST(MeshMode, EachPartIsOneSharedDeclarationAndPlacementsStayShort) {
    std::string ldraw = SharedLDrawDir(), models = SharedModelsDir();
    if (ldraw.empty() || models.empty()) GTEST_SKIP() << "shared library or models absent";
    TempDir dir;
    RunResult r = RunTqr({"-ldd" + ldraw, "-mesh", models + "/car.ldr", "car.pov"}, dir.Path(),
                         CleanLibraryEnv(dir.Path()));
    ASSERT_EQ(r.status, 0) << r.err;
    std::string scene = ReadFile(dir / "car.pov");
    // Parts hold meshes only: no primitive is declared on its own.
    EXPECT_EQ(scene.find("//// Primitive "), std::string::npos);
    size_t declarations = 0, placements = 0;
    for (size_t at = scene.find("//// Part "); at != std::string::npos;
         at = scene.find("//// Part ", at + 1))
        declarations++;
    for (size_t at = scene.find("\tobject {"); at != std::string::npos;
         at = scene.find("\tobject {", at + 1))
        placements++;
    EXPECT_GT(declarations, 10u);
    EXPECT_GE(placements, 61u);  // every placed part is an object of its part's mesh
    if (HavePovray()) {
        EXPECT_EQ(RenderScene(dir / "car.pov", dir / "car.png", 80, 60), "");
    }
}
