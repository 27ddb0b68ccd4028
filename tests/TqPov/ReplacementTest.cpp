// Replacement declarations from TQRPARTS include files: which lines count as data lines, and what
// each does to the declaration.
#include <string>
#include <vector>

#include "TqPov/TqPov.h"
#include "Tqr/Tqr.h"
#include "support/TestSupport.h"

namespace {

class Replacement : public TqrTest {
protected:
    TempDir dir;
    std::string err;

    void SetUp() override {
        dir.Write("ldraw/ldconfig.ldr", "");
        dir.MakeDir("ldraw/p");
        dir.MakeDir("ldraw/parts");
        t.UseLibrary(dir / "ldraw");
    }
    // Declares x.dat through TQRPARTS/x.inc holding the given text; 1 when the file was used.
    int Declare(const std::string& include) {
        dir.Write("ldraw/TQRPARTS/x.inc", include);
        LDrawIniForgetListings(t.library()->LDrawIni);
        PartEntry* part = RegisterPart(t.model(), t.diag(), 0, "x.dat");
        part->LoadFlags.IsPart = 1;
        MemoryStream scene;
        RunCapture capture(t);
        int used = PrintPovPartTqrPart(t.writer(), scene.fp(), part, 0);
        err = capture.Err();
        FreePart(&t.model()->Parts, part);
        return used;
    }
};

}  // namespace

TEST_F(Replacement, DataLinesAreReadAsTheirScanfPatternsWould) {
    struct Case {
        std::string text;
        int used;
        std::string message;
    };
    const std::string tooNew = "*** Version 1.5 of TQRPARTS/x.inc too new for this TQR\n";
    const std::vector<Case> cases = {
        {"// TQRDATA: version 1.4\n", 1, ""},
        {"//TQRDATA:version 1.5\n", 0, tooNew},     // the blanks of the pattern may be missing
        {"// TQRDATA: version 1. 5\n", 0, tooNew},  // %d skips blanks before the number
        {"// TQRDATA: version 2.0\n", 0,
         "*** Version 2.0 of TQRPARTS/x.inc too new for this TQR\n"},
        {"   // TQRDATA: version 2.0\n", 1, ""},  // "//" must start the line
        {"// TQRDATA: version 1 .5\n", 1, ""},    // no minor number: not a version line
        {"// TQRDATA: flag slope\n", 1, "*** Obsolete TQRDATA flag 'slope' in TQRPARTS/x.inc\n"},
        {"\t// TQRDATA: flag slope\n", 1, ""},
        {"// TQRDATA: flag shiny\n", 1, "*** Unknown TQRDATA flag 'shiny' in TQRPARTS/x.inc\n"},
        // The rest of a long line is no line of its own.
        {"// " + std::string(196, 'x') + "// TQRDATA: version 9.0\n", 1, ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Declare(c.text), c.used) << c.text;
        EXPECT_EQ(err, c.message) << c.text;
    }
}
