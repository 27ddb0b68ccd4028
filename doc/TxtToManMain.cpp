// Command-line front of the manual converter: txttoman <manual.txt> <page.1>. Run by the build.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "TxtToMan.h"

static bool ReadWhole(const char* path, std::string* text) {
    FILE* fp = fopen(path, "rb");
    if (!fp) return false;
    char buffer[65536];
    size_t n;
    while ((n = fread(buffer, 1, sizeof(buffer), fp)) > 0) text->append(buffer, n);
    bool ok = !ferror(fp);
    fclose(fp);
    return ok;
}

int main(int argc, char** argv) {
    if (argc != 3) {
        fprintf(stderr, "Usage: txttoman <manual.txt> <page.1>\n");
        return 2;
    }
    std::string text, man;
    if (!ReadWhole(argv[1], &text)) {
        fprintf(stderr, "txttoman: cannot read '%s': %s\n", argv[1], strerror(errno));
        return 1;
    }
    TxtToManError error;
    if (!TxtToMan(text, &man, &error)) {
        // The compiler's format, so that editors jump to the line.
        fprintf(stderr, "%s:%d: error: %s\n", argv[1], error.Line, error.Message.c_str());
        return 1;
    }
    FILE* fp = fopen(argv[2], "wb");
    if (!fp) {
        fprintf(stderr, "txttoman: cannot write '%s': %s\n", argv[2], strerror(errno));
        return 1;
    }
    bool ok = fwrite(man.data(), 1, man.size(), fp) == man.size();
    if (fclose(fp) != 0) ok = false;
    if (!ok) {
        fprintf(stderr, "txttoman: could not write '%s' completely\n", argv[2]);
        remove(argv[2]);
        return 1;
    }
    return 0;
}
