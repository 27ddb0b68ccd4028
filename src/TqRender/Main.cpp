// Entry point of tqr-render; the run itself lives in the library so that tests can call it.
#include <clocale>

#include "TqRender/TqRender.h"

int main(int argc, char** argv) {
    // Numbers on POV-Ray's and tqr's command lines must use a decimal point.
    setlocale(LC_ALL, "C");
    return tqrender::TqRenderMain(argc, argv);
}
