// Text helpers shared by every reader: word scanning, the normal form of LDraw file names, small
// predicates, lists, bounded copies and the growth rule of all growable tables.
#include <sys/stat.h>

#include <cstdarg>
#include <cstdlib>
#include <cstring>

#include "TqText/TqText.h"

int IsNumber(const char* s) {
    if (!*s) return 0;
    for (; *s; s++) {
        if (!IsDigit((unsigned char)*s)) return 0;
    }
    return 1;
}

int IsDecimalNumber(const char* s) {
    // The colour file's decimal form ("0.5", ".5", "1."): the '.' is what tells it from the integer
    // form 0..255, and a lone "." is no number.
    if (strlen(s) < 2) return 0;
    while (IsDigit((unsigned char)*s)) s++;
    if (*s++ != '.') return 0;
    while (IsDigit((unsigned char)*s)) s++;
    return *s == '\0';
}

int IsIdentifier(const char* s) {
    if (!IsAlpha((unsigned char)*s)) return 0;
    for (s++; *s; s++) {
        if (!IsAlpha((unsigned char)*s) && !IsDigit((unsigned char)*s) && *s != '_') return 0;
    }
    return 1;
}

char* FirstNonBlank(const char* s) {
    while (*s == ' ' || *s == '\t') s++;
    return const_cast<char*>(s);
}

int StrBeginsWith(const char* s, const char* prefix) {
    return strncmp(s, prefix, strlen(prefix)) == 0;
}

// ASCII only, whatever the locale: a byte above 127 in a name is never changed.
char* Tqstrupr(char* s) {
    for (char* p = s; *p; p++) {
        if (*p >= 'a' && *p <= 'z') *p = (char)(*p - 'a' + 'A');
    }
    return s;
}

char* Tqstrlwr(char* s) {
    for (char* p = s; *p; p++) {
        if (*p >= 'A' && *p <= 'Z') *p = (char)(*p - 'A' + 'a');
    }
    return s;
}

char* TqFixSlashes(char* s) {
    for (char* p = s; *p; p++) {
        if (*p == '\\') *p = '/';
    }
    return s;
}

// LDraw file names ignore letter case (the libraries were made on Windows) and references may use
// '\' as separator ("s\3001s01.dat"); one normal form makes names comparable as keys.
char* FixDatName(char* s) {
    return TqFixSlashes(Tqstrlwr(s));
}

char* DeleteTrailingBackslash(char* s) {
    size_t n = strlen(s);
    while (n > 0 && s[n - 1] == '/') s[--n] = '\0';
    return s;
}

char* TqTrimRight(char* s, int alsoBlanks) {
    size_t n = strlen(s);
    while (n > 0) {
        char c = s[n - 1];
        // 0x1A is the end-of-file mark of old DOS editors; it still shows up in library files.
        bool lineEnd = c == '\n' || c == '\r' || c == 0x1A;
        bool blank = alsoBlanks && (c == ' ' || c == '\t');
        if (!lineEnd && !blank) break;
        s[--n] = '\0';
    }
    return s;
}

char* strncpy0(char* dst, const char* src, int size) {
    if (size <= 1) {
        if (size == 1) dst[0] = '\0';
        return dst;
    }
    int i = 0;
    // Unlike strncpy: always terminated, never padded, src never read beyond what fits.
    for (; i < size - 1 && src[i]; i++) dst[i] = src[i];
    dst[i] = '\0';
    return dst;
}

char* FarStrdup(const char* s) {
    size_t n = strlen(s) + 1;
    char* copy = static_cast<char*>(malloc(n));
    if (copy) memcpy(copy, s, n);
    return copy;
}

int IsInList(const char* s, const char* const* list) {
    for (int i = 0; list[i]; i++) {
        if (strcmp(s, list[i]) == 0) return i;
    }
    return -1;
}

int IsInVaList(const char* s, ...) {
    va_list ap;
    va_start(ap, s);
    int index = -1;
    // The list ends with (const char*)nullptr: va_arg reads the end mark as a const char*.
    for (int i = 0;; i++) {
        const char* entry = va_arg(ap, const char*);
        if (!entry) break;
        if (strcmp(s, entry) == 0) {
            index = i;
            break;
        }
    }
    va_end(ap);
    return index;
}

TokenText GetNextToken(char** cursor, int flags) {
    TokenText token;
    token.text[0] = '\0';
    char* s = *cursor;
    s = const_cast<char*>(SkipWhiteSpace(s));
    if (!*s) return token;
    int n = 0;
    // A word longer than kTokenMax characters comes back in pieces: the cursor stops inside it, and
    // the rest is the next word.
    while (*s && !IsWhiteSpace((unsigned char)*s) && n < kTokenMax) token.text[n++] = *s++;
    token.text[n] = '\0';
    if (!(flags & kTokenPeek)) *cursor = s;
    if (flags & kTokenFixName) FixDatName(token.text);
    return token;
}

int TqIsDir(const char* path) {
    struct stat st;
    return stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

int CheckAlloc(void** array, int count, int* capacity, size_t elementSize, int initial,
               int increment) {
    // Grows only when full: to initial entries the first time, then by increment. The new entries
    // are zeroed so that records start empty; when realloc fails, the old array stays valid and the
    // caller can report and go on.
    if (count != *capacity) return 0;
    int newCapacity = *capacity == 0 ? initial : *capacity + increment;
    void* grown = realloc(*array, (size_t)newCapacity * elementSize);
    if (!grown) return 1;
    memset(static_cast<char*>(grown) + (size_t)count * elementSize, 0,
           (size_t)(newCapacity - count) * elementSize);
    *array = grown;
    *capacity = newCapacity;
    return 0;
}
