// Names with the real programs: a picture gets exactly the name asked for, whatever its
// characters and length, wherever the private directory and the look lie, and nothing else is
// left; names that go into POV-Ray commands the user runs by hand (a plan's, a kept scene's) are
// refused before anything is written when POV-Ray cannot take them.
#include <filesystem>

#include "TqRender/RenderTestSupport.h"
#include "TqRender/TqRender.h"

namespace fs = std::filesystem;

namespace {

class TqRenderNames : public SharedModelRender {
protected:
    // Every file and directory under dir, relative to it, sorted.
    std::vector<std::string> Tree(const std::string& dir) {
        std::vector<std::string> names;
        for (const auto& entry : fs::recursive_directory_iterator(dir))
            names.push_back(fs::relative(entry.path(), dir).string());
        std::sort(names.begin(), names.end());
        return names;
    }
    std::string car_ = SharedModelsDir() + "/car.ldr";
};

}  // namespace

TEST_F(TqRenderNames, EveryPictureNameIsWrittenExactlyAndNothingElseIsLeft) {
    std::string look = work_ / "look d\xc3\xa9 \"q";
    fs::copy(SourceDir() + "/pov", look);
    std::string oddTmp = tmp_ / "tmp d\xc3\xa9 \"q";
    fs::create_directories(oddTmp);
    const struct {
        const char* what;
        std::string model;              // "" = the shared car
        std::string out;                // "" = the model's default
        std::vector<std::string> tree;  // what the case's directory holds afterwards
        std::map<std::string, std::string> env;
        bool povrayIni;
    } kCases[] = {
        {"an upper-case extension", "", "y.PNG", {"y.PNG"}, {}, false},
        {"another extension", "", "x.jpg", {"x.jpg"}, {}, false},
        {"non-ASCII folder and name",
         "",
         "d\xc3\xa9j\xc3\xa0/\xc3\xb6.png",
         {"d\xc3\xa9j\xc3\xa0", "d\xc3\xa9j\xc3\xa0/\xc3\xb6.png"},
         {},
         false},
        {"a backslash", "", "back\\slash.png", {"back\\slash.png"}, {}, false},
        {"a double quote", "", "say \"cheese\".png", {"say \"cheese\".png"}, {}, false},
        {"244 characters",
         "",
         std::string(240, 'a') + ".png",
         {std::string(240, 'a') + ".png"},
         {},
         false},
        {"a model named like an option", "./-dash.ldr", "", {"-dash.ldr", "-dash.png"}, {}, false},
        {"TMPDIR with a quote and non-ASCII", "", "t.png", {"t.png"}, {{"TMPDIR", oddTmp}}, false},
        {"TQR_POV_DIR with a quote and non-ASCII",
         "",
         "l.png",
         {"l.png"},
         {{"TQR_POV_DIR", look}},
         false},
        {"a povray.ini in the current directory", "", "i.png", {"i.png", "povray.ini"}, {}, true},
    };
    int n = 0;
    for (const auto& c : kCases) {
        std::string name = "case" + std::to_string(++n);
        std::string dir = work_.MakeDir(name);
        if (!c.model.empty()) fs::copy_file(car_, dir + "/" + c.model);
        fs::create_directories(dir + "/" + tqrender::DirName(c.out));
        // Frames and file names of POV-Ray's own: a second frame, another output name.
        if (c.povrayIni)
            work_.Write(name + "/povray.ini", "Final_Frame=2\nOutput_File_Name=elsewhere.png\n");
        std::vector<std::string> args = {"--size=32x24", "--quality=draft",
                                         c.model.empty() ? car_ : c.model};
        if (!c.out.empty()) args.push_back(c.out);
        args.insert(args.end(), {"--", SharedLibraryOption()});
        std::map<std::string, std::string> env = env_;
        for (const auto& [key, value] : c.env) env[key] = value;
        RenderRun r = RunTqrRender(args, dir, env);
        EXPECT_EQ(r.status, 0) << c.what << "\n" << r.err;
        std::string picture = c.out.empty() ? tqrender::DefaultOutputPath(c.model) : c.out;
        EXPECT_EQ(r.out, picture + "\n") << c.what;
        EXPECT_EQ(PngSize(dir + "/" + picture), std::make_pair(32, 24)) << c.what;
        EXPECT_EQ(Tree(dir), c.tree) << c.what;
        EXPECT_TRUE(Tree(oddTmp).empty()) << c.what;
    }
    EXPECT_EQ(ListDir(tmp_.Path()), std::vector<std::string>{fs::path(oddTmp).filename()});
}

TEST_F(TqRenderNames, NamesPovrayCannotTakeAreRefusedBeforeAPlanOrAKeptSceneIsWritten) {
    const struct {
        std::vector<std::string> args;
        const char* reason;
    } kCases[] = {
        {{"--plan", "p/jobs.txt", car_, "\xc3\xb6.png"}, "outside ASCII"},
        {{"--plan", "p/jobs.txt", car_, "back\\slash.png"}, "a backslash"},
        {{"--plan", "p/jobs.txt", car_, "q\"uote.png"}, "a '\"'"},
        {{"--plan", "p/jobs.txt", car_, std::string(240, 'a') + ".png"}, "longer than 200"},
        {{"--plan", "p\xc3\xa9/jobs.txt", car_}, "outside ASCII"},
        {{"--keep-scene", "k\xc3\xa9", car_}, "outside ASCII"},
        {{"--keep-scene", "k", car_, "\xc3\xb6.png"}, "outside ASCII"},
    };
    for (const auto& c : kCases) {
        std::vector<std::string> args = c.args;
        args.insert(args.begin(), {"--size=32x24", "--quality=draft"});
        args.insert(args.end(), {"--", SharedLibraryOption()});
        RenderRun r = RunTqrRender(args, work_.Path(), env_);
        EXPECT_EQ(r.status, 1) << c.reason << "\n" << r.err;
        EXPECT_NE(r.err.find("POV-Ray cannot take"), std::string::npos) << r.err;
        EXPECT_NE(r.err.find(c.reason), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "") << c.reason;
        EXPECT_TRUE(ListDir(work_.Path()).empty()) << c.reason;
        fs::remove_all(work_.Path());
        fs::create_directories(work_.Path());
    }
}

TEST(TqRenderNameRules, WhatPovrayTakesAndHowNamesAreHandedOn) {
    const struct {
        std::string path;
        const char* problem;
    } kCases[] = {
        {"plan/car-band-01-of-08-0a1b2c3d.tga", ""},
        {"my pictures/it's (1) & $HOME;#%.png", ""},
        {"\xc3\xb6.png", "outside ASCII"},
        {"a\\b.png", "backslash"},
        {"a\"b.png", "'\"'"},
        {"a\nb.png", "control character"},
        {"a\tb.png", "control character"},
        {std::string(200, 'a'), ""},
        {std::string(201, 'a'), "longer than 200"},
    };
    for (const auto& c : kCases) {
        std::string problem = tqrender::PovrayNameProblem(c.path);
        EXPECT_EQ(problem.empty(), !*c.problem) << c.path << ": " << problem;
        EXPECT_NE(problem.find(c.problem), std::string::npos) << c.path << ": " << problem;
    }
    EXPECT_EQ(tqrender::ArgumentPath("-o.gif"), "./-o.gif");
    EXPECT_EQ(tqrender::ArgumentPath("dir/-o.gif"), "dir/-o.gif");
    // The partial name is one POV-Ray can write, short, and differs between frames.
    std::string longStem = std::string(300, 'x');
    std::string a = tqrender::PartialPath("d/" + longStem + "-001.png", ".png");
    std::string b = tqrender::PartialPath("d/" + longStem + "-002.png", ".png");
    EXPECT_NE(a, b);
    for (const std::string& partial :
         {a, tqrender::PartialPath("d\xc3\xa9/\xc3\xb6 \"\\.PNG", ".png")}) {
        std::string name = tqrender::BaseName(partial);
        EXPECT_EQ(tqrender::PovrayNameProblem(name), "") << partial;
        EXPECT_LT(name.size(), 80u) << partial;
        EXPECT_EQ(name.substr(name.size() - 4), ".png") << partial;
    }
}
