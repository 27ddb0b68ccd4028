// The one channel through which faults in input files are reported, with file, line and level,
// and the reading of the input lines those reports point at.
#include <cstdarg>
#include <string>
#include <vector>

#include "TqDiag/TqDiag.h"

namespace {

__attribute__((format(printf, 3, 0))) void CountForSummary(DiagnosticTally* tally, int kind,
                                                           const char* format, va_list ap) {
    // Only the formatted message is compared, without file, line number and line text, so that one
    // fault on many lines is one entry. The colour file's messages are short; 512 bytes hold any of
    // them with the word they quote.
    char message[512];
    vsnprintf(message, sizeof(message), format, ap);
    for (SummaryLine& line : tally->summary) {
        if (line.kind == kind && line.message == message) {
            line.count++;
            return;
        }
    }
    tally->summary.push_back({kind, message, 1});
}

__attribute__((format(printf, 4, 0))) void ReportInput(Diagnostics* diag, int level, int kind,
                                                       const char* format, va_list ap) {
    if (level > diag->WarningLevel) return;
    DiagnosticTally& tally = diag->Tally;
    // A summed-up message is not added to the shown errors and warnings below: the summary line
    // stands for it.
    if (tally.summarising) {
        CountForSummary(&tally, kind, format, ap);
        return;
    }
    // Messages that carry their own "WARNING" word (with a file name but no line) count as warnings
    // too.
    if (kind == kSkipping || kind == kFailure) tally.nErrors++;
    if (kind == kWarning || (kind == kPlain && StrBeginsWith(format, "WARNING"))) tally.nWarnings++;
    // Written piece by piece straight to the stream: however long the line and the file name,
    // nothing has to fit into an intermediate buffer.
    FILE* out = diag->Out;
    const InputInfo& at = diag->IInfo;
    if (kind == kWarning || kind == kSkipping) {
        fprintf(out, "%s \"%s\" Line %u: ", kind == kWarning ? "WARNING" : "SKIPPING",
                at.FileName ? at.FileName : "", at.LineNo);
    }
    vfprintf(out, format, ap);
    if (kind == kWarning || kind == kSkipping) {
        fputs(": ", out);
        fputs(at.Line, out);
    }
    fputc('\n', out);
}

}  // namespace

void BeginDiagnosticSummary(Diagnostics* diag) {
    diag->Tally.summary.clear();
    // From -w2 on every line is shown on its own, as anywhere else.
    diag->Tally.summarising = diag->WarningLevel < 2;
}

void EndDiagnosticSummary(Diagnostics* diag, const char* fileName) {
    for (const SummaryLine& line : diag->Tally.summary) {
        const char* word = line.kind == kSkipping  ? "SKIPPING "
                           : line.kind == kWarning ? "WARNING "
                                                   : "";
        fprintf(diag->Out, "%s\"%s\": %d line%s: %s (-w2 shows each)\n", word, fileName, line.count,
                line.count == 1 ? "" : "s", line.message.c_str());
    }
    diag->Tally.summary.clear();
    diag->Tally.summarising = false;
}

void PromptUser(Diagnostics* diag, const char* /*title*/, const char* format, ...) {
    va_list ap;
    va_start(ap, format);
    vfprintf(diag->StdErr, format, ap);
    va_end(ap);
    fputc('\n', diag->StdErr);
}

void ErrorInInput(Diagnostics* diag, int level, int kind, const char* format, ...) {
    va_list ap;
    va_start(ap, format);
    ReportInput(diag, level, kind, format, ap);
    va_end(ap);
}

void ErrorInInputUpTo(Diagnostics* diag, int limit, int level, int kind, const char* format, ...) {
    va_list ap;
    va_start(ap, format);
    VErrorInInputUpTo(diag, limit, level, kind, format, ap);
    va_end(ap);
}

void VErrorInInputUpTo(Diagnostics* diag, int limit, int level, int kind, const char* format,
                       va_list ap) {
    if (level <= limit) ReportInput(diag, level, kind, format, ap);
}

bool ReadInputLine(Diagnostics* diag, FILE* fp, int reportLevel) {
    InputInfo& at = diag->IInfo;
    LineRead read;
    if (!TqReadLine(at.Line, kLineSize, fp, &read)) return false;
    at.LineNo++;
    // Physical lines are counted, as an editor numbers them; a byte-order mark can only stand at
    // the very start of the file.
    if (at.LineNo == 1) SkipUtf8Bom(at.Line);
    TqTrimRight(at.Line, 1);
    if (read.cut)
        ErrorInInput(diag, reportLevel, kWarning,
                     "Line too long, %zu characters; the rest is ignored", read.length);
    if (read.hasNul)
        ErrorInInput(diag, reportLevel, kWarning,
                     "NUL byte in line; the rest of the line is ignored");
    return true;
}
