// The one channel through which faults in input files are reported, with file, line and level,
// and the reading of the input lines those reports point at.
#include <cstdarg>
#include <string>
#include <vector>

#include "TqDiag/TqDiag.h"

InputInfo IInfo;
DiagnosticTally Tally;

namespace {

__attribute__((format(printf, 2, 0))) void CountForSummary(int kind, const char* format,
                                                           va_list ap) {
    // Only the formatted message is compared, without file, line number and line text, so that one
    // fault on many lines is one entry. The colour file's messages are short; 512 bytes hold any of
    // them with the word they quote.
    char message[512];
    vsnprintf(message, sizeof(message), format, ap);
    for (SummaryLine& line : Tally.summary) {
        if (line.kind == kind && line.message == message) {
            line.count++;
            return;
        }
    }
    Tally.summary.push_back({kind, message, 1});
}

}  // namespace

void BeginDiagnosticSummary() {
    Tally.summary.clear();
    // From -w2 on every line is shown on its own, as anywhere else.
    Tally.summarising = WarningLevel < 2;
}

void EndDiagnosticSummary(const char* fileName) {
    for (const SummaryLine& line : Tally.summary) {
        const char* word = line.kind == kSkipping  ? "SKIPPING "
                           : line.kind == kWarning ? "WARNING "
                                                   : "";
        printf("%s\"%s\": %d line%s: %s (-w2 shows each)\n", word, fileName, line.count,
               line.count == 1 ? "" : "s", line.message.c_str());
    }
    Tally.summary.clear();
    Tally.summarising = false;
}

void PromptUser(const char* /*title*/, const char* format, ...) {
    va_list ap;
    va_start(ap, format);
    vfprintf(StdErr, format, ap);
    va_end(ap);
    fputc('\n', StdErr);
}

void ErrorInInput(int level, int kind, const char* format, ...) {
    if (level > WarningLevel) return;
    // A summed-up message is not added to the shown errors and warnings below: the summary line
    // stands for it.
    if (Tally.summarising) {
        va_list ap;
        va_start(ap, format);
        CountForSummary(kind, format, ap);
        va_end(ap);
        return;
    }
    // Messages that carry their own "WARNING" word (with a file name but no line) count as warnings
    // too.
    if (kind == kSkipping || kind == kFailure) Tally.nErrors++;
    if (kind == kWarning || (kind == kPlain && StrBeginsWith(format, "WARNING"))) Tally.nWarnings++;
    // Written piece by piece straight to the stream: however long the line and the file name,
    // nothing has to fit into an intermediate buffer.
    if (kind == kWarning || kind == kSkipping) {
        printf("%s \"%s\" Line %u: ", kind == kWarning ? "WARNING" : "SKIPPING",
               IInfo.FileName ? IInfo.FileName : "", IInfo.LineNo);
    }
    va_list ap;
    va_start(ap, format);
    vprintf(format, ap);
    va_end(ap);
    if (kind == kWarning || kind == kSkipping) {
        fputs(": ", stdout);
        fputs(IInfo.Line, stdout);
    }
    fputc('\n', stdout);
}

void ErrorInInputInit() {}

void ErrorInInputShow() {}

bool ReadInputLine(FILE* fp, int reportLevel) {
    LineRead read;
    if (!TqReadLine(IInfo.Line, kLineSize, fp, &read)) return false;
    IInfo.LineNo++;
    // Physical lines are counted, as an editor numbers them; a byte-order mark can only stand at
    // the very start of the file.
    if (IInfo.LineNo == 1) SkipUtf8Bom(IInfo.Line);
    TqTrimRight(IInfo.Line, 1);
    if (read.cut)
        ErrorInInput(reportLevel, kWarning, "Line too long, %zu characters; the rest is ignored",
                     read.length);
    if (read.hasNul)
        ErrorInInput(reportLevel, kWarning, "NUL byte in line; the rest of the line is ignored");
    return true;
}
