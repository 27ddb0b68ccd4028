// The part table: one entry per LDraw file met, each with its stored lines; the used colours.
#include <climits>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "TqInput/TqInput.h"

// An entry of one of these names counts as one stud; the scene declares studs apart from the rest
// of a part, so that they can be switched off (-studs0).
const char* const StudPrimitives[] = {"stud.dat",   "studp01.dat", "studel.dat", "stud2.dat",
                                      "stud2a.dat", "stud3.dat",   "stud3a.dat", "stud4.dat",
                                      "stud4a.dat", "stud5.dat",   "stud6.dat",  "stud6a.dat",
                                      "stud7.dat",  "stud8.dat",   nullptr};

// The index answers exactly what a scan of the table from slot 0 would: a name can be held twice
// only when the main model in slot 0 is named like a library entry that an earlier model of a
// check run left behind. Slot 0 then wins, and the entry it hides is remembered so that it is
// found again once slot 0 is renamed or freed. Keys point at the entries' own copies of the name.
void PartTable::Index(PartEntry* part) {
    if (part->AttrFlags.Internal) return;
    auto [it, inserted] = index_.emplace(part->DatName, part);
    if (!inserted && part == &first_[0]) {
        PartEntry* hidden = it->second;
        hiddenBySlot0_[hidden->DatName] = hidden;
        index_.erase(it);
        index_.emplace(part->DatName, part);
    }
}

void PartTable::Unindex(PartEntry* part) {
    if (part->AttrFlags.Internal) return;
    auto hidden = hiddenBySlot0_.find(part->DatName);
    if (hidden != hiddenBySlot0_.end() && hidden->second == part) {
        hiddenBySlot0_.erase(hidden);
        return;
    }
    auto it = index_.find(part->DatName);
    if (it == index_.end() || it->second != part) return;
    index_.erase(it);
    if (hidden != hiddenBySlot0_.end()) {
        // Slot 0 gives the name back to the entry it hid (slot 0's copy is about to be freed).
        PartEntry* restored = hidden->second;
        hiddenBySlot0_.erase(hidden);
        index_.emplace(restored->DatName, restored);
    }
}

PartEntry* PartTable::Find(const char* name) const {
    auto it = index_.find(name);
    return it == index_.end() ? nullptr : it->second;
}

int PartTable::TakeSlot() {
    // Freed slots are taken again, lowest first, before the table grows.
    if (!freeSlots_.empty()) {
        int slot = *freeSlots_.begin();
        freeSlots_.erase(freeSlots_.begin());
        return slot;
    }
    if (nParts_ == INT_MAX || !Grow(nParts_ + 1)) return -1;
    return nParts_++;
}

void PartTable::ReleaseSlot(int slot) {
    if (slot >= 0 && slot < nParts_) freeSlots_.insert(slot);
}

void PartTable::Clear() {
    for (int i = 0; i < nParts_; i++) FreePart(this, &(*this)[i]);
    nParts_ = 0;
    freeSlots_.clear();
    index_.clear();
    hiddenBySlot0_.clear();
}

PartTable::~PartTable() {
    Clear();
    for (int k = 0; k < nChunks_; k++) free(chunks_[k]);
    free(chunks_);
}

int PartTable::SlotOf(const PartEntry* part) const {
    if (part >= first_ && part < first_ + kChunkSize) return (int)(part - first_);
    // Records outside the table (transform blocks) are found in no chunk and give -1.
    for (int k = 0; k < nChunks_; k++) {
        if (part >= chunks_[k] && part < chunks_[k] + kChunkSize)
            return (k + 1) * kChunkSize + (int)(part - chunks_[k]);
    }
    return -1;
}

bool PartTable::Grow(int slots) {
    // Only the array of chunk pointers is reallocated; the chunks themselves never move, so the
    // pointers that stored lines hold stay valid.
    while ((nChunks_ + 1) * kChunkSize < slots) {
        auto** grown =
            static_cast<PartEntry**>(realloc(chunks_, (size_t)(nChunks_ + 1) * sizeof(PartEntry*)));
        if (!grown) return false;
        chunks_ = grown;
        auto* chunk = static_cast<PartEntry*>(calloc(kChunkSize, sizeof(PartEntry)));
        if (!chunk) return false;
        chunks_[nChunks_++] = chunk;
    }
    return true;
}

// Low-detail stud primitives, meant for use inside other primitives only; a direct reference is
// reported by the reader.
const char* const SpeedPrimitives[] = {"stu2.dat",    "stu22.dat", "stu22a.dat", "stu23.dat",
                                       "stu23a.dat",  "stu24.dat", "stu24a.dat", "studline.dat",
                                       "stu2p01.dat", nullptr};

int IsSpeedPrimitive(const char* name) {
    return IsInList(name, SpeedPrimitives) >= 0;
}

void SetLineTypeSaveMask(Model* model, unsigned mask) {
    model->LineTypeSaveMask = mask;
}

PartEntry* FindPart(Model* model, const char* name) {
    return model->Parts.Find(name);
}

namespace {

// What every entry owns: its name (out of the index first, as the index keys point into it) and
// its lines. Transform blocks are never indexed, so they need no table.
void ReleaseContents(PartTable* table, PartEntry* part) {
    if (table) table->Unindex(part);
    free(part->DatName);
    part->DatName = nullptr;
    FreeLines(part);
}

// An entry of the table is emptied and its slot offered again.
void FreeSlot(PartTable* table, int slot) {
    PartEntry* part = &(*table)[slot];
    if (!part->DatName) return;
    ReleaseContents(table, part);
    memset(part, 0, sizeof(*part));
    table->ReleaseSlot(slot);
}

// A transform block's record, made by RegisterPart outside the table.
void FreeBlock(PartEntry* part) {
    ReleaseContents(nullptr, part);
    free(part);  // the record is an InternalPartEntry whose first member is part
}

}  // namespace

int SetMainModelName(Model* model, const char* name) {
    PartTable& parts = model->Parts;
    FreeSlot(&parts, 0);
    // Slot 0 always counts as used; when the name cannot be stored it is marked free again.
    parts.ClaimSlot0();
    char* copy = FarStrdup(name);
    if (!copy) {
        parts.ReleaseSlot(0);
        return -1;
    }
    memset(&parts[0], 0, sizeof(parts[0]));
    parts[0].DatName = copy;
    parts.Index(&parts[0]);
    return 0;
}

PartEntry* RegisterPart(Model* model, Diagnostics* diag, int internal, const char* name) {
    PartTable& parts = model->Parts;
    PartEntry* part;
    int slot = -1;
    if (!internal) {
        // One entry per name: a file referenced a thousand times is read and declared once.
        // Transform blocks instead get a record of their own outside the table; their generated
        // names are unique and never indexed.
        if (PartEntry* found = parts.Find(name)) return found;
        slot = parts.TakeSlot();
        if (slot < 0) {
            PromptUser(diag, "Error during input", "Out of memory for more parts");
            return nullptr;
        }
        part = &parts[slot];
    } else {
        InternalPartEntry* block =
            static_cast<InternalPartEntry*>(calloc(1, sizeof(InternalPartEntry)));
        if (!block) {
            PromptUser(diag, "Error during input", "Out of memory for new internal part");
            return nullptr;
        }
        part = &block->Part;
    }
    memset(part, 0, sizeof(*part));
    part->AttrFlags.Internal = internal ? 1 : 0;
    part->DatName = FarStrdup(name);
    if (!part->DatName) {
        PromptUser(diag, "Error during input", "Out of memory for new part name");
        if (internal)
            free(part);
        else
            parts.ReleaseSlot(slot);
        return nullptr;
    }
    if (IsInList(name, StudPrimitives) >= 0) {
        part->AttrFlags.IsStud = 1;
        part->nStuds = 1;
    }
    parts.Index(part);
    return part;
}

bool SaveLine(LineEntry*** tail, const LineEntry* line, const char* text) {
    LineEntry* record = static_cast<LineEntry*>(malloc(sizeof(LineEntry)));
    if (!record) return false;
    *record = *line;
    record->Next = nullptr;
    record->Text = nullptr;
    if (line->Type == 0) {
        size_t length = strlen(text);
        // Short comment text lives in Data, whose 64 bytes a type 0 line does not use otherwise;
        // only longer text takes an allocation of its own.
        if (length < (size_t)kInlineTextSize) {
            char* inlineText = reinterpret_cast<char*>(record->Data);
            memcpy(inlineText, text, length + 1);
            record->Text = inlineText;
        } else {
            record->Text = FarStrdup(text);
            if (!record->Text) {
                free(record);
                return false;
            }
        }
    }
    // tail points at the Next field to fill, so appending never walks the list.
    **tail = record;
    *tail = &record->Next;
    return true;
}

int LineOwnsText(const LineEntry* line) {
    return line->Text && line->Text != reinterpret_cast<const char*>(line->Data);
}

void FreeLines(PartEntry* part) {
    // Transform blocks own their lines. Those are freed by this same loop rather than by
    // recursion, so that no nesting of blocks can exhaust the stack.
    std::vector<LineEntry*> blockLines;  // allocates only when a block is met
    LineEntry* line = part->FirstLine;
    part->FirstLine = nullptr;
    for (;;) {
        while (line) {
            LineEntry* next = line->Next;
            if (LineOwnsText(line)) free(line->Text);
            if (line->Type == 1 && line->Part && line->Part->AttrFlags.Internal) {
                PartEntry* block = line->Part;
                if (block->FirstLine) blockLines.push_back(block->FirstLine);
                block->FirstLine = nullptr;
                FreeBlock(block);
            }
            free(line);
            line = next;
        }
        if (blockLines.empty()) return;
        line = blockLines.back();
        blockLines.pop_back();
    }
}

void FreePart(PartTable* table, PartEntry* part) {
    if (!part->DatName) return;
    if (!part->AttrFlags.Internal) {
        FreeSlot(table, table->SlotOf(part));
        return;
    }
    FreeBlock(part);
}

void FreeModel(Model* model) {
    PartTable& parts = model->Parts;
    if (parts.nParts() > 0) FreeSlot(&parts, 0);
    for (int i = 1; i < parts.nParts(); i++) {
        // Library entries stay, already read, for the next model of the same check run.
        if (parts[i].DatName && !parts[i].LoadFlags.IsLibrary) FreeSlot(&parts, i);
    }
}

int AddUsedColor(Model* model, Diagnostics* diag, int colour) {
    // Kept in order of first use, the order in which the scene declares the colours.
    for (int i = model->nUsedColors - 1; i >= 0; i--) {
        if (model->UsedColors[i].Colour == colour) return 0;
    }
    if (CheckAlloc(&model->UsedColors, model->nUsedColors, &model->nUsedColorsAlloc, 50, 10)) {
        PromptUser(diag, "Error during input", "Out of memory for more colors");
        return -1;
    }
    model->UsedColors[model->nUsedColors].Colour = colour;
    model->UsedColors[model->nUsedColors].Flags = 0;
    model->nUsedColors++;
    return 0;
}
