// The picture files of tqr-render itself: PNGs it writes decode to the same pixels with an
// independent reader, and the Targa bands POV-Ray writes are read in every layout it uses.
#include <string>
#include <vector>

#include "TqRender/RenderTestSupport.h"
#include "TqRender/TqRender.h"

namespace {

using tqrender::Raster;

// Smooth areas, hard edges, long runs and noise: every path of the encoder gets used.
Raster TestRaster(int width, int height, int channels, unsigned seed) {
    Raster r;
    r.width = width;
    r.height = height;
    r.channels = channels;
    for (int y = 0; y < height; y++) {
        for (int x = 0; x < width; x++) {
            seed = seed * 1103515245u + 12345u;
            bool noisy = (x / 16 + y / 16) % 3 == 0;
            for (int c = 0; c < channels; c++) {
                uint8_t v = noisy ? (uint8_t)(seed >> (8 + 4 * c)) : (uint8_t)(x * (c + 1) + y);
                if (y > height / 2 && x < width / 3) v = 200;  // one long run
                r.pixels.push_back(v);
            }
        }
    }
    return r;
}

std::vector<unsigned char> Bytes(const std::string& s) {
    return std::vector<unsigned char>(s.begin(), s.end());
}

}  // namespace

TEST(TqRenderPng, EncodedPicturesDecodeToTheSamePixels) {
    const struct {
        int width, height, channels;
    } kCases[] = {{1, 1, 3}, {64, 48, 3}, {64, 48, 4}, {300, 2, 3}, {333, 257, 4}};
    for (const auto& c : kCases) {
        Raster raster = TestRaster(c.width, c.height, c.channels, 7u * c.width + c.height);
        Image decoded;
        std::string error;
        ASSERT_TRUE(DecodePng(Bytes(tqrender::EncodePng(raster)), &decoded, &error))
            << c.width << "x" << c.height << "x" << c.channels << ": " << error;
        EXPECT_EQ(decoded.width, c.width);
        EXPECT_EQ(decoded.height, c.height);
        EXPECT_EQ(decoded.channels, c.channels);
        EXPECT_TRUE(decoded.pixels == raster.pixels)
            << c.width << "x" << c.height << "x" << c.channels;
    }
}

TEST(TqRenderPng, UniformPicturesCompress) {
    Raster raster;
    raster.width = 800;
    raster.height = 600;
    raster.pixels.assign(800 * 600 * 3, 90);
    EXPECT_LT(tqrender::EncodePng(raster).size(), 20000u);
}

TEST(TqRenderTarga, TopDownBottomUpAndRunLengthFilesReadAlike) {
    TempDir work;
    // Two rows of two pixels, BGR(A) on disk; the expected RGB(A) rows top first.
    const std::string top = std::string("\x01\x02\x03\x04\x05\x06", 6);
    const std::string bottom = std::string("\x07\x08\x09\x07\x08\x09", 6);
    const std::vector<uint8_t> expected = {3, 2, 1, 6, 5, 4, 9, 8, 7, 9, 8, 7};
    const struct {
        const char* name;
        std::string content;
    } kCases[] = {
        {"topdown", TargaHeader(2, 2, 24, 2, true) + top + bottom},
        {"bottomup", TargaHeader(2, 2, 24, 2, false) + bottom + top},
        // A raw packet of two pixels, then a repeat packet of two.
        {"rle", TargaHeader(2, 2, 24, 10, true) + "\x01" + top + "\x81" + bottom.substr(0, 3)},
    };
    for (const auto& c : kCases) {
        tqrender::Raster raster;
        std::string path = work.Write(std::string(c.name) + ".tga", c.content);
        EXPECT_EQ(tqrender::ReadTarga(path, 0, 0, &raster), "") << c.name;
        EXPECT_EQ(raster.pixels, expected) << c.name;
    }
    tqrender::Raster raster;
    std::string cut = work.Write("cut.tga", TargaHeader(2, 2, 24, 2, true) + top);
    EXPECT_NE(tqrender::ReadTarga(cut, 0, 0, &raster).find("truncated"), std::string::npos);
    std::string palette = work.Write("palette.tga", TargaHeader(2, 2, 8, 1, true) + top);
    EXPECT_NE(tqrender::ReadTarga(palette, 0, 0, &raster), "");
}
