// The light list: lights from the command line and the three default lights, written around the
// model at distances scaled to the camera.
#include <cmath>

#include "TqPov/TqPov.h"

// Room for five lights at first, five more each time; CheckAlloc zero-fills the new ones.
LightEntry* AddLight(SceneWriter* w) {
    LightEntry*& Lights = w->Lights;
    int& nLights = w->nLights;
    int& nLightsAlloc = w->nLightsAlloc;
    if (CheckAlloc(&Lights, nLights, &nLightsAlloc, 5, 5)) {
        PromptUser(w->diag, "Error during input", "Out of memory for more lights");
        return nullptr;
    }
    return &Lights[nLights++];
}

// The default lights are due when the user placed none (no -lg, -lc, nor a light.dat light with
// -l), or with -ld on top of them: three white lights spread around the model at camera distance.
int AddDefaultLights(SceneWriter* w) {
    const TqPovRecord& pov = *w->pov;
    int& nLights = w->nLights;
    bool due = pov.LightsOn && ((nLights == 0 && !w->model->LightDatFound) || pov.DefaultLightsToo);
    if (!due) return 0;
    static const float kDefaults[3][2] = {{45, 0}, {30, 120}, {60, -120}};
    for (const auto& d : kDefaults) {
        LightEntry* light = AddLight(w);
        if (!light) return -1;
        light->Flags = kLightGlobe;
        light->Position[0] = d[0];
        light->Position[1] = d[1];
        light->Position[2] = 0;
        light->Rgb[0] = light->Rgb[1] = light->Rgb[2] = 1;
    }
    return 0;
}

namespace {

// Where a light goes: globe lights around the model's centre at a distance scaled to the camera.
void LightPosition(SceneWriter* w, const LightEntry* light, float distance, float* position,
                   float* radius) {
    float* BBoxCenter = w->BBoxCenter;
    if (!(light->Flags & kLightGlobe)) {
        V3Assign(position, light->Position);
        return;
    }
    *radius = light->Position[2];
    // Radius 0 means the camera distance, -50 one and a half times it.
    if (*radius <= 0) *radius = (float)((*radius / -100.0 + 1) * distance);
    float dir[3];
    TqGlobeToDir(light->Position[0], light->Position[1], dir);
    V3AddScaled(position, BBoxCenter, -*radius, dir);
}

}  // namespace

int CalcLights(SceneWriter* w, FILE* fp) {
    const TqPovRecord& pov = *w->pov;
    float* LookAt = w->LookAt;
    float* Location = w->Location;
    LightEntry*& Lights = w->Lights;
    int& nLights = w->nLights;
    float toCamera[3];
    V3Sub(toCamera, LookAt, Location);
    // Without a camera (-ic) the distance is 0, and globe lights of radius 0 sit at the centre.
    float distance = (float)V3Length(toCamera);
    // A model spanning most of the float range puts lights at infinity; POV-Ray cannot read that.
    // Every position is checked before the first light is written: a failure writes none.
    for (int i = 0; i < nLights; i++) {
        float position[3], radius = 0;
        LightPosition(w, &Lights[i], distance, position, &radius);
        if (!std::isfinite(position[0] + position[1] + position[2] + radius)) {
            ReportNonFiniteSceneValue(w);
            return -1;
        }
    }
    PrintPovBookmark(fp, "Lights");
    for (int i = 0; i < nLights; i++) {
        const LightEntry* light = &Lights[i];
        float position[3], radius = 0;
        LightPosition(w, light, distance, position, &radius);
        fputs("light_source {\n\t", fp);
        fputs(PovGGG(w, position), fp);
        if (light->Flags & kLightGlobe)
            fprintf(fp, "  // Latitude,Longitude,Radius: %g,%g,%g", light->Position[0],
                    light->Position[1], radius);
        fprintf(fp, "\n\tcolor rgb %s\n", PovGGG(w, light->Rgb));
        if (pov.ShadowlessLights) fputs("\tshadowless\n", fp);
        fputs("}\n", fp);
    }
    return 0;
}
