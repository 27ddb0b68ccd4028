// ldraw.ini-style files: which files are consulted, in which order, and how a key is read.
#include <cstdlib>
#include <cstring>

#include "LDrawIni/LDrawIni.h"
#include "TqText/TqText.h"

char* strcatSafe(char* dst, const char* src, int size) {
    size_t have = strlen(dst), add = strlen(src);
    if (have + add < (size_t)size) memcpy(dst + have, src, add + 1);
    return dst;
}

int LDrawIniReadIniFile(const char* iniPath, const char* section, const char* key, char* value,
                        int valueSize) {
    FILE* fp = OpenRegularFile(iniPath);
    if (!fp) return 0;
    char line[400];
    LineRead read;
    size_t sectionLen = strlen(section), keyLen = strlen(key);
    bool inSection = false;
    int found = 0;
    for (int lineNo = 1; TqReadLine(line, sizeof(line), fp, &read); lineNo++) {
        if (lineNo == 1) SkipUtf8Bom(line);
        if (!inSection) {
            inSection = line[0] == '[' && strncmp(line + 1, section, sectionLen) == 0 &&
                        line[1 + sectionLen] == ']';
            continue;
        }
        if (line[0] == '[') break;
        if (strncmp(line, key, keyLen) == 0 && line[keyLen] == '=') {
            strncpy0(value, line + keyLen + 1, valueSize);
            TqTrimRight(value, 1);
            found = 1;
            break;
        }
    }
    fclose(fp);
    return found;
}

// Tries one candidate ini file; its path is built in iniPath, which keeps it on a hit.
static int TryIniFile(const char* dir, const char* file, const char* section, const char* key,
                      char* value, int valueSize, char* iniPath, int iniPathSize) {
    if (!dir) return 0;
    strncpy0(iniPath, dir, iniPathSize);
    strcatSafe(iniPath, file, iniPathSize);
    return LDrawIniReadIniFile(iniPath, section, key, value, valueSize);
}

int LDrawIniReadSectionKey(const LDrawIniS* ini, const char* section, const char* key, char* value,
                           int valueSize, char* iniPath, int iniPathSize) {
    char localPath[1024];
    if (!iniPath) {
        iniPath = localPath;
        iniPathSize = sizeof(localPath);
        localPath[0] = '\0';
    }
    if (iniPath[0]) return LDrawIniReadIniFile(iniPath, section, key, value, valueSize);
    const char* home = getenv("HOME");
    if (TryIniFile(getenv("LDRAWINI"), "", section, key, value, valueSize, iniPath, iniPathSize) ||
        TryIniFile(home, "/.ldrawrc", section, key, value, valueSize, iniPath, iniPathSize) ||
        TryIniFile(home, "/ldraw.ini", section, key, value, valueSize, iniPath, iniPathSize) ||
        TryIniFile(ini ? ini->LDrawDir : nullptr, "/ldraw.ini", section, key, value, valueSize,
                   iniPath, iniPathSize) ||
        TryIniFile("/etc/ldraw.ini", "", section, key, value, valueSize, iniPath, iniPathSize)) {
        return 1;
    }
    iniPath[0] = '\0';
    return 0;
}
