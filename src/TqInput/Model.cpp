// The part table: one entry per LDraw file met, each with its stored lines; the used colours.
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <unordered_map>

#include "TqInput/TqInput.h"

PartEntry Parts[kMaxParts];
int nParts = 0;
UsedColorEntry* UsedColors = nullptr;
int nUsedColors = 0;
int nUsedColorsAlloc = 0;
unsigned LineTypeSaveMask = 0x3F;
char ModelTitle[100];
char ModelAuthor[100];

const char* const StudPrimitives[] = {"stud.dat",   "studp01.dat", "studel.dat", "stud2.dat",
                                      "stud2a.dat", "stud3.dat",   "stud3a.dat", "stud4.dat",
                                      "stud4a.dat", "stud5.dat",   "stud6.dat",  "stud6a.dat",
                                      "stud7.dat",  "stud8.dat",   nullptr};

namespace {

// Name -> slot of every named table entry. A model references the same few hundred names tens
// of thousands of times; the index keeps each lookup constant-time.
std::unordered_map<std::string_view, int>& PartIndex() {
    static std::unordered_map<std::string_view, int> index;
    return index;
}

// Table slots below nParts whose name was freed; registration reuses them first.
int nFreeSlots = 0;

int FirstFreeSlot() {
    if (nFreeSlots == 0) return -1;
    for (int i = 0; i < nParts; i++) {
        if (!Parts[i].DatName) return i;
    }
    return -1;
}

}  // namespace

void SetLineTypeSaveMask(unsigned mask) {
    LineTypeSaveMask = mask;
}

PartEntry* FindPart(const char* name) {
    auto it = PartIndex().find(name);
    return it == PartIndex().end() ? nullptr : &Parts[it->second];
}

static void IndexPart(PartEntry* part) {
    if (!part->AttrFlags.Internal) PartIndex().emplace(part->DatName, (int)(part - Parts));
}

int SetMainModelName(const char* name) {
    FreePart(&Parts[0]);
    // A free slot 0 is counted among the free slots only once it lies below nParts.
    bool counted = nParts >= 1;
    if (nParts < 1) nParts = 1;
    char* copy = FarStrdup(name);
    if (!copy) {
        if (!counted) nFreeSlots++;
        return -1;
    }
    memset(&Parts[0], 0, sizeof(Parts[0]));
    Parts[0].DatName = copy;
    if (counted) nFreeSlots--;
    IndexPart(&Parts[0]);
    return 0;
}

PartEntry* RegisterPart(int internal, const char* name) {
    PartEntry* part;
    if (!internal) {
        if (PartEntry* found = FindPart(name)) return found;
        int slot = FirstFreeSlot();
        if (slot >= 0) {
            nFreeSlots--;
        } else if (nParts >= kMaxParts) {
            PromptUser("Error during input", "Sorry, max %d parts.", kMaxParts);
            return nullptr;
        } else {
            slot = nParts++;
        }
        part = &Parts[slot];
    } else {
        InternalPartEntry* block =
            static_cast<InternalPartEntry*>(calloc(1, sizeof(InternalPartEntry)));
        if (!block) {
            PromptUser("Error during input", "Out of memory for new internal part");
            return nullptr;
        }
        part = &block->Part;
    }
    memset(part, 0, sizeof(*part));
    part->AttrFlags.Internal = internal ? 1 : 0;
    part->DatName = FarStrdup(name);
    if (!part->DatName) {
        PromptUser("Error during input", "Out of memory for new part name");
        if (internal)
            free(part);
        else
            nFreeSlots++;
        return nullptr;
    }
    if (IsInList(name, StudPrimitives) >= 0) {
        part->AttrFlags.IsStud = 1;
        part->nStuds = 1;
    }
    IndexPart(part);
    return part;
}

int SaveLine(LineEntry*** tail, const LineEntry* line, const char* text) {
    LineEntry* record = static_cast<LineEntry*>(malloc(sizeof(LineEntry)));
    if (!record) return 1;
    *record = *line;
    record->Next = nullptr;
    record->Text = nullptr;
    if (line->Type == 0) {
        size_t length = strlen(text);
        if (length < (size_t)kInlineTextSize) {
            char* inlineText = reinterpret_cast<char*>(record->Data);
            memcpy(inlineText, text, length + 1);
            record->Text = inlineText;
        } else {
            record->Text = FarStrdup(text);
            if (!record->Text) {
                free(record);
                return 1;
            }
        }
    }
    **tail = record;
    *tail = &record->Next;
    return 0;
}

int LineOwnsText(const LineEntry* line) {
    return line->Text && line->Text != reinterpret_cast<const char*>(line->Data);
}

void FreeLines(PartEntry* part) {
    LineEntry* line = part->FirstLine;
    part->FirstLine = nullptr;
    while (line) {
        LineEntry* next = line->Next;
        if (LineOwnsText(line)) free(line->Text);
        if (line->Type == 1 && line->Part && line->Part->AttrFlags.Internal) FreePart(line->Part);
        free(line);
        line = next;
    }
}

void FreePart(PartEntry* part) {
    if (!part->DatName) return;
    bool internal = part->AttrFlags.Internal;
    if (!internal) {
        auto it = PartIndex().find(part->DatName);
        if (it != PartIndex().end() && &Parts[it->second] == part) PartIndex().erase(it);
    }
    free(part->DatName);
    part->DatName = nullptr;
    FreeLines(part);
    if (internal) {
        free(part);  // the record is an InternalPartEntry whose first member is part
    } else {
        memset(part, 0, sizeof(*part));
        nFreeSlots++;
    }
}

void FreeModel() {
    if (nParts > 0) FreePart(&Parts[0]);
    for (int i = 1; i < nParts; i++) {
        if (Parts[i].DatName && !Parts[i].LoadFlags.IsLibrary) FreePart(&Parts[i]);
    }
}

void ClearPartTable() {
    for (int i = 0; i < nParts; i++) FreePart(&Parts[i]);
    nParts = 0;
    nFreeSlots = 0;
    PartIndex().clear();
    nUsedColors = 0;
}

int AddUsedColor(int colour) {
    for (int i = nUsedColors - 1; i >= 0; i--) {
        if (UsedColors[i].Colour == colour) return 0;
    }
    if (CheckAlloc(&UsedColors, nUsedColors, &nUsedColorsAlloc, 50, 10)) {
        PromptUser("Error during input", "Out of memory for more colors");
        return -1;
    }
    UsedColors[nUsedColors].Colour = colour;
    UsedColors[nUsedColors].Flags = 0;
    nUsedColors++;
    return 0;
}
