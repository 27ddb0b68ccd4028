// The manual against the program: every option of the usage text is documented in doc/tqr.txt,
// the man page generated from it renders cleanly, and the converter follows its layout rules.
#include <cstdio>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "support/TestSupport.h"
#ifdef TQR_MAN_PAGE
#include "TxtToMan.h"
#endif

namespace {

// "-b[<color>]" gives -b; "-nolgc[f]" gives -nolgc and -nolgcf; "-i3b-," gives -i3b-.
void AddOptionNames(std::string word, std::set<std::string>* names) {
    while (!word.empty() && (word.back() == ',' || word.back() == '.')) word.pop_back();
    size_t cut = word.find_first_of("[<");
    std::string base = word.substr(0, cut);
    if (base.size() < 2 || base[0] != '-') return;
    names->insert(base);
    if (cut != std::string::npos && word[cut] == '[') {
        size_t close = word.find(']', cut);
        std::string inner = word.substr(cut + 1, close - cut - 1);
        if (!inner.empty() && inner.find_first_of("<>,") == std::string::npos)
            names->insert(base + inner);
    }
}

// The first word of every option line of the usage text ("  -x ...").
std::set<std::string> UsageOptions(const std::string& usage) {
    std::set<std::string> names;
    std::istringstream in(usage);
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("  -", 0) != 0) continue;
        AddOptionNames(line.substr(2, line.find(' ', 2) - 2), &names);
    }
    return names;
}

// The options named by the terms of the OPTIONS section: lines at column 4 that, directly or
// through further term lines, go on at column 8.
std::set<std::string> DocumentedOptions(const std::string& manual) {
    std::vector<std::string> lines;
    std::istringstream in(manual);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    auto indentOf = [](const std::string& l) { return l.find_first_not_of(' '); };
    std::set<std::string> names;
    bool inOptions = false;
    for (size_t i = 0; i < lines.size(); i++) {
        const std::string& l = lines[i];
        if (!l.empty() && l[0] != ' ') {
            bool section = l.find_first_of("abcdefghijklmnopqrstuvwxyz") == std::string::npos;
            if (section) inOptions = l == "OPTIONS";
            continue;
        }
        if (!inOptions || indentOf(l) != 4) continue;
        size_t next = i + 1;
        while (next < lines.size() && !lines[next].empty() && indentOf(lines[next]) == 4) next++;
        if (next == lines.size() || lines[next].empty() || indentOf(lines[next]) != 8) continue;
        std::istringstream words(l);
        for (std::string w; words >> w;) AddOptionNames(w, &names);
    }
    return names;
}

}  // namespace

TEST(Manual, DocumentsEveryOptionOfTheUsageText) {
    // tqr alone prints the usage; -test adds the test options.
    RunResult plain = RunTqr({});
    RunResult test = RunTqr({"-test"});
    std::set<std::string> usage = UsageOptions(plain.out + test.out);
    ASSERT_GT(usage.size(), 40u) << plain.out;
    ASSERT_TRUE(usage.count("-test") && usage.count("-nolgcf")) << test.out;

    std::set<std::string> documented = DocumentedOptions(ReadFile(SourceDir() + "/doc/tqr.txt"));
    std::string missing;
    for (const std::string& name : usage) {
        if (!documented.count(name)) missing += " " + name;
    }
    EXPECT_EQ(missing, "") << "usage options without an entry under OPTIONS in doc/tqr.txt";
}

#ifdef TQR_MAN_PAGE

namespace {

std::string RunCapture(const std::string& command) {
    std::string out;
    FILE* p = popen(command.c_str(), "r");
    if (!p) return "popen failed";
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof(buffer), p)) > 0) out.append(buffer, n);
    pclose(p);
    return out;
}

}  // namespace

TEST(Manual, GeneratedManPageRendersWithoutGroffWarnings) {
    if (system("command -v groff >/dev/null 2>&1") != 0) GTEST_SKIP() << "groff not installed";
    ASSERT_TRUE(FileExists(TQR_MAN_PAGE)) << TQR_MAN_PAGE;
    std::string warnings =
        RunCapture(std::string("groff -man -Tutf8 -ww -z '") + TQR_MAN_PAGE + "' 2>&1");
    EXPECT_EQ(warnings, "");
    // Every section of the manual made it into the page.
    std::string page = ReadFile(TQR_MAN_PAGE);
    for (const char* section : {"NAME", "OPTIONS", "THE SCENE", "MESSAGES", "EXIT STATUS"})
        EXPECT_NE(page.find(std::string(".SH ") + section + "\n"), std::string::npos) << section;
}

struct Conversion {
    const char* body;  // text after the title line "T(1) m T(1)" and an empty line
    const char* man;   // page after the three lines of the title
};

TEST(TxtToMan, HeadingsOptionListsAndExamples) {
    const Conversion cases[] = {
        // Sections in capitals, subsections in mixed case, text under a heading without an
        // empty line; only a later paragraph needs .PP.
        {"NAME\n    tqr - x\nSub heading\n    One\n    goes on.\n\n    Two.\n",
         ".SH NAME\ntqr \\- x\n.SS Sub heading\nOne\ngoes on.\n.PP\nTwo.\n"},
        // Terms with descriptions, an example and a second paragraph inside a description,
        // two terms sharing one description, and a paragraph that ends the list.
        {"OPTIONS\n    -o\n        Overwrite.\n\n            tqr -o a.ldr\n\n        Again.\n\n"
         "    -csl, -csr\n    -x\n        Stereo.\n\n    Back.\n",
         ".SH OPTIONS\n.TP\n\\fB\\-o\\fR\nOverwrite.\n.IP\n.RS\n.RS 4\n.nf\ntqr \\-o a.ldr\n.fi\n"
         ".RE\n.RE\n.IP\nAgain.\n.TP\n\\fB\\-csl, \\-csr\\fR\n.TQ\n\\fB\\-x\\fR\nStereo.\n.PP\n"
         "Back.\n"},
        // Examples keep their relative indentation; characters troff would change are escaped.
        {"FILES\n    See:\n\n        .hidden\n          'a' `b` ^ ~ \\n\n",
         ".SH FILES\nSee:\n.PP\n.RS 4\n.nf\n\\&.hidden\n  \\(aqa\\(aq \\(gab\\(ga \\(ha \\(ti "
         "\\en\n.fi\n.RE\n"},
    };
    const std::string head = ".TH T 1 \"\" \"\" \"m\"\n.nh\n.ad l\n";
    for (const Conversion& c : cases) {
        std::string man;
        TxtToManError error;
        ASSERT_TRUE(TxtToMan(std::string("T(1) m T(1)\n\n") + c.body, &man, &error))
            << c.body << "line " << error.Line << ": " << error.Message;
        EXPECT_EQ(man, head + c.man) << c.body;
    }
}

TEST(TxtToMan, LayoutFaultsNameTheirLine) {
    const struct {
        const char* text;
        int line;
    } cases[] = {
        {"no title here\n", 1},
        {"T(1) m U(1)\n", 1},
        {"T(1) m T(1)\ntext\n", 2},
        {"T(1) m T(1)\n\nA\n\tx\n", 4},
        {"T(1) m T(1)\n\nA\n    caf\xc3\xa9\n", 4},
        {"T(1) m T(1)\n\nA\n  two\n", 4},
        {"T(1) m T(1)\n\nA\n    term\n        body\n    back\n", 6},
        {"T(1) m T(1)\n\nA\n        ex\n      less\n", 5},
        {"T(1) m T(1)\n\nA\n    term\n        body\n\n          ten\n", 7},
    };
    for (const auto& c : cases) {
        std::string man;
        TxtToManError error;
        EXPECT_FALSE(TxtToMan(c.text, &man, &error)) << c.text;
        EXPECT_EQ(error.Line, c.line) << c.text << error.Message;
        EXPECT_FALSE(error.Message.empty()) << c.text;
    }
}

#endif  // TQR_MAN_PAGE
