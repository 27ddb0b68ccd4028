// Golden scenes: the real binary on each case of tests/golden, compared byte for byte with the
// expected scene and console output, and the scene rendered by POV-Ray.
#include <dirent.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/TestSupport.h"

namespace fs = std::filesystem;

namespace {

std::string GoldenDir() {
    return SourceDir() + "/tests/golden";
}

std::vector<std::string> GoldenCases() {
    std::vector<std::string> cases;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(GoldenDir(), ec)) {
        if (entry.is_directory() && fs::exists(entry.path() / "args"))
            cases.push_back(entry.path().filename().string());
    }
    std::sort(cases.begin(), cases.end());
    return cases;
}

void ReplaceAll(std::string* text, const std::string& from, const std::string& to) {
    if (from.empty()) return;
    for (size_t pos = 0; (pos = text->find(from, pos)) != std::string::npos; pos += to.size())
        text->replace(pos, from.size(), to);
}

// Only the date line and the paths of the work copy and of the checkout vary between runs (and
// with the paths, the size of the scene in kilobytes).
std::string Normalise(std::string text, const std::string& work) {
    ReplaceAll(&text, work, "@WORK@");
    ReplaceAll(&text, SourceDir(), "@SOURCE@");
    const std::string written = "POV file successfully written: ";
    size_t at = text.find(written);
    if (at != std::string::npos) {
        size_t sizeStart = text.find("  ", at + written.size());
        size_t sizeEnd = text.find(" kBytes", sizeStart);
        if (sizeStart != std::string::npos && sizeEnd != std::string::npos)
            text.replace(sizeStart + 2, sizeEnd - sizeStart - 2, "@SIZE@");
    }
    size_t date = text.find("// Date:         ");
    if (date != std::string::npos) {
        size_t end = text.find('\n', date);
        text.replace(date, end - date, "// Date:         @DATE@");
    }
    return text;
}

std::vector<std::string> ReadArgs(const std::string& path, const std::string& work) {
    std::vector<std::string> args;
    std::istringstream in(ReadFile(path));
    for (std::string line; std::getline(in, line);) {
        if (line.empty()) continue;
        ReplaceAll(&line, "@SOURCE@", SourceDir());
        ReplaceAll(&line, "@WORK@", work);
        args.push_back(line);
    }
    return args;
}

class Golden : public ::testing::TestWithParam<std::string> {};

}  // namespace

TEST_P(Golden, SceneAndConsoleMatchAndTheSceneRenders) {
    const std::string caseDir = GoldenDir() + "/" + GetParam();
    TempDir work;
    for (const auto& entry : fs::directory_iterator(caseDir)) {
        std::string name = entry.path().filename().string();
        if (name.rfind("expected", 0) == 0 || name.rfind("render", 0) == 0) continue;
        fs::copy(entry.path(), work / name, fs::copy_options::recursive);
    }
    std::vector<std::string> args = ReadArgs(caseDir + "/args", work.Path());
    RunResult r = RunTqr(args, work.Path(), CleanLibraryEnv(work.Path()));
    std::string console =
        Normalise(r.out + r.err, work.Path()) + "[exit " + std::to_string(r.status) + "]\n";
    std::string scene = Normalise(ReadFile(work / "out.pov"), work.Path());
    if (getenv("TQR_UPDATE_GOLDEN")) {
        std::ofstream(caseDir + "/expected.out", std::ios::binary) << console;
        std::ofstream(caseDir + "/expected.pov", std::ios::binary) << scene;
    }
    EXPECT_EQ(console, ReadFile(caseDir + "/expected.out"));
    EXPECT_EQ(scene, ReadFile(caseDir + "/expected.pov"));
    // "norender": the scene is only a header and a banner; "render-size": the aspect ratio the
    // case asks for; "render-fails": POV-Ray must refuse the scene.
    if (!HavePovray() || !FileExists(work / "out.pov") || FileExists(caseDir + "/norender")) return;
    int width = 64, height = 48;
    std::istringstream(ReadFile(caseDir + "/render-size")) >> width >> height;
    std::string messages = RenderScene(work / "out.pov", work / "out.png", width, height,
                                       {work.Path(), work / "ldraw/TQRPARTS", work / "lgeo"});
    if (FileExists(caseDir + "/render-fails"))
        EXPECT_NE(messages, "") << "the scene of a failed conversion must not render";
    else
        EXPECT_EQ(messages, "");
}

INSTANTIATE_TEST_SUITE_P(Cases, Golden, ::testing::ValuesIn(GoldenCases()),
                         [](const ::testing::TestParamInfo<std::string>& param) {
                             return TestNameOf(param.param);
                         });
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(Golden);
