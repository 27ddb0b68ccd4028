// The studio look (pov/tqr-studio.inc, pov/tqr-studio-lights.inc) and the image reader that
// measures it: scenes render without POV-Ray warnings, and dark, chrome, clear, glowing and LGEO
// parts come out as they should, judged on rendered pixels.
#include <algorithm>
#include <array>
#include <filesystem>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "Look/LookSupport.h"

namespace fs = std::filesystem;

namespace {

// The middle tenth of the picture in each direction.
PixelRect Centre(const Image& image) {
    return {image.width * 9 / 20, image.height * 9 / 20, image.width * 11 / 20,
            image.height * 11 / 20};
}

// A red of at least this strength that clearly outweighs green and blue.
bool IsRed(const std::array<double, 3>& rgb, double strength) {
    return rgb[0] >= strength && rgb[0] >= 2 * rgb[1] && rgb[0] >= 2 * rgb[2];
}

std::vector<unsigned char> FromHex(const std::string& hex) {
    std::vector<unsigned char> bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes.push_back((unsigned char)std::stoi(hex.substr(i, 2), nullptr, 16));
    return bytes;
}

}  // namespace

// ---- The image reader

TEST(StudioLookImage, InflatesStoredAndFixedBlocksAndRefusesDamagedStreams) {
    struct Case {
        const char* hex;
        const char* text;  // null: the stream must be refused
    } cases[] = {
        {"7801010600f9ff73746f726564093c0292", "stored"},
        {"78da4b4c4a0600024d0127", "abc"},
        // Fixed codes with copies of earlier bytes.
        {"78da2b292c52282e294dc9cc5728c1c6540400d9360c8f", "tqr studio tqr studio tqr studio!"},
        {"78da2b292c52282e294dc9cc57", nullptr},          // cut short
        {"78db4b4c4a0600024d0127", nullptr},              // header checksum wrong
        {"7801010600f9fe73746f726564093c0292", nullptr},  // stored length check wrong
        {"78da07", nullptr},                              // block type 3
    };
    for (const auto& c : cases) {
        std::vector<unsigned char> data = FromHex(c.hex), out;
        bool ok = InflateZlib(data.data(), data.size(), &out);
        EXPECT_EQ(ok, c.text != nullptr) << c.hex;
        if (ok && c.text) {
            EXPECT_EQ(std::string(out.begin(), out.end()), c.text) << c.hex;
        }
    }
}

TEST(StudioLookImage, ReadsHandMadeGreyPngWithEveryRowFilter) {
    // 3 x 5 grey; rows filtered None, Sub, Up, Average, Paeth, in one stored deflate block.
    const unsigned char raw[] = {0, 10, 20, 30, 1, 5, 5, 5, 2, 1, 1, 1, 3, 17, 5, 2, 4, 1, 2, 3};
    std::vector<unsigned char> png = {137, 80, 78, 71, 13, 10, 26, 10};
    auto chunk = [&png](const char* type, const std::vector<unsigned char>& body) {
        size_t n = body.size();
        png.insert(png.end(), {(unsigned char)(n >> 24), (unsigned char)(n >> 16),
                               (unsigned char)(n >> 8), (unsigned char)n});
        png.insert(png.end(), type, type + 4);
        png.insert(png.end(), body.begin(), body.end());
        png.insert(png.end(), {0, 0, 0, 0});  // the CRC is not checked
    };
    chunk("IHDR", {0, 0, 0, 3, 0, 0, 0, 5, 8, 0, 0, 0, 0});
    const unsigned char length = sizeof(raw);
    std::vector<unsigned char> zlib = {0x78, 0x01, 0x01, length, 0, (unsigned char)~length, 0xFF};
    zlib.insert(zlib.end(), raw, raw + sizeof(raw));
    zlib.insert(zlib.end(), {0, 0, 0, 0});
    chunk("IDAT", zlib);
    chunk("IEND", {});
    Image image;
    std::string error;
    ASSERT_TRUE(DecodePng(png, &image, &error)) << error;
    EXPECT_EQ(image.channels, 1);
    const std::vector<unsigned char> expected = {10, 20, 30, 5,  10, 15, 6, 11,
                                                 16, 20, 20, 20, 21, 23, 26};
    EXPECT_EQ(image.pixels, expected);
    EXPECT_EQ(image.Rgb(2, 0), (std::array<int, 3>{30, 30, 30}));
    EXPECT_EQ(image.Alpha(0, 0), 255);
}

TEST(StudioLookImage, PngAndPpmOfOneRenderHoldTheSamePixels) {
    TQ_SKIP_WITHOUT_POVRAY();
    TempDir dir;
    dir.Write("ball.pov", R"(#version 3.7;
global_settings { assumed_gamma 1.0 }
camera { location <0, 0, -4> look_at 0 }
light_source { <5, 5, -5> rgb 1 }
background { rgbt <0.2, 0.4, 0.6, 1> }
sphere { 0, 1 pigment { gradient x color_map { [0 rgb <1, 0, 0>] [1 rgb <0, 0, 1>] } } }
)");
    std::string script;
    for (auto [out, options] : {std::pair<const char*, const char*>{"ball.png", "+FN"},
                                {"ball.ppm", "+FP"},
                                {"alpha.png", "+FN +UA"},
                                {"grey.png", "+FN Grayscale_Output=on"}}) {
        // Two tries: a busy machine can keep POV-Ray from starting its worker threads.
        script += "(for try in 1 2; do povray -D -V +W64 +H48 " + std::string(options) + " '+I" +
                  (dir / "ball.pov") + "' '+O" + (dir / out) +
                  "' >/dev/null 2>&1 && break; done) &\n";
    }
    ASSERT_EQ(system((script + "wait\n").c_str()), 0);
    Image png, ppm, alpha, grey;
    std::string error;
    ASSERT_TRUE(ReadImage(dir / "ball.png", &png, &error)) << error;
    ASSERT_TRUE(ReadImage(dir / "ball.ppm", &ppm, &error)) << error;
    ASSERT_TRUE(ReadImage(dir / "alpha.png", &alpha, &error)) << error;
    EXPECT_EQ(png.width, 64);
    EXPECT_EQ(png.height, 48);
    EXPECT_EQ(png.channels, 3);
    EXPECT_EQ(ppm.channels, 3);
    EXPECT_TRUE(png.pixels == ppm.pixels);
    EXPECT_GT(MaxLuminance(png, {0, 0, 64, 48}), MeanLuminance(png, {0, 0, 64, 48}));
    ASSERT_EQ(alpha.channels, 4);
    EXPECT_EQ(alpha.Alpha(0, 0), 0) << "background";
    EXPECT_EQ(alpha.Alpha(32, 24), 255) << "sphere";
    EXPECT_EQ(alpha.Rgb(32, 24), png.Rgb(32, 24));
    // POV-Ray writes grey as 16 bits, which the reader refuses with a reason.
    EXPECT_FALSE(ReadImage(dir / "grey.png", &grey, &error));
    EXPECT_NE(error.find("8-bit"), std::string::npos) << error;
    EXPECT_FALSE(ReadImage(dir / "missing.png", &grey, &error));
}

// ---- Clean scenes

TEST(StudioLook, GoldenScenesRenderWithoutWarnings) {
    TQ_SKIP_WITHOUT_POVRAY();
    const std::string golden = SourceDir() + "/tests/golden";
    std::vector<std::string> cases;
    for (const auto& entry : fs::directory_iterator(golden)) {
        std::string dir = entry.path().string();
        if (FileExists(dir + "/args") && !FileExists(dir + "/norender") &&
            !FileExists(dir + "/render-fails"))
            cases.push_back(dir);
    }
    std::sort(cases.begin(), cases.end());
    ASSERT_GE(cases.size(), 20u);
    TempDir work;
    std::vector<RenderJob> jobs;
    for (const auto& caseDir : cases) {
        std::string name = fs::path(caseDir).filename().string();
        std::string dir = work.MakeDir(name);
        for (const auto& entry : fs::directory_iterator(caseDir)) {
            std::string file = entry.path().filename().string();
            if (file.rfind("expected", 0) != 0 && file.rfind("render", 0) != 0)
                fs::copy(entry.path(), dir + "/" + file, fs::copy_options::recursive);
        }
        std::vector<std::string> args;
        std::istringstream in(ReadFile(caseDir + "/args"));
        for (std::string line; std::getline(in, line);) {
            if (line.empty() || line == "-stdout") continue;
            for (auto [from, to] :
                 {std::pair<std::string, std::string>{"@SOURCE@", SourceDir()}, {"@WORK@", dir}}) {
                for (size_t at; (at = line.find(from)) != std::string::npos;)
                    line.replace(at, from.size(), to);
            }
            args.push_back(line);
        }
        // The look's options go last (before model and scene), so that they win over a case's
        // own include files; LGEO colours give way to the look's, as the front end asks.
        std::vector<std::string> studio = StudioOptions();
        // A case of POV-Ray's solids for primitives that the sample library holds no file of:
        // flattened parts are made of files, so the look renders it without them.
        if (FileExists(caseDir + "/nomesh")) studio.erase(studio.begin());
        if (std::count(args.begin(), args.end(), "-lgeo") ||
            std::count(args.begin(), args.end(), "-kv"))
            studio.push_back("-nolgc");
        args.insert(args.end() - 2, studio.begin(), studio.end());
        RunResult r = RunTqr(args, dir, CleanLibraryEnv(dir));
        ASSERT_TRUE(FileExists(dir + "/out.pov")) << name << "\n" << r.out << r.err;
        RenderJob job{
            dir + "/out.pov", "out", "", 80, 60, {dir, dir + "/ldraw/TQRPARTS", dir + "/lgeo"}};
        std::istringstream(ReadFile(caseDir + "/render-size")) >> job.width >> job.height;
        // At clock 0 the step clock leaves a union of one part, which POV-Ray warns about
        // whatever the look; past the last step every part is there.
        if (std::count(args.begin(), args.end(), "-sc")) job.options = "+K3";
        jobs.push_back(job);
    }
    std::vector<Render> renders = RenderAll(jobs);
    for (size_t i = 0; i < jobs.size(); i++) {
        EXPECT_TRUE(renders[i].ok) << cases[i] << "\n" << renders[i].log;
        EXPECT_EQ(Complaints(renders[i].log), "") << cases[i];
    }
}

TEST(StudioLook, SharedModelsRenderWithoutWarnings) {
    TQ_SKIP_WITHOUT_POVRAY();
    if (SharedLDrawDir().empty() || SharedModelsDir().empty())
        GTEST_SKIP() << "shared library or models absent";
    // The small ones: the large models only take longer to parse.
    const char* const models[] = {"pyramid.ldr", "car.ldr", "1180-1 - Space Port Moon Buggy.mpd",
                                  "7140-1-X-wingFighter.mpd"};
    TempDir dir;
    std::vector<RenderJob> jobs;
    for (const char* model : models) {
        std::string name = TestNameOf(model);
        std::vector<std::string> args = {"-ldd" + SharedLDrawDir(), "-o"};
        for (const auto& o : StudioOptions()) args.push_back(o);
        args.push_back(SharedModelsDir() + "/" + model);
        args.push_back(name + ".pov");
        RunResult r = RunTqr(args, dir.Path(), CleanLibraryEnv(dir.Path()));
        ASSERT_EQ(r.status, 0) << model << "\n" << r.err;
        jobs.push_back({dir / (name + ".pov"), name, "", 80, 60});
    }
    std::vector<Render> renders = RenderAll(jobs);
    for (size_t i = 0; i < jobs.size(); i++) {
        EXPECT_TRUE(renders[i].ok) << models[i] << "\n" << renders[i].log;
        EXPECT_EQ(Complaints(renders[i].log), "") << models[i];
    }
}

TEST(StudioLook, EveryPresetAndTheTransparentBackgroundRenderWithoutWarnings) {
    TQ_SKIP_WITHOUT_POVRAY();
    TempDir dir;
    std::string scene = ConvertStudio(dir, "mixed",
                                      OnePart(0) + "1 383 0 -24 0 1 0 0 0 1 0 0 0 1 3001.dat\n" +
                                          "1 47 0 -48 0 1 0 0 0 1 0 0 0 1 3003.dat\n" +
                                          "1 21 60 0 0 1 0 0 0 1 0 0 0 1 3003.dat\n");
    const char* const presets[] = {"Declare=TqStudioQuality=0", "Declare=TqStudioQuality=2", "",
                                   "Declare=TqStudioTransparent=1 +UA"};
    std::vector<RenderJob> jobs;
    for (const char* options : presets)
        jobs.push_back({scene, "mixed" + std::to_string(jobs.size()), options, 80, 60});
    std::vector<Render> renders = RenderAll(jobs);
    for (size_t i = 0; i < jobs.size(); i++) {
        ASSERT_TRUE(renders[i].ok) << presets[i] << "\n" << renders[i].log;
        EXPECT_EQ(Complaints(renders[i].log), "") << presets[i];
    }
    // Nothing but the model covers the transparent background.
    const Image& transparent = renders.back().image;
    ASSERT_EQ(transparent.channels, 4);
    EXPECT_EQ(transparent.Alpha(0, 0), 0);
    EXPECT_EQ(transparent.Alpha(79, 59), 0);
    EXPECT_GT(MaskOf(transparent).model.size(), 300u);
}

// ---- The look, measured

TEST(StudioLook, BackdropFillsTheViewFromEveryCamera) {
    TQ_SKIP_WITHOUT_POVRAY();
    // The default camera, from behind, from low, straight from above, and a camera of the
    // user's own that leaves TqLocation undeclared.
    const std::vector<std::string> cameras = {"", "-cg30,-135", "-cg5,100", "-cg90,0",
                                              "-iccamera.inc"};
    TempDir dir;
    dir.Write("camera.inc",
              "camera { location <150,-120,-150> look_at <0,10,0> right -4/3*x sky -y }\n");
    std::vector<RenderJob> jobs;
    for (const auto& camera : cameras) {
        std::string name = "brick" + std::to_string(jobs.size());
        // Far back, so that the corners show what lies around the brick.
        std::vector<std::string> options = {"-cpct150"};
        if (!camera.empty()) options.push_back(camera);
        jobs.push_back(
            {ConvertStudio(dir, name, OnePart(0), options), name, "", 80, 60, {dir.Path()}});
    }
    std::vector<Render> renders = RenderAll(jobs);
    for (size_t i = 0; i < jobs.size(); i++) {
        ASSERT_TRUE(renders[i].ok) << cameras[i] << "\n" << renders[i].log;
        EXPECT_EQ(Complaints(renders[i].log), "") << cameras[i];
        // The background, dark, shows only where the backdrop does not reach.
        for (PixelRect corner : {PixelRect{0, 0, 8, 6}, PixelRect{72, 0, 80, 6},
                                 PixelRect{0, 54, 8, 60}, PixelRect{72, 54, 80, 60}})
            EXPECT_GE(MeanLuminance(renders[i].image, corner), 110)
                << cameras[i] << " corner " << corner.x0 << "," << corner.y0;
    }
}

TEST(StudioLook, BlackBrickStandsOutFromTheBackdrop) {
    TQ_SKIP_WITHOUT_POVRAY();
    TempDir dir;
    std::string scene = ConvertStudio(dir, "black", OnePart(0), {"-cpct40"});
    std::vector<Render> r =
        RenderAll({{scene, "lit", ""}, {scene, "cut", "Declare=TqStudioTransparent=1 +UA"}});
    ASSERT_TRUE(r[0].ok && r[1].ok) << r[0].log << r[1].log;
    Mask mask = MaskOf(r[1].image);
    ASSERT_GT(mask.model.size(), 1000u);
    ASSERT_GT(mask.backdrop.size(), 1000u);
    Measured brick = Measure(r[0].image, mask.model), backdrop = Measure(r[0].image, mask.backdrop);
    EXPECT_GE(backdrop.mean - brick.mean, 40) << brick.mean << " on " << backdrop.mean;
    // Yet the brick is no black hole: its lit faces and edges show.
    EXPECT_GE(brick.max, 60);
}

TEST(StudioLook, LDrawColoursAreTakenAsSrgbAndWhiteIsNotBlownOut) {
    TQ_SKIP_WITHOUT_POVRAY();
    // The same brick in mid grey and in white, lit alike: in a linear scene that reads the
    // colours as sRGB the grey comes out at half the white; read as linear values it would
    // come out at 0.73 of it (washed out, as the legacy look does to LGEO colours).
    TempDir dir;
    std::string grey = ConvertStudio(dir, "grey", OnePart(0x2808080), {"-cpct40"});
    std::string white = ConvertStudio(dir, "white", OnePart(15), {"-cpct40"});
    std::vector<Render> r = RenderAll({{grey, "grey", ""},
                                       {white, "white", ""},
                                       {white, "cut", "Declare=TqStudioTransparent=1 +UA"}});
    ASSERT_TRUE(r[0].ok && r[1].ok && r[2].ok) << r[0].log << r[1].log << r[2].log;
    Mask mask = MaskOf(r[2].image);
    ASSERT_GT(mask.model.size(), 1000u);
    double ratio = Measure(r[0].image, mask.model).mean / Measure(r[1].image, mask.model).mean;
    EXPECT_GT(ratio, 0.42);
    EXPECT_LT(ratio, 0.6);
    int clipped = 0;
    for (auto [x, y] : mask.model) {
        std::array<int, 3> c = r[1].image.Rgb(x, y);
        clipped += std::min({c[0], c[1], c[2]}) >= 250;
    }
    EXPECT_LT(clipped, (int)mask.model.size() / 50) << "white pixels blown out";
}

TEST(StudioLook, ChromeMirrorsTheStudioWithAHighlight) {
    TQ_SKIP_WITHOUT_POVRAY();
    TempDir dir;
    std::string scene = ConvertStudio(dir, "chrome", OnePart(383), {"-cpct40"});
    std::vector<Render> r =
        RenderAll({{scene, "lit", ""}, {scene, "cut", "Declare=TqStudioTransparent=1 +UA"}});
    ASSERT_TRUE(r[0].ok && r[1].ok) << r[0].log << r[1].log;
    Mask mask = MaskOf(r[1].image);
    ASSERT_GT(mask.model.size(), 1000u);
    Measured chrome = Measure(r[0].image, mask.model);
    EXPECT_GE(chrome.max, 200);
    // What it mirrors is a room, not a void: on average the chrome is not dark.
    EXPECT_GE(chrome.mean, 70);
}

TEST(StudioLook, RedBrickShowsThroughAClearPlateInFrontOfIt) {
    TQ_SKIP_WITHOUT_POVRAY();
    TempDir dir;
    // The plate stands upright between the camera and the brick, covering the picture's middle.
    const std::string plate = "1 47 0 10 -30 1 0 0 0 0 1 0 -1 0 3023.dat\n";
    const std::vector<std::string> camera = {"-cc0,10,-150", "-cla0,10,0"};
    std::string behind = ConvertStudio(dir, "behind", plate + OnePart(4, "3003.dat"), camera);
    std::string alone = ConvertStudio(dir, "alone", plate, camera);
    std::vector<Render> r = RenderAll({{behind, "behind", ""}, {alone, "alone", ""}});
    ASSERT_TRUE(r[0].ok && r[1].ok) << r[0].log << r[1].log;
    std::array<double, 3> through = MeanRgb(r[0].image, Centre(r[0].image)),
                          empty = MeanRgb(r[1].image, Centre(r[1].image));
    EXPECT_TRUE(IsRed(through, 80)) << through[0] << "," << through[1] << "," << through[2];
    EXPECT_FALSE(IsRed(empty, 0)) << "the plate itself is clear: " << empty[0] << "," << empty[1]
                                  << "," << empty[2];
}

TEST(StudioLook, GlowingColourIsBrighterThanTheSameColourUnlit) {
    TQ_SKIP_WITHOUT_POVRAY();
    TempDir dir;
    std::string colours =
        dir.Write("colours.ldr",
                  "0 !COLOUR Glow CODE 21 VALUE #E0FFB0 EDGE #A4C374 ALPHA 250 LUMINANCE 15\n"
                  "0 !COLOUR Unlit CODE 22 VALUE #E0FFB0 EDGE #A4C374 ALPHA 250\n");
    std::string glowing = ConvertStudio(dir, "glowing", OnePart(21), {"-ldc" + colours});
    std::string unlit = ConvertStudio(dir, "unlit", OnePart(22), {"-ldc" + colours});
    std::vector<Render> r = RenderAll({{glowing, "glowing", ""}, {unlit, "unlit", ""}});
    ASSERT_TRUE(r[0].ok && r[1].ok) << r[0].log << r[1].log;
    double glow = MeanLuminance(r[0].image, Centre(r[0].image)),
           plain = MeanLuminance(r[1].image, Centre(r[1].image));
    EXPECT_GE(glow - plain, 10) << "glowing " << glow << ", unlit " << plain;
}

TEST(StudioLook, LgeoRedBrickIsRedAndTheSceneClean) {
    TQ_SKIP_WITHOUT_POVRAY();
    TempDir dir;
    const std::string fixture = SourceDir() + "/tests/golden/lgeo_example";
    fs::copy(fixture + "/ldraw", dir / "ldraw", fs::copy_options::recursive);
    fs::copy(fixture + "/lgeo", dir / "lgeo", fs::copy_options::recursive);
    // The real lg_color.inc includes POV-Ray's colors.inc, which changes #version on its way.
    std::string colours = ReadFile(dir / "lgeo/lg_color.inc");
    dir.Write("lgeo/lg_color.inc", "#include \"colors.inc\"\n" + colours);
    std::string scene =
        ConvertStudio(dir, "lgeo", OnePart(4), {"-lgeo", "-nolgc", "-ldc", "-lgd" + (dir / "lgeo")},
                      dir / "ldraw");
    ASSERT_NE(ReadFile(scene).find("lg_3001"), std::string::npos) << "the LGEO part is used";
    std::vector<Render> r =
        RenderAll({{scene, "lit", "", 160, 120, {dir / "lgeo"}},
                   {scene, "cut", "Declare=TqStudioTransparent=1 +UA", 160, 120, {dir / "lgeo"}}});
    ASSERT_TRUE(r[0].ok && r[1].ok) << r[0].log << r[1].log;
    EXPECT_EQ(Complaints(r[0].log), "");
    // The stand-in LGEO brick does not sit where the LDraw one would: find it by its outline.
    Mask mask = MaskOf(r[1].image);
    ASSERT_GT(mask.model.size(), 500u);
    std::array<double, 3> rgb = Measure(r[0].image, mask.model).rgb;
    EXPECT_TRUE(IsRed(rgb, 90)) << rgb[0] << "," << rgb[1] << "," << rgb[2];
}
