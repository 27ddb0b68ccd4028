// The scene writer of a run: its records, and its side of loading (how a file is replaced,
// declared and shown to the camera). The loader sits below the scene writer and only calls what
// is registered here.
#include <cstdlib>
#include <cstring>

#include "TqPov/TqPov.h"

namespace {

// An LGEO model or a TQRPARTS file stands for the whole file.
int HasReadyMadeModel(void* writer, const char* name) {
    SceneWriter* w = static_cast<SceneWriter*>(writer);
    const LgeoElmt* element = FindLgeoElmt(w, name, 0);
    if (element && element->Source) return 1;
    if (!strchr(w->pov->ReplaceOrder, '3')) return 0;
    FILE* fp = FindTqrPart(w->library, name);
    if (!fp) return 0;
    fclose(fp);
    return 1;
}

// The box of the POV-Ray solid that replaces a primitive (valid until the next lookup; the
// loader copies it at once).
const float* EquivalentBox(void* writer, const char* name) {
    SceneWriter* w = static_cast<SceneWriter*>(writer);
    // Flattened parts need every primitive's own triangles.
    if (!strchr(w->pov->ReplaceOrder, 'P') || w->settings->Mesh.On) return nullptr;
    const PovEquivEntry* equiv = FindPovEquiv(name, &w->dynEquiv);
    return equiv ? equiv->Box : nullptr;
}

// In the -mesh mode a library file is written only when a model places it, flattened with all
// it holds; the primitives and sub-parts inside parts are never declared on their own.
// Parts and primitives enter the framing (-cfit) by their outlines, and the edge lines (-edges)
// by theirs, recorded before the declaration, which may free the lines of files it declares on its
// way. Sub-models keep their lines.
void Declare(void* writer, PartEntry* part, int isModel) {
    SceneWriter* w = static_cast<SceneWriter*>(writer);
    if (w->pov->FitPlacedParts && (part->LoadFlags.IsPart || part->LoadFlags.IsPrimitive))
        RecordOutline(w, part);
    if (w->pov->EdgePixels != 0 && (part->LoadFlags.IsPart || part->LoadFlags.IsPrimitive))
        RecordEdges(w, part);
    if (!isModel && FlattensPart(w, part)) return;
    PrintPovPart(w, w->PovFp, part, isModel);
}

// With -cfit the camera walks the placed parts itself once the model is loaded; the corners of
// whole sub-models' boxes that the loader offers would only widen the view.
void AddCameraPoint(void* writer, const float* point) {
    SceneWriter* w = static_cast<SceneWriter*>(writer);
    if (!w->pov->FitPlacedParts) CalcCameraAddPoint(w, point);
}

}  // namespace

void InitSceneWriter(SceneWriter* w, TqSettings* settings, Diagnostics* diag, Library* library,
                     const ColourTable* colours, Model* model) {
    w->pov = &settings->TqPov;
    w->settings = settings;
    w->diag = diag;
    w->library = library;
    w->colours = colours;
    w->model = model;
}

SceneWriter::~SceneWriter() {
    free(Lights);
    FreeLgeoTabs(&lgeo);
}

void ConnectSceneWriter(SceneWriter* w, Loader* loader) {
    loader->hooks = {w, HasReadyMadeModel, EquivalentBox, Declare, AddCameraPoint};
}
