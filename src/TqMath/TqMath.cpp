// Vector, matrix, bounding-box and solver arithmetic shared by the loader, checks and scene writer.
#include "TqMath/TqMath.h"

#include <cmath>

namespace {
// Degrees to radians is spelt two ways below (angle * kPi / 180 and angle * kDegToRad). The two can
// differ in the last bit of a double, so one is not swapped for the other without comparing scenes.
constexpr double kPi = 3.141592653589793;
constexpr double kDegToRad = 0.017453292519943295;
}  // namespace

void V3Assign(float* dst, const float* src) {
    dst[0] = src[0];
    dst[1] = src[1];
    dst[2] = src[2];
}

double V3Dot(const float* a, const float* b) {
    // Each product of two floats is exact in double (24 + 24 significant bits fit into 53); only
    // the two additions round.
    return (double)a[0] * b[0] + (double)a[1] * b[1] + (double)a[2] * b[2];
}

double V3Length(const float* a) {
    return std::sqrt(V3Dot(a, a));
}

int V3Unit(float* dst, const float* src) {
    double len = V3Length(src);
    // Exactly 0 on purpose: in double even the smallest float squared is above zero, so every
    // other vector can be divided by its length. A zero vector leaves dst alone.
    if (len == 0) return 1;
    double r = 1.0 / len;
    dst[0] = (float)(src[0] * r);
    dst[1] = (float)(src[1] * r);
    dst[2] = (float)(src[2] * r);
    return 0;
}

void V3Mean(float* dst, const float* a, const float* b) {
    for (int i = 0; i < 3; i++) dst[i] = (float)(((double)a[i] + b[i]) / 2);
}

void V3Scale(float* dst, double s, const float* src) {
    for (int i = 0; i < 3; i++) dst[i] = (float)(s * src[i]);
}

void V3AddScaled(float* dst, const float* a, double s, const float* b) {
    for (int i = 0; i < 3; i++) dst[i] = (float)(a[i] + s * b[i]);
}

void V3Sub(float* dst, const float* a, const float* b) {
    for (int i = 0; i < 3; i++) dst[i] = (float)((double)a[i] - b[i]);
}

void V3Cross(float* dst, const float* a, const float* b) {
    dst[0] = (float)((double)a[1] * b[2] - (double)a[2] * b[1]);
    dst[1] = (float)((double)a[2] * b[0] - (double)a[0] * b[2]);
    dst[2] = (float)((double)a[0] * b[1] - (double)a[1] * b[0]);
}

double M3Det(const float* m) {
    double m0 = m[0], m1 = m[1], m2 = m[2], m4 = m[4], m5 = m[5], m6 = m[6];
    double m8 = m[8], m9 = m[9], m10 = m[10];
    return m0 * (m5 * m10 - m9 * m6) + m4 * (m9 * m2 - m1 * m10) + m8 * (m1 * m6 - m5 * m2);
}

void M4V4Mul(float* dst, const float* m, const float* v) {
    for (int i = 0; i < 4; i++) {
        double sum = 0;
        for (int j = 0; j < 4; j++) sum += (double)m[4 * i + j] * v[j];
        dst[i] = (float)sum;
    }
}

// The bottom row is taken to be (0 0 0 1), as it is in every placement an LDraw line can state.
void M4V3Mul(float* dst, const float* m, const float* p) {
    double x = p[0], y = p[1], z = p[2];
    dst[0] = (float)(m[0] * x + m[1] * y + m[2] * z + m[3]);
    dst[1] = (float)(m[4] * x + m[5] * y + m[6] * z + m[7]);
    dst[2] = (float)(m[8] * x + m[9] * y + m[10] * z + m[11]);
}

void M4V3MulW(float* dst, const float* m, const float* p) {
    double x = p[0], y = p[1], z = p[2];
    double w = m[12] * x + m[13] * y + m[14] * z + m[15];
    double r = 1.0 / w;
    dst[0] = (float)((m[0] * x + m[1] * y + m[2] * z + m[3]) * r);
    dst[1] = (float)((m[4] * x + m[5] * y + m[6] * z + m[7]) * r);
    dst[2] = (float)((m[8] * x + m[9] * y + m[10] * z + m[11]) * r);
}

void M4M4Mul(float* dst, const float* a, const float* b) {
    for (int r = 0; r < 4; r++) {
        for (int k = 0; k < 4; k++) {
            dst[4 * r + k] =
                (float)((double)a[4 * r] * b[k] + (double)a[4 * r + 1] * b[4 + k] +
                        (double)a[4 * r + 2] * b[8 + k] + (double)a[4 * r + 3] * b[12 + k]);
        }
    }
}

int M4Inv(float* dst, const float* m) {
    double a = m[0], b = m[1], c = m[2], d = m[4], e = m[5], f = m[6], g = m[8], h = m[9],
           i = m[10];
    // Rule of Sarrus on the 3x3 part only (a placement's rotation and scale); dst's translation
    // column and bottom row are left as they were. Only an exactly zero determinant is refused: a
    // nearly singular matrix still gives its large inverse.
    double det = a * e * i + b * f * g + c * d * h - g * e * c - h * f * a - i * d * b;
    if (det == 0) return -1;
    double r = 1.0 / det;
    dst[0] = (float)((e * i - f * h) * r);
    dst[1] = (float)((c * h - b * i) * r);
    dst[2] = (float)((b * f - c * e) * r);
    dst[4] = (float)((f * g - d * i) * r);
    dst[5] = (float)((a * i - c * g) * r);
    dst[6] = (float)((c * d - a * f) * r);
    dst[8] = (float)((d * h - e * g) * r);
    dst[9] = (float)((b * g - a * h) * r);
    dst[10] = (float)((a * e - b * d) * r);
    return 0;
}

int TqSetupRotMat(float* m, double angle, const float* axis) {
    // Rotation about a unit axis u by the right-hand rule: cos * I + sin * [u]x + (1 - cos) * uu^T.
    // The matrix is cleared first, so its translation is zero.
    for (int i = 0; i < 16; i++) m[i] = 0;
    double theta = angle * kPi / 180;
    double cs = std::cos(theta), sn = std::sin(theta), t = 1 - cs;
    float u[3];
    if (V3Unit(u, axis)) {
        m[0] = m[5] = m[10] = m[15] = 1;
        return 1;
    }
    double x = u[0], y = u[1], z = u[2];
    m[0] = (float)(x * t * x + cs);
    m[1] = (float)(x * t * y - z * sn);
    m[2] = (float)(x * t * z + y * sn);
    m[4] = (float)(x * t * y + z * sn);
    m[5] = (float)(y * t * y + cs);
    m[6] = (float)(y * t * z - x * sn);
    m[8] = (float)(x * t * z - y * sn);
    m[9] = (float)(y * t * z + x * sn);
    m[10] = (float)(z * t * z + cs);
    m[15] = 1;
    return 0;
}

void TqGlobeToDir(float latitude, float longitude, float* dst) {
    // Latitude is measured from the horizontal plane, positive above the model: LDraw's y axis
    // points down, so a viewer above the model looks along +y. The viewer stands at centre -
    // radius * dir: longitude 0 in front of the model (its -z side), longitude 90 on its +x side.
    double phi = latitude * kDegToRad, lambda = longitude * kDegToRad;
    dst[0] = (float)(-std::sin(lambda) * std::cos(phi));
    dst[1] = (float)std::sin(phi);
    dst[2] = (float)(std::cos(lambda) * std::cos(phi));
}

void TqCheckPointAgainstBBox(const float* p, float* box) {
    for (int i = 0; i < 3; i++) {
        // Strict tests: a NaN coordinate compares false and never enters the box.
        if (box[i] > p[i]) box[i] = p[i];
        if (p[i] > box[3 + i]) box[3 + i] = p[i];
    }
}

void TqEmptyBBox(float* box) {
    // Finite values rather than infinities: the centre of an empty box comes out as 0 and its size
    // as negative, never as NaN.
    box[0] = box[1] = box[2] = kEmptyBoxValue;
    box[3] = box[4] = box[5] = -kEmptyBoxValue;
}

void TqCalcBBoxCorners(float corners[8][3], const float* m, const float* box, int projective) {
    for (int i = 0; i < 8; i++) {
        float p[3] = {box[(i & 1) ? 3 : 0], box[(i & 2) ? 4 : 1], box[(i & 4) ? 5 : 2]};
        if (projective)
            M4V3MulW(corners[i], m, p);
        else
            M4V3Mul(corners[i], m, p);
    }
}

void TqTransformBBox(float* dst, const float* m, const float* box, int projective) {
    float corners[8][3];
    TqEmptyBBox(dst);
    TqCalcBBoxCorners(corners, m, box, projective);
    // The box of a transformed box is the box of its eight transformed corners: a rotated part gets
    // the smallest axis-aligned box that holds its own box, not the smallest that holds its
    // geometry.
    for (int i = 0; i < 8; i++) TqCheckPointAgainstBBox(corners[i], dst);
}

int TqSolve6(float* x, const float* a, const float* b) {
    // Crout LU decomposition with partial pivoting on a private copy.
    float lu[6][6];
    int indx[6];
    for (int i = 0; i < 6; i++) {
        // indx records the row swaps: row i of lu holds row indx[i] of a.
        indx[i] = i;
        for (int j = 0; j < 6; j++) lu[i][j] = a[6 * i + j];
    }
    for (int j = 0; j < 6; j++) {
        // Column j: each entry loses the products of the finished L entries of its row with the
        // finished U entries above it in this column (summed in double, stored in float). Entries
        // above the diagonal are then U; those on and below it are the candidate pivots.
        float col[6];
        for (int i = 0; i < 6; i++) col[i] = lu[i][j];
        for (int i = 0; i < 6; i++) {
            int kMax = i < j ? i : j;
            double sum = 0;
            for (int k = 0; k < kMax; k++) sum += (double)lu[i][k] * col[k];
            col[i] = (float)(col[i] - sum);
            lu[i][j] = col[i];
        }
        // Partial pivoting: the largest candidate in magnitude goes onto the diagonal, with its
        // whole row (the finished L part included) and its place in indx.
        int p = j;
        for (int i = j + 1; i < 6; i++) {
            if (std::fabs(col[i]) > std::fabs(col[p])) p = i;
        }
        if (p != j) {
            for (int k = 0; k < 6; k++) {
                float t = lu[p][k];
                lu[p][k] = lu[j][k];
                lu[j][k] = t;
            }
            int t = indx[p];
            indx[p] = indx[j];
            indx[j] = t;
        }
        // A zero pivot is not divided by; the matrix is refused below, once every column is done.
        if (lu[j][j] != 0) {
            for (int i = j + 1; i < 6; i++) lu[i][j] = (float)((double)lu[i][j] / lu[j][j]);
        }
    }
    // Only exactly zero pivots are refused: a nearly singular system gives large values, which the
    // camera fit checks for finiteness itself.
    for (int j = 0; j < 6; j++) {
        if (lu[j][j] == 0) return 0;
    }
    // Forward substitution through the unit lower triangle L with b in pivot order, then back
    // substitution through U.
    for (int i = 0; i < 6; i++) x[i] = b[indx[i]];
    for (int k = 0; k < 6; k++) {
        for (int i = k + 1; i < 6; i++) x[i] = (float)(x[i] - (double)x[k] * lu[i][k]);
    }
    for (int k = 5; k >= 0; k--) {
        x[k] = (float)((double)x[k] / lu[k][k]);
        for (int i = 0; i < k; i++) x[i] = (float)(x[i] - (double)x[k] * lu[i][k]);
    }
    return 1;
}
