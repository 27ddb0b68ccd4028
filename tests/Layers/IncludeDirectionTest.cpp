// The modules form layers: maths and text at the bottom, then the settings, diagnostics, library
// search and colours, the LDraw input side, the scene writer, run control, and the front end on
// top. A file may include its own module and the modules below it, never one above.
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <string>

#include "support/TestSupport.h"

namespace fs = std::filesystem;

TEST(Layers, IncludesNeverGoUpward) {
    const std::vector<std::string> order = {"TqMath",  "TqMesh",   "TqText",    "TqSettings",
                                            "TqDiag",  "LDrawIni", "TqLibrary", "TqColor",
                                            "TqInput", "TqPov",    "Tqr",       "TqRender"};
    std::map<std::string, size_t> rank;
    for (size_t i = 0; i < order.size(); i++) rank[order[i]] = i;
    const std::regex include(R"re(^\s*#\s*include\s*"(\w+)/)re");
    int files = 0;
    for (const auto& entry : fs::recursive_directory_iterator(SourceDir() + "/src")) {
        if (!entry.is_regular_file()) continue;
        std::string module = entry.path().parent_path().filename().string();
        std::string name = module + "/" + entry.path().filename().string();
        ASSERT_TRUE(rank.count(module)) << name << ": a module without a place in the layers";
        files++;
        std::ifstream in(entry.path());
        int lineNo = 0;
        for (std::string line; std::getline(in, line);) {
            lineNo++;
            std::smatch match;
            if (!std::regex_search(line, match, include)) continue;
            std::string target = match[1];
            ASSERT_TRUE(rank.count(target)) << name << ":" << lineNo << " includes " << target;
            EXPECT_LE(rank[target], rank[module])
                << name << ":" << lineNo << " includes " << target << ", a higher layer";
        }
    }
    EXPECT_GT(files, 40);
}
