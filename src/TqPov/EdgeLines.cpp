// Edge lines (-edges): the library's edge lines as thin cylinders, one shared object per part,
// and its conditional lines where they are silhouettes for the scene's camera. They are written
// after the camera: the camera decides which conditional lines show, and the scene derives the
// lines' width from its distance, so that they read as about the same number of pixels at any
// size the picture is rendered.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <unordered_set>
#include <vector>

#include "TqColor/TqColor.h"
#include "TqPov/MemberWalk.h"
#include "TqPov/TqPov.h"

namespace {

// The lines' width is given in pixels of a picture this wide.
constexpr int kEdgeReferenceWidth = 800;

// The colour a line takes inside a file placed in colour: 16 becomes that colour, 24 its edge
// colour; while the placing colour is 16 itself both wait for the next level up.
int ResolveLineColour(const SceneWriter* w, int lineColour, int placedIn) {
    if (placedIn == 16) return lineColour;
    if (lineColour == 16) return placedIn;
    if (lineColour != 24) return lineColour;
    const ColourEntry* entry =
        placedIn >= 0 && placedIn <= kMaxColourCode ? FindColour(w->colours, placedIn) : nullptr;
    // A direct colour, or a code without an entry, has no edge colour of its own: black.
    return entry ? (int)entry->Edge : 0;
}

// Collects a file's lines with those of what it places, recursing into files not recorded yet
// whose lines are still there.
class EdgeRecorder {
public:
    explicit EdgeRecorder(SceneWriter* w) : w_(w) {}

    const FileEdges* Of(const PartEntry* entry, int depth) {
        auto found = w_->edges.find(entry);
        if (found != w_->edges.end()) return &found->second;
        if (!entry->FirstLine || depth > kMaxNesting) return nullptr;
        FileEdges edges;
        for (const LineEntry* line = entry->FirstLine; line; line = line->Next) {
            const float* d = line->Data;
            if (line->Type == 2) {
                edges.segments.push_back({{d[0], d[1], d[2]}, {d[4], d[5], d[6]}, line->Colour});
            } else if (line->Type == 5) {
                edges.conditionals.push_back({{d[0], d[1], d[2]},
                                              {d[4], d[5], d[6]},
                                              {d[8], d[9], d[10]},
                                              {d[12], d[13], d[14]},
                                              line->Colour});
            } else if (line->Type == 1 && line->Part && !line->LineFlags.IsLight) {
                if (const FileEdges* child = Of(line->Part, depth + 1))
                    AddPlaced(&edges, *child, line->Data, line->Colour);
            }
        }
        return &(w_->edges[entry] = std::move(edges));
    }

private:
    void AddPlaced(FileEdges* to, const FileEdges& from, const float* m, int colour) {
        for (const EdgeSegment& s : from.segments) {
            EdgeSegment t;
            M4V3Mul(t.a, m, s.a);
            M4V3Mul(t.b, m, s.b);
            t.colour = ResolveLineColour(w_, s.colour, colour);
            to->segments.push_back(t);
        }
        for (const ConditionalLine& c : from.conditionals) {
            ConditionalLine t;
            M4V3Mul(t.a, m, c.a);
            M4V3Mul(t.b, m, c.b);
            M4V3Mul(t.c, m, c.c);
            M4V3Mul(t.d, m, c.d);
            t.colour = ResolveLineColour(w_, c.colour, colour);
            to->conditionals.push_back(t);
        }
    }

    SceneWriter* w_;
};

// A part placed in the model: where, in which colour, and in which steps.
struct Placement {
    const PartEntry* part;
    float m[16];
    int colour;        // the colour it is placed in (16 only where nothing gave one)
    int shownFrom;     // shown once the clock passes this step (0: always)
    int section;       // its step in the file that colours it, for -sf; -1 without clock there
    const char* seam;  // the seam width the part is shrunk by ("TqSW", "TqSWT"), or null
};
// A line of a model or sub-model itself, in model coordinates.
struct LooseLine {
    ConditionalLine line;  // a, b; c, d only for a conditional line
    bool conditional;
    int shownFrom;
};

// Every part placed in the model, through all levels of sub-models, with the steps the clock
// conditions of the declarations give it.
class PlacementWalk {
public:
    explicit PlacementWalk(SceneWriter* w) : w_(w) {}

    void From(const PartEntry* entry, const float* m, int colour, int depth, int shownFrom,
              bool isModel) {
        int section = 0;
        bool clocked = w_->pov->StepClock || (w_->pov->StepClockModelOnly && isModel);
        for (const LineEntry* line = entry->FirstLine; line; line = line->Next) {
            if (IsStepBoundary(w_, line, isModel)) section++;
            int shown = std::max(shownFrom, section);
            if (line->Type == 2 || line->Type == 5) {
                Loose(line, m, colour, shown);
                continue;
            }
            if (line->Type != 1 || !line->Part || line->LineFlags.IsLight) continue;
            float placed[16];
            M4M4Mul(placed, m, line->Data);
            int c = line->Colour == 16 ? colour : line->Colour;
            const PartEntry* child = line->Part;
            if (IsConvertedSubModel(child)) {
                if (depth < kMaxNesting) From(child, placed, c, depth + 1, shown, false);
                continue;
            }
            // A file that is neither part nor primitive, and drew nothing of its own (lines
            // only), was not recorded when it was declared; its lines are still there.
            if (!w_->edges.count(child) && !EdgeRecorder(w_).Of(child, 0)) continue;
            Placement p{child, {}, c, shown, clocked ? section : -1, SeamOf(entry, line, c)};
            memcpy(p.m, placed, sizeof(placed));
            placements.push_back(p);
        }
    }

    std::vector<Placement> placements;
    std::vector<LooseLine> loose;

private:
    // The seam of the part's own placement, so that its lines stay on its shrunk faces.
    const char* SeamOf(const PartEntry* entry, const LineEntry* line, int colour) const {
        if (!NeedsSeam(entry, line) || FindLgeoElmt(w_, line->Part->DatName, 0)) return nullptr;
        unsigned attributes;
        Color2rgb(w_->colours, colour == 16 ? w_->pov->DefaultColor : colour, nullptr, &attributes);
        return (attributes & kColourHasAlpha) ? "TqSWT" : "TqSW";
    }

    void Loose(const LineEntry* line, const float* m, int colour, int shown) {
        LooseLine l{};
        const float* d = line->Data;
        M4V3Mul(l.line.a, m, d);
        M4V3Mul(l.line.b, m, d + 4);
        l.conditional = line->Type == 5;
        if (l.conditional) {
            M4V3Mul(l.line.c, m, d + 8);
            M4V3Mul(l.line.d, m, d + 12);
        }
        l.line.colour =
            ResolveLineColour(w_, line->Colour, colour == 16 ? w_->pov->DefaultColor : colour);
        l.shownFrom = shown;
        loose.push_back(l);
    }

    SceneWriter* w_;
};

// Scene text gathered in a string: an object is written only once it is known what it needs
// declared before it (how many members it has, which textures).
class EdgeText {
public:
    EdgeText(SceneWriter* w, std::string* to) : to_(to), text_(&w->nNonFiniteNumbers) {}
    ~EdgeText() { Flush(); }
    EdgeText(const EdgeText&) = delete;
    EdgeText& operator=(const EdgeText&) = delete;

    EdgeText& Add(const char* s) {
        if (text_.size() > 3000) Flush();
        text_.Add(s);
        return *this;
    }
    EdgeText& Add(const std::string& s) {
        Flush();
        to_->append(s);
        return *this;
    }
    EdgeText& Number(unsigned long n) {
        text_.AddUnsigned(n);
        return *this;
    }
    EdgeText& Point(const float* p) {
        if (text_.size() > 3000) Flush();
        text_.AddVector(p);
        return *this;
    }
    EdgeText& Matrix(const float* m) {
        Flush();
        text_.Add("matrix <");
        for (int k = 0; k < 4; k++) {
            for (int r = 0; r < 3; r++) text_.AddG(m[4 * r + k]).Add(r < 2 || k < 3 ? ',' : '>');
        }
        return *this;
    }
    void Flush() {
        to_->append(text_.c_str(), text_.size());
        text_.Clear();
    }

private:
    std::string* to_;
    TextBuffer<4096> text_;
};

// The scene name of an edge colour's texture, faded or not.
std::string EdgeTextureName(SceneWriter* w, int colour, bool faded) {
    return std::string("TqEdge") + DatColorStr(w, colour) + (faded ? "_faded" : "");
}

// Lines of one colour, two points each.
using LineGroups = std::map<int, std::vector<const float*>>;

// Numbers on a grid of 10^-decimals, written without trailing zeros: the lines' corners need no
// more than a quarter of their radius, and the short numbers keep a town's lines quick to parse.
class GridNumbers {
public:
    explicit GridNumbers(double radius) {
        double step = radius / 4;
        decimals_ = step > 0 && std::isfinite(step) ? (int)std::ceil(-std::log10(step)) : 6;
        decimals_ = std::min(std::max(decimals_, 0), 6);
        scale_ = std::pow(10.0, decimals_);
    }
    /// The value on the grid.
    double Round(double v) const { return std::round(v * scale_) / scale_; }
    /// The value in steps of the grid.
    long long Steps(double v) const { return std::llround(v * scale_); }
    /// Appends "<x,y,z>" of a point on the grid.
    void AddPoint(EdgeText* text, const double* p) const {
        char out[96], *q = out;
        *q++ = '<';
        for (int i = 0; i < 3; i++) {
            if (i) *q++ = ',';
            q = Format(q, p[i]);
        }
        *q++ = '>';
        *q = '\0';
        text->Add(out);
    }

private:
    char* Format(char* q, double v) const {
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
    int decimals_;
    double scale_;
};

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

    /// Writes the mesh; false when no face is left.
    bool Write(EdgeText* text, const char* texture) const {
        if (faces_.empty()) return false;
        text->Add("\tmesh2 {\n\t\tvertex_vectors { ").Number(corners_.size() / 3);
        for (size_t i = 0; i < corners_.size(); i += 3) {
            text->Add(i % 18 ? "," : ",\n\t\t\t");
            grid_.AddPoint(text, &corners_[i]);
        }
        text->Add(" }\n\t\tface_indices { ").Number(faces_.size() / 3);
        for (size_t i = 0; i < faces_.size(); i += 3) {
            text->Add(i % 24 ? ",<" : ",\n\t\t\t<").Number((unsigned long)faces_[i]).Add(",");
            text->Number((unsigned long)faces_[i + 1])
                .Add(",")
                .Number((unsigned long)faces_[i + 2]);
            text->Add(">");
        }
        text->Add(" }\n");
        if (texture) text->Add("\t\ttexture { ").Add(texture).Add(" }\n");
        text->Add("\t}\n");
        return true;
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

bool WritePrisms(EdgeText* text, const std::vector<const float*>& ends, double radius,
                 const char* texture) {
    Prisms prisms(radius);
    prisms.Build(ends);
    return prisms.Write(text, texture);
}

// Writes each colour's lines as a mesh: those in colour 24 untextured (the edge colour of whatever
// places them comes from there), the others in their own edge texture. Lines in colour 16 would
// be drawn in the part's own colour, on the part: they are left out. Returns the meshes written.
int WriteGroups(SceneWriter* w, EdgeText* text, const LineGroups& groups, double radius,
                std::set<int>* textures) {
    int written = 0;
    for (const auto& [colour, ends] : groups) {
        if (colour == 16) continue;
        std::string name = colour == 24 ? "" : EdgeTextureName(w, colour, false);
        if (WritePrisms(text, ends, radius, colour == 24 ? nullptr : name.c_str())) {
            written++;
            if (colour != 24) textures->insert(colour);
        }
    }
    return written;
}

}  // namespace

void RecordEdges(SceneWriter* w, const PartEntry* entry) {
    EdgeRecorder(w).Of(entry, 0);
}

bool ConditionalLineShows(const float* m, const ConditionalLine& line, const float* location,
                          const float* lookAt) {
    double dir[3], side[3], up[3];
    for (int i = 0; i < 3; i++) dir[i] = (double)lookAt[i] - location[i];
    // Any two axes across the view will do: which side a point lies on does not depend on them.
    double helper[3] = {0, 0, 0};
    helper[std::fabs(dir[0]) < std::fabs(dir[1]) ? 0 : 1] = 1;
    side[0] = dir[1] * helper[2] - dir[2] * helper[1];
    side[1] = dir[2] * helper[0] - dir[0] * helper[2];
    side[2] = dir[0] * helper[1] - dir[1] * helper[0];
    up[0] = dir[1] * side[2] - dir[2] * side[1];
    up[1] = dir[2] * side[0] - dir[0] * side[2];
    up[2] = dir[0] * side[1] - dir[1] * side[0];
    double screen[4][2];
    const float* points[4] = {line.a, line.b, line.c, line.d};
    for (int k = 0; k < 4; k++) {
        float p[3];
        M4V3Mul(p, m, points[k]);
        double v[3] = {p[0] - (double)location[0], p[1] - (double)location[1],
                       p[2] - (double)location[2]};
        double depth = v[0] * dir[0] + v[1] * dir[1] + v[2] * dir[2];
        // Behind the camera, or in its plane, a projection means nothing.
        if (!(depth > 0)) return false;
        screen[k][0] = (v[0] * side[0] + v[1] * side[1] + v[2] * side[2]) / depth;
        screen[k][1] = (v[0] * up[0] + v[1] * up[1] + v[2] * up[2]) / depth;
    }
    auto sideOf = [&screen](int k) {
        double ex = screen[1][0] - screen[0][0], ey = screen[1][1] - screen[0][1];
        return ex * (screen[k][1] - screen[0][1]) - ey * (screen[k][0] - screen[0][0]);
    };
    double s2 = sideOf(2), s3 = sideOf(3);
    return (s2 > 0 && s3 > 0) || (s2 < 0 && s3 < 0);
}

namespace {

// The lines' radius: px pixels of a picture 800 pixels wide, at the distance of the point the
// camera looks at (without tqr's camera, of the model's size). A wider picture draws them wider
// in proportion, as everything in it.
double EdgeRadius(const SceneWriter* w) {
    const TqPovRecord* pov = w->pov;
    const PartEntry* model = &w->model->Parts[0];
    double pixel;
    if (pov->CameraOn) {
        double d[3];
        for (int i = 0; i < 3; i++) d[i] = (double)w->LookAt[i] - w->Location[i];
        double distance = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
        pixel =
            2 * distance * std::tan(pov->ViewingAngle * 0.008726646259971648) / kEdgeReferenceWidth;
    } else {
        double d[3];
        for (int i = 0; i < 3; i++) d[i] = (double)model->BBox[3 + i] - model->BBox[i];
        pixel = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]) / kEdgeReferenceWidth;
    }
    return pov->EdgePixels / 2 * pixel;
}

// The flat, unlit texture of every edge colour in use (an include file may declare its own
// TqEdgeTexture, or any TqEdge<n> itself).
void PrintEdgeTextures(SceneWriter* w, FILE* fp, const std::set<int>& colours,
                       const std::set<int>& faded) {
    fputs(
        "#ifndef (TqEdgeTexture)\n#macro TqEdgeTexture(r, g, b)\n"
        "\ttexture { pigment { rgb <r, g, b> / 255 } finish { ambient 1 diffuse 0 } }\n"
        "#end\n#end\n",
        fp);
    auto declare = [&](int colour, bool fade) {
        float rgb[3], shown[3];
        unsigned attributes;
        Color2rgb(w->colours, colour, rgb, &attributes);
        if (fade)
            FadeRgb(w, rgb, shown);
        else
            memcpy(shown, rgb, sizeof(shown));
        std::string name = EdgeTextureName(w, colour, fade);
        fprintf(fp, "#ifndef (%s)\n#declare %s = TqEdgeTexture(%s)\n#end\n", name.c_str(),
                name.c_str(), Pov255(w, shown));
    };
    for (int colour : colours) declare(colour, false);
    for (int colour : faded) declare(colour, true);
}

// The texture of a placement's lines: its edge colour, faded once its step is over (-sf).
std::string PlacementTexture(SceneWriter* w, const Placement& p, int edgeColour) {
    std::string full = EdgeTextureName(w, edgeColour, false);
    if (p.section < 0 || w->pov->StepFade == 0) return full;
    return "#if (clock > " + std::to_string(p.section + 1) + ") " +
           EdgeTextureName(w, edgeColour, true) + " #else " + full + " #end";
}

// The declarations of the parts' shared objects, as text; which part got which number.
struct PartObjects {
    std::map<const PartEntry*, int> number;  // parts with edge lines to draw
    std::string text;
};

PartObjects DeclarePartObjects(SceneWriter* w, const std::vector<Placement>& placements,
                               double radius, std::set<int>* textures) {
    PartObjects objects;
    std::set<const PartEntry*> done;
    for (const Placement& p : placements) {
        if (!done.insert(p.part).second) continue;
        LineGroups groups;
        // Where two sub-files meet, both often draw the edge between them: it is drawn once.
        GridNumbers grid(radius);
        std::set<std::array<long long, 7>> seen;
        for (const EdgeSegment& s : w->edges.at(p.part).segments) {
            std::array<long long, 7> key;
            for (int i = 0; i < 3; i++) {
                key[i] = grid.Steps(s.a[i]);
                key[3 + i] = grid.Steps(s.b[i]);
            }
            if (std::lexicographical_compare(key.begin() + 3, key.begin() + 6, key.begin(),
                                             key.begin() + 3))
                std::swap_ranges(key.begin(), key.begin() + 3, key.begin() + 3);
            key[6] = s.colour;
            if (!seen.insert(key).second) continue;
            groups[s.colour].push_back(s.a);
            groups[s.colour].push_back(s.b);
        }
        std::string body;
        int n;
        {
            EdgeText text(w, &body);
            n = WriteGroups(w, &text, groups, radius, textures);
        }
        if (n == 0) continue;
        int id = (int)objects.number.size() + 1;
        objects.number[p.part] = id;
        objects.text += "// " + std::string(SceneSafe(p.part->DatName).c_str()) + "\n";
        objects.text += "#declare TqEdges" + std::to_string(id) + " = " +
                        (n > 1 ? "union {\n" : "object {\n") + body + "}\n";
    }
    return objects;
}

// A line lies on the faces it bounds, and half of it would be hidden in them: each object of
// lines is moved two radii towards the camera, in front of its own faces but not of other parts.
// origin: the object's place (a stride of 4 between its numbers, as in a matrix).
void AddTowardsCamera(const SceneWriter* w, EdgeText* text, const float* origin, double radius) {
    if (!w->pov->CameraOn) return;
    double v[3];
    for (int i = 0; i < 3; i++) v[i] = (double)w->Location[i] - origin[4 * i];
    double length = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    if (!(length > 0) || !std::isfinite(length)) return;
    float shift[3];
    for (int i = 0; i < 3; i++) shift[i] = (float)(2 * radius * v[i] / length);
    text->Add(" translate ").Point(shift);
}

// The conditional lines that show of a placed part, declared once for all placements of the
// part that show the same ones (parts side by side, turned alike, mostly do).
struct Silhouettes {
    std::map<std::pair<const PartEntry*, std::vector<unsigned>>, int> number;  // 0: nothing drawn
    std::string text;
    long shown = 0;  // conditional lines drawn, over all placements
};

// The number of the object holding the conditional lines that show of a placement; 0 for none.
int SilhouetteOf(SceneWriter* w, const Placement& p, double radius, Silhouettes* silhouettes,
                 std::set<int>* textures) {
    const std::vector<ConditionalLine>& lines = w->edges.at(p.part).conditionals;
    std::vector<unsigned> drawn;
    for (size_t i = 0; i < lines.size(); i++) {
        const ConditionalLine& c = lines[i];
        if (c.colour != 16 && ConditionalLineShows(p.m, c, w->Location, w->LookAt))
            drawn.push_back((unsigned)i);
    }
    if (drawn.empty()) return 0;
    silhouettes->shown += (long)drawn.size();
    auto key = std::make_pair(p.part, drawn);
    auto found = silhouettes->number.find(key);
    if (found != silhouettes->number.end()) return found->second;
    LineGroups groups;
    for (unsigned i : drawn) {
        groups[lines[i].colour].push_back(lines[i].a);
        groups[lines[i].colour].push_back(lines[i].b);
    }
    std::string body;
    int n;
    {
        EdgeText text(w, &body);
        n = WriteGroups(w, &text, groups, radius, textures);
    }
    int id = n == 0 ? 0 : (int)silhouettes->number.size() + 1;
    silhouettes->number[key] = id;
    if (id) {
        silhouettes->text += "#declare TqSilhouette" + std::to_string(id) + " = " +
                             (n > 1 ? "union {\n" : "object {\n") + body + "}\n";
    }
    return id;
}

// One placement: the part's shared object and the conditional lines that show from the camera,
// where the part stands, in its edge colour, casting no shadow. Returns the edge colour, or -1
// when there is nothing to draw.
int WritePlacement(SceneWriter* w, EdgeText* text, const Placement& p, const PartObjects& objects,
                   double radius, Silhouettes* silhouettes, std::set<int>* textures) {
    std::string members;
    int n = 0;
    auto found = objects.number.find(p.part);
    if (found != objects.number.end()) {
        members += "\tobject { TqEdges" + std::to_string(found->second) + " }\n";
        n++;
    }
    if (w->pov->CameraOn) {
        if (int id = SilhouetteOf(w, p, radius, silhouettes, textures)) {
            members += "\tobject { TqSilhouette" + std::to_string(id) + " }\n";
            n++;
        }
    }
    if (n == 0) return -1;
    int edgeColour = ResolveLineColour(w, 24, p.colour == 16 ? w->pov->DefaultColor : p.colour);
    textures->insert(edgeColour);
    text->Add(n > 1 ? "union {\n" : "object {\n").Add(members).Add("\t");
    if (p.seam) {
        TextBuffer<512> seam(&w->nNonFiniteNumbers);
        AddSeamMatrix(w, &seam, p.part, p.seam);
        text->Add(seam.c_str()).Add(" ");
    }
    text->Matrix(p.m);
    AddTowardsCamera(w, text, p.m + 3, radius);
    text->Add(" texture { ").Add(PlacementTexture(w, p, edgeColour)).Add(" } no_shadow\n}\n");
    return edgeColour;
}

// The lines of the model and its sub-models themselves, where they stand, each in its colour.
void WriteLooseLines(SceneWriter* w, EdgeText* text, const std::vector<LooseLine>& loose,
                     double radius, std::set<int>* textures) {
    for (const LooseLine& l : loose) {
        if (l.conditional && (!w->pov->CameraOn || !ConditionalLineShows(kIdentityMatrix, l.line,
                                                                         w->Location, w->LookAt)))
            continue;
        LineGroups groups;
        groups[l.line.colour] = {l.line.a, l.line.b};
        std::string mesh;
        {
            EdgeText one(w, &mesh);
            // Colour 24 here is already resolved: give the line its texture all the same.
            if (l.line.colour == 24 || WriteGroups(w, &one, groups, radius, textures) == 0)
                continue;
        }
        if (l.shownFrom) text->Add("#if (clock > ").Add(std::to_string(l.shownFrom)).Add(")\n");
        text->Add("object {\n").Add(mesh).Add("\t");
        float origin[12] = {l.line.a[0], 0, 0, 0, l.line.a[1], 0, 0, 0, l.line.a[2]};
        AddTowardsCamera(w, text, origin, radius);
        text->Add(" no_shadow\n}\n");
        if (l.shownFrom) text->Add("#end\n");
    }
}

}  // namespace

int PrintPovEdges(SceneWriter* w, FILE* fp) {
    const TqPovRecord* pov = w->pov;
    PlacementWalk walk(w);
    walk.From(&w->model->Parts[0], kIdentityMatrix, pov->DefaultColor, 0, 0, true);
    double radius = EdgeRadius(w);
    PrintPovBookmark(fp, "EdgeLines");
    std::set<int> textures, faded;
    PartObjects objects = DeclarePartObjects(w, walk.placements, radius, &textures);
    // The placements are written to text first: the textures they use are declared before them.
    std::string placed;
    Silhouettes silhouettes;
    long conditionals = 0;
    {
        EdgeText text(w, &placed);
        int open = 0;
        for (const Placement& p : walk.placements) {
            if (p.shownFrom != open) {
                if (open) text.Add("#end\n");
                open = p.shownFrom;
                if (open) text.Add("#if (clock > ").Add(std::to_string(open)).Add(")\n");
            }
            conditionals += (long)w->edges.at(p.part).conditionals.size();
            int edgeColour = WritePlacement(w, &text, p, objects, radius, &silhouettes, &textures);
            if (edgeColour >= 0 && p.section >= 0 && pov->StepFade != 0) faded.insert(edgeColour);
        }
        if (open) text.Add("#end\n");
        WriteLooseLines(w, &text, walk.loose, radius, &textures);
    }
    fprintf(fp,
            "// Lines %g wide: %g pixels of a picture %d pixels wide, more in a wider one.\n"
            "// The conditional lines drawn (%ld of %ld) are the silhouettes for the camera\n"
            "// above: for another view, convert again.\n",
            2 * radius, pov->EdgePixels, kEdgeReferenceWidth, silhouettes.shown, conditionals);
    PrintEdgeTextures(w, fp, textures, faded);
    fputs(objects.text.c_str(), fp);
    fputs(silhouettes.text.c_str(), fp);
    fputs(placed.c_str(), fp);
    fputc('\n', fp);
    return w->nNonFiniteNumbers == 0 ? 0 : -1;
}
