// The colour materials in the studio look: speckle and glitter show flecks on a flat face, the
// six finishes of opaque colours each look their own way, and printed parts show their prints.
#include <cmath>
#include <string>
#include <vector>

#include "Look/LookSupport.h"

namespace {

// How much the luminance varies from one pixel to the next over the middle of the picture (the
// mean difference between neighbours): a face in one colour changes slowly, even where a clear
// part shows what lies behind it; flecks change it at every few pixels.
double FleckContrast(const Image& image) {
    double sum = 0, n = 0;
    for (int y = image.height * 2 / 5; y < image.height * 3 / 5; y++) {
        for (int x = image.width * 2 / 5; x < image.width * 3 / 5; x++) {
            sum += std::fabs(image.Luminance(x + 1, y) - image.Luminance(x, y)) +
                   std::fabs(image.Luminance(x, y + 1) - image.Luminance(x, y));
            n += 2;
        }
    }
    return sum / n;
}

// Each colour with and without its flecks; the front face of a brick fills the middle.
const char kFleckColours[] =
    "0 !COLOUR Plain_Black CODE 41 VALUE #000000 EDGE #898788\n"
    "0 !COLOUR Speckle_Black CODE 42 VALUE #000000 EDGE #898788 MATERIAL SPECKLE VALUE #898788 "
    "FRACTION 0.4 MINSIZE 1 MAXSIZE 3\n"
    "0 !COLOUR Plain_Pink CODE 43 VALUE #DF6695 EDGE #B9275F ALPHA 128\n"
    "0 !COLOUR Glitter_Pink CODE 44 VALUE #DF6695 EDGE #B9275F ALPHA 128 MATERIAL GLITTER VALUE "
    "#B92790 FRACTION 0.17 VFRACTION 0.2 SIZE 1\n"
    "0 !COLOUR Plain_White CODE 45 VALUE #F4F4F4 EDGE #333333\n"
    "0 !COLOUR Glitter_White CODE 46 VALUE #F4F4F4 EDGE #333333 MATERIAL GLITTER VALUE #FFFFFF "
    "FRACTION 0.3 SIZE 1\n";

// One grey in every finish.
const char kFinishColours[] =
    "0 !COLOUR Plastic CODE 31 VALUE #808080 EDGE #333333\n"
    "0 !COLOUR Chrome CODE 32 VALUE #808080 EDGE #333333 CHROME\n"
    "0 !COLOUR Pearl CODE 33 VALUE #808080 EDGE #333333 PEARLESCENT\n"
    "0 !COLOUR Rubber CODE 34 VALUE #808080 EDGE #333333 RUBBER\n"
    "0 !COLOUR Matte CODE 35 VALUE #808080 EDGE #333333 MATTE_METALLIC\n"
    "0 !COLOUR Metal CODE 36 VALUE #808080 EDGE #333333 METAL\n";

}  // namespace

TEST(StudioMaterials, SpeckleAndGlitterShowFlecksThePlainColourHasNot) {
    TQ_SKIP_WITHOUT_POVRAY();
    TempDir dir;
    std::string colours = dir.Write("colours.ldr", kFleckColours);
    const std::vector<std::string> front = {"-ldc" + colours, "-cc0,12,-70", "-cla0,12,0"};
    std::vector<RenderJob> jobs;
    for (int code = 41; code <= 46; code++) {
        // Appended, not "c" + std::to_string(): g++ 12 at -O3 warns about that (-Wrestrict).
        std::string name = "c";
        name += std::to_string(code);
        jobs.push_back({ConvertStudio(dir, name, OnePart(code), front), name, ""});
    }
    std::vector<Render> r = RenderAll(jobs);
    for (const Render& one : r) ASSERT_TRUE(one.ok && Complaints(one.log).empty()) << one.log;
    for (int pair = 0; pair < 3; pair++) {
        double plain = FleckContrast(r[2 * pair].image);
        double flecked = FleckContrast(r[2 * pair + 1].image);
        SCOPED_TRACE("colour " + std::to_string(42 + 2 * pair) + ": contrast " +
                     std::to_string(flecked) + " against " + std::to_string(plain));
        EXPECT_GE(flecked, 3);
        EXPECT_GE(flecked, 3 * plain);
    }
}

TEST(StudioMaterials, EachFinishLooksItsOwnWay) {
    TQ_SKIP_WITHOUT_POVRAY();
    TempDir dir;
    std::string colours = dir.Write("colours.ldr", kFinishColours);
    std::vector<RenderJob> jobs;
    for (int code = 31; code <= 36; code++) {
        std::string name = "f";
        name += std::to_string(code);
        std::string scene = ConvertStudio(dir, name, OnePart(code), {"-ldc" + colours});
        jobs.push_back({scene, name, ""});
        jobs.push_back({scene, name + "cut", "Declare=TqStudioTransparent=1 +UA"});
    }
    std::vector<Render> r = RenderAll(jobs);
    for (const Render& one : r) ASSERT_TRUE(one.ok) << one.log;
    Mask mask = MaskOf(r[1].image);
    ASSERT_GT(mask.model.size(), 1000u);
    // Every two finishes differ over the part: in its shading, its highlights, what it mirrors
    // or its grain (root mean square of the luminance difference, in levels of 255).
    for (size_t a = 0; a < r.size(); a += 2) {
        for (size_t b = a + 2; b < r.size(); b += 2) {
            double squares = 0;
            for (auto [x, y] : mask.model) {
                double d = r[a].image.Luminance(x, y) - r[b].image.Luminance(x, y);
                squares += d * d;
            }
            double rms = std::sqrt(squares / (double)mask.model.size());
            EXPECT_GE(rms, 1.5) << "finishes " << 31 + a / 2 << " and " << 31 + b / 2;
        }
    }
}

TEST(StudioMaterials, APrintedHeadShowsItsFace) {
    TQ_SKIP_WITHOUT_POVRAY();
    std::string ldraw = SharedLDrawDir();
    if (ldraw.empty()) GTEST_SKIP() << "shared library absent";
    TempDir dir;
    std::string scene =
        ConvertStudio(dir, "head", OnePart(14, "3626cpx3.dat"), {"-cg0,0", "-cfit5"}, ldraw);
    std::vector<Render> r =
        RenderAll({{scene, "lit", ""}, {scene, "cut", "Declare=TqStudioTransparent=1 +UA"}});
    ASSERT_TRUE(r[0].ok && r[1].ok) << r[0].log << r[1].log;
    EXPECT_EQ(Complaints(r[0].log), "");
    Mask mask = MaskOf(r[1].image);
    ASSERT_GT(mask.model.size(), 1000u);
    // Eyes, brows and mouth on yellow: dark pixels inside the head's outline.
    size_t dark = 0;
    for (auto [x, y] : mask.model) dark += r[0].image.Luminance(x, y) < 60;
    EXPECT_GE(dark * 100, mask.model.size() * 3) << dark << " of " << mask.model.size();
}
