// The LDraw reader: line types, meta commands, sections, BFC, transform blocks and diagnostics.
#include <cstring>
#include <string>

#include "TqInput/TqInput.h"
#include "support/TestSupport.h"

namespace {

class DatReader : public TqrTest {
protected:
    void SetUp() override {
        TqrTest::SetUp();
        t.diag()->WarningLevel = 3;
    }
    static bool Has(const std::string& out, const std::string& text) {
        return out.find(text) != std::string::npos;
    }
};

}  // namespace

TEST_F(DatReader, ProseBeforeLDrawIsKeptAfterItIsRefused) {
    PartEntry* part;
    std::string out = t.ReadDatText(
        "Hello there\n\n1 4 0 0 0 1 0 0 0 1 0 0 0 1 3001.dat\nMore prose\n"
        "7 1 2 3\n\n",
        "m.ldr", true, &part);
    auto lines = LinesOf(part);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0]->Type, 0);
    EXPECT_STREQ(lines[0]->Text, "Hello there");
    EXPECT_STREQ(lines[1]->Text, "");
    EXPECT_EQ(lines[2]->Type, 1);
    EXPECT_EQ(out,
              "SKIPPING \"m.ldr\" Line 4: Bad line: More prose\n"
              "SKIPPING \"m.ldr\" Line 5: Unknown line type: 7 1 2 3\n");
}

TEST_F(DatReader, LineTypesAndTheirItemCounts) {
    PartEntry* part;
    std::string out = t.ReadDatText(
        "1 010 1 2 3 1 0 0 0 1 0 0 0 1 \"a b.dat\"\n"
        "2 0x2FF0000 0 0 0 1 1 1\n"
        "3 4 0 0 0 1 0 0 0 1 0 trailing words\n"
        "4 4 0 0 0 1 0 0 1 1 0 0 1 0 trailing\n"
        "5 24 0 0 0 1 0 0 0 1 0 0 0 1\n"
        "1 4 0 0 0 1 0 0 0 1 0 0 0 1\n"
        "3 4 nan 0 0 1 0 0 0 1 0\n"
        "2 4 1e999 0 0 1 1 1\n",
        "p.dat", false, &part);
    auto lines = LinesOf(part);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0]->Colour, 8);  // octal
    EXPECT_STREQ(lines[0]->Part->DatName, "a b.dat");
    EXPECT_EQ(lines[0]->Data[3], 1);
    EXPECT_EQ(lines[0]->Data[7], 2);
    EXPECT_EQ(lines[0]->Data[11], 3);
    EXPECT_EQ(lines[0]->Data[0], 1);
    EXPECT_EQ(lines[0]->Data[15], 1);
    EXPECT_EQ(lines[1]->Colour, 0x2FF0000);
    EXPECT_EQ(lines[1]->Data[7], 1);  // w of the first point
    EXPECT_EQ(lines[2]->Type, 3);
    EXPECT_EQ(lines[3]->Type, 5);
    EXPECT_TRUE(Has(out, "Line 4: 14 arguments expected: 4 4 0 0 0"));
    EXPECT_TRUE(Has(out, "Line 6: 15 arguments expected"));
    EXPECT_TRUE(Has(out, "Line 7: 11 arguments expected"));
    EXPECT_TRUE(Has(out, "Line 8: 8 arguments expected"));
}

TEST_F(DatReader, MultiPartFileSectionsGoToTheirOwnEntries) {
    PartEntry* file;
    std::string out = t.ReadDatText(
        "0 FILE main.ldr\n"
        "1 16 0 0 0 1 0 0 0 1 0 0 0 1 sub.ldr\n"
        "0 FILE sub.ldr\n"
        "3 16 0 0 0 1 0 0 0 0 0\n"
        "0 FILE sub.ldr\n"
        "3 16 0 0 0 1 0 0 0 1 0\n",
        "model.mpd", true, &file);
    auto mainLines = LinesOf(file);
    ASSERT_EQ(mainLines.size(), 2u);
    EXPECT_STREQ(mainLines[0]->Text, "FILE main.ldr");
    PartEntry* sub = mainLines[1]->Part;
    EXPECT_STREQ(sub->DatName, "sub.ldr");
    EXPECT_TRUE(sub->LoadFlags.Read);
    EXPECT_TRUE(file->LoadFlags.Read);
    ASSERT_EQ(LinesOf(sub).size(), 1u);
    EXPECT_TRUE(Has(out, "WARNING \"model.mpd\" Line 4: Identical vertices: 3 16"));
    EXPECT_TRUE(
        Has(out, "SKIPPING \"model.mpd\" Line 5: FILE sub.ldr already read: 0 FILE sub.ldr"));
    EXPECT_TRUE(Has(out, "SKIPPING \"model.mpd\" Line 6: Subfile sub.ldr already read"));
}

TEST_F(DatReader, FileLineAfterContentWarnsAndForgetsTheTitle) {
    PartEntry* file;
    std::string out = t.ReadDatText("0 Title\n2 24 0 0 0 1 1 1\n0 FILE \"A B.ldr\"\n0 Real title\n",
                                    "x.mpd", true, &file);
    EXPECT_TRUE(Has(out, "WARNING \"x.mpd\" Line 3: LDraw command(s) preceded this line"));
    EXPECT_STREQ(t.model()->ModelTitle, "Real title");
}

TEST_F(DatReader, BackFaceCullingStateMachine) {
    struct Case {
        const char* text;
        const char* message;  // contained in the output, or "" for none
        size_t stored;
    } cases[] = {
        {"3 16 0 0 0 1 0 0 0 1 1\n0 BFC CERTIFY\n",
         "BFC CERTIFY must appear before the first operational command-line", 1},
        {"0 BFC CCW\n0 BFC CERTIFY\n", "WARNING \"t.dat\" Line 2: Already BFC certified implicitly",
         2},
        {"0 BFC CERTIFY\n0 BFC CERTIFY\n", "WARNING \"t.dat\" Line 2: BFC CERTIFY already met", 2},
        {"0 BFC NOCERTIFY\n0 BFC CW\n", "BFC NOCERTIFY already met", 1},
        {"0 BFC CERTIFY\n0 BFC NOCERTIFY\n", "SKIPPING \"t.dat\" Line 2: BFC CERTIFY already met",
         1},
        {"3 16 0 0 0 1 0 0 0 1 1\n0 BFC NOCERTIFY\n",
         "BFC NOCERTIFY must appear before the first operational command-line", 1},
        {"3 16 0 0 0 1 0 0 0 1 1\n0 BFC CW\n",
         "This BFC is ignored because no BFC appeared before the first operational command-line",
         1},
        {"0 BFC FOO\n", "Illegal BFC option", 0},
        {"0 BFC\n", "No BFC options specified", 0},
        {"0 BFC CW CCW\n", "Only one BFC option from a group allowed", 0},
        {"0 BFC NOCERTIFY CLIP\n", "WARNING \"t.dat\" Line 1: NOCERTIFY must appear alone", 1},
        {"0 BFC INVERTNEXT\n3 16 0 0 0 1 0 0 0 1 1\n", "Line type 1 must follow BFC INVERTNEXT", 2},
        {"0 BFC INVERTNEXT\n1 16 0 0 0 1 0 0 0 1 0 0 0 1 a.dat\n", "", 2},
    };
    for (const Case& c : cases) {
        TestRun fresh;
        fresh.diag()->WarningLevel = 3;
        PartEntry* part;
        std::string out = fresh.ReadDatText(c.text, "t.dat", false, &part);
        if (*c.message)
            EXPECT_TRUE(Has(out, c.message)) << c.text << "\n" << out;
        else
            EXPECT_EQ(out, "") << c.text;
        EXPECT_EQ(LinesOf(part).size(), c.stored) << c.text;
    }
}

TEST_F(DatReader, TransformBlocksNestAndCloseAtEndOfFile) {
    PartEntry* part;
    std::string out = t.ReadDatText(
        "0 TRANSLATE 10 20 30\n"
        "3 16 0 0 0 1 0 0 0 1 1\n"
        "0 ROTATE 90 0 0 0\n"
        "3 16 0 0 0 2 0 0 0 2 2\n"
        "0 ROTATE END\n"
        "0 SCALE END\n"
        "0 SCALE 1 2\n"
        "3 16 0 0 0 3 0 0 0 3 3\n",
        "t.ldr", true, &part);
    EXPECT_TRUE(Has(out, "WARNING \"t.ldr\" Line 3: Zero vector: 0 ROTATE 90 0 0 0"));
    EXPECT_TRUE(Has(out, "SKIPPING \"t.ldr\" Line 6: TRANSLATE END expected"));
    EXPECT_TRUE(Has(out, "SKIPPING \"t.ldr\" Line 7: Illegal syntax"));
    EXPECT_TRUE(Has(out, "WARNING \"t.ldr\": End-Of-File, TRANSLATE END expected"));
    auto top = LinesOf(part);
    ASSERT_EQ(top.size(), 2u);  // the keyword comment and the generated reference
    EXPECT_STREQ(top[0]->Text, "TRANSLATE 10 20 30");
    EXPECT_EQ(top[1]->Type, 1);
    EXPECT_EQ(top[1]->Colour, 16);
    EXPECT_EQ(top[1]->LineNo, 0u);
    EXPECT_EQ(top[1]->Data[3], 10);
    EXPECT_EQ(top[1]->Data[11], 30);
    PartEntry* block = top[1]->Part;
    EXPECT_TRUE(block->AttrFlags.Internal);
    EXPECT_TRUE(block->LoadFlags.Read);
    EXPECT_EQ(strncmp(block->DatName, "TqTransf", 8), 0);
    auto inner = LinesOf(block);
    // triangle, ROTATE comment, rotate reference, ROTATE END comment, SCALE 1 2 comment, triangle
    ASSERT_EQ(inner.size(), 6u);
    PartEntry* rotate = inner[2]->Part;
    EXPECT_EQ(inner[2]->Data[0], 1);  // zero axis: identity
    EXPECT_EQ(LinesOf(rotate).size(), 1u);
    EXPECT_TRUE(Has(out, "END not expected") == false);
    std::string again = t.ReadDatText("0 TRANSLATE END\n", "u.ldr", false);
    EXPECT_TRUE(Has(again, "END not expected"));
}

TEST_F(DatReader, MetaCommandsAndHeaders) {
    PartEntry* part;
    std::string out = t.ReadDatText(
        "0 Brick 2 x 4\n"
        "0 Author: Someone Else\n"
        "0 !LDRAW_ORG Part UPDATE 2004-01\n"
        "0 ~Moved to 3002\n"
        "0 CATEGORY Brick\n"
        "0 CATEGORY Plate\n"
        "0 TEXTURE SLOPE\n"
        "0 TEXTURE WAVY\n"
        "0 STEP\n"
        "0 TQR IFPOV\n"
        "0 !LDRAW_ORG Primitive\n"
        "0noblank\n",
        "main.ldr", true, &part);
    EXPECT_STREQ(t.model()->ModelTitle, "Brick 2 x 4");
    EXPECT_STREQ(t.model()->ModelAuthor, "Someone Else");
    EXPECT_TRUE(part->LoadFlags.IsPart);
    EXPECT_TRUE(Has(out, "NOTABENE \"main.ldr\" Line 4: 0 ~Moved to 3002"));
    EXPECT_TRUE(Has(out, "SKIPPING \"main.ldr\" Line 6: Already met CATEGORY Brick"));
    EXPECT_TRUE(Has(out, "SKIPPING \"main.ldr\" Line 8: Unknown TEXTURE WAVY"));
    EXPECT_TRUE(Has(out, "WARNING \"main.ldr\" Line 10: This keyword is deprecated"));
    EXPECT_TRUE(Has(out, "SKIPPING \"main.ldr\" Line 11: Already categorized as Part"));
    EXPECT_TRUE(Has(out, "WARNING \"main.ldr\" Line 12: Comment lines should have space after 0"));
    EXPECT_TRUE(Has(out, "WARNING \"main.ldr\": End-Of-File, TEXTURE SLOPE not ended"));
    auto lines = LinesOf(part);
    bool sawTexture = false, sawStep = false;
    for (const LineEntry* line : lines) {
        if (line->LineFlags.IsTexture) sawTexture = line->Colour == 1;
        if (line->LineFlags.IsStep) sawStep = true;
    }
    EXPECT_TRUE(sawTexture && sawStep);
    EXPECT_STREQ(lines.back()->Text, "noblank");
    std::string notice = t.ReadDatText("0 ~Moved to 3003\n", "old.dat", false);
    EXPECT_EQ(notice, "NOTABENE \"old.dat\" referenced by \"ref.ldr\": Moved to 3003\n");
}

TEST_F(DatReader, QuotesLightsAndSpeedPrimitives) {
    t.pov().LightDatLights = 1;
    PartEntry* part;
    std::string out = t.ReadDatText(
        "1 4 0 0 0 1 0 0 0 1 0 0 0 1 \"open quote.dat\n"
        "1 4 0 0 0 1 0 0 0 1 0 0 0 1 \"x.dat\" tail\n"
        "1 9999 5 6 7 1 0 0 0 1 0 0 0 1 LIGHT.DAT\n"
        "1 16 0 0 0 1 0 0 0 1 0 0 0 1 stu2.dat\n",
        "q.ldr", true, &part);
    auto lines = LinesOf(part);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_STREQ(lines[0]->Part->DatName, "open quote.dat");
    EXPECT_STREQ(lines[1]->Part->DatName, "x.dat");
    EXPECT_TRUE(lines[2]->LineFlags.IsLight);
    EXPECT_EQ(lines[2]->Colour, 15);
    EXPECT_TRUE(t.model()->LightDatFound);
    EXPECT_TRUE(Has(out, "Missing end quote"));
    EXPECT_TRUE(Has(out, "Trailing characters after end quote"));
    EXPECT_TRUE(Has(out, "Sorry, cannot handle color 9999, using 15"));
    EXPECT_TRUE(Has(out, "This speed-primitive should not be referenced directly"));
}

TEST_F(DatReader, HostileBytesNeverOverrun) {
    std::string text = "0 ok\n";
    text += std::string(5000, '1') + "\n";
    text += std::string("1 4 0 0 0 1 0 0 0 1 0 0 0 1 ") + std::string(3000, 'n') + ".dat\n";
    text += std::string("3 4 0\0 0 0 1 0 0 0 1 1\n", 23);
    for (int i = 0; i < 2000; i++) text += (char)(i * 131 % 256);
    text += "\n0 FILE \"" + std::string(2000, 'q') + "\n";
    PartEntry* part;
    t.ReadDatText(text, "h.dat", false, &part);
    EXPECT_TRUE(part->LoadFlags.Read);
}
