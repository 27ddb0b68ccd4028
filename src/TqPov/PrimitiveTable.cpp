// Exact POV-Ray solids for the common primitives: a fixed table, rules that generate rings,
// cones and tori from their file names, the -pp listing and the -test scene of one primitive.
#include <cstring>
#include <initializer_list>

#include "TqPov/TqPov.h"

namespace {

// Primitives that have an LGEO counterpart, written in place of the POV-Ray equivalent with -lgeo
// (in LGEO's coordinates: the declaration adds the transform back to LDraw's).
struct LgeoEquivEntry {
    const char* Name;
    const char* Text;
};
const LgeoEquivEntry LgeoEquivs[] = {
    {"stud.dat", "lg_knob"},
    {"stud2.dat", "lg_tech_knob"},
    {"stud4.dat", "lg_plate_cylinder scale <1,1,-1> translate <0,0,LG_PLATE_INNER_HEIGHT>"},
};

// Ring, cone and torus numbers beyond this are no real primitives; such names get no equivalent.
constexpr int kMaxFamilyNumber = 99999;

// The clips that cut a whole ring down to 1-8, 3-8, 1-4, 2-4 or 3-4 of the circle.
const char kClipR18[] = "clipped_by { plane { -z, 0 } plane { <-1,0,1>, 0 } }";
const char kClipR38[] = "clipped_by { plane { -z, 0 } plane { <-1,0,-1>, 0 } }";
const char kClipR14[] = "clipped_by { plane { -x, 0 } plane { -z, 0 } }";
const char kClipR24[] = "clipped_by { plane { -z, 0 } }";
const char kClipR34[] = "clipped_by { union { plane { x, 0 } plane { -z, 0 } } }";

void SetBox(PovEquivBuffer* dyn, float x0, float y0, float z0, float x1, float y1, float z1) {
    float* b = dyn->entry.Box;
    b[0] = x0, b[1] = y0, b[2] = z0, b[3] = x1, b[4] = y1, b[5] = z1;
}

// factor * n in double, rounded to float once. The factor 0.7071 is that decimal, not the square
// root of one half.
float Scaled(double factor, int n) {
    return (float)(factor * n);
}

// ringN.dat: a flat ring from radius N to N + 1 in the plane y = 0. Every pattern ends in
// ".da%[t]", which needs at least one t after ".da": ring10.dat matches, ring10.ldr does not.
bool FullRing(PovEquivBuffer* dyn, const char* name) {
    static const char* const kPatterns[] = {"ring%d.da%[t]", "rin%d.da%[t]", "4-4ring%d.da%[t]",
                                            "4-4rin%d.da%[t]"};
    for (const char* pattern : kPatterns) {
        int n[1];
        if (ScanNamePattern(name, pattern, n, nullptr) != 2 || n[0] < 0 || n[0] > kMaxFamilyNumber)
            continue;
        snprintf(dyn->text, sizeof(dyn->text), "disc { <0,0,0>, <0,1,0>, %d, %d }", n[0] + 1, n[0]);
        float r = (float)(n[0] + 1);
        SetBox(dyn, -r, 0, -r, r, 0, r);
        return true;
    }
    return false;
}

// A fraction of a ring; fractions other than the five clips have no equivalent.
bool PartialRing(PovEquivBuffer* dyn, const char* name) {
    for (const char* pattern : {"%d-%dring%d.da%[t]", "%d-%drin%d.da%[t]"}) {
        int n[3];
        if (ScanNamePattern(name, pattern, n, nullptr) != 4 || n[2] < 0 || n[2] > kMaxFamilyNumber)
            continue;
        int ring = n[2];
        float r = (float)(ring + 1);
        const char* clip;
        if (n[0] == 1 && n[1] == 8) {
            clip = kClipR18;
            SetBox(dyn, Scaled(0.7071, ring), 0, 0, r, 0, Scaled(0.7071, ring + 1));
        } else if (n[0] == 3 && n[1] == 8) {
            clip = kClipR38;
            SetBox(dyn, -Scaled(0.7071, ring + 1), 0, 0, r, 0, r);
        } else if (n[0] == 1 && n[1] == 4) {
            clip = kClipR14;
            SetBox(dyn, 0, 0, 0, r, 0, r);
        } else if (n[0] == 2 && n[1] == 4) {
            clip = kClipR24;
            SetBox(dyn, -r, 0, 0, r, 0, r);
        } else if (n[0] == 3 && n[1] == 4) {
            clip = kClipR34;
            SetBox(dyn, -r, 0, -r, r, 0, r);
        } else {
            continue;
        }
        snprintf(dyn->text, sizeof(dyn->text), "disc {\n\t<0,0,0>, <0,1,0>, %d, %d\n\t%s\n}",
                 ring + 1, ring, clip);
        return true;
    }
    return false;
}

// A cone from radius N + 1 at y = 0 to N at y = 1, whole or a quarter.
bool Cone(PovEquivBuffer* dyn, const char* name) {
    int n[3];
    if (ScanNamePattern(name, "%d-%dcon%d.da%[t]", n, nullptr) != 4 || n[2] < 0 ||
        n[2] > kMaxFamilyNumber)
        return false;
    float r = (float)(n[2] + 1);
    if (n[0] == 1 && n[1] == 4) {
        snprintf(
            dyn->text, sizeof(dyn->text),
            "cone {\n\t<0,0,0>, %d, <0,1,0>, %d open\n\tclipped_by { plane { -x, 0 } plane { -z, 0 } }\n}",
            n[2] + 1, n[2]);
        SetBox(dyn, 0, 0, 0, r, 1, r);
        return true;
    }
    if (n[0] == 4 && n[1] == 4) {
        snprintf(dyn->text, sizeof(dyn->text), "cone { <0,0,0>, %d, <0,1,0>, %d open }", n[2] + 1,
                 n[2]);
        SetBox(dyn, -r, 0, -r, r, 1, r);
        return true;
    }
    return false;
}

// Quarter tori of major radius 1: where y >= 0, the part inside (i) or outside (o) the circle of
// radius 1; or the whole tube (q). The minor radius is written as the expression F/9999, so that
// POV-Ray computes it in full precision.
bool QuarterTorus(PovEquivBuffer* dyn, const char* name) {
    int n[2];
    char letter[2];  // one letter per "%[...]" of the pattern
    if (ScanNamePattern(name, "t%d%[ioq]%d.da%[t]", n, letter) != 4 || n[0] != 4 || n[1] < 0 ||
        n[1] > kMaxFamilyNumber)
        return false;
    int f = n[1];
    float r = (float)(f / 9999.0);
    float outer = (float)(1 + f / 9999.0);
    switch (letter[0]) {
        case 'i':
            snprintf(
                dyn->text, sizeof(dyn->text),
                "torus {\n\t1, %d/9999\n\tclipped_by {\n\t\tbox { <0,0,0>, <2,1,2> }\n\t\tcylinder { <0,0,0>, <0,1,0>, 1 open }\n\t}\n}",
                f);
            SetBox(dyn, 0, 0, 0, 1, r, 1);
            return true;
        case 'o':
            snprintf(
                dyn->text, sizeof(dyn->text),
                "torus {\n\t1, %d/9999\n\tclipped_by {\n\t\tdifference {\n\t\t\tbox { <0,0,0>, <2,1,2> }\n\t\t\tcylinder { <0,0,0>, <0,1,0>, 1 open }\n\t\t}\n\t}\n}",
                f);
            SetBox(dyn, 0, 0, 0, outer, r, outer);
            return true;
        case 'q':
            snprintf(dyn->text, sizeof(dyn->text),
                     "torus {\n\t1, %d/9999\n\tclipped_by { box { <0,-1,0>, <2,1,2> } }\n}", f);
            SetBox(dyn, 0, -r, 0, outer, r, outer);
            return true;
    }
    return false;
}

}  // namespace

// Texts: line breaks and one tab per level of indentation, exactly as written into the scene. The
// studs add the logo from quality 3 on (hollow ones from 4); "=name" makes an entry stand for
// another one.
const PovEquivEntry PovEquivs[kPovEquivCount] = {
    {"stud.dat", {-6, -4, -6, 6, 0, 6}, R"(
#if (TqQuality >= 3)
union {
#end
	cylinder { <0,0,0>, <0,-4,0>, 6 }
#if (TqQuality >= 3)
	object { TqLogo translate <0,-4,0> }
}
#end)"},
    {"stud10.dat", {-6, -4, -6, 6, 0, 6}, R"(
#if (TqQuality >= 3)
union {
#end
	intersection {
		cylinder { <0,0,0>, <0,-4,0>, 6 }
		cylinder { <-10,1,-10>, <-10,-5,-10>, 20 }
	}
#if (TqQuality >= 3)
	object { TqLogo translate <0,-4,0> }
}
#end)"},
    {"stud2.dat", {-6, -4, -6, 6, 0, 6}, R"(
#if (TqQuality >= 4)
union {
#end
	difference {
		cylinder { <0,0,0>, <0,-4,0>, 6 }
		cylinder { <0,1,0>, <0,-5,0>, 4 }
	}
#if (TqQuality >= 4)
	object { TqLogo scale 0.75 }
}
#end)"},
    {"stud3.dat", {-4, -4, -4, 4, 0, 4}, R"(cylinder { <0,0,0>, <0,-4,0>, 4 })"},
    {"stud4.dat", {-8, -4, -8, 8, 0, 8}, R"(difference {
	cylinder { <0,0,0>, <0,-4,0>, 8 }
	cylinder { <0,1,0>, <0,-5,0>, 6 }
})"},
    {"stud6.dat", {-6, -4, -6, 6, 0, 6}, R"(difference {
	cylinder { <0,0,0>, <0,-4,0>, 6 }
	cylinder { <0,1,0>, <0,-5,0>, 4 }
})"},
    {"stud6a.dat", {0, 0, 0, 0, 0, 0}, "=stud6.dat"},
    {"4-4cyli.dat", {-1, 0, -1, 1, 1, 1}, R"(cylinder { <0,0,0>, <0,1,0>, 1 open })"},
    {"2-4cyli.dat",
     {-1, 0, 0, 1, 1, 1},
     R"(cylinder { <0,0,0>, <0,1,0>, 1 open clipped_by { plane { -z, 0 } } })"},
    {"1-4cyli.dat",
     {0, 0, 0, 1, 1, 1},
     R"(cylinder { <0,0,0>, <0,1,0>, 1 open clipped_by { plane { <-1,0,-1>, -sqrt(1/2) } } })"},
    {"4-4disc.dat", {-1, 0, -1, 1, 0, 1}, R"(disc { <0,0,0>, <0,1,0>, 1 })"},
    {"1-4disc.dat",
     {0, 0, 0, 1, 0, 1},
     R"(disc { <0,0,0>, <0,1,0>, 1 clipped_by { plane { -x, 0 } plane { -z, 0 } } })"},
    {"4-4ndis.dat",
     {-1, 0, -1, 1, 0, 1},
     R"(disc { <0,0,0>, <0,1,0>, 2, 1 clipped_by { box { <-1,-1,-1>, <1,1,1> } } })"},
    {"2-4disc.dat",
     {-1, 0, 0, 1, 0, 1},
     R"(disc { <0,0,0>, <0,1,0>, 1 clipped_by { box { <-2,-1,0>, <2,1,2> } } })"},
    {"2-4ndis.dat",
     {-1, 0, 0, 1, 0, 1},
     R"(disc { <0,0,0>, <0,1,0>, 2, 1 clipped_by { box { <-1,-1,0>, <1,1,1> } } })"},
    {"1-4ndis.dat",
     {0, 0, 0, 1, 0, 1},
     R"(disc { <0,0,0>, <0,1,0>, 2, 1 clipped_by { box { <0,-1,0>, <1,1,1> } } })"},
    {"1-4chrd.dat",
     {0, 0, 0, 1, 0, 1},
     R"(disc { <0,0,0>, <0,1,0>, 1 clipped_by { plane { <-1,0,-1>, -sqrt(1/2) } } })"},
    {"1-4cyls.dat", {0, 0, 0, 1, 1, 1}, R"(cylinder {
	<0,0,0>, <0,1,0>, 1 open
	clipped_by { plane { <-1,0,-1>,-sqrt(1/2) } plane { <1,1,0>,sqrt(1/2) } }
})"},
    {"1-4cyls2.dat", {-1, 0, 0, 0, 1, 1}, R"(cylinder {
	<0,0,0>, <0,1,0>, 1 open
	clipped_by { plane { <1,0,-1>,-sqrt(1/2) } plane { <1,1,0>,0 } }
})"},
    {"2-4cyls.dat", {-1, 0, 0, 1, 2, 1}, R"(cylinder {
	<0,0,0>, <0,2,0>, 1 open
	clipped_by { plane { <0,0,-1>,0 } plane { <1,1,0>,sqrt(1/2) } }
})"},
    {"3-8cyls.dat", {-0.7071f, 0, 0, 1, 1.7071f, 1}, R"(cylinder {
	<0,0,0>, <0,2,0>, 1 open
	clipped_by {
		plane { <-sqrt(1/2),0,-1-sqrt(1/2)>,-1/sqrt(4+sqrt(8)) }
		plane { <1,1,0>,sqrt(1/2) }
	}
})"},
    {"stud4a.dat", {0, 0, 0, 0, 0, 0}, "=stud4.dat"},
    {"1-6cyli.dat", {0.5f, 0, 0, 1, 1, 0.866f}, R"(cylinder {
	<0,0,0>, <0,1,0>, 1 open
	clipped_by { plane { <-3,0,-sqrt(3)>,-sqrt(3)/2 } }
})"},
    {"1-8cyli.dat", {0.7071f, 0, 0, 1, 1, 0.7071f}, R"(cylinder {
	<0,0,0>, <0,1,0>, 1 open
	clipped_by { plane { <-2-sqrt(2),0,-sqrt(2)>,-sqrt(sqrt(2)+2)/2 } }
})"},
    {"1-16cyli.dat", {0.9239f, 0, 0, 1, 1, 0.3827f}, R"(cylinder {
	<0,0,0>, <0,1,0>, 1 open
	clipped_by { plane { <-sqrt(2-sqrt(2)),0,sqrt(2+sqrt(2))-2>,-sqrt((2-sqrt(2))/(8-sqrt(32+sqrt(512)))) } }
})"},
    {"stud2a.dat", {0, 0, 0, 0, 0, 0}, "=stud2.dat"},
    {"box.dat", {-1, -1, -1, 1, 1, 1}, R"(box { <-1,-1,-1>, <1,1,1> })"},
    {"4-8sphe.dat",
     {-1, 0, -1, 1, 1, 1},
     R"(sphere { <0,0,0>, 1 clipped_by { box { <-1,0,-1>, <2,2,2> } } })"},
    {"3-4cyli.dat", {-1, 0, -1, 1, 1, 1}, R"(cylinder {
	<0,0,0>, <0,1,0>, 1 open
	clipped_by { plane { <1,0,-1>, sqrt(1/2) } }
})"},
    {"3-4disc.dat", {-1, 0, -1, 1, 0, 1}, R"(disc {
	<0,0,0>, <0,1,0>, 1
	clipped_by { union { plane { x, 0 } plane { -z, 0 } } }
})"},
    {"3-4ndis.dat", {-1, 0, -1, 1, 0, 1}, R"(disc {
	<0,0,0>, <0,1,0>, 2, 1
	clipped_by {
		box { <-1,-1,-1>, <1,1,1> }
		union { plane { x, 0 } plane { -z, 0 } }
	}
})"},
    {"axlehole.dat", {-6, 0, -6, 6, 1, 6}, R"(union {
	cylinder { <0,0,0>, <0,1,0>, 6 open }
	difference {
		cylinder { <0,0,0>, <0,1,0>, 6 }
		intersection { plane { -x, 2 } plane { x, 2 } }
		intersection { plane { -z, 2 } plane { z, 2 } }
	}
})"},
    {"axlehol4.dat", {-6, 0, -6, 6, 1, 5.58f}, R"(union {
	cylinder { <0,0,0>, <0,1,0>, 6 open clipped_by { plane { z, sqrt(32) } } }
	difference {
		cylinder { <0,0,0>, <0,1,0>, 6 }
		intersection { plane { -x, 2 } plane { x, 2 } }
		intersection { plane { -z, 2 } plane { z, 2 } }
	}
})"},
    {"axlehol5.dat", {-6, 0, -5.58f, 6, 1, 5.58f}, R"(union {
	cylinder {
		<0,0,0>, <0,1,0>, 6 open
		clipped_by { plane { z, sqrt(32) } }
		clipped_by { plane { -z, sqrt(32) } }
	}
	difference {
		cylinder { <0,0,0>, <0,1,0>, 6 }
		intersection { plane { -x, 2 } plane { x, 2 } }
		intersection { plane { -z, 2 } plane { z, 2 } }
	}
})"},
    {"axlehol6.dat",
     {2, 0, 2, 5.64277f, 1, 5.64277f},
     R"(difference { cylinder { <0,0,0>, <0,1,0>, 6 } plane { x, 2 } plane { z, 2 } })"},
    {"axlehol7.dat", {-6, 0, -6, 6, 1, 6}, R"(cylinder {
	<0,0,0>, <0,1,0>, 6 open
	clipped_by { union {
		plane { x, -sqrt(32) }
		plane { -x, -sqrt(32) }
		plane { z, -sqrt(32) }
		plane { -z, -sqrt(32) }
	} }
})"},
    {"stud3a.dat", {0, 0, 0, 0, 0, 0}, "=stud3.dat"},
    {"1-4ccyli.dat",
     {0, -1, 0, 3.5f, 1, 3.5f},
     R"(torus { 2.5, 1 clipped_by { plane { -x, 0 } plane { -z, 0 } } })"},
    {"connect.dat", {-8, -20, -8, 8, 0, 8}, R"(difference {
	union {
		cylinder { <0,0,0>, <0,-2,0>, 8 }
		cylinder { <0,-2,0>, <0,-18,0>, 6 }
		cylinder { <0,-18,0>, <0,-20,0>, 6.5 }
	}
	cylinder { <0,1,0>, <0,-21,0>, 4 }
	box { <-7,-21,-1>, <7,-12,1> }
})"},
    {"connect2.dat", {-6.301f, -20, -6.5f, 6.301f, 0, 6.5f}, R"(difference {
	union {
		cylinder { <0,0,0>, <0,-18,0>, 6 }
		cylinder { <0,-18,0>, <0,-20,0>, 6.5 }
	}
	cylinder { <0,1,0>, <0,-21,0>, 4 }
	box { <-7,-21,-1>, <7,-12,1> }
})"},
    {"connect3.dat", {-8, -10, -8, 8, 0, 8}, R"(difference {
	union {
		cylinder { <0,0,0>, <0,-2,0>, 8 }
		cylinder { <0,-2,0>, <0,-8,0>, 6 }
		cylinder { <0,-8,0>, <0,-10,0>, 6.5 }
	}
	cylinder { <0,1,0>, <0,-11,0>, 4 }
	box { <-7,-11,-1>, <7,-4,1> }
})"},
    {"connect4.dat", {-6.301f, -10, -6.5f, 6.301f, 0, 6.5f}, R"(difference {
	union {
		cylinder { <0,0,0>, <0,-8,0>, 6 }
		cylinder { <0,-8,0>, <0,-10,0>, 6.5 }
	}
	cylinder { <0,1,0>, <0,-11,0>, 4 }
	box { <-7,-11,-1>, <7,-4,1> }
})"},
    {"connect5.dat", {-8, -20, -7.801f, 8, 0, 7.801f}, R"(difference {
	union {
		cylinder { <0,0,0>, <0,-2,0>, 8 }
		cylinder { <0,-2,0>, <0,-18,0>, 6 }
		cylinder { <0,-18,0>, <0,-20,0>, 6.5 }
	}
	cylinder { <0,1,0>, <0,-21,0>, 4 }
	box { <-7,-21,-1>, <7,-12,1> }
	box { <-1,-10,-9>, <1,1,9> }
})"},
    {"2-8sphe.dat",
     {-1, 0, 0, 1, 1, 1},
     R"(sphere { <0,0,0>, 1 clipped_by { box { <-1,0,0>, <2,2,2> } } })"},
    {"8-8sphe.dat", {-1, -1, -1, 1, 1, 1}, R"(sphere { <0,0,0>, 1 })"},
    {"axle.dat", {-6, 0, -6, 6, 1, 6}, R"(intersection {
	cylinder { <0,0,0>, <0,1,0>, 6 }
	union {
		box { <-7,-1,-2>, <7,2,2> }
		box { <-2,-1,-7>, <2,2,7> }
	}
})"},
    {"1-8disc.dat", {0, 0, 0, 1, 0, 0.7071f}, R"(disc {
	<0,0,0>, <0,1,0>, 1
	clipped_by { plane { -z,0 } plane { <-1,0,1>,0 } }
})"},
    {"1-8ndis.dat", {0.7071f, 0, 0, 1, 0, 1}, R"(disc {
	<0,0,0>, <0,1,0>, 2, 1
	clipped_by { plane { x, 1 } plane { -z, 0 } plane { <-1,0,1>, 0 } }
})"},
    {"3-8cyli.dat", {-0.7071f, 0, 0, 1, 1, 1}, R"(cylinder { <0,0,0>, <0,1,0>, 1 open clipped_by {
	plane { <-sqrt(1/2),0,-1-sqrt(1/2)>,-1/sqrt(4+sqrt(8)) }
} })"},
    {"1-8sphe.dat",
     {0, 0, 0, 1, 1, 1},
     R"(sphere { <0,0,0>, 1 clipped_by { box { <0,0,0>, <2,2,2> } } })"},
    {"1-8sphc.dat",
     {0, 0, 0, 1, 1, 1},
     R"(sphere { <0,0,0>, sqrt(2) clipped_by { box { <0,0,0>, <1,1,1> } } })"},
    {"arm1.dat", {-10, -10, -20, 10, 10, 0}, R"(union {
	disc { <0,0,0>, <0,0,1>, 10 }
	intersection {
		cylinder { <0,0,0>, <0,0,-21>, 10 }
		merge {
			cylinder { <0,-11,-10>, <0,11,-10>, 10 }
			plane { -z, 10 }
		}
		union {
			intersection { plane { -y, -2 } plane { y, 6 } }
			intersection { plane { y, -2 } plane { -y, 6 } }
		}
	}
})"},
    {"arm2.dat", {-10, -10, -20, 10, 10, 0}, R"(union {
	disc { <0,0,0>, <0,0,1>, 10 }
	intersection {
		cylinder { <0,0,0>, <0,0,-21>, 10 }
		merge {
			cylinder { <0,-11,-10>, <0,11,-10>, 10 }
			plane { -z, 10 }
		}
		union {
			intersection { plane { -y, -2 } plane { y, 6 } }
			intersection { plane { y, -2 } plane { -y, 6 } }
			inverse
		}
	}
})"},
};

// Names compare exactly: the reader keeps them in lower case. An alias returns the entry it
// stands for, so that the result's Name is the one FindLgeoEquiv knows.
const PovEquivEntry* FindPovEquiv(const char* name, PovEquivBuffer* dyn) {
    for (const PovEquivEntry& e : PovEquivs) {
        if (strcmp(name, e.Name) != 0) continue;
        return e.Text[0] == '=' ? FindPovEquiv(e.Text + 1, dyn) : &e;
    }
    strncpy0(dyn->name, name, sizeof(dyn->name));
    dyn->entry.Name = dyn->name;
    memset(dyn->entry.Box, 0, sizeof(dyn->entry.Box));
    dyn->entry.Text = dyn->text;
    if (FullRing(dyn, name) || PartialRing(dyn, name) || Cone(dyn, name) || QuarterTorus(dyn, name))
        return &dyn->entry;
    // High-resolution primitives (48/, 8/) take the equivalent of their standard namesake.
    const char* s = name;
    while (IsDigit((unsigned char)*s)) s++;
    return *s == '/' ? FindPovEquiv(s + 1, dyn) : nullptr;
}

PovEquivShape PovEquivShapeOf(const char* name) {
    // High-resolution primitives (48/, 8/) are shaped like their standard namesakes.
    const char* base = strrchr(name, '/');
    base = base ? base + 1 : name;
    if (strstr(base, "sph")) return PovEquivShape::kBall;
    // Studs, cylinders, discs, chords, axle holes and rings; "ndis" (a square with a round hole)
    // does not contain "disc".
    for (const char* round : {"cyl", "disc", "chrd", "rin"}) {
        if (strstr(base, round)) return PovEquivShape::kRound;
    }
    if (strncmp(base, "stud", 4) == 0 || strncmp(base, "axlehol", 7) == 0)
        return PovEquivShape::kRound;
    // The generated cones and quarter tori; "connect" is a pin with a collar.
    char letter[2];
    if (ScanNamePattern(base, "%d-%dcon%d.da%[t]", nullptr, nullptr) == 4 ||
        ScanNamePattern(base, "t%d%[ioq]%d.da%[t]", nullptr, letter) == 4)
        return PovEquivShape::kRound;
    return PovEquivShape::kBox;
}

const char* FindLgeoEquiv(const char* name) {
    for (const LgeoEquivEntry& e : LgeoEquivs) {
        if (strcmp(name, e.Name) == 0) return e.Text;
    }
    return nullptr;
}

// -pp: the table's names, then the generated families as patterns (N a number, FFFF the torus's
// minor radius).
void PrintPovEquivsList(FILE* fp) {
    for (const PovEquivEntry& e : PovEquivs) fprintf(fp, "%s\n", e.Name);
    fputs(
        "rin[g]N.dat\n1-8rin[g]N.dat\n3-8rin[g]N.dat\n1-4rin[g]N.dat\n2-4rin[g]N.dat\n3-4rin[g]N.dat\n"
        "4-4rin[g]N.dat\n1-4conN.dat\n4-4conN.dat\nt04iFFFF.dat\nt04oFFFF.dat\nt04qFFFF.dat\n",
        fp);
}

// -test part.dat: the primitive was loaded with substitution off, so the model object shows its
// own triangles. Over them goes the equivalent in transparent yellow (46), shrunk by a hair so
// that both show, a flat one lifted just off the triangles; the floor goes a tenth of the height
// below.
int PrintPovEquivTest(SceneWriter* w, FILE* fp, const char* name) {
    const PovEquivEntry* equiv = FindPovEquiv(name, &w->dynEquiv);
    if (!equiv) return -1;
    const PartEntry* model = &w->model->Parts[0];
    PrintPovColor(w, fp, 46);
    fprintf(fp, "//Primitive bbox: %s", PovGGG(w, model->BBox));
    fprintf(fp, " %s\n", PovGGG(w, model->BBox + 3));
    fprintf(fp, "//PovEquiv  bbox: %s", PovGGG(w, equiv->Box));
    fprintf(fp, " %s\n", PovGGG(w, equiv->Box + 3));
    fprintf(fp, "object {\n%s\n", equiv->Text);
    PrintPovSeamMatrix(w, fp, model, "0.001");
    float height = model->BBox[4] - model->BBox[1];
    if (height == 0) fputs("translate <0,-0.01,0>\n", fp);
    fprintf(fp, "%s\n}\n", PovColorRef(w, 46, 0));
    TqPovRecord* pov = w->pov;
    if (!pov->FloorYGiven) {
        pov->FloorY = model->BBox[4] + height / 10 + (height == 0 ? 0.1f : 0);
        pov->FloorYGiven = 1;
    }
    return 0;
}

// The test of all equivalents has no content yet: the run ends as an empty model.
int MakePovEquivPovfile() {
    return 0;
}
