// The manuals against the programs: every option of tqr's usage text and of tqr-render --help is
// documented in doc/tqr.txt and doc/tqr-render.txt, every message tqr's sources print through its
// diagnostics is explained in tqr.txt, the man pages generated from them render cleanly, and the
// converter follows its layout rules.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <filesystem>
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

std::string RunAndCapture(const std::string& command) {
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

TEST(Manual, DocumentsEveryLongOptionOfTqrRender) {
    std::string help = RunAndCapture(std::string("'") + TQR_RENDER_BINARY + "' --help");
    std::set<std::string> usage;
    std::istringstream in(help);
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("  --", 0) == 0) usage.insert(line.substr(2, line.find(' ', 2) - 2));
    }
    ASSERT_GT(usage.size(), 10u) << help;
    ASSERT_TRUE(usage.count("--turntable") && usage.count("--assemble")) << help;

    std::set<std::string> documented =
        DocumentedOptions(ReadFile(SourceDir() + "/doc/tqr-render.txt"));
    std::string missing;
    for (const std::string& name : usage) {
        if (!documented.count(name)) missing += " " + name;
    }
    EXPECT_EQ(missing, "") << "--help options without an entry under OPTIONS in tqr-render.txt";
}

namespace {

// A message as the sources print it: the format string and where it stands.
struct SourceMessage {
    std::string where;   // file:line
    std::string format;  // escapes undone, adjacent literals joined
};

// Index just past the string or character literal that starts at i (at its quote).
size_t SkipLiteral(const std::string& s, size_t i) {
    char quote = s[i++];
    while (i < s.size() && s[i] != quote) i += s[i] == '\\' ? 2 : 1;
    return i + 1;
}

// The string literal (or adjacent literals) at i, escapes undone; false when none starts there.
bool ReadStringLiteral(const std::string& s, size_t i, std::string* text) {
    text->clear();
    bool found = false;
    for (;;) {
        while (i < s.size() && isspace((unsigned char)s[i])) i++;
        if (i >= s.size() || s[i] != '"') return found;
        found = true;
        for (i++; i < s.size() && s[i] != '"'; i++) {
            if (s[i] != '\\') {
                *text += s[i];
                continue;
            }
            char e = s[++i];
            *text += e == 'n' ? '\n' : e == 't' ? '\t' : e;
        }
        i++;
    }
}

// The format string of every call of Exit, PromptUser, ErrorInInput and the line checks' Report in
// one source text: the argument that holds it (after the run or sink they report to), when that
// argument is a literal. Calls in // comments and calls with a computed format ("%s", what) are
// left out by the literal test or by the caller.
void FindPrintedMessages(const std::string& file, const std::string& s,
                         std::vector<SourceMessage>* messages) {
    const struct {
        const char* name;
        int formatArgument;
    } kPrinters[] = {{"Exit(", 1}, {"PromptUser(", 2}, {"ErrorInInput(", 3}, {"Report(", 3}};
    for (const auto& printer : kPrinters) {
        for (size_t at = s.find(printer.name); at != std::string::npos;
             at = s.find(printer.name, at + 1)) {
            if (at > 0 && (isalnum((unsigned char)s[at - 1]) || s[at - 1] == '_')) continue;
            size_t lineStart = s.rfind('\n', at);
            lineStart = lineStart == std::string::npos ? 0 : lineStart + 1;
            if (s.substr(lineStart, at - lineStart).find("//") != std::string::npos) continue;
            // Skip the arguments before the format at parenthesis depth 0.
            size_t i = at + strlen(printer.name);
            int depth = 0, commas = 0;
            while (i < s.size() && commas < printer.formatArgument) {
                char c = s[i];
                if (c == '"' || c == '\'') {
                    i = SkipLiteral(s, i);
                    continue;
                }
                if (c == '(') depth++;
                if (c == ')' && depth-- == 0) break;
                if (c == ',' && depth == 0) commas++;
                i++;
            }
            std::string format;
            if (commas != printer.formatArgument || !ReadStringLiteral(s, i, &format)) continue;
            int line = 1 + (int)std::count(s.begin(), s.begin() + (long)at, '\n');
            messages->push_back({file + ":" + std::to_string(line), format});
        }
    }
}

// Runs of white space as one blank, so that a manual's line breaks do not count.
std::string SquashSpaces(const std::string& text) {
    std::string out;
    std::istringstream words(text);
    for (std::string w; words >> w;) out += (out.empty() ? "" : " ") + w;
    return out;
}

// The fixed pieces of a message's first line: the text between printf directives, each with at
// least three letters (what is left between "%s: %s" says nothing).
std::vector<std::string> FixedPieces(const std::string& format) {
    std::string first = format.substr(0, format.find('\n'));
    std::vector<std::string> pieces;
    std::string piece;
    auto flush = [&]() {
        int letters = 0;
        for (char c : piece) letters += isalpha((unsigned char)c) != 0;
        if (letters >= 3) pieces.push_back(SquashSpaces(piece));
        piece.clear();
    };
    for (size_t i = 0; i < first.size(); i++) {
        if (first[i] != '%') {
            piece += first[i];
            continue;
        }
        // A directive: flags, width, precision, length, conversion.
        i++;
        while (i < first.size() && strchr("-+ #0123456789.*hlzjtL", first[i])) i++;
        flush();
    }
    flush();
    return pieces;
}

}  // namespace

TEST(Manual, ExplainsEveryMessageThatTheConverterPrintsThroughItsDiagnostics) {
    // A made-up source: literals are found across lines and after other arguments, directives
    // split the text, comments and computed formats are left out.
    std::vector<SourceMessage> sample;
    FindPrintedMessages("x.cpp",
                        "Exit(run, \"Bad %s, \\\"q\\\"\", a);\n// Exit(run, \"comment\");\n"
                        "ErrorInInput(diag, 0, f(1, 2),\n  \"Row %d all \" \"zeros\");\n"
                        "PromptUser(diag, \"t, u\", \"%s\", what); MyExit(run, \"no\");",
                        &sample);
    ASSERT_EQ(sample.size(), 3u);  // by printer: Exit, PromptUser, ErrorInInput
    EXPECT_EQ(sample[0].format, "Bad %s, \"q\"");
    EXPECT_EQ(FixedPieces(sample[0].format), (std::vector<std::string>{"Bad"}));
    EXPECT_TRUE(FixedPieces(sample[1].format).empty());
    EXPECT_EQ(sample[2].where, "x.cpp:3");
    EXPECT_EQ(FixedPieces(sample[2].format), (std::vector<std::string>{"Row", "all zeros"}));

    std::vector<SourceMessage> messages;
    namespace fs = std::filesystem;
    for (const auto& entry : fs::recursive_directory_iterator(SourceDir() + "/src")) {
        std::string path = entry.path().string();
        // tqr-render has its own manual; its messages are not tqr's.
        if (!entry.is_regular_file() || path.find("/TqRender/") != std::string::npos) continue;
        if (entry.path().extension() == ".cpp" || entry.path().extension() == ".h")
            FindPrintedMessages(path.substr(SourceDir().size() + 1), ReadFile(path), &messages);
    }
    ASSERT_GT(messages.size(), 100u);

    std::string manual = SquashSpaces(ReadFile(SourceDir() + "/doc/tqr.txt"));
    std::string missing;
    for (const SourceMessage& m : messages) {
        for (const std::string& piece : FixedPieces(m.format)) {
            if (manual.find(piece) == std::string::npos)
                missing += "\n  " + m.where + ": \"" + piece + "\"";
        }
    }
    EXPECT_EQ(missing, "") << "message texts not found in doc/tqr.txt";
}

#ifdef TQR_MAN_PAGE

TEST(Manual, GeneratedManPagesRenderWithoutGroffWarnings) {
    if (system("command -v groff >/dev/null 2>&1") != 0) GTEST_SKIP() << "groff not installed";
    const struct {
        const char* page;
        std::vector<const char*> sections;
    } pages[] = {
        {TQR_MAN_PAGE, {"NAME", "OPTIONS", "THE SCENE", "MESSAGES", "EXIT STATUS"}},
        {TQR_RENDER_MAN_PAGE,
         {"NAME", "SYNOPSIS", "OPTIONS", "THE STUDIO LOOK", "ANIMATIONS", "SPREADING A RENDER",
          "FINDING THE LOOK AND THE PROGRAMS", "EXIT STATUS", "MESSAGES"}},
    };
    for (const auto& p : pages) {
        ASSERT_TRUE(FileExists(p.page)) << p.page;
        std::string warnings =
            RunAndCapture(std::string("groff -man -Tutf8 -ww -z '") + p.page + "' 2>&1");
        EXPECT_EQ(warnings, "") << p.page;
        // Every section of the manual made it into the page.
        std::string page = ReadFile(p.page);
        for (const char* section : p.sections)
            EXPECT_NE(page.find(std::string(".SH ") + section + "\n"), std::string::npos)
                << p.page << ": " << section;
    }
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
