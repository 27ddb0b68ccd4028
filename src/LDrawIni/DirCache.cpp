// Directory listings kept with the library search record: every directory a lookup looks into
// is listed once per record, and the listing answers which spellings of a name exist.
#include <dirent.h>

#include "LDrawIni/LDrawIni.h"

namespace {

void ListInto(const std::string& dir, LDrawDirListing* listing) {
    DIR* d = opendir(dir.c_str());
    // A directory that cannot be read stays unlisted; lookups then try the path as written.
    if (!d) return;
    listing->listed = true;
    while (struct dirent* entry = readdir(d)) {
        // One lower-case key may stand for several entries: a case-sensitive file system can hold
        // "Stud.dat" next to "stud.dat", and a lookup that ignores case must see both. Folding is
        // ASCII only, like every other case rule for LDraw names.
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
    // Without a record (no library yet) nothing is remembered: the directory is listed afresh into
    // the caller's scratch listing.
    if (!ini || !ini->DirCache) {
        *scratch = LDrawDirListing{};
        ListInto(dir, scratch);
        return *scratch;
    }
    // Listed once per record and trusted from then on, a failed listing too; after a change of the
    // directory, LDrawIniForgetListings makes the next lookup list it again.
    auto [it, inserted] = ini->DirCache->listings.try_emplace(dir);
    if (inserted) {
        // Counted whether or not the directory could be opened: every attempt costs a system call.
        ini->DirCache->nDirectoryListings++;
        ListInto(dir, &it->second);
    }
    return it->second;
}

void LDrawIniForgetListings(LDrawIniS* ini) {
    if (ini && ini->DirCache) ini->DirCache->listings.clear();
}
