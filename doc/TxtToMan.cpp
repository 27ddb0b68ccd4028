// The plain-text manual to man page conversion: a block classifier over indentation and an
// escaper for troff. The rules are in TxtToMan.h; every fault names its line.
#include "TxtToMan.h"

#include <cstddef>
#include <string_view>
#include <utility>
#include <vector>

namespace {

constexpr int kTextIndent = 4;      // paragraphs and terms
constexpr int kBodyIndent = 8;      // a term's description; examples outside a description
constexpr int kExampleIndent = 12;  // examples inside a description

struct Line {
    int number;
    int indent;
    std::string_view text;  // without the indentation
};

struct Converter {
    std::string* out;
    TxtToManError* error;
    bool afterHeading = false;  // .SH and .SS start a paragraph of their own
    bool inDescription = false;

    bool Fail(int line, std::string message) {
        error->Line = line;
        error->Message = std::move(message);
        return false;
    }
};

// Text for a troff input line. Lone '-' would print as a hyphen (and break copying an option
// from the rendered page); ' ` ^ ~ would print as typographic quotes and accents.
std::string Escape(std::string_view text) {
    std::string s;
    if (!text.empty() && text[0] == '.') s += "\\&";  // a leading '.' would be a request
    for (char c : text) {
        switch (c) {
            case '\\':
                s += "\\e";
                break;
            case '-':
                s += "\\-";
                break;
            case '\'':
                s += "\\(aq";
                break;
            case '`':
                s += "\\(ga";
                break;
            case '^':
                s += "\\(ha";
                break;
            case '~':
                s += "\\(ti";
                break;
            default:
                s += c;
        }
    }
    return s;
}

bool HasLowerCase(std::string_view text) {
    for (char c : text) {
        if (c >= 'a' && c <= 'z') return true;
    }
    return false;
}

// "NAME(1)" -> name and section; false when the word has another form.
bool SplitTitleWord(std::string_view word, std::string_view* name, std::string_view* section) {
    size_t open = word.find('(');
    if (open == std::string_view::npos || open == 0 || word.back() != ')') return false;
    *name = word.substr(0, open);
    *section = word.substr(open + 1, word.size() - open - 2);
    return !section->empty() && (*section)[0] >= '1' && (*section)[0] <= '9';
}

bool ConvertTitle(Converter* c, const Line& line) {
    std::string_view t = line.text;
    size_t firstEnd = t.find(' ');
    size_t lastStart = t.rfind(' ');
    std::string_view name, section, name2, section2;
    if (line.indent != 0 || firstEnd == std::string_view::npos ||
        !SplitTitleWord(t.substr(0, firstEnd), &name, &section) ||
        !SplitTitleWord(t.substr(lastStart + 1), &name2, &section2) || name != name2 ||
        section != section2) {
        return c->Fail(line.number, "the first line must be \"NAME(SECTION) title NAME(SECTION)\"");
    }
    std::string_view middle = t.substr(firstEnd, lastStart - firstEnd);
    while (!middle.empty() && middle.front() == ' ') middle.remove_prefix(1);
    while (!middle.empty() && middle.back() == ' ') middle.remove_suffix(1);
    if (middle.find('"') != std::string_view::npos)
        return c->Fail(line.number, "the title must not hold a double quote");
    *c->out += ".TH " + Escape(name) + " " + std::string(section) + " \"\" \"\" \"" +
               Escape(middle) + "\"\n";
    // No hyphenation and a ragged right margin: option names and paths stay whole and readable.
    *c->out += ".nh\n.ad l\n";
    return true;
}

// Lines shown as they are, indented relative to base.
bool ConvertExample(Converter* c, const std::vector<Line>& block, int base) {
    for (const Line& l : block) {
        if (l.indent < base)
            return c->Fail(l.number, "example line indented less than its first line");
    }
    // Inside a description the first .RS moves the margin to the description's own indent.
    *c->out += c->inDescription ? ".IP\n.RS\n" : (c->afterHeading ? "" : ".PP\n");
    *c->out += ".RS 4\n.nf\n";
    // In no-fill mode leading blanks are kept as they are, so the relative indentation shows.
    for (const Line& l : block)
        *c->out += std::string((size_t)(l.indent - base), ' ') + Escape(l.text) + "\n";
    *c->out += c->inDescription ? ".fi\n.RE\n.RE\n" : ".fi\n.RE\n";
    return true;
}

bool ConvertTextLines(Converter* c, const std::vector<Line>& block, size_t first, int indent) {
    for (size_t i = first; i < block.size(); i++) {
        if (block[i].indent != indent) {
            return c->Fail(block[i].number, "expected " + std::to_string(indent) +
                                                " blanks, as the line above, found " +
                                                std::to_string(block[i].indent));
        }
        *c->out += Escape(block[i].text) + "\n";
    }
    return true;
}

bool ConvertBlock(Converter* c, const std::vector<Line>& block) {
    const Line& head = block[0];
    if (head.indent == 0) {
        *c->out += (HasLowerCase(head.text) ? ".SS " : ".SH ") + Escape(head.text) + "\n";
        c->afterHeading = true;
        c->inDescription = false;
        return true;
    }
    bool ok;
    if (head.indent == kTextIndent) {
        size_t body = 1;
        while (body < block.size() && block[body].indent == kTextIndent) body++;
        if (body < block.size() && block[body].indent == kBodyIndent) {
            // Every line before the description is a term of its own: .TP, then .TQ.
            for (size_t i = 0; i < body; i++)
                *c->out += (i == 0 ? ".TP\n\\fB" : ".TQ\n\\fB") + Escape(block[i].text) + "\\fR\n";
            ok = ConvertTextLines(c, block, body, kBodyIndent);
            c->inDescription = true;
        } else {
            if (!c->afterHeading) *c->out += ".PP\n";
            c->inDescription = false;
            ok = ConvertTextLines(c, block, 0, kTextIndent);
        }
    } else if (c->inDescription && head.indent == kBodyIndent) {
        *c->out += ".IP\n";
        ok = ConvertTextLines(c, block, 0, kBodyIndent);
    } else if (c->inDescription && head.indent >= kExampleIndent) {
        ok = ConvertExample(c, block, kExampleIndent);
    } else if (!c->inDescription && head.indent >= kBodyIndent) {
        ok = ConvertExample(c, block, kBodyIndent);
    } else {
        ok =
            c->Fail(head.number, "a block starts at column 0, 4, 8 or (in a description) 12, not " +
                                     std::to_string(head.indent));
    }
    c->afterHeading = false;
    return ok;
}

// Splits the text into lines, refusing what the plain-text layout cannot carry.
bool SplitLines(Converter* c, const std::string& text, std::vector<Line>* lines) {
    size_t start = 0;
    int number = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string_view raw(text.data() + start, end - start);
        start = end + 1;
        number++;
        if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);
        for (char ch : raw) {
            unsigned char u = (unsigned char)ch;
            if (ch == '\t') return c->Fail(number, "tab character; indent with blanks");
            if (u < 0x20 || u > 0x7E) return c->Fail(number, "character outside printable ASCII");
        }
        while (!raw.empty() && raw.back() == ' ') raw.remove_suffix(1);
        size_t indent = raw.find_first_not_of(' ');
        if (indent == std::string_view::npos) indent = raw.size();
        lines->push_back({number, (int)indent, raw.substr(indent)});
    }
    return true;
}

}  // namespace

bool TxtToMan(const std::string& text, std::string* man, TxtToManError* error) {
    man->clear();
    Converter c{man, error};
    std::vector<Line> lines;
    if (!SplitLines(&c, text, &lines)) return false;
    if (lines.empty() || lines[0].text.empty()) return c.Fail(1, "the first line is the title");
    if (!ConvertTitle(&c, lines[0])) return false;
    if (lines.size() > 1 && !lines[1].text.empty())
        return c.Fail(2, "an empty line follows the title");
    std::vector<Line> block;
    // A block ends at an empty line; a heading is a block of its own, so the text under it may
    // follow without an empty line.
    for (size_t i = 1; i <= lines.size(); i++) {
        bool end = i == lines.size() || lines[i].text.empty();
        bool heading = !end && lines[i].indent == 0;
        if ((end || heading) && !block.empty()) {
            if (!ConvertBlock(&c, block)) return false;
            block.clear();
        }
        if (heading) {
            if (!ConvertBlock(&c, {lines[i]})) return false;
        } else if (!end) {
            block.push_back(lines[i]);
        }
    }
    return true;
}
