// Joining the bands of a plan: each band is a full-size Targa picture of which only its own rows
// were rendered; those rows, in order, make the PNG. A band shows where it belongs twice: its
// name carries its place and its plan's token, and its pixels lie only in its own rows.
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <map>

#include "TqRender/TqRender.h"

namespace tqrender {

namespace {

// What POV-Ray leaves in the rows of a band it did not render: black, opaque where the picture
// has an alpha channel (a rendered transparent pixel has alpha 0).
const uint8_t kUnrenderedPixel[4] = {0, 0, 0, 255};

// True when every row of the band outside first..last (from 1) is unrendered. A band renamed or
// exchanged with another holds its pixels in other rows; its own rows are then empty, which is
// only harmless if the rows it did render are empty too, so a band whose rows lie elsewhere is
// refused whenever it matters.
bool OnlyOwnRowsRendered(const Raster& band, int first, int last) {
    size_t stride = (size_t)band.width * band.channels;
    for (int y = 0; y < band.height; y++) {
        if (y + 1 >= first && y + 1 <= last) continue;
        const uint8_t* row = &band.pixels[y * stride];
        for (size_t i = 0; i < stride; i++) {
            if (row[i] != kUnrenderedPixel[i % band.channels]) return false;
        }
    }
    return true;
}

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
    if (!OnlyOwnRowsRendered(band, first, last))
        return "it is not band " + std::to_string(index + 1) + " of " + std::to_string(count) +
               ": it has pixels outside rows " + std::to_string(first) + " to " +
               std::to_string(last);
    size_t stride = (size_t)band.width * band.channels;
    size_t from = (size_t)(first - 1) * stride, length = (size_t)(last - first + 1) * stride;
    memcpy(&joined->pixels[from], &band.pixels[from], length);
    return "";
}

// Puts bands named by a plan in their order and checks that each is given once and that all come
// from one plan: a missing band would otherwise leave its rows black, and one of an earlier plan
// (another camera, say) would join in unseen. Bands named otherwise are taken as given, top first.
std::string OrderBands(std::vector<std::string>* bands) {
    std::map<int, std::string> byIndex;
    int count = 0;
    std::string token;
    for (const std::string& path : *bands) {
        int index, total;
        std::string itsToken;
        if (!ParseBandFileName(path, &index, &total, &itsToken)) return "";
        if (count != 0 && (total != count || itsToken != token))
            return bands->front() + " and " + path + " are bands of different plans";
        count = total;
        token = itsToken;
        if (!byIndex.emplace(index, path).second) return path + " is given twice";
    }
    const std::string& first = bands->front();
    std::string prefix = first.substr(0, first.rfind("-band-"));
    for (int i = 0; i < count; i++) {
        if (!byIndex.count(i))
            return "band " + std::to_string(i + 1) + " of " + std::to_string(count) +
                   " is missing: " + prefix + BandFileName("", i, count, token);
    }
    bands->clear();
    for (const auto& entry : byIndex) bands->push_back(entry.second);
    return "";
}

// Reads the bands in order into one picture; "" or the reason, naming the band.
std::string JoinBands(const RenderOptions& options, const std::vector<std::string>& bands,
                      Raster* joined) {
    int count = (int)bands.size();
    // The plan's command gives the picture's size; without it the first band sets it.
    int width = options.sizeGiven ? options.width : 0;
    int height = options.sizeGiven ? options.height : 0;
    for (int i = 0; i < count && !InterruptSignal(); i++) {
        Raster band;
        // ReadTarga's messages name the file themselves.
        std::string error = ReadTarga(bands[i], width, height, &band);
        if (!error.empty()) return error;
        width = band.width;
        height = band.height;
        error = AddBand(band, i, count, joined);
        if (!error.empty()) return bands[i] + ": " + error;
    }
    return "";
}

}  // namespace

std::string BandFileName(const std::string& stem, int index, int count, const std::string& token) {
    char suffix[48];
    snprintf(suffix, sizeof(suffix), "-band-%02d-of-%02d", index + 1, count);
    return stem + suffix + (token.empty() ? "" : "-" + token) + ".tga";
}

bool ParseBandFileName(const std::string& path, int* index, int* count, std::string* token) {
    std::string name = BaseName(path);
    size_t at = name.rfind("-band-");
    if (at == std::string::npos) return false;
    int place = 0, total = 0, used = -1;
    if (sscanf(name.c_str() + at, "-band-%d-of-%d%n", &place, &total, &used) != 2 || used < 0 ||
        place < 1 || place > total)
        return false;
    std::string rest = name.substr(at + (size_t)used);
    // The rest is ".tga", or "-" and the plan's token and ".tga".
    if (rest.size() < 4 || rest.compare(rest.size() - 4, 4, ".tga") != 0) return false;
    rest.resize(rest.size() - 4);
    if (!rest.empty() && (rest[0] != '-' || rest.size() == 1)) return false;
    *index = place - 1;
    *count = total;
    *token = rest.empty() ? "" : rest.substr(1);
    return true;
}

// The clock and the process make it: no two plans share one, and a plan made again gets another.
std::string PlanToken() {
    timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    // FNV-1a over the three numbers, folded to 32 bits.
    uint64_t hash = 14695981039346656037ull;
    for (uint64_t part : {(uint64_t)now.tv_sec, (uint64_t)now.tv_nsec, (uint64_t)getpid()}) {
        for (int shift = 0; shift < 64; shift += 8) {
            hash = (hash ^ ((part >> shift) & 0xFF)) * 1099511628211ull;
        }
    }
    char token[16];
    snprintf(token, sizeof(token), "%08x", (unsigned)(hash ^ (hash >> 32)));
    return token;
}

int RunAssemble(const RenderOptions& options) {
    if (!CheckPictureName(options.out) || !CheckOverwrite(options, {options.out})) return 1;
    std::vector<std::string> bands = options.bands;
    std::string error = OrderBands(&bands);
    Raster joined;
    if (error.empty()) error = JoinBands(options, bands, &joined);
    if (!error.empty()) {
        ProgressNote("%s", ShownName(error).c_str());
        return 1;
    }
    if (InterruptSignal()) return 1;
    // Like every picture: written under a partial name, renamed when complete.
    std::string partial = PartialPath(options.out, ".png");
    RegisterTemporary(partial);
    if (!WritePng(partial, joined)) {
        ProgressNote("cannot write %s", ShownName(options.out).c_str());
        return 1;
    }
    if (InterruptSignal() || !PublishPicture(partial, options.out, options.force)) return 1;
    printf("%s\n", options.out.c_str());
    return StandardOutputWritten() ? 0 : 1;
}

}  // namespace tqrender
