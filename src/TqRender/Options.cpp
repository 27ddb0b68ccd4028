// The command line of tqr-render: GNU-style long options, the positional arguments, the
// options passed on to tqr after "--", and the usage text.
#include <cstdlib>
#include <cstring>

#include "TqRender/TqRender.h"

namespace tqrender {

namespace {

const char kUsage[] =
    "Usage: tqr-render [options] MODEL [OUT.png] [-- tqr-options...]\n"
    "       tqr-render --assemble [--size WxH] OUT.png BAND.tga...\n"
    "Renders an LDraw model to a PNG picture with tqr and POV-Ray.\n"
    "  --size WxH            picture size in pixels (default 800x600)\n"
    "  --look studio|instructions|plain   studio look, building-instruction pictures (edge\n"
    "                        lines, white page), or tqr's own camera and lights (default studio)\n"
    "  --quality draft|normal|high   render effort (default normal)\n"
    "  --transparent         transparent background (alpha channel)\n"
    "  --force               overwrite pictures that exist\n"
    "  --keep-scene DIR      leave the scene and the include files it needs in DIR\n"
    "  --steps               one frame per building step (OUT-stem-001.png, ...)\n"
    "  --fade                with --steps: the parts of earlier steps faded, new ones in full\n"
    "  --turntable N         N frames orbiting the model\n"
    "  --jobs N              render N frames at once; with --plan, bands of a still\n"
    "  --plan FILE           write independent commands to FILE (run them with parallel < FILE)\n"
    "                        and print the command that assembles the result\n"
    "  --assemble            join the bands of a plan into OUT.png\n"
    "  --help                show this text\n"
    "Options after -- go to tqr unchanged, e.g. -- -ldd/path/to/ldraw -cg30,60\n"
    "OUT defaults to the model's base name with .png in the current directory.\n";

// A whole decimal number in [low, high]; no sign, no trailing text. At most six digits, so
// that atoi cannot overflow before the range is checked.
bool ParseCount(const std::string& text, int low, int high, int* value) {
    if (text.empty() || text.size() > 6) return false;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
    }
    int v = atoi(text.c_str());
    if (v < low || v > high) return false;
    *value = v;
    return true;
}

bool ParseSize(const std::string& text, int* width, int* height) {
    size_t x = text.find_first_of("xX");
    if (x == std::string::npos) return false;
    return ParseCount(text.substr(0, x), 1, kMaxPictureSide, width) &&
           ParseCount(text.substr(x + 1), 1, kMaxPictureSide, height);
}

// What an option does with its value (the empty text for an option without one); false, with
// the reason in *error, for a value it cannot take. What a refused value leaves in the record
// does not matter: the run stops.
using OptionHandler = bool (*)(const std::string& value, RenderOptions* o, std::string* error);

bool SetSize(const std::string& value, RenderOptions* o, std::string* error) {
    o->sizeGiven = true;
    if (ParseSize(value, &o->width, &o->height)) return true;
    *error = "bad --size '" + value + "': expected WIDTHxHEIGHT, e.g. 800x600";
    return false;
}

bool SetLook(const std::string& value, RenderOptions* o, std::string* error) {
    o->look = value == "plain"          ? Look::kPlain
              : value == "instructions" ? Look::kInstructions
                                        : Look::kStudio;
    if (value == "studio" || value == "instructions" || value == "plain") return true;
    *error = "bad --look '" + value + "': expected studio, instructions or plain";
    return false;
}

bool SetQuality(const std::string& value, RenderOptions* o, std::string* error) {
    o->quality = value == "draft"  ? Quality::kDraft
                 : value == "high" ? Quality::kHigh
                                   : Quality::kNormal;
    if (value == "draft" || value == "normal" || value == "high") return true;
    *error = "bad --quality '" + value + "': expected draft, normal or high";
    return false;
}

bool SetKeepScene(const std::string& value, RenderOptions* o, std::string* error) {
    o->keepSceneDir = value;
    if (value.empty()) *error = "--keep-scene needs a non-empty path";
    return !value.empty();
}

bool SetPlan(const std::string& value, RenderOptions* o, std::string* error) {
    o->planFile = value;
    if (value.empty()) *error = "--plan needs a non-empty path";
    return !value.empty();
}

bool SetTurntable(const std::string& value, RenderOptions* o, std::string* error) {
    if (ParseCount(value, 1, kMaxFrames, &o->turntable)) return true;
    *error = "bad --turntable '" + value + "': expected a frame count from 1 to 3600";
    return false;
}

bool SetJobs(const std::string& value, RenderOptions* o, std::string* error) {
    o->jobsGiven = true;
    if (ParseCount(value, 1, 256, &o->jobs)) return true;
    *error = "bad --jobs '" + value + "': expected a number from 1 to 256";
    return false;
}

// Flags: a member set to true.
template <bool RenderOptions::*flag>
bool SetFlag(const std::string&, RenderOptions* o, std::string*) {
    o->*flag = true;
    return true;
}

// A long option by its full name, whether it takes a value (--name=value or --name value), and
// what it does.
struct LongOption {
    const char* name;
    bool needsValue;
    OptionHandler apply;
};

const LongOption kOptions[] = {
    {"size", true, SetSize},
    {"look", true, SetLook},
    {"quality", true, SetQuality},
    {"transparent", false, SetFlag<&RenderOptions::transparent>},
    {"force", false, SetFlag<&RenderOptions::force>},
    {"keep-scene", true, SetKeepScene},
    {"steps", false, SetFlag<&RenderOptions::steps>},
    {"fade", false, SetFlag<&RenderOptions::fade>},
    {"turntable", true, SetTurntable},
    {"jobs", true, SetJobs},
    {"plan", true, SetPlan},
    {"help", false, SetFlag<&RenderOptions::help>},
    {"assemble", false, SetFlag<&RenderOptions::assemble>},
};

// Exact name first, then an unambiguous prefix, as getopt_long allows.
const LongOption* FindOption(const std::string& name, std::string* error) {
    const LongOption* found = nullptr;
    int matches = 0;
    for (const LongOption& option : kOptions) {
        if (name == option.name) return &option;
        if (strncmp(option.name, name.c_str(), name.size()) == 0) {
            found = &option;
            matches++;
        }
    }
    if (matches == 1 && !name.empty()) return found;
    *error = (matches > 1 ? "ambiguous option '--" : "unknown option '--") + name + "'";
    return nullptr;
}

// One "--name[=value]" argument; *index moves past a separate value.
bool ScanLongOption(int argc, char** argv, int* index, RenderOptions* o, std::string* error) {
    std::string arg = argv[*index] + 2;
    size_t equals = arg.find('=');
    std::string name = arg.substr(0, equals);
    const LongOption* option = FindOption(name, error);
    if (!option) return false;
    // An abbreviation gives way to the full name from here on.
    name = option->name;
    if (!option->needsValue) {
        if (equals == std::string::npos) return option->apply("", o, error);
        *error = "option '--" + name + "' takes no value";
        return false;
    }
    std::string value;
    if (equals != std::string::npos) {
        value = arg.substr(equals + 1);
    } else if (*index + 1 < argc) {
        value = argv[++*index];
    } else {
        *error = "option '--" + name + "' needs a value";
        return false;
    }
    return option->apply(value, o, error);
}

// Options after "--" that cannot give a picture are refused before anything runs: tqr would
// otherwise write no scene, or one that POV-Ray stops on, only after the conversion.
std::string RefusedTqrOption(const std::vector<std::string>& tqrOptions) {
    for (const std::string& o : tqrOptions) {
        std::string quoted = "'" + o + "' after \"--\": ";
        if (o.empty() || o[0] != '-')
            return quoted +
                   "tqr-render names the model and the scene itself; give the model "
                   "before \"--\"";
        if (o.rfind("-car", 0) == 0)
            return quoted + "the aspect ratio follows --size; choose the shape with --size";
        for (const char* noScene : {"-ch", "-pc", "-pp", "-tes"}) {
            if (o.rfind(noScene, 0) == 0)
                return quoted + "tqr writes no scene with it, so there is nothing to render";
        }
    }
    return "";
}

bool CheckCombination(const RenderOptions& o, const std::vector<std::string>& positional,
                      std::string* error) {
    if (o.help) return true;
    if (o.assemble) {
        if (positional.size() < 2) *error = "--assemble needs OUT.png and at least one band";
        return positional.size() >= 2;
    }
    if (positional.empty()) *error = "no model given";
    if (positional.size() > 2) *error = "too many arguments ('" + positional[2] + "')";
    if (o.steps && o.turntable) *error = "--steps and --turntable cannot be combined";
    if (o.fade && !o.steps) *error = "--fade needs --steps";
    if (error->empty()) *error = RefusedTqrOption(o.tqrOptions);
    return error->empty();
}

}  // namespace

// The record's scalar fields have no initialisers: the reset zeroes them, then every default is
// set by name, so that this is the one place to read them.
void SetRenderDefaults(RenderOptions* options) {
    *options = RenderOptions{};
    options->width = 800;
    options->height = 600;
    options->sizeGiven = false;
    options->look = Look::kStudio;
    options->quality = Quality::kNormal;
    options->transparent = options->force = options->steps = options->fade = false;
    options->turntable = 0;
    options->jobs = 1;
    options->jobsGiven = options->help = options->assemble = false;
}

bool ParseRenderOptions(int argc, char** argv, RenderOptions* options, std::string* error) {
    SetRenderDefaults(options);
    error->clear();
    std::vector<std::string> positional;
    for (int i = 1; i < argc; i++) {
        std::string arg = argv[i];
        // The rest belongs to tqr, even what looks like our own options.
        if (arg == "--") {
            options->tqrOptions.assign(argv + i + 1, argv + argc);
            break;
        }
        if (arg == "-h") {
            options->help = true;
        } else if (arg.rfind("--", 0) == 0) {
            if (!ScanLongOption(argc, argv, &i, options, error)) return false;
        } else if (arg.size() > 1 && arg[0] == '-') {
            *error = "unknown option '" + arg + "'";
            // "--" starts tqr's options here, so it cannot end ours: such a file needs a path.
            if (arg.find('.') != std::string::npos)
                *error += "; a file whose name starts with '-' is given as ./" + arg;
            return false;
        } else {
            // A lone "-" is a file name like any other (tqr gets it as "./-").
            positional.push_back(arg);
        }
    }
    if (!CheckCombination(*options, positional, error)) return false;
    if (options->assemble) {
        options->out = positional[0];
        options->bands.assign(positional.begin() + 1, positional.end());
    } else if (!positional.empty()) {
        options->model = positional[0];
        options->out = positional.size() > 1 ? positional[1] : DefaultOutputPath(options->model);
    }
    return true;
}

void PrintRenderUsage(FILE* fp) {
    fputs(kUsage, fp);
}

}  // namespace tqrender
