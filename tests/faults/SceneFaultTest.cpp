// Faults injected around the files a run writes: the output naming the model, a full disk
// (/dev/full), a file-size limit (RLIMIT_FSIZE) and lost standard output. After each failure the
// bytes of every file the user had are checked.
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "support/TestSupport.h"

namespace fs = std::filesystem;

namespace {

const char kModel[] = "0 A brick\n1 4 0 0 0 1 0 0 0 1 0 0 0 1 3001.dat\n";
const char kOldScene[] = "// the scene of yesterday, which must survive\n";

class SceneFault : public ::testing::Test {
protected:
    TempDir dir;

    RunResult Run(std::vector<std::string> args, const RunOptions& options = {}) {
        args.insert(args.begin(), {"-stdout", "-ldd" + SourceDir() + "/samples/ldraw"});
        RunOptions timed = options;
        timed.timeoutSeconds = 60;
        return RunTqr(args, dir.Path(), CleanLibraryEnv(dir.Path()), timed);
    }
    // Names in the directory other than the given ones: leftovers such as temporary files.
    std::vector<std::string> Others(const std::vector<std::string>& known) {
        std::vector<std::string> others;
        for (const auto& entry : fs::directory_iterator(dir.Path())) {
            std::string name = entry.path().filename().string();
            if (std::find(known.begin(), known.end(), name) == known.end()) others.push_back(name);
        }
        return others;
    }
};

mode_t ModeOf(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

}  // namespace

TEST_F(SceneFault, AnOutputNamingTheModelIsRefused) {
    dir.Write("m.ldr", kModel);
    dir.Write("m2.pov", kModel);  // a model whose name ends in .pov
    fs::create_symlink("m.ldr", dir / "link.pov");
    for (const std::vector<std::string>& args : {std::vector<std::string>{"m.ldr", "m.ldr", "-o"},
                                                 {"m2.pov", "-o"},
                                                 {"m.ldr", "link.pov", "-o"},
                                                 {"m.ldr", dir.Path() + "/./m.ldr", "-o"}}) {
        RunResult r = Run(args);
        EXPECT_EQ(r.status, 1) << args[0] << " " << args[1];
        EXPECT_NE(r.out.find("is the model file itself; give another output path.\n"),
                  std::string::npos)
            << r.out;
    }
    EXPECT_EQ(ReadFile(dir / "m.ldr"), kModel);
    EXPECT_EQ(ReadFile(dir / "m2.pov"), kModel);
}

// -test with a name that is no primitive writes its (empty) scene under the name as typed.
TEST_F(SceneFault, ATestSceneNeverReplacesThePartItIsNamedAfter) {
    dir.Write("3001.dat", kModel);
    RunResult part = Run({"-test", "3001.dat", "-o"});
    EXPECT_EQ(part.status, 1);
    EXPECT_NE(part.out.find("Output file '3001.dat' exists and is no scene"), std::string::npos)
        << part.out;
    EXPECT_EQ(ReadFile(dir / "3001.dat"), kModel);
    // An earlier test scene may still be replaced.
    dir.Write("x.pov", kOldScene);
    RunResult scene = Run({"-test", "x.pov", "-o"});
    EXPECT_EQ(scene.out.find("is no scene"), std::string::npos) << scene.out;
    EXPECT_NE(ReadFile(dir / "x.pov"), kOldScene);
}

TEST_F(SceneFault, AFailedWriteKeepsTheOldSceneByteForByte) {
    dir.Write("m.ldr", kModel);
    dir.Write("m.pov", kOldScene);
    chmod((dir / "m.pov").c_str(), 0640);
    RunOptions limited;
    limited.fileSizeLimit = 4096;  // far less than the scene's declarations
    RunResult full = Run({"-o", "m.ldr"}, limited);
    EXPECT_EQ(full.status, 1) << full.out;
    EXPECT_NE(full.out.find("*** Could not write 'm.pov' completely.\n"), std::string::npos)
        << full.out;
    EXPECT_EQ(ReadFile(dir / "m.pov"), kOldScene);
    EXPECT_EQ(ModeOf(dir / "m.pov"), 0640u);
    EXPECT_EQ(Others({"m.ldr", "m.pov"}), std::vector<std::string>{});  // no temporary file left
    // A new scene that does not fit is not created at all.
    RunResult fresh = Run({"m.ldr", "new.pov"}, limited);
    EXPECT_EQ(fresh.status, 1);
    EXPECT_FALSE(FileExists(dir / "new.pov"));
    EXPECT_EQ(Others({"m.ldr", "m.pov"}), std::vector<std::string>{});
    // Written in full, the scene replaces the old one and keeps its permission bits.
    RunResult ok = Run({"-o", "m.ldr"});
    EXPECT_EQ(ok.status, 0) << ok.out;
    EXPECT_NE(ReadFile(dir / "m.pov").find("#declare m_dot_ldr"), std::string::npos);
    EXPECT_EQ(ModeOf(dir / "m.pov"), 0640u);
    EXPECT_EQ(Others({"m.ldr", "m.pov"}), std::vector<std::string>{});
}

TEST_F(SceneFault, DevicesFifosAndLinksAreWrittenThrough) {
    dir.Write("m.ldr", kModel);
    // (A bare "/dev/full" would get ".pov" appended, as every name without extension.)
    fs::create_symlink("/dev/full", dir / "full.pov");
    RunResult full = Run({"-o", "m.ldr", "full.pov"});
    EXPECT_EQ(full.status, 1);
    EXPECT_NE(full.out.find("*** Could not write 'full.pov' completely.\n"), std::string::npos);
    // A link keeps pointing where it did; its target gets the scene.
    dir.Write("target.pov", kOldScene);
    fs::create_symlink("target.pov", dir / "link.pov");
    RunResult link = Run({"-o", "m.ldr", "link.pov"});
    EXPECT_EQ(link.status, 0) << link.out;
    EXPECT_TRUE(fs::is_symlink(dir / "link.pov"));
    EXPECT_NE(ReadFile(dir / "target.pov").find("#declare m_dot_ldr"), std::string::npos);
    // A FIFO with a reader receives the whole scene.
    ASSERT_EQ(mkfifo((dir / "pipe.pov").c_str(), 0644), 0);
    std::string received;
    std::thread reader([&] { received = ReadFile(dir / "pipe.pov"); });
    RunResult fifo = Run({"-o", "m.ldr", "pipe.pov"});
    reader.join();
    EXPECT_EQ(fifo.status, 0) << fifo.out;
    EXPECT_NE(received.find("//// End"), std::string::npos);
}

TEST_F(SceneFault, LostStandardOutputFailsEveryMode) {
    dir.Write("m.ldr", kModel + std::string("3 99999 0 0 0 1 0 0 0 1 0\n"));  // a diagnostic
    RunOptions toFull;
    toFull.stdoutPath = "/dev/full";
    for (const std::vector<std::string>& args : {std::vector<std::string>{"-pc"},
                                                 {"-pp"},
                                                 {"-check", "m.ldr"},
                                                 {"-d", "-check", "m.ldr"},
                                                 {"-o", "m.ldr"}}) {
        // Without -stdout the final messages go to standard error, which still works.
        std::vector<std::string> full = {"-ldd" + SourceDir() + "/samples/ldraw"};
        full.insert(full.end(), args.begin(), args.end());
        RunResult r = RunTqr(full, dir.Path(), CleanLibraryEnv(dir.Path()), toFull);
        EXPECT_EQ(r.status, 1) << args[0];
        EXPECT_NE(r.err.find("*** Could not write to standard output.\n"), std::string::npos)
            << args[0] << "\n"
            << r.err;
    }
}
