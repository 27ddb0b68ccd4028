// The settings records and the other process-wide settings, with their defaults.
#include <cstring>

#include "TqSettings/TqSettings.h"
#include "TqText/TqText.h"

const char ProgVer[] = "tqr 1.4.0 - LDraw to POV-Ray converter, (C) 2026 The tqr authors";

TqPovRecord TqPov;
TqInputRecord TqInput;
int WarningLevel = 0;
int DoCheck = 0;
float CoPlanarAngle = 0;
int TqVerboseOption = 0;
int VlkIsTesting = 0;
const char* MyLDrawDir = nullptr;
const char* MyLdconfigLdr = nullptr;
char ModelFilename[kPathSize];
char PovFilename[kPathSize];
// All messages go through this stream, so that -stdout (the first argument) can redirect them.
FILE* StdErr = stderr;

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
