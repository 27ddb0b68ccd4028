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

}  // namespace

TEST(RealModelLoad, PartCountsMatchTheModelList) {
    std::string ldraw = SharedLDrawDir(), models = SharedModelsDir();
    if (ldraw.empty() || models.empty()) GTEST_SKIP() << "shared library or models absent";
    for (const ModelCase& m : kModels) {
        // Each model in a run of its own, as check mode reads it.
        TestRun t;
        t.UseLibrary(ldraw);
        t.settings().DoCheck = 1;
        t.diag()->WarningLevel = 3;
        t.RefreshLoader();
        SetLineTypeSaveMask(t.model(), 0x3E);
        std::string path = models + "/" + m.file;
        RunCapture capture(t);
        int pre = LoadModelPre(t.loader(), path.c_str());
        ASSERT_EQ(pre, 0) << m.file;
        EXPECT_TRUE(LoadModel(t.loader())) << m.file;
        EXPECT_EQ((unsigned)t.model()->Parts[0].nContainedParts, m.parts) << m.file;
        std::string err = capture.Err();
        EXPECT_EQ(err.find("Could not find"), std::string::npos) << m.file << err;
    }
}
