// Library base directory, symbolic search lists and real search directories, in real temporary
// directories with real environment variables and ini files.
#include <string>
#include <vector>

#include "LDrawIni/LDrawIni.h"
#include "TqInput/TqInput.h"
#include "support/TestSupport.h"

namespace {

std::vector<std::string> Symbolic(const LDrawIniS* ini) {
    std::vector<std::string> out;
    for (int i = 0; i < ini->nSymbolicSearchDirs; i++) out.push_back(ini->SymbolicSearchDirs[i]);
    return out;
}

struct LibraryDirs {
    TempDir dir;
    std::string root;
    LibraryDirs() {
        root = dir.MakeDir("LDraw");
        dir.MakeDir("LDraw/P");
        dir.MakeDir("LDraw/PARTS");
        dir.MakeDir("LDraw/MODELS");
        dir.MakeDir("home");
    }
};

// The records hold their own case-lookup hook; a test hands it the library lookup of its run.
class LDrawIniTest : public TqrTest {};

}  // namespace

TEST_F(LDrawIniTest, BaseDirectoryFromEachSourceInOrder) {
    LibraryDirs lib;
    std::string home = lib.dir / "home";
    EnvGuard env(CleanLibraryEnv(home));
    int error = -1;
    LDrawIniS* ini = LDrawIniGet("C:\\x\\y", nullptr, &error);
    ASSERT_NE(ini, nullptr);
    EXPECT_EQ(error, 0);
    EXPECT_STREQ(ini->LDrawDir, "C:/x/y");
    EXPECT_STREQ(ini->LDrawDirSource, "LDrawIniGet argument");
    EXPECT_STREQ(ini->SearchSource, "Default");
    EXPECT_EQ(ini->nSymbolicSearchDirs, 4);
    LDrawIniFree(ini);

    EnvGuard ldrawdir(std::map<std::string, std::string>{{"LDRAWDIR", "\\a\\b"}});
    ini = LDrawIniGet(nullptr, nullptr, &error);
    ASSERT_NE(ini, nullptr);
    EXPECT_STREQ(ini->LDrawDir, "/a/b");
    EXPECT_STREQ(ini->LDrawDirSource, "LDRAWDIR environment variable");
    LDrawIniFree(ini);
}

TEST_F(LDrawIniTest, NothingConfiguredGivesErrorTwo) {
    LibraryDirs lib;
    EnvGuard env(CleanLibraryEnv(lib.dir / "home"));
    int error = -1;
    EXPECT_EQ(LDrawIniGet(nullptr, nullptr, &error), nullptr);
    EXPECT_EQ(error, 2);
}

TEST_F(LDrawIniTest, TypicalPlaceUnderHomeIsFoundInAnyCase) {
    LibraryDirs lib;
    lib.dir.MakeDir("home/ldraw/p");
    lib.dir.MakeDir("home/ldraw/parts");
    EnvGuard env(CleanLibraryEnv(lib.dir / "home"));
    int error = -1;
    EXPECT_EQ(LDrawIniGet(nullptr, nullptr, &error), nullptr);
    LDrawIniS* ini = LDrawIniGet(nullptr, nullptr, &error, TqFileCaseCallback, t.library());
    ASSERT_NE(ini, nullptr);
    EXPECT_EQ(std::string(ini->LDrawDir), lib.dir / "home/ldraw");
    EXPECT_STREQ(ini->LDrawDirSource, "Typical location on disk");
    LDrawIniFree(ini);
}

TEST_F(LDrawIniTest, IniFilesAreConsultedInPrecedenceOrder) {
    LibraryDirs lib;
    std::string home = lib.dir / "home";
    std::string named = lib.dir.Write("named.ini", "[LDraw]\nBaseDirectory=/from/named\n");
    lib.dir.Write("home/.ldrawrc",
                  "[Other]\nBaseDirectory=/wrong\n[LDraw]\nBaseDirectory=/from/rc  \n");
    lib.dir.Write("home/ldraw.ini", "[LDraw]\nBaseDirectory=/from/home\n");
    struct Case {
        bool useNamed, keepRc;
        std::string expected, source;
    } cases[] = {
        {true, true, "/from/named", named},
        {false, true, "/from/rc", home + "/.ldrawrc"},
        {false, false, "/from/home", home + "/ldraw.ini"},
    };
    for (const Case& c : cases) {
        auto vars = CleanLibraryEnv(home);
        if (c.useNamed) vars["LDRAWINI"] = named;
        EnvGuard env(vars);
        if (!c.keepRc) remove((home + "/.ldrawrc").c_str());
        int error;
        LDrawIniS* ini = LDrawIniGet(nullptr, nullptr, &error);
        ASSERT_NE(ini, nullptr) << c.expected;
        EXPECT_EQ(std::string(ini->LDrawDir), c.expected);
        EXPECT_EQ(std::string(ini->LDrawDirSource), c.source);
        LDrawIniFree(ini);
    }
}

TEST_F(LDrawIniTest, IniKeyMustTouchTheEqualsSign) {
    TempDir dir;
    std::string path = dir.Write("x.ini", "[LDraw]\nBaseDirectory =/bad\n[LDrawX]\nKey=no\n");
    char value[64];
    EXPECT_EQ(LDrawIniReadIniFile(path.c_str(), "LDraw", "BaseDirectory", value, sizeof(value)), 0);
    path = dir.Write("y.ini", "[LDraw] comment\r\nBaseDirectory= /x  \t\r\n");
    ASSERT_EQ(LDrawIniReadIniFile(path.c_str(), "LDraw", "BaseDirectory", value, sizeof(value)), 1);
    EXPECT_STREQ(value, " /x");
    EXPECT_EQ(LDrawIniReadIniFile("/no/such/file", "LDraw", "BaseDirectory", value, sizeof(value)),
              0);
    path = dir.Write("z.ini", "[LDraw]\n[Next]\nBaseDirectory=/y\n");
    EXPECT_EQ(LDrawIniReadIniFile(path.c_str(), "LDraw", "BaseDirectory", value, sizeof(value)), 0);
}

TEST_F(LDrawIniTest, SymbolicListsFromEnvironmentAndIni) {
    LibraryDirs lib;
    std::string home = lib.dir / "home";
    {
        auto vars = CleanLibraryEnv(home);
        vars["LDRAWSEARCH"] = "a|b||c|";
        EnvGuard env(vars);
        LDrawIniS* ini = LDrawIniGet(lib.root.c_str(), nullptr, nullptr);
        EXPECT_EQ(Symbolic(ini), (std::vector<std::string>{"a", "b", "", "c"}));
        EXPECT_STREQ(ini->SearchSource, "LDRAWSEARCH environment variable");
        LDrawIniFree(ini);
    }
    {
        auto vars = CleanLibraryEnv(home);
        vars["LDRAWSEARCH"] = "";
        EnvGuard env(vars);
        LDrawIniS* ini = LDrawIniGet(lib.root.c_str(), nullptr, nullptr);
        EXPECT_EQ(ini->nSymbolicSearchDirs, 0);
        EXPECT_EQ(LDrawIniComputeRealDirs(ini, 1, 1, nullptr), 0);
        LDrawIniFree(ini);
    }
    {
        auto vars = CleanLibraryEnv(home);
        vars["LDRAWSEARCH01"] = "one";
        vars["LDRAWSEARCH02"] = "two";
        vars["LDRAWSEARCH04"] = "four";
        EnvGuard env(vars);
        LDrawIniS* ini = LDrawIniGet(lib.root.c_str(), nullptr, nullptr);
        EXPECT_EQ(Symbolic(ini), (std::vector<std::string>{"one", "two"}));
        EXPECT_STREQ(ini->SearchSource, "LDRAWSEARCH01 etc. environment variables");
        LDrawIniFree(ini);
    }
    {
        std::string iniPath = lib.dir.Write("home/ldraw.ini", "[LDrawSearch]\n1=x\n2=y\n4=z\n");
        EnvGuard env(CleanLibraryEnv(home));
        LDrawIniS* ini = LDrawIniGet(lib.root.c_str(), nullptr, nullptr);
        EXPECT_EQ(Symbolic(ini), (std::vector<std::string>{"x", "y"}));
        EXPECT_EQ(std::string(ini->SearchSource), iniPath);
        LDrawIniFree(ini);
    }
}

TEST_F(LDrawIniTest, DefaultListGivesModelPrimitiveAndPartDirectories) {
    LibraryDirs lib;
    std::string modelDir = lib.dir.MakeDir("m");
    EnvGuard env(CleanLibraryEnv(lib.dir / "home"));
    LDrawIniS* ini = LDrawIniGet(lib.root.c_str(), nullptr, nullptr);
    ASSERT_EQ(LDrawIniComputeRealDirs(ini, 1, 1, (modelDir + "/car.ldr").c_str()), 1);
    ASSERT_EQ(ini->nSearchDirs, 4);
    EXPECT_EQ(std::string(ini->SearchDirs[0].Dir), modelDir + "/");
    EXPECT_EQ(ini->SearchDirs[0].Flags, LDrawSearchFlag::MODELDIR);
    EXPECT_EQ(std::string(ini->SearchDirs[1].Dir), lib.root + "/P/");
    EXPECT_EQ(ini->SearchDirs[1].Flags, LDrawSearchFlag::HIDE | LDrawSearchFlag::DEFPRIM);
    EXPECT_EQ(std::string(ini->SearchDirs[2].Dir), lib.root + "/PARTS/");
    EXPECT_EQ(ini->SearchDirs[2].Flags, LDrawSearchFlag::DEFPART);
    EXPECT_EQ(std::string(ini->SearchDirs[3].Dir), lib.root + "/MODELS/");
    ASSERT_EQ(LDrawIniComputeRealDirs(ini, 1, 1, nullptr), 1);
    EXPECT_EQ(ini->nSearchDirs, 3);
    EXPECT_EQ(ini->ModelDir, nullptr);
    ASSERT_EQ(LDrawIniComputeRealDirs(ini, 1, 1, "car.ldr"), 1);
    EXPECT_STREQ(ini->ModelDir, ".");
    EXPECT_STREQ(ini->SearchDirs[0].Dir, "./");
    // A model in the root directory is searched beside it, not in the current directory.
    ASSERT_EQ(LDrawIniComputeRealDirs(ini, 1, 1, "/car.ldr"), 1);
    EXPECT_STREQ(ini->ModelDir, "/");
    EXPECT_STREQ(ini->SearchDirs[0].Dir, "/");
    LDrawIniFree(ini);
}

TEST_F(LDrawIniTest, MissingDirectoriesAreDroppedUnlessFoundInOtherCase) {
    TempDir dir;
    std::string root = dir.MakeDir("lib");
    dir.MakeDir("lib/p");
    dir.MakeDir("lib/parts");
    EnvGuard env(CleanLibraryEnv(dir.Path()));
    LDrawIniS* ini = LDrawIniGet(root.c_str(), nullptr, nullptr);
    ASSERT_EQ(LDrawIniComputeRealDirs(ini, 1, 1, nullptr), 1);
    EXPECT_EQ(ini->nSearchDirs, 0);
    ini->FileCaseCallback = TqFileCaseCallback;
    ini->FileCaseUser = t.library();
    ASSERT_EQ(LDrawIniComputeRealDirs(ini, 1, 0, nullptr), 1);
    ASSERT_EQ(ini->nSearchDirs, 2);
    EXPECT_EQ(std::string(ini->SearchDirs[0].Dir), root + "/p");
    EXPECT_EQ(std::string(ini->SearchDirs[1].Dir), root + "/parts");
    LDrawIniFree(ini);
}

TEST_F(LDrawIniTest, TagsOfOneEntry) {
    struct Case {
        const char* entry;
        int flags;
        const char* dir;
        const char* unknown;
    } cases[] = {
        {"<SKIP><LDRAWDIR>/UNOFFICIAL", LDrawSearchFlag::SKIP, "/L/UNOFFICIAL", nullptr},
        {"<FOO><LDRAWDIR>/X", 0, "/L/X", "<FOO>"},
        {"<LDRAWDIR>\\P\\", 0, "/L/P/", nullptr},
        {"<LDRAWDIR>\\P", LDrawSearchFlag::DEFPRIM, "/L/P", nullptr},
        {"<SHOW><DEFPART>\"/quoted dir\" rest", LDrawSearchFlag::DEFPART, "/quoted dir", nullptr},
        {"<HOMEDIR>/lib", 0, "/H/lib", nullptr},
        {"<MODELDIR>", LDrawSearchFlag::MODELDIR, nullptr, nullptr},
        {"<A><B>c", 0, "c", "<A><B>"},
        {"<open", 0, "<open", nullptr},
    };
    for (const Case& c : cases) {
        LDrawSearchDirS dir;
        ASSERT_EQ(LDrawIniParseSymbolicSearchDir(&dir, c.entry, "/L", nullptr, "/H"), 1) << c.entry;
        EXPECT_EQ(dir.Flags, c.flags) << c.entry;
        EXPECT_STREQ(dir.Dir, c.dir) << c.entry;
        EXPECT_STREQ(dir.UnknownTags, c.unknown) << c.entry;
        free(dir.Dir);
        free(dir.UnknownTags);
    }
    LDrawSearchDirS dir;
    EXPECT_EQ(LDrawIniParseSymbolicSearchDir(&dir, "x", nullptr, nullptr, nullptr), 0);
}

TEST_F(LDrawIniTest, BoundedCopies) {
    char buf[6] = "ab";
    EXPECT_STREQ(strcatSafe(buf, "cdef", sizeof(buf)), "ab");
    EXPECT_STREQ(strcatSafe(buf, "cde", sizeof(buf)), "abcde");
}
