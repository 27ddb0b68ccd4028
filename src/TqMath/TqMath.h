// Vectors, 4x4 matrices, axis-aligned boxes and a small 6x6 solver.
// Storage is single precision; every result is computed in double and rounded once when stored.
#pragma once

/// Three floats x, y, z. Points stored in model lines carry a fourth float (w = 1) after these.
typedef float Vector3[3];
/// Sixteen floats row by row: element (r, k) at 4r+k; translation at 3, 7, 11; p' = M * (x, y, z,
/// 1).
typedef float Matrix4[16];
/// Minimum x, y, z then maximum x, y, z; empty = +1e16 / -1e16.
typedef float BBox[6];

/// Value of an empty box's minimum (its maximum is the negative).
constexpr float kEmptyBoxValue = 1e16f;

/// dst = src.
void V3Assign(float* dst, const float* src);
/// a . b in double precision.
double V3Dot(const float* a, const float* b);
/// Length of a in double precision.
double V3Length(const float* a);
/// dst = src / |src|; returns 1 (dst untouched) when the length is exactly 0, else 0.
int V3Unit(float* dst, const float* src);
/// dst = (a + b) / 2.
void V3Mean(float* dst, const float* a, const float* b);
/// dst = s * src.
void V3Scale(float* dst, double s, const float* src);
/// dst = a + s * b.
void V3AddScaled(float* dst, const float* a, double s, const float* b);
/// dst = a - b.
void V3Sub(float* dst, const float* a, const float* b);
/// dst = a x b; dst must differ from a and b.
void V3Cross(float* dst, const float* a, const float* b);
/// Determinant of the upper-left 3x3 of m.
double M3Det(const float* m);
/// dst = m * v for a four-component v; dst must differ from v.
void M4V4Mul(float* dst, const float* m, const float* v);
/// Affine transform of the point p.
void M4V3Mul(float* dst, const float* m, const float* p);
/// Projective transform of the point p (divides by w; no guard against w = 0).
void M4V3MulW(float* dst, const float* m, const float* p);
/// The 4x4 identity matrix, row by row (translation in the last column).
inline constexpr float kIdentityMatrix[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
/// dst = a * b; dst must differ from a and b.
void M4M4Mul(float* dst, const float* a, const float* b);
/// Inverse of the upper-left 3x3 into dst's upper-left 3x3; -1 when the determinant is exactly 0.
int M4Inv(float* dst, const float* m);
/// Rotation by angle degrees about axis; returns 1 (and the identity) for a zero axis, else 0.
int TqSetupRotMat(float* m, double angle, const float* axis);
/// Unit direction from a globe position towards the globe's centre (latitude 90 is at -y).
void TqGlobeToDir(float latitude, float longitude, float* dst);
/// Grows box so that it contains p; a NaN coordinate never enters.
void TqCheckPointAgainstBBox(const float* p, float* box);
/// The eight corners of box transformed by m; bit 0 of the index picks max x, bit 1 max y, bit 2
/// max z.
void TqCalcBBoxCorners(float corners[8][3], const float* m, const float* box, int projective);
/// Axis-aligned box of box's corners transformed by m.
void TqTransformBBox(float* dst, const float* m, const float* box, int projective);
/// Sets box empty.
void TqEmptyBBox(float* box);
/// Solves a * x = b for a 6x6 system (row by row); 1 on success, 0 when a is singular (x
/// untouched).
int TqSolve6(float* x, const float* a, const float* b);
