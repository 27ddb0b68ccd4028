// The part table: registration, the 2000-slot limit, line storage and freeing.
#include <cstring>
#include <string>

#include "TqInput/TqInput.h"
#include "support/TestSupport.h"

class Model : public TqrTest {};

TEST_F(Model, RegistrationFindsTheSameEntryAndMarksStuds) {
    PartEntry* a = RegisterPart(0, "3001.dat");
    EXPECT_EQ(RegisterPart(0, "3001.dat"), a);
    EXPECT_NE(RegisterPart(0, "3001.DAT"), a);
    EXPECT_EQ(FindPart("3001.dat"), a);
    EXPECT_EQ(FindPart("nothing.dat"), nullptr);
    PartEntry* stud = RegisterPart(0, "stud4a.dat");
    EXPECT_TRUE(stud->AttrFlags.IsStud);
    EXPECT_EQ(stud->nStuds, 1);
    PartEntry* block = RegisterPart(1, "TqTransf0");
    EXPECT_TRUE(block->AttrFlags.Internal);
    EXPECT_EQ(FindPart("TqTransf0"), nullptr);
    FreePart(block);
}

TEST_F(Model, TableHoldsTwoThousandAndReusesFreedSlots) {
    ASSERT_EQ(SetMainModelName("model.ldr"), 0);
    char name[32];
    for (int i = 1; i < kMaxParts; i++) {
        snprintf(name, sizeof(name), "p%d.dat", i);
        ASSERT_NE(RegisterPart(0, name), nullptr) << i;
    }
    PartEntry* refused;
    {
        CaptureOutput capture;
        refused = RegisterPart(0, "one-too-many.dat");
        EXPECT_EQ(capture.Err(), "Sorry, max 2000 parts.\n");
    }
    EXPECT_EQ(refused, nullptr);
    Parts[5].LoadFlags.IsLibrary = 1;
    FreeModel();  // frees the model and every entry that is not a library file
    EXPECT_EQ(Parts[0].DatName, nullptr);
    EXPECT_STREQ(Parts[5].DatName, "p5.dat");
    PartEntry* reused = RegisterPart(0, "new.dat");
    ASSERT_NE(reused, nullptr);
    EXPECT_LT(reused - Parts, kMaxParts);
    EXPECT_EQ(nParts, kMaxParts);
}

TEST_F(Model, CommentsShorterThan64CharactersLiveInline) {
    PartEntry* part = RegisterPart(0, "c.dat");
    LineEntry** tail = &part->FirstLine;
    LineEntry comment = {};
    std::string inlineText(63, 'a'), heapText(64, 'b');
    ASSERT_EQ(SaveLine(&tail, &comment, inlineText.c_str()), 0);
    ASSERT_EQ(SaveLine(&tail, &comment, heapText.c_str()), 0);
    auto lines = LinesOf(part);
    EXPECT_FALSE(LineOwnsText(lines[0]));
    EXPECT_TRUE(LineOwnsText(lines[1]));
    EXPECT_EQ(std::string(lines[0]->Text), inlineText);
    EXPECT_EQ(std::string(lines[1]->Text), heapText);
    FreeLines(part);
    EXPECT_EQ(part->FirstLine, nullptr);
}

TEST_F(Model, FreeingAPartReleasesItsTransformBlocks) {
    PartEntry* part;
    ReadDatText("0 TRANSLATE 1 2 3\n3 16 0 0 0 1 0 0 0 1 1\n0 TRANSLATE END\n", "b.ldr", false,
                &part);
    auto lines = LinesOf(part);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_TRUE(lines[1]->Part->AttrFlags.Internal);
    FreePart(part);  // the sanitizer build would report a leak of the block otherwise
    EXPECT_EQ(part->DatName, nullptr);
}

TEST_F(Model, UsedColoursAreUniqueInOrderOfFirstUse) {
    EXPECT_EQ(AddUsedColor(4), 0);
    EXPECT_EQ(AddUsedColor(1), 0);
    EXPECT_EQ(AddUsedColor(4), 0);
    ASSERT_EQ(nUsedColors, 2);
    EXPECT_EQ(UsedColors[0].Colour, 4);
    EXPECT_EQ(UsedColors[1].Colour, 1);
    for (int i = 0; i < 100; i++) AddUsedColor(1000 + i);
    EXPECT_EQ(nUsedColors, 102);
    EXPECT_EQ(nUsedColorsAlloc, 110);
}
