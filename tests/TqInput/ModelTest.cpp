// The part table: registration, growth, the name index, line storage and freeing.
#include <cstring>
#include <string>
#include <vector>

#include "TqInput/TqInput.h"
#include "support/TestSupport.h"

namespace {

// A fresh model and its sink for each test.
class PartTableTest : public TqrTest {
protected:
    Model* model() { return t.model(); }
    PartEntry* Register(int internal, const char* name) {
        return RegisterPart(t.model(), t.diag(), internal, name);
    }
    PartEntry* Find(const char* name) { return FindPart(t.model(), name); }
    PartEntry* Slot(int i) { return &t.model()->Parts[i]; }
};

}  // namespace

TEST_F(PartTableTest, RegistrationFindsTheSameEntryAndMarksStuds) {
    PartEntry* a = Register(0, "3001.dat");
    EXPECT_EQ(Register(0, "3001.dat"), a);
    EXPECT_NE(Register(0, "3001.DAT"), a);
    EXPECT_EQ(Find("3001.dat"), a);
    EXPECT_EQ(Find("nothing.dat"), nullptr);
    PartEntry* stud = Register(0, "stud4a.dat");
    EXPECT_TRUE(stud->AttrFlags.IsStud);
    EXPECT_EQ(stud->nStuds, 1);
    PartEntry* block = Register(1, "TqTransf0");
    EXPECT_TRUE(block->AttrFlags.Internal);
    EXPECT_EQ(Find("TqTransf0"), nullptr);
    FreePart(&model()->Parts, block);
}

TEST_F(PartTableTest, TableGrowsWithTheModelKeepsAddressesAndReusesFreedSlots) {
    // Far beyond the 2000 entries a fixed table once held: a town of a thousand sub-models and
    // a thousand library files must not lose any of them.
    ASSERT_EQ(SetMainModelName(model(), "model.ldr"), 0);
    std::vector<PartEntry*> entries;
    char name[32];
    for (int i = 1; i < 5000; i++) {
        snprintf(name, sizeof(name), "p%d.dat", i);
        PartEntry* entry = Register(0, name);
        ASSERT_NE(entry, nullptr) << i;
        entries.push_back(entry);
    }
    EXPECT_EQ(model()->Parts.nParts(), 5000);
    for (int i = 1; i < 5000; i++) {
        snprintf(name, sizeof(name), "p%d.dat", i);
        EXPECT_EQ(Find(name), entries[(size_t)i - 1]) << name;  // entries never moved
        EXPECT_EQ(Slot(i), entries[(size_t)i - 1]) << i;
    }
    Slot(5)->LoadFlags.IsLibrary = 1;
    FreeModel(model());  // frees the model and every entry that is not a library file
    EXPECT_EQ(Slot(0)->DatName, nullptr);
    EXPECT_STREQ(Slot(5)->DatName, "p5.dat");
    EXPECT_EQ(Find("p4.dat"), nullptr);
    EXPECT_EQ(Register(0, "new.dat"), Slot(0));  // the lowest free slot first
    EXPECT_EQ(Register(0, "newer.dat"), Slot(1));
    EXPECT_EQ(model()->Parts.nParts(), 5000);
}

TEST_F(PartTableTest, MainModelNamedLikeALibraryEntryHidesItUntilRenamed) {
    // Check runs keep library entries between models; a model named like one of them must be
    // found first, exactly as a scan from slot 0 would, and give the name back afterwards.
    ASSERT_EQ(SetMainModelName(model(), "first.ldr"), 0);
    PartEntry* library = Register(0, "zz.dat");
    library->LoadFlags.IsLibrary = 1;
    FreeModel(model());
    ASSERT_EQ(SetMainModelName(model(), "zz.dat"), 0);
    EXPECT_EQ(Find("zz.dat"), Slot(0));
    EXPECT_EQ(Register(0, "zz.dat"), Slot(0));
    ASSERT_EQ(SetMainModelName(model(), "other.ldr"), 0);
    EXPECT_EQ(Find("zz.dat"), library);
    EXPECT_STREQ(Find("zz.dat")->DatName, "zz.dat");
    ASSERT_EQ(SetMainModelName(model(), "zz.dat"), 0);
    FreePart(&model()->Parts, library);  // the hidden entry goes first: slot 0 keeps the name
    EXPECT_EQ(Find("zz.dat"), Slot(0));
    FreePart(&model()->Parts, Slot(0));
    EXPECT_EQ(Find("zz.dat"), nullptr);
}

TEST_F(PartTableTest, CommentsShorterThan64CharactersLiveInline) {
    PartEntry* part = Register(0, "c.dat");
    LineEntry** tail = &part->FirstLine;
    LineEntry comment = {};
    std::string inlineText(63, 'a'), heapText(64, 'b');
    ASSERT_TRUE(SaveLine(&tail, &comment, inlineText.c_str()));
    ASSERT_TRUE(SaveLine(&tail, &comment, heapText.c_str()));
    auto lines = LinesOf(part);
    EXPECT_FALSE(LineOwnsText(lines[0]));
    EXPECT_TRUE(LineOwnsText(lines[1]));
    EXPECT_EQ(std::string(lines[0]->Text), inlineText);
    EXPECT_EQ(std::string(lines[1]->Text), heapText);
    FreeLines(part);
    EXPECT_EQ(part->FirstLine, nullptr);
}

TEST_F(PartTableTest, FreeingAPartReleasesItsTransformBlocks) {
    PartEntry* part;
    t.ReadDatText("0 TRANSLATE 1 2 3\n3 16 0 0 0 1 0 0 0 1 1\n0 TRANSLATE END\n", "b.ldr", false,
                  &part);
    auto lines = LinesOf(part);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_TRUE(lines[1]->Part->AttrFlags.Internal);
    FreePart(&model()->Parts, part);  // the sanitizer build would report a leak of the block
    EXPECT_EQ(part->DatName, nullptr);
}

TEST_F(PartTableTest, UsedColoursAreUniqueInOrderOfFirstUse) {
    EXPECT_EQ(AddUsedColor(model(), t.diag(), 4), 0);
    EXPECT_EQ(AddUsedColor(model(), t.diag(), 1), 0);
    EXPECT_EQ(AddUsedColor(model(), t.diag(), 4), 0);
    ASSERT_EQ(model()->nUsedColors, 2);
    EXPECT_EQ(model()->UsedColors[0].Colour, 4);
    EXPECT_EQ(model()->UsedColors[1].Colour, 1);
    for (int i = 0; i < 100; i++) AddUsedColor(model(), t.diag(), 1000 + i);
    EXPECT_EQ(model()->nUsedColors, 102);
    EXPECT_EQ(model()->nUsedColorsAlloc, 110);
}

TEST(PartTableLifetime, AModelFreesEverythingItHoldsWhenItGoes) {
    // Each run owns its model: when it ends, its entries, lines and blocks go with it (the
    // sanitizer build reports any leak).
    TestRun t;
    t.ReadDatText(
        "1 4 0 0 0 1 0 0 0 1 0 0 0 1 3001.dat\n0 ROTATE 90 0 1 0\n"
        "3 16 0 0 0 1 0 0 0 1 1\n0 ROTATE END\n",
        "m.ldr", true);
    char name[32];
    for (int i = 0; i < 3000; i++) {
        snprintf(name, sizeof(name), "p%d.dat", i);
        ASSERT_NE(RegisterPart(t.model(), t.diag(), 0, name), nullptr);
    }
    EXPECT_GT(t.model()->Parts.nParts(), 3000);
}
