// Printed parts: the !TEXMAP sections of a file, their projections and images. A texture that
// cannot be used leaves its section as a reader without textures sees it: the fallback geometry,
// the plain shape, is drawn instead, so a faulty print never costs a part.
#include <cmath>
#include <cstring>

#include "TqInput/TexMap.h"

namespace {

const char* const kMethods[] = {"PLANAR", "CYLINDRICAL", "SPHERICAL", nullptr};

double Distance(const float* a, const float* b) {
    double d[3] = {(double)b[0] - a[0], (double)b[1] - a[1], (double)b[2] - a[2]};
    return std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
}

// True when P3 lies off the line through P1 and P2 (which are apart).
bool OffTheLine(const float* p1, const float* p2, const float* p3) {
    double u[3], v[3];
    for (int k = 0; k < 3; k++) {
        u[k] = (double)p2[k] - p1[k];
        v[k] = (double)p3[k] - p1[k];
    }
    double c[3] = {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]};
    double lengths = std::sqrt(u[0] * u[0] + u[1] * u[1] + u[2] * u[2]) *
                     std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    return lengths > 0 && std::sqrt(c[0] * c[0] + c[1] * c[1] + c[2] * c[2]) > 1e-6 * lengths;
}

// Reads "<method> <9 numbers> [a [b]] <png>" after START or NEXT; the texture's 1 + index in the
// model's TexMaps, or 0 (reported) when it cannot be used.
int ReadTexture(Loader* loader, char** cursor) {
    Diagnostics* diag = loader->diag;
    TexMapEntry entry;
    TokenText method = GetNextToken(cursor, 0);
    if (!method.text[0]) {
        ErrorInInput(diag, 0, kWarning, "Texture method expected");
        return 0;
    }
    entry.Method = IsInList(method.text, kMethods);
    if (entry.Method < 0) {
        ErrorInInput(diag, 0, kWarning, "Unknown texture method %s", method.text);
        return 0;
    }
    const char* s = *cursor;
    float numbers[11];
    int wanted = 9 + (entry.Method == kTexCylindrical ? 1 : entry.Method == kTexSpherical ? 2 : 0);
    for (int i = 0; i < wanted; i++) {
        if (!ScanFloat(&s, &numbers[i])) {
            ErrorInInput(diag, 0, kWarning, "Texture numbers expected");
            return 0;
        }
    }
    *cursor = const_cast<char*>(s);
    memcpy(entry.Point, numbers, sizeof(entry.Point));
    entry.Angle[0] = wanted > 9 ? numbers[9] : 0;
    entry.Angle[1] = wanted > 10 ? numbers[10] : 0;
    const float* p = &entry.Point[0][0];
    bool spans =
        Distance(p, p + 3) > 0 &&
        (entry.Method == kTexPlanar ? Distance(p, p + 6) > 0 : OffTheLine(p, p + 3, p + 6));
    if (!spans) {
        ErrorInInput(diag, 0, kWarning, "Texture axis of zero length");
        return 0;
    }
    if (wanted > 9 && !(entry.Angle[0] > 0 && (wanted == 10 || entry.Angle[1] > 0))) {
        ErrorInInput(diag, 0, kWarning, "Texture angle must be above 0");
        return 0;
    }
    TokenText image = GetNextToken(cursor, 0);
    if (!image.text[0]) {
        ErrorInInput(diag, 0, kWarning, "Texture image name expected");
        return 0;
    }
    TextureLookup found = FindTexture(loader->library, image.text);
    if (found.path.empty()) {
        // Each image is named once, however many sections use it.
        if (loader->reportedTextures.insert(image.text).second)
            ErrorInInput(diag, 0, kWarning, "Texture image %s: %s; the part is drawn without it",
                         image.text, found.why.c_str());
        return 0;
    }
    entry.Png = found.path;
    loader->model->TexMaps.push_back(entry);
    return (int)loader->model->TexMaps.size();
}

}  // namespace

void ReadTexMapLine(TexMapState* tex, Loader* loader, char* meta) {
    char* cursor = meta;
    GetNextToken(&cursor, 0);  // !TEXMAP
    TokenText command = GetNextToken(&cursor, 0);
    const char* word = command.text;
    // Inside fallback geometry that is left out, nested sections are only counted, so that the
    // right END closes the fallback.
    if (SkipsGeometry(tex)) {
        if (strcmp(word, "START") == 0)
            tex->stack.push_back({});
        else if (strcmp(word, "FALLBACK") == 0 && !tex->stack.empty())
            tex->stack.back().inFallback = true;
        else if (strcmp(word, "END") == 0 && !tex->stack.empty())
            tex->stack.pop_back();
        return;
    }
    Diagnostics* diag = loader->diag;
    if (strcmp(word, "START") == 0) {
        tex->stack.push_back({ReadTexture(loader, &cursor), false});
    } else if (strcmp(word, "NEXT") == 0) {
        tex->next = ReadTexture(loader, &cursor);
    } else if (strcmp(word, "FALLBACK") == 0) {
        if (tex->stack.empty())
            ErrorInInput(diag, 0, kWarning, "!TEXMAP FALLBACK without START");
        else
            tex->stack.back().inFallback = true;
    } else if (strcmp(word, "END") == 0) {
        if (tex->stack.empty())
            ErrorInInput(diag, 0, kWarning, "!TEXMAP END without START");
        else
            tex->stack.pop_back();
    } else {
        ErrorInInput(diag, 0, kWarning, "Unknown !TEXMAP command %s", word);
    }
}

bool SkipsGeometry(const TexMapState* tex) {
    for (const TexMapFrame& frame : tex->stack) {
        if (frame.texMap && frame.inFallback) return true;
    }
    return false;
}

bool TakesTexturedLines(const TexMapState* tex) {
    return tex->on && !tex->stack.empty() && tex->stack.back().texMap &&
           !tex->stack.back().inFallback;
}

int TextureOfNextLine(TexMapState* tex) {
    if (tex->next) {
        int next = tex->next;
        tex->next = 0;
        return next;
    }
    for (size_t i = tex->stack.size(); i-- > 0;) {
        if (tex->stack[i].texMap) return tex->stack[i].texMap;
    }
    return 0;
}

void EndTextures(TexMapState* tex) {
    tex->stack.clear();
    tex->next = 0;
}
