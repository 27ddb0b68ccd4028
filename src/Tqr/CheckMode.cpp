// Check mode: walks files and directory trees, reading and checking every file without writing a
// scene, and lists which primitives have substitutes.
#include <dirent.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <set>
#include <utility>

#include "TqPov/TqPov.h"
#include "Tqr/Tqr.h"

namespace {

// True (with one line saying why) for a file that check mode cannot read as LDraw text. A file
// that does not open at all is left to the loader, which looks for it and reports it.
bool IsUncheckable(FILE* out, const char* path) {
    FILE* fp = OpenRegularFile(path);
    if (!fp) {
        if (errno != EINVAL) return false;
        fprintf(out, "'%s' is not a regular file, skipped\n", path);
        return true;
    }
    FileKind kind = SniffFile(fp);
    fclose(fp);
    switch (kind) {
        case FileKind::kUtf16:
            fprintf(out, "'%s' is UTF-16 text, not an LDraw file, skipped\n", path);
            return true;
        case FileKind::kBinary:
        case FileKind::kTextWithNul:
            // Textures and other binary files in a library would flood the listing.
            fprintf(out, "'%s' is not a text file, skipped\n", path);
            return true;
        default:
            return false;
    }
}

}  // namespace

// The directory is recorded as walked before its entries, so that a link back to it is not
// followed. The buffer keeps a trailing '/' for the entries to be appended to.
void CheckDatDir(TqrRun* run, const char* dir, CheckAction action) {
    std::set<std::pair<dev_t, ino_t>>& walked = run->check.walkedDirs;
    char buffer[kPathSize];
    if (!*dir || strlen(dir) + 2 > sizeof(buffer)) return;
    strncpy0(buffer, dir, sizeof(buffer));
    size_t length = strlen(buffer);
    if (buffer[length - 1] != '/') {
        buffer[length++] = '/';
        buffer[length] = '\0';
    }
    struct stat self;
    if (stat(buffer, &self) == 0) walked.insert({self.st_dev, self.st_ino});
    DIR* d = opendir(buffer);
    if (!d) return;
    int count = 0;
    while (struct dirent* entry = readdir(d)) {
        if (strcmp(entry->d_name, ".") == 0 || strcmp(entry->d_name, "..") == 0) continue;
        char path[kPathSize];
        if (snprintf(path, sizeof(path), "%s%s", buffer, entry->d_name) >= (int)sizeof(path))
            continue;
        // stat follows links, so a link to a directory is walked (once); lstat tells it is one.
        struct stat st;
        if (stat(path, &st) == 0 && S_ISDIR(st.st_mode)) {
            struct stat link;
            bool isLink = lstat(path, &link) == 0 && S_ISLNK(link.st_mode);
            if (!isLink || !walked.count({st.st_dev, st.st_ino})) CheckDatDir(run, path, action);
            continue;
        }
        count += action(run, path);
    }
    closedir(d);
    buffer[length - 1] = '\0';
    // The count belongs to the listing and shows progress on the console too, unless -stdout
    // already sends both to one stream.
    const Diagnostics& diag = run->diag;
    fprintf(diag.Out, "%d files in %s checked.\n", count, buffer);
    if (diag.StdErr != diag.Out) fprintf(diag.StdErr, "%d files in %s checked.\n", count, buffer);
}

int CheckDatFile(TqrRun* run, const char* path) {
    FILE* out = run->diag.Out;
    if (IsUncheckable(out, path)) {
        run->check.nSkippedFiles++;
        return 0;
    }
    run->check.nCheckedFiles++;
    // Every line with geometry (types 1 to 5) is kept to be checked; comments need no storing.
    SetLineTypeSaveMask(&run->model, 0x3E);
    fprintf(out, "'%s'\n", path);
    if (LoadModelPre(&run->loader, path) == 0) LoadModel(&run->loader);
    PartTable& parts = run->model.Parts;
    if (run->settings.TqPov.Debug) {
        // -d: the files this one added to the part table.
        int& lastN = run->check.lastN;
        for (int i = lastN; i < parts.nParts(); i++) {
            if (parts[i].DatName) fprintf(out, "Cache#%d %s\n", i, parts[i].DatName);
        }
        lastN = parts.nParts();
    }
    // The entries stay: a part that a later file uses again is not read and checked again.
    for (int i = 0; i < parts.nParts(); i++) FreeLines(&parts[i]);
    return 1;
}

// One line per file of P, named as a reference would name it: "irrelevant" for primitives of edge
// lines only and for speed primitives (used only inside other primitives), else whether a POV-Ray
// solid (TQR) or a TQRPARTS file stands in for it.
int CheckPrimFile(TqrRun* run, const char* path) {
    LoadModelPre(&run->loader, path);
    CheckRun& check = run->check;
    char name[kPathSize] = "";
    if ((int)strlen(path) >= check.CheckPrimFileDirLen)
        strncpy0(name, path + check.CheckPrimFileDirLen, sizeof(name));
    FixDatName(name);
    char note[41] = "";
    if (IsLineType2Primitive(name) || IsSpeedPrimitive(name)) {
        strncpy0(note, "  irrelevant", sizeof(note));
    } else {
        PovEquivBuffer dyn;
        if (FindPovEquiv(name, &dyn)) strncpy0(note, "  TQR", sizeof(note));
        if (FILE* fp = FindTqrPart(&run->library, name)) {
            fclose(fp);
            strncat(note, "  TQRPARTS", sizeof(note) - strlen(note) - 1);
        }
    }
    check.CheckPrimFileTotal++;
    if (note[0]) check.CheckPrimFileFound++;
    fprintf(run->diag.Out, "%-15s%s\n", name, note);
    return 1;
}

void PrintCheckSummary(TqrRun* run) {
    auto s = [](int n) { return n == 1 ? "" : "s"; };
    const DiagnosticTally& tally = run->diag.Tally;
    FILE* out = run->diag.Out;
    int files = run->check.nCheckedFiles;
    fprintf(out, "Checked %d file%s: %d error%s, %d warning%s, %d file%s not found", files,
            s(files), tally.nErrors, s(tally.nErrors), tally.nWarnings, s(tally.nWarnings),
            tally.nFilesNotFound, s(tally.nFilesNotFound));
    // Skipped files are named where they are met; the count keeps them from going unnoticed in a
    // long listing, and is left out when there are none.
    if (run->check.nSkippedFiles > 0) fprintf(out, ", %d skipped", run->check.nSkippedFiles);
    fprintf(out, "\n");
}

// Any letter case of TQRPARTS will do.
int CheckTqrPartsDir(TqrRun* run) {
    const LDrawIniS* ini = run->library.LDrawIni;
    char dir[kPathSize];
    if (!ini || snprintf(dir, sizeof(dir), "%s/TQRPARTS", ini->LDrawDir) >= (int)sizeof(dir))
        return 0;
    if (TqIsDir(dir)) return 1;
    return FindMatchingPath(&run->library, dir, 1) && TqIsDir(dir) ? 1 : 0;
}
