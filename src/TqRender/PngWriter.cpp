// A small PNG encoder: per-row filters chosen by the usual smallest-sum rule, and a deflate
// stream with fixed Huffman codes and hash-chain matching. It only has to write what the band
// assembler joins, and the program may not depend on zlib.
#include <array>
#include <cstdlib>
#include <cstring>

#include "TqRender/TqRender.h"

namespace tqrender {

namespace {

// Deflate's length and distance alphabets: the smallest value of each code and its extra bits.
const uint16_t kLengthBase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                  31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
const uint8_t kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                  2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
const uint16_t kDistanceBase[30] = {1,    2,    3,    4,    5,    7,    9,    13,    17,    25,
                                    33,   49,   65,   97,   129,  193,  257,  385,   513,   769,
                                    1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
const uint8_t kDistanceExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                    6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

// Deflate's limits: matches reach 32 KiB back and are 3 to 258 bytes long.
constexpr int kWindow = 32768;
constexpr int kHashBits = 15;
constexpr int kMaxChain = 48;  // enough for pictures: long runs are found at once
constexpr int kMaxMatch = 258;

class BitWriter {
public:
    explicit BitWriter(std::string* out) : out_(out) {}
    // Deflate packs values from the least significant bit up. At most 7 bits wait between
    // calls, so a value of up to 25 bits fits the buffer.
    void Put(uint32_t value, int count) {
        bits_ |= value << used_;
        used_ += count;
        while (used_ >= 8) {
            out_->push_back((char)(bits_ & 0xFF));
            bits_ >>= 8;
            used_ -= 8;
        }
    }
    // Huffman codes go most significant bit first, so they are reversed into the stream.
    void PutCode(uint32_t code, int length) {
        uint32_t reversed = 0;
        for (int i = 0; i < length; i++) reversed |= ((code >> i) & 1) << (length - 1 - i);
        Put(reversed, length);
    }
    // The last byte is padded with zero bits.
    void Flush() {
        if (used_ > 0) out_->push_back((char)(bits_ & 0xFF));
        bits_ = 0;
        used_ = 0;
    }

private:
    std::string* out_;
    uint32_t bits_ = 0;
    int used_ = 0;
};

// The fixed literal/length code: 0-143 in 8 bits from 0x30, 144-255 in 9 bits from 0x190,
// 256-279 in 7 bits from 0, 280-287 in 8 bits from 0xC0.
void PutLiteral(BitWriter* w, int value) {
    if (value < 144)
        w->PutCode(0x30 + value, 8);
    else if (value < 256)
        w->PutCode(0x190 + value - 144, 9);
    else if (value < 280)
        w->PutCode(value - 256, 7);
    else
        w->PutCode(0xC0 + value - 280, 8);
}

// The largest length code whose base fits, then the rest in its extra bits; the distance the
// same way, with the fixed five-bit distance codes.
void PutMatch(BitWriter* w, int length, int distance) {
    int l = 28;
    while (kLengthBase[l] > length) l--;
    PutLiteral(w, 257 + l);
    w->Put(length - kLengthBase[l], kLengthExtra[l]);
    int d = 29;
    while (kDistanceBase[d] > distance) d--;
    w->PutCode(d, 5);
    w->Put(distance - kDistanceBase[d], kDistanceExtra[d]);
}

// Three bytes: the shortest match deflate allows.
uint32_t Hash3(const uint8_t* p) {
    return ((p[0] << 10) ^ (p[1] << 5) ^ p[2]) & ((1u << kHashBits) - 1);
}

// Longest earlier match at pos within the window, following the hash chain. prev is a ring
// over the window; a slot is reused only after its position has fallen out of reach.
int FindMatch(const std::vector<uint8_t>& data, size_t pos, const std::vector<int>& head,
              const std::vector<int>& prev, int* distance) {
    int best = 0;
    size_t limit = std::min<size_t>(kMaxMatch, data.size() - pos);
    int candidate = head[Hash3(&data[pos])];
    for (int chain = 0; candidate >= 0 && chain < kMaxChain; chain++) {
        if ((long)pos - candidate > kWindow) break;
        size_t n = 0;
        while (n < limit && data[candidate + n] == data[pos + n]) n++;
        if ((int)n > best) {
            best = (int)n;
            *distance = (int)(pos - candidate);
            if (n == limit) break;
        }
        candidate = prev[candidate % kWindow];
    }
    return best;
}

// One final block with the fixed codes: no code tables to build or store. Matching is greedy,
// the longest match at each position; every position it covers enters the hash chains.
std::string Deflate(const std::vector<uint8_t>& data) {
    std::string out;
    BitWriter w(&out);
    w.Put(1, 1);  // last block
    w.Put(1, 2);  // fixed Huffman codes
    std::vector<int> head(1u << kHashBits, -1), prev(kWindow, -1);
    // A position without two more bytes after it cannot start a match.
    auto insert = [&](size_t p) {
        if (p + 2 >= data.size()) return;
        uint32_t h = Hash3(&data[p]);
        prev[p % kWindow] = head[h];
        head[h] = (int)p;
    };
    size_t pos = 0;
    while (pos < data.size()) {
        int distance = 0;
        int length = pos + 2 < data.size() ? FindMatch(data, pos, head, prev, &distance) : 0;
        if (length >= 3) {
            PutMatch(&w, length, distance);
            for (int i = 0; i < length; i++) insert(pos + i);
            pos += length;
        } else {
            PutLiteral(&w, data[pos]);
            insert(pos++);
        }
    }
    PutLiteral(&w, 256);  // end of block
    w.Flush();
    return out;
}

// The zlib trailer: a checksum of the uncompressed data, modulo the largest prime below 65536.
uint32_t Adler32(const std::vector<uint8_t>& data) {
    uint32_t a = 1, b = 0;
    for (uint8_t byte : data) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    return (b << 16) | a;
}

// The CRC-32 every PNG chunk ends with (the reflected polynomial 0xEDB88320), one table lookup
// per byte; the table is built on first use.
uint32_t Crc32(const std::string& bytes) {
    static const std::array<uint32_t, 256> kTable = [] {
        std::array<uint32_t, 256> t{};
        for (uint32_t n = 0; n < 256; n++) {
            uint32_t c = n;
            for (int k = 0; k < 8; k++) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    uint32_t c = 0xFFFFFFFFu;
    for (char byte : bytes) c = kTable[(c ^ (uint8_t)byte) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

// PNG's numbers are big-endian.
void AppendBig32(std::string* out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out->push_back((char)((v >> shift) & 0xFF));
}

// Length, type, data, then a CRC over the type and data (not the length).
void AppendChunk(std::string* png, const char* type, const std::string& data) {
    AppendBig32(png, (uint32_t)data.size());
    std::string typed = std::string(type, 4) + data;
    png->append(typed);
    AppendBig32(png, Crc32(typed));
}

// The neighbour (left a, above b, above-left c) closest to a + b - c; ties go to a, then b.
int Paeth(int a, int b, int c) {
    int p = a + b - c, pa = abs(p - a), pb = abs(p - b), pc = abs(p - c);
    return pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
}

// Filters one row five ways and keeps the one with the smallest sum of signed magnitudes:
// residues near zero either way compress best. Neighbours are one pixel (bpp bytes) apart, and
// count as zero above the first row and left of the edge. The filter type byte leads the row.
void AppendFilteredRow(const uint8_t* row, const uint8_t* above, size_t stride, int bpp,
                       std::vector<uint8_t>* out) {
    std::vector<uint8_t> best, trial(stride);
    long bestScore = -1;
    for (int type = 0; type < 5; type++) {
        long score = 0;
        for (size_t x = 0; x < stride; x++) {
            int a = x >= (size_t)bpp ? row[x - bpp] : 0, b = above ? above[x] : 0;
            int c = above && x >= (size_t)bpp ? above[x - bpp] : 0;
            int predictor = type == 0   ? 0
                            : type == 1 ? a
                            : type == 2 ? b
                            : type == 3 ? (a + b) / 2
                                        : Paeth(a, b, c);
            trial[x] = (uint8_t)(row[x] - predictor);
            score += trial[x] < 128 ? trial[x] : 256 - trial[x];
        }
        if (bestScore < 0 || score < bestScore) {
            bestScore = score;
            best = trial;
            best.insert(best.begin(), (uint8_t)type);
        }
    }
    out->insert(out->end(), best.begin(), best.end());
}

}  // namespace

std::string EncodePng(const Raster& raster) {
    size_t stride = (size_t)raster.width * raster.channels;
    std::vector<uint8_t> filtered;
    filtered.reserve((stride + 1) * raster.height);
    for (int y = 0; y < raster.height; y++) {
        const uint8_t* row = &raster.pixels[y * stride];
        AppendFilteredRow(row, y > 0 ? row - stride : nullptr, stride, raster.channels, &filtered);
    }
    std::string png = "\x89PNG\r\n\x1a\n";
    std::string header;
    AppendBig32(&header, (uint32_t)raster.width);
    AppendBig32(&header, (uint32_t)raster.height);
    // 8 bits a channel; colour type 6 is RGBA, 2 is RGB.
    header += std::string("\x08", 1) + (raster.channels == 4 ? '\x06' : '\x02');
    header += std::string(3, '\0');  // deflate, adaptive filters, no interlace
    AppendChunk(&png, "IHDR", header);
    // POV-Ray's own PNGs say sRGB with the matching gamma; joined bands should look the same.
    std::string gamma;
    AppendBig32(&gamma, 45455);  // 1/2.2 in units of 1/100000
    AppendChunk(&png, "gAMA", gamma);
    AppendChunk(&png, "sRGB", std::string(1, '\0'));
    // The zlib wrapper PNG wants: a header (deflate, 32 KiB window, check bits) and Adler-32.
    std::string zlib = "\x78\x9c" + Deflate(filtered);
    AppendBig32(&zlib, Adler32(filtered));
    AppendChunk(&png, "IDAT", zlib);
    AppendChunk(&png, "IEND", "");
    return png;
}

bool WritePng(const std::string& path, const Raster& raster) {
    return WriteWholeFile(path, EncodePng(raster));
}

}  // namespace tqrender
