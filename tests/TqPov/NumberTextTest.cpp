// The fast number conversions must agree with printf("%g") and strtof byte for byte.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include "TqInput/TqInput.h"
#include "TqPov/TqPov.h"

namespace {

std::string Printf(double v) {
    char buffer[64];
    snprintf(buffer, sizeof(buffer), "%g", v);
    return buffer;
}

std::string Fast(double v) {
    char buffer[64];
    FormatG(buffer, v);
    return buffer;
}

}  // namespace

TEST(NumberText, FormatGMatchesPrintfOnChosenValues) {
    const double values[] = {0,         -0.0,        1,         -1,         24,       0.5,
                             0.7071f,   1e6f,        999999.5f, 999999.4f,  0.01f,    0.0099999f,
                             123456.5f, 12345.65f,   0.125f,    2.5f,       3.5f,     1e-5f,
                             1e7f,      1e16f,       -1e16f,    6.0221e23f, 1.0f / 3, 2.0f / 3,
                             0.1f,      77 / 255.0f, 100000.5f, 0.015625f};
    for (double v : values) EXPECT_EQ(Fast(v), Printf(v)) << v;
    for (double v : {1.0 / 3, 0.1, 1e300})
        EXPECT_EQ(Fast(v), Printf(v)) << v;  // doubles go the slow way
}

TEST(NumberText, FormatGMatchesPrintfOnManyFloats) {
    std::mt19937 random(42);
    std::uniform_int_distribution<uint32_t> bits;
    std::uniform_int_distribution<int> small(-300000, 300000);
    for (int i = 0; i < 400000; i++) {
        float f;
        uint32_t b = bits(random);
        memcpy(&f, &b, 4);
        if (!std::isfinite(f)) continue;
        ASSERT_EQ(Fast(f), Printf(f)) << b;
        float decimal = small(random) / (i % 2 ? 100.0f : 10000.0f);
        ASSERT_EQ(Fast(decimal), Printf(decimal)) << decimal;
    }
}

TEST(NumberText, ParseFloatMatchesStrtof) {
    const char* texts[] = {
        "0",      "-0",         "1",        "-12.5",     ".75",       "3.",
        ".",      "-",          "+4",       "  7",       "1e5",       "0x10",
        "nan",    "inf",        "16777216", "16777217",  "123456789", "0.000000000001",
        "1.5abc", "0.70710678", "007.50",   "-0.866025", "99999999",  "1.000000001",
        "",       "12,5"};
    for (const char* t : texts) {
        char *e1, *e2;
        float a = strtof(t, &e1), b = ParseFloat(t, &e2);
        EXPECT_EQ(memcmp(&a, &b, 4), 0) << t << " " << a << " " << b;
        EXPECT_EQ(e1, e2) << t;
    }
    std::mt19937 random(7);
    std::uniform_int_distribution<long> mantissa(-99999999, 99999999);
    std::uniform_int_distribution<int> scale(0, 9);
    for (int i = 0; i < 300000; i++) {
        char text[40];
        long m = mantissa(random);
        int s = scale(random);
        snprintf(text, sizeof(text), "%s%ld.%0*ld", m < 0 ? "-" : "",
                 labs(m) / (long)std::pow(10, s), s, labs(m) % (long)std::pow(10, s));
        if (s == 0) snprintf(text, sizeof(text), "%ld", m);
        char *e1, *e2;
        float a = strtof(text, &e1), b = ParseFloat(text, &e2);
        ASSERT_EQ(memcmp(&a, &b, 4), 0) << text;
        ASSERT_EQ(e1, e2) << text;
    }
}
