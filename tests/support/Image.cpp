// PPM and PNG reading for the render checks, with the inflate that PNG needs: a decoder of the
// tests' own, independent of the libpng that tqr reads texture images with. Test images are
// written through libpng.
#include "support/Image.h"

#include <png.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

namespace {

// Deflate packs its fields least significant bit first.
struct BitReader {
    const unsigned char* data;
    size_t size;
    size_t pos = 0;
    unsigned buffer = 0;
    int count = 0;
    bool overrun = false;

    // n is at most 16, so the buffer never holds more than 23 bits.
    unsigned Bits(int n) {
        while (count < n) {
            if (pos >= size) {
                overrun = true;
                return 0;
            }
            buffer |= (unsigned)data[pos++] << count;
            count += 8;
        }
        unsigned value = buffer & ((1u << n) - 1);
        buffer >>= n;
        count -= n;
        return value;
    }
    void AlignToByte() {
        buffer = 0;
        count = 0;
    }
};

// A canonical Huffman code: how many codes each length has, and the symbols in code order.
struct Huffman {
    int count[16] = {};
    std::vector<int> symbol;
};

// False when the lengths ask for more codes than exist; an incomplete code is allowed (a block
// with a single distance code has one).
bool BuildHuffman(Huffman* code, const unsigned char* lengths, int n) {
    std::fill(std::begin(code->count), std::end(code->count), 0);
    for (int i = 0; i < n; i++) code->count[lengths[i]]++;
    int left = 1;
    for (int len = 1; len < 16; len++) {
        left = 2 * left - code->count[len];
        if (left < 0) return false;
    }
    int offset[16] = {};
    for (int len = 1; len < 15; len++) offset[len + 1] = offset[len] + code->count[len];
    code->symbol.assign(n, 0);
    for (int i = 0; i < n; i++)
        if (lengths[i]) code->symbol[offset[lengths[i]]++] = i;
    return true;
}

// One symbol, walked bit by bit: slow next to table lookups, but the pictures are small.
int Decode(BitReader* in, const Huffman& code) {
    int value = 0, first = 0, index = 0;
    for (int len = 1; len < 16; len++) {
        value |= (int)in->Bits(1);
        if (in->overrun) return -1;
        int count = code.count[len];
        if (value - first < count) return code.symbol[index + value - first];
        index += count;
        first = (first + count) << 1;
        value <<= 1;
    }
    return -1;
}

const int kLengthBase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                             31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
const int kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                              2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
const int kDistanceBase[30] = {1,    2,    3,    4,    5,    7,    9,    13,    17,    25,
                               33,   49,   65,   97,   129,  193,  257,  385,   513,   769,
                               1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
const int kDistanceExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

bool InflateCodes(BitReader* in, const Huffman& literals, const Huffman& distances,
                  std::vector<unsigned char>* out) {
    for (;;) {
        int symbol = Decode(in, literals);
        if (symbol < 0) return false;
        if (symbol < 256) {
            out->push_back((unsigned char)symbol);
            continue;
        }
        if (symbol == 256) return true;
        symbol -= 257;
        if (symbol >= 29) return false;
        size_t length = kLengthBase[symbol] + in->Bits(kLengthExtra[symbol]);
        int d = Decode(in, distances);
        if (d < 0 || d >= 30) return false;
        size_t distance = kDistanceBase[d] + in->Bits(kDistanceExtra[d]);
        if (in->overrun || distance > out->size()) return false;
        // Byte by byte: a copy may overlap the bytes it produces.
        size_t from = out->size() - distance;
        for (size_t i = 0; i < length; i++) out->push_back((*out)[from + i]);
    }
}

bool InflateStored(BitReader* in, std::vector<unsigned char>* out) {
    in->AlignToByte();
    if (in->pos + 4 > in->size) return false;
    const unsigned char* p = in->data + in->pos;
    unsigned length = p[0] | p[1] << 8, check = p[2] | p[3] << 8;
    if ((length ^ 0xFFFF) != check || in->pos + 4 + length > in->size) return false;
    out->insert(out->end(), p + 4, p + 4 + length);
    in->pos += 4 + length;
    return true;
}

bool InflateFixed(BitReader* in, std::vector<unsigned char>* out) {
    static Huffman literals, distances;
    static bool built = false;
    if (!built) {
        unsigned char lengths[288];
        std::fill(lengths, lengths + 144, 8);
        std::fill(lengths + 144, lengths + 256, 9);
        std::fill(lengths + 256, lengths + 280, 7);
        std::fill(lengths + 280, lengths + 288, 8);
        BuildHuffman(&literals, lengths, 288);
        std::fill(lengths, lengths + 30, 5);
        BuildHuffman(&distances, lengths, 30);
        built = true;
    }
    return InflateCodes(in, literals, distances, out);
}

bool InflateDynamic(BitReader* in, std::vector<unsigned char>* out) {
    static const int kOrder[19] = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                   11, 4,  12, 3, 13, 2, 14, 1, 15};
    int nLiterals = (int)in->Bits(5) + 257, nDistances = (int)in->Bits(5) + 1;
    int nCodeLengths = (int)in->Bits(4) + 4;
    if (nLiterals > 286 || nDistances > 30) return false;
    unsigned char lengths[286 + 30] = {};
    for (int i = 0; i < nCodeLengths; i++) lengths[kOrder[i]] = (unsigned char)in->Bits(3);
    Huffman lengthCode;
    if (in->overrun || !BuildHuffman(&lengthCode, lengths, 19)) return false;
    std::fill(std::begin(lengths), std::end(lengths), 0);
    for (int i = 0; i < nLiterals + nDistances;) {
        int symbol = Decode(in, lengthCode);
        if (symbol < 0) return false;
        if (symbol < 16) {
            lengths[i++] = (unsigned char)symbol;
            continue;
        }
        int repeat, value = 0;
        if (symbol == 16) {
            if (i == 0) return false;
            value = lengths[i - 1];
            repeat = 3 + (int)in->Bits(2);
        } else if (symbol == 17) {
            repeat = 3 + (int)in->Bits(3);
        } else {
            repeat = 11 + (int)in->Bits(7);
        }
        if (i + repeat > nLiterals + nDistances) return false;
        while (repeat--) lengths[i++] = (unsigned char)value;
    }
    if (lengths[256] == 0) return false;  // a block must be able to end
    Huffman literals, distances;
    if (!BuildHuffman(&literals, lengths, nLiterals) ||
        !BuildHuffman(&distances, lengths + nLiterals, nDistances))
        return false;
    return InflateCodes(in, literals, distances, out);
}

unsigned ReadBigEndian32(const unsigned char* p) {
    return (unsigned)p[0] << 24 | (unsigned)p[1] << 16 | (unsigned)p[2] << 8 | p[3];
}

int Paeth(int a, int b, int c) {
    int p = a + b - c, pa = abs(p - a), pb = abs(p - b), pc = abs(p - c);
    if (pa <= pb && pa <= pc) return a;
    return pb <= pc ? b : c;
}

bool Fail(std::string* error, const char* reason) {
    if (error) *error = reason;
    return false;
}

// The rectangle clipped to the picture; empty when nothing is left.
PixelRect Clip(const Image& image, PixelRect r) {
    return {std::max(r.x0, 0), std::max(r.y0, 0), std::min(r.x1, image.width),
            std::min(r.y1, image.height)};
}

}  // namespace

int Image::Alpha(int x, int y) const {
    return channels == 2 || channels == 4 ? At(x, y)[channels - 1] : 255;
}

std::array<int, 3> Image::Rgb(int x, int y) const {
    const unsigned char* p = At(x, y);
    if (channels < 3) return {p[0], p[0], p[0]};
    return {p[0], p[1], p[2]};
}

double Image::Luminance(int x, int y) const {
    std::array<int, 3> c = Rgb(x, y);
    return 0.2126 * c[0] + 0.7152 * c[1] + 0.0722 * c[2];
}

bool InflateZlib(const unsigned char* data, size_t size, std::vector<unsigned char>* out) {
    out->clear();
    // Deflate (method 8) without a preset dictionary, header checksum valid.
    if (size < 2 || (data[0] & 15) != 8 || (data[0] << 8 | data[1]) % 31 != 0 || (data[1] & 0x20))
        return false;
    BitReader in{data + 2, size - 2};
    for (bool last = false; !last;) {
        last = in.Bits(1);
        unsigned type = in.Bits(2);
        bool ok = type == 0   ? InflateStored(&in, out)
                  : type == 1 ? InflateFixed(&in, out)
                  : type == 2 ? InflateDynamic(&in, out)
                              : false;
        if (!ok || in.overrun) return false;
    }
    return true;
}

bool DecodePpm(const std::vector<unsigned char>& data, Image* image, std::string* error) {
    *image = Image();
    size_t pos = 2;
    if (data.size() < 2 || data[0] != 'P' || data[1] != '6') return Fail(error, "not a P6 PPM");
    int fields[3];
    for (int& field : fields) {
        // Blanks and "#" comments may stand between the header numbers.
        while (pos < data.size() && (isspace(data[pos]) || data[pos] == '#')) {
            if (data[pos] == '#')
                while (pos < data.size() && data[pos] != '\n') pos++;
            else
                pos++;
        }
        if (pos >= data.size() || !isdigit(data[pos])) return Fail(error, "damaged PPM header");
        field = 0;
        while (pos < data.size() && isdigit(data[pos]) && field < 100000)
            field = field * 10 + (data[pos++] - '0');
    }
    if (fields[2] != 255) return Fail(error, "PPM maximum value is not 255");
    size_t bytes = (size_t)fields[0] * fields[1] * 3;
    if (fields[0] <= 0 || fields[1] <= 0 || ++pos + bytes > data.size())
        return Fail(error, "PPM pixels missing");
    image->width = fields[0];
    image->height = fields[1];
    image->channels = 3;
    image->pixels.assign(data.begin() + (long)pos, data.begin() + (long)(pos + bytes));
    return true;
}

bool DecodePng(const std::vector<unsigned char>& data, Image* image, std::string* error) {
    static const unsigned char kSignature[8] = {137, 80, 78, 71, 13, 10, 26, 10};
    *image = Image();
    if (data.size() < 8 || !std::equal(kSignature, kSignature + 8, data.begin()))
        return Fail(error, "not a PNG");
    std::vector<unsigned char> compressed;
    int width = 0, height = 0, channels = 0;
    for (size_t pos = 8;;) {
        if (pos + 12 > data.size()) return Fail(error, "PNG ends without IEND");
        size_t length = ReadBigEndian32(&data[pos]);
        const unsigned char* type = &data[pos + 4];
        const unsigned char* body = &data[pos + 8];
        if (length > data.size() - pos - 12) return Fail(error, "PNG chunk runs past the end");
        std::string name(type, type + 4);
        if (name == "IHDR") {
            if (length < 13) return Fail(error, "short IHDR");
            width = (int)ReadBigEndian32(body);
            height = (int)ReadBigEndian32(body + 4);
            static const int kChannels[7] = {1, 0, 3, 0, 2, 0, 4};
            int colourType = body[9];
            channels = colourType <= 6 ? kChannels[colourType] : 0;
            if (body[8] != 8 || channels == 0)
                return Fail(error, "only 8-bit grey, grey+alpha, RGB and RGBA PNG are read");
            if (body[12] != 0) return Fail(error, "interlaced PNG is not read");
            if (width <= 0 || height <= 0 || width > 1 << 15 || height > 1 << 15)
                return Fail(error, "PNG size out of range");
        } else if (name == "IDAT") {
            compressed.insert(compressed.end(), body, body + length);
        } else if (name == "IEND") {
            break;
        }
        pos += 12 + length;
    }
    if (channels == 0) return Fail(error, "PNG without IHDR");
    std::vector<unsigned char> raw;
    if (!InflateZlib(compressed.data(), compressed.size(), &raw))
        return Fail(error, "damaged PNG pixel data");
    size_t stride = (size_t)width * channels;
    if (raw.size() < (stride + 1) * height) return Fail(error, "PNG pixel data too short");
    image->width = width;
    image->height = height;
    image->channels = channels;
    image->pixels.resize(stride * height);
    // Each row names the predictor it was filtered with; undo it against the row above.
    for (int y = 0; y < height; y++) {
        const unsigned char* in = &raw[y * (stride + 1)];
        unsigned char* row = &image->pixels[y * stride];
        const unsigned char* above = y > 0 ? row - stride : nullptr;
        for (size_t i = 0; i < stride; i++) {
            int a = i >= (size_t)channels ? row[i - channels] : 0;
            int b = above ? above[i] : 0;
            int c = above && i >= (size_t)channels ? above[i - channels] : 0;
            int predictor;
            switch (in[0]) {
                case 0:
                    predictor = 0;
                    break;
                case 1:
                    predictor = a;
                    break;
                case 2:
                    predictor = b;
                    break;
                case 3:
                    predictor = (a + b) / 2;
                    break;
                case 4:
                    predictor = Paeth(a, b, c);
                    break;
                default:
                    return Fail(error, "unknown PNG row filter");
            }
            row[i] = (unsigned char)(in[1 + i] + predictor);
        }
    }
    return true;
}

bool ReadImage(const std::string& path, Image* image, std::string* error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return Fail(error, "can not open the file");
    std::vector<unsigned char> data((std::istreambuf_iterator<char>(in)),
                                    std::istreambuf_iterator<char>());
    if (data.size() >= 2 && data[0] == 'P') return DecodePpm(data, image, error);
    return DecodePng(data, image, error);
}

double MeanLuminance(const Image& image, PixelRect rect) {
    PixelRect r = Clip(image, rect);
    double sum = 0;
    long n = 0;
    for (int y = r.y0; y < r.y1; y++)
        for (int x = r.x0; x < r.x1; x++, n++) sum += image.Luminance(x, y);
    return n ? sum / n : 0;
}

double MaxLuminance(const Image& image, PixelRect rect) {
    PixelRect r = Clip(image, rect);
    double best = 0;
    for (int y = r.y0; y < r.y1; y++)
        for (int x = r.x0; x < r.x1; x++) best = std::max(best, image.Luminance(x, y));
    return best;
}

PixelRect OpaqueBounds(const Image& image) {
    PixelRect box = {image.width, image.height, 0, 0};
    for (int y = 0; y < image.height; y++) {
        for (int x = 0; x < image.width; x++) {
            if (image.Alpha(x, y) == 0) continue;
            box = {std::min(box.x0, x), std::min(box.y0, y), std::max(box.x1, x + 1),
                   std::max(box.y1, y + 1)};
        }
    }
    return box;
}

std::array<double, 3> MeanRgb(const Image& image, PixelRect rect) {
    PixelRect r = Clip(image, rect);
    std::array<double, 3> sum = {0, 0, 0};
    long n = 0;
    for (int y = r.y0; y < r.y1; y++) {
        for (int x = r.x0; x < r.x1; x++, n++) {
            std::array<int, 3> c = image.Rgb(x, y);
            for (int i = 0; i < 3; i++) sum[i] += c[i];
        }
    }
    for (double& s : sum) s = n ? s / n : 0;
    return sum;
}

bool WriteRgbaPng(const std::string& path, int width, int height,
                  const std::vector<unsigned char>& rgba) {
    png_image image;
    memset(&image, 0, sizeof(image));
    image.version = PNG_IMAGE_VERSION;
    image.width = (png_uint_32)width;
    image.height = (png_uint_32)height;
    image.format = PNG_FORMAT_RGBA;
    if ((size_t)width * (size_t)height * 4 != rgba.size()) return false;
    return png_image_write_to_file(&image, path.c_str(), 0, rgba.data(), 0, nullptr) != 0;
}
