// cmake --install into a fresh prefix gives a working installation: the programs run from any
// directory, tqr-render finds the installed look and tqr beside it, the manual and man pages
// are in place.
#include <cstdlib>
#include <string>

#include "support/TestSupport.h"

namespace {

// Runs a shell command; its output is left in log.
int Shell(const std::string& command, const std::string& log) {
    return system((command + " >'" + log + "' 2>&1").c_str());
}

}  // namespace

TEST(Install, APrefixHoldsAWorkingInstallation) {
    TempDir prefix, elsewhere;
    std::string log = elsewhere / "log.txt";
    ASSERT_EQ(Shell(std::string("'") + TQR_CMAKE_COMMAND + "' --install '" + TQR_BUILD_DIR +
                        "' --prefix '" + prefix.Path() + "'",
                    log),
              0)
        << ReadFile(log);
    for (const char* file :
         {"bin/tqr", "bin/tqr-render", "share/tqr/pov/tqr-studio.inc",
          "share/tqr/pov/tqr-studio-lights.inc", "share/doc/tqr/tqr.txt", "share/man/man1/tqr.1"}) {
        EXPECT_TRUE(FileExists(prefix / file)) << file;
    }
    // The installed converter, run from a directory that has nothing to do with the build.
    std::string sample = SourceDir() + "/samples";
    ASSERT_EQ(Shell("cd '" + elsewhere.Path() + "' && '" + prefix / "bin/tqr" + "' -ldd'" + sample +
                        "/ldraw' '" + sample + "/tower.ldr'",
                    log),
              0)
        << ReadFile(log);
    EXPECT_NE(ReadFile(elsewhere / "tower.pov").find("//// End"), std::string::npos);
    if (system("command -v man >/dev/null 2>&1") == 0) {
        ASSERT_EQ(Shell("MANWIDTH=80 man -l '" + prefix / "share/man/man1/tqr.1" + "'", log), 0);
        EXPECT_NE(ReadFile(log).find("tqr - convert LDraw"), std::string::npos) << ReadFile(log);
    }
    // tqr-render with its installed look and the tqr beside it, nothing else on the path.
    if (!HavePovray()) GTEST_SKIP() << "povray not installed";
    std::string render = "cd '" + elsewhere.Path() +
                         "' && env -u TQR_POV_DIR PATH=/usr/bin:/bin '" +
                         prefix / "bin/tqr-render" + "' --size 64x48 --quality draft '" + sample +
                         "/tower.ldr' -- -ldd'" + sample + "/ldraw'";
    ASSERT_EQ(Shell(render, log), 0) << ReadFile(log);
    EXPECT_TRUE(FileExists(elsewhere / "tower.png"));
}
