// The images of printed parts: found in the textures folder beside any search directory whatever
// their letter case, and read through once, so that a scene never names an image POV-Ray cannot
// read.
#include <png.h>

#include <cstdlib>
#include <cstring>
#include <memory>

#include "TqLibrary/TqLibrary.h"

namespace {

// Decodes the whole image and throws the pixels away: a truncated or damaged file shows only
// when its last row is read.
bool ReadsAsPng(const char* path, std::string* why) {
    png_image image;
    memset(&image, 0, sizeof(image));
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path)) {
        *why = image.message;
        png_image_free(&image);
        return false;
    }
    // Grey is the smallest format, and the decoder checks every byte of the file whatever it
    // delivers.
    image.format = PNG_FORMAT_GRAY;
    // A header may claim any size; an image no real print needs is refused before the memory is
    // taken.
    if (image.width == 0 || image.height == 0 || image.width > 8192 || image.height > 8192) {
        *why = "image size out of range";
        png_image_free(&image);
        return false;
    }
    std::unique_ptr<png_byte[]> pixels(new (std::nothrow) png_byte[PNG_IMAGE_SIZE(image)]);
    if (!pixels) {
        *why = "out of memory";
        png_image_free(&image);
        return false;
    }
    if (!png_image_finish_read(&image, nullptr, pixels.get(), 0, nullptr)) {
        *why = image.message;
        png_image_free(&image);
        return false;
    }
    return true;
}

// A scene names the image inside a string, where a control character could end it and a
// backslash before a quote would change its meaning.
bool ScenesCanName(const std::string& path) {
    for (size_t i = 0; i < path.size(); i++) {
        unsigned char c = (unsigned char)path[i];
        if (c < 0x20 || c == 0x7F || (c == '\\' && i + 1 < path.size() && path[i + 1] == '"'))
            return false;
    }
    return true;
}

}  // namespace

TextureLookup FindTexture(Library* lib, const char* name) {
    TextureLookup result;
    const LDrawIniS* ini = lib->LDrawIni;
    if (!ini || !*name) return result;
    auto known = lib->textures.find(name);
    if (known != lib->textures.end()) return known->second;
    for (int i = 0; i < ini->nSearchDirs && result.path.empty(); i++) {
        char path[kPathSize];
        if (snprintf(path, sizeof(path), "%stextures/%s", ini->SearchDirs[i].Dir, name) >=
            (int)sizeof(path))
            continue;
        if (FindMatchingPath(lib, path, 0)) result.path = path;
    }
    if (result.path.empty()) {
        result.why = "not found";
    } else if (!ScenesCanName(result.path)) {
        result.why = "its path holds a line break or another character a scene cannot name";
        result.path.clear();
    } else if (!ReadsAsPng(result.path.c_str(), &result.why)) {
        result.path.clear();
    }
    lib->textures.emplace(name, result);
    return result;
}
