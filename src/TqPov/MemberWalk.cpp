// The grouping of a part's lines into the members of its declaration, shared by the count that
// chooses the container and the pass that writes it.
#include "TqPov/MemberWalk.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

namespace {

// IFPOV, IFNOTPOV and ENDPOV set the block state (1, 2, 0); ELSEPOV swaps 1 and 2.
int NextBlockState(int block, int keyword) {
    return keyword == 3 ? 3 - block : keyword;
}

// A TEXTURE meta line splits meshes like a change of colour; its key is the line's colour field,
// -1 when that is 0.
int TextureKey(const LineEntry* line) {
    return line->Colour ? line->Colour : -1;
}

// The walk itself: which mesh and which stud switch are open.
class Walk {
public:
    Walk(const SceneWriter* w, const PartEntry* part, int isModel, bool groupStuds,
         MemberEvents* events)
        : w_(w), part_(part), isModel_(isModel), groupStuds_(groupStuds), events_(events) {}

    void Run() {
        int block = 0, texture = -1;
        bool excludeNonPov = w_->pov->ExcludeNonPov;
        for (const LineEntry* line = part_->FirstLine; line; line = line->Next) {
            // With -enp the LDraw lines inside blocks are left out; only the POV-Ray code stays.
            bool excluded = excludeNonPov && block != 0;
            if (line->Type == 0) {
                Meta(line, &block, &texture);
            } else if (line->Type == 1) {
                if (!excluded && (line->Part->nPovObjects != 0 || line->LineFlags.IsLight))
                    Reference(line);
            } else if (line->Type == 3 || line->Type == 4) {
                if (!excluded) Surface(line, texture);
            }  // edge and optional lines never reach the scene
        }
        CloseStuds();
        CloseMesh();
    }

private:
    void CloseMesh() {
        groupOpen_ = false;
        pending_.clear();  // a run of degenerate triangles only: POV-Ray refuses such a mesh
        if (!meshOpen_) return;
        events_->MeshClose(meshColour_);
        meshOpen_ = false;
    }
    void CloseStuds() {
        if (!studsOpen_) return;
        events_->StudsClose();
        studsOpen_ = false;
    }

    // Stud primitives, and sub-files made of studs only, go inside "#if (TqStuds)". A part of
    // studs only has no switch inside: its parent switches it as a whole.
    void Reference(const LineEntry* line) {
        CloseMesh();
        if (groupStuds_) {
            const PartEntry* child = line->Part;
            if (!child->AttrFlags.IsStud &&
                (child->nPovNonStudObjects != 0 || line->LineFlags.IsLight)) {
                CloseStuds();
            } else if (!studsOpen_) {
                events_->StudsOpen();
                studsOpen_ = true;
            }
        }
        events_->Reference(line, studsOpen_);
    }

    // Surfaces of one colour and texture in a row share one mesh, not one object per triangle.
    // Degenerate triangles that waited go into the mesh once it opens, as the file has them.
    void Surface(const LineEntry* line, int texture) {
        CloseStuds();
        if (groupOpen_ && (line->Colour != meshColour_ || texture != meshTexture_)) CloseMesh();
        if (!groupOpen_) {
            groupOpen_ = true;
            meshColour_ = line->Colour;
            meshTexture_ = texture;
        }
        if (!meshOpen_) {
            if (SurfaceIsDegenerate(line)) {
                pending_.push_back(line);
                return;
            }
            events_->MeshOpen();
            meshOpen_ = true;
            for (const LineEntry* earlier : pending_) events_->Triangles(earlier);
            pending_.clear();
        }
        events_->Triangles(line);
    }

    // Texture switches, step boundaries, IFPOV blocks and comments. A directive must not cut
    // through an open mesh or stud switch, so both close first.
    void Meta(const LineEntry* line, int* block, int* texture) {
        if (line->LineFlags.IsTexture) {
            *texture = TextureKey(line);
            return;
        }
        bool boundary = IsStepBoundary(w_, line, isModel_);
        int keyword = line->LineFlags.PovBlock - 1;
        if (boundary || keyword >= 0) {
            CloseMesh();
            CloseStuds();
        }
        if (boundary) {
            events_->Step();
        } else if (keyword < 0) {
            events_->Comment(line, *block);
        } else {
            events_->Block(line, keyword);
            *block = NextBlockState(*block, keyword);
        }
    }

    const SceneWriter* w_;
    const PartEntry* part_;
    int isModel_;
    bool groupStuds_;
    MemberEvents* events_;
    bool groupOpen_ = false, meshOpen_ = false, studsOpen_ = false;
    int meshColour_ = 0, meshTexture_ = -1;
    std::vector<const LineEntry*> pending_;
};

}  // namespace

// POV-Ray drops a mesh triangle whose cross product has length exactly 0, computed in double
// from the numbers as written; a mesh left without triangles stops the parse. The test works on
// the corners as they will be printed (six significant digits), so it sees what POV-Ray sees.
bool TriangleIsDegenerate(const float* a, const float* b, const float* c) {
    double v1[3], v2[3], cross[3];
    auto sub = [](double* out, const float* p, const float* q) {
        for (int i = 0; i < 3; i++) out[i] = (double)p[i] - q[i];
    };
    sub(v1, a, b);
    sub(v2, c, b);
    auto crossOf = [&cross](const double* u, const double* v) {
        cross[0] = u[1] * v[2] - u[2] * v[1];
        cross[1] = u[2] * v[0] - u[0] * v[2];
        cross[2] = u[0] * v[1] - u[1] * v[0];
    };
    crossOf(v1, v2);
    double area = std::sqrt(cross[0] * cross[0] + cross[1] * cross[1] + cross[2] * cross[2]);
    double size = 0, span = std::sqrt(v1[0] * v1[0] + v1[1] * v1[1] + v1[2] * v1[2]) +
                            std::sqrt(v2[0] * v2[0] + v2[1] * v2[1] + v2[2] * v2[2]);
    for (const float* p : {a, b, c}) {
        for (int i = 0; i < 3; i++) size = std::max(size, std::fabs((double)p[i]));
    }
    // Printing rounds to six digits and moves each coordinate by at most 5e-6 of the largest
    // one, which changes the cross product by less than 2e-5 * size * span + 3e-10 * size^2.
    // A triangle clearly above that cannot collapse and needs no second look (the common case).
    if (area > 4e-5 * size * span + 1e-9 * size * size) return false;
    double printed[3][3];
    const float* corners[3] = {a, b, c};
    for (int k = 0; k < 3; k++) {
        for (int i = 0; i < 3; i++) {
            char text[32];
            FormatG(text, corners[k][i]);
            printed[k][i] = strtod(text, nullptr);
        }
    }
    for (int i = 0; i < 3; i++) {
        v1[i] = printed[0][i] - printed[1][i];
        v2[i] = printed[2][i] - printed[1][i];
    }
    crossOf(v1, v2);
    return std::sqrt(cross[0] * cross[0] + cross[1] * cross[1] + cross[2] * cross[2]) == 0;
}

// STEP lines become clock conditions only with -sc, or with -scm in the main model.
bool IsStepBoundary(const SceneWriter* w, const LineEntry* line, int isModel) {
    const TqPovRecord* pov = w->pov;
    return line->Type == 0 && line->LineFlags.IsStep &&
           (pov->StepClock || (pov->StepClockModelOnly && isModel));
}

bool IsConvertedSubModel(const PartEntry* entry) {
    const PartLoadFlags& load = entry->LoadFlags;
    return !load.IsPart && !load.IsPrimitive && entry->FirstLine && entry->PovState == kPovNormal;
}

bool SurfaceIsDegenerate(const LineEntry* line) {
    const float* d = line->Data;
    if (!TriangleIsDegenerate(d, d + 4, d + 8)) return false;
    return line->Type != 4 || TriangleIsDegenerate(d + 8, d + 12, d);
}

void WalkMembers(const SceneWriter* w, const PartEntry* part, int isModel, bool groupStuds,
                 MemberEvents* events) {
    Walk(w, part, isModel, groupStuds, events).Run();
}
