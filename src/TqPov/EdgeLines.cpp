// Edge lines (-edges): the library's edge lines as thin prisms, one shared object per part, and
// its conditional lines where they are silhouettes for the scene's camera. They are written after
// the camera, which decides which conditional lines show and, by its distance, how wide a line
// must be to read as a pixel or so.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "TqColor/TqColor.h"
#include "TqPov/EdgePrisms.h"
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
            if (!EdgeRecorder(w_).Of(child, 0)) continue;
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

}  // namespace

void RecordEdges(SceneWriter* w, const PartEntry* entry) {
    EdgeRecorder(w).Of(entry, 0);
}

namespace {

// The camera's place and two axes across its view, worked out once for all the lines a scene
// tests: any two will do, which side a point lies on does not depend on them.
struct ViewAxes {
    double location[3], dir[3], side[3], up[3];
    ViewAxes(const float* from, const float* lookAt) {
        for (int i = 0; i < 3; i++) location[i] = from[i], dir[i] = (double)lookAt[i] - from[i];
        double helper[3] = {0, 0, 0};
        helper[std::fabs(dir[0]) < std::fabs(dir[1]) ? 0 : 1] = 1;
        side[0] = dir[1] * helper[2] - dir[2] * helper[1];
        side[1] = dir[2] * helper[0] - dir[0] * helper[2];
        side[2] = dir[0] * helper[1] - dir[1] * helper[0];
        up[0] = dir[1] * side[2] - dir[2] * side[1];
        up[1] = dir[2] * side[0] - dir[0] * side[2];
        up[2] = dir[0] * side[1] - dir[1] * side[0];
    }
};

bool ShowsFrom(const ViewAxes& view, const float* m, const ConditionalLine& line) {
    auto dot = [](const double* a, const double* b) {
        return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
    };
    double screen[4][2];
    const float* points[4] = {line.a, line.b, line.c, line.d};
    for (int k = 0; k < 4; k++) {
        float p[3];
        M4V3Mul(p, m, points[k]);
        double v[3];
        for (int i = 0; i < 3; i++) v[i] = p[i] - view.location[i];
        double depth = dot(v, view.dir);
        // Behind the camera, or in its plane, a projection means nothing.
        if (!(depth > 0)) return false;
        screen[k][0] = dot(v, view.side) / depth;
        screen[k][1] = dot(v, view.up) / depth;
    }
    auto sideOf = [&screen](int k) {
        double ex = screen[1][0] - screen[0][0], ey = screen[1][1] - screen[0][1];
        return ex * (screen[k][1] - screen[0][1]) - ey * (screen[k][0] - screen[0][0]);
    };
    double s2 = sideOf(2), s3 = sideOf(3);
    return (s2 > 0 && s3 > 0) || (s2 < 0 && s3 < 0);
}

}  // namespace

bool ConditionalLineShows(const float* m, const ConditionalLine& line, const float* location,
                          const float* lookAt) {
    return ShowsFrom(ViewAxes(location, lookAt), m, line);
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

// The scene name of an edge colour's texture, faded or not.
std::string EdgeTextureName(SceneWriter* w, int colour, bool faded) {
    return std::string("TqEdge") + DatColorStr(w, colour) + (faded ? "_faded" : "");
}

// The edge colour of a placement's lines.
int PlacementEdgeColour(const SceneWriter* w, const Placement& p) {
    return ResolveLineColour(w, 24, p.colour == 16 ? w->pov->DefaultColor : p.colour);
}
bool Fades(const SceneWriter* w, const Placement& p) {
    return p.section >= 0 && w->pov->StepFade != 0;
}

// Lines of one colour each as prisms, the colours that draw nothing left out: 16, which would
// draw a line in the part's own colour on the part, and lines too short to see.
using LineGroups = std::map<int, std::vector<const float*>>;
std::vector<std::pair<int, PrismMesh>> BuildGroups(const LineGroups& groups, double radius) {
    std::vector<std::pair<int, PrismMesh>> meshes;
    for (const auto& [colour, ends] : groups) {
        if (colour == 16) continue;
        PrismMesh mesh = BuildPrisms(ends, radius);
        if (!mesh.faces.empty()) meshes.emplace_back(colour, std::move(mesh));
    }
    return meshes;
}

// The line objects of the scene, written as the placements come: each part's shared object and
// each set of conditional lines declared where it is first used, outside any clock condition.
class EdgeSection {
public:
    EdgeSection(SceneWriter* w, FILE* fp, double radius)
        : w_(w), fp_(fp), radius_(radius), view_(w->Location, w->LookAt) {}

    // The flat, unlit texture of every edge colour the lines use (an include file may declare
    // its own TqEdgeTexture, or any TqEdge<n> itself).
    void Textures(const PlacementWalk& walk) {
        std::set<int> colours, faded;
        for (const Placement& p : walk.placements) {
            const FileEdges& edges = w_->edges.at(p.part);
            for (const EdgeSegment& s : edges.segments) colours.insert(s.colour);
            for (const ConditionalLine& c : edges.conditionals) colours.insert(c.colour);
            colours.insert(PlacementEdgeColour(w_, p));
            if (Fades(w_, p)) faded.insert(PlacementEdgeColour(w_, p));
        }
        for (const LooseLine& l : walk.loose) colours.insert(l.line.colour);
        colours.erase(16);
        colours.erase(24);
        fputs(
            "#ifndef (TqEdgeTexture)\n#macro TqEdgeTexture(r, g, b)\n"
            "\ttexture { pigment { rgb <r, g, b> / 255 } finish { ambient 1 diffuse 0 } }\n"
            "#end\n#end\n",
            fp_);
        for (int colour : colours) DeclareTexture(colour, false);
        for (int colour : faded) DeclareTexture(colour, true);
    }

    // One placement: the part's shared object and the conditional lines that show from the
    // camera, where the part stands, in its edge colour, casting no shadow.
    void Place(const Placement& p) {
        offered_ += (long)w_->edges.at(p.part).conditionals.size();
        int part = PartObject(p.part);
        int silhouette = w_->pov->CameraOn ? Silhouette(p) : 0;
        if (!part && !silhouette) return;
        ShowFrom(p.shownFrom);
        fputs(part && silhouette ? "union {\n" : "object {\n", fp_);
        if (part) fprintf(fp_, "\tobject { TqEdges%d }\n", part);
        if (silhouette) fprintf(fp_, "\tobject { TqSilhouette%d }\n", silhouette);
        TextBuffer<1024> text(&w_->nNonFiniteNumbers);
        text.Add('\t');
        if (p.seam) {
            TextBuffer<512> seam(&w_->nNonFiniteNumbers);
            AddSeamMatrix(w_, &seam, p.part, p.seam);
            text.Add(seam.c_str()).Add(' ');
        }
        AddMatrix(&text, p.m);
        const float place[3] = {p.m[3], p.m[7], p.m[11]};
        AddTowardsCamera(&text, place);
        text.Add(" texture { ").Add(PlacementTexture(p).c_str()).Add(" } no_shadow\n}\n");
        text.WriteTo(fp_);
    }

    // A line of the model or a sub-model itself, where it stands, in its colour.
    void PlaceLoose(const LooseLine& l) {
        if (l.conditional && (!w_->pov->CameraOn || !ShowsFrom(view_, kIdentityMatrix, l.line)))
            return;
        LineGroups groups;
        groups[l.line.colour] = {l.line.a, l.line.b};
        auto meshes = BuildGroups(groups, radius_);
        if (meshes.empty() || l.line.colour == 24) return;
        ShowFrom(l.shownFrom);
        fputs("object {\n", fp_);
        WritePrisms(w_, fp_, meshes[0].second, EdgeTextureName(w_, l.line.colour, false).c_str());
        TextBuffer<256> text(&w_->nNonFiniteNumbers);
        text.Add('\t');
        AddTowardsCamera(&text, l.line.a);
        text.Add(" no_shadow\n}\n");
        text.WriteTo(fp_);
    }

    // Closes the last clock condition; the count of conditional lines drawn.
    void Finish() {
        ShowFrom(0);
        fprintf(fp_, "// Conditional lines drawn: %ld of %ld.\n\n", shown_, offered_);
    }

private:
    void DeclareTexture(int colour, bool fade) {
        float rgb[3], shown[3];
        unsigned attributes;
        Color2rgb(w_->colours, colour, rgb, &attributes);
        if (fade)
            FadeRgb(w_, rgb, shown);
        else
            memcpy(shown, rgb, sizeof(shown));
        std::string name = EdgeTextureName(w_, colour, fade);
        fprintf(fp_, "#ifndef (%s)\n#declare %s = TqEdgeTexture(%s)\n#end\n", name.c_str(),
                name.c_str(), Pov255(w_, shown));
    }

    // What follows is shown once the clock passes step (0: always).
    void ShowFrom(int step) {
        if (step == open_) return;
        if (open_) fputs("#end\n", fp_);
        open_ = step;
        if (open_) fprintf(fp_, "#if (clock > %d)\n", open_);
    }

    // Declares an object of line meshes as name; false when there is nothing to draw.
    bool Declare(const std::string& name, const LineGroups& groups, const char* comment) {
        auto meshes = BuildGroups(groups, radius_);
        if (meshes.empty()) return false;
        // A declaration inside a clock condition would be missing where another uses it.
        int open = open_;
        ShowFrom(0);
        if (comment) fprintf(fp_, "// %s\n", SceneSafe(comment).c_str());
        fprintf(fp_, "#declare %s = %s {\n", name.c_str(), meshes.size() > 1 ? "union" : "object");
        for (const auto& [colour, mesh] : meshes) {
            std::string texture = colour == 24 ? "" : EdgeTextureName(w_, colour, false);
            WritePrisms(w_, fp_, mesh, colour == 24 ? nullptr : texture.c_str());
        }
        fputs("}\n", fp_);
        ShowFrom(open);
        return true;
    }

    // The number of a part's shared object of edge lines, declared at its first use; 0 for a
    // part without lines to draw. Where two sub-files meet, both often draw the edge between
    // them: it is drawn once.
    int PartObject(const PartEntry* part) {
        auto known = parts_.find(part);
        if (known != parts_.end()) return known->second;
        GridNumbers grid(radius_);
        std::set<std::array<long long, 7>> seen;
        LineGroups groups;
        for (const EdgeSegment& s : w_->edges.at(part).segments) {
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
        int id = (int)parts_.size() + 1;
        bool drawn = Declare("TqEdges" + std::to_string(id), groups, part->DatName);
        return parts_[part] = drawn ? id : 0;
    }

    // The number of the object of the conditional lines that show of a placed part, declared
    // once for all placements that show the same ones (parts side by side, turned alike,
    // mostly do); 0 when none shows.
    int Silhouette(const Placement& p) {
        const std::vector<ConditionalLine>& lines = w_->edges.at(p.part).conditionals;
        std::vector<unsigned> drawn;
        for (size_t i = 0; i < lines.size(); i++) {
            const ConditionalLine& c = lines[i];
            if (c.colour != 16 && ShowsFrom(view_, p.m, c)) drawn.push_back((unsigned)i);
        }
        if (drawn.empty()) return 0;
        shown_ += (long)drawn.size();
        auto key = std::make_pair(p.part, drawn);
        auto known = silhouettes_.find(key);
        if (known != silhouettes_.end()) return known->second;
        LineGroups groups;
        for (unsigned i : drawn) {
            groups[lines[i].colour].push_back(lines[i].a);
            groups[lines[i].colour].push_back(lines[i].b);
        }
        int id = (int)silhouettes_.size() + 1;
        bool declared = Declare("TqSilhouette" + std::to_string(id), groups, nullptr);
        return silhouettes_[key] = declared ? id : 0;
    }

    // The texture of a placement's lines: its edge colour, faded once its step is over (-sf).
    std::string PlacementTexture(const Placement& p) {
        std::string full = EdgeTextureName(w_, PlacementEdgeColour(w_, p), false);
        if (!Fades(w_, p)) return full;
        return "#if (clock > " + std::to_string(p.section + 1) + ") " +
               EdgeTextureName(w_, PlacementEdgeColour(w_, p), true) + " #else " + full + " #end";
    }

    template <size_t N>
    static void AddMatrix(TextBuffer<N>* text, const float* m) {
        text->Add("matrix <");
        for (int k = 0; k < 4; k++) {
            for (int r = 0; r < 3; r++) text->AddG(m[4 * r + k]).Add(r < 2 || k < 3 ? ',' : '>');
        }
    }

    // A line lies on the faces it bounds, and half of it would be hidden in them: each object of
    // lines is moved two radii towards the camera, in front of its own faces but not of other
    // parts. place: where the object stands.
    template <size_t N>
    void AddTowardsCamera(TextBuffer<N>* text, const float* place) {
        if (!w_->pov->CameraOn) return;
        double v[3];
        for (int i = 0; i < 3; i++) v[i] = (double)w_->Location[i] - place[i];
        double length = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
        if (!(length > 0) || !std::isfinite(length)) return;
        float shift[3];
        for (int i = 0; i < 3; i++) shift[i] = (float)(2 * radius_ * v[i] / length);
        text->Add(" translate ").AddVector(shift);
    }

    SceneWriter* w_;
    FILE* fp_;
    double radius_;
    ViewAxes view_;
    int open_ = 0;
    std::map<const PartEntry*, int> parts_;
    std::map<std::pair<const PartEntry*, std::vector<unsigned>>, int> silhouettes_;
    long shown_ = 0, offered_ = 0;
};

}  // namespace

void PrintPovEdges(SceneWriter* w, FILE* fp) {
    const TqPovRecord* pov = w->pov;
    PlacementWalk walk(w);
    walk.From(&w->model->Parts[0], kIdentityMatrix, pov->DefaultColor, 0, 0, true);
    double radius = EdgeRadius(w);
    PrintPovBookmark(fp, "EdgeLines");
    fprintf(fp,
            "// Lines %g wide: %g pixels of a picture %d pixels wide, more in a wider one.\n"
            "// The conditional lines drawn are the silhouettes for the camera above: for\n"
            "// another view, convert again.\n",
            2 * radius, pov->EdgePixels, kEdgeReferenceWidth);
    EdgeSection section(w, fp, radius);
    section.Textures(walk);
    for (const Placement& p : walk.placements) section.Place(p);
    for (const LooseLine& l : walk.loose) section.PlaceLoose(l);
    section.Finish();
}
