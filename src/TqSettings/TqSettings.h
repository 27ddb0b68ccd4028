// The settings records: filled by the command line and read by every later stage, and the
// program's identity. Each global is defined in Settings.cpp; SetTqPovDefaults gives the defaults.
#pragma once

#include <cstdio>

#include "TqText/TqText.h"

/// Version banner, the first line of every scene and of the usage text.
extern const char ProgVer[];

/// Everything about the scene to be written; cleared and defaulted by SetTqPovDefaults.
struct TqPovRecord {
    float CameraPos[3];  ///< -cg/-cc: latitude, longitude, radius (CameraGlobe) or x, y, z; 30,45,0
    float CameraLookAt[3];   ///< -cla: look_at point, valid with LookAtGiven; 0,0,0
    float CameraSky[3];      ///< -csky: sky vector, unit length; 0,-1,0
    float BackgroundRgb[3];  ///< -b: background colour, valid with BackgroundOn; 0,0,0
    int DefaultColor;        ///< -c: colour of the main model; 7
    float ViewingAngle;      ///< -ca: viewing angle in degrees, 0 = camera default; 0
    float AspectRatio;       ///< -car: aspect ratio, 0 = camera default; 0
    float StereoAngle;       ///< -csa: stereo camera angle in degrees; 5
    float RollAngle;         ///< -cra: camera roll angle in degrees; 0
    float PercentageBack;    ///< -cpct: percentage of the radius to move the camera back; 0
    float OrthoScale;        ///< -co: orthographic scale factor, 0 when not given; 0
    char* IncludeBegin;      ///< -ib: file included at the beginning; null
    char* IncludeCamera;     ///< -ic: file included instead of the camera; null
    char* IncludeLights;     ///< -il: file included instead of the lights; null
    char* IncludeEnd;        ///< -ie: file included at the end; null
    char* MegaPovVersion;    ///< -mp: MegaPOV version text; null
    float SeamWidth;         ///< -sw: seam between neighbouring bricks; 0.5
    float EdgeWidth;         ///< -ee: width of edge lines, 0 = not drawn; 0
    int EdgeColor;           ///< -ee: colour of edge lines; 0
    float FloorY;            ///< -f: floor height, valid with FloorYGiven; 0
    int FloorType;           ///< -f: 0 none, 'c' checkered, other letters grey; 0
    int Quality;             ///< -q: quality level 0..4; 2
    int Debug;               ///< -d: debug level, each -d adds 1; 0
    char ReplaceOrder[8];    ///< -p -p3 -lgeo -kv: replacement sources in priority order; "P3"

    unsigned char CameraOn : 1;            ///< cleared by -ic; 1
    unsigned char CameraGlobe : 1;         ///< -cg sets, -cc clears; 1
    unsigned char LookAtGiven : 1;         ///< -cla; 0
    unsigned char FloorYGiven : 1;         ///< -f with a height; 0
    unsigned char BackgroundOn : 1;        ///< -b; 0
    unsigned char SkyGiven : 1;            ///< -csky; 0
    unsigned char Orthographic : 1;        ///< -co; 0
    unsigned char StereoLeft : 1;          ///< -csl; 0
    unsigned char StereoRight : 1;         ///< -csr; 0
    unsigned char LgeoColors : 1;          ///< LGEO colours in use (after the scan); 0
    unsigned char LgeoFinishes : 1;        ///< LGEO finishes in use (after the scan); 0
    unsigned char LgeoTest : 1;            ///< the run writes an LGEO element test scene; 0
    unsigned char LightDatLights : 1;      ///< -l: light.dat references become lights; 0
    unsigned char LightDatFound : 1;       ///< a light.dat light source was read; 0
    unsigned char DefaultLightsToo : 1;    ///< -ld; 0
    unsigned char ShadowlessLights : 1;    ///< -lsl; 0
    unsigned char LightsOn : 1;            ///< cleared by -il; 1
    unsigned char Studs : 1;               ///< cleared by -studs0; 1
    unsigned char Bumps : 1;               ///< -bu; 0
    unsigned char ExcludeNonPov : 1;       ///< -enp; 0
    unsigned char StepClock : 1;           ///< -sc; 0
    unsigned char StepClockModelOnly : 1;  ///< -scm; 0

    int IncludeTqBegin;  ///< cleared by -i3b-: include TqBegin.inc from TQRPARTS; 1
    int IncludeTqEnd;    ///< cleared by -i3e-: include TqEnd.inc from TQRPARTS; 1
};

/// Paths on the input side.
struct TqInputRecord {
    char ModelPath[kPathSize];      ///< full path of the main model, set when it is prepared
    char LgeoDir[kPathSize];        ///< -lgd or found by InitLgeoDir; empty until known
    char LgeoDirSource[kPathSize];  ///< where LgeoDir came from, for messages
};

/// The scene settings.
extern TqPovRecord TqPov;
/// The input paths.
extern TqInputRecord TqInput;
/// -w, -check: highest input diagnostic level printed; 0.
extern int WarningLevel;
/// -check: check mode instead of conversion; 0.
extern int DoCheck;
/// -cpa: co-planarity tolerance in degrees, 0 = 3 (1 in check mode); 0.
extern float CoPlanarAngle;
/// -v: verbosity, each -v adds 1; 0.
extern int TqVerboseOption;
/// -test: test mode, adds the test options to the usage; 0.
extern int VlkIsTesting;
/// -ldd: LDraw directory from the command line; null.
extern const char* MyLDrawDir;
/// -ldc: colour file from the command line, empty = none; null.
extern const char* MyLdconfigLdr;
/// First file argument: the model path as typed, later the full path found; empty.
extern char ModelFilename[kPathSize];
/// Second file argument: the output path, completed by the run sequence; empty.
extern char PovFilename[kPathSize];
/// -stdout: stream of every progress, warning and error message; standard error.
extern FILE* StdErr;

/// Clears the record and stores the defaults.
void SetTqPovDefaults(TqPovRecord* pov);
