// Framing from the placed parts (-cfit): the points the camera fits are the outlines of the parts
// where they stand in the model, through all levels of sub-models, and the picture is centred on
// what those points project to. The points are walked again for each use instead of being kept
// (a town of 60 000 parts gives two million of them).
#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "TqPov/MemberWalk.h"
#include "TqPov/TqPov.h"

namespace {

// The walk visits at most this many points (a part's outline has 8 to a few dozen). Beyond that,
// sub-models enter by the corners of their boxes, so that a file that places a sub-model within
// a sub-model ten times at every level cannot keep the walk going for ever.
constexpr size_t kPointBudget = 4000000;

// The directions of an outline: every whole vector with components from -2 to 2, the multiples
// left out (98). Neighbours lie at most 13 degrees apart, so an outline misses at most 3% of a
// round part's radius in the worst direction; a box-shaped part keeps its eight corners exactly.
const std::vector<std::array<double, 3>>& OutlineDirections() {
    static const std::vector<std::array<double, 3>> directions = [] {
        std::vector<std::array<double, 3>> list;
        for (int x = -2; x <= 2; x++) {
            for (int y = -2; y <= 2; y++) {
                for (int z = -2; z <= 2; z++) {
                    if (x % 2 == 0 && y % 2 == 0 && z % 2 == 0) continue;  // 0 and multiples
                    double n = std::sqrt(x * x + y * y + z * z);
                    list.push_back({x / n, y / n, z / n});
                }
            }
        }
        return list;
    }();
    return directions;
}

// Light sources shape no picture, and a file that drew nothing is not in the scene (one not
// declared yet may still draw something).
bool IsDrawn(const LineEntry* line) {
    const PartEntry* child = line->Part;
    return child && child->LoadFlags.BBoxValid && !line->LineFlags.IsLight &&
           (child->nPovObjects != 0 || child->PovState == kPovNotWritten);
}

// One walk over the points of a file: its surfaces, the outlines of the files it places, and the
// insides of its sub-models, each transformed to where it stands.
class PointWalk {
public:
    PointWalk(const SceneWriter* w, const PointVisitor& visit) : w_(w), visit_(visit) {}

    void From(const PartEntry* entry, const float* m, int depth) {
        for (const LineEntry* line = entry->FirstLine; line; line = line->Next) {
            if (line->Type == 3 || line->Type == 4) {
                // Edge lines never reach the scene.
                for (int i = 0; i < line->Type; i++) Point(m, line->Data + 4 * i);
            } else if (line->Type == 1 && IsDrawn(line)) {
                float placed[16];
                M4M4Mul(placed, m, line->Data);
                const PartEntry* child = line->Part;
                size_t needed = 8 * ((size_t)child->nContainedParts + 1);
                if (IsConvertedSubModel(child) && depth < kMaxNesting &&
                    count_ + needed <= kPointBudget)
                    From(child, placed, depth + 1);
                else
                    Outline(placed, child);
            }
        }
    }

    size_t Count() const { return count_; }

private:
    // Absurd placements overflow; an infinity would spoil every sum of the fit.
    void Point(const float* m, const float* p) {
        float q[3];
        M4V3Mul(q, m, p);
        if (!std::isfinite(q[0] + q[1] + q[2])) return;
        count_++;
        visit_(q);
    }

    // A file's outline where it is placed; the corners of its box when it has none.
    void Outline(const float* m, const PartEntry* entry) {
        auto found = w_->outlines.find(entry);
        if (found != w_->outlines.end()) {
            const std::vector<float>& outline = found->second;
            for (size_t i = 0; i + 2 < outline.size(); i += 3) Point(m, &outline[i]);
            return;
        }
        float corners[8][3];
        TqCalcBBoxCorners(corners, kIdentityMatrix, entry->BBox, 0);
        for (const auto& corner : corners) Point(m, corner);
    }

    const SceneWriter* w_;
    const PointVisitor& visit_;
    size_t count_ = 0;
};

// The points furthest out in each direction, each point once.
std::vector<float> Outermost(const std::vector<float>& points) {
    const auto& directions = OutlineDirections();
    size_t nd = directions.size();
    std::vector<double> most(nd, -HUGE_VAL);
    std::vector<size_t> best(nd, 0);
    for (size_t i = 0; i + 2 < points.size(); i += 3) {
        const float* p = &points[i];
        // The directions are the inner loop, so that the compiler can take several at a time.
        for (size_t k = 0; k < nd; k++) {
            const auto& d = directions[k];
            double along = d[0] * p[0] + d[1] * p[1] + d[2] * p[2];
            if (along > most[k]) most[k] = along, best[k] = i;
        }
    }
    std::sort(best.begin(), best.end());
    best.erase(std::unique(best.begin(), best.end()), best.end());
    std::vector<float> outline;
    for (size_t i : best) outline.insert(outline.end(), &points[i], &points[i + 3]);
    return outline;
}

// The outline of a round primitive that a POV-Ray solid stands for, from its box alone: points
// around the circle about the y axis (or the ball about the origin) that touches the box's sides,
// a little further out than it so that their hull holds it, and the box's corners within that
// reach. The box's own corners would put a tyre's outline 41% further out.
std::vector<float> RoundOutline(const float* box, bool ball) {
    const double kPi = 3.14159265358979323846;
    double r = std::max({-box[0], box[3], -box[2], box[5]});
    if (ball) r = std::max({r, -(double)box[1], (double)box[4]});
    // 32 points a circle lie 11.25 degrees apart; neighbouring outline directions at most 13.
    double reach = r / std::cos((ball ? 13.3 : 5.625) * kPi / 180);
    // Points that fall just outside the box by rounding still count as on it.
    double slack = 0.01 * r;
    std::vector<float> points;
    auto keep = [&](double x, double y, double z) {
        if (x >= box[0] - slack && x <= box[3] + slack && y >= box[1] - slack &&
            y <= box[4] + slack && z >= box[2] - slack && z <= box[5] + slack)
            points.insert(points.end(), {(float)x, (float)y, (float)z});
    };
    for (float y : {box[1], box[4]}) {
        for (int k = 0; k < 32 && !ball; k++)
            keep(reach * std::cos(k * kPi / 16), y, reach * std::sin(k * kPi / 16));
        for (float x : {box[0], box[3]}) {
            for (float z : {box[2], box[5]}) {
                if (std::hypot(x, ball ? std::hypot(y, z) : z) <= reach) keep(x, y, z);
            }
        }
    }
    if (ball) {
        for (const auto& d : OutlineDirections()) keep(reach * d[0], reach * d[1], reach * d[2]);
    }
    return points;
}

// A point seen from the camera: its place along one screen axis, and one over its depth.
struct Seen {
    double across, inverseDepth;
    // The tangent of the angle at which it is seen when the camera stands at a on that axis.
    double Tangent(double a) const { return (across - a) * inverseDepth; }
};

// Keeps the points that may still give the largest tangent (upper) or the smallest (!upper)
// somewhere in [low, high]: a tangent falls as a grows, so a point whose tangent at low stays
// below another's at high can never be the largest there, and the other way round.
void Prune(std::vector<Seen>* points, double low, double high, bool upper) {
    double bound = upper ? -HUGE_VAL : HUGE_VAL;
    for (const Seen& p : *points)
        bound = upper ? std::max(bound, p.Tangent(high)) : std::min(bound, p.Tangent(low));
    std::erase_if(*points, [&](const Seen& p) {
        return upper ? p.Tangent(low) < bound : p.Tangent(high) > bound;
    });
}

// The offset a along one screen axis that centres the points' projection: the largest and the
// smallest tangent are then equal and opposite. Their sum only falls as a grows, and it is >= 0
// at the smallest place and <= 0 at the largest, so halving that interval finds it. Once the
// interval is small, the points that can no longer decide it are dropped, which leaves a handful.
double CentreOffset(const SceneWriter* w, const PartEntry* model, const float* axis,
                    const float* direction, double depth0) {
    std::vector<Seen> upper;
    ForEachPlacedPoint(w, model, [&](const float* p) {
        double depth = V3Dot(direction, p) - depth0;
        // Points behind the camera cannot be brought into the picture by moving across.
        if (depth > 0) upper.push_back({V3Dot(axis, p), 1 / depth});
    });
    if (upper.empty()) return NAN;
    double low = HUGE_VAL, high = -HUGE_VAL;
    for (const Seen& p : upper) low = std::min(low, p.across), high = std::max(high, p.across);
    std::vector<Seen> lower;
    // 60 halvings take any model's extent below a float's resolution; after 8 the interval is
    // narrow enough for the pruning to pay.
    const int kPruneFrom = 8;
    for (int i = 0; i < 60; i++) {
        double a = (low + high) / 2, most = -HUGE_VAL, least = HUGE_VAL;
        for (const Seen& p : upper) {
            most = std::max(most, p.Tangent(a));
            if (i < kPruneFrom) least = std::min(least, p.Tangent(a));
        }
        for (const Seen& p : lower) least = std::min(least, p.Tangent(a));
        (most + least > 0 ? low : high) = a;
        if (i + 1 < kPruneFrom) continue;
        if (lower.empty()) lower = upper;
        Prune(&upper, low, high, true);
        Prune(&lower, low, high, false);
    }
    return (low + high) / 2;
}

}  // namespace

void RecordOutline(SceneWriter* w, const PartEntry* entry) {
    // A primitive that a POV-Ray solid stands for was never read: only its box is known.
    if (!entry->FirstLine && entry->LoadFlags.IsPrimitive && entry->LoadFlags.BBoxValid) {
        PovEquivShape shape = PovEquivShapeOf(entry->DatName);
        if (shape != PovEquivShape::kBox)
            w->outlines[entry] = RoundOutline(entry->BBox, shape == PovEquivShape::kBall);
        return;
    }
    std::vector<float> points;
    PointVisitor keep = [&points](const float* p) { points.insert(points.end(), p, p + 3); };
    PointWalk(w, keep).From(entry, kIdentityMatrix, 0);
    // A file of edge lines alone (read with -mesh) has no surface to frame: its outline is empty,
    // not its box.
    w->outlines[entry] = points.empty() ? points : Outermost(points);
}

size_t ForEachPlacedPoint(const SceneWriter* w, const PartEntry* model, const PointVisitor& visit) {
    PointWalk walk(w, visit);
    walk.From(model, kIdentityMatrix, 0);
    return walk.Count();
}

void CentreOnPlacedParts(const SceneWriter* w, const PartEntry* model, const float* direction,
                         const float* sky, float* location) {
    // The picture's axes as the automatic fit builds them.
    float side[3], up[3], hor[3], ver[3];
    V3Cross(side, direction, sky);
    V3Unit(hor, side);
    V3Cross(up, side, direction);
    V3Unit(ver, up);
    double depth0 = V3Dot(direction, location);
    double h = CentreOffset(w, model, hor, direction, depth0);
    double v = CentreOffset(w, model, ver, direction, depth0);
    // No point in front of the camera: nothing to centre.
    if (std::isnan(h) || std::isnan(v)) return;
    double dh = h - V3Dot(hor, location), dv = v - V3Dot(ver, location);
    for (int k = 0; k < 3; k++) location[k] = (float)(location[k] + dh * hor[k] + dv * ver[k]);
}
