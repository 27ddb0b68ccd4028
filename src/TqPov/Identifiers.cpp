// POV-Ray identifiers of LDraw file names: every character a name may hold becomes one an
// identifier can, names too long for POV-Ray are cut and kept unique, and reserved words are
// avoided.
#include <cstring>
#include <string>

#include "TqPov/TqPov.h"

namespace {

// Characters a POV-Ray identifier cannot hold, and the words that stand for them. "_" becomes
// "__", so that "a.b" (a_dot_b) and "a_dot_b" (a__dot__b) stay apart.
struct BadChar {
    char c;
    const char* word;
};
const BadChar PovBadChars[] = {{'-', "dash"},  {'.', "dot"},    {'&', "and"},   {':', "colon"},
                               {'/', "slash"}, {'\\', "slash"}, {'~', "tilde"}, {'#', "crosshatch"},
                               {' ', "space"}, {'_', ""}};

// Longer identifiers are cut to this length and kept unique by UniqueCutName.
constexpr int kMaxPovName = 125;

// Names cut to fit POV-Ray's identifier limit can meet: two sub-files sharing their first 119
// characters would share one identifier, and the second declaration would be skipped by its
// #ifndef. The first keeps the cut identifier, later ones get a number before "MAX125". Whole
// identifiers cannot meet (every replaced character turns into a distinct marked word).
const char* UniqueCutName(SceneWriter* w, const char* name, TextBuffer<160>& identifier) {
    CutIdentifiers& cut = w->cutIdentifiers;
    std::string key = std::string(name) + '\n' + w->PovNameSuffix;
    auto known = cut.byName.find(key);
    if (known != cut.byName.end()) return identifier.Clear().Add(known->second.c_str()).c_str();
    std::string unique = identifier.c_str();
    for (unsigned k = 1; cut.taken.count(unique); k++) {
        char number[16];
        int length = snprintf(number, sizeof(number), "_%u", k);
        unique.assign(identifier.c_str(), (size_t)(119 - length));
        unique.append(number).append("MAX125");
    }
    cut.taken.insert(unique);
    cut.byName.emplace(std::move(key), unique);
    return identifier.Clear().Add(unique.c_str()).c_str();
}

// A sub-file named "box" or "text" would give an identifier POV-Ray's parser refuses. (The scene's
// own identifiers start with "Tq", which no name can give: names are kept in lower case.)
bool IsReservedIdentifier(const char* id) {
    return !strchr(id, '_') && IsPovReservedWord(id);
}

}  // namespace

void ResetSceneWriter(SceneWriter* w) {
    w->cutIdentifiers.byName.clear();
    w->cutIdentifiers.taken.clear();
    w->declarationDepth = 0;
    w->edges.clear();
}

const char* PovName(SceneWriter* w, const char* name) {
    // A digit cannot start an identifier; a character without a word becomes its hex code. The
    // text is cut as soon as it passes 125 characters, so it never grows beyond 125 plus one
    // replaced character ("_crosshatch_", 12), well within the buffer.
    TextBuffer<160>& id = w->povName.Clear();
    const unsigned char* s = reinterpret_cast<const unsigned char*>(name);
    if (IsDigit(*s)) id.Add('_');
    for (; *s; s++) {
        if (IsAlpha(*s) || IsDigit(*s)) {
            id.Add((char)*s);
        } else {
            const BadChar* bad = nullptr;
            for (const BadChar& b : PovBadChars) {
                if ((signed char)b.c == (signed char)*s) bad = &b;
            }
            id.Add('_');
            if (bad)
                id.Add(bad->word);
            else
                id.Add("0123456789ABCDEF"[*s >> 4]).Add("0123456789ABCDEF"[*s & 0xF]);
            id.Add('_');
        }
        if (id.size() > (size_t)kMaxPovName) {
            // Cut long names so that the identifier stays within POV-Ray's limit.
            id.Cut(119).Add("MAX125");
            return UniqueCutName(w, name, id);
        }
    }
    id.Add(w->PovNameSuffix);
    if (IsReservedIdentifier(id.c_str())) {
        // A leading "_" before a letter cannot come from a name: there a "_" before a letter
        // always opens a "_word_" marker.
        char word[160];
        strncpy0(word, id.c_str(), sizeof(word));
        id.Clear().Add('_').Add(word);
    }
    return id.c_str();
}
