// Finding files in the LDraw library: the library search record of this run, opening files by
// name whatever their letter case on disk, looking names up through the search directories, and
// the LGEO directory.
#pragma once

#include <cstdio>
#include <string>
#include <unordered_map>

#include "LDrawIni/LDrawIni.h"
#include "TqDiag/TqDiag.h"
#include "TqSettings/TqSettings.h"
#include "TqText/TqText.h"

/// Extensions tried for a model name: as given, .ldr, .dat, .mpd.
extern const char* const Extensions[4];

/// Where the image of a printed part was found, or why it cannot be used.
struct TextureLookup {
    std::string path;  ///< the image, readable as PNG; empty when it cannot be used
    std::string why;   ///< "not found", or what is wrong with the file
};

/// The file lookup of one run: the library search record, where lookups are reported, and
/// what they cost.
struct Library {
    LDrawIniS* LDrawIni = nullptr;  ///< the library search record, filled by ReadColours; owned
    Diagnostics* diag = nullptr;    ///< receives the -v trace of every lookup
    int verbose = 0;                ///< -v: trace every lookup
    long nFileOpenAttempts = 0;     ///< files opened or tried so far (for the benchmark)
    /// Called with the path of every file opened for reading through the lookup (benchmark hook).
    void (*OnFileOpened)(void* user, const char* path) = nullptr;
    void* onFileOpenedUser = nullptr;  ///< its first argument
    /// The texture images looked for, by name as written: each is found and checked once.
    std::unordered_map<std::string, TextureLookup> textures;

    Library() = default;
    ~Library() { LDrawIniFree(LDrawIni); }
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;
};

/// Rewrites path in place to the letter case found on disk; 1 when it exists.
int FindMatchingPath(Library* lib, char* path, int mustBeDir);
/// FindMatchingPath without the directory requirement; the hook for LDrawIni (user: the Library).
int TqFileCaseCallback(void* lib, char* path);
/// Opens path trying it as written, name part lower, upper, then matched on disk.
FILE* fopeni(Library* lib, char* path, const char* mode);
/// Tries dir + name (+ extensions for a model); the path tried last is left in datPath
/// (kPathSize characters).
FILE* OpenDatFile2(Library* lib, const char* dir, const char* name, int isModel, char* datPath);
/// Searches the current directory (models) and the search directories; flags of the hit, and the
/// path opened in datPath (kPathSize characters).
FILE* OpenDatFile(Library* lib, const char* name, int isModel, int* flags, char* datPath);
/// The image of a printed part: name in the textures folder beside any search directory (in any
/// letter case), decoded once to be sure POV-Ray can read it.
TextureLookup FindTexture(Library* lib, const char* name);
/// Finds the LGEO directory into input; 1 when one is known.
int InitLgeoDir(Library* lib, TqInputRecord* input);
