// The one channel through which faults in input files are reported: the current input position,
// diagnostics with their warning levels and forms, their tallies, and messages to the user.
#pragma once

#include <cstdarg>
#include <cstdio>
#include <string>
#include <vector>

#include "TqText/TqText.h"

/// The current input position that every line reader fills and every diagnostic prints.
struct InputInfo {
    char Line[kLineSize];  ///< the current line, trimmed
    const char* FileName;  ///< name of the file being read, as shown in messages
    unsigned LineNo;       ///< physical line number from 1; 0 before the first line
};
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
/// The diagnostics sink of one run: where messages go, which are shown, the current input
/// position they point at, and how many were shown. Every message of the run goes through it.
struct Diagnostics {
    FILE* Out = stdout;      ///< input diagnostics and listings: standard output
    FILE* StdErr = stderr;   ///< progress, warnings and errors: standard error, or Out (-stdout)
    FILE* Console = stderr;  ///< standard error itself, for the report that Out failed
    int WarningLevel = 0;    ///< -w, -check: highest input diagnostic level printed; 0
    InputInfo IInfo = {};    ///< the current input position
    DiagnosticTally Tally;   ///< what was shown and what is being summed up
};

/// From here on, diagnostics of one file are counted per message instead of printed, when the
/// warning level is below 2 (a library colour file holds dozens of alike notices).
void BeginDiagnosticSummary(Diagnostics* diag);
/// Prints one line per kind of message counted since BeginDiagnosticSummary.
void EndDiagnosticSummary(Diagnostics* diag, const char* fileName);
/// Message and newline on StdErr (the title is not shown).
void PromptUser(Diagnostics* diag, const char* title, const char* format, ...) TQ_PRINTF(3, 4);
/// Input diagnostic on Out when level <= WarningLevel.
void ErrorInInput(Diagnostics* diag, int level, int kind, const char* format, ...) TQ_PRINTF(4, 5);
/// ErrorInInput shown only up to limit as well: a stage that reports more quietly than the
/// warning level (library files in check mode) passes its own limit instead of lowering the level.
void ErrorInInputUpTo(Diagnostics* diag, int limit, int level, int kind, const char* format, ...)
    TQ_PRINTF(5, 6);
/// ErrorInInputUpTo with its arguments as a va_list.
void VErrorInInputUpTo(Diagnostics* diag, int limit, int level, int kind, const char* format,
                       va_list ap) __attribute__((format(printf, 5, 0)));
/// True when an input diagnostic of this level would be shown.
inline bool ShowsLevel(const Diagnostics* diag, int level) {
    return level <= diag->WarningLevel;
}

/// Reads the next physical line of fp into IInfo (counted, trimmed, a UTF-8 byte-order mark
/// skipped on line 1); a line too long for the buffer or holding a NUL byte is reported at the
/// given level. False at the end of the file.
bool ReadInputLine(Diagnostics* diag, FILE* fp, int reportLevel);
