// The library search record: base directory, symbolic search list and the real search
// directories computed from it for a model.
#include "LDrawIni/LDrawIni.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "TqText/TqText.h"

// The model's own directory first, then the library's primitives (tagged hidden for the tools that
// list parts; searched all the same), parts and models. Written with '\' like the lists in ini
// files made on Windows; every '\' becomes '/' when the real directories are computed.
static const char kDefaultLDrawSearch[] =
    "<MODELDIR>|<HIDE><LDRAWDIR>\\P|<LDRAWDIR>\\PARTS|<LDRAWDIR>\\MODELS";

static char* CopyText(const char* s) {
    size_t n = strlen(s) + 1;
    char* copy = static_cast<char*>(malloc(n));
    if (copy) memcpy(copy, s, n);
    return copy;
}

static void BackslashesToSlashes(char* s) {
    for (; *s; s++) {
        if (*s == '\\') *s = '/';
    }
}

// A directory test that, when the path does not exist as written, lets the case-lookup hook
// rewrite it to the letter case on disk and tries again. The case-insensitive lookup lives in the
// library module above this one, which hands it to the record; without it, directory names are
// only found as written.
static int IsDirectory(const LDrawIniS* ini, char* path) {
    struct stat st;
    if (stat(path, &st) == 0) return S_ISDIR(st.st_mode);
    // The hook rewrites path in place, so a caller that keeps the path keeps the spelling on disk.
    if (ini->FileCaseCallback && ini->FileCaseCallback(ini->FileCaseUser, path))
        return stat(path, &st) == 0 && S_ISDIR(st.st_mode);
    return 0;
}

// A directory is taken for a library when it holds P and PARTS, spelt as in the default search
// list; through the case-lookup hook "p" and "parts" pass as well.
static int DirHasPandPARTS(const LDrawIniS* ini, char* dir) {
    char path[1024];
    if (!IsDirectory(ini, dir)) return 0;
    strncpy0(path, dir, sizeof(path));
    strcatSafe(path, "/P", sizeof(path));
    if (!IsDirectory(ini, path)) return 0;
    strncpy0(path, dir, sizeof(path));
    strcatSafe(path, "/PARTS", sizeof(path));
    return IsDirectory(ini, path);
}

static char* TryTypicalLDrawDirs(const LDrawIniS* ini) {
    char candidate[1024];
    const char* home = getenv("HOME");
    if (home) {
        strncpy0(candidate, home, sizeof(candidate));
        strcatSafe(candidate, "/LDRAW", sizeof(candidate));
        // The test may have rewritten candidate to its spelling on disk (~/ldraw for ~/LDRAW); that
        // is the one kept.
        if (DirHasPandPARTS(ini, candidate)) return CopyText(candidate);
    }
    strncpy0(candidate, "/usr/local/share/LDRAW", sizeof(candidate));
    if (DirHasPandPARTS(ini, candidate)) return CopyText(candidate);
    return nullptr;
}

static void FreeSymbolicDirs(LDrawIniS* ini) {
    for (int i = 0; i < ini->nSymbolicSearchDirs; i++) free(ini->SymbolicSearchDirs[i]);
    free(ini->SymbolicSearchDirs);
    ini->SymbolicSearchDirs = nullptr;
    ini->nSymbolicSearchDirs = 0;
}

static void FreeSearchDirs(LDrawIniS* ini) {
    for (int i = 0; i < ini->nSearchDirs; i++) {
        free(ini->SearchDirs[i].UnknownTags);
        free(ini->SearchDirs[i].Dir);
    }
    free(ini->SearchDirs);
    ini->SearchDirs = nullptr;
    ini->nSearchDirs = 0;
}

static int AddSymbolicDir(LDrawIniS* ini, const char* text, size_t length) {
    // Grown one entry at a time: a search list holds a handful of directories.
    char** grown = static_cast<char**>(
        realloc(ini->SymbolicSearchDirs, (ini->nSymbolicSearchDirs + 1) * sizeof(char*)));
    if (!grown) return 0;
    ini->SymbolicSearchDirs = grown;
    char* copy = static_cast<char*>(malloc(length + 1));
    if (!copy) return 0;
    memcpy(copy, text, length);
    copy[length] = '\0';
    ini->SymbolicSearchDirs[ini->nSymbolicSearchDirs++] = copy;
    return 1;
}

// Cuts the list at every '|'; nothing follows a final '|' and an empty text gives no entry.
static int SplitLDrawSearch(LDrawIniS* ini, const char* text) {
    const char* start = text;
    while (*start) {
        const char* bar = strchr(start, '|');
        size_t length = bar ? (size_t)(bar - start) : strlen(start);
        if (!AddSymbolicDir(ini, start, length)) return 0;
        if (!bar) break;
        start = bar + 1;
    }
    return 1;
}

const char* GetDefaultLDrawSearch() {
    return kDefaultLDrawSearch;
}

static int ReadSymbolicList(LDrawIniS* ini) {
    // The first source that exists gives the whole list: LDRAWSEARCH (entries separated by '|'),
    // then LDRAWSEARCH01, 02, ... (one entry each, up to the first number missing), then the keys
    // 1, 2, ... of [LDrawSearch] in an ini file, then the default.
    const char* env = getenv("LDRAWSEARCH");
    if (env) {
        ini->SearchSource = CopyText("LDRAWSEARCH environment variable");
        return ini->SearchSource && SplitLDrawSearch(ini, env);
    }
    if (getenv("LDRAWSEARCH01")) {
        for (int i = 1; i <= 99; i++) {
            char name[32];
            snprintf(name, sizeof(name), "LDRAWSEARCH%02d", i);
            const char* value = getenv(name);
            if (!value) break;
            if (!AddSymbolicDir(ini, value, strlen(value))) return 0;
        }
        ini->SearchSource = CopyText("LDRAWSEARCH01 etc. environment variables");
        return ini->SearchSource != nullptr;
    }
    char value[1024], iniPath[1024] = "";
    if (LDrawIniReadSectionKey(ini, "LDrawSearch", "1", value, sizeof(value), iniPath,
                               sizeof(iniPath))) {
        if (!AddSymbolicDir(ini, value, strlen(value))) return 0;
        for (int i = 2; i <= 99; i++) {
            char key[8];
            // The later keys are read from the file that held key 1 only: a list is never pieced
            // together from several files.
            snprintf(key, sizeof(key), "%d", i);
            if (!LDrawIniReadIniFile(iniPath, "LDrawSearch", key, value, sizeof(value))) break;
            if (!AddSymbolicDir(ini, value, strlen(value))) return 0;
        }
        ini->SearchSource = CopyText(iniPath);
        return ini->SearchSource != nullptr;
    }
    ini->SearchSource = CopyText("Default");
    return ini->SearchSource && SplitLDrawSearch(ini, kDefaultLDrawSearch);
}

static int FindBaseDirectory(LDrawIniS* ini, const char* ldrawDir, const char* source) {
    // The base directory: the caller's (-ldd), LDRAWDIR, BaseDirectory of [LDraw] in an ini file,
    // then the typical places on disk. 0 found, 1 out of memory, 2 nowhere.
    if (ldrawDir) {
        ini->LDrawDir = CopyText(ldrawDir);
        ini->LDrawDirSource = CopyText(source ? source : "LDrawIniGet argument");
        return ini->LDrawDir && ini->LDrawDirSource ? 0 : 1;
    }
    const char* env = getenv("LDRAWDIR");
    if (env) {
        ini->LDrawDir = CopyText(env);
        ini->LDrawDirSource = CopyText("LDRAWDIR environment variable");
        return ini->LDrawDir && ini->LDrawDirSource ? 0 : 1;
    }
    char value[1024], iniPath[1024] = "";
    if (LDrawIniReadSectionKey(ini, "LDraw", "BaseDirectory", value, sizeof(value), iniPath,
                               sizeof(iniPath))) {
        ini->LDrawDir = CopyText(value);
        ini->LDrawDirSource = CopyText(iniPath);
        return ini->LDrawDir && ini->LDrawDirSource ? 0 : 1;
    }
    ini->LDrawDir = TryTypicalLDrawDirs(ini);
    if (!ini->LDrawDir) return 2;
    ini->LDrawDirSource = CopyText("Typical location on disk");
    return ini->LDrawDirSource ? 0 : 1;
}

LDrawIniS* LDrawIniGet(const char* ldrawDir, const char* ldrawDirSource, int* errorCode,
                       LDrawIniFileCaseCallback fileCase, void* fileCaseUser) {
    int localError;
    if (!errorCode) errorCode = &localError;
    *errorCode = 1;
    LDrawIniS* ini = static_cast<LDrawIniS*>(calloc(1, sizeof(LDrawIniS)));
    if (!ini) return nullptr;
    ini->FileCaseCallback = fileCase;
    ini->FileCaseUser = fileCaseUser;
    int error = FindBaseDirectory(ini, ldrawDir, ldrawDirSource);
    if (error == 0) {
        // A base directory from an ini file may be written with '\'.
        BackslashesToSlashes(ini->LDrawDir);
        if (!ReadSymbolicList(ini)) error = 1;
    }
    if (error) {
        LDrawIniFree(ini);
        *errorCode = error;
        return nullptr;
    }
    // std::nothrow: nothing in this program throws, and running out of memory is reported as error
    // 1 like every other allocation here.
    ini->DirCache = new (std::nothrow) LDrawDirCache;
    if (!ini->DirCache) {
        LDrawIniFree(ini);
        return nullptr;
    }
    *errorCode = 0;
    return ini;
}

int LDrawIniResetSearchDirs(LDrawIniS* ini, const char* ldrawSearch) {
    if (!ini) return 0;
    FreeSymbolicDirs(ini);
    return SplitLDrawSearch(ini, ldrawSearch ? ldrawSearch : kDefaultLDrawSearch);
}

void LDrawIniFree(LDrawIniS* ini) {
    if (!ini) return;
    delete ini->DirCache;
    FreeSearchDirs(ini);
    FreeSymbolicDirs(ini);
    free(ini->LDrawDir);
    free(ini->LDrawDirSource);
    free(ini->SearchSource);
    free(ini->ModelDir);
    free(ini);
}

static int AppendUnknownTag(LDrawSearchDirS* dir, const char* tag, size_t length) {
    size_t have = dir->UnknownTags ? strlen(dir->UnknownTags) : 0;
    char* grown = static_cast<char*>(realloc(dir->UnknownTags, have + length + 1));
    if (!grown) return 0;
    memcpy(grown + have, tag, length);
    grown[have + length] = '\0';
    dir->UnknownTags = grown;
    return 1;
}

// An entry "<LDRAWDIR>" + one separator + name, exactly.
static bool IsLDrawSubDir(const char* rest, const char* name) {
    return (rest[0] == '\\' || rest[0] == '/') && strcmp(rest + 1, name) == 0;
}

// The tags before the directory ("<SKIP>", "<DEFPART>", ...) into the flags, unknown ones
// collected as written; *s moves past them. 0 when memory ran out.
static int ParseTags(LDrawSearchDirS* dir, const char** cursor) {
    const char* s = *cursor;
    // Tags stand before the directory and end at the first base tag (<LDRAWDIR>, <MODELDIR>,
    // <HOMEDIR>). <SHOW>, the opposite of <HIDE>, is the default and needs no flag; unknown tags
    // are kept as written, though nothing acts on them.
    while (s[0] == '<') {
        const char* close = strchr(s, '>');
        if (!close) break;
        size_t length = (size_t)(close - s) + 1;
        if (strncmp(s, "<LDRAWDIR>", length) == 0 || strncmp(s, "<MODELDIR>", length) == 0 ||
            strncmp(s, "<HOMEDIR>", length) == 0) {
            break;
        }
        if (length == 6 && strncmp(s, "<SKIP>", 6) == 0) {
            dir->Flags |= LDrawSearchFlag::SKIP;
        } else if (length == 6 && strncmp(s, "<HIDE>", 6) == 0) {
            dir->Flags |= LDrawSearchFlag::HIDE;
        } else if (length == 9 && strncmp(s, "<DEFPART>", 9) == 0) {
            dir->Flags |= LDrawSearchFlag::DEFPART;
        } else if (length == 9 && strncmp(s, "<DEFPRIM>", 9) == 0) {
            dir->Flags |= LDrawSearchFlag::DEFPRIM;
        } else if (!(length == 6 && strncmp(s, "<SHOW>", 6) == 0)) {
            if (!AppendUnknownTag(dir, s, length)) return 0;
        }
        s = close + 1;
    }
    *cursor = s;
    return 1;
}

int LDrawIniParseSymbolicSearchDir(LDrawSearchDirS* dir, const char* symbolic, const char* ldrawDir,
                                   const char* modelDir, const char* homeDir) {
    if (!dir || !symbolic || !ldrawDir) return 0;
    dir->Flags = 0;
    dir->UnknownTags = nullptr;
    dir->Dir = nullptr;
    const char* s = symbolic;
    if (!ParseTags(dir, &s)) return 0;
    // A quoted path: from after the first quote to before the next one (or the end).
    char unquoted[1024];
    const char* quote = strchr(s, '"');
    if (quote) {
        const char* endQuote = strchr(quote + 1, '"');
        size_t length = endQuote ? (size_t)(endQuote - quote - 1) : strlen(quote + 1);
        if (length >= sizeof(unquoted)) length = sizeof(unquoted) - 1;
        memcpy(unquoted, quote + 1, length);
        unquoted[length] = '\0';
        s = unquoted;
    }
    // Without a base tag the path is taken as written, relative to the current directory or
    // absolute.
    const char* base = "";
    if (strncmp(s, "<LDRAWDIR>", 10) == 0) {
        base = ldrawDir;
        s += 10;
        // Only <LDRAWDIR>\P and <LDRAWDIR>\PARTS (either separator, capitals as here) mark
        // primitives and parts by themselves; any other directory needs <DEFPRIM> or <DEFPART>.
        if (IsLDrawSubDir(s, "P")) dir->Flags |= LDrawSearchFlag::DEFPRIM;
        if (IsLDrawSubDir(s, "PARTS")) dir->Flags |= LDrawSearchFlag::DEFPART;
    } else if (strncmp(s, "<MODELDIR>", 10) == 0) {
        base = modelDir;
        s += 10;
        dir->Flags |= LDrawSearchFlag::MODELDIR;
    } else if (strncmp(s, "<HOMEDIR>", 9) == 0) {
        base = homeDir;
        s += 9;
    }
    if (!base) return 1;  // no model or home directory: the entry yields nothing
    size_t baseLength = strlen(base), restLength = strlen(s);
    // One more character is reserved for the trailing '/'.
    dir->Dir = static_cast<char*>(malloc(baseLength + restLength + 2));
    if (!dir->Dir) return 0;
    memcpy(dir->Dir, base, baseLength);
    memcpy(dir->Dir + baseLength, s, restLength + 1);
    BackslashesToSlashes(dir->Dir);
    return 1;
}

static char* ModelDirOf(const char* modelPath) {
    const char* sep = nullptr;
    for (const char* p = modelPath; *p; p++) {
        if (*p == '/' || *p == '\\') sep = p;
    }
    // Everything before the last separator, '/' or '\'; a bare file name lies in the current
    // directory.
    if (!sep) return CopyText(".");
    // A model in the root directory: its directory is "/", not the empty (current) one.
    if (sep == modelPath) return CopyText("/");
    size_t length = (size_t)(sep - modelPath);
    char* dir = static_cast<char*>(malloc(length + 1));
    if (!dir) return nullptr;
    memcpy(dir, modelPath, length);
    dir[length] = '\0';
    return dir;
}

int LDrawIniComputeRealDirs(LDrawIniS* ini, int onlyExistingDirs, int addTrailingSlash,
                            const char* modelPath) {
    if (!ini || !ini->LDrawDir || ini->nSymbolicSearchDirs == 0) return 0;
    FreeSearchDirs(ini);
    // Room for every symbolic entry; entries that are dropped leave theirs unused.
    ini->SearchDirs = static_cast<LDrawSearchDirS*>(
        calloc((size_t)ini->nSymbolicSearchDirs, sizeof(LDrawSearchDirS)));
    if (!ini->SearchDirs) return 0;
    free(ini->ModelDir);
    ini->ModelDir = modelPath ? ModelDirOf(modelPath) : nullptr;
    const char* home = getenv("HOME");
    for (int i = 0; i < ini->nSymbolicSearchDirs; i++) {
        LDrawSearchDirS dir = {};  // freed below even when parsing stops early
        if (!LDrawIniParseSymbolicSearchDir(&dir, ini->SymbolicSearchDirs[i], ini->LDrawDir,
                                            ini->ModelDir, home)) {
            free(dir.UnknownTags);
            FreeSearchDirs(ini);
            return 0;
        }
        bool keep = dir.Dir != nullptr && !(dir.Flags & LDrawSearchFlag::SKIP);
        // The test goes through the case-lookup hook and so leaves dir.Dir spelt as on disk
        // (.../parts for <LDRAWDIR>\PARTS). An empty directory stands for the current one: it is
        // not tested, and a '/' would turn it into the root.
        if (keep && onlyExistingDirs && dir.Dir[0] && !IsDirectory(ini, dir.Dir)) keep = false;
        if (!keep) {
            free(dir.UnknownTags);
            free(dir.Dir);
            continue;
        }
        // The root directory has its slash already.
        if (addTrailingSlash && dir.Dir[0] && strcmp(dir.Dir, "/") != 0) strcat(dir.Dir, "/");
        ini->SearchDirs[ini->nSearchDirs++] = dir;
    }
    return 1;
}
