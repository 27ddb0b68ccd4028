// Smooth normals: welding, the crease angle, edge lines that keep an edge sharp, conditional lines
// that make it smooth, and faces of inconsistent winding.
#include <cmath>
#include <string>

#include "TqMesh/TqMesh.h"
#include "support/TestSupport.h"

namespace {

// Two faces meeting along the edge from (0,0,0) to (0,0,10): the first lies in the plane y = 0,
// the second is folded up by `fold` degrees about that edge. Wound alike unless `flipSecond`.
SmoothMeshInput Hinge(double fold, bool flipSecond = false) {
    double a = fold * 3.14159265358979323846 / 180;
    SmoothMeshInput in;
    MeshPoint p0 = {0, 0, 0}, p1 = {0, 0, 10}, left = {-10, 0, 5};
    MeshPoint right = {(float)(10 * std::cos(a)), (float)(-10 * std::sin(a)), 5};
    in.triangles.push_back({{p0, p1, left}, 0});
    if (flipSecond)
        in.triangles.push_back({{p0, p1, right}, 0});
    else
        in.triangles.push_back({{p1, p0, right}, 0});
    return in;
}

// Angle in degrees between the normals the two faces use at the hinge's first vertex.
double NormalsApart(const SmoothMesh& mesh) {
    auto normalAt = [&](const MeshFace& f) {
        for (int i = 0; i < 3; i++) {
            if (mesh.vertices[(size_t)f.vertex[i]] == MeshPoint{0, 0, 0})
                return mesh.normals[(size_t)f.normal[i]];
        }
        return MeshPoint{0, 0, 0};
    };
    MeshPoint n1 = normalAt(mesh.faces[0]), n2 = normalAt(mesh.faces[1]);
    double dot = n1[0] * n2[0] + n1[1] * n2[1] + n1[2] * n2[2];
    return std::acos(std::fmax(-1.0, std::fmin(1.0, std::fabs(dot)))) * 180 / 3.14159265358979323846;
}

}  // namespace

TEST(SmoothMesh, CreaseAngleEdgeLinesAndConditionalLinesDecideTheEdge) {
    const MeshSegment hingeLine = {{0, 0, 0}, {0, 0, 10}};
    struct Case {
        const char* what;
        double fold;
        bool hard, soft, flip;
        bool smooth;  // one normal shared across the hinge
    } cases[] = {
        {"a gentle bend is smooth", 20, false, false, false, true},
        {"a bend beyond the crease angle is sharp", 50, false, false, false, false},
        {"an edge line keeps a gentle bend sharp", 20, true, false, false, false},
        {"a conditional line smooths a steep bend", 60, false, true, false, true},
        {"an edge line wins over a conditional line", 20, true, true, false, false},
        {"faces wound against each other are turned alike", 20, false, false, true, true},
        {"and still kept sharp beyond the crease", 50, false, false, true, false},
    };
    for (const Case& c : cases) {
        SmoothMeshInput in = Hinge(c.fold, c.flip);
        if (c.hard) in.hardEdges.push_back(hingeLine);
        if (c.soft) in.softEdges.push_back(hingeLine);
        SmoothMesh mesh;
        BuildSmoothMesh(in, &mesh);
        ASSERT_EQ(mesh.faces.size(), 2u) << c.what;
        EXPECT_EQ(mesh.vertices.size(), 4u) << c.what;
        if (c.smooth)
            EXPECT_LT(NormalsApart(mesh), 0.05) << c.what;  // one normal, to float precision
        else
            EXPECT_NEAR(NormalsApart(mesh), c.fold, 1e-3) << c.what;
    }
}

TEST(SmoothMesh, EveryCornerNormalFacesLikeItsFace) {
    // A smooth normal averaged across faces of opposite winding must still lie on the side of
    // each face it shades, or POV-Ray would light that face from behind.
    for (bool flip : {false, true}) {
        SmoothMesh mesh;
        BuildSmoothMesh(Hinge(20, flip), &mesh);
        for (const MeshFace& f : mesh.faces) {
            const MeshPoint& a = mesh.vertices[(size_t)f.vertex[0]];
            const MeshPoint& b = mesh.vertices[(size_t)f.vertex[1]];
            const MeshPoint& c = mesh.vertices[(size_t)f.vertex[2]];
            double u[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
            double v[3] = {c[0] - a[0], c[1] - a[1], c[2] - a[2]};
            double n[3] = {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2],
                           u[0] * v[1] - u[1] * v[0]};
            for (int i = 0; i < 3; i++) {
                const MeshPoint& s = mesh.normals[(size_t)f.normal[i]];
                EXPECT_GT(s[0] * n[0] + s[1] * n[1] + s[2] * n[2], 0) << flip << " corner " << i;
                EXPECT_NEAR(std::sqrt(s[0] * s[0] + s[1] * s[1] + s[2] * s[2]), 1, 1e-5);
            }
        }
    }
}

TEST(SmoothMesh, NearbyCornersWeldAndCollapsedFacesGo) {
    SmoothMeshInput in;
    // The second triangle's shared corners differ from the first's by far less than the
    // tolerance, as a transformed sub-file's corners do; the third collapses onto a line.
    in.triangles.push_back({{{0, 0, 0}, {10, 0, 0}, {0, 0, 10}}, 3});
    in.triangles.push_back({{{10.00001f, 0, 0}, {0, 0, 0.000004f}, {10, 0, -10}}, 5});
    in.triangles.push_back({{{0, 0, 0}, {0.0001f, 0, 0}, {0, 0, 10}}, 3});
    SmoothMesh mesh;
    BuildSmoothMesh(in, &mesh);
    ASSERT_EQ(mesh.faces.size(), 2u);
    EXPECT_EQ(mesh.vertices.size(), 4u);
    EXPECT_EQ(mesh.faces[0].group, 3);
    EXPECT_EQ(mesh.faces[1].group, 5);
    // Smoothing looks past colours: the faces are one flat surface, so every normal is its own.
    for (const MeshPoint& n : mesh.normals) EXPECT_EQ(n, (MeshPoint{0, -1, 0}));
}

TEST(SmoothMesh, NormalsAreWeightedByTheAngleAtTheVertex) {
    // A corner of a box cut into a fan of thin triangles on one side: weighting by area or count
    // would pull the normal towards the many thin faces, weighting by angle does not.
    SmoothMeshInput in;
    in.options.creaseDegrees = 100;  // smooth the corner, to see the weighting
    MeshPoint o = {0, 0, 0};
    in.triangles.push_back({{o, {10, 0, 0}, {0, 10, 0}}, 0});  // z = 0, 90 degrees at o
    for (int i = 0; i < 8; i++) {                              // x = 0, 90 degrees in 8 slices
        double a0 = i * 3.14159265358979323846 / 16, a1 = (i + 1) * 3.14159265358979323846 / 16;
        MeshPoint p0 = {0, (float)(10 * std::cos(a0)), (float)(10 * std::sin(a0))};
        MeshPoint p1 = {0, (float)(10 * std::cos(a1)), (float)(10 * std::sin(a1))};
        in.triangles.push_back({{o, p1, p0}, 0});
    }
    SmoothMesh mesh;
    BuildSmoothMesh(in, &mesh);
    const MeshPoint& n = mesh.normals[(size_t)mesh.faces[0].normal[0]];
    EXPECT_NEAR(std::fabs(n[0]), std::fabs(n[2]), 1e-4) << n[0] << " " << n[2];
    EXPECT_NEAR(n[1], 0, 1e-4);
}
