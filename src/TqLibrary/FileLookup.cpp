// Opening LDraw files by name whatever the letter case on disk, through the search directories;
// finding the LGEO directory.
#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "TqLibrary/TqLibrary.h"

const char* const Extensions[4] = {"", ".ldr", ".dat", ".mpd"};

namespace {

// The directory in which a path's last component is looked up, as the system would resolve it.
std::string DirectoryOf(const char* path, const char* slash) {
    if (!slash) return ".";
    if (slash == path) return "/";
    return std::string(path, (size_t)(slash - path));
}

// Existence as written, answered from the listing where one can be made.
bool ExistsAsWritten(Library* lib, const char* path) {
    const char* slash = strrchr(path, '/');
    const char* name = slash ? slash + 1 : path;
    // A listing can only say no for sure; a yes is confirmed by access (a dangling link is listed
    // too). A path that ends in '/' has no last name to look for.
    if (*name) {
        LDrawDirListing scratch;
        const LDrawDirListing& listing =
            LDrawIniListDir(lib->LDrawIni, DirectoryOf(path, slash), &scratch);
        if (listing.listed && !listing.exact.count(name)) return false;
    }
    return access(path, F_OK) == 0;
}

}  // namespace

int FindMatchingPath(Library* lib, char* path, int mustBeDir) {
    if (ExistsAsWritten(lib, path)) return 1;
    char* slash = strrchr(path, '/');
    char* name = slash ? slash + 1 : path;
    if (slash && slash != path) {
        // Fix the directory part first, one component at a time from the root down.
        *slash = '\0';
        int found = FindMatchingPath(lib, path, 1);
        *slash = '/';
        if (!found) return 0;
    }
    LDrawDirListing scratch;
    const LDrawDirListing& listing =
        LDrawIniListDir(lib->LDrawIni, DirectoryOf(path, slash), &scratch);
    if (!listing.listed) return 0;
    // Several entries may differ from name only in letter case; the first in listing order that
    // meets mustBeDir wins. The spelling on disk has the same length, so it is copied over name in
    // place and the path keeps its size.
    std::string lower = name;
    for (char& c : lower) c = (char)(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    auto candidates = listing.byLower.find(lower);
    if (candidates == listing.byLower.end()) return 0;
    for (int index : candidates->second) {
        const std::string& entry = listing.names[(size_t)index];
        if (strcasecmp(entry.c_str(), name) != 0) continue;
        memcpy(name, entry.c_str(), strlen(name));
        if (!mustBeDir || TqIsDir(path)) return 1;
    }
    return 0;
}

int TqFileCaseCallback(void* lib, char* path) {
    return (unsigned char)FindMatchingPath(static_cast<Library*>(lib), path, 0);
}

// Only regular files are opened: a directory opens for reading on Linux, a FIFO blocks and a
// device reads without end, and none of them is the file anyone asked for.
static FILE* OpenFile(Library* lib, const char* path) {
    lib->nFileOpenAttempts++;
    FILE* fp = OpenRegularFile(path);
    if (fp && lib->OnFileOpened) lib->OnFileOpened(lib->onFileOpenedUser, path);
    return fp;
}

// The mode is kept for callers; on this platform text and binary reading are the same.
FILE* fopeni(Library* lib, char* path, [[maybe_unused]] const char* mode) {
    char* slash = strrchr(path, '/');
    char* name = slash ? slash + 1 : path;
    LDrawDirListing scratch;
    const LDrawDirListing& listing =
        LDrawIniListDir(lib->LDrawIni, DirectoryOf(path, slash), &scratch);
    // Only names the listing shows are opened; without a listing every guess is tried.
    auto worthTrying = [&]() { return !listing.listed || !*name || listing.exact.count(name); };
    if (worthTrying()) {
        if (FILE* fp = OpenFile(lib, path)) return fp;
    }
    // The cheap guesses first: library files are mostly all lower or all upper case.
    char before[kPathSize];
    strncpy0(before, name, sizeof(before));
    Tqstrlwr(name);
    if (strcmp(before, name) != 0 && worthTrying()) {
        if (FILE* fp = OpenFile(lib, path)) return fp;
    }
    strncpy0(before, name, sizeof(before));
    Tqstrupr(name);
    if (strcmp(before, name) != 0 && worthTrying()) {
        if (FILE* fp = OpenFile(lib, path)) return fp;
    }
    // Last, the search that ignores letter case; path is left spelt as on disk when it succeeds.
    if (FindMatchingPath(lib, path, 0)) return OpenFile(lib, path);
    return nullptr;
}

static bool HasModelExtension(const char* name) {
    size_t n = strlen(name);
    if (n <= 4 || name[n - 4] != '.') return false;
    char ext[5];
    strncpy0(ext, name + n - 4, sizeof(ext));
    Tqstrlwr(ext);
    return strcmp(ext, ".ldr") == 0 || strcmp(ext, ".dat") == 0 || strcmp(ext, ".mpd") == 0;
}

FILE* OpenDatFile2(Library* lib, const char* dir, const char* name, int isModel, char* datPath) {
    // A model name without .ldr, .dat or .mpd (in any letter case) is tried as typed, then with
    // each of them; a reference from a file is tried exactly as written.
    int nTries = isModel && !HasModelExtension(name) ? 4 : 1;
    FILE* fp = nullptr;
    for (int i = 0; i < nTries && !fp; i++) {
        if (lib->verbose) fprintf(lib->diag->StdErr, " '%s'", Extensions[i]);
        int n = snprintf(datPath, kPathSize, "%s%s%s", dir ? dir : "", name, Extensions[i]);
        if (n >= kPathSize) continue;  // cannot name any file
        fp = fopeni(lib, datPath, "rb");
    }
    if (lib->verbose) fputs(fp ? " GOT IT!\n" : "\n", lib->diag->StdErr);
    return fp;
}

FILE* OpenDatFile(Library* lib, const char* name, int isModel, int* flags, char* datPath) {
    // A model is first looked for as typed, relative to the current directory, and only then in the
    // search directories. It always counts as a file of the user's (MODELDIR), never of the
    // library.
    if (isModel) {
        if (flags) *flags = LDrawSearchFlag::MODELDIR;
        if (lib->verbose) fprintf(lib->diag->StdErr, "Trying cur dir '%s'", name);
        if (FILE* fp = OpenDatFile2(lib, nullptr, name, 1, datPath)) return fp;
    }
    const LDrawIniS* ini = lib->LDrawIni;
    if (!ini) return nullptr;
    for (int i = 0; i < ini->nSearchDirs; i++) {
        const LDrawSearchDirS* dir = &ini->SearchDirs[i];
        if (flags) *flags = dir->Flags | (isModel ? LDrawSearchFlag::MODELDIR : 0);
        if (lib->verbose)
            fprintf(lib->diag->StdErr, "Trying SearchDirs[%d] %02x '%s' '%s'", i, dir->Flags,
                    dir->Dir, name);
        if (FILE* fp = OpenDatFile2(lib, dir->Dir, name, isModel, datPath)) return fp;
    }
    return nullptr;
}

// Accepts a directory spelled in any letter case and keeps the spelling found on disk.
static bool SetLgeoDirIfExists(Library* lib, TqInputRecord* input, const char* base,
                               const char* sub, const char* source) {
    char path[kPathSize];
    if (snprintf(path, sizeof(path), "%s%s", base, sub) >= (int)sizeof(path)) return false;
    if (!TqIsDir(path) && !(FindMatchingPath(lib, path, 1) && TqIsDir(path))) return false;
    strncpy0(input->LgeoDir, path, kPathSize);
    strncpy0(input->LgeoDirSource, source, kPathSize);
    return true;
}

int InitLgeoDir(Library* lib, TqInputRecord* input) {
    const LDrawIniS* ini = lib->LDrawIni;
    if (!input->LgeoDir[0]) {
        // Order: -lgd, LGEODIR (ignored when too long to be a path), LgeoDirectory of [LDraw] in an
        // ini file, then lgeo below the library and the typical place on disk. LgeoDirSource
        // serves as the ini path: empty, every ini file is searched and the one holding the key
        // stays as the source. An empty -lgd leaves its option text there, which names no file,
        // so that no ini file is searched.
        const char* env = getenv("LGEODIR");
        if (env && strlen(env) < (size_t)kPathSize) {
            strncpy0(input->LgeoDir, env, kPathSize);
            strncpy0(input->LgeoDirSource, "LGEODIR environment variable", kPathSize);
        } else if (!LDrawIniReadSectionKey(ini, "LDraw", "LgeoDirectory", input->LgeoDir, kPathSize,
                                           input->LgeoDirSource, kPathSize)) {
            const char* ldrawDir = ini && ini->LDrawDir ? ini->LDrawDir : nullptr;
            if ((ldrawDir && SetLgeoDirIfExists(lib, input, ldrawDir, "/lgeo", "LDRAWDIR/lgeo")) ||
                (ldrawDir &&
                 SetLgeoDirIfExists(lib, input, ldrawDir, "/Apps/lgeo", "LDRAWDIR/Apps/lgeo")) ||
                SetLgeoDirIfExists(lib, input, "/usr/local/share/lgeo", "",
                                   "Typical location on disk")) {
                return 1;
            }
            input->LgeoDir[0] = '\0';
            return 0;
        }
    }
    DeleteTrailingBackslash(input->LgeoDir);
    return 1;
}
