// Temporary: stages that later work fills in.
#include <cstdlib>
#include "TqPov/TqPov.h"
#include "Tqr/Tqr.h"

int CheckPrimFileDirLen, CheckPrimFileTotal, CheckPrimFileFound, lastN = 1;
float LookAt[3], Location[3];
CameraDataS CameraData;
LgeoElmt* LgeoElmts;
int nLgeoElmts, nLgeoElmtsAlloc, nLgeoColrs, nLgeoColrsAlloc;
LgeoColr* LgeoColrs;
static int NotYet(const char* what) { fprintf(StdErr, "*** %s is not available yet.\n", what); return -1; }
void CheckDatDir(const char*, void (*)(const char*)) { NotYet("Check mode"); exit(1); }
void CheckDatFile(const char*) {}
void CheckPrimFile(const char*) {}
int CheckTqrPartsDir() { return 0; }
const char* FindLgeoColr(int) { return nullptr; }
const PovEquivEntry* FindPovEquiv(const char*) { return nullptr; }
void PrintPovEquivsList(FILE*) { NotYet("Listing primitives"); exit(1); }
int PrintPovEquivTest(FILE*, const char*) { return NotYet("The primitive test"); }
int MakePovEquivPovfile() { return 0; }
LgeoElmt* FindLgeoElmt(const char*, int) { return nullptr; }
int PrintPovLgeoTest(FILE*) { return NotYet("The LGEO test"); }
int ReadLgeoTabs() { return NotYet("LGEO"); }
void PrintLgeoTabs() {}
void CalcCameraAddPoint(const float*) {}
void CalcCameraAddBoxCorners(const float*) {}
void PreCalcCamera() {}
void CalcCamera(FILE*) { NotYet("The automatic camera"); }
FILE* FindTqrPart(const char*) { return nullptr; }
int PrintPovPartTqrPart(FILE*, PartEntry*, int) { return 0; }
int PrintPovPartPovEquiv(FILE*, PartEntry*, int) { return 0; }
int PrintPovPartLgeo(FILE*, PartEntry*, int, int) { return 0; }
