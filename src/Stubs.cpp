// Temporary: stages that later work fills in.
#include <cstdlib>
#include "TqPov/TqPov.h"
#include "Tqr/Tqr.h"

int CheckPrimFileDirLen, CheckPrimFileTotal, CheckPrimFileFound, lastN = 1;
float LookAt[3], Location[3], BBoxCenter[3];
static int NotYet(const char* what) { fprintf(StdErr, "*** %s is not available yet.\n", what); return -1; }
void CheckDatDir(const char*, void (*)(const char*)) { NotYet("Check mode"); exit(1); }
void CheckDatFile(const char*) {}
void CheckPrimFile(const char*) {}
int CheckTqrPartsDir() { return 0; }
const char* FindLgeoColr(int) { return nullptr; }
const PovEquivEntry* FindPovEquiv(const char*) { return nullptr; }
void PrintPovEquivsList(FILE*) { NotYet("Listing primitives"); exit(1); }
int PrintPovEquivTest(FILE*, const char*) { return NotYet("The primitive test"); }
int MakePovEquivPovfile() { return NotYet("The equivalents test"); }
LgeoElmt* FindLgeoElmt(const char*, int) { return nullptr; }
int PrintPovLgeoTest(FILE*) { return NotYet("The LGEO test"); }
int PrintPovInit(const char*, PrintPovHeaderExtraFuncT, void*) { return 0; }
int PrintPovTrailer(FILE*, int s) { return s; }
int PrintPovStatistics(FILE*, const char*) { return 0; }
void PrintPovBookmark(FILE* fp, const char* format, ...) { (void)fp; (void)format; }
void PrintPovPart(FILE*, PartEntry* p, int) { p->PovState = kPovNormal; }
void CalcCameraAddPoint(const float*) {}
FILE* FindTqrPart(const char*) { return nullptr; }
