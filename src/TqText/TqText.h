// Text utilities shared by every reader and writer: line reading with every line-end convention,
// word scanning, the normal form of LDraw file names, small predicates, number scanning, bounded
// copies and the growth rule of all growable tables. The bottom layer: depends on nothing.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdio>

/// printf-style format checking for the project's variadic functions.
#define TQ_PRINTF(fmtIndex, argIndex) __attribute__((format(printf, fmtIndex, argIndex)))

/// Length of every path buffer.
constexpr int kPathSize = 1024;
/// Size of the line buffer every LDraw, colour and LGEO reader uses.
constexpr int kLineSize = 1000;
/// Longest word GetNextToken returns.
constexpr int kTokenMax = 79;

/// One word of a line, as GetNextToken returns it: the caller owns it, so a word stays valid
/// however many words are read after it.
struct TokenText {
    char text[kTokenMax + 1];  ///< the word, terminated; empty at the end of the line
};

/// GetNextToken flags.
enum TokenFlags : int {
    kTokenFixName = 1,  ///< put the word into FixDatName form
    kTokenPeek = 2      ///< do not move the cursor
};

/// 1 for '0'..'9'.
inline int IsDigit(int c) {
    return c >= '0' && c <= '9';
}
/// 1 for ASCII letters.
inline int IsAlpha(int c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
/// 1 for a non-empty text of digits only.
int IsNumber(const char* s);
/// 1 for digits, one '.', digits, at least two characters in all.
int IsDecimalNumber(const char* s);
/// 1 for a letter followed by letters, digits or '_'.
int IsIdentifier(const char* s);
/// First character that is neither blank nor tab.
char* FirstNonBlank(const char* s);
/// 1 when s begins with prefix (case-sensitive).
int StrBeginsWith(const char* s, const char* prefix);
/// In place to upper case (ASCII).
char* Tqstrupr(char* s);
/// In place to lower case (ASCII).
char* Tqstrlwr(char* s);
/// Every '\' to '/'.
char* TqFixSlashes(char* s);
/// Normal form of LDraw file names: lower case, '/' separators.
char* FixDatName(char* s);
/// Removes every '/' at the end.
char* DeleteTrailingBackslash(char* s);
/// Removes trailing line ends and 0x1A, and with alsoBlanks blanks and tabs too.
char* TqTrimRight(char* s, int alsoBlanks);
/// Bounded copy that always terminates; size <= 1 gives an empty destination.
char* strncpy0(char* dst, const char* src, int size);
/// Owned copy or null.
char* FarStrdup(const char* s);
/// Index of the first entry equal to s in a null-terminated list, or -1.
int IsInList(const char* s, const char* const* list);
/// Index of the first following argument equal to s (list ends with null), or -1.
int IsInVaList(const char* s, ...);
/// Reads one line accepting LF, CR, CR LF and LF CR; null at end of input or on an error. A line
/// longer than size - 1 characters comes back in pieces.
char* Tqfgets(char* buf, int size, FILE* fp);
/// What TqReadLine saw of one physical line.
struct LineRead {
    size_t length = 0;    ///< characters of the line without its line end, dropped ones included
    bool cut = false;     ///< the line was longer than the buffer; the rest was dropped
    bool hasNul = false;  ///< a NUL byte was read into the buffer (the text ends there)
};
/// Tqfgets for readers that count physical lines: the rest of a line longer than the buffer is
/// read and dropped, so that the next call returns the next line.
char* TqReadLine(char* buf, int size, FILE* fp, LineRead* info);
/// Removes a UTF-8 byte-order mark from the start of a first line.
void SkipUtf8Bom(char* line);
/// What the first block of a file shows it to be.
enum class FileKind {
    kText,         ///< nothing unusual
    kTextWithNul,  ///< text, but a NUL byte in the first block
    kUtf16,        ///< UTF-16 text, with or without byte-order mark
    kBinary        ///< a known binary format (image, archive, executable)
};
/// Looks at the first block of an opened regular file; the stream's position is left as it is.
FileKind SniffFile(FILE* fp);
/// Opens a regular file for reading; anything else (directory, FIFO, device) is refused with
/// errno EINVAL, without ever blocking on a FIFO.
FILE* OpenRegularFile(const char* path);
/// Next blank-separated word (at most 79 characters); the cursor moves unless peeking.
TokenText GetNextToken(char** cursor, int flags);
/// 1 when path is a directory.
int TqIsDir(const char* path);
/// Makes room for one more element of a growable table; 0 ok, 1 out of memory.
int CheckAlloc(void** array, int count, int* capacity, size_t elementSize, int initial,
               int increment);
/// Typed form of CheckAlloc.
template <typename T>
int CheckAlloc(T** array, int count, int* capacity, int initial, int increment) {
    void* p = *array;
    int result = CheckAlloc(&p, count, capacity, sizeof(T), initial, increment);
    *array = static_cast<T*>(p);
    return result;
}
/// Matches a file name against a scanf-like pattern of literals, "%d" and "%[set]" (one or more
/// characters of the set); returns the number of conversions made, as sscanf would. Numbers and
/// the first letter of each set go to the outputs when given; they need room for one entry per
/// "%d" and per "%[set]" of the pattern.
int ScanNamePattern(const char* s, const char* pattern, int* numbers, char* letters);
/// strtof, with a fast exact path for plain decimals.
float ParseFloat(const char* s, char** end);
/// 1 for the white space of "%s" and "%d": blank, tab, line feed, carriage return, vertical tab,
/// form feed.
inline int IsWhiteSpace(int c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}
/// First character of s that is not white space.
inline const char* SkipWhiteSpace(const char* s) {
    while (IsWhiteSpace((unsigned char)*s)) s++;
    return s;
}
/// Reads an integer as "%d" does (white space skipped, optional sign, decimal digits), clamped to
/// the int range; advances *s past it. False when no digit follows.
bool ScanInt(const char** s, int* value);
/// Reads a number as "%f" does and advances *s past it. False when none follows, and for
/// infinities and NaN: no coordinate, matrix, colour or option value can use them.
inline bool ScanFloat(const char** s, float* value) {
    char* end;
    float v = ParseFloat(*s, &end);
    if (end == *s || !std::isfinite(v)) return false;
    *value = v;
    *s = end;
    return true;
}
