// Command line and run control: option scan, usage and fatal exit, the run sequence with its
// listing and test modes, and check mode.
#pragma once

#include <sys/types.h>

#include <cstdio>
#include <set>
#include <utility>

#include "TqPov/TqPov.h"
#include "TqSettings/TqSettings.h"

/// Switches that only the run control reads; StartRun gives the defaults.
struct RunSwitches {
    int Overwrite;        ///< -o: overwrite an existing output file; 0
    int PrintPrimitives;  ///< -pp: list primitives with equivalents; 0
    int UseLgeoColors;    ///< cleared by -nolgc and -nolgcf; 1 (used only with -lgeo or -kv)
    int UseLgeoFinishes;  ///< cleared by -nolgcf; 1 (used only with -lgeo or -kv)
};

/// Colour text into a colour number and/or RGB: -1 bad, 0 empty, 1 parsed.
int ParseColor(const char* text, int* colour, float* rgb);
/// Appends letter unless present; 1 when it was already there.
int strappchr(char* s, int letter);
/// Removes the first occurrence of letter; 1 when it was not there.
int strremchr(char* s, int letter);
/// Scans the arguments after the command name into the settings (ends the process on errors).
void ScanArguments(int argc, char** argv, RunSwitches* switches);
/// The checks that follow the scan.
void CheckArgumentsAfterScan(const RunSwitches* switches);

/// Prints the usage (unless -stdout) and "*** message.", then ends with status 1.
[[noreturn]] void Exit(const char* format, ...) TQ_PRINTF(1, 2);
/// A line Exit prints after its message when set: kLibraryOptionsFirst while a library option
/// would come too late; null.
extern const char* ExitHint;
/// The hint for library options given after an option that read the colour file.
extern const char kLibraryOptionsFirst[];
/// 1 while the option scan runs and a -ldd or -ldc option is still to come.
int LibraryOptionFollows();
/// 1 when everything written to standard output reached it (flushes it).
int StandardOutputIntact();
/// Ends a listing or check mode: status 0, or 1 with a message when standard output failed (a
/// full disk, a closed pipe), since the listing is then lost.
[[noreturn]] void ExitAfterListing();
/// Writes ProgVer and a newline.
void PrintProgVer(FILE* fp);
/// Hook between usage pages; no effect here.
void Pause();

/// Path of the colour file read (-ldc, else ldconfig.ldr of the library); empty when none.
extern char LdconfigLdrPath[kPathSize];
/// 1 once ReadColours has run; -ldd and -ldc are refused from then on; 0.
extern int LdconfigLdrRead;
/// Base name of the model without directory and extension, when FormOutputPath needs it; empty.
extern char SplitName[kPathSize];

/// Argument count and vector handed to the header callback.
struct CommandLine {
    int argc;     ///< number of arguments, the command name included
    char** argv;  ///< the arguments as given
};

/// What one run of the converter keeps while it runs.
struct TqrRun {
    CommandLine commandLine;    ///< as given, for the scene header
    RunSwitches switches;       ///< what the options asked for
    char sceneBuffer[1 << 20];  ///< the scene stream's buffer: scenes run to tens of megabytes
    /// Check mode: the directories walked, by device and inode. A symbolic link to a directory
    /// is followed only to one not walked yet: two links "a -> ." and "b -> ." would otherwise
    /// make the walk visit 2^depth paths.
    std::set<std::pair<dev_t, ino_t>> walkedDirs;
    int nCheckedFiles = 0;  ///< check mode: files read and checked
    int nSkippedFiles = 0;  ///< check mode: files left out as not LDraw text
};
/// The run: one per process.
extern TqrRun TheRun;

/// 1 when both paths name the same existing file (same device and inode).
int SameFile(const char* a, const char* b);
/// Creates the scene for target: beside it under a temporary name when target is a regular file
/// or new, else (FIFO, device, symbolic link) target itself; null when it cannot be written.
FILE* OpenSceneFile(const char* target);
/// Closes the scene and moves a complete one over its target; -1 when it could not be written
/// completely (a temporary file is removed then, and an old scene stays as it was).
int CloseSceneFile(FILE* fp);

/// Completes the output path (step by step as documented in the README); -1 when too long.
int FormOutputPath(const char* modelPath, char* povPath);
/// Locates the library and reads the colour file, once per process.
void ReadColours();
/// Header callback: colour file and command line.
void PrintPovHeaderExtra(FILE* fp, void* commandLine);
/// The whole run; returns the exit status (listing and check modes and Exit end the process).
int TqrMain(int argc, char** argv);

// ---------------------------------------------------------------- check mode

/// The last line of check mode: files checked, errors, warnings, files not found.
void PrintCheckSummary();
/// Characters cut from the front of a path handed to CheckPrimFile: the P directory and its
/// separator; 0.
extern int CheckPrimFileDirLen;
/// Primitives listed by -pp -check; 0.
extern int CheckPrimFileTotal;
/// Primitives listed with a note (a substitute, or irrelevant); 0.
extern int CheckPrimFileFound;
/// First part slot not yet listed by the cache listing of check mode with -d; 1.
extern int lastN;

/// Walks a directory tree calling action with the full path of every file; the action returns 1
/// when it counts the file as checked. Links to directories already walked are not followed.
void CheckDatDir(const char* dir, int (*action)(const char* path));
/// Checks one model or part file; 0 when it was skipped (not a regular or not a text file).
int CheckDatFile(const char* path);
/// Lists one primitive with its substitutes; 1.
int CheckPrimFile(const char* path);
/// 1 when LDrawDir/TQRPARTS is a directory.
int CheckTqrPartsDir();
