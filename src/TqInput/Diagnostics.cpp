// The one channel through which faults in input files are reported, with file, line and level.
#include <cstdarg>

#include "TqInput/TqInput.h"

InputInfo IInfo;

void PromptUser(const char* /*title*/, const char* format, ...) {
    va_list ap;
    va_start(ap, format);
    vfprintf(StdErr, format, ap);
    va_end(ap);
    fputc('\n', StdErr);
}

void ErrorInInput(int level, int kind, const char* format, ...) {
    if (level > WarningLevel) return;
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
