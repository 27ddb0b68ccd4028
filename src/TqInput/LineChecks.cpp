// Geometry and colour checks of every parsed line: singular placements, degenerate and badly
// ordered polygons, non-planar quadrilaterals, unknown colours and duplicate lines.
#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstring>
#include <initializer_list>

#include "TqColor/TqColor.h"
#include "TqInput/TqInput.h"

// Primitives that lie flat in the XZ plane (every y is 0), so that a zero y scale in their
// placement loses nothing; see CheckPlacement.
static const char* const xzParts[] = {"axleend.dat",  "axlehol2.dat", "axlehol3.dat",
                                      "axlehol9.dat", "axleho10.dat", "rect.dat",
                                      nullptr};

// Below this measure three points count as lying on one line.
static constexpr float kCollinear = 0.001f;

// The tolerance: 3 degrees, 1 in check mode, or what -cpa gives.
void InitLineChecks(LineCheckContext* checks, Diagnostics* diag, const ColourTable* colours,
                    const TqSettings* settings) {
    checks->diag = diag;
    checks->colours = colours;
    checks->reportLimit = diag->WarningLevel;
    double angle = settings->CoPlanarAngle != 0 ? settings->CoPlanarAngle
                   : settings->DoCheck          ? 1
                                                : 3;
    checks->CosThreshold = std::cos(angle / 180 * 3.141592653589793);
}

namespace {

// A fault of a line at its level, within the limit of the file being read.
__attribute__((format(printf, 4, 5))) void Report(const LineCheckContext* checks, int level,
                                                  int kind, const char* format, ...) {
    va_list ap;
    va_start(ap, format);
    VErrorInInputUpTo(checks->diag, checks->reportLimit, level, kind, format, ap);
    va_end(ap);
}

// Whether a diagnostic of level 1 would be shown: the costlier measures are taken only then.
bool ShowsMeasures(const LineCheckContext* checks) {
    return checks->reportLimit >= 1 && ShowsLevel(checks->diag, 1);
}

}  // namespace

int IsXzPart(const char* name) {
    if (IsInList(name, xzParts) >= 0) return 1;
    struct Pattern {
        const char* text;
        int conversions;
    } patterns[] = {{"ring%d.da%[t]", 2},     {"rin%d.da%[t]", 2},     {"%d-%dring%d.da%[t]", 4},
                    {"%d-%drin%d.da%[t]", 4}, {"%d-%ddisc.da%[t]", 3}, {"%d-%dndis.da%[t]", 3},
                    {"%d-%dedge.da%[t]", 3}};
    for (const Pattern& p : patterns) {
        if (ScanNamePattern(name, p.text, nullptr, nullptr) == p.conversions) return 1;
    }
    // High-resolution primitives live in a directory named by digits (48/, 8/).
    const char* s = name;
    while (IsDigit((unsigned char)*s)) s++;
    return *s == '/' ? IsXzPart(s + 1) : 0;
}

float PointsOnLine(const float* a, const float* b, const float* c) {
    float u[3], v[3], w[3];
    V3Sub(u, b, a);
    V3Sub(v, c, a);
    V3Sub(w, c, b);
    double uu = V3Dot(u, u), vv = V3Dot(v, v), ww = V3Dot(w, w), uv = V3Dot(u, v);
    // Twice the triangle's area over the square of its longest side: independent of scale, and 0
    // for points on one line. Written as !(x > 0), a NaN gives 0 as well.
    double longest = std::max(uu, std::max(vv, ww));
    double area2 = uu * vv - uv * uv;
    if (!(longest > 0) || !(area2 > 0)) return 0;
    return (float)(std::sqrt(area2) / longest);
}

void Resequence(float* data, int i, int j, int k, int l) {
    float old[16];
    memcpy(old, data, sizeof(old));
    const int from[4] = {i, j, k, l};
    for (int n = 0; n < 4; n++) memcpy(data + 4 * n, old + 4 * from[n], 4 * sizeof(float));
}

static bool SamePoint(const float* a, const float* b) {
    return a[0] == b[0] && a[1] == b[1] && a[2] == b[2];
}

static const float* Point(const LineEntry* line, int i) {
    return line->Data + 4 * i;
}

static bool AnyTwoEqual(const LineEntry* line, int n) {
    for (int i = 0; i < n; i++) {
        for (int j = i + 1; j < n; j++) {
            if (SamePoint(Point(line, i), Point(line, j))) return true;
        }
    }
    return false;
}

static int CheckPlacement(const LineCheckContext* checks, LineEntry* line, const char* subName) {
    float* m = line->Data;
    // Exactly zero on purpose: a placement that is merely tiny still has an inverse; only a matrix
    // without one is refused or repaired.
    if (M3Det(m) != 0) return 0;
    if (!IsXzPart(subName)) {
        Report(checks, 0, kSkipping, "Singular matrix");
        return 1;
    }
    // Flat primitives are often placed with a zero Y scale; give them a unit one.
    // Their y never leaves 0, so the y column of the matrix does not matter, and a unit y makes the
    // matrix invertible, as POV-Ray requires of a transform. First an all-zero row gets a 1 in the
    // y column, then an all-zero y column gets 1s from the top down until the determinant is no
    // longer zero.
    double det = 0;
    for (int r = 0; r < 3 && det == 0; r++) {
        if (m[4 * r] == 0 && m[4 * r + 1] == 0 && m[4 * r + 2] == 0) {
            m[4 * r + 1] = 1;
            det = M3Det(m);
            if (det != 0) Report(checks, 2, kWarning, "Row %d all zeros", r);
        }
    }
    if (det == 0 && m[1] == 0 && m[5] == 0 && m[9] == 0) {
        for (int r = 0; r < 3 && det == 0; r++) {
            m[4 * r + 1] = 1;
            det = M3Det(m);
            if (det != 0) Report(checks, 2, kWarning, "Y column all zeros");
        }
    }
    if (det == 0) {
        Report(checks, 0, kSkipping, "Singular matrix (unfixable)");
        return 1;
    }
    return 0;
}

static void CheckTriangle(const LineCheckContext* checks, const LineEntry* line) {
    if (AnyTwoEqual(line, 3)) {
        Report(checks, 1, kWarning, "Identical vertices");
        return;
    }
    if (!ShowsMeasures(checks)) return;  // the measure only feeds a level 1 message
    float measure = PointsOnLine(Point(line, 0), Point(line, 1), Point(line, 2));
    if (measure < kCollinear) Report(checks, 1, kWarning, "Collinear vertices (%g)", measure);
}

// Dot product of the normals of two triangles sharing an edge: positive when they turn alike.
static double TurnAlike(const float* a1, const float* a2, const float* b1, const float* b2) {
    float n1[3], n2[3];
    V3Cross(n1, a1, a2);
    V3Cross(n2, b1, b2);
    return V3Dot(n1, n2);
}

// Cosine of the angle between the normals a1 x a2 and b1 x b2; false when a normal is zero.
static bool NormalCosine(const float* a1, const float* a2, const float* b1, const float* b2,
                         double* cosine) {
    float n1[3], n2[3];
    V3Cross(n1, a1, a2);
    V3Cross(n2, b1, b2);
    double lengths = std::sqrt(V3Dot(n1, n1) * V3Dot(n2, n2));
    if (lengths == 0) return false;
    *cosine = V3Dot(n1, n2) / lengths;
    return true;
}

// The six edge vectors between the four corners of a quadrilateral.
struct QuadEdges {
    float d01[3], d02[3], d03[3], d12[3], d13[3], d23[3];
    explicit QuadEdges(const LineEntry* line) {
        V3Sub(d01, Point(line, 1), Point(line, 0));
        V3Sub(d02, Point(line, 2), Point(line, 0));
        V3Sub(d03, Point(line, 3), Point(line, 0));
        V3Sub(d12, Point(line, 2), Point(line, 1));
        V3Sub(d13, Point(line, 3), Point(line, 1));
        V3Sub(d23, Point(line, 3), Point(line, 2));
    }
};

// Puts the corners in an order whose diagonal 0-2 splits the quadrilateral into two triangles
// turning the same way: a crossed one is uncrossed (and reported), a concave one is split along
// its other diagonal.
static void FixVertexOrder(const LineCheckContext* checks, LineEntry* line) {
    QuadEdges e(line);
    // The triangles 012 and 023 turn alike: the diagonal 0-2 lies inside and the order is good.
    // Otherwise b and c tell which way a crossed quadrilateral is uncrossed; when neither or both
    // hold, it is concave at corner 1 or 3, and turning the corners by one makes the inner diagonal
    // 1-3 the new 0-2.
    if (TurnAlike(e.d01, e.d02, e.d02, e.d03) > 0) return;
    bool b = TurnAlike(e.d12, e.d01, e.d01, e.d13) > 0;
    bool c = -TurnAlike(e.d02, e.d12, e.d12, e.d23) > 0;
    if (!b && c) {
        Report(checks, 1, kWarning, "Bad vertex sequence, 0132 used");
        Resequence(line->Data, 0, 1, 3, 2);
    } else if (b && !c) {
        Report(checks, 1, kWarning, "Bad vertex sequence, 0312 used");
        Resequence(line->Data, 0, 3, 1, 2);
    } else {
        Resequence(line->Data, 1, 2, 3, 0);
    }
}

// The angle between the two triangles of each split, against the co-planarity tolerance.
static void CheckCoplanarity(const LineCheckContext* checks, const LineEntry* line) {
    QuadEdges e(line);
    double cos1, cos2;
    // Both ways of splitting are measured: triangles 013 and 123 (diagonal 1-3), then 012 and 023
    // (diagonal 0-2); the worse one is reported.
    if (!NormalCosine(e.d01, e.d03, e.d12, e.d23, &cos1)) {
        Report(checks, 1, kWarning, "Zero normals (1) Cannot check angle");
        return;
    }
    if (!NormalCosine(e.d01, e.d12, e.d03, e.d23, &cos2)) {
        Report(checks, 1, kWarning, "Zero normals (2) Cannot check angle");
        return;
    }
    double worst = std::min(cos1, cos2);
    if (worst < checks->CosThreshold) {
        Report(checks, 1, kWarning, "Vertices not coplanar (%g)",
               std::acos(std::max(-1.0, worst)) * 180 / 3.141592653589793);
    }
}

static void CheckQuad(const LineCheckContext* checks, LineEntry* line) {
    if (AnyTwoEqual(line, 4)) {
        Report(checks, 1, kWarning, "Identical vertices");
        return;
    }
    // Below warning level 1 only the repair of the vertex order matters, not the measures.
    if (ShowsMeasures(checks)) {
        for (const char* triple : {"012", "013", "023", "123"}) {
            float measure = PointsOnLine(Point(line, triple[0] - '0'), Point(line, triple[1] - '0'),
                                         Point(line, triple[2] - '0'));
            if (measure < kCollinear)
                Report(checks, 1, kWarning, "Collinear vertices %s (%g)", triple, measure);
        }
    }
    FixVertexOrder(checks, line);
    if (ShowsMeasures(checks)) CheckCoplanarity(checks, line);
}

static void CheckColour(const LineCheckContext* checks, LineEntry* line) {
    int colour = line->Colour;
    bool isLine = line->Type == 2 || line->Type == 5;
    // 16 is the colour of the reference and 24 its edge colour. Edge lines (types 2 and 5) should
    // not take the surface colour 16; a surface cannot take 24 and gets 16 instead. Any other
    // number must be a known colour.
    if (colour == 16) {
        if (isLine) Report(checks, 1, kWarning, "Lines should not use color 16");
    } else if (colour == 24) {
        if (!isLine) {
            Report(checks, 0, kWarning, "Color 24 illegal for this line type, using 16");
            line->Colour = 16;
        }
    } else if (Color2rgb(checks->colours, colour, nullptr, nullptr) != 0) {
        Report(checks, 0, kWarning, "Unknown color, using 7");
        line->Colour = 7;
    }
}

// Same n points in any order (points may repeat only as often as in the other line).
static bool SamePointSet(const float* a, const float* b, int n) {
    int order[4] = {0, 1, 2, 3};
    // All n! orders are tried (at most 24); each point of one line pairs with a different point of
    // the other.
    do {
        bool all = true;
        for (int i = 0; i < n && all; i++) all = SamePoint(a + 4 * i, b + 4 * order[i]);
        if (all) return true;
    } while (std::next_permutation(order, order + n));
    return false;
}

static bool IdenticalLines(const LineEntry* earlier, const LineEntry* line, const char* subName) {
    switch (line->Type) {
        case 1:
            // Exact comparisons on purpose: only placements equal to the last bit count as
            // duplicates.
            for (int i = 0; i < 12; i++) {
                if (earlier->Data[i] != line->Data[i]) return false;
            }
            return earlier->Part && earlier->Part->DatName &&
                   strcmp(earlier->Part->DatName, subName) == 0;
        case 2:
            return SamePointSet(earlier->Data, line->Data, 2);
        case 3:
            return SamePointSet(earlier->Data, line->Data, 3);
        case 4:
            return SamePointSet(earlier->Data, line->Data, 4);
        case 5:
            return SamePointSet(earlier->Data, line->Data, 2) &&
                   SamePointSet(earlier->Data + 8, line->Data + 8, 2);
        default:
            return false;
    }
}

bool CheckLine(const LineCheckContext* checks, LineEntry* line, const char* subName,
               PartEntry* part) {
    if (line->Type == 0) return true;
    switch (line->Type) {
        case 1:
            if (CheckPlacement(checks, line, subName)) return false;
            break;
        case 2:
            if (SamePoint(Point(line, 0), Point(line, 1)))
                Report(checks, 1, kWarning, "Identical vertices");
            break;
        case 3:
            CheckTriangle(checks, line);
            break;
        case 4:
            CheckQuad(checks, line);
            break;
        case 5:
            if (SamePoint(Point(line, 0), Point(line, 1)) ||
                SamePoint(Point(line, 2), Point(line, 3)))
                Report(checks, 1, kWarning, "Identical vertices");
            break;
    }
    CheckColour(checks, line);
    // Every earlier line of the entry is compared: quadratic in the size of a file, so only done
    // when the warning could be shown.
    if (ShowsMeasures(checks) && part) {
        for (const LineEntry* earlier = part->FirstLine; earlier; earlier = earlier->Next) {
            if (earlier->Type == line->Type && IdenticalLines(earlier, line, subName))
                Report(checks, 1, kWarning, "Identical to line %u", earlier->LineNo);
        }
    }
    return true;
}
