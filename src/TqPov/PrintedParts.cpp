// Printed parts in the flattened mode: the projections of !TEXMAP images onto the surfaces of a
// part, and the overlay mesh that carries an image with its image coordinates.
#include "TqPov/PrintedParts.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>

#include "TqPov/MeshText.h"

namespace {

constexpr double kPi = std::numbers::pi;
// How far the overlay lies off the surface, in LDU: far enough that POV-Ray never takes the two
// for one surface, far too close for the eye.
constexpr double kOverlayOffset = 0.02;

struct Vec {
    double x, y, z;
};
Vec operator-(Vec a, Vec b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
Vec operator*(double s, Vec a) {
    return {s * a.x, s * a.y, s * a.z};
}
double Dot(Vec a, Vec b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
Vec Cross(Vec a, Vec b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
Vec Unit(Vec a) {
    double length = std::sqrt(Dot(a, a));
    return length > 0 ? (1 / length) * a : a;
}
Vec Of(const double* p) {
    return {p[0], p[1], p[2]};
}
Vec Of(const MeshPoint& p) {
    return {p[0], p[1], p[2]};
}

// The angle in degrees from a to b about the axis (a and b at right angles to it).
double AngleAbout(Vec axis, Vec a, Vec b) {
    return std::atan2(Dot(axis, Cross(a, b)), Dot(a, b)) * 180 / kPi;
}

// A wrapping projection's angles (around the axis, or the longitude) of one face: a face across
// the seam has corners near +180 and near -180, and those below are moved a turn up.
void Unwrap(double* angles) {
    double low = std::min({angles[0], angles[1], angles[2]});
    double high = std::max({angles[0], angles[1], angles[2]});
    if (high - low <= 180) return;
    for (int i = 0; i < 3; i++) {
        if (angles[i] < 0) angles[i] += 360;
    }
}

// A string of the scene: the image's path was checked to hold no control character and no
// backslash before a quote, so quotes are all that need a backslash.
std::string Quoted(const std::string& text) {
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"') quoted += '\\';
        quoted += c;
    }
    return quoted + '"';
}

// The image by its file name where POV-Ray finds one (beside the scene, or in a library path:
// where a scene is kept or planned, its images are copied beside it), else where tqr found it.
std::string ImageFileText(const std::string& path) {
    size_t slash = path.rfind('/');
    std::string name = Quoted(slash == std::string::npos ? path : path.substr(slash + 1));
    return "#if (file_exists(" + name + ")) " + name + " #else " + Quoted(path) + " #end";
}

}  // namespace

TextureProjection PlaceTexture(const TexMapEntry& map, const float* m) {
    TextureProjection t;
    t.method = map.Method;
    for (int i = 0; i < 3; i++) {
        float placed[3];
        M4V3Mul(placed, m, map.Point[i]);
        for (int k = 0; k < 3; k++) t.point[i][k] = placed[k];
    }
    t.angle[0] = map.Angle[0];
    t.angle[1] = map.Angle[1];
    t.png = map.Png;
    return t;
}

void ProjectCorners(const TextureProjection& t, const MeshPoint* corners[3], double uv[3][2]) {
    Vec p1 = Of(t.point[0]), p2 = Of(t.point[1]), p3 = Of(t.point[2]);
    if (t.method == kTexPlanar) {
        // The image lies in the plane of its three corners and is projected along its normal.
        Vec across = p2 - p1, down = p3 - p1;
        for (int i = 0; i < 3; i++) {
            Vec d = Of(*corners[i]) - p1;
            uv[i][0] = Dot(d, across) / Dot(across, across);
            uv[i][1] = Dot(d, down) / Dot(down, down);
        }
        return;
    }
    double angles[3];
    if (t.method == kTexCylindrical) {
        // Around the axis from the bottom P1 to the top P2, from the direction of P3, growing to
        // the right as seen from outside with the top up; v from the top down along the axis.
        Vec axis = p2 - p1;
        double height = std::sqrt(Dot(axis, axis));
        Vec up = Unit(axis);
        Vec ref = (p3 - p1) - Dot(p3 - p1, up) * up;
        for (int i = 0; i < 3; i++) {
            Vec d = Of(*corners[i]) - p1;
            Vec radial = d - Dot(d, up) * up;
            angles[i] = AngleAbout(up, ref, radial);
            uv[i][1] = Dot(p2 - Of(*corners[i]), up) / height;
        }
        Unwrap(angles);
        for (int i = 0; i < 3; i++) uv[i][0] = 0.5 + angles[i] / t.angle[0];
        return;
    }
    // Spherical: longitude in the plane of P1, P2 and P3 from the direction of P2 towards P3, and
    // latitude from that plane towards the pole (P2 - P1) x (P3 - P1). Seen from outside with P3
    // to the right of the image's centre, that pole is up: the globe's map reads the right way.
    Vec east = Unit(p2 - p1);
    Vec pole = Unit(Cross(p2 - p1, p3 - p1));
    for (int i = 0; i < 3; i++) {
        Vec d = Of(*corners[i]) - p1;
        double length = std::sqrt(Dot(d, d));
        double latitude =
            length > 0 ? std::asin(std::clamp(Dot(d, pole) / length, -1.0, 1.0)) * 180 / kPi : 0;
        Vec flat = d - Dot(d, pole) * pole;
        angles[i] = AngleAbout(pole, east, flat);
        uv[i][1] = 0.5 - latitude / t.angle[1];
    }
    Unwrap(angles);
    for (int i = 0; i < 3; i++) uv[i][0] = 0.5 + angles[i] / t.angle[0];
}

void PrintTextureOverlay(SceneWriter* w, FILE* fp, const SmoothMesh& mesh,
                         const std::vector<const MeshFace*>& faces, const TextureProjection& t) {
    size_t n = faces.size();
    fputs("\tmesh2 {\n", fp);
    // Every corner once per side; the corners of one face keep their own image coordinates.
    VectorList points(w, fp, "vertex_vectors", 6 * n);
    for (double side : {kOverlayOffset, -kOverlayOffset}) {
        for (const MeshFace* f : faces) {
            for (int i = 0; i < 3; i++) {
                const MeshPoint& p = mesh.vertices[(size_t)f->vertex[i]];
                const MeshPoint& normal = mesh.normals[(size_t)f->normal[i]];
                points.AddPoint({(float)(p[0] + side * normal[0]), (float)(p[1] + side * normal[1]),
                                 (float)(p[2] + side * normal[2])});
            }
        }
    }
    points.Close();
    VectorList normals(w, fp, "normal_vectors", 3 * n);
    for (const MeshFace* f : faces) {
        for (int i = 0; i < 3; i++) normals.AddPoint(mesh.normals[(size_t)f->normal[i]]);
    }
    normals.Close();
    // POV-Ray's image coordinates run up from the image's bottom edge; LDraw's v runs down.
    VectorList coordinates(w, fp, "uv_vectors", 3 * n);
    for (const MeshFace* f : faces) {
        const MeshPoint* corners[3];
        for (int i = 0; i < 3; i++) corners[i] = &mesh.vertices[(size_t)f->vertex[i]];
        double uv[3][2];
        ProjectCorners(t, corners, uv);
        for (int i = 0; i < 3; i++) coordinates.AddPair((float)uv[i][0], (float)(1 - uv[i][1]));
    }
    coordinates.Close();
    for (const char* keyword : {"face_indices", "normal_indices", "uv_indices"}) {
        bool positions = keyword[0] == 'f';
        VectorList indices(w, fp, keyword, 2 * n);
        for (size_t side = 0; side < 2; side++) {
            for (size_t k = 0; k < n; k++) {
                int first = (int)(3 * (positions ? side * n + k : k));
                indices.AddIndices(first, first + 1, first + 2);
            }
        }
        indices.Close();
    }
    // Outside the image (once) and where it is transparent, the overlay lets the part show.
    Put(fp, "\t\ttexture { uv_mapping pigment { image_map { png ", ImageFileText(t.png).c_str(),
        " once interpolate 2 } } finish { TqFinishOpaque } }\n\t}\n");
}
