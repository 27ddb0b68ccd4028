// The prints of flattened parts: where a texture's image falls on a surface, and the thin mesh
// that carries the image over the part's own surface. Used only inside the scene writer.
#pragma once

#include <string>
#include <vector>

#include "TqMesh/TqMesh.h"
#include "TqPov/TqPov.h"

/// A texture as it lies on one flattened part: its points in the part's coordinates.
struct TextureProjection {
    int method;          ///< TexMapMethod
    double point[3][3];  ///< P1, P2, P3
    double angle[2];     ///< a and b in degrees
    std::string png;     ///< the image
};

/// The projection of map placed by the matrix m.
TextureProjection PlaceTexture(const TexMapEntry& map, const float* m);
/// The image coordinates of a face's corners, LDraw's u left to right and v top to bottom. A
/// face across the seam of a wrapping projection gets its corners on one side of it.
void ProjectCorners(const TextureProjection& t, const MeshPoint* corners[3], double uv[3][2]);
/// Writes the mesh2 that carries the image over faces (of the smooth mesh): the faces once more,
/// a hair off the surface on either side so that the image lies on whichever side is seen, with
/// image coordinates. Where the image is transparent, and outside it, the part shows.
void PrintTextureOverlay(SceneWriter* w, FILE* fp, const SmoothMesh& mesh,
                         const std::vector<const MeshFace*>& faces, const TextureProjection& t);
