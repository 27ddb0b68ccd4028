// Numbers in text: integers and decimals as scanf reads them, with one policy on infinities and
// NaN, and the scanf-like patterns that primitive file names are matched with.
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "TqText/TqText.h"

bool ScanInt(const char** s, int* value) {
    const char* p = SkipWhiteSpace(*s);
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    if (!IsDigit((unsigned char)*p)) return false;
    long long v = 0;
    while (IsDigit((unsigned char)*p)) {
        // Past 10^11, far outside the int range, digits are read but no longer added: the clamped
        // result cannot change, and the long long never overflows however many digits follow.
        if (v < 100000000000LL) v = v * 10 + (*p - '0');
        p++;
    }
    if (negative) v = -v;
    *value = v > INT_MAX ? INT_MAX : v < INT_MIN ? INT_MIN : (int)v;
    *s = p;
    return true;
}

int ScanNamePattern(const char* s, const char* pattern, int* numbers, char* letters) {
    int count = 0, nNumbers = 0, nLetters = 0;
    const char* p = pattern;
    while (*p) {
        // "%d" skips white space and takes a sign, as sscanf does; a literal of the pattern
        // matches exactly one equal character.
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
            // "%[set]" without ranges: each character between the brackets stands for itself. Like
            // sscanf, it needs one character of the set and takes all that follow, so a pattern
            // ending in ".da%[t]" counts its last conversion only when the 't' is there. As with
            // sscanf, text after the end of the pattern is not looked at.
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
    p = SkipWhiteSpace(p);
    bool negative = *p == '-';
    if (*p == '-' || *p == '+') p++;
    // Leading zeros are not significant; with at most 8 significant digits the mantissa stays below
    // 10^9 and cannot overflow 32 bits.
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
    // No digits, an exponent, "inf", "nan", hexadecimal, or a mantissa above 2^24 (no longer exact
    // in a float): strtof decides. Powers of ten up to 10^10 are exact in a float (5^10 < 2^24),
    // which is why at most 10 decimals take the fast path.
    if (digitChars == 0 || IsAlpha((unsigned char)*p) || mantissa > (1u << 24))
        return strtof(s, end);
    static const float kPow10[] = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f,
                                   1e6f, 1e7f, 1e8f, 1e9f, 1e10f};
    float value = (float)mantissa / kPow10[fraction];
    *end = const_cast<char*>(p);
    return negative ? -value : value;
}
