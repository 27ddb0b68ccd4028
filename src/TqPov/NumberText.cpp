// "%g" for the single-precision numbers of the scene, without the cost of printf: the scene of a
// large model holds millions of them. The text is byte for byte what printf("%g") writes.
#include <cmath>
#include <cstdio>
#include <cstring>

#include "TqPov/TqPov.h"

namespace {

// Powers of ten, exact in double, up to the 1e7 that the fast path scales by.
constexpr double kPow10[] = {1, 10, 100, 1e3, 1e4, 1e5, 1e6, 1e7};

}  // namespace

void ReportNonFiniteSceneValue(SceneWriter* w) {
    PromptUser(
        w->diag, "Error during output",
        "The model is too large to frame: a camera, light or floor value is not a finite number");
}

// The digits come out lowest first; 24 places hold the 20 digits of any unsigned long.
char* FormatUnsigned(char* out, unsigned long value) {
    char reversed[24];
    int count = 0;
    do {
        reversed[count++] = (char)('0' + value % 10);
        value /= 10;
    } while (value);
    while (count) *out++ = reversed[--count];
    *out = '\0';
    return out;
}

char* FormatG(char* out, double value, long* nonFinite) {
    char* p = out;
    if (std::signbit(value)) *p++ = '-';  // printf keeps the sign of a negative zero too
    double a = std::fabs(value);
    // Whole numbers below a million, the bulk of LDraw coordinates, print as integers.
    if (a < 1e6 && a == (double)(long)a) return FormatUnsigned(p, (unsigned long)a);
    // The fast path covers 0.01 <= |v| < 1e6 for values that are floats: scaled by at most 1e7
    // they need at most 24 + 17 significant bits, so the scaling below is exact in double and
    // nearbyint rounds exactly as printf does (to nearest, ties to even).
    if (!(a >= 1e-2 && a < 1e6) || (double)(float)value != value) {
        // Exponent form, doubles that are no floats, infinities and NaN go the slow way; the last
        // two are counted, since the scene would hold "inf" or "nan".
        if (!std::isfinite(value) && nonFinite) (*nonFinite)++;
        return out + snprintf(out, 32, "%g", value);
    }
    int exponent = 5;  // floor(log10(a))
    while (exponent > -2 && a < kPow10[exponent + 2] / 100) exponent--;
    double scaled = std::nearbyint(a * kPow10[5 - exponent]);
    if (scaled >= 1e6) return out + snprintf(out, 32, "%g", value);  // rounding carried a digit
    // Six significant digits, the precision of "%g". From 1 up, exponent + 1 of them stand before
    // the point; below 1 they follow "0." and -exponent - 1 zeros.
    char digits[7];
    long n = (long)scaled;
    for (int i = 5; i >= 0; i--, n /= 10) digits[i] = (char)('0' + n % 10);
    int last = 5;  // drop trailing zeros of the fraction
    if (exponent >= 0) {
        while (last > exponent && digits[last] == '0') last--;
        for (int i = 0; i <= exponent; i++) *p++ = digits[i];
        if (last > exponent) {
            *p++ = '.';
            for (int i = exponent + 1; i <= last; i++) *p++ = digits[i];
        }
    } else {
        while (digits[last] == '0') last--;
        *p++ = '0';
        *p++ = '.';
        for (int i = exponent; i < -1; i++) *p++ = '0';
        for (int i = 0; i <= last; i++) *p++ = digits[i];
    }
    *p = '\0';
    return p;
}
