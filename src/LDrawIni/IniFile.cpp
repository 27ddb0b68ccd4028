// ldraw.ini-style files: which files are consulted, in which order, and how a key is read.
#include <cstdlib>
#include <cstring>

#include "LDrawIni/LDrawIni.h"
#include "TqText/TqText.h"

char* strcatSafe(char* dst, const char* src, int size) {
    // All or nothing: a path cut short could name another file that happens to exist.
    size_t have = strlen(dst), add = strlen(src);
    if (have + add < (size_t)size) memcpy(dst + have, src, add + 1);
    return dst;
}

int LDrawIniReadIniFile(const char* iniPath, const char* section, const char* key, char* value,
                        int valueSize) {
    FILE* fp = OpenRegularFile(iniPath);
    if (!fp) return 0;
    // Lines of an ini file are short "key=value" pairs; the rest of a longer line is dropped by
    // TqReadLine, so it never passes for a line of its own.
    char line[400];
    LineRead read;
    size_t sectionLen = strlen(section), keyLen = strlen(key);
    bool inSection = false;
    int found = 0;
    for (int lineNo = 1; TqReadLine(line, sizeof(line), fp, &read); lineNo++) {
        // Files saved by Windows editors often begin with a UTF-8 byte-order mark.
        if (lineNo == 1) SkipUtf8Bom(line);
        // The section header must start the line and match exactly, letter case included; the next
        // section header ends the search.
        if (!inSection) {
            inSection = line[0] == '[' && strncmp(line + 1, section, sectionLen) == 0 &&
                        line[1 + sectionLen] == ']';
            continue;
        }
        if (line[0] == '[') break;
        // "key=value" with no blanks before the '='; blanks after the value are trimmed.
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
    // A known ini path is read alone: the later keys of a list come from the file that held the
    // first.
    if (iniPath[0]) return LDrawIniReadIniFile(iniPath, section, key, value, valueSize);
    // Candidates in order: the file LDRAWINI names, ~/.ldrawrc, ~/ldraw.ini, ldraw.ini in the
    // library, /etc/ldraw.ini. While the base directory itself is being looked for, the record has
    // no LDrawDir yet and the library's own file is skipped.
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
