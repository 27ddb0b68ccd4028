// Reading the Targa files POV-Ray writes for the bands of a plan: true colour with or without
// alpha, plain or run-length encoded, rows stored from the top or from the bottom.
#include <algorithm>

#include "TqRender/TqRender.h"

namespace tqrender {

namespace {

// Expands the pixel data into top-down RGB(A), converting from Targa's BGR(A) order.
bool DecodePixels(const std::string& data, size_t at, bool rle, int bytesPerPixel, Raster* raster) {
    size_t count = (size_t)raster->width * raster->height;
    std::vector<uint8_t>& px = raster->pixels;
    px.assign(count * raster->channels, 0);
    auto store = [&](size_t index, const char* bgra) {
        uint8_t* p = &px[index * raster->channels];
        p[0] = (uint8_t)bgra[2];
        p[1] = (uint8_t)bgra[1];
        p[2] = (uint8_t)bgra[0];
        if (raster->channels == 4) p[3] = (uint8_t)bgra[3];
    };
    for (size_t i = 0; i < count;) {
        size_t run = 1;
        bool repeat = false;
        // A run-length packet: the high bit means one pixel repeated, else that many raw pixels
        // follow; the low seven bits hold the count less one. Runs may go on past a row's end.
        if (rle) {
            if (at >= data.size()) return false;
            uint8_t packet = (uint8_t)data[at++];
            run = (packet & 0x7F) + 1u;
            repeat = (packet & 0x80) != 0;
        }
        for (size_t k = 0; k < run && i < count; k++, i++) {
            size_t source = repeat ? at : at + k * bytesPerPixel;
            // A band cut short (a full disk, a stopped render) is reported, never read past.
            if (source + bytesPerPixel > data.size()) return false;
            store(i, &data[source]);
        }
        at += (repeat ? 1 : run) * bytesPerPixel;
    }
    return true;
}

// Targa's default order is the bottom row first.
void FlipRows(Raster* raster) {
    size_t stride = (size_t)raster->width * raster->channels;
    for (int top = 0, bottom = raster->height - 1; top < bottom; top++, bottom--) {
        std::swap_ranges(raster->pixels.begin() + (long)(top * stride),
                         raster->pixels.begin() + (long)((top + 1) * stride),
                         raster->pixels.begin() + (long)(bottom * stride));
    }
}

}  // namespace

std::string ReadTarga(const std::string& path, int width, int height, Raster* raster) {
    std::string data;
    if (!ReadWholeFile(path, &data)) return "cannot read " + path;
    if (data.size() < 18) return path + " is not a Targa file";
    // The 18-byte header: id length, colour-map type, image type (2 plain, 10 run-length true
    // colour), then width and height little-endian at 12 and 14, bits a pixel, descriptor.
    auto byteAt = [&](size_t i) { return (unsigned)(uint8_t)data[i]; };
    unsigned type = byteAt(2), bits = byteAt(16), descriptor = byteAt(17);
    if (byteAt(1) != 0 || (type != 2 && type != 10) || (bits != 24 && bits != 32))
        return path + " is not a true-colour Targa file";
    raster->width = (int)(byteAt(12) | byteAt(13) << 8);
    raster->height = (int)(byteAt(14) | byteAt(15) << 8);
    raster->channels = bits == 32 ? 4 : 3;
    if (raster->width == 0 || raster->height == 0) return path + " is empty";
    std::string size = std::to_string(raster->width) + "x" + std::to_string(raster->height);
    // The header decides how much memory the pixels take, so it is believed only as far as the
    // picture and the file bear it out: a few bytes must not claim gigabytes.
    if (width > 0 && (raster->width != width || raster->height != height))
        return path + " is not a band of this picture: it is " + size + ", the picture " +
               std::to_string(width) + "x" + std::to_string(height);
    if (raster->width > kMaxPictureSide || raster->height > kMaxPictureSide)
        return path + " is not a band of this picture: it is " + size + ", more than " +
               std::to_string(kMaxPictureSide) + " either way";
    size_t at = 18 + byteAt(0);  // after the image id
    size_t pixels = (size_t)raster->width * raster->height, bytesPerPixel = bits / 8;
    size_t available = data.size() > at ? data.size() - at : 0;
    // Plain data holds every pixel; a run-length packet holds at most 128 pixels and costs at
    // least its count byte and one pixel.
    size_t needed = type == 2 ? pixels * bytesPerPixel : (pixels + 127) / 128 * (1 + bytesPerPixel);
    if (available < needed) return path + " is truncated";
    if (!DecodePixels(data, at, type == 10, (int)bytesPerPixel, raster))
        return path + " is truncated";
    // Bit 5 of the descriptor: rows stored from the top.
    if (!(descriptor & 0x20)) FlipRows(raster);
    return "";
}

}  // namespace tqrender
