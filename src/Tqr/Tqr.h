// Command line and run control: option scan, usage and fatal exit, the run sequence with its
// listing and test modes, and check mode.
#pragma once

#include <sys/types.h>

#include <cstdio>
#include <set>
#include <utility>

#include "TqPov/TqPov.h"
#include "TqSettings/TqSettings.h"

/// Switches that only the run control reads; the run gives the defaults.
struct RunSwitches {
    int Overwrite = 0;        ///< -o: overwrite an existing output file; 0
    int PrintPrimitives = 0;  ///< -pp: list primitives with equivalents; 0
    int UseLgeoColors = 1;    ///< cleared by -nolgc and -nolgcf; 1 (used only with -lgeo or -kv)
    int UseLgeoFinishes = 1;  ///< cleared by -nolgcf; 1 (used only with -lgeo or -kv)
};

/// Argument count and vector handed to the header callback.
struct CommandLine {
    int argc = 0;           ///< number of arguments, the command name included
    char** argv = nullptr;  ///< the arguments as given
};

/// The scene file while it is written: beside its target under a temporary name, moved over the
/// target only once it is complete.
struct SceneFile {
    char TempPath[kPathSize] = "";     ///< the temporary file while it exists, else empty
    const char* TargetPath = nullptr;  ///< where the finished scene goes
    int registration = -1;             ///< its slot among the files a signal removes, or -1
};

/// What check mode keeps while it walks files and directories.
struct CheckRun {
    /// The directories walked, by device and inode. A symbolic link to a directory is followed
    /// only to one not walked yet: two links "a -> ." and "b -> ." would otherwise make the walk
    /// visit 2^depth paths.
    std::set<std::pair<dev_t, ino_t>> walkedDirs;
    int nCheckedFiles = 0;        ///< files read and checked
    int nSkippedFiles = 0;        ///< files left out as not LDraw text
    int CheckPrimFileDirLen = 0;  ///< characters cut from the front of a path by CheckPrimFile
    int CheckPrimFileTotal = 0;   ///< primitives listed by -pp -check
    int CheckPrimFileFound = 0;   ///< primitives listed with a note (a substitute, or irrelevant)
    int lastN = 1;                ///< first part slot not yet listed by the -d cache listing
};

/// One run of the converter: every record of the conversion, made by TqrMain and handed to the
/// stages that use them. Two runs share nothing, so they may run side by side in one process.
struct TqrRun {
    CommandLine commandLine;  ///< as given, for the scene header
    RunSwitches switches;     ///< what the options asked for that only run control reads
    TqSettings settings;      ///< what the options set
    Diagnostics diag;         ///< where every message goes, and their tally
    Library library;          ///< the library search record and the file lookup
    ColourTable colours;      ///< the colour file's and the built-in colours
    Model model;              ///< the part table and what was read
    Loader loader;            ///< the walk that loads the model
    SceneWriter writer;       ///< the scene, its counters, camera, lights and LGEO tables
    CheckRun check;           ///< check mode
    SceneFile scene;          ///< the scene file while it is written

    char LdconfigLdrPath[kPathSize] = "";  ///< the colour file read (-ldc, else the library's)
    int LdconfigLdrRead = 0;         ///< 1 once ReadColours has run; -ldd and -ldc are refused then
    char SplitName[kPathSize] = "";  ///< base name of the model, when FormOutputPath needs it
    /// A line Exit prints after its message when set: kLibraryOptionsFirst while a library option
    /// would come too late.
    const char* ExitHint = nullptr;
    char** unscannedArgs = nullptr;  ///< while the options are scanned: those still to come
    int nUnscannedArgs = 0;          ///< and their number

    bool finished = false;  ///< the run has ended (an error, a listing, check mode)
    int exitStatus = 0;     ///< its exit status once finished

    char sceneBuffer[1 << 20];  ///< the scene stream's buffer: scenes run to tens of megabytes

    TqrRun() { SetSettingsDefaults(&settings); }
    ~TqrRun() { FreeSettings(&settings); }
    TqrRun(const TqrRun&) = delete;
    TqrRun& operator=(const TqrRun&) = delete;
};

/// Connects the records of a run to each other and to its streams: input diagnostics and
/// listings go to out, messages to err.
void InitRun(TqrRun* run, FILE* out, FILE* err);

/// Colour text into a colour number and/or RGB: -1 bad, 0 empty, 1 parsed.
int ParseColor(TqrRun* run, const char* text, int* colour, float* rgb);
/// Appends letter unless present; 1 when it was already there.
int strappchr(char* s, int letter);
/// Removes the first occurrence of letter; 1 when it was not there.
int strremchr(char* s, int letter);
/// Scans the arguments after the command name into the run's records; false when the run ended
/// (a fault of the command line, or a listing such as -pc).
bool ScanArguments(TqrRun* run, int argc, char** argv);
/// The checks that follow the scan; false when the run ended.
bool CheckArgumentsAfterScan(TqrRun* run);

/// Prints the usage (unless -stdout) and "*** message.", and ends the run with status 1. Always
/// false, so that a caller can return it; a run that has ended already prints nothing more.
bool Exit(TqrRun* run, const char* format, ...) TQ_PRINTF(2, 3);
/// The hint for library options given after an option that read the colour file.
extern const char kLibraryOptionsFirst[];
/// 1 while the option scan runs and a -ldd or -ldc option is still to come.
int LibraryOptionFollows(const TqrRun* run);
/// 1 when everything written to standard output reached it (flushes it).
int StandardOutputIntact(TqrRun* run);
/// Ends a listing or check mode: status 0, or 1 with a message when standard output failed (a
/// full disk, a closed pipe), since the listing is then lost. Always false (the run has ended).
bool ExitAfterListing(TqrRun* run);
/// Writes ProgVer and a newline.
void PrintProgVer(FILE* fp);

/// 1 when both paths name the same existing file (same device and inode).
int SameFile(const char* a, const char* b);
/// Creates the scene for target: beside it under a temporary name when target is a regular file
/// or new, else (FIFO, device, symbolic link) target itself; null when it cannot be written.
FILE* OpenSceneFile(SceneFile* scene, const char* target);
/// Closes the scene and moves a complete one over its target; -1 when it could not be written
/// completely (a temporary file is removed then, and an old scene stays as it was).
int CloseSceneFile(SceneFile* scene, FILE* fp);

/// Completes the output path (step by step as documented in the README); -1 when too long.
int FormOutputPath(TqrRun* run, const char* modelPath, char* povPath);
/// Locates the library and reads the colour file, once per run; false when the run ended.
bool ReadColours(TqrRun* run);
/// Header callback: colour file and command line (userData: the run).
void PrintPovHeaderExtra(FILE* fp, void* userData);
/// The whole run with a run record set up by InitRun; returns the exit status.
int RunTqr(TqrRun* run, int argc, char** argv);
/// The whole run, with input diagnostics and listings on out and messages on err; returns the
/// exit status. Nothing is shared with another run, so that runs may go on side by side.
int TqrMain(int argc, char** argv, FILE* out = stdout, FILE* err = stderr);

// ---------------------------------------------------------------- check mode

/// The last line of check mode: files checked, errors, warnings, files not found.
void PrintCheckSummary(TqrRun* run);
/// What is done with each file of a directory walk; returns 1 when it counts the file as checked.
typedef int (*CheckAction)(TqrRun* run, const char* path);
/// Walks a directory tree calling action with the full path of every file. Links to directories
/// already walked are not followed.
void CheckDatDir(TqrRun* run, const char* dir, CheckAction action);
/// Checks one model or part file; 0 when it was skipped (not a regular or not a text file).
int CheckDatFile(TqrRun* run, const char* path);
/// Lists one primitive with its substitutes; 1.
int CheckPrimFile(TqrRun* run, const char* path);
/// 1 when LDrawDir/TQRPARTS is a directory.
int CheckTqrPartsDir(TqrRun* run);
