// The part table: registration, growth, the name index, line storage and freeing.
#include <cstring>
#include <string>
#include <vector>

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

TEST_F(Model, TableGrowsWithTheModelKeepsAddressesAndReusesFreedSlots) {
    // Far beyond the 2000 entries a fixed table once held: a town of a thousand sub-models and
    // a thousand library files must not lose any of them.
    ASSERT_EQ(SetMainModelName("model.ldr"), 0);
    std::vector<PartEntry*> entries;
    char name[32];
    for (int i = 1; i < 5000; i++) {
        snprintf(name, sizeof(name), "p%d.dat", i);
        PartEntry* entry = RegisterPart(0, name);
        ASSERT_NE(entry, nullptr) << i;
        entries.push_back(entry);
    }
    EXPECT_EQ(nParts, 5000);
    for (int i = 1; i < 5000; i++) {
        snprintf(name, sizeof(name), "p%d.dat", i);
        EXPECT_EQ(FindPart(name), entries[(size_t)i - 1]) << name;  // entries never moved
        EXPECT_EQ(&Parts[i], entries[(size_t)i - 1]) << i;
    }
    Parts[5].LoadFlags.IsLibrary = 1;
    FreeModel();  // frees the model and every entry that is not a library file
    EXPECT_EQ(Parts[0].DatName, nullptr);
    EXPECT_STREQ(Parts[5].DatName, "p5.dat");
    EXPECT_EQ(FindPart("p4.dat"), nullptr);
    EXPECT_EQ(RegisterPart(0, "new.dat"), &Parts[0]);  // the lowest free slot first
    EXPECT_EQ(RegisterPart(0, "newer.dat"), &Parts[1]);
    EXPECT_EQ(nParts, 5000);
}

TEST_F(Model, MainModelNamedLikeALibraryEntryHidesItUntilRenamed) {
    // Check runs keep library entries between models; a model named like one of them must be
    // found first, exactly as a scan from slot 0 would, and give the name back afterwards.
    ASSERT_EQ(SetMainModelName("first.ldr"), 0);
    PartEntry* library = RegisterPart(0, "zz.dat");
    library->LoadFlags.IsLibrary = 1;
    FreeModel();
    ASSERT_EQ(SetMainModelName("zz.dat"), 0);
    EXPECT_EQ(FindPart("zz.dat"), &Parts[0]);
    EXPECT_EQ(RegisterPart(0, "zz.dat"), &Parts[0]);
    ASSERT_EQ(SetMainModelName("other.ldr"), 0);
    EXPECT_EQ(FindPart("zz.dat"), library);
    EXPECT_STREQ(FindPart("zz.dat")->DatName, "zz.dat");
    ASSERT_EQ(SetMainModelName("zz.dat"), 0);
    FreePart(library);  // the hidden entry goes first: slot 0 keeps the name
    EXPECT_EQ(FindPart("zz.dat"), &Parts[0]);
    FreePart(&Parts[0]);
    EXPECT_EQ(FindPart("zz.dat"), nullptr);
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
