// The pictures of the instructions look, measured: a brick shows dark lines along its silhouette
// and creases where the studio look shows none, a round brick shows the two silhouettes of its
// conditional lines and no line across its front, and a faded step's parts are lighter than the
// studio's while the new step's parts keep their colour.
#include <algorithm>
#include <cmath>
#include <set>
#include <string>
#include <vector>

#include "Look/LookSupport.h"
#include "TqRender/TqRender.h"

namespace {

const int kWidth = 320, kHeight = 240;
const char kPreset[] = "+A0.3 +AM2 +R2 -J Declare=TqStudioQuality=1";
const char kTransparent[] =
    "+A0.3 +AM2 +R2 -J Declare=TqStudioQuality=1 Declare=TqStudioTransparent=1 +UA";

std::vector<std::string> Camera(const char* globe) {
    return {"-cfit5", "-car1.33333", globe};
}

// A dark line one or two pixels wide: darker by a margin than the pixels two or three steps
// away on both sides, across or along.
bool OnDarkLine(const Image& image, int x, int y) {
    double here = image.Luminance(x, y);
    for (auto [dx, dy] : {std::pair{1, 0}, std::pair{0, 1}}) {
        for (int reach : {2, 3}) {
            int x0 = x - reach * dx, y0 = y - reach * dy, x1 = x + reach * dx, y1 = y + reach * dy;
            if (x0 < 0 || y0 < 0 || x1 >= image.width || y1 >= image.height) continue;
            if (here < std::min(image.Luminance(x0, y0), image.Luminance(x1, y1)) - 45) return true;
        }
    }
    return false;
}

// The model's pixels as a set, and those of them on its outline (a neighbour is not the model).
struct Shape {
    std::set<std::pair<int, int>> inside, outline;
};
Shape ShapeOf(const Image& transparent) {
    Shape shape;
    for (auto p : MaskOf(transparent).model) shape.inside.insert(p);
    for (auto [x, y] : shape.inside) {
        for (auto [dx, dy] :
             {std::pair{1, 0}, std::pair{-1, 0}, std::pair{0, 1}, std::pair{0, -1}}) {
            if (!shape.inside.count({x + dx, y + dy})) shape.outline.insert({x, y});
        }
    }
    return shape;
}

// Shares of the outline with a dark line within two pixels, and of the pixels well inside on
// one.
struct Lines {
    double outline = 0, inner = 0;
};
Lines LinesOf(const Image& image, const Shape& shape) {
    Lines lines;
    int near = 0, inner = 0, innerCount = 0;
    for (auto [x, y] : shape.outline) {
        bool found = false;
        for (int dy = -2; dy <= 2 && !found; dy++) {
            for (int dx = -2; dx <= 2 && !found; dx++) {
                int px = x + dx, py = y + dy;
                found = px >= 0 && py >= 0 && px < image.width && py < image.height &&
                        OnDarkLine(image, px, py);
            }
        }
        near += found;
    }
    for (auto [x, y] : shape.inside) {
        bool deep = true;
        for (int d = 1; d <= 4 && deep; d++) {
            deep = shape.inside.count({x + d, y}) && shape.inside.count({x - d, y}) &&
                   shape.inside.count({x, y + d}) && shape.inside.count({x, y - d});
        }
        if (!deep) continue;
        innerCount++;
        inner += OnDarkLine(image, x, y);
    }
    lines.outline = near / (double)std::max<size_t>(shape.outline.size(), 1);
    lines.inner = inner / (double)std::max(innerCount, 1);
    return lines;
}

}  // namespace

TEST(InstructionsLook, BrickShowsItsEdgesWhereTheStudioLookShowsNone) {
    TQ_SKIP_WITHOUT_POVRAY();
    // The sample library's brick has no edge lines of its own.
    if (SharedLDrawDir().empty()) GTEST_SKIP() << "shared library absent";
    TempDir dir;
    std::string brick = OnePart(15);
    std::string lines = ConvertLook(dir, "lines", brick, InstructionsOptions(kWidth),
                                    Camera("-cg30,45"), SharedLDrawDir());
    std::string studio = ConvertStudio(dir, "studio", brick, Camera("-cg30,45"), SharedLDrawDir());
    std::vector<Render> r = RenderAll({{lines, "lines", kPreset, kWidth, kHeight},
                                       {lines, "linescut", kTransparent, kWidth, kHeight},
                                       {studio, "studio", kPreset, kWidth, kHeight},
                                       {studio, "studiocut", kTransparent, kWidth, kHeight}});
    for (const Render& one : r) ASSERT_TRUE(one.ok && Complaints(one.log).empty()) << one.log;
    Lines drawn = LinesOf(r[0].image, ShapeOf(r[1].image));
    Lines none = LinesOf(r[2].image, ShapeOf(r[3].image));
    SCOPED_TRACE("outline " + std::to_string(drawn.outline) + " against " +
                 std::to_string(none.outline) + ", inside " + std::to_string(drawn.inner) +
                 " against " + std::to_string(none.inner));
    // The silhouette is drawn nearly all round; the creases and studs give lines inside.
    EXPECT_GE(drawn.outline, 0.85);
    EXPECT_LE(none.outline, 0.15);
    EXPECT_GE(drawn.inner, 0.03);
    EXPECT_LE(none.inner, 0.005);
    // The page is white.
    EXPECT_GE(r[0].image.Luminance(2, 2), 250);
}

TEST(InstructionsLook, RoundBrickShowsItsTwoSilhouettesAndNoLineAcrossItsFront) {
    TQ_SKIP_WITHOUT_POVRAY();
    if (SharedLDrawDir().empty()) GTEST_SKIP() << "shared library absent";
    TempDir dir;
    std::string scene =
        ConvertLook(dir, "round", OnePart(15, "3062b.dat"), InstructionsOptions(kWidth),
                    Camera("-cg15,20"), SharedLDrawDir());
    std::vector<Render> r = RenderAll({{scene, "round", kPreset, kWidth, kHeight},
                                       {scene, "roundcut", kTransparent, kWidth, kHeight}});
    for (const Render& one : r) ASSERT_TRUE(one.ok && Complaints(one.log).empty()) << one.log;
    const Image& image = r[0].image;
    Shape shape = ShapeOf(r[1].image);
    int top = kHeight, bottom = -1;
    for (auto [x, y] : shape.inside) top = std::min(top, y), bottom = std::max(bottom, y);
    ASSERT_GT(bottom - top, 40);
    // Rows through the body, below the stud and above the bottom rim.
    int checked = 0;
    for (int y = top + (bottom - top) * 45 / 100; y <= top + (bottom - top) * 70 / 100; y += 3) {
        int left = kWidth, right = -1;
        for (int x = 0; x < kWidth; x++) {
            if (shape.inside.count({x, y})) left = std::min(left, x), right = std::max(right, x);
        }
        ASSERT_GT(right - left, 30) << "row " << y;
        auto lineBetween = [&](int from, int to) {
            for (int x = std::max(from, 0); x <= std::min(to, kWidth - 1); x++) {
                if (OnDarkLine(image, x, y)) return true;
            }
            return false;
        };
        SCOPED_TRACE("row " + std::to_string(y) + " from " + std::to_string(left) + " to " +
                     std::to_string(right));
        EXPECT_TRUE(lineBetween(left - 1, left + 3));
        EXPECT_TRUE(lineBetween(right - 3, right + 1));
        int width = right - left;
        EXPECT_FALSE(lineBetween(left + width / 5, right - width / 5));
        checked++;
    }
    EXPECT_GE(checked, 4);
}

TEST(InstructionsLook, EarlierStepsFadeAndTheNewStepKeepsItsColour) {
    TQ_SKIP_WITHOUT_POVRAY();
    TempDir dir;
    // Two red bricks in the first step, a blue one on top in the second.
    const std::string model =
        "1 4 -20 0 0 1 0 0 0 1 0 0 0 1 3001.dat\n"
        "1 4 20 0 40 1 0 0 0 1 0 0 0 1 3001.dat\n"
        "0 STEP\n"
        "1 1 0 -24 20 1 0 0 0 1 0 0 0 1 3003.dat\n"
        "0 STEP\n";
    std::vector<std::string> steps = Camera("-cg30,45");
    steps.push_back("-sc");
    std::vector<std::string> faded = steps;
    faded.push_back("-sf");
    std::string fade = ConvertLook(dir, "fade", model, InstructionsOptions(kWidth), faded);
    std::string full = ConvertLook(dir, "full", model, InstructionsOptions(kWidth), steps);
    std::string studio = ConvertStudio(dir, "studio", model, steps);
    std::string second = std::string(kPreset) + " +K1.5";
    std::vector<Render> r =
        RenderAll({{fade, "fade", second, kWidth, kHeight},
                   {full, "full", second, kWidth, kHeight},
                   {studio, "studio", second, kWidth, kHeight},
                   {full, "firstcut", std::string(kTransparent) + " +K0.5", kWidth, kHeight},
                   {full, "bothcut", std::string(kTransparent) + " +K1.5", kWidth, kHeight}});
    for (const Render& one : r) ASSERT_TRUE(one.ok && Complaints(one.log).empty()) << one.log;
    // The first step's pixels, and the second's: where the model grew between the two masks.
    // Pixels next to a line or the other part are left out.
    Shape first = ShapeOf(r[3].image), both = ShapeOf(r[4].image);
    std::vector<std::pair<int, int>> old, added;
    for (auto [x, y] : both.inside) {
        if (both.outline.count({x, y}) || OnDarkLine(r[1].image, x, y)) continue;
        (first.inside.count({x, y}) ? old : added).push_back({x, y});
    }
    ASSERT_GT(old.size(), 500u);
    ASSERT_GT(added.size(), 300u);
    auto saturation = [](const Measured& m) {
        double high = std::max({m.rgb[0], m.rgb[1], m.rgb[2]});
        double low = std::min({m.rgb[0], m.rgb[1], m.rgb[2]});
        return high > 0 ? (high - low) / high : 0;
    };
    Measured oldFaded = Measure(r[0].image, old), oldStudio = Measure(r[2].image, old);
    Measured newFaded = Measure(r[0].image, added), newFull = Measure(r[1].image, added);
    SCOPED_TRACE("earlier step: luminance " + std::to_string(oldFaded.mean) + " against " +
                 std::to_string(oldStudio.mean) + " in the studio, saturation " +
                 std::to_string(saturation(oldFaded)) + " against " +
                 std::to_string(saturation(oldStudio)));
    EXPECT_GE(oldFaded.mean, oldStudio.mean + 40);
    EXPECT_LE(saturation(oldFaded), saturation(oldStudio) - 0.2);
    // The new part is not faded: the same as without -sf.
    for (int i = 0; i < 3; i++) EXPECT_NEAR(newFaded.rgb[i], newFull.rgb[i], 3) << i;
    EXPECT_GE(saturation(newFaded), 0.5);
}
