// The ini reader and the symbolic search-list parser on arbitrary text.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "FuzzSupport.h"
#include "LDrawIni/LDrawIni.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    QuietOutput();
    // The ini reader opens a path: a memory file gives it one without touching the disk.
    static int fd = memfd_create("ldraw.ini", 0);
    if (fd < 0 || ftruncate(fd, 0) != 0 || lseek(fd, 0, SEEK_SET) != 0) return 0;
    if (size && write(fd, data, size) != (ssize_t)size) return 0;
    std::string path = "/proc/self/fd/" + std::to_string(fd);
    char value[1024];
    for (const char* key : {"BaseDirectory", "1", "2", "LgeoDirectory"}) {
        for (const char* section : {"LDraw", "LDrawSearch"}) {
            if (LDrawIniReadIniFile(path.c_str(), section, key, value, sizeof(value))) {
                LDrawSearchDirS dir;
                if (LDrawIniParseSymbolicSearchDir(&dir, value, "/ldraw", "/model", "/home")) {
                    free(dir.Dir);
                    free(dir.UnknownTags);
                }
            }
        }
    }
    // The whole input as one search list.
    std::string text(reinterpret_cast<const char*>(data), size);
    text = text.substr(0, text.find('\0'));
    LDrawIniS* ini = LDrawIniGet("/ldraw", "fuzz", nullptr);
    if (ini && LDrawIniResetSearchDirs(ini, text.c_str()))
        LDrawIniComputeRealDirs(ini, 0, 1, "/m/model.ldr");
    LDrawIniFree(ini);
    return 0;
}
