// Triangle meshes with smooth vertex normals: a soup of triangles, with the edges an author drew
// as hard (edge lines) or soft (conditional lines), becomes welded vertices, faces and per-corner
// normals, smooth across soft edges and sharp across hard ones. Needs only the maths.
#pragma once

#include <array>
#include <vector>

/// A point or direction in single precision.
using MeshPoint = std::array<float, 3>;

/// One triangle of the soup, in the order of its corners as the file gives them.
struct MeshTriangle {
    MeshPoint corner[3];  ///< the corners
    int group;            ///< what the triangle belongs to (a colour), kept on its face
    int texture = -1;     ///< the image printed on it, kept on its face; -1 for none
};

/// A straight segment: an edge line (hard) or a conditional line (soft).
struct MeshSegment {
    MeshPoint a, b;  ///< its ends
};

/// How the soup is turned into a smooth mesh.
struct SmoothMeshOptions {
    /// Faces meeting at more than this angle (degrees) keep a sharp edge where the author drew
    /// neither kind of line.
    float creaseDegrees = 35;
    /// Corners closer than this (in each coordinate) are one vertex.
    float weldTolerance = 1e-3f;
};

/// The soup and its lines.
struct SmoothMeshInput {
    std::vector<MeshTriangle> triangles;  ///< the surfaces
    std::vector<MeshSegment> hardEdges;   ///< edge lines: the faces on either side stay sharp
    std::vector<MeshSegment> softEdges;   ///< conditional lines: the surface is smooth across
    SmoothMeshOptions options;            ///< crease angle and welding tolerance
};

/// One face of the result: indices into the vertices and the normals of its corners.
struct MeshFace {
    int vertex[3];  ///< welded vertices, in the triangle's own corner order
    int normal[3];  ///< normals of the corners
    int group;      ///< the triangle's group
    int texture;    ///< the triangle's texture, -1 for none
};

/// Welded vertices, shared normals and faces. Triangles whose corners weld together are left out.
struct SmoothMesh {
    std::vector<MeshPoint> vertices;  ///< the welded vertices
    std::vector<MeshPoint> normals;   ///< unit normals, one per smooth group at a vertex
    std::vector<MeshFace> faces;      ///< the faces, in the order of the soup
};

/// Welds the soup and computes the normals: at each vertex the faces are gathered into smooth
/// groups, faces joined through soft edges; a group's normal is the mean of its faces' normals
/// weighted by the angle each face has at the vertex (so that how a surface is cut into
/// triangles does not pull the normal). Faces of opposite winding are turned alike before they
/// are averaged, so that an inconsistent winding cannot cancel a normal.
void BuildSmoothMesh(const SmoothMeshInput& input, SmoothMesh* mesh);
