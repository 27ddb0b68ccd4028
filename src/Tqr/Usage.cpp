// The usage text, the version banner and the fatal exit of the command line.
#include <cstdarg>

#include "TqSettings/Website.h"
#include "Tqr/Tqr.h"

// The usage text in the four pages it always had.
static const char kUsagePage1[] =
    "  -b[<color>] background color, -b gives 0.3,0.8,1\n"
    "  -cg<la>,<lo>[,<r>] camera globe position, default is 30,45,0\n"
    "  -cc<x>,<y>,<z> camera coordinates (location)\n"
    "  -cla<x>,<y>,<z> camera look_at coordinates\n"
    "  -ca<a> camera angle, default is 67.38 degrees\n"
    "  -cra<a> camera roll angle, default is 0 degrees\n"
    "  -co[<s>] orthographic camera, optional scalefactor\n"
    "  -csl left stereo camera\n"
    "  -csr right stereo camera\n"
    "  -csa<a> stereo camera angle, default is 5 degrees (~1/12)\n"
    "  -f[<type>][<y>] floor at <y>, default y is just below model\n"
    "  -lg<la>,<lo>,<r>[,<color>] lightsource globe position, default color is 15\n"
    "  -lc<x>,<y>,<z>[,<color>] lightsource coordinates, default color is 15\n"
    "  -l use positions and colors of light.dat files as lightsources\n"
    "  -ld default lightsources too (use with -l)\n"
    "  -lsl shadowless lights\n"
    "  -lgeo use LGEO parts and colors\n"
    "  -kv use Brenholt parts and LGEO colors\n"
    "  -nolgc[f] don't use LGEO colors [nor finishes]\n"
    "  -q<n> quality level 0..4, default is 2\n"
    "  -bu bumps\n";

static const char kUsagePage2[] =
    "  -cpct<p> percentage to move camera further back, default is 0\n"
    "  -cfit[<m>] camera frames the placed parts with <m>% margin, default is 0\n"
    "  -csky<x>,<y>,<z> camera sky vector, default is 0,-1,0\n"
    "  -car<ar> camera aspect ratio, default is 1.33 (4/3)\n"
    "  -p don't substitute any primitives in the P directory with POV equivalents\n"
    "  -mesh flattened parts: one smooth mesh per part, shared by all its copies\n"
    "  -sw<w> seam width, default is 0.5\n"
    "  -c<color> default part color, default color is 7\n"
    "  -w<n> set warning level 0..3, default is 0\n"
    "  -sc StepClock, add \"#if (clock > n)\" at steps\n"
    "  -scm StepClock only at steps in Model (not in submodels)\n"
    "  -sf[<p>] with -sc/-scm: earlier steps faded <p>% toward white, default is 60\n"
    "  -edges[<px>] edge lines <px> pixels wide, default is 1; silhouettes for the camera\n"
    "  -enp exclude non-POV code generation (TQR IFNOTPOV)\n"
    "  -studs0 no studs\n"
    "  -ib<file> include file at beginning of POV file\n"
    "  -ic[<file>] no camera, optional include file\n"
    "  -il[<file>] no lights, optional include file\n"
    "  -ie<file> include file at end of POV file\n"
    "  -mp<v> add MegaPOV version statement\n"
    "  -o overwrite POV file if it already exists\n";

static const char kUsagePage3[] =
    "  -check check modelpath for errors, Warning level is default 1.\n"
    "         modelpath may be a directory, which is checked recursively.\n"
    "         If no modelpath given all files in P and PARTS are checked.\n"
    "  -cpa<a> co-planar-angle, default is 3 degrees (1 if -check)\n"
    "  -stdout redirect stderr to stdout, must be first argument\n"
    "  -pp print primitives, prints a list of the primitives having POV equivalents\n"
    "  -pp -check check all primitives in P if they have a POV equivalent\n"
    "  -pc print known color names\n"
    "  -ldd<dir> set LDRAWDIR, <dir> must have the P, PARTS and MODELS directories\n"
    "  -lgd<dir> set LGEODIR, <dir> must be the lgeo directory\n"
    "  -ldc[<path>] alternative ldconfig.ldr or none\n";

static const char kUsagePage4[] =
    "<la> latitude, 90=N=-y, -90=S=+y. <lo> longitude in xz, 0=-z, 90=E=+x, -90=W=-x\n"
    "<r> is radius. If not specified for camera it will be as close to model as\n"
    "possible, if negative then camera will be -<r>% further away. If zero for\n"
    "lightsource, the camera distance is used. You can specify many -lc/lg options.\n"
    "<color> is an LDraw color name or number, extended/direct color (0x0tRRGGBB),\n"
    " #RRGGBB or <r>,<g>,<b> in the range 0..1 like POV-Ray.\n"
    "If povpath is not specified or is a directory, it will be modelfilename + .pov\n"
    "See also tqr.txt and " TQ_WEBSITE
    "\n"
    "(or " TQ_LDRAW_WEBSITE ")\n";

// The test options are shown only once -test is given.
static const char kUsageTestLines[] =
    "  -test show test options\n"
    "  -test part.dat generate pov file for testing primitive\n"
    "  -test -lgeo part.dat generate pov file for testing primitive\n";

void PrintProgVer(FILE* fp) {
    fprintf(fp, "%s\n", ProgVer);
}

// The four pages keep the layout of an 80x25 text screen, printed in one go.
static void PrintUsage(const TqrRun* run, FILE* fp) {
    PrintProgVer(fp);
    fputs("Usage: tqr [options] modelpath [povpath] [options]\n", fp);
    fputs(kUsagePage1, fp);
    fputs(kUsagePage2, fp);
    fputs(kUsagePage3, fp);
    fputs(kUsagePage4, fp);
    if (run->settings.VlkIsTesting) fputs(kUsageTestLines, fp);
    PrintProgVer(fp);
}

// Set in the run when a library option comes, or would come, too late (see LibraryOptionFollows).
const char kLibraryOptionsFirst[] =
    "Hint: put -ldd and -ldc before any option that names a colour.";

// Without a message (no model given) Exit is the bare usage. With -stdout an error brings only
// its message: messages and listing then share one stream.
bool Exit(TqrRun* run, const char* format, ...) {
    if (run->finished) return false;
    Diagnostics& diag = run->diag;
    if (diag.StdErr != diag.Out || !format) {
        PrintUsage(run, diag.Out);
        if (format) fputc('\n', diag.StdErr);
    }
    if (format) {
        fputs("*** ", diag.StdErr);
        va_list ap;
        va_start(ap, format);
        vfprintf(diag.StdErr, format, ap);
        va_end(ap);
        fputs(".\n", diag.StdErr);
        if (run->ExitHint) fprintf(diag.StdErr, "%s\n", run->ExitHint);
    }
    fflush(diag.Out);
    run->finished = true;
    run->exitStatus = 1;
    return false;
}

// A full disk or a closed pipe shows only once the buffer is flushed.
int StandardOutputIntact(TqrRun* run) {
    FILE* out = run->diag.Out;
    return fflush(out) == 0 && !ferror(out);
}

bool ExitAfterListing(TqrRun* run) {
    if (run->finished) return false;
    run->finished = true;
    run->exitStatus = 0;
    if (!StandardOutputIntact(run)) {
        fputs("*** Could not write to standard output.\n", run->diag.Console);
        run->exitStatus = 1;
    }
    return false;
}
