// Check mode: walks files and directory trees, reading and checking every file without writing a
// scene, and lists which primitives have substitutes.
#include <dirent.h>
#include <sys/stat.h>

#include <cstring>

#include "TqPov/TqPov.h"
#include "Tqr/Tqr.h"

int CheckPrimFileDirLen = 0;
int CheckPrimFileTotal = 0;
int CheckPrimFileFound = 0;
int lastN = 1;

void CheckDatDir(const char* dir, void (*action)(const char* path)) {
    char buffer[kPathSize];
    if (!*dir || strlen(dir) + 2 > sizeof(buffer)) return;
    strncpy0(buffer, dir, sizeof(buffer));
    size_t length = strlen(buffer);
    if (buffer[length - 1] != '/') {
        buffer[length++] = '/';
        buffer[length] = '\0';
    }
    DIR* d = opendir(buffer);
    if (!d) return;
    int count = 0;
    while (struct dirent* entry = readdir(d)) {
        if (strcmp(entry->d_name, ".") == 0 || strcmp(entry->d_name, "..") == 0) continue;
        char path[kPathSize];
        if (snprintf(path, sizeof(path), "%s%s", buffer, entry->d_name) >= (int)sizeof(path))
            continue;
        struct stat st;
        if (stat(path, &st) == 0 && S_ISDIR(st.st_mode)) {
            CheckDatDir(path, action);
            continue;
        }
        action(path);
        count++;
    }
    closedir(d);
    buffer[length - 1] = '\0';
    printf("%d files in %s checked.\n", count, buffer);
    if (StdErr == stderr) fprintf(stderr, "%d files in %s checked.\n", count, buffer);
}

void CheckDatFile(const char* path) {
    SetLineTypeSaveMask(0x3E);
    printf("'%s'\n", path);
    if (LoadModelPre(path) == 0) LoadModel();
    if (TqPov.Debug) {
        for (int i = lastN; i < nParts; i++) {
            if (Parts[i].DatName) printf("Cache#%d %s\n", i, Parts[i].DatName);
        }
        lastN = nParts;
    }
    // The entries stay: a part that a later file uses again is not read and checked again.
    for (int i = 0; i < nParts; i++) FreeLines(&Parts[i]);
}

void CheckPrimFile(const char* path) {
    LoadModelPre(path);
    char name[kPathSize] = "";
    if ((int)strlen(path) >= CheckPrimFileDirLen)
        strncpy0(name, path + CheckPrimFileDirLen, sizeof(name));
    FixDatName(name);
    char note[41] = "";
    if (IsLineType2Primitive(name) || IsSpeedPrimitive(name)) {
        strncpy0(note, "  irrelevant", sizeof(note));
    } else {
        if (FindPovEquiv(name)) strncpy0(note, "  TQR", sizeof(note));
        if (FILE* fp = FindTqrPart(name)) {
            fclose(fp);
            strncat(note, "  TQRPARTS", sizeof(note) - strlen(note) - 1);
        }
    }
    CheckPrimFileTotal++;
    if (note[0]) CheckPrimFileFound++;
    printf("%-15s%s\n", name, note);
}

int CheckTqrPartsDir() {
    char dir[kPathSize];
    if (!LDrawIni ||
        snprintf(dir, sizeof(dir), "%s/TQRPARTS", LDrawIni->LDrawDir) >= (int)sizeof(dir))
        return 0;
    if (TqIsDir(dir)) return 1;
    return FindMatchingPath(dir, 1) && TqIsDir(dir) ? 1 : 0;
}
