// Directory listings kept with the library search record: every directory a lookup looks into
// is listed once per record, and the listing answers which spellings of a name exist.
#include <dirent.h>

#include "LDrawIni/LDrawIni.h"

long nDirectoryListings = 0;

namespace {

void ListInto(const std::string& dir, LDrawDirListing* listing) {
    nDirectoryListings++;
    DIR* d = opendir(dir.c_str());
    if (!d) return;
    listing->listed = true;
    while (struct dirent* entry = readdir(d)) {
        std::string name = entry->d_name, lower = name;
        for (char& c : lower) c = (char)(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        listing->byLower[lower].push_back((int)listing->names.size());
        listing->exact.insert(name);
        listing->names.push_back(std::move(name));
    }
    closedir(d);
}

}  // namespace

const LDrawDirListing& LDrawIniListDir(LDrawIniS* ini, const std::string& dir,
                                       LDrawDirListing* scratch) {
    if (!ini || !ini->DirCache) {
        *scratch = LDrawDirListing{};
        ListInto(dir, scratch);
        return *scratch;
    }
    auto [it, inserted] = ini->DirCache->listings.try_emplace(dir);
    if (inserted) ListInto(dir, &it->second);
    return it->second;
}

void LDrawIniForgetListings(LDrawIniS* ini) {
    if (ini && ini->DirCache) ini->DirCache->listings.clear();
}
