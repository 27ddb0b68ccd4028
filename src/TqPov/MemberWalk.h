// The walk over one part's lines in the groups its declaration is made of: meshes of one colour
// and texture, stud switches, references, comments, and the step and block boundaries that close
// them. Counting the members and writing them take the same walk, so the container chosen from
// the count always fits what is written. Used only inside the scene writer.
#pragma once

#include "TqPov/TqPov.h"

/// What the walk meets, in the order the declaration holds it. A handler does nothing unless
/// overridden.
class MemberEvents {
public:
    virtual ~MemberEvents() = default;
    /// A mesh opens, at its first triangle that POV-Ray accepts (Triangles follow).
    virtual void MeshOpen() {}
    /// A surface line of the open mesh (a degenerate one that waited for the mesh comes too).
    virtual void Triangles(const LineEntry* /*line*/) {}
    /// The open mesh ends; colour 16 takes the colour of whatever places the part.
    virtual void MeshClose(int /*colour*/) {}
    /// "#if (TqStuds)" opens, or closes.
    virtual void StudsOpen() {}
    virtual void StudsClose() {}
    /// A sub-file (or, with -l, a light) to place; inStuds inside a stud switch.
    virtual void Reference(const LineEntry* /*line*/, bool /*inStuds*/) {}
    /// A comment line; block is the IFPOV state around it (0 none, 1 IFPOV, 2 IFNOTPOV).
    virtual void Comment(const LineEntry* /*line*/, int /*block*/) {}
    /// A STEP that becomes a clock condition.
    virtual void Step() {}
    /// A TQR block line (keyword as IsIfpovKeyword gives it).
    virtual void Block(const LineEntry* /*line*/, int /*keyword*/) {}
};

/// Walks part's lines; with groupStuds the references to studs gather in stud switches.
void WalkMembers(const SceneWriter* w, const PartEntry* part, int isModel, bool groupStuds,
                 MemberEvents* events);
/// True when the line is a STEP that becomes a clock condition (-sc, or -scm in the model).
bool IsStepBoundary(const SceneWriter* w, const LineEntry* line, int isModel);
/// True when POV-Ray would drop the triangle: its cross product is 0 once the corners are printed.
bool TriangleIsDegenerate(const float* a, const float* b, const float* c);
/// True when a sub-model's own lines are still there and were converted, so that a walk over the
/// placed parts goes into it (a ready-made replacement stands for it otherwise).
bool IsConvertedSubModel(const PartEntry* entry);
/// True when a type 3 or 4 line has no triangle POV-Ray accepts.
bool SurfaceIsDegenerate(const LineEntry* line);
