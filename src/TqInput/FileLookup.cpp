// Opening LDraw files by name whatever the letter case on disk, through the search directories.
#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "TqInput/TqInput.h"

char DatPath[kPathSize];
const char* const Extensions[4] = {"", ".ldr", ".dat", ".mpd"};

int FindMatchingPath(char* path, int mustBeDir) {
    if (access(path, F_OK) == 0) return 1;
    char* slash = strrchr(path, '/');
    char* name = slash ? slash + 1 : path;
    DIR* dir;
    if (!slash) {
        dir = opendir(".");
    } else if (slash == path) {
        dir = opendir("/");
    } else {
        // Fix the directory part first, one component at a time from the root down.
        *slash = '\0';
        int found = FindMatchingPath(path, 1);
        dir = found ? opendir(path) : nullptr;
        *slash = '/';
        if (!found) return 0;
    }
    if (!dir) return 0;
    int result = 0;
    while (struct dirent* entry = readdir(dir)) {
        if (strcasecmp(entry->d_name, name) != 0) continue;
        memcpy(name, entry->d_name, strlen(name));
        if (!mustBeDir || TqIsDir(path)) {
            result = 1;
            break;
        }
    }
    closedir(dir);
    return result;
}

int TqFileCaseCallback(char* path) { return (unsigned char)FindMatchingPath(path, 0); }

// A directory opens for reading on Linux, but it is never the file anyone asked for.
static FILE* OpenFile(const char* path, const char* mode) {
    FILE* fp = fopen(path, mode);
    if (!fp) return nullptr;
    struct stat st;
    if (fstat(fileno(fp), &st) == 0 && S_ISDIR(st.st_mode)) {
        fclose(fp);
        return nullptr;
    }
    return fp;
}

FILE* fopeni(char* path, const char* mode) {
    if (FILE* fp = OpenFile(path, mode)) return fp;
    char* slash = strrchr(path, '/');
    char* name = slash ? slash + 1 : path;
    // The cheap guesses first: library files are mostly all lower or all upper case.
    char before[kPathSize];
    strncpy0(before, name, sizeof(before));
    Tqstrlwr(name);
    if (strcmp(before, name) != 0) {
        if (FILE* fp = OpenFile(path, mode)) return fp;
    }
    strncpy0(before, name, sizeof(before));
    Tqstrupr(name);
    if (strcmp(before, name) != 0) {
        if (FILE* fp = OpenFile(path, mode)) return fp;
    }
    if (FindMatchingPath(path, 0)) return OpenFile(path, mode);
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

FILE* OpenDatFile2(const char* dir, const char* name, int isModel) {
    int nTries = isModel && !HasModelExtension(name) ? 4 : 1;
    FILE* fp = nullptr;
    for (int i = 0; i < nTries && !fp; i++) {
        if (TqVerboseOption) fprintf(StdErr, " '%s'", Extensions[i]);
        int n = snprintf(DatPath, sizeof(DatPath), "%s%s%s", dir ? dir : "", name, Extensions[i]);
        if (n >= (int)sizeof(DatPath)) continue;  // cannot name any file
        fp = fopeni(DatPath, "rb");
    }
    if (TqVerboseOption) fputs(fp ? " GOT IT!\n" : "\n", StdErr);
    return fp;
}

FILE* OpenDatFile(const char* name, int isModel, int* flags) {
    if (isModel) {
        if (flags) *flags = LDrawSearchFlag::MODELDIR;
        if (TqVerboseOption) fprintf(StdErr, "Trying cur dir '%s'", name);
        if (FILE* fp = OpenDatFile2(nullptr, name, 1)) return fp;
    }
    if (!LDrawIni) return nullptr;
    for (int i = 0; i < LDrawIni->nSearchDirs; i++) {
        const LDrawSearchDirS* dir = &LDrawIni->SearchDirs[i];
        if (flags) *flags = dir->Flags | (isModel ? LDrawSearchFlag::MODELDIR : 0);
        if (TqVerboseOption)
            fprintf(StdErr, "Trying SearchDirs[%d] %02x '%s' '%s'", i, dir->Flags, dir->Dir, name);
        if (FILE* fp = OpenDatFile2(dir->Dir, name, isModel)) return fp;
    }
    return nullptr;
}

const char* GetOpenDatFilePath() { return DatPath; }

// Accepts a directory spelled in any letter case and keeps the spelling found on disk.
static bool SetLgeoDirIfExists(const char* base, const char* sub, const char* source) {
    char path[kPathSize];
    if (snprintf(path, sizeof(path), "%s%s", base, sub) >= (int)sizeof(path)) return false;
    if (!TqIsDir(path) && !(FindMatchingPath(path, 1) && TqIsDir(path))) return false;
    strncpy0(TqInput.LgeoDir, path, kPathSize);
    strncpy0(TqInput.LgeoDirSource, source, kPathSize);
    return true;
}

int InitLgeoDir(const LDrawIniS* ini) {
    if (!TqInput.LgeoDir[0]) {
        const char* env = getenv("LGEODIR");
        TqInput.LgeoDirSource[0] = '\0';
        if (env && strlen(env) < (size_t)kPathSize) {
            strncpy0(TqInput.LgeoDir, env, kPathSize);
            strncpy0(TqInput.LgeoDirSource, "LGEODIR environment variable", kPathSize);
        } else if (!LDrawIniReadSectionKey(ini, "LDraw", "LgeoDirectory", TqInput.LgeoDir,
                                           kPathSize, TqInput.LgeoDirSource, kPathSize)) {
            const char* ldrawDir = ini && ini->LDrawDir ? ini->LDrawDir : nullptr;
            if ((ldrawDir && SetLgeoDirIfExists(ldrawDir, "/lgeo", "LDRAWDIR/lgeo")) ||
                (ldrawDir && SetLgeoDirIfExists(ldrawDir, "/Apps/lgeo", "LDRAWDIR/Apps/lgeo")) ||
                SetLgeoDirIfExists("/usr/local/share/lgeo", "", "Typical location on disk")) {
                return 1;
            }
            TqInput.LgeoDir[0] = '\0';
            return 0;
        }
    }
    DeleteTrailingBackslash(TqInput.LgeoDir);
    return 1;
}
