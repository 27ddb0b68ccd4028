// Joining the bands of a plan: each band is a full-size Targa picture of which only its own rows
// were rendered; those rows, in order, make the PNG.
#include <cstdio>
#include <cstring>

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

}  // namespace

int RunAssemble(const RenderOptions& options) {
    if (!CheckOverwrite(options, {options.out})) return 1;
    Raster joined;
    int count = (int)options.bands.size();
    for (int i = 0; i < count; i++) {
        Raster band;
        std::string error = ReadTarga(options.bands[i], &band);
        if (error.empty()) error = AddBand(band, i, count, &joined);
        if (!error.empty()) {
            ProgressNote("%s: %s", options.bands[i].c_str(), error.c_str());
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
