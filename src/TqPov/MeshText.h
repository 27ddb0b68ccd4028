// The data lists of a mesh2 as scene text: counted lists of vectors and index triples, a few
// items to a line. Used only inside the scene writer.
#pragma once

#include "TqMesh/TqMesh.h"
#include "TqPov/TqPov.h"

/// Writes one list, "<keyword> { <count>, <item>,... }": mesh data is the bulk of such a scene.
class VectorList {
public:
    VectorList(SceneWriter* w, FILE* fp, const char* keyword, size_t count)
        : fp_(fp), text_(&w->nNonFiniteNumbers) {
        text_.Add("\t\t").Add(keyword).Add(" { ").AddUnsigned(count);
    }
    /// Adds "<x,y,z>".
    void AddPoint(const MeshPoint& p) {
        Separate();
        text_.AddVector(p.data());
    }
    /// Adds "<u,v>".
    void AddPair(double u, double v) {
        Separate();
        text_.Add('<').AddG(u).Add(',').AddG(v).Add('>');
    }
    /// Adds "<a,b,c>".
    void AddIndices(int a, int b, int c) {
        Separate();
        text_.Add('<').AddUnsigned((unsigned long)a).Add(',').AddUnsigned((unsigned long)b);
        text_.Add(',').AddUnsigned((unsigned long)c).Add('>');
    }
    /// Ends the list and writes what is left of it.
    void Close() {
        text_.Add(" }\n");
        text_.WriteTo(fp_);
    }

private:
    void Separate() {
        text_.Add(',');
        if (++n_ % 6 == 1) {
            text_.Add("\n\t\t\t");
            // Written out a line at a time, long before the buffer could fill.
            text_.WriteTo(fp_);
            text_.Clear();
        }
    }
    FILE* fp_;
    TextBuffer<1024> text_;
    size_t n_ = 0;
};
