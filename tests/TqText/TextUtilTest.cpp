// Line reading, word scanning, name normal form and table growth.
#include <cstdlib>
#include <string>

#include "TqInput/TqInput.h"
#include "support/TestSupport.h"

namespace {

std::vector<std::string> ReadAllLines(const std::string& content, int size = kLineSize) {
    FILE* fp = fmemopen(const_cast<char*>(content.data()), content.size(), "r");
    std::vector<std::string> lines;
    std::vector<char> buf((size_t)size + 1);
    if (!fp) return lines;
    while (Tqfgets(buf.data(), size, fp)) lines.push_back(buf.data());
    fclose(fp);
    return lines;
}

}  // namespace

TEST(TextUtil, EveryLineEndConventionYieldsTheSameLines) {
    for (const char* content : {"a\nb\n", "a\r\nb\r\n", "a\rb\r", "a\n\rb\n\r", "a\nb"}) {
        auto lines = ReadAllLines(content);
        ASSERT_EQ(lines.size(), 2u) << content;
        EXPECT_EQ(lines[0], "a\n") << content;
        EXPECT_EQ(lines[1].substr(0, 1), "b") << content;
    }
}

TEST(TextUtil, RepeatedLineEndsGiveEmptyLinesAndEofMarksVanish) {
    auto lines = ReadAllLines("a\r\rb\n\nc");
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[1], "\n");
    EXPECT_EQ(lines[3], "\n");
    EXPECT_TRUE(ReadAllLines("").empty());
    EXPECT_TRUE(ReadAllLines("\x1A\x1A").empty());
    auto marked = ReadAllLines("ab\x1A\n");
    ASSERT_EQ(marked.size(), 1u);
    EXPECT_EQ(marked[0], "ab\n");
}

TEST(TextUtil, LongLinesComeBackInPieces) {
    std::string line(1199, 'x');
    auto lines = ReadAllLines(line + "\n");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].size(), 999u);
    EXPECT_EQ(lines[1].size(), 201u);
    EXPECT_EQ(lines[1].back(), '\n');
}

TEST(TextUtil, ReadLineCutsOnlyWhenCharactersAreDropped) {
    // The buffer holds size - 1 characters: a line of exactly that length loses nothing.
    for (size_t length : {7u, 8u, 30u}) {
        for (const char* end : {"\n", "\r\n", "\r"}) {
            std::string content = std::string(length, 'x') + end + "next\n";
            FILE* fp = fmemopen(content.data(), content.size(), "r");
            ASSERT_NE(fp, nullptr);
            char buf[8];
            LineRead read;
            ASSERT_NE(TqReadLine(buf, sizeof(buf), fp, &read), nullptr);
            EXPECT_EQ(read.cut, length > 7) << length << " chars, end '" << end << "'";
            EXPECT_EQ(read.length, length);
            ASSERT_NE(TqReadLine(buf, sizeof(buf), fp, &read), nullptr);
            EXPECT_STREQ(buf, "next\n") << "the next line keeps its place";
            fclose(fp);
        }
    }
    std::string last(7, 'x');  // exactly full at the end of the input
    FILE* fp = fmemopen(last.data(), last.size(), "r");
    ASSERT_NE(fp, nullptr);
    char buf[8];
    LineRead read;
    ASSERT_NE(TqReadLine(buf, sizeof(buf), fp, &read), nullptr);
    EXPECT_FALSE(read.cut);
    EXPECT_EQ(TqReadLine(buf, sizeof(buf), fp, &read), nullptr);
    fclose(fp);
}

TEST(TextUtil, TokensAreSplitAtWhiteSpaceAndCutAt79) {
    char text[] = "   1 16  0";
    char* cursor = text;
    EXPECT_STREQ(GetNextToken(&cursor, 0).text, "1");
    EXPECT_STREQ(GetNextToken(&cursor, 0).text, "16");
    EXPECT_STREQ(GetNextToken(&cursor, 0).text, "0");
    EXPECT_STREQ(GetNextToken(&cursor, 0).text, "");
    cursor = text;
    EXPECT_STREQ(GetNextToken(&cursor, kTokenPeek).text, "1");
    EXPECT_STREQ(GetNextToken(&cursor, kTokenPeek).text, "1");
    char name[] = "Parts\\S\\3001.DAT";
    cursor = name;
    EXPECT_STREQ(GetNextToken(&cursor, kTokenFixName).text, "parts/s/3001.dat");
    std::string word(100, 'w');
    word[79] = 'X';
    cursor = word.data();
    EXPECT_EQ(std::string(GetNextToken(&cursor, 0).text), std::string(79, 'w'));
    EXPECT_EQ(std::string(GetNextToken(&cursor, 0).text), "X" + std::string(20, 'w'));
}

TEST(TextUtil, Predicates) {
    for (const char* s : {"1.", ".5", "12.34"}) EXPECT_TRUE(IsDecimalNumber(s)) << s;
    for (const char* s : {".", "12", "1.2.3", ""}) EXPECT_FALSE(IsDecimalNumber(s)) << s;
    for (const char* s : {"", "-1", "1a"}) EXPECT_FALSE(IsNumber(s)) << s;
    EXPECT_TRUE(IsNumber("0123"));
    for (const char* s : {"Black", "Trans_Clear2"}) EXPECT_TRUE(IsIdentifier(s)) << s;
    for (const char* s : {"2x", "_a", ""}) EXPECT_FALSE(IsIdentifier(s)) << s;
    EXPECT_TRUE(StrBeginsWith("abc", ""));
    EXPECT_FALSE(StrBeginsWith("abc", "B"));
    EXPECT_TRUE(IsSpeedPrimitive("stu2p01.dat"));
    EXPECT_FALSE(IsSpeedPrimitive("stud.dat"));
    const char* list[] = {"a", "b", nullptr};
    EXPECT_EQ(IsInList("b", list), 1);
    EXPECT_EQ(IsInList("c", list), -1);
    EXPECT_EQ(IsInVaList("y", "x", "y", (const char*)nullptr), 1);
    EXPECT_EQ(IsInVaList("z", "x", "y", (const char*)nullptr), -1);
}

TEST(TextUtil, TrimmingCopyingAndNames) {
    char a[] = "abc \t\r\n";
    EXPECT_STREQ(TqTrimRight(a, 1), "abc");
    char b[] = "abc \t\r\n";
    EXPECT_STREQ(TqTrimRight(b, 0), "abc \t");
    char dst[10];
    EXPECT_STREQ(strncpy0(dst, "abcdef", 4), "abc");
    EXPECT_STREQ(strncpy0(dst, "abcdef", 10), "abcdef");
    EXPECT_STREQ(strncpy0(dst, "abcdef", 1), "");
    char dir[] = "dir///";
    EXPECT_STREQ(DeleteTrailingBackslash(dir), "dir");
    char back[] = "dir\\";
    EXPECT_STREQ(DeleteTrailingBackslash(back), "dir\\");
    char slash[] = "/";
    EXPECT_STREQ(DeleteTrailingBackslash(slash), "");
    char name[] = "P\\48\\Ring2.DAT";
    EXPECT_STREQ(FixDatName(name), "p/48/ring2.dat");
    EXPECT_STREQ(FirstNonBlank(" \t x"), "x");
}

TEST(TextUtil, CheckAllocGrowsByFirstSizeThenIncrementAndZeroFills) {
    int* table = nullptr;
    int count = 0, capacity = 0;
    for (int i = 0; i < 60; i++) {
        ASSERT_EQ(CheckAlloc(&table, count, &capacity, 50, 10), 0);
        EXPECT_EQ(table[count], 0);
        table[count++] = i + 1;
        if (i == 0) {
            EXPECT_EQ(capacity, 50);
        }
    }
    EXPECT_EQ(capacity, 60);
    ASSERT_EQ(CheckAlloc(&table, count, &capacity, 50, 10), 0);
    EXPECT_EQ(capacity, 70);
    EXPECT_EQ(table[65], 0);
    EXPECT_EQ(table[59], 60);
    free(table);
}

TEST(TextUtil, IsDirTellsDirectoriesFromFiles) {
    TempDir dir;
    dir.Write("f", "x");
    EXPECT_TRUE(TqIsDir(dir.Path().c_str()));
    EXPECT_FALSE(TqIsDir((dir / "f").c_str()));
    EXPECT_FALSE(TqIsDir((dir / "missing").c_str()));
}
