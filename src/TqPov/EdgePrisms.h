// Lines drawn as thin prisms in one shared mesh (-edges): their corners on a grid fine enough for
// their width, and the mesh's scene text. Used only inside the scene writer.
#pragma once

#include <cmath>
#include <cstdio>
#include <vector>

#include "TqPov/TqPov.h"

/// Numbers on a grid of 10^-decimals, written without trailing zeros: the lines' corners need no
/// more than a quarter of their radius, and the short numbers keep a town's lines quick to parse.
class GridNumbers {
public:
    /// The grid for lines of this radius.
    explicit GridNumbers(double radius);
    /// The value on the grid.
    double Round(double v) const { return std::round(v * scale_) / scale_; }
    /// The value in steps of the grid.
    long long Steps(double v) const { return std::llround(v * scale_); }
    /// Writes "<x,y,z>" of a point on the grid at out (room for 96 characters); returns the end.
    char* Point(char* out, const double* p) const;

private:
    char* Number(char* out, double v) const;
    int decimals_;
    double scale_;
};

/// Lines of one colour as thin three-sided prisms: the corners and faces of one mesh.
struct PrismMesh {
    double radius = 0;            ///< the lines' radius
    std::vector<double> corners;  ///< three numbers a corner, on the radius's grid
    std::vector<int> faces;       ///< three corner indices a face, each one POV-Ray keeps
};

/// The prisms of lines given by their two ends each (lines shorter than a quarter radius are
/// left out).
PrismMesh BuildPrisms(const std::vector<const float*>& ends, double radius);
/// Writes the mesh2 of prisms that have faces, in texture when one is given.
void WritePrisms(SceneWriter* w, FILE* fp, const PrismMesh& mesh, const char* texture);
