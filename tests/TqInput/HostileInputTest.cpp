// Files that once crashed or could crash a reader: each is converted and checked by the real
// binary; it may fail with a message, but never crash, hang, overrun or leak (the sanitizer build
// turns any such finding into exit status 86).
#include <dirent.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/TestSupport.h"

namespace {

std::vector<std::string> HostileFiles() {
    std::vector<std::string> files;
    if (DIR* d = opendir((SourceDir() + "/tests/hostile").c_str())) {
        while (struct dirent* e = readdir(d)) {
            if (e->d_name[0] != '.') files.push_back(e->d_name);
        }
        closedir(d);
    }
    std::sort(files.begin(), files.end());
    return files;
}

class HostileInput : public ::testing::TestWithParam<std::string> {};

}  // namespace

TEST_P(HostileInput, ConvertAndCheckWithoutCrashing) {
    TempDir work;
    std::string model = SourceDir() + "/tests/hostile/" + GetParam();
    std::string lib = "-ldd" + SourceDir() + "/samples/ldraw";
    for (const std::vector<std::string>& options : {std::vector<std::string>{"-o"},
                                                    {"-o", "-w3", "-ee", "-l", "-sc"},
                                                    {"-check", "-w3"},
                                                    {"-check", "-d"}}) {
        std::vector<std::string> args = {"-stdout", lib};
        args.insert(args.end(), options.begin(), options.end());
        args.push_back(model);
        args.push_back(work / "out.pov");
        RunResult r = RunTqr(args, work.Path(), CleanLibraryEnv(work.Path()));
        EXPECT_TRUE(r.status == 0 || r.status == 1)
            << GetParam() << " " << options.back() << " status " << r.status << "\n"
            << r.out.substr(r.out.size() > 3000 ? r.out.size() - 3000 : 0);
        std::string scene = ReadFile(work / "out.pov");
        EXPECT_FALSE(HasNonFiniteNumber(scene)) << GetParam();
        if (r.status == 0 && options[0] == "-o") {
            EXPECT_NE(r.out.find("POV file successfully written"), std::string::npos);
            EXPECT_EQ(scene.find("// Error occurred"), std::string::npos);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Files, HostileInput, ::testing::ValuesIn(HostileFiles()),
                         [](const ::testing::TestParamInfo<std::string>& param) {
                             return TestNameOf(param.param);
                         });
