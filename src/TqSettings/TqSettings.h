// The settings records: filled by the command line and read by every later stage, and the
// program's identity. SetSettingsDefaults gives the defaults.
#pragma once

#include <cstdio>

#include "TqText/TqText.h"

/// Version banner, the first line of every scene and of the usage text.
extern const char ProgVer[];

/// Paths on the input side.
struct TqInputRecord {
    char ModelPath[kPathSize];      ///< full path of the main model, set when it is prepared
    char LgeoDir[kPathSize];        ///< -lgd or found by InitLgeoDir; empty until known
    char LgeoDirSource[kPathSize];  ///< where LgeoDir came from, for messages
};

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
    float FitMargin;         ///< -cfit: margin on each side, per cent of the picture; 0
    char* IncludeBegin;      ///< -ib: file included at the beginning; null
    char* IncludeCamera;     ///< -ic: file included instead of the camera; null
    char* IncludeLights;     ///< -il: file included instead of the lights; null
    char* IncludeEnd;        ///< -ie: file included at the end; null
    char* MegaPovVersion;    ///< -mp: MegaPOV version text; null
    float SeamWidth;         ///< -sw: seam between neighbouring bricks; 0.5
    float EdgeWidth;         ///< -ee: width of edge lines, 0 = not drawn; 0
    int EdgeColor;           ///< -ee: colour of edge lines; 0
    float EdgePixels;        ///< -edges: edge lines drawn this many pixels wide, 0 = none; 0
    float StepFade;          ///< -sf: share of white in earlier steps' colours, 0 = none; 0
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
    unsigned char FitPlacedParts : 1;      ///< -cfit: the camera frames the placed parts; 0
    unsigned char StereoLeft : 1;          ///< -csl; 0
    unsigned char StereoRight : 1;         ///< -csr; 0
    unsigned char LgeoColors : 1;          ///< LGEO colours in use (after the scan); 0
    unsigned char LgeoFinishes : 1;        ///< LGEO finishes in use (after the scan); 0
    unsigned char LgeoTest : 1;            ///< the run writes an LGEO element test scene; 0
    unsigned char LightDatLights : 1;      ///< -l: light.dat references become lights; 0
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

/// The flattened-part mode (-mesh): each library part becomes one shared mesh with smooth normals.
struct MeshSettings {
    int On;               ///< -mesh: library parts are flattened into meshes; 0
    float CreaseDegrees;  ///< faces meeting at more than this angle keep a sharp edge; 35
    int HighResolution;   ///< use the 48-segment primitives where the library has them (-q3
                          ///< and above); set after the scan
};

/// What the command line sets for one conversion, apart from the diagnostics (their level and
/// streams live with the diagnostics sink). SetSettingsDefaults gives the defaults; the owned texts
/// of TqPov are released by FreeSettings.
struct TqSettings {
    TqPovRecord TqPov;      ///< the scene settings
    TqInputRecord TqInput;  ///< the input paths: -lgd; the model and LGEO paths found
    int DoCheck;            ///< -check: check mode instead of conversion; 0
    float CoPlanarAngle;    ///< -cpa: co-planarity tolerance in degrees, 0 = 3 (1 in check mode); 0
    int TqVerboseOption;    ///< -v: verbosity, each -v adds 1; 0
    int VlkIsTesting;       ///< -test: test mode, adds the test options to the usage; 0
    const char* MyLDrawDir;         ///< -ldd: LDraw directory from the command line; null
    const char* MyLdconfigLdr;      ///< -ldc: colour file from the command line, empty = none; null
    char ModelFilename[kPathSize];  ///< first file argument: the model path as typed, later the
                                    ///< full path found; empty
    char PovFilename[kPathSize];    ///< second file argument: the output path, completed by the run
                                    ///< sequence; empty
    MeshSettings Mesh;              ///< -mesh: the flattened-part mode
};

/// Clears the record and stores the defaults.
void SetTqPovDefaults(TqPovRecord* pov);
/// Clears the record and stores the defaults of every field.
void SetSettingsDefaults(TqSettings* settings);
/// True when the run needs edge and conditional lines (types 2 and 5) and the files of edge
/// lines alone: to draw them (-ee reads them, -edges draws them) or for -mesh, whose smooth
/// normals follow them.
bool KeepsEdgeLines(const TqSettings& settings);
/// Releases the texts the options copied (-ib, -ic, -il, -ie, -mp).
void FreeSettings(TqSettings* settings);
