// Turns the plain-text manual (doc/tqr.txt) into a troff man page, so that the two never drift.
#pragma once

#include <string>

/// A place where the text breaks the layout rules below.
struct TxtToManError {
    int Line = 0;         ///< line number in the text, counting from 1
    std::string Message;  ///< what is wrong there
};

/// Converts the manual text into a man page. The text is ASCII, without tabs, laid out so:
/// - line 1 is the title, "NAME(SECTION) middle text NAME(SECTION)", and line 2 is empty;
/// - blocks of lines are separated by empty lines;
/// - a line at column 0 is a heading: without lower-case letters a section (.SH), otherwise a
///   subsection (.SS); the text under it may follow without an empty line;
/// - a block at column 4 is a paragraph (.PP), unless it goes on at column 8: then its lines at
///   column 4 are terms, one per line, and the rest is their description (.TP and .TQ);
/// - after a term, blocks at column 8 are further paragraphs of its description (.IP), and
///   blocks at column 12 or more are examples shown line by line (.nf);
/// - elsewhere, blocks at column 8 or more are examples shown line by line.
/// Returns false, with the first fault in error, when the text breaks a rule.
bool TxtToMan(const std::string& text, std::string* man, TxtToManError* error);
