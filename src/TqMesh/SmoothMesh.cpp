// Welding a triangle soup and giving its corners smooth normals that respect the hard and soft
// edges an author drew.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <tuple>
#include <unordered_map>
#include <vector>

#include "TqMesh/TqMesh.h"

namespace {

// A corner's place on the welding grid.
struct GridKey {
    int64_t x, y, z;
    bool operator==(const GridKey& o) const { return x == o.x && y == o.y && z == o.z; }
};
uint64_t HashOf(const GridKey& k) {
    uint64_t h = (uint64_t)k.x * 0x9E3779B97F4A7C15ull;
    h ^= (uint64_t)k.y * 0xC2B2AE3D27D4EB4Full + (h << 6) + (h >> 2);
    h ^= (uint64_t)k.z * 0x165667B19E3779F9ull + (h << 6) + (h >> 2);
    return h ^ (h >> 29);
}

// An edge by its two vertices, the lower first.
uint64_t EdgeKey(int a, int b) {
    if (a > b) std::swap(a, b);
    return (uint64_t)(uint32_t)a << 32 | (uint32_t)b;
}

// Finds or makes the vertex of points within the tolerance of each other. An open-addressing
// table sized for every corner at once: the corners of a large part run to hundreds of thousands,
// and a node per entry would cost more than the rest of the smoothing.
class Welder {
public:
    Welder(float tolerance, size_t corners, std::vector<MeshPoint>* vertices)
        : scale_(1.0 / tolerance), vertices_(vertices) {
        size_t capacity = 16;
        while (capacity < corners * 2) capacity *= 2;
        slots_.assign(capacity, -1);
        keys_.reserve(corners);
    }
    int Add(const MeshPoint& p) {
        GridKey key = KeyOf(p);
        size_t slot = Probe(key);
        if (slots_[slot] < 0) {
            slots_[slot] = (int)vertices_->size();
            vertices_->push_back(p);
            keys_.push_back(key);
        }
        return slots_[slot];
    }
    // The vertex at p, or -1 when no corner lies there.
    int Find(const MeshPoint& p) const { return slots_[Probe(KeyOf(p))]; }

private:
    GridKey KeyOf(const MeshPoint& p) const {
        return {(int64_t)std::nearbyint(p[0] * scale_), (int64_t)std::nearbyint(p[1] * scale_),
                (int64_t)std::nearbyint(p[2] * scale_)};
    }
    // The slot holding key, or the empty one where it would go.
    size_t Probe(const GridKey& key) const {
        size_t mask = slots_.size() - 1;
        for (size_t slot = HashOf(key) & mask;; slot = (slot + 1) & mask) {
            int v = slots_[slot];
            if (v < 0 || keys_[(size_t)v] == key) return slot;
        }
    }
    double scale_;
    std::vector<MeshPoint>* vertices_;
    std::vector<int> slots_;     // vertex per slot, -1 when empty; never more than half full
    std::vector<GridKey> keys_;  // grid key per vertex
};

// Corners joined into smooth groups, each corner with its turn relative to its group's first: a
// face of opposite winding joins turned over.
class CornerGroups {
public:
    explicit CornerGroups(size_t n) : parent_(n), flipped_(n, 0) {
        for (size_t i = 0; i < n; i++) parent_[i] = (int)i;
    }
    // The group's first corner, and whether c is turned relative to it.
    int Find(int c, bool* flipped) {
        bool flip = false;
        int root = c;
        while (parent_[root] != root) {
            flip ^= flipped_[root] != 0;
            root = parent_[root];
        }
        // Every corner on the path is hung straight under the root, with its own turn.
        bool rest = flip;
        for (int x = c; parent_[x] != x;) {
            int next = parent_[x];
            bool own = flipped_[x] != 0;
            parent_[x] = root;
            flipped_[x] = rest;
            rest ^= own;
            x = next;
        }
        *flipped = flip;
        return root;
    }
    // Joins a and b, b turned relative to a when flip.
    void Join(int a, int b, bool flip) {
        bool fa, fb;
        int ra = Find(a, &fa), rb = Find(b, &fb);
        if (ra == rb) return;
        parent_[rb] = ra;
        flipped_[rb] = fa ^ fb ^ flip;
    }

private:
    std::vector<int> parent_;
    std::vector<char> flipped_;
};

// One face edge: its vertices as the face walks it, and which face and corner it starts at.
struct FaceEdge {
    uint64_t key;
    int face, corner;  // the edge runs from corner to corner + 1 (mod 3)
};

double Dot(const double* a, const double* b) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

// Angle at corner i of a triangle, between its two edges.
double CornerAngle(const MeshPoint* p, int i) {
    const MeshPoint& o = p[i];
    const MeshPoint& u = p[(i + 1) % 3];
    const MeshPoint& v = p[(i + 2) % 3];
    double a[3] = {u[0] - (double)o[0], u[1] - (double)o[1], u[2] - (double)o[2]};
    double b[3] = {v[0] - (double)o[0], v[1] - (double)o[1], v[2] - (double)o[2]};
    double la = std::sqrt(Dot(a, a)), lb = std::sqrt(Dot(b, b));
    if (la == 0 || lb == 0) return 0;
    return std::acos(std::clamp(Dot(a, b) / (la * lb), -1.0, 1.0));
}

// The welded faces; a triangle whose corners weld together is dropped.
void WeldFaces(const SmoothMeshInput& input, Welder* welder, SmoothMesh* mesh) {
    mesh->faces.reserve(input.triangles.size());
    for (const MeshTriangle& t : input.triangles) {
        MeshFace face;
        for (int i = 0; i < 3; i++) face.vertex[i] = welder->Add(t.corner[i]);
        if (face.vertex[0] == face.vertex[1] || face.vertex[1] == face.vertex[2] ||
            face.vertex[0] == face.vertex[2])
            continue;
        face.group = t.group;
        face.texture = t.texture;
        mesh->faces.push_back(face);
    }
}

// The unit normal and corner angles of every face; faces without area are dropped.
void FaceGeometry(SmoothMesh* mesh, std::vector<std::array<double, 3>>* faceNormals,
                  std::vector<std::array<double, 3>>* cornerWeights) {
    size_t kept = 0;
    for (const MeshFace& face : mesh->faces) {
        MeshPoint p[3];
        for (int i = 0; i < 3; i++) p[i] = mesh->vertices[(size_t)face.vertex[i]];
        double u[3], v[3], n[3];
        for (int k = 0; k < 3; k++) {
            u[k] = (double)p[1][k] - p[0][k];
            v[k] = (double)p[2][k] - p[0][k];
        }
        n[0] = u[1] * v[2] - u[2] * v[1];
        n[1] = u[2] * v[0] - u[0] * v[2];
        n[2] = u[0] * v[1] - u[1] * v[0];
        double length = std::sqrt(Dot(n, n));
        if (!(length > 0)) continue;
        mesh->faces[kept++] = face;
        faceNormals->push_back({n[0] / length, n[1] / length, n[2] / length});
        cornerWeights->push_back({CornerAngle(p, 0), CornerAngle(p, 1), CornerAngle(p, 2)});
    }
    mesh->faces.resize(kept);
}

// Sorts edges by key, keeping the order of equal ones: a radix sort, a byte pair at a time,
// over the pairs in which the keys differ at all (vertex numbers fill few of the 64 bits). A
// part of a hundred thousand faces sorts its edges several times faster than by comparing.
void SortByKey(std::vector<FaceEdge>* edges) {
    uint64_t any = 0, all = ~0ull;
    for (const FaceEdge& e : *edges) any |= e.key, all &= e.key;
    std::vector<FaceEdge> other(edges->size());
    for (int shift = 0; shift < 64; shift += 16) {
        if ((((any ^ all) >> shift) & 0xFFFF) == 0) continue;  // the same in every key
        std::vector<size_t> start(65537, 0);
        for (const FaceEdge& e : *edges) start[((e.key >> shift) & 0xFFFF) + 1]++;
        for (size_t d = 1; d < start.size(); d++) start[d] += start[d - 1];
        for (const FaceEdge& e : *edges) other[start[(e.key >> shift) & 0xFFFF]++] = e;
        edges->swap(other);
    }
}

// Every face edge, sorted by its vertices; the edges of one key in the order of their faces.
std::vector<FaceEdge> SortedFaceEdges(const SmoothMesh& mesh) {
    std::vector<FaceEdge> edges;
    edges.reserve(mesh.faces.size() * 3);
    for (size_t f = 0; f < mesh.faces.size(); f++) {
        const int* v = mesh.faces[f].vertex;
        for (int i = 0; i < 3; i++) edges.push_back({EdgeKey(v[i], v[(i + 1) % 3]), (int)f, i});
    }
    SortByKey(&edges);
    return edges;
}

// True when two faces (or more) have the edge.
bool IsSharedEdge(const std::vector<FaceEdge>& edges, uint64_t key) {
    auto it = std::lower_bound(edges.begin(), edges.end(), key,
                               [](const FaceEdge& e, uint64_t k) { return e.key < k; });
    return it != edges.end() && it->key == key && it + 1 != edges.end() && (it + 1)->key == key;
}

// The vertices on a grid, to find those that lie on a segment without trying every one.
class VertexGrid {
public:
    // The vertices are sorted by cell, and an open-addressed table leads from a cell to its run
    // of them: a search looks into many cells, most of them empty, and a probe of one flat array
    // costs far less than a lookup in a map of lists.
    VertexGrid(const std::vector<MeshPoint>& vertices, double cell, double tolerance)
        : vertices_(vertices), scale_(1 / cell), tolerance_(tolerance) {
        std::vector<std::pair<GridKey, int>> keyed(vertices.size());
        for (size_t i = 0; i < vertices.size(); i++) keyed[i] = {KeyOf(vertices[i].data()), (int)i};
        std::sort(keyed.begin(), keyed.end(), [](const auto& p, const auto& q) {
            return std::tie(p.first.x, p.first.y, p.first.z, p.second) <
                   std::tie(q.first.x, q.first.y, q.first.z, q.second);
        });
        size_t size = 16;
        while (size < 2 * keyed.size()) size *= 2;
        slots_.assign(size, Cell{});
        order_.reserve(keyed.size());
        for (size_t i = 0; i < keyed.size(); i++) {
            if (i == 0 || !(keyed[i].first == keyed[i - 1].first)) {
                Cell& c = slots_[Probe(keyed[i].first)];
                c = {keyed[i].first, (uint32_t)i, 0, true};
            }
            slots_[Probe(keyed[i].first)].count++;
            order_.push_back(keyed[i].second);
        }
    }
    // The vertices other than a and b within the tolerance of the segment's inside, ordered from a
    // to b.
    std::vector<int> OnSegment(int a, int b) const {
        const MeshPoint& pa = vertices_[(size_t)a];
        const MeshPoint& pb = vertices_[(size_t)b];
        double d[3] = {(double)pb[0] - pa[0], (double)pb[1] - pa[1], (double)pb[2] - pa[2]};
        double length2 = Dot(d, d), length = std::sqrt(length2);
        std::vector<std::pair<double, int>> found;
        if (!(length > 2 * tolerance_)) return {};
        std::vector<int>& seen = seen_;
        seen.clear();
        for (const GridKey& key : CellsNear(pa, d, length)) {
            const Cell& c = slots_[Probe(key)];
            if (c.used) seen.insert(seen.end(), &order_[c.start], &order_[c.start] + c.count);
        }
        std::sort(seen.begin(), seen.end());
        seen.erase(std::unique(seen.begin(), seen.end()), seen.end());
        for (int v : seen) {
            if (v == a || v == b) continue;
            const MeshPoint& p = vertices_[(size_t)v];
            double r[3] = {(double)p[0] - pa[0], (double)p[1] - pa[1], (double)p[2] - pa[2]};
            double u = Dot(r, d) / length2;
            if (u * length <= tolerance_ || (1 - u) * length <= tolerance_) continue;
            double off[3] = {r[0] - u * d[0], r[1] - u * d[1], r[2] - u * d[2]};
            if (Dot(off, off) <= tolerance_ * tolerance_) found.push_back({u, v});
        }
        std::sort(found.begin(), found.end());
        std::vector<int> out;
        for (const auto& f : found) out.push_back(f.second);
        return out;
    }

private:
    GridKey KeyOf(const double* p) const {
        return {(int64_t)std::floor(p[0] * scale_), (int64_t)std::floor(p[1] * scale_),
                (int64_t)std::floor(p[2] * scale_)};
    }
    // The cells a vertex within the tolerance of the segment from a along d can lie in, each once.
    // Most long segments run along an axis (the edges of plates and bricks): the cells of their
    // box, widened by the tolerance, are then a thin row. Only a long slanted segment, whose box
    // holds far more cells, is followed by samples no further apart than a cell, each with the 26
    // cells around it.
    const std::vector<GridKey>& CellsNear(const MeshPoint& a, const double* d,
                                          double length) const {
        double low[3], high[3];
        for (int k = 0; k < 3; k++) {
            low[k] = std::min((double)a[(size_t)k], a[(size_t)k] + d[k]) - tolerance_;
            high[k] = std::max((double)a[(size_t)k], a[(size_t)k] + d[k]) + tolerance_;
        }
        GridKey from = KeyOf(low), to = KeyOf(high);
        double inBox =
            (double)(to.x - from.x + 1) * (double)(to.y - from.y + 1) * (double)(to.z - from.z + 1);
        int samples = (int)(length * scale_) + 2;
        std::vector<GridKey>& keys = keys_;
        keys.clear();
        if (inBox <= 27.0 * (samples + 1)) {
            for (int64_t x = from.x; x <= to.x; x++) {
                for (int64_t y = from.y; y <= to.y; y++) {
                    for (int64_t z = from.z; z <= to.z; z++) keys.push_back({x, y, z});
                }
            }
            return keys;
        }
        for (int s = 0; s <= samples; s++) {
            double t = (double)s / samples, at[3];
            for (int k = 0; k < 3; k++) at[k] = a[(size_t)k] + t * d[k];
            GridKey centre = KeyOf(at);
            for (int dx = -1; dx <= 1; dx++) {
                for (int dy = -1; dy <= 1; dy++) {
                    for (int dz = -1; dz <= 1; dz++)
                        keys.push_back({centre.x + dx, centre.y + dy, centre.z + dz});
                }
            }
        }
        auto order = [](const GridKey& p, const GridKey& q) {
            return std::tie(p.x, p.y, p.z) < std::tie(q.x, q.y, q.z);
        };
        std::sort(keys.begin(), keys.end(), order);
        keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
        return keys;
    }
    GridKey KeyOf(const float* p) const {
        double q[3] = {p[0], p[1], p[2]};
        return KeyOf(q);
    }
    // A cell's run of vertices in order_.
    struct Cell {
        GridKey key;
        uint32_t start, count;
        bool used;
    };
    // The slot of key, or the empty one where it would go.
    size_t Probe(const GridKey& key) const {
        size_t mask = slots_.size() - 1;
        for (size_t slot = HashOf(key) & mask;; slot = (slot + 1) & mask) {
            if (!slots_[slot].used || slots_[slot].key == key) return slot;
        }
    }
    const std::vector<MeshPoint>& vertices_;
    double scale_, tolerance_;
    std::vector<Cell> slots_;
    std::vector<int> order_;  // the vertices, by cell
    // Scratch space of the searches, kept between them: most segments are short, and their
    // searches would otherwise spend more on allocating than on looking.
    mutable std::vector<GridKey> keys_;
    mutable std::vector<int> seen_;
};

// A corner of one surface that lies on the edge of another (a T-junction) leaves a crack in the
// shading: the long edge knows nothing of it. Such edges are found among the edges of only one
// face, and their faces are cut at those corners into a fan around their centre, so that both
// sides share every vertex along the edge.
void SplitTJunctions(const VertexGrid& grid, const std::vector<FaceEdge>& edges, SmoothMesh* mesh) {
    // The corners found on each side of each face, by face.
    std::unordered_map<int, std::array<std::vector<int>, 3>> splits;
    for (size_t i = 0; i < edges.size();) {
        size_t j = i + 1;
        while (j < edges.size() && edges[j].key == edges[i].key) j++;
        if (j - i == 1) {
            const FaceEdge& e = edges[i];
            const int* v = mesh->faces[(size_t)e.face].vertex;
            std::vector<int> on = grid.OnSegment(v[e.corner], v[(e.corner + 1) % 3]);
            if (!on.empty()) splits[e.face][(size_t)e.corner] = std::move(on);
        }
        i = j;
    }
    for (auto& [f, sides] : splits) {
        MeshFace face = mesh->faces[(size_t)f];
        std::vector<int> ring;
        MeshPoint centre = {0, 0, 0};
        for (int i = 0; i < 3; i++) {
            ring.push_back(face.vertex[i]);
            for (int v : sides[(size_t)i]) ring.push_back(v);
            for (int k = 0; k < 3; k++)
                centre[(size_t)k] += mesh->vertices[(size_t)face.vertex[i]][(size_t)k] / 3;
        }
        int c = (int)mesh->vertices.size();
        mesh->vertices.push_back(centre);
        for (size_t k = 0; k < ring.size(); k++) {
            MeshFace part = {
                {c, ring[k], ring[(k + 1) % ring.size()]}, {0, 0, 0}, face.group, face.texture};
            if (k == 0)
                mesh->faces[(size_t)f] = part;
            else
                mesh->faces.push_back(part);
        }
    }
}

// Drawn lines split where corners lie on them, so that a line drawn along several face edges
// marks each of them.
// A line along an edge of two faces needs no search: nothing lies inside a shared edge.
std::vector<MeshSegment> SplitDrawnLines(const std::vector<MeshSegment>& lines,
                                         const Welder& welder, const VertexGrid& grid,
                                         const std::vector<FaceEdge>& edges,
                                         const std::vector<MeshPoint>& vertices) {
    std::vector<MeshSegment> out;
    out.reserve(lines.size());
    for (const MeshSegment& s : lines) {
        int a = welder.Find(s.a), b = welder.Find(s.b);
        std::vector<int> on;
        if (a >= 0 && b >= 0 && a != b && !IsSharedEdge(edges, EdgeKey(a, b)))
            on = grid.OnSegment(a, b);
        if (on.empty()) {
            out.push_back(s);
            continue;
        }
        MeshPoint from = s.a;
        for (int v : on) {
            out.push_back({from, vertices[(size_t)v]});
            from = vertices[(size_t)v];
        }
        out.push_back({from, s.b});
    }
    return out;
}

// The edges the author drew, as sorted pairs of welded vertices; an end that is no corner of the
// mesh marks nothing.
std::vector<uint64_t> DrawnEdges(const std::vector<MeshSegment>& segments, const Welder& welder) {
    std::vector<uint64_t> edges;
    edges.reserve(segments.size());
    for (const MeshSegment& s : segments) {
        int a = welder.Find(s.a), b = welder.Find(s.b);
        if (a >= 0 && b >= 0 && a != b) edges.push_back(EdgeKey(a, b));
    }
    std::sort(edges.begin(), edges.end());
    return edges;
}

// Walks a sorted list of drawn edges along the sorted face edges: whether key is among them.
class DrawnEdgeCursor {
public:
    explicit DrawnEdgeCursor(const std::vector<uint64_t>& edges) : edges_(edges) {}
    bool Holds(uint64_t key) {
        while (at_ < edges_.size() && edges_[at_] < key) at_++;
        return at_ < edges_.size() && edges_[at_] == key;
    }

private:
    const std::vector<uint64_t>& edges_;
    size_t at_ = 0;
};

// Joins the corners of two faces across every edge that is smooth: an edge of exactly two faces,
// not drawn hard, drawn soft or bent less than the crease angle.
void JoinAcrossSoftEdges(const SmoothMeshInput& input, const SmoothMesh& mesh,
                         const std::vector<std::array<double, 3>>& normals,
                         const std::vector<uint64_t>& hardEdges,
                         const std::vector<uint64_t>& softEdges, CornerGroups* groups) {
    std::vector<FaceEdge> edges = SortedFaceEdges(mesh);
    double creaseCos = std::cos(input.options.creaseDegrees * std::numbers::pi / 180);
    DrawnEdgeCursor hard(hardEdges), soft(softEdges);
    for (size_t i = 0; i < edges.size();) {
        size_t j = i + 1;
        while (j < edges.size() && edges[j].key == edges[i].key) j++;
        // An edge of one face is a border; of more than two, a seam where surfaces meet.
        if (j - i == 2 && !hard.Holds(edges[i].key)) {
            const FaceEdge& e1 = edges[i];
            const FaceEdge& e2 = edges[i + 1];
            const int* v1 = mesh.faces[(size_t)e1.face].vertex;
            const int* v2 = mesh.faces[(size_t)e2.face].vertex;
            // Faces wound alike walk their common edge in opposite directions.
            bool opposite = v1[e1.corner] == v2[(e2.corner + 1) % 3];
            double bend = Dot(normals[(size_t)e1.face].data(), normals[(size_t)e2.face].data());
            if (!opposite) bend = -bend;
            if (bend >= creaseCos || soft.Holds(e1.key)) {
                int a1 = e1.corner, b1 = (e1.corner + 1) % 3;
                // The corners of face 2 at the same two vertices.
                int a2 = opposite ? (e2.corner + 1) % 3 : e2.corner;
                int b2 = opposite ? e2.corner : (e2.corner + 1) % 3;
                groups->Join(3 * e1.face + a1, 3 * e2.face + a2, !opposite);
                groups->Join(3 * e1.face + b1, 3 * e2.face + b2, !opposite);
            }
        }
        i = j;
    }
}

// One normal per smooth group and turn: the angle-weighted sum of its faces' normals.
void AssignNormals(const std::vector<std::array<double, 3>>& normals,
                   const std::vector<std::array<double, 3>>& weights, CornerGroups* groups,
                   SmoothMesh* mesh) {
    size_t nCorners = mesh->faces.size() * 3;
    std::vector<std::array<double, 3>> sums(nCorners, {0, 0, 0});
    std::vector<int> root(nCorners);
    std::vector<char> flipped(nCorners);
    for (size_t c = 0; c < nCorners; c++) {
        bool flip;
        root[c] = groups->Find((int)c, &flip);
        flipped[c] = flip;
        double s = (flip ? -1 : 1) * weights[c / 3][c % 3];
        for (int k = 0; k < 3; k++)
            sums[(size_t)root[c]][(size_t)k] += s * normals[c / 3][(size_t)k];
    }
    // Normal index per root and turn, made when first needed.
    std::vector<int> made(nCorners * 2, -1);
    for (size_t c = 0; c < nCorners; c++) {
        int& index = made[(size_t)root[c] * 2 + (size_t)flipped[c]];
        if (index < 0) {
            index = (int)mesh->normals.size();
            const std::array<double, 3>& sum = sums[(size_t)root[c]];
            double length = std::sqrt(sum[0] * sum[0] + sum[1] * sum[1] + sum[2] * sum[2]);
            // Normals that cancel out (a sliver folded onto itself) leave the face's own.
            const std::array<double, 3>& n = length > 1e-12 ? sum : normals[c / 3];
            double scale = (flipped[c] ? -1 : 1) / (length > 1e-12 ? length : 1.0);
            // A zero is written +0 whichever way the group was joined, so that equal normals
            // stay equal to the bit and are written once.
            mesh->normals.push_back({(float)(n[0] * scale) + 0.0f, (float)(n[1] * scale) + 0.0f,
                                     (float)(n[2] * scale) + 0.0f});
        }
        mesh->faces[c / 3].normal[c % 3] = index;
    }
}

}  // namespace

void BuildSmoothMesh(const SmoothMeshInput& input, SmoothMesh* mesh) {
    *mesh = SmoothMesh{};
    Welder welder(input.options.weldTolerance, input.triangles.size() * 3, &mesh->vertices);
    WeldFaces(input, &welder, mesh);
    // Corners count as lying on an edge within a few welding tolerances: transformed sub-files
    // put them there only to float precision.
    VertexGrid grid(mesh->vertices, 2.0, 4.0 * input.options.weldTolerance);
    std::vector<FaceEdge> edges = SortedFaceEdges(*mesh);
    std::vector<MeshSegment> hardLines =
        SplitDrawnLines(input.hardEdges, welder, grid, edges, mesh->vertices);
    std::vector<MeshSegment> softLines =
        SplitDrawnLines(input.softEdges, welder, grid, edges, mesh->vertices);
    SplitTJunctions(grid, edges, mesh);
    std::vector<std::array<double, 3>> normals, weights;
    FaceGeometry(mesh, &normals, &weights);
    std::vector<uint64_t> hard = DrawnEdges(hardLines, welder);
    std::vector<uint64_t> soft = DrawnEdges(softLines, welder);
    CornerGroups groups(mesh->faces.size() * 3);
    JoinAcrossSoftEdges(input, *mesh, normals, hard, soft, &groups);
    AssignNormals(normals, weights, &groups, mesh);
}
