// Finding files in the LDraw library: the library search record of this run, opening files by
// name whatever their letter case on disk, looking names up through the search directories, and
// the LGEO directory.
#pragma once

#include <cstdio>

#include "LDrawIni/LDrawIni.h"
#include "TqSettings/TqSettings.h"
#include "TqText/TqText.h"

/// Full path of the last file tried by OpenDatFile2.
extern char DatPath[kPathSize];
/// Extensions tried for a model name: as given, .ldr, .dat, .mpd.
extern const char* const Extensions[4];
/// The library search record, filled by ReadColours.
extern LDrawIniS* LDrawIni;

/// Files opened or tried so far (for the benchmark).
extern long nFileOpenAttempts;
/// Called with the path of every file opened for reading through the lookup (benchmark hook).
extern void (*OnFileOpened)(const char* path);
/// Rewrites path in place to the letter case found on disk; 1 when it exists.
int FindMatchingPath(char* path, int mustBeDir);
/// FindMatchingPath without the directory requirement; the hook for LDrawIni.
int TqFileCaseCallback(char* path);
/// Opens path trying it as written, name part lower, upper, then matched on disk.
FILE* fopeni(char* path, const char* mode);
/// Tries dir + name (+ extensions for a model) and fills DatPath.
FILE* OpenDatFile2(const char* dir, const char* name, int isModel);
/// Searches the current directory (models) and the search directories; flags of the hit.
FILE* OpenDatFile(const char* name, int isModel, int* flags);
/// DatPath.
const char* GetOpenDatFilePath();
/// Finds the LGEO directory; 1 when one is known.
int InitLgeoDir(const LDrawIniS* ini);
