// Primitive equivalents: the fixed table with its aliases and the generated families.
#include <cstring>
#include <string>

#include "TqPov/TqPov.h"
#include "support/TestSupport.h"

TEST(PrimitiveTable, AliasesLeadToTheirTarget) {
    PovEquivBuffer dyn;
    const PovEquivEntry* e = FindPovEquiv("stud6a.dat", &dyn);
    ASSERT_NE(e, nullptr);
    EXPECT_STREQ(e->Name, "stud6.dat");
    EXPECT_EQ(e->Box[0], -6);
    EXPECT_EQ(std::string(e->Text).rfind("difference {\n\tcylinder { <0,0,0>, <0,-4,0>, 6 }", 0),
              0u);
    EXPECT_STREQ(FindPovEquiv("stud2a.dat", &dyn)->Name, "stud2.dat");
    EXPECT_STREQ(FindLgeoEquiv(FindPovEquiv("stud2a.dat", &dyn)->Name), "lg_tech_knob");
    EXPECT_EQ(FindLgeoEquiv("stud3.dat"), nullptr);
    EXPECT_EQ(FindPovEquiv("Stud.dat", &dyn), nullptr);
    EXPECT_STREQ(FindPovEquiv("48/4-4cyli.dat", &dyn)->Name, "4-4cyli.dat");
    EXPECT_EQ(std::string(FindPovEquiv("stud.dat", &dyn)->Text).substr(0, 22),
              "\n#if (TqQuality >= 3)\n");
    int aliases = 0;
    for (const PovEquivEntry& entry : PovEquivs) aliases += entry.Text[0] == '=';
    EXPECT_EQ(aliases, 4);
}

TEST(PrimitiveTable, GeneratedFamilies) {
    PovEquivBuffer dyn;
    struct Case {
        const char* name;
        const char* text;  // prefix of the text, or null when there is no equivalent
        float box[6];
    } cases[] = {
        {"ring7.dat", "disc { <0,0,0>, <0,1,0>, 8, 7 }", {-8, 0, -8, 8, 0, 8}},
        {"rin7.dat", "disc { <0,0,0>, <0,1,0>, 8, 7 }", {-8, 0, -8, 8, 0, 8}},
        {"4-4rin12.dat", "disc { <0,0,0>, <0,1,0>, 13, 12 }", {-13, 0, -13, 13, 0, 13}},
        {"1-8ring3.dat",
         "disc {\n\t<0,0,0>, <0,1,0>, 4, 3\n\tclipped_by { plane { -z, 0 } plane { <-1,0,1>, 0 } }\n}",
         {(float)(0.7071 * 3), 0, 0, 4, 0, (float)(0.7071 * 4)}},
        {"3-8ring3.dat",
         "disc {\n\t<0,0,0>, <0,1,0>, 4, 3\n\tclipped_by { plane { -z, 0 } plane { <-1,0,-1>, 0 } }",
         {(float)(-0.7071 * 4), 0, 0, 4, 0, 4}},
        {"2-4rin1.dat",
         "disc {\n\t<0,0,0>, <0,1,0>, 2, 1\n\tclipped_by { plane { -z, 0 } }\n}",
         {-2, 0, 0, 2, 0, 2}},
        {"3-4ring1.dat",
         "disc {\n\t<0,0,0>, <0,1,0>, 2, 1\n\tclipped_by { union { plane { x, 0 } plane { -z, 0 } } }",
         {-2, 0, -2, 2, 0, 2}},
        {"1-4con5.dat",
         "cone {\n\t<0,0,0>, 6, <0,1,0>, 5 open\n\tclipped_by { plane { -x, 0 } plane { -z, 0 } }\n}",
         {0, 0, 0, 6, 1, 6}},
        {"4-4con5.dat", "cone { <0,0,0>, 6, <0,1,0>, 5 open }", {-6, 0, -6, 6, 1, 6}},
        {"t04q5000.dat",
         "torus {\n\t1, 5000/9999\n\tclipped_by { box { <0,-1,0>, <2,1,2> } }\n}",
         {0, -(float)(5000 / 9999.0), 0, (float)(1 + 5000 / 9999.0), (float)(5000 / 9999.0),
          (float)(1 + 5000 / 9999.0)}},
        {"t04i2000.dat",
         "torus {\n\t1, 2000/9999\n\tclipped_by {\n\t\tbox { <0,0,0>, <2,1,2> }\n",
         {0, 0, 0, 1, (float)(2000 / 9999.0), 1}},
        {"48/ring2.dat", "disc { <0,0,0>, <0,1,0>, 3, 2 }", {-3, 0, -3, 3, 0, 3}},
        {"ring10.datx", "disc { <0,0,0>, <0,1,0>, 11, 10 }", {-11, 0, -11, 11, 0, 11}},
        {"ring10.ldr", nullptr, {}},
        {"2-4con5.dat", nullptr, {}},
        {"1-16ring2.dat", nullptr, {}},
        {"t01q5000.dat", nullptr, {}},
        {"ring-5.dat", nullptr, {}},
        {"ring99999999999.dat", nullptr, {}},
        {"x/ring2.dat", nullptr, {}},
    };
    for (const Case& c : cases) {
        const PovEquivEntry* e = FindPovEquiv(c.name, &dyn);
        if (!c.text) {
            EXPECT_EQ(e, nullptr) << c.name;
            continue;
        }
        ASSERT_NE(e, nullptr) << c.name;
        EXPECT_EQ(std::string(e->Text).rfind(c.text, 0), 0u) << c.name << "\n" << e->Text;
        for (int i = 0; i < 6; i++) EXPECT_EQ(e->Box[i], c.box[i]) << c.name << " " << i;
    }
    EXPECT_STREQ(FindPovEquiv("48/ring2.dat", &dyn)->Name, "ring2.dat");
    const PovEquivEntry* first = FindPovEquiv("ring3.dat", &dyn);
    FindPovEquiv("ring5.dat", &dyn);
    EXPECT_STREQ(first->Name, "ring5.dat");  // one buffer: only the last lookup's data
    EXPECT_STREQ(first->Text, "disc { <0,0,0>, <0,1,0>, 6, 5 }");
}

TEST(PrimitiveTable, ListingOfEquivalents) {
    RunResult r = RunTqr({"-pp"});
    EXPECT_EQ(r.status, 0);
    int lines = 0;
    for (char c : r.out) lines += c == '\n';
    EXPECT_EQ(lines, 53 + 12);
    EXPECT_EQ(r.out.rfind("stud.dat\nstud10.dat\n", 0), 0u);
    EXPECT_NE(r.out.find("arm2.dat\nrin[g]N.dat\n"), std::string::npos);
    EXPECT_EQ(r.out.substr(r.out.size() - 13), "t04qFFFF.dat\n");
}
