// The flattened-part mode (-mesh): a library part with all its sub-files and primitives becomes
// one declaration of mesh2 objects, one per colour, with smooth normals. POV-Ray shares the
// triangles of a mesh between all its copies, so memory grows with the distinct parts, not with
// how often they are placed.
#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <thread>
#include <utility>
#include <vector>

#include "TqMesh/TqMesh.h"
#include "TqPov/MemberWalk.h"
#include "TqPov/MeshText.h"
#include "TqPov/PrintedParts.h"
#include "TqPov/TqPov.h"

namespace {

// What the surfaces of a flattened part are grouped by: one mesh per colour, the studs apart so
// that TqStuds can still switch them off.
struct MeshGroup {
    int colour;  // 16: the colour of whatever places the part
    bool stud;
    bool operator==(const MeshGroup& o) const { return colour == o.colour && stud == o.stud; }
};

// The soup of a part, the groups its triangles refer to and the prints on them.
struct FlatGeometry {
    SmoothMeshInput input;
    std::vector<MeshGroup> groups;
    const std::vector<TexMapEntry>* maps = nullptr;                 // the model's textures
    std::vector<TextureProjection> textures;                        // placed in the part
    std::vector<std::pair<int, std::array<float, 16>>> placements;  // of each: map and matrix

    int GroupOf(int colour, bool stud) {
        MeshGroup g = {colour, stud};
        for (size_t i = 0; i < groups.size(); i++) {
            if (groups[i] == g) return (int)i;
        }
        groups.push_back(g);
        return (int)groups.size() - 1;
    }
    // The print of texMap (1 + index in the model's textures) placed by m; a section's lines
    // share one.
    int TextureOf(int texMap, const float* m) {
        std::array<float, 16> matrix;
        std::copy(m, m + 16, matrix.begin());
        std::pair<int, std::array<float, 16>> key = {texMap, matrix};
        for (size_t i = 0; i < placements.size(); i++) {
            if (placements[i] == key) return (int)i;
        }
        placements.push_back(key);
        textures.push_back(PlaceTexture((*maps)[(size_t)texMap - 1], m));
        return (int)textures.size() - 1;
    }
};

MeshPoint Transform(const float* m, const float* p) {
    float out[3];
    M4V3Mul(out, m, p);
    return {out[0], out[1], out[2]};
}

// How a sub-file is placed: in which colour, among the studs or not, with which print.
struct Placement {
    int colour;  // 16 for the colour of whatever places the part
    bool stud;
    int texture;  // index in the part's prints, -1 for none
};

// Collects the triangles and lines of part placed by m, through every sub-file. A line's own
// texture is placed with the file that holds it and passes to the sub-files it references. Light
// sources are no geometry. Nesting is bounded like every other walk; the loader has refused
// deeper input already.
void Gather(const PartEntry* part, const float* m, Placement at, int depth, FlatGeometry* flat) {
    if (depth >= kMaxNesting) return;
    for (const LineEntry* line = part->FirstLine; line; line = line->Next) {
        const float* d = line->Data;
        int own = line->Colour == 16 ? at.colour : line->Colour;
        int texture = line->TexMap ? flat->TextureOf(line->TexMap, m) : at.texture;
        switch (line->Type) {
            case 1: {
                if (!line->Part || line->LineFlags.IsLight) break;
                float placed[16];
                M4M4Mul(placed, m, d);
                Gather(line->Part, placed, {own, at.stud || line->Part->AttrFlags.IsStud, texture},
                       depth + 1, flat);
                break;
            }
            case 2:
                flat->input.hardEdges.push_back({Transform(m, d), Transform(m, d + 4)});
                break;
            case 5:
                flat->input.softEdges.push_back({Transform(m, d), Transform(m, d + 4)});
                break;
            case 3:
            case 4: {
                int group = flat->GroupOf(own, at.stud);
                MeshPoint p[4];
                for (int i = 0; i < line->Type; i++) p[i] = Transform(m, d + 4 * i);
                // A quadrilateral becomes two triangles, corners 0 1 2 and 2 3 0, as elsewhere.
                flat->input.triangles.push_back({{p[0], p[1], p[2]}, group, texture});
                if (line->Type == 4)
                    flat->input.triangles.push_back({{p[2], p[3], p[0]}, group, texture});
                break;
            }
        }
    }
}

// A face POV-Ray would drop: its corners collapse once printed.
bool FaceIsDegenerate(const SmoothMesh& mesh, const MeshFace& face) {
    const MeshPoint& a = mesh.vertices[(size_t)face.vertex[0]];
    const MeshPoint& b = mesh.vertices[(size_t)face.vertex[1]];
    const MeshPoint& c = mesh.vertices[(size_t)face.vertex[2]];
    return TriangleIsDegenerate(a.data(), b.data(), c.data());
}

// Normals equal to the last bit are written once: flat faces of a part share a handful of
// directions (up, down, the four sides), each at many vertices.
void MergeEqualNormals(const SmoothMesh& mesh, std::vector<int>* normals,
                       std::vector<int>* normalIndex) {
    auto bits = [&mesh](int n) {
        std::array<uint32_t, 3> b;
        memcpy(b.data(), mesh.normals[(size_t)n].data(), sizeof(b));
        return b;
    };
    std::vector<int> order(normals->size());
    for (size_t i = 0; i < order.size(); i++) order[i] = (int)i;
    std::sort(order.begin(), order.end(), [&](int a, int b) {
        return bits((*normals)[(size_t)a]) < bits((*normals)[(size_t)b]);
    });
    // Each run of equal normals is written once, where the first of them was used.
    std::vector<int> merged(normals->size());
    for (size_t i = 0; i < order.size();) {
        auto key = bits((*normals)[(size_t)order[i]]);
        size_t j = i;
        int first = order[i];
        for (; j < order.size() && bits((*normals)[(size_t)order[j]]) == key; j++)
            first = std::min(first, order[j]);
        for (size_t k = i; k < j; k++) merged[(size_t)order[k]] = first;
        i = j;
    }
    std::vector<int> renumber(normals->size(), -1), kept;
    for (size_t i = 0; i < normals->size(); i++) {
        int first = merged[i];
        if (renumber[(size_t)first] < 0) {
            renumber[(size_t)first] = (int)kept.size();
            kept.push_back((*normals)[(size_t)first]);
        }
        renumber[i] = renumber[(size_t)first];
    }
    for (int& index : *normalIndex) {
        if (index >= 0) index = renumber[(size_t)index];
    }
    *normals = std::move(kept);
}

// One mesh2 of one group: the vertices and normals its faces use, renumbered from 0. Studs go
// inside the studs switch unless the whole part is studs (its parent switches it then).
void PrintGroupMesh(SceneWriter* w, FILE* fp, const SmoothMesh& mesh,
                    const std::vector<const MeshFace*>& faces, const MeshGroup& group,
                    bool switchStuds) {
    bool switched = group.stud && switchStuds;
    std::vector<int> vertexIndex(mesh.vertices.size(), -1), normalIndex(mesh.normals.size(), -1);
    std::vector<int> vertices, normals;
    for (const MeshFace* f : faces) {
        for (int i = 0; i < 3; i++) {
            int& v = vertexIndex[(size_t)f->vertex[i]];
            if (v < 0) {
                v = (int)vertices.size();
                vertices.push_back(f->vertex[i]);
            }
            int& n = normalIndex[(size_t)f->normal[i]];
            if (n < 0) {
                n = (int)normals.size();
                normals.push_back(f->normal[i]);
            }
        }
    }
    MergeEqualNormals(mesh, &normals, &normalIndex);
    if (switched) fputs("\t#if (TqStuds)\n", fp);
    fputs("\tmesh2 {\n", fp);
    VectorList points(w, fp, "vertex_vectors", vertices.size());
    for (int v : vertices) points.AddPoint(mesh.vertices[(size_t)v]);
    points.Close();
    VectorList directions(w, fp, "normal_vectors", normals.size());
    for (int n : normals) directions.AddPoint(mesh.normals[(size_t)n]);
    directions.Close();
    VectorList corners(w, fp, "face_indices", faces.size());
    for (const MeshFace* f : faces)
        corners.AddIndices(vertexIndex[(size_t)f->vertex[0]], vertexIndex[(size_t)f->vertex[1]],
                           vertexIndex[(size_t)f->vertex[2]]);
    corners.Close();
    VectorList shading(w, fp, "normal_indices", faces.size());
    for (const MeshFace* f : faces)
        shading.AddIndices(normalIndex[(size_t)f->normal[0]], normalIndex[(size_t)f->normal[1]],
                           normalIndex[(size_t)f->normal[2]]);
    shading.Close();
    // A mesh in colour 16 takes the material of whatever places the part.
    if (group.colour != 16) Put(fp, "\t\t", PovColorRef(w, group.colour, 0), "\n");
    fputs(switched ? "\t}\n\t#end\n" : "\t}\n", fp);
}

}  // namespace

// An assembly of whole parts (a model's section that calls itself a part, a part with its
// wheels) is declared as its parts, each flattened and shared: one mesh of hundreds of bricks
// would be slow to make and shared with nothing.
bool FlattensPart(const SceneWriter* w, const PartEntry* part) {
    return w->settings->Mesh.On && (part->LoadFlags.IsPart || part->LoadFlags.IsPrimitive) &&
           !part->AttrFlags.HoldsParts;
}

// A flattened part made before it is written: what it is grouped by, its prints and its mesh.
struct FlatPart {
    FlatGeometry flat;
    SmoothMesh mesh;
};

namespace {

// Reads only what loading left (the part's lines, the model's textures, the settings), so that
// several parts can be made at once.
std::shared_ptr<FlatPart> BuildFlatPart(const SceneWriter* w, const PartEntry* part) {
    auto built = std::make_shared<FlatPart>();
    FlatGeometry& flat = built->flat;
    flat.input.options.creaseDegrees = w->settings->Mesh.CreaseDegrees;
    const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    flat.maps = &w->model->TexMaps;
    Gather(part, identity, {16, part->AttrFlags.IsStud != 0, -1}, 0, &flat);
    BuildSmoothMesh(flat.input, &built->mesh);
    flat.input = SmoothMeshInput();  // the triangles live on in the mesh
    return built;
}

}  // namespace

void PrebuildFlatParts(SceneWriter* w, const std::vector<const PartEntry*>& parts) {
    // One part is made when it is written. (Asking for the processors reads a file of the
    // system: not for every declaration of a scene without flattened parts.)
    if (parts.size() < 2) return;
    size_t threads = std::min<size_t>(std::max(1u, std::thread::hardware_concurrency()), 16);
    threads = std::min(threads, parts.size());
    if (threads < 2) return;
    std::vector<std::shared_ptr<FlatPart>> built(parts.size());
    std::atomic<size_t> next{0};
    auto work = [&] {
        for (size_t i; (i = next++) < parts.size();) {
            // A part that does not fit in memory now is tried again, alone, when it is written.
            try {
                built[i] = BuildFlatPart(w, parts[i]);
            } catch (const std::bad_alloc&) {
            }
        }
    };
    std::vector<std::thread> pool;
    for (size_t t = 1; t < threads; t++) pool.emplace_back(work);
    work();
    for (std::thread& t : pool) t.join();
    for (size_t i = 0; i < parts.size(); i++) {
        if (built[i]) w->prebuilt[parts[i]] = std::move(built[i]);
    }
}

void DeclareFlatPart(SceneWriter* w, FILE* fp, PartEntry* part, int isModel) {
    std::shared_ptr<FlatPart> built;
    auto found = w->prebuilt.find(part);
    if (found != w->prebuilt.end()) {
        built = std::move(found->second);
        w->prebuilt.erase(found);
    } else {
        built = BuildFlatPart(w, part);
    }
    const FlatGeometry& flat = built->flat;
    const SmoothMesh& mesh = built->mesh;
    // The faces of each group and of each print that POV-Ray keeps; a group left empty is no
    // member. A print is a member of its own, never switched with the studs.
    std::vector<std::vector<const MeshFace*>> byGroup(flat.groups.size());
    std::vector<std::vector<const MeshFace*>> byTexture(flat.textures.size());
    for (const MeshFace& f : mesh.faces) {
        if (FaceIsDegenerate(mesh, f)) continue;
        byGroup[(size_t)f.group].push_back(&f);
        if (f.texture >= 0) byTexture[(size_t)f.texture].push_back(&f);
    }
    int members = 0, nonStud = 0;
    for (size_t g = 0; g < byGroup.size(); g++) {
        if (byGroup[g].empty()) continue;
        members++;
        if (!flat.groups[g].stud) nonStud++;
    }
    for (const auto& faces : byTexture) {
        if (!faces.empty()) members++, nonStud++;
    }
    part->nPovObjects = members;
    part->nPovNonStudObjects = part->AttrFlags.IsStud ? 0 : nonStud;
    if (members == 0) return;  // nothing to draw: references to the part are left out
    char id[160];
    strncpy0(id, PovName(w, part->DatName), sizeof(id));
    PrintPovPartXxtro(w, fp, part, isModel, kIntro);
    // At quality 0 a part is its box. A union wants two members, so where the studs switch may
    // take one away the container follows the switch.
    bool switchStuds = nonStud > 0;
    fprintf(fp, "#declare %s = #if (TqQuality = 0) box { %s,", id, PovGGG(w, part->BBox));
    fprintf(fp, " %s } #else ", PovGGG(w, part->BBox + 3));
    if (members == 1)
        fputs("object {\n", fp);
    else
        fputs(
            switchStuds && nonStud == 1 ? "#if (TqStuds) union #else object #end {\n" : "union {\n",
            fp);
    PrintPovPartFirstLineComment(fp, part);
    for (size_t g = 0; g < byGroup.size(); g++) {
        if (!byGroup[g].empty())
            PrintGroupMesh(w, fp, mesh, byGroup[g], flat.groups[g], switchStuds);
    }
    for (size_t t = 0; t < byTexture.size(); t++) {
        if (!byTexture[t].empty()) PrintTextureOverlay(w, fp, mesh, byTexture[t], flat.textures[t]);
    }
    fputs("}\n#end\n", fp);
    PrintPovPartXxtro(w, fp, part, isModel, kOutro);
    part->PovState = kPovNormal;
}
