// Reading of the pictures POV-Ray writes (binary PPM with +FP, 8-bit PNG with +FN), so that
// tests can measure rendered pixels instead of trusting that a render merely finished.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <vector>

/// A decoded picture: rows top to bottom, channels interleaved.
struct Image {
    int width = 0;                      ///< pixels per row
    int height = 0;                     ///< rows
    int channels = 0;                   ///< 1 grey, 2 grey+alpha, 3 RGB, 4 RGBA
    std::vector<unsigned char> pixels;  ///< width * height * channels bytes

    /// The channels of the pixel at x, y (no bounds check).
    const unsigned char* At(int x, int y) const {
        return &pixels[((size_t)y * width + x) * channels];
    }
    /// Alpha 0..255 of the pixel at x, y; 255 when the picture has no alpha channel.
    int Alpha(int x, int y) const;
    /// Red, green and blue 0..255 of the pixel at x, y (grey repeated).
    std::array<int, 3> Rgb(int x, int y) const;
    /// Luminance 0..255 of the pixel at x, y (Rec. 709 weights on the stored values).
    double Luminance(int x, int y) const;
};

/// A rectangle of pixels [x0, x1) x [y0, y1).
struct PixelRect {
    int x0, y0, x1, y1;
};

/// Inflates a zlib stream (stored, fixed and dynamic Huffman blocks); false on damaged data.
bool InflateZlib(const unsigned char* data, size_t size, std::vector<unsigned char>* out);
/// Decodes a binary PPM (P6, maximum value 255); false with a reason in *error otherwise.
bool DecodePpm(const std::vector<unsigned char>& data, Image* image, std::string* error);
/// Decodes a non-interlaced 8-bit PNG (grey, grey+alpha, RGB, RGBA); false with a reason in
/// *error otherwise.
bool DecodePng(const std::vector<unsigned char>& data, Image* image, std::string* error);
/// Reads a PPM or PNG file (told apart by its first bytes); false with a reason in *error.
bool ReadImage(const std::string& path, Image* image, std::string* error = nullptr);

/// Writes an RGBA picture (width * height * 4 bytes, rows top down) as PNG; false on failure.
bool WriteRgbaPng(const std::string& path, int width, int height,
                  const std::vector<unsigned char>& rgba);

/// Mean luminance over the part of the rectangle inside the picture (0 when empty).
double MeanLuminance(const Image& image, PixelRect rect);
/// Highest luminance in the part of the rectangle inside the picture (0 when empty).
double MaxLuminance(const Image& image, PixelRect rect);
/// The smallest rectangle holding every pixel that is not fully transparent; empty (x1 <= x0)
/// when there is none.
PixelRect OpaqueBounds(const Image& image);
/// Mean red, green and blue over the part of the rectangle inside the picture.
std::array<double, 3> MeanRgb(const Image& image, PixelRect rect);
