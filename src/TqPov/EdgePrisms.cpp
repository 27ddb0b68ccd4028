// Lines as prisms: where their corners lie, and the mesh2 text of them.
#include "TqPov/EdgePrisms.h"

#include <array>
#include <map>
#include <utility>

#include "TqPov/MemberWalk.h"

GridNumbers::GridNumbers(double radius) {
    double step = radius / 4;
    decimals_ = step > 0 && std::isfinite(step) ? (int)std::ceil(-std::log10(step)) : 6;
    decimals_ = std::min(std::max(decimals_, 0), 6);
    scale_ = std::pow(10.0, decimals_);
}

char* GridNumbers::Point(char* out, const double* p) const {
    *out++ = '<';
    for (int i = 0; i < 3; i++) {
        if (i) *out++ = ',';
        out = Number(out, p[i]);
    }
    *out++ = '>';
    *out = '\0';
    return out;
}

char* GridNumbers::Number(char* q, double v) const {
    long long n = std::llround(v * scale_);
    if (n < 0) *q++ = '-', n = -n;
    char digits[24];
    int k = 0;
    do digits[k++] = (char)('0' + n % 10), n /= 10;
    while (n > 0 || k <= decimals_);
    // The integer part, then the decimals that are not trailing zeros.
    int end = 0;
    while (end < decimals_ && digits[end] == '0') end++;
    for (int i = k - 1; i >= decimals_; i--) *q++ = digits[i];
    if (end < decimals_) {
        *q++ = '.';
        for (int i = decimals_ - 1; i >= end; i--) *q++ = digits[i];
    }
    return q;
}

namespace {

// Lines as thin three-sided prisms in one mesh: a mesh is shared by every copy of the object that
// holds it, where POV-Ray would copy each cylinder, and a town's lines then fit in memory. A
// prism's corners lie 1.25 radii from its line, which makes it about two radii wide from any
// side. Where a line ends alone or meets others at a corner, its prism reaches half a radius past
// the end, so that the prisms close the corner; where two lines run on nearly straight (the
// sides of a circle), they share the corners there, which keeps a stud's outline whole and its
// text short. Lines shorter than a quarter radius are left out.
class Prisms {
public:
    explicit Prisms(double radius) : radius_(radius), grid_(radius) {}

    void Build(const std::vector<const float*>& ends) {
        for (size_t i = 0; i + 1 < ends.size(); i += 2) AddLine(ends[i], ends[i + 1]);
        std::vector<int> shared(joints_.size(), -1);
        for (size_t j = 0; j < joints_.size(); j++) shared[j] = SharedRing(joints_[j]);
        for (const Line& line : lines_) {
            int ra = shared[line.joint[0]], rb = shared[line.joint[1]];
            if (ra < 0) ra = AddRing(line.a, line.d, -0.5 * radius_);
            if (rb < 0) rb = AddRing(line.b, line.d, 0.5 * radius_);
            Connect(rings_[ra], rings_[rb], line.d);
        }
    }

    /// The mesh made.
    PrismMesh Take() {
        PrismMesh mesh;
        mesh.radius = radius_;
        mesh.corners = std::move(corners_);
        mesh.faces = std::move(faces_);
        return mesh;
    }

private:
    struct Line {
        double a[3], b[3], d[3];  // ends and unit direction
        int joint[2];
    };
    // The lines that end at one point: line index and which end.
    using Joint = std::vector<std::pair<int, int>>;
    // Three corners about a point, and the normal of their turn (u x v).
    struct Ring {
        int first;            // index of the first corner
        double offset[3][3];  // the corners less the point
        double normal[3];
    };

    void AddLine(const float* a, const float* b) {
        Line line;
        double length = 0;
        for (int c = 0; c < 3; c++) {
            line.a[c] = a[c], line.b[c] = b[c], line.d[c] = (double)b[c] - a[c];
            length += line.d[c] * line.d[c];
        }
        length = std::sqrt(length);
        if (!(length > radius_ / 4) || !std::isfinite(length)) return;
        for (double& c : line.d) c /= length;
        int index = (int)lines_.size();
        for (int end = 0; end < 2; end++) {
            const double* p = end ? line.b : line.a;
            std::array<long long, 3> key = {grid_.Steps(p[0]), grid_.Steps(p[1]),
                                            grid_.Steps(p[2])};
            auto [at, fresh] = jointIndex_.emplace(key, (int)joints_.size());
            if (fresh) joints_.emplace_back();
            joints_[at->second].push_back({index, end});
            line.joint[end] = at->second;
        }
        lines_.push_back(line);
    }

    // The ring two lines that run on nearly straight share at their common end, or -1.
    int SharedRing(const Joint& joint) {
        if (joint.size() != 2) return -1;
        double out[2][3];
        for (int k = 0; k < 2; k++) {
            const Line& line = lines_[joint[k].first];
            double sign = joint[k].second == 0 ? 1 : -1;
            for (int c = 0; c < 3; c++) out[k][c] = sign * line.d[c];
        }
        double dot = out[0][0] * out[1][0] + out[0][1] * out[1][1] + out[0][2] * out[1][2];
        if (dot > -0.82) return -1;  // a turn of more than 35 degrees is a corner
        double tangent[3];
        for (int c = 0; c < 3; c++) tangent[c] = out[0][c] - out[1][c];
        double n =
            std::sqrt(tangent[0] * tangent[0] + tangent[1] * tangent[1] + tangent[2] * tangent[2]);
        for (double& c : tangent) c /= n;
        const Line& first = lines_[joint[0].first];
        return AddRing(joint[0].second == 0 ? first.a : first.b, tangent, 0);
    }

    // Three corners about p across direction d, moved reach along d.
    int AddRing(const double* p, const double* d, double reach) {
        double helper[3] = {0, 0, 0};
        helper[std::fabs(d[0]) < 0.6 ? 0 : 1] = 1;
        double u[3] = {d[1] * helper[2] - d[2] * helper[1], d[2] * helper[0] - d[0] * helper[2],
                       d[0] * helper[1] - d[1] * helper[0]};
        double un = std::sqrt(u[0] * u[0] + u[1] * u[1] + u[2] * u[2]);
        for (double& c : u) c /= un;
        double v[3] = {d[1] * u[2] - d[2] * u[1], d[2] * u[0] - d[0] * u[2],
                       d[0] * u[1] - d[1] * u[0]};
        Ring ring;
        ring.first = (int)(corners_.size() / 3);
        for (int c = 0; c < 3; c++) ring.normal[c] = d[c];
        for (int k = 0; k < 3; k++) {
            double angle = k * 2.0943951023931953, cu = std::cos(angle), sv = std::sin(angle);
            for (int c = 0; c < 3; c++) {
                ring.offset[k][c] = 1.25 * radius_ * (cu * u[c] + sv * v[c]);
                corners_.push_back(grid_.Round(p[c] + reach * d[c] + ring.offset[k][c]));
            }
        }
        rings_.push_back(ring);
        return (int)rings_.size() - 1;
    }

    // The three sides between two rings of a line: corners paired so that the prism does not
    // twist by more than a sixth of a turn, in the same order round the line.
    void Connect(const Ring& a, const Ring& b, const double* d) {
        auto dot = [](const double* x, const double* y) {
            return x[0] * y[0] + x[1] * y[1] + x[2] * y[2];
        };
        bool reversed = (dot(a.normal, d) > 0) != (dot(b.normal, d) > 0);
        auto bCorner = [&](int k) { return reversed ? (3 - k) % 3 : k; };
        int shift = 0;
        double best = -HUGE_VAL;
        for (int s = 0; s < 3; s++) {
            double along = dot(a.offset[0], b.offset[bCorner(s)]);
            if (along > best) best = along, shift = s;
        }
        auto B = [&](int k) { return b.first + bCorner((k + shift) % 3); };
        for (int k = 0; k < 3; k++) {
            int a0 = a.first + k, a1 = a.first + (k + 1) % 3;
            AddFace(a0, a1, B(k + 1));
            AddFace(a0, B(k + 1), B(k));
        }
    }

    // A face POV-Ray keeps.
    void AddFace(int i, int j, int k) {
        float q[3][3];
        int index[3] = {i, j, k};
        for (int n = 0; n < 3; n++) {
            for (int c = 0; c < 3; c++) q[n][c] = (float)corners_[3 * (size_t)index[n] + c];
        }
        if (TriangleIsDegenerate(q[0], q[1], q[2])) return;
        faces_.insert(faces_.end(), {i, j, k});
    }

    double radius_;
    GridNumbers grid_;
    std::vector<Line> lines_;
    std::vector<Joint> joints_;
    std::map<std::array<long long, 3>, int> jointIndex_;
    std::vector<Ring> rings_;
    std::vector<double> corners_;
    std::vector<int> faces_;
};

}  // namespace

PrismMesh BuildPrisms(const std::vector<const float*>& ends, double radius) {
    Prisms prisms(radius);
    prisms.Build(ends);
    return prisms.Take();
}

void WritePrisms(SceneWriter* w, FILE* fp, const PrismMesh& mesh, const char* texture) {
    GridNumbers grid(mesh.radius);
    TextBuffer<4096> text(&w->nNonFiniteNumbers);
    auto flush = [&] {
        if (text.size() > 3500) {
            text.WriteTo(fp);
            text.Clear();
        }
    };
    text.Add("\tmesh2 {\n\t\tvertex_vectors { ").AddUnsigned(mesh.corners.size() / 3);
    for (size_t i = 0; i < mesh.corners.size(); i += 3) {
        char point[96];
        grid.Point(point, &mesh.corners[i]);
        text.Add(i % 18 ? "," : ",\n\t\t\t").Add(point);
        flush();
    }
    text.Add(" }\n\t\tface_indices { ").AddUnsigned(mesh.faces.size() / 3);
    for (size_t i = 0; i < mesh.faces.size(); i += 3) {
        text.Add(i % 24 ? ",<" : ",\n\t\t\t<").AddUnsigned((unsigned long)mesh.faces[i]).Add(',');
        text.AddUnsigned((unsigned long)mesh.faces[i + 1]).Add(',');
        text.AddUnsigned((unsigned long)mesh.faces[i + 2]).Add('>');
        flush();
    }
    text.Add(" }\n");
    if (texture) text.Add("\t\ttexture { ").Add(texture).Add(" }\n");
    text.Add("\t}\n");
    text.WriteTo(fp);
}
