// Joining the bands of a plan: each band is a full-size Targa picture of which only its own rows
// were rendered; those rows, in order, make the PNG.
#include <cstdio>
#include <cstring>
#include <map>

#include "TqRender/TqRender.h"

namespace tqrender {

namespace {

// Copies the rows band `index` rendered into the joined picture (sized by the first band).
std::string AddBand(const Raster& band, int index, int count, Raster* joined) {
    if (index == 0) {
        joined->width = band.width;
        joined->height = band.height;
        joined->channels = band.channels;
        joined->pixels.assign(band.pixels.size(), 0);
    }
    if (band.width != joined->width || band.height != joined->height ||
        band.channels != joined->channels)
        return "the bands differ in size or channels";
    if (count > band.height) return "more bands than rows";
    // Each band's rows follow from its place and the number of bands, as in the plan, so the
    // bands must come all of them and in order.
    int first, last;
    BandRows(band.height, count, index, &first, &last);
    size_t stride = (size_t)band.width * band.channels;
    size_t from = (size_t)(first - 1) * stride, length = (size_t)(last - first + 1) * stride;
    memcpy(&joined->pixels[from], &band.pixels[from], length);
    return "";
}

// Puts bands named by a plan in their order and checks that each is given once: a missing band
// would otherwise leave its rows black in a picture reported as written. Bands named otherwise
// are taken as given, top first.
std::string OrderBands(std::vector<std::string>* bands) {
    std::map<int, std::string> byIndex;
    int count = 0;
    for (const std::string& path : *bands) {
        int index, total;
        if (!ParseBandFileName(path, &index, &total)) return "";
        if (count != 0 && total != count)
            return bands->front() + " and " + path + " are bands of different plans";
        count = total;
        if (!byIndex.emplace(index, path).second) return path + " is given twice";
    }
    const std::string& first = bands->front();
    std::string prefix = first.substr(0, first.rfind("-band-"));
    for (int i = 0; i < count; i++) {
        if (!byIndex.count(i))
            return "band " + std::to_string(i + 1) + " of " + std::to_string(count) +
                   " is missing: " + prefix + BandFileName("", i, count);
    }
    bands->clear();
    for (const auto& entry : byIndex) bands->push_back(entry.second);
    return "";
}

}  // namespace

std::string BandFileName(const std::string& stem, int index, int count) {
    char suffix[48];
    snprintf(suffix, sizeof(suffix), "-band-%02d-of-%02d.tga", index + 1, count);
    return stem + suffix;
}

bool ParseBandFileName(const std::string& path, int* index, int* count) {
    std::string name = BaseName(path);
    size_t at = name.rfind("-band-");
    if (at == std::string::npos) return false;
    int place = 0, total = 0, used = -1;
    if (sscanf(name.c_str() + at, "-band-%d-of-%d.tga%n", &place, &total, &used) != 2 ||
        used < 0 || at + (size_t)used != name.size() || place < 1 || place > total)
        return false;
    *index = place - 1;
    *count = total;
    return true;
}

int RunAssemble(const RenderOptions& options) {
    if (!CheckOverwrite(options, {options.out})) return 1;
    std::vector<std::string> bands = options.bands;
    std::string error = OrderBands(&bands);
    if (!error.empty()) {
        ProgressNote("%s", error.c_str());
        return 1;
    }
    Raster joined;
    int count = (int)bands.size();
    for (int i = 0; i < count; i++) {
        Raster band;
        // ReadTarga's messages name the file themselves.
        error = ReadTarga(bands[i], &band);
        if (error.empty()) {
            error = AddBand(band, i, count, &joined);
            if (!error.empty()) error = bands[i] + ": " + error;
        }
        if (!error.empty()) {
            ProgressNote("%s", error.c_str());
            return 1;
        }
        if (InterruptSignal()) return 1;
    }
    // Like every picture: written under a partial name, renamed when complete.
    std::string partial = PartialPath(options.out);
    RegisterTemporary(partial);
    if (!WritePng(partial, joined)) {
        ProgressNote("cannot write %s", options.out.c_str());
        return 1;
    }
    if (InterruptSignal() || !PublishPicture(partial, options.out)) return 1;
    printf("%s\n", options.out.c_str());
    fflush(stdout);
    return 0;
}

}  // namespace tqrender
