// The input diagnostic: forms, levels and the warning-level filter.
#include <cstring>
#include <string>

#include "TqInput/TqInput.h"
#include "support/TestSupport.h"

class Diagnostics : public TqrTest {};

TEST_F(Diagnostics, WarningNamesFileLineAndText) {
    IInfo.FileName = "3001.dat";
    IInfo.LineNo = 12;
    strcpy(IInfo.Line, "3 16 0 0 0 0 0 0 1 1 1");
    WarningLevel = 1;
    CaptureOutput capture;
    ErrorInInput(1, kWarning, "Identical vertices");
    ErrorInInput(0, kSkipping, "%d arguments expected", 14);
    ErrorInInput(0, kPlain, "NOTABENE %s", "plain");
    EXPECT_EQ(capture.Out(),
              "WARNING \"3001.dat\" Line 12: Identical vertices: 3 16 0 0 0 0 0 0 1 1 1\n"
              "SKIPPING \"3001.dat\" Line 12: 14 arguments expected: 3 16 0 0 0 0 0 0 1 1 1\n"
              "NOTABENE plain\n");
}

TEST_F(Diagnostics, LevelsAboveTheWarningLevelAreSilent) {
    IInfo.FileName = "x";
    struct Case {
        int warningLevel, level;
        bool printed;
    } cases[] = {{1, 2, false}, {0, 0, true}, {0, 1, false}, {-1, 0, false}, {3, 3, true}};
    for (const Case& c : cases) {
        WarningLevel = c.warningLevel;
        CaptureOutput capture;
        ErrorInInput(c.level, kPlain, "m");
        EXPECT_EQ(!capture.Out().empty(), c.printed) << c.warningLevel << " " << c.level;
    }
}

TEST_F(Diagnostics, HugeLineAndFileNameArePrintedWhole) {
    std::string name(3000, 'n');
    IInfo.FileName = name.c_str();
    memset(IInfo.Line, 'l', sizeof(IInfo.Line) - 1);
    IInfo.Line[sizeof(IInfo.Line) - 1] = '\0';
    CaptureOutput capture;
    ErrorInInput(0, kWarning, "%s", std::string(2000, 'm').c_str());
    std::string out = capture.Out();
    EXPECT_GT(out.size(), 5999u);
    EXPECT_EQ(out.substr(out.size() - 4), "lll\n");
}

TEST_F(Diagnostics, PromptUserWritesToTheMessageStream) {
    CaptureOutput capture;
    PromptUser("Error during input", "Could not find %s Referenced by %s", "a.dat", "*");
    EXPECT_EQ(capture.Err(), "Could not find a.dat Referenced by *\n");
}
