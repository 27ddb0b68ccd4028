// Without libFuzzer: runs a fuzz target once over every file given, or every file under a
// directory given. Built with the tests, so that the targets keep compiling as the readers
// change, and so that the sanitizer build replays the seed inputs through them.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

namespace fs = std::filesystem;

bool Replay(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        fprintf(stderr, "cannot read %s\n", file.c_str());
        return false;
    }
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                               std::istreambuf_iterator<char>());
    LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    long replayed = 0;
    bool ok = true;
    for (int i = 1; i < argc; i++) {
        std::error_code error;
        if (!fs::is_directory(argv[i], error)) {
            ok = Replay(argv[i]) && ok;
            replayed++;
            continue;
        }
        for (const auto& entry : fs::recursive_directory_iterator(argv[i], error)) {
            if (!entry.is_regular_file()) continue;
            ok = Replay(entry.path()) && ok;
            replayed++;
        }
    }
    fprintf(stderr, "%ld inputs replayed\n", replayed);
    return ok && replayed > 0 ? 0 : 1;
}
