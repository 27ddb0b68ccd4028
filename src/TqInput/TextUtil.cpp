// Text and token helpers shared by every reader: line reading, word scanning, name normal form,
// small predicates and the growth rule of all growable tables.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "TqInput/TqInput.h"

char Token[kTokenMax + 1];

const char* const SpeedPrimitives[] = {"stu2.dat",    "stu22.dat", "stu22a.dat", "stu23.dat",
                                       "stu23a.dat",  "stu24.dat", "stu24a.dat", "studline.dat",
                                       "stu2p01.dat", nullptr};

int IsDigit(int c) {
    return c >= '0' && c <= '9';
}

int IsAlpha(int c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

int IsNumber(const char* s) {
    if (!*s) return 0;
    for (; *s; s++) {
        if (!IsDigit((unsigned char)*s)) return 0;
    }
    return 1;
}

int IsDecimalNumber(const char* s) {
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

int IsSpeedPrimitive(const char* name) {
    return IsInList(name, SpeedPrimitives) >= 0;
}

namespace {

// After a CR or LF: CR LF and LF CR end one line; CR CR and LF LF end two.
void ConsumeLineEnd(int c, FILE* fp) {
    int next = getc_unlocked(fp);
    if (next != EOF && (next == c || (next != '\r' && next != '\n'))) ungetc(next, fp);
}

// Reads at most size - 1 characters of one line into buf (a line end is stored as '\n');
// returns the number stored and whether the line ended (line end or end of input).
int ReadPiece(char* buf, int size, FILE* fp, bool* ended) {
    int consumed = 0, stored = 0;
    *ended = false;
    while (consumed < size - 1) {
        int c = getc_unlocked(fp);
        if (c == EOF) {
            *ended = true;
            break;
        }
        consumed++;
        if (c == 0x1A) continue;
        if (c == '\r' || c == '\n') {
            buf[stored++] = '\n';
            ConsumeLineEnd(c, fp);
            *ended = true;
            break;
        }
        buf[stored++] = (char)c;
    }
    if (size > 0) buf[stored] = '\0';
    return stored;
}

}  // namespace

char* Tqfgets(char* buf, int size, FILE* fp) {
    bool ended;
    int stored = ReadPiece(buf, size, fp, &ended);
    if (stored == 0 || ferror(fp)) return nullptr;
    return buf;
}

char* TqReadLine(char* buf, int size, FILE* fp, LineRead* info) {
    *info = LineRead{};
    bool ended;
    int stored = ReadPiece(buf, size, fp, &ended);
    if (stored == 0 || ferror(fp)) return nullptr;
    info->hasNul = memchr(buf, '\0', (size_t)stored) != nullptr;
    info->length = (size_t)stored - (buf[stored - 1] == '\n' ? 1 : 0);
    if (ended) return buf;
    // The rest of an overlong line is read and dropped, so that it never passes for lines of
    // its own: a long comment could otherwise end in text that reads as geometry.
    info->cut = true;
    for (;;) {
        int c = getc_unlocked(fp);
        if (c == EOF) break;
        if (c == 0x1A) continue;
        if (c == '\r' || c == '\n') {
            ConsumeLineEnd(c, fp);
            break;
        }
        info->length++;
    }
    return buf;
}

void SkipUtf8Bom(char* line) {
    if (memcmp(line, "\xEF\xBB\xBF", 3) == 0) memmove(line, line + 3, strlen(line + 3) + 1);
}

FileKind SniffFile(FILE* fp) {
    unsigned char head[4096];
    size_t n = fread(head, 1, sizeof(head), fp);
    clearerr(fp);
    fseek(fp, 0, SEEK_SET);
    if (n >= 2 && ((head[0] == 0xFF && head[1] == 0xFE) || (head[0] == 0xFE && head[1] == 0xFF)))
        return FileKind::kUtf16;
    // Without a byte-order mark, text in UTF-16 shows as letters alternating with zero bytes.
    if (n >= 4) {
        size_t pairs = n / 2 < 32 ? n / 2 : 32, little = 0, big = 0;
        for (size_t i = 0; i < pairs; i++) {
            little += head[2 * i] != 0 && head[2 * i + 1] == 0;
            big += head[2 * i] == 0 && head[2 * i + 1] != 0;
        }
        if (little == pairs || big == pairs) return FileKind::kUtf16;
    }
    static const struct {
        const char* bytes;
        size_t length;
    } kSignatures[] = {{"\x89PNG", 4},
                       {"\xFF\xD8\xFF", 3},
                       {"GIF8", 4},
                       {"PK\x03\x04", 4},
                       {"%PDF", 4},
                       {"\x1F\x8B", 2},
                       {"\x7F"
                        "ELF",
                        4},
                       {"BZh", 3},
                       {"\xFD"
                        "7zXZ",
                        5},
                       {"Rar!", 4}};
    for (const auto& signature : kSignatures) {
        if (n >= signature.length && memcmp(head, signature.bytes, signature.length) == 0)
            return FileKind::kBinary;
    }
    return memchr(head, '\0', n) ? FileKind::kTextWithNul : FileKind::kText;
}

static bool IsWhite(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

char* GetNextToken(char** cursor, int flags) {
    Token[0] = '\0';
    char* s = *cursor;
    while (IsWhite(*s)) s++;
    if (!*s) return Token;
    int n = 0;
    while (*s && !IsWhite(*s) && n < kTokenMax) Token[n++] = *s++;
    Token[n] = '\0';
    if (!(flags & kTokenPeek)) *cursor = s;
    if (flags & kTokenFixName) FixDatName(Token);
    return Token;
}

FILE* OpenRegularFile(const char* path) {
    // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer forever.
    int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return nullptr;
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        // A directory, FIFO or device (/dev/zero reads without end) is never an input file.
        close(fd);
        errno = EINVAL;
        return nullptr;
    }
    int flags = fcntl(fd, F_GETFL);
    if (flags >= 0) fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    FILE* fp = fdopen(fd, "r");
    if (!fp) close(fd);
    return fp;
}

int TqIsDir(const char* path) {
    struct stat st;
    return stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

int CheckAlloc(void** array, int count, int* capacity, size_t elementSize, int initial,
               int increment) {
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

// Reads an integer the way "%d" does: leading white space, optional sign, digits; clamped.
static bool ScanInt(const char** s, int* value) {
    const char* p = *s;
    while (IsWhite(*p)) p++;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    if (!IsDigit((unsigned char)*p)) return false;
    long long v = 0;
    while (IsDigit((unsigned char)*p)) {
        if (v < 100000000000LL) v = v * 10 + (*p - '0');
        p++;
    }
    if (negative) v = -v;
    *value = v > 2147483647LL ? 2147483647 : v < -2147483647LL ? -2147483647 : (int)v;
    *s = p;
    return true;
}

int ScanNamePattern(const char* s, const char* pattern, int* numbers, char* letters) {
    int count = 0, nNumbers = 0, nLetters = 0;
    const char* p = pattern;
    while (*p) {
        if (p[0] == '%' && p[1] == 'd') {
            int v;
            if (!ScanInt(&s, &v)) return count;
            if (numbers) numbers[nNumbers] = v;
            nNumbers++;
            count++;
            p += 2;
        } else if (p[0] == '%' && p[1] == '[') {
            const char* close = strchr(p + 2, ']');
            if (!close) return count;
            std::string_view set(p + 2, (size_t)(close - p - 2));
            if (!*s || set.find(*s) == std::string_view::npos) return count;
            if (letters) letters[nLetters] = *s;
            nLetters++;
            while (*s && set.find(*s) != std::string_view::npos) s++;
            count++;
            p = close + 1;
        } else {
            if (*s != *p) return count;
            s++;
            p++;
        }
    }
    return count;
}

float ParseFloat(const char* s, char** end) {
    // Plain decimals ("-12.5", ".75", "3") of up to 8 significant digits are the rule in LDraw
    // files. For those, integer mantissa / power of ten in float arithmetic is one correctly
    // rounded division, which is exactly what strtof returns; everything else goes to strtof.
    const char* p = s;
    while (IsWhite(*p)) p++;
    bool negative = *p == '-';
    if (*p == '-' || *p == '+') p++;
    uint32_t mantissa = 0;
    int significant = 0, fraction = 0, digitChars = 0;
    bool inFraction = false;
    for (;; p++) {
        if (*p == '.' && !inFraction) {
            inFraction = true;
            continue;
        }
        if (!IsDigit((unsigned char)*p)) break;
        digitChars++;
        if (mantissa > 0 || *p != '0') significant++;
        mantissa = mantissa * 10 + (uint32_t)(*p - '0');
        if (inFraction) fraction++;
        if (significant > 8 || fraction > 10) return strtof(s, end);
    }
    if (digitChars == 0 || IsAlpha((unsigned char)*p) || mantissa > (1u << 24))
        return strtof(s, end);
    static const float kPow10[] = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f,
                                   1e6f, 1e7f, 1e8f, 1e9f, 1e10f};
    float value = (float)mantissa / kPow10[fraction];
    *end = const_cast<char*>(p);
    return negative ? -value : value;
}
