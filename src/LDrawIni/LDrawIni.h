// Where the LDraw library lies and in which directories, in which order, files are looked for;
// the listings of the directories looked into, kept with the record. Needs only the text
// utilities and keeps no state of its own: everything lives in the record.
#pragma once

#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

/// What a directory holds, listed once: names in the order the system gives them, to be found
/// as written or ignoring letter case.
struct LDrawDirListing {
    bool listed = false;                                        ///< the directory could be read
    std::vector<std::string> names;                             ///< in readdir order
    std::unordered_set<std::string> exact;                      ///< the same names, for lookups
    std::unordered_map<std::string, std::vector<int>> byLower;  ///< lower-case name -> entries
};

/// The listings of every directory a record's lookups have looked into.
struct LDrawDirCache {
    std::unordered_map<std::string, LDrawDirListing> listings;  ///< directory -> its listing
    long nDirectoryListings = 0;  ///< directories listed into the cache (for the benchmark)
};

/// Hook that rewrites a path in place to an existing one differing only in letter case; user is
/// what the record was given with it.
typedef int (*LDrawIniFileCaseCallback)(void* user, char* path);

/// Tags of a search directory.
struct LDrawSearchFlag {
    /// The bits, one per tag.
    enum : int {
        HIDE = 0x01,     ///< "<HIDE>": carried along, searched like any other
        SKIP = 0x02,     ///< "<SKIP>": dropped when real directories are computed
        DEFPART = 0x04,  ///< files found here are parts
        DEFPRIM = 0x08,  ///< files found here are primitives
        MODELDIR = 0x10  ///< the model's own directory
    };
};

/// One real search directory.
struct LDrawSearchDirS {
    int Flags;          ///< LDrawSearchFlag bits
    char* UnknownTags;  ///< tags that are none of the known ones, as written; or null
    char* Dir;          ///< the directory, '/' separated, with a trailing '/' when requested
};

/// The library search record.
struct LDrawIniS {
    char* LDrawDir;               ///< base directory of the library, '\' turned into '/'
    char* LDrawDirSource;         ///< where LDrawDir came from
    int nSearchDirs;              ///< number of SearchDirs
    LDrawSearchDirS* SearchDirs;  ///< real search directories in search order
    char* SearchSource;           ///< where the symbolic list came from
    char* ModelDir;               ///< directory of the current model, or null
    int nSymbolicSearchDirs;      ///< number of SymbolicSearchDirs
    char** SymbolicSearchDirs;    ///< symbolic search directories as read
    LDrawDirCache* DirCache;      ///< listings of the directories looked into, made with the record
    LDrawIniFileCaseCallback FileCaseCallback;  ///< the case-lookup hook, or null
    void* FileCaseUser;                         ///< its argument
};

/// Builds the record; error code 0 ok, 1 out of memory, 2 no base directory found anywhere. The
/// case-lookup hook (may be null) finds directories spelt in another letter case, during the
/// search for the base directory as later.
LDrawIniS* LDrawIniGet(const char* ldrawDir, const char* ldrawDirSource, int* errorCode,
                       LDrawIniFileCaseCallback fileCase = nullptr, void* fileCaseUser = nullptr);
/// Computes SearchDirs and ModelDir for a model path (or none); 1 on success, 0 on failure.
int LDrawIniComputeRealDirs(LDrawIniS* ini, int onlyExistingDirs, int addTrailingSlash,
                            const char* modelPath);
/// Reads key in section from the ini files in their order (or only iniPath when it is set);
/// the file that held it is left in iniPath.
int LDrawIniReadSectionKey(const LDrawIniS* ini, const char* section, const char* key, char* value,
                           int valueSize, char* iniPath, int iniPathSize);
/// Reads key in section of one ini file; 1 found, 0 not found or no file.
int LDrawIniReadIniFile(const char* iniPath, const char* section, const char* key, char* value,
                        int valueSize);
/// Replaces the symbolic list by the given text (the default when null); 1 ok, 0 out of memory.
int LDrawIniResetSearchDirs(LDrawIniS* ini, const char* ldrawSearch);
/// Releases the record and everything it owns.
void LDrawIniFree(LDrawIniS* ini);
/// The listing of dir: remembered in the record's cache (a library holds thousands of files and
/// lookups would otherwise list whole directories on each miss), or, without a record, made into
/// scratch.
const LDrawDirListing& LDrawIniListDir(LDrawIniS* ini, const std::string& dir,
                                       LDrawDirListing* scratch);
/// Forgets the record's listings, after a directory it looked into has changed.
void LDrawIniForgetListings(LDrawIniS* ini);
/// The default symbolic search list.
const char* GetDefaultLDrawSearch();
/// Parses one symbolic entry into dir (which must be empty); 1 ok (dir->Dir null = yields nothing),
/// 0 on a parse error.
int LDrawIniParseSymbolicSearchDir(LDrawSearchDirS* dir, const char* symbolic, const char* ldrawDir,
                                   const char* modelDir, const char* homeDir);
/// Appends only when the whole result fits in size, else leaves dst unchanged.
char* strcatSafe(char* dst, const char* src, int size);
