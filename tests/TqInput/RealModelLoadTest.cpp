// Loading the real models of the shared folder against the shared library.
#include <string>

#include "TqInput/TqInput.h"
#include "Tqr/Tqr.h"
#include "support/TestSupport.h"

namespace {

struct ModelCase {
    const char* file;
    unsigned parts;
};

// Parts as the loader counts them: a reference to a part (found in PARTS, or a section whose
// header says part) counts one, a sub-model adds its own count, a primitive adds nothing. The
// models' README counts every library file placed, primitives included, and expands sections
// whose header says part; that gives 911, 5260 and 58025 for the castle, the Falcon and Datsville,
// where the castle's ropes place 170 bare cylinder primitives and Datsville holds sub-models
// headed "Un-Official Part".
const ModelCase kModels[] = {
    {"pyramid.ldr", 13},
    {"car.ldr", 61},
    {"1180-1 - Space Port Moon Buggy.mpd", 29},
    {"7140-1-X-wingFighter.mpd", 340},
    {"6080 - Kings Castle.mpd", 741},
    {"10179-1 - Millennium Falcon - UCS.mpd", 5246},
    {"datsville_rev002.013_inlined_n_boxed_n.mpd", 38726},
};

class RealModelLoad : public TqrTest {};

}  // namespace

TEST_F(RealModelLoad, PartCountsMatchTheModelList) {
    std::string ldraw = SharedLDrawDir(), models = SharedModelsDir();
    if (ldraw.empty() || models.empty()) GTEST_SKIP() << "shared library or models absent";
    for (const ModelCase& m : kModels) {
        ResetGlobalState();
        EnvGuard env(CleanLibraryEnv("/nonexistent"));
        LDrawIniSetFileCaseCallback(TqFileCaseCallback);
        MyLDrawDir = ldraw.c_str();
        ReadColours();
        ASSERT_EQ(LDrawIniComputeRealDirs(LDrawIni, 1, 1, nullptr), 1);
        DoCheck = 1;
        WarningLevel = 3;
        SetLineTypeSaveMask(0x3E);
        std::string path = models + "/" + m.file;
        int pre, load;
        std::string err;
        {
            CaptureOutput capture;
            pre = LoadModelPre(path.c_str());
            load = pre == 0 ? LoadModel() : -1;
            err = capture.Err();
        }
        ASSERT_EQ(pre, 0) << m.file;
        EXPECT_EQ(load, 0) << m.file;
        EXPECT_EQ((unsigned)Parts[0].nContainedParts, m.parts) << m.file;
        EXPECT_EQ(err.find("Could not find"), std::string::npos) << m.file << err;
        for (int i = 0; i < nParts; i++) FreeLines(&Parts[i]);
    }
}
