// The input diagnostic: forms, levels and the warning-level filter, written to the sink's streams.
#include <cstring>
#include <string>

#include "TqDiag/TqDiag.h"
#include "support/TestSupport.h"

namespace {

// A sink whose two streams are in memory.
struct MemorySink {
    MemoryStream out, err;
    Diagnostics diag;
    MemorySink() {
        diag.Out = out.fp();
        diag.StdErr = err.fp();
    }
};

}  // namespace

TEST(InputDiagnostics, WarningNamesFileLineAndText) {
    MemorySink sink;
    Diagnostics* diag = &sink.diag;
    diag->IInfo.FileName = "3001.dat";
    diag->IInfo.LineNo = 12;
    strcpy(diag->IInfo.Line, "3 16 0 0 0 0 0 0 1 1 1");
    diag->WarningLevel = 1;
    ErrorInInput(diag, 1, kWarning, "Identical vertices");
    ErrorInInput(diag, 0, kSkipping, "%d arguments expected", 14);
    ErrorInInput(diag, 0, kPlain, "NOTABENE %s", "plain");
    EXPECT_EQ(sink.out.Text(),
              "WARNING \"3001.dat\" Line 12: Identical vertices: 3 16 0 0 0 0 0 0 1 1 1\n"
              "SKIPPING \"3001.dat\" Line 12: 14 arguments expected: 3 16 0 0 0 0 0 0 1 1 1\n"
              "NOTABENE plain\n");
    EXPECT_EQ(diag->Tally.nWarnings, 1);
    EXPECT_EQ(diag->Tally.nErrors, 1);
    EXPECT_EQ(sink.err.Text(), "");
}

TEST(InputDiagnostics, LevelsAboveTheWarningLevelOrTheCallersLimitAreSilent) {
    struct Case {
        int warningLevel, limit, level;
        bool printed;
    } cases[] = {{1, 9, 2, false}, {0, 9, 0, true},  {0, 9, 1, false}, {-1, 9, 0, false},
                 {3, 9, 3, true},  {3, 0, 1, false}, {3, 0, 0, true},  {1, 1, 1, true}};
    for (const Case& c : cases) {
        MemorySink sink;
        sink.diag.IInfo.FileName = "x";
        sink.diag.WarningLevel = c.warningLevel;
        ErrorInInputUpTo(&sink.diag, c.limit, c.level, kPlain, "m");
        EXPECT_EQ(!sink.out.Text().empty(), c.printed)
            << c.warningLevel << " " << c.limit << " " << c.level;
    }
}

TEST(InputDiagnostics, HugeLineAndFileNameArePrintedWhole) {
    MemorySink sink;
    Diagnostics* diag = &sink.diag;
    std::string name(3000, 'n');
    diag->IInfo.FileName = name.c_str();
    memset(diag->IInfo.Line, 'l', sizeof(diag->IInfo.Line) - 1);
    diag->IInfo.Line[sizeof(diag->IInfo.Line) - 1] = '\0';
    ErrorInInput(diag, 0, kWarning, "%s", std::string(2000, 'm').c_str());
    std::string out = sink.out.Text();
    EXPECT_GT(out.size(), 5999u);
    EXPECT_EQ(out.substr(out.size() - 4), "lll\n");
}

TEST(InputDiagnostics, PromptUserWritesToTheMessageStream) {
    MemorySink sink;
    PromptUser(&sink.diag, "Error during input", "Could not find %s Referenced by %s", "a.dat",
               "*");
    EXPECT_EQ(sink.err.Text(), "Could not find a.dat Referenced by *\n");
    EXPECT_EQ(sink.out.Text(), "");
}
