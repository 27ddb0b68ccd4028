// The scene writer's side of loading: how a file is replaced, declared and shown to the camera.
// The loader sits below the scene writer and only calls what is registered here.
#include <cstring>

#include "TqPov/TqPov.h"

FILE* PovFp = nullptr;

namespace {

// An LGEO model or a TQRPARTS file stands for the whole file.
int HasReadyMadeModel(const char* name) {
    const LgeoElmt* element = FindLgeoElmt(name, 0);
    if (element && element->Source) return 1;
    if (!strchr(TqPov.ReplaceOrder, '3')) return 0;
    FILE* fp = FindTqrPart(name);
    if (!fp) return 0;
    fclose(fp);
    return 1;
}

// The box of the POV-Ray solid that replaces a primitive (valid until the next lookup; the
// loader copies it at once).
const float* EquivalentBox(const char* name) {
    if (!strchr(TqPov.ReplaceOrder, 'P')) return nullptr;
    const PovEquivEntry* equiv = FindPovEquiv(name);
    return equiv ? equiv->Box : nullptr;
}

void Declare(PartEntry* part, int isModel) {
    PrintPovPart(PovFp, part, isModel);
}

}  // namespace

void ConnectSceneWriter() {
    TheLoaderHooks = {HasReadyMadeModel, EquivalentBox, Declare, CalcCameraAddPoint};
}
