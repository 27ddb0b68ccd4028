// Progress on standard error. On a terminal one status line is rewritten in place and cleared
// before any other line; elsewhere (logs, tests, pipes) only whole lines are written.
#include <cstdarg>
#include <ctime>

#include "TqRender/TqRender.h"

namespace tqrender {

namespace {

// Whether progress goes to a terminal, and the status line now on it (empty when none).
bool gTerminal = false;
bool gStatusShown = false;
std::string gStatusText;

// Carriage return, then erase to the end of the line: the next line starts on a clean one.
void ClearStatus() {
    if (gStatusShown) fputs("\r\033[K", stderr);
    gStatusShown = false;
    gStatusText.clear();
}

}  // namespace

void ProgressInit(bool terminal) {
    gTerminal = terminal;
    gStatusShown = false;
}

bool ProgressOnTerminal() {
    return gTerminal;
}

void ProgressNote(const char* format, ...) {
    ClearStatus();
    fputs("tqr-render: ", stderr);
    va_list ap;
    va_start(ap, format);
    vfprintf(stderr, format, ap);
    va_end(ap);
    fputc('\n', stderr);
    fflush(stderr);
}

void ProgressForward(const std::string& line) {
    ClearStatus();
    fputs(line.c_str(), stderr);
    fputc('\n', stderr);
    fflush(stderr);
}

void ProgressStatus(const std::string& text) {
    // The scheduler calls this on every round; unchanged text is not written again.
    if (!gTerminal || (gStatusShown && text == gStatusText)) return;
    gStatusText = text;
    fputs("\r\033[K", stderr);
    fputs(text.c_str(), stderr);
    fflush(stderr);
    gStatusShown = true;
}

void ProgressDone() {
    ClearStatus();
    fflush(stderr);
}

double NowSeconds() {
    // Monotonic: a timing is not thrown off when the wall clock is set.
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (double)ts.tv_sec + ts.tv_nsec / 1e9;
}

}  // namespace tqrender
