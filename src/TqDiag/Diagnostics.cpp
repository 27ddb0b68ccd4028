// The one channel through which faults in input files are reported, with file, line and level.
#include <cstdarg>
#include <string>
#include <vector>

#include "TqDiag/TqDiag.h"

InputInfo IInfo;
DiagnosticTally Tally;

namespace {

__attribute__((format(printf, 2, 0))) void CountForSummary(int kind, const char* format,
                                                           va_list ap) {
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
    if (Tally.summarising) {
        va_list ap;
        va_start(ap, format);
        CountForSummary(kind, format, ap);
        va_end(ap);
        return;
    }
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
    if (IInfo.LineNo == 1) SkipUtf8Bom(IInfo.Line);
    TqTrimRight(IInfo.Line, 1);
    if (read.cut)
        ErrorInInput(reportLevel, kWarning, "Line too long, %zu characters; the rest is ignored",
                     read.length);
    if (read.hasNul)
        ErrorInInput(reportLevel, kWarning, "NUL byte in line; the rest of the line is ignored");
    return true;
}
