// The one channel through which faults in input files are reported: the current input position,
// diagnostics with their warning levels and forms, their tallies, and messages to the user.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "TqSettings/TqSettings.h"
#include "TqText/TqText.h"

/// The current input position that every line reader fills and every diagnostic prints.
struct InputInfo {
    char Line[kLineSize];  ///< the current line, trimmed
    const char* FileName;  ///< name of the file being read, as shown in messages
    unsigned LineNo;       ///< physical line number from 1; 0 before the first line
};
/// The current input position.
extern InputInfo IInfo;
/// The form of an input diagnostic.
enum InputErrorKind : int {
    kPlain = 0,     ///< no prefix
    kWarning = 1,   ///< "WARNING": the line is kept
    kSkipping = 2,  ///< "SKIPPING": the line is dropped
    kFailure = 3    ///< no prefix, but counted as an error (recursion, nesting too deep)
};
/// One kind of message counted instead of printed.
struct SummaryLine {
    int kind;             ///< InputErrorKind
    std::string message;  ///< the message as formatted
    int count;            ///< how often it came
};
/// How the diagnostics of the run went: what was shown, and the messages being summed up.
struct DiagnosticTally {
    int nErrors = 0;                   ///< errors (SKIPPING lines and failures) shown
    int nWarnings = 0;                 ///< warnings (WARNING lines) shown
    int nFilesNotFound = 0;            ///< files looked for and not found
    bool summarising = false;          ///< counting per message instead of printing
    std::vector<SummaryLine> summary;  ///< the messages counted, in order of first appearance
};
/// The tally of this run.
extern DiagnosticTally Tally;
/// From here on, diagnostics of one file are counted per message instead of printed, when the
/// warning level is below 2 (a library colour file holds dozens of alike notices).
void BeginDiagnosticSummary();
/// Prints one line per kind of message counted since BeginDiagnosticSummary.
void EndDiagnosticSummary(const char* fileName);
/// Message and newline on StdErr (the title is not shown).
void PromptUser(const char* title, const char* format, ...) TQ_PRINTF(2, 3);
/// Input diagnostic on standard output when level <= WarningLevel.
void ErrorInInput(int level, int kind, const char* format, ...) TQ_PRINTF(3, 4);
/// Hook before a reading phase; no effect here.
void ErrorInInputInit();
/// Hook after a reading phase; no effect here.
void ErrorInInputShow();

/// Reads the next physical line of fp into IInfo (counted, trimmed, a UTF-8 byte-order mark
/// skipped on line 1); a line too long for the buffer or holding a NUL byte is reported at the
/// given level. False at the end of the file.
bool ReadInputLine(FILE* fp, int reportLevel);
