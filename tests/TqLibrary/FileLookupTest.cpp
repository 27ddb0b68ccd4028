// Finding LDraw files whatever the letter case on disk, through real search directories.
#include <string>

#include "TqInput/TqInput.h"
#include "support/TestSupport.h"

namespace {

class FileLookup : public TqrTest {
protected:
    Library* lib() { return t.library(); }
    // Search directories spelled in upper case over a library laid out in mixed case.
    void UseMixedCaseLibrary(const TempDir& dir) {
        std::string root = dir / "LDRAW";
        EnvGuard env(CleanLibraryEnv(dir.Path()));
        lib()->LDrawIni = LDrawIniGet(root.c_str(), nullptr, nullptr, TqFileCaseCallback, lib());
        ASSERT_NE(lib()->LDrawIni, nullptr);
        ASSERT_EQ(LDrawIniComputeRealDirs(lib()->LDrawIni, 1, 1, (dir / "model/m.ldr").c_str()), 1);
    }
};

TempDir& MixedCaseLibrary(TempDir& dir) {
    dir.Write("ldraw/Parts/3001.DAT", "0 brick\n");
    dir.Write("ldraw/Parts/s/3001s01.dat", "0 sub\n");
    dir.Write("ldraw/p/stud.dat", "0 stud\n");
    dir.Write("ldraw/p/48/Ring2.dat", "0 ring\n");
    dir.Write("model/car.ldr", "0 car\n");
    dir.Write("model/.dat.ldr", "0 odd\n");
    return dir;
}

}  // namespace

TEST_F(FileLookup, EverySearchDirectoryFindsFilesInAnyCase) {
    TempDir dir;
    UseMixedCaseLibrary(MixedCaseLibrary(dir));
    ASSERT_EQ(lib()->LDrawIni->nSearchDirs, 3);  // model dir, P, PARTS (no MODELS)
    struct Case {
        const char* name;
        int flags;
        const char* found;
    } cases[] = {
        {"3001.dat", LDrawSearchFlag::DEFPART, "ldraw/Parts/3001.DAT"},
        {"s/3001s01.dat", LDrawSearchFlag::DEFPART, "ldraw/Parts/s/3001s01.dat"},
        {"stud.dat", LDrawSearchFlag::HIDE | LDrawSearchFlag::DEFPRIM, "ldraw/p/stud.dat"},
        {"48/ring2.dat", LDrawSearchFlag::HIDE | LDrawSearchFlag::DEFPRIM, "ldraw/p/48/Ring2.dat"},
        {"car.ldr", LDrawSearchFlag::MODELDIR, "model/car.ldr"},
    };
    for (const Case& c : cases) {
        int flags = -1;
        char found[kPathSize];
        FILE* fp = OpenDatFile(lib(), c.name, 0, &flags, found);
        ASSERT_NE(fp, nullptr) << c.name;
        fclose(fp);
        EXPECT_EQ(flags, c.flags) << c.name;
        EXPECT_EQ(std::string(found), dir / c.found) << c.name;
    }
    char found[kPathSize];
    EXPECT_EQ(OpenDatFile(lib(), "nothere.dat", 0, nullptr, found), nullptr);
}

TEST_F(FileLookup, ModelNamesTryTheUsualExtensions) {
    TempDir dir;
    UseMixedCaseLibrary(MixedCaseLibrary(dir));
    std::string model = dir / "model/car";
    int flags = -1;
    char found[kPathSize];
    FILE* fp = OpenDatFile(lib(), model.c_str(), 1, &flags, found);
    ASSERT_NE(fp, nullptr);
    fclose(fp);
    EXPECT_EQ(std::string(found), dir / "model/car.ldr");
    EXPECT_EQ(flags, LDrawSearchFlag::MODELDIR);
    // A name with a model extension is tried only as given (in any letter case).
    dir.Write("model/bus.DAT.ldr", "0 bus\n");
    LDrawIniForgetListings(lib()->LDrawIni);
    EXPECT_EQ(OpenDatFile(lib(), (dir / "model/bus.DAT").c_str(), 1, nullptr, found), nullptr);
    // A name of exactly four characters gets the extensions, here in the model's directory.
    fp = OpenDatFile(lib(), ".dat", 1, nullptr, found);
    ASSERT_NE(fp, nullptr);
    fclose(fp);
    EXPECT_EQ(std::string(found), dir / "model/.dat.ldr");
    fp = OpenDatFile(lib(), "3001.dat", 1, &flags, found);
    ASSERT_NE(fp, nullptr);
    fclose(fp);
    EXPECT_EQ(flags, LDrawSearchFlag::DEFPART | LDrawSearchFlag::MODELDIR);
}

TEST_F(FileLookup, MatchingPathFixesEachComponent) {
    TempDir dir;
    MixedCaseLibrary(dir);
    std::string path = dir / "LDRAW/PARTS/S/3001S01.DAT";
    EXPECT_EQ(FindMatchingPath(lib(), path.data(), 0), 1);
    EXPECT_EQ(path, dir / "ldraw/Parts/s/3001s01.dat");
    std::string asDir = dir / "LDRAW/PARTS/3001.dat";
    EXPECT_EQ(FindMatchingPath(lib(), asDir.data(), 1), 0);
    dir.Write("plain", "x");
    std::string throughFile = dir / "plain/x.dat";
    EXPECT_EQ(FindMatchingPath(lib(), throughFile.data(), 0), 0);
    std::string upper = dir / "ldraw/Parts/3001.dat";
    FILE* fp = fopeni(lib(), upper.data(), "rb");
    ASSERT_NE(fp, nullptr);
    fclose(fp);
    EXPECT_EQ(upper, dir / "ldraw/Parts/3001.DAT");
    std::string folder = dir / "ldraw";
    EXPECT_EQ(fopeni(lib(), folder.data(), "rb"), nullptr);
}

TEST_F(FileLookup, LgeoDirectoryFromEnvironmentOrLibrary) {
    TempDir dir;
    dir.MakeDir("lib/Apps/lgeo");
    EnvGuard env(CleanLibraryEnv(dir.Path()));
    lib()->LDrawIni = LDrawIniGet((dir / "lib").c_str(), nullptr, nullptr);
    TqInputRecord& input = t.settings().TqInput;
    {
        EnvGuard lgeo(std::map<std::string, std::string>{{"LGEODIR", "/opt/lgeo/"}});
        EXPECT_EQ(InitLgeoDir(lib(), &input), 1);
        EXPECT_STREQ(input.LgeoDir, "/opt/lgeo");
        EXPECT_STREQ(input.LgeoDirSource, "LGEODIR environment variable");
    }
    input.LgeoDir[0] = '\0';
    EXPECT_EQ(InitLgeoDir(lib(), &input), 1);
    EXPECT_EQ(std::string(input.LgeoDir), dir / "lib/Apps/lgeo");
    EXPECT_STREQ(input.LgeoDirSource, "LDRAWDIR/Apps/lgeo");
    dir.MakeDir("lib/lgeo");
    LDrawIniForgetListings(lib()->LDrawIni);
    input.LgeoDir[0] = '\0';
    EXPECT_EQ(InitLgeoDir(lib(), &input), 1);
    EXPECT_STREQ(input.LgeoDirSource, "LDRAWDIR/lgeo");
    // An empty -lgd keeps its source text: no ini file is searched, the typical places are.
    dir.Write("ldraw.ini", "[LDraw]\nLgeoDirectory=/from/ini\n");
    input.LgeoDir[0] = '\0';
    input.LgeoDirSource[0] = '\0';
    EXPECT_EQ(InitLgeoDir(lib(), &input), 1);
    EXPECT_STREQ(input.LgeoDir, "/from/ini");
    input.LgeoDir[0] = '\0';
    strcpy(input.LgeoDirSource, "-lgd<dir> option");
    EXPECT_EQ(InitLgeoDir(lib(), &input), 1);
    EXPECT_STREQ(input.LgeoDirSource, "LDRAWDIR/lgeo");
}

TEST(FileLookupBinary, VerboseTraceNamesEveryTry) {
    TempDir dir;
    MixedCaseLibrary(dir);
    RunResult r =
        RunTqr({"-v", "-ldd" + (dir / "ldraw"), "car"}, dir / "model", CleanLibraryEnv(dir.Path()));
    EXPECT_NE(r.err.find("Calling LDrawIniComputeRealDirs\n"), std::string::npos);
    EXPECT_NE(r.err.find("Trying cur dir 'car' '' '.ldr' GOT IT!\n"), std::string::npos) << r.err;
}
