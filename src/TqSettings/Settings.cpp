// The settings records with their defaults.
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "TqSettings/TqSettings.h"
#include "TqText/TqText.h"

const char ProgVer[] = "tqr 1.4.0 - LDraw to POV-Ray converter, (C) 2026 The tqr authors";

void SetTqPovDefaults(TqPovRecord* pov) {
    memset(pov, 0, sizeof(*pov));
    pov->CameraPos[0] = 30;
    pov->CameraPos[1] = 45;
    // LDraw's y axis points down, so "up" for the camera is -y.
    pov->CameraSky[1] = -1;
    pov->DefaultColor = 7;
    pov->StereoAngle = 5;
    pov->SeamWidth = 0.5f;
    pov->Quality = 2;
    // Replacement sources by priority: P exact POV-Ray solids for primitives (-p takes it out), 3
    // hand-made parts in TQRPARTS (-p3); L and B are added by -lgeo and -kv.
    strncpy0(pov->ReplaceOrder, "P3", (int)sizeof(pov->ReplaceOrder));
    pov->CameraOn = 1;
    pov->CameraGlobe = 1;
    pov->LightsOn = 1;
    pov->Studs = 1;
    pov->IncludeTqBegin = 1;
    pov->IncludeTqEnd = 1;
}

void SetSettingsDefaults(TqSettings* settings) {
    memset(settings, 0, sizeof(*settings));
    SetTqPovDefaults(&settings->TqPov);
    // Between the 22.5 degrees at which the faces of a standard 16-sided LDraw circle meet, which
    // must shade smooth, and the 45 degrees of a bevel, which must stay sharp.
    settings->Mesh.CreaseDegrees = 35;
}

void FreeSettings(TqSettings* settings) {
    TqPovRecord& pov = settings->TqPov;
    for (char** owned : {&pov.IncludeBegin, &pov.IncludeCamera, &pov.IncludeLights, &pov.IncludeEnd,
                         &pov.MegaPovVersion}) {
        free(*owned);
        *owned = nullptr;
    }
}

bool KeepsEdgeLines(const TqSettings& settings) {
    return settings.TqPov.EdgeWidth != 0 || settings.TqPov.EdgePixels != 0 || settings.Mesh.On;
}
