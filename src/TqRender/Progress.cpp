// Progress on standard error. On a terminal one status line is rewritten in place and cleared
// before any other line; elsewhere (logs, tests, pipes) only whole lines are written.
#include <cstdarg>
#include <ctime>

#include "TqRender/TqRender.h"

namespace tqrender {

namespace {

bool gTerminal = false;
bool gStatusShown = false;
std::string gStatusText;

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
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (double)ts.tv_sec + ts.tv_nsec / 1e9;
}

}  // namespace tqrender
