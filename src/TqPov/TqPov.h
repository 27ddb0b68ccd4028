// The scene writer: header and declarations, colours, primitive equivalents, LGEO tables, part and
// replacement declarations, trailer with statistics, automatic camera and lights, and the checked
// text buffer and exact "%g" through which all of them write numbers.
#pragma once

#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "TqInput/TqInput.h"

// ---------------------------------------------------------------- scene text

/// Writes value in decimal as printf("%lu") would; returns the end (terminated).
char* FormatUnsigned(char* out, unsigned long value);
/// Writes value as printf("%g") would (out needs room for 32 characters); returns the end. An
/// infinity or NaN is counted in *nonFinite when given: POV-Ray cannot read what it becomes.
char* FormatG(char* out, double value, long* nonFinite = nullptr);

/// Scene text built in a fixed buffer (the one way writers assemble a line). Every append is
/// checked against the capacity: text that does not fit is cut, and Overflowed() says so, instead
/// of anything being written past the end. Numbers go through FormatG, the fast exact "%g"; a
/// number that is not finite is counted where the buffer was told to count it.
template <size_t N>
class TextBuffer {
public:
    /// A buffer that counts non-finite numbers in *nonFinite (null: not counted).
    explicit TextBuffer(long* nonFinite = nullptr) : nonFinite_(nonFinite) {}
    /// Appends n characters of text.
    TextBuffer& Add(const char* text, size_t n) {
        if (n > N - 1 - used_) {
            n = N - 1 - used_;
            overflowed_ = true;
        }
        memcpy(data_ + used_, text, n);
        used_ += n;
        return *this;
    }
    /// Appends a terminated text.
    TextBuffer& Add(const char* text) { return Add(text, strlen(text)); }
    /// Appends one character.
    TextBuffer& Add(char c) {
        if (used_ < N - 1)
            data_[used_++] = c;
        else
            overflowed_ = true;
        return *this;
    }
    /// Appends a number as "%g".
    TextBuffer& AddG(double value) {
        // Straight into the buffer while there is room for any number, the common case.
        if (N - 1 - used_ >= 32) {
            used_ = (size_t)(FormatG(data_ + used_, value, nonFinite_) - data_);
            return *this;
        }
        char number[32];
        return Add(number, (size_t)(FormatG(number, value, nonFinite_) - number));
    }
    /// Appends a non-negative number as "%lu".
    TextBuffer& AddUnsigned(unsigned long value) {
        char number[24];
        return Add(number, (size_t)(FormatUnsigned(number, value) - number));
    }
    /// Appends a vector as "<%g,%g,%g>".
    TextBuffer& AddVector(const float* v) {
        // One check for the whole vector where it fits for sure (the scene's hottest path).
        if (N - 1 - used_ >= 3 * 32 + 4) {
            char* p = data_ + used_;
            *p++ = '<';
            p = FormatG(p, v[0], nonFinite_);
            *p++ = ',';
            p = FormatG(p, v[1], nonFinite_);
            *p++ = ',';
            p = FormatG(p, v[2], nonFinite_);
            *p++ = '>';
            used_ = (size_t)(p - data_);
            return *this;
        }
        return Add('<').AddG(v[0]).Add(',').AddG(v[1]).Add(',').AddG(v[2]).Add('>');
    }
    /// Keeps the first n characters.
    TextBuffer& Cut(size_t n) {
        if (n < used_) used_ = n;
        return *this;
    }
    /// Starts over, empty.
    TextBuffer& Clear() {
        used_ = 0;
        overflowed_ = false;
        return *this;
    }
    /// The text, terminated.
    const char* c_str() {
        data_[used_] = '\0';
        return data_;
    }
    /// Its length.
    size_t size() const { return used_; }
    /// Writes the text to fp; the length is known, so no terminator or strlen is needed.
    void WriteTo(FILE* fp) const { fwrite(data_, 1, used_, fp); }
    /// True when something did not fit.
    bool Overflowed() const { return overflowed_; }

private:
    char data_[N];             ///< the text: at most N - 1 characters and room for the terminator
    size_t used_ = 0;          ///< characters in data_
    bool overflowed_ = false;  ///< an append was cut short since the last Clear
    long* nonFinite_;          ///< where non-finite numbers are counted, or null
};

/// Writes texts one after another. The writer's hot paths put out many short texts; this skips
/// the parsing of a printf format.
inline void Put(FILE* fp, const char* text) {
    fputs(text, fp);
}
/// Put of several texts.
template <typename... More>
void Put(FILE* fp, const char* text, More... more) {
    fputs(text, fp);
    Put(fp, more...);
}

/// A name, path or line of model text as it may stand in a scene comment or string. A control
/// character there (a line end above all) would end the comment or string and hand the rest of
/// the text to POV-Ray as scene code, so each becomes '?'; a tab stays, it ends nothing. Text
/// without one is used as it is, uncopied. Made for one call: SceneSafe(name).c_str().
class SceneSafe {
public:
    /// Looks at text (null counts as empty) and copies it only when something must change.
    explicit SceneSafe(const char* text);
    SceneSafe(const SceneSafe&) = delete;
    SceneSafe& operator=(const SceneSafe&) = delete;
    /// The text to write: the original, or the copy with '?' for every control character.
    const char* c_str() const { return text_; }

private:
    const char* text_;  ///< what c_str gives
    std::string copy_;  ///< the changed copy, when one was needed
};

/// Identifiers of file names cut to POV-Ray's length limit, kept unique within a scene.
struct CutIdentifiers {
    std::unordered_map<std::string, std::string> byName;  ///< name and suffix -> identifier
    std::unordered_set<std::string> taken;                ///< every cut identifier handed out
};

/// A POV-Ray solid standing for a primitive.
struct PovEquivEntry {
    const char* Name;  ///< primitive file name with ".dat"
    ::BBox Box;        ///< box in the primitive's coordinates
    const char* Text;  ///< POV-Ray text, or "=" + the name of the entry it stands for
};
/// Where a generated equivalent (ring, cone, torus) is made: valid until the next lookup with the
/// same buffer. The longest text, an outer torus, takes about 130 characters; snprintf cuts
/// anything longer.
struct PovEquivBuffer {
    PovEquivEntry entry;   ///< the entry handed out
    char name[kPathSize];  ///< its Name
    char text[416];        ///< its Text
};

/// Element flags, from the letters of the element list's third column.
constexpr unsigned char kLgeoSlope = 0x01;  ///< S: LGEO also has a "_slope" model of the part
constexpr unsigned char kLgeoL = 0x02;      ///< L: an LGEO model exists
constexpr unsigned char kLgeoB = 0x04;      ///< B: a Brenholt model exists

/// One line of the element list.
struct LgeoElmt {
    unsigned char Flags;  ///< kLgeoSlope, kLgeoL, kLgeoB
    char Source;          ///< 'L', 'B' or 0: chosen by the last lookup
    char* DatName;        ///< LDraw name without extension, normalised
    char* LgeoName;       ///< model base name without prefix
};
/// One line of the colour list.
struct LgeoColr {
    int Code;    ///< LDraw colour number
    char* Name;  ///< LGEO colour identifier
};
/// The LGEO element and colour lists of a run, read once with -lgeo or -kv.
struct LgeoTables {
    LgeoElmt* LgeoElmts = nullptr;          ///< the element list, sorted by cmpLgeoElmts
    int nLgeoElmts = 0;                     ///< elements in the list
    int nLgeoElmtsAlloc = 0;                ///< elements allocated
    LgeoColr* LgeoColrs = nullptr;          ///< the colour list in file order
    int nLgeoColrs = 0;                     ///< colours in the list
    int nLgeoColrsAlloc = 0;                ///< colours allocated
    int LgeoTabsRead = 0;                   ///< 1 once the lists have been read
    char LgeoListPaths[2][kPathSize] = {};  ///< paths of the two lists, for the diagnostics
};

/// State of the automatic camera.
struct CameraDataS {
    int Mode;                 ///< 1 location given, 2 globe with radius, 3 automatic fit
    float Radius;             ///< radius from -cg
    float Direction[4];       ///< unit viewing direction towards the model
    int nPoints;              ///< points offered in mode 3
    float PlaneNormal[4][4];  ///< side planes: two along VerAxis, then two along HorAxis
    float PlaneMin[4];        ///< per plane the smallest dot product with any point
    float Sky[4];             ///< sky vector turned by the roll angle
    float HorAxis[4];         ///< unit horizontal screen axis
    float VerAxis[4];         ///< unit vertical screen axis
    float HorMin, HorMax;     ///< extent along HorAxis
    float VerMin, VerMax;     ///< extent along VerAxis
};

/// One light source.
struct LightEntry {
    float Position[4];    ///< latitude, longitude, radius (Globe) or x, y, z
    float Rgb[4];         ///< colour 0..1
    unsigned char Flags;  ///< kLightGlobe
};
/// LightEntry flag: Position holds latitude, longitude and radius (-lg and the default lights).
constexpr unsigned char kLightGlobe = 0x01;

/// An edge line (type 2) of a file, in the file's coordinates.
struct EdgeSegment {
    float a[3], b[3];  ///< its ends
    int colour;        ///< 24 (the edge colour of whatever places the file), 16, or a colour
};
/// A conditional line (type 5): drawn where c and d, seen from the camera, lie on one side of it.
struct ConditionalLine {
    float a[3], b[3];  ///< the line
    float c[3], d[3];  ///< its control points
    int colour;        ///< as EdgeSegment::colour
};
/// The lines of a file and of everything it places, in its own coordinates (-edges).
struct FileEdges {
    std::vector<EdgeSegment> segments;
    std::vector<ConditionalLine> conditionals;
};

/// Writer of extra header lines, with its user data.
typedef void (*PrintPovHeaderExtraFuncT)(FILE* fp, void* userData);

/// The scene writer of one conversion: the records it reads, the scene being written, the state
/// behind the functions that return text (each valid until the function's next call), the
/// counters of the statistics, the camera, the lights and the LGEO tables. A run makes one with
/// its records (InitSceneWriter); PrintPovInit starts every scene with a clean state.
struct FlatPart;

struct SceneWriter {
    TqPovRecord* pov = nullptr;            ///< the scene settings (the test scenes change a few)
    const TqSettings* settings = nullptr;  ///< -v, and the LGEO directory found
    Diagnostics* diag = nullptr;           ///< messages of the writer
    Library* library = nullptr;            ///< TQRPARTS and LGEO files are opened through it
    const ColourTable* colours = nullptr;  ///< colour numbers to RGB
    Model* model = nullptr;                ///< what is being declared
    FILE* PovFp = nullptr;  ///< the scene while it is written (the loader's hooks write into it)

    /// Numbers that FormatG was given although they were infinite or not a number: POV-Ray
    /// cannot read them, so a scene that got one must not count as written. Reset by
    /// PrintPovInit.
    long nNonFiniteNumbers = 0;
    TextBuffer<112> vector{&nNonFiniteNumbers};  ///< PovGGG
    TextBuffer<96> rgb;                          ///< Pov255
    TextBuffer<24> colourName;                   ///< DatColorStr
    TextBuffer<64> colourRef;                    ///< PovColorRef
    TextBuffer<160> stepColourRef;               ///< PovStepColorRef
    TextBuffer<32> finishTag;                    ///< PovFinishTag
    TextBuffer<24> percent;                      ///< PovStatPct
    TextBuffer<160> povName;                     ///< PovName: a file's identifier
    TextBuffer<kTokenMax + 8> lgeoName;          ///< GetLgeoName
    CutIdentifiers cutIdentifiers;               ///< PovName's cut identifiers of this scene
    int declarationDepth = 0;                    ///< PrintPovPart calls around the current one
    PovEquivBuffer dynEquiv;                     ///< the generated equivalent of the last lookup
    /// -cfit: the outline of every declared file but the model, in its own coordinates: the
    /// points of it that lie furthest out in a fixed set of directions, three floats each.
    std::unordered_map<const PartEntry*, std::vector<float>> outlines;
    /// -edges: the lines of every declared part and primitive, recorded before its lines go.
    std::unordered_map<const PartEntry*, FileEdges> edges;
    /// -mesh: flattened parts made ahead of their declaration (PrebuildFlatParts).
    std::unordered_map<const PartEntry*, std::shared_ptr<FlatPart>> prebuilt;

    /// Set once the header is written, so that only the first declaration writes it.
    int PovHeaderPrinted = 0;
    /// Output offset just after the comment header, where PrintPovErrFile starts its banner.
    long PovEndOfHeaderPosition = 0;
    /// Full path of the model file shown in the header; set by PrintPovInit.
    const char* PrintPovHeaderInputFullPath = "";
    /// Optional writer of further header lines (the run's colour file and command line).
    PrintPovHeaderExtraFuncT PrintPovHeaderExtraFunc = nullptr;
    /// Its argument.
    void* PrintPovHeaderExtraUserData = nullptr;

    int nPovTotalFromPARTS = 0;  ///< declarations started for parts (files of PARTS)
    int nPovTotalFromP = 0;      ///< declarations started for primitives (files of P)
    int nPovEquivFromP = 0;      ///< primitives declared as their POV-Ray equivalent
    int nPovLgeoFromP = 0;       ///< primitives declared as the LGEO counterpart of theirs
    int nPovLgeoFromPARTS = 0;   ///< parts declared as LGEO models
    int nPovKvFromPARTS = 0;     ///< parts declared as Brenholt models
    int nPovKvFromP = 0;         ///< primitives declared as Brenholt models: there are none
    int nPovTqrFromPARTS = 0;    ///< parts declared through TQRPARTS files
    int nPovTqrFromP = 0;        ///< primitives declared through TQRPARTS files
    /// Appended to every identifier PovName makes, except a cut one: "", and "_lgeo" in the
    /// scene of -test -lgeo.
    char PovNameSuffix[8] = "";

    LgeoTables lgeo;              ///< the LGEO lists, read once with -lgeo or -kv
    float BBoxCenter[3] = {};     ///< centre of the main model's box, set by the trailer
    CameraDataS CameraData = {};  ///< the automatic camera: set up by PreCalcCamera
    float LookAt[3] = {};         ///< look-at point computed by CalcCamera; 0,0,0 without a camera
    float Location[3] = {};  ///< camera location computed by CalcCamera; 0,0,0 without a camera
    /// The light list: the -lg and -lc options in their order, then the default lights.
    LightEntry* Lights = nullptr;
    int nLights = 0;       ///< lights in the list
    int nLightsAlloc = 0;  ///< lights allocated

    SceneWriter() = default;
    ~SceneWriter();
    SceneWriter(const SceneWriter&) = delete;
    SceneWriter& operator=(const SceneWriter&) = delete;
};

/// Connects a writer to the records of a run.
void InitSceneWriter(SceneWriter* w, TqSettings* settings, Diagnostics* diag, Library* library,
                     const ColourTable* colours, Model* model);
/// Registers the scene writer with the loader: declarations, replacements, camera points.
void ConnectSceneWriter(SceneWriter* w, Loader* loader);
/// Starts a scene: no cut identifiers handed out, no declaration open.
void ResetSceneWriter(SceneWriter* w);

// ---------------------------------------------------------------- header

/// Include kind of PrintPovIncludeFile, recognised by its address, not its text: TqBegin.inc of
/// the TQRPARTS directory, included before the guarded declarations unless -i3b- is given.
extern const char kIncludeTqBegin[];
/// Include kind of PrintPovIncludeFile, recognised by its address: TqEnd.inc of the TQRPARTS
/// directory, included at the end of the scene unless -i3e- is given.
extern const char kIncludeTqEnd[];

/// Writes the comment header and the declarations, once per conversion.
void PrintPovHeader(SceneWriter* w, FILE* fp);
/// Writes all global declarations.
void PrintPovDefines(SceneWriter* w, FILE* fp);
/// Writes a blank line and "//// " + text.
void PrintPovBookmark(FILE* fp, const char* format, ...) TQ_PRINTF(2, 3);
/// n tab characters (0..8).
const char* Tabs(int n);
/// Include line under a bookmark; label kIncludeTqBegin/kIncludeTqEnd looks in TQRPARTS.
void PrintPovIncludeFile(SceneWriter* w, FILE* fp, const char* label, const char* path);
/// Include of an LGEO file name + ".inc", indented by depth tabs.
void PrintPovIncludeLgeo(FILE* fp, int depth, const char* name);

// ---------------------------------------------------------------- colours

/// Reports a scene value that is not a finite number ("The model is too large to frame: …").
void ReportNonFiniteSceneValue(SceneWriter* w);
/// "<%g,%g,%g>".
const char* PovGGG(SceneWriter* w, const float* v);
/// "%g,%g,%g" of each component times 255.
const char* Pov255(SceneWriter* w, const float* rgb);
/// "_slope" or "".
const char* SlopeSuffix(int slope);
/// "_clear" or "".
const char* ClearSuffix(int clear);
/// Scene name of a colour number: decimal, or 0x%08lX for direct colours.
const char* DatColorStr(SceneWriter* w, int colour);
/// "material { TqColor<name><suffix> }".
const char* PovColorRef(SceneWriter* w, int colour, int slope);
/// Finish name of a finish index: Opaque, Chrome, ..., Transparent.
const char* PovFinishTag(SceneWriter* w, int finish);
/// Writes one texture macro call and end after it; 1 when transparent or luminous.
int PrintPovColorTexture(SceneWriter* w, FILE* fp, const float* rgb, unsigned attributes,
                         const char* end = "\n");
/// Writes the declaration group of one colour.
void PrintPovColor(SceneWriter* w, FILE* fp, int colour);
/// Declares every used colour not yet written.
void PrintUsedColors(SceneWriter* w, FILE* fp);

// ---------------------------------------------------------------- primitive equivalents

/// Number of fixed equivalents.
constexpr int kPovEquivCount = 53;
/// The fixed table.
extern const PovEquivEntry PovEquivs[kPovEquivCount];

/// Equivalent of a primitive name (lower case), or null; a generated one is made in dyn.
const PovEquivEntry* FindPovEquiv(const char* name, PovEquivBuffer* dyn);
/// What the solid standing for a primitive fills of its box.
enum class PovEquivShape {
    kBox,    ///< its corners, or not known (box, ndis, pins, arms)
    kRound,  ///< what lies within the cylinder about the y axis that touches the box's sides
    kBall,   ///< what lies within the ball about the origin that touches the box's sides
};
/// The shape of the solid standing for a primitive, by the primitive's name.
PovEquivShape PovEquivShapeOf(const char* name);
/// LGEO object text standing for an equivalent's primitive, or null.
const char* FindLgeoEquiv(const char* name);
/// Lists the primitives with equivalents (-pp).
void PrintPovEquivsList(FILE* fp);
/// Test objects for one primitive; 0, or -1 without an equivalent.
int PrintPovEquivTest(SceneWriter* w, FILE* fp, const char* name);
/// The all-equivalents test scene; has no content.
int MakePovEquivPovfile();

// ---------------------------------------------------------------- LGEO tables

/// "lg_elements.lst", "lg_colors.lst".
extern const char* const LgeoFilenames[2];

/// Element order: leading number, then bytes.
int cmpLgeoElmts(const void* a, const void* b);
/// Opens list index (0 elements, 1 colours) in the LGEO directory; path left in pathBuf.
FILE* OpenLgeoLst(SceneWriter* w, int index, char* pathBuf);
/// Reads the lines of list index (0 elements, 1 colours) from an open stream; -1 when a table
/// could not grow.
int ReadLgeoListStream(SceneWriter* w, int index, FILE* fp);
/// Reads both lists; 0 ok, -1 otherwise.
int ReadLgeoTabs(SceneWriter* w);
/// Element for a part file name with the source chosen from ReplaceOrder; null when none or when
/// wanted ('L'/'B') differs from the chosen source.
LgeoElmt* FindLgeoElmt(SceneWriter* w, const char* name, int wanted);
/// "lg_" or "kv_" + LgeoName.
const char* GetLgeoName(SceneWriter* w, const LgeoElmt* elmt);
/// LGEO colour name of a colour number, or null.
const char* FindLgeoColr(const SceneWriter* w, int colour);
/// Prints both tables (-d).
void PrintLgeoTabs(SceneWriter* w, FILE* fp);
/// Frees both tables.
void FreeLgeoTabs(LgeoTables* tables);
/// Writes the LGEO element test scene.
int PrintPovLgeoTest(SceneWriter* w, FILE* fp);

// ---------------------------------------------------------------- part declarations

/// What was written for a part.
enum PovStateValue : unsigned char {
    kPovNotWritten = 0,  ///< not visited yet
    kPovEmpty,           ///< being written, or written without members: nothing is declared
    kPovNormal,          ///< converted from its LDraw lines
    kPovEquiv,           ///< a POV-Ray equivalent of a primitive
    kPovTqrParts,        ///< a TQRPARTS include file
    kPovLgeo,            ///< an LGEO model
    kPovKv               ///< a Brenholt model
};
/// Which side of a declaration PrintPovPartXxtro writes.
enum XxtroSide : int {
    kOutro = 0,  ///< the closing #end
    kIntro = 1   ///< the bookmark and the #ifndef
};

/// True when part is written flattened into meshes: a library file in the -mesh mode.
bool FlattensPart(const SceneWriter* w, const PartEntry* part);
/// Writes part, with every sub-file and primitive it uses, as one mesh per colour with smooth
/// normals (-mesh); made now unless PrebuildFlatParts made it.
void DeclareFlatPart(SceneWriter* w, FILE* fp, PartEntry* part, int isModel);
/// Makes the meshes of parts about to be flattened side by side, on the machine's processors,
/// for DeclareFlatPart to write. Each part is made alone: the scene is the same.
void PrebuildFlatParts(SceneWriter* w, const std::vector<const PartEntry*>& parts);
/// Writes part's declaration (and those of sub-files not yet declared).
void PrintPovPart(SceneWriter* w, FILE* fp, PartEntry* part, int isModel);
/// POV-Ray identifier of a file name; names cut to fit POV-Ray's limit stay unique in a scene, and
/// a name that would be a reserved word ("box") gets a leading "_".
const char* PovName(SceneWriter* w, const char* name);
/// True for a word POV-Ray reserves (only those without an underscore are known).
bool IsPovReservedWord(const char* identifier);
/// "matrix <...>" of a type 1 line, no line end.
void PrintPovMatrix(SceneWriter* w, FILE* fp, const LineEntry* line);
/// Seam matrix of part with the width text, and a line end.
void PrintPovSeamMatrix(SceneWriter* w, FILE* fp, const PartEntry* part, const char* width);
/// The seam matrix of PrintPovSeamMatrix appended to text, without the line end.
void AddSeamMatrix(SceneWriter* w, TextBuffer<512>* text, const PartEntry* part, const char* width);
/// True when the reference line in part places a part that gets a seam.
bool NeedsSeam(const PartEntry* part, const LineEntry* line);
/// One triangle of a type 3/4 line starting at corner first.
void PrintPovPartTriangle(SceneWriter* w, FILE* fp, const LineEntry* line, int first);
/// Closes the current clock condition and with open starts the next.
void PrintPovPartStep(FILE* fp, int* counter, int open);
/// Intro (bookmark and #ifndef) or outro (#end).
void PrintPovPartXxtro(SceneWriter* w, FILE* fp, const PartEntry* part, int isModel,
                       XxtroSide side);
/// "// title" from the part's first line.
void PrintPovPartFirstLineComment(FILE* fp, const PartEntry* part);
/// Comment text of a type 0 line, else "".
const char* GetDatComment(const LineEntry* line);
/// The line in LDraw syntax and a line end.
void PrintDatLine(SceneWriter* w, FILE* fp, const LineEntry* line);

// ---------------------------------------------------------------- trailer

/// Prepares the scene writer; 0, or -1 when the LGEO tables could not be read.
int PrintPovInit(SceneWriter* w, const char* modelPath, PrintPovHeaderExtraFuncT extra,
                 void* userData);
/// How the trailer ended a scene.
enum class TrailerResult {
    kWritten,    ///< the scene is complete
    kFailed,     ///< the load failed or a value could not be written: the error banner
    kEmptyModel  ///< nothing to draw: the "Empty model" banner
};
/// Writes everything after the last declaration; with loaded false the error banner instead.
TrailerResult PrintPovTrailer(SceneWriter* w, FILE* fp, bool loaded);
/// Writes the model object.
void PrintPovModel(SceneWriter* w, FILE* fp);
/// Overwrites the scene after the header with an error banner; returns result.
TrailerResult PrintPovErrFile(SceneWriter* w, FILE* fp, TrailerResult result);
/// "(%d%%)" of a in b, rounded.
const char* PovStatPct(SceneWriter* w, int a, int b);
/// Writes the statistics with a line prefix.
int PrintPovStatistics(SceneWriter* w, FILE* fp, const char* prefix);

// ---------------------------------------------------------------- camera

/// Fills CameraData from the settings.
void PreCalcCamera(SceneWriter* w);
/// Offers a point of the main model (mode 3 only).
void CalcCameraAddPoint(SceneWriter* w, const float* point);
/// Offers the eight corners of the model box when no point was offered.
void CalcCameraAddBoxCorners(SceneWriter* w, const float* box);
/// Computes LookAt and Location and writes the camera; -1 when no camera can be placed (reported).
int CalcCamera(SceneWriter* w, FILE* fp);
/// What a walk over points calls for each point (three floats).
using PointVisitor = std::function<void(const float*)>;
/// -cfit: records the outline of a part or primitive about to be declared (its lines and those
/// of the files it references are still there) in the writer's outlines.
void RecordOutline(SceneWriter* w, const PartEntry* entry);
/// -cfit: visits the outline points of every part placed in the model, through all levels of
/// sub-models, and the points of the surfaces drawn in the model itself, in model coordinates;
/// returns how many there were.
size_t ForEachPlacedPoint(const SceneWriter* w, const PartEntry* model, const PointVisitor& visit);
/// -cfit: moves location across the viewing direction (sky is up) until the projection of the
/// placed parts is centred in the picture; its distance along the direction stays.
void CentreOnPlacedParts(const SceneWriter* w, const PartEntry* model, const float* direction,
                         const float* sky, float* location);

// ---------------------------------------------------------------- edge lines

/// -edges: records the edge and conditional lines of a part or primitive about to be declared,
/// with those of every file it places (recorded earlier, or read now while their lines are
/// there), colours resolved as far as the file decides them.
void RecordEdges(SceneWriter* w, const PartEntry* entry);
/// -edges: writes the line objects of every part placed in the model, through all levels of
/// sub-models, after the camera: the conditional lines drawn are those that are silhouettes
/// for the scene's camera. A value that is not a finite number is counted as the writer's others
/// are, for the trailer's check.
void PrintPovEdges(SceneWriter* w, FILE* fp);
/// True when the line is a conditional line that the camera at location sees as a silhouette:
/// its control points, transformed by m and projected, lie strictly on one side of it.
bool ConditionalLineShows(const float* m, const ConditionalLine& line, const float* location,
                          const float* lookAt);
/// -sf: a placement's material in a declaration with clock conditions at steps: the faded
/// colour once the step of the placement (section, 0 before the first STEP) is over.
const char* PovStepColorRef(SceneWriter* w, int colour, int slope, int section);
/// -sf: RGB of a colour mixed with the fade's share of white.
void FadeRgb(const SceneWriter* w, const float* rgb, float* faded);

// ---------------------------------------------------------------- lights

/// New zero-filled light at the end of the list, or null (reported).
LightEntry* AddLight(SceneWriter* w);
/// Appends the three default lights when due; 0 ok, -1 out of memory.
int AddDefaultLights(SceneWriter* w);
/// Writes every light; -1 (reported, nothing written) when a position is not a finite number.
int CalcLights(SceneWriter* w, FILE* fp);

// ---------------------------------------------------------------- replacements

/// "\ttransform TqLgeoToLDraw\n".
extern const char MatrixLgeo2LDraw[];

/// The TQRPARTS include file of an LDraw name, opened, or null.
FILE* FindTqrPart(Library* lib, const char* name);
/// Declares part through its TQRPARTS file; 1 done, 0 not.
int PrintPovPartTqrPart(SceneWriter* w, FILE* fp, PartEntry* part, int isModel);
/// Declares part as a POV-Ray equivalent; 1 done, 0 not.
int PrintPovPartPovEquiv(SceneWriter* w, FILE* fp, PartEntry* part, int isModel);
/// Declares part from the LGEO library, source 'L' or 'B'; 1 done, 0 not.
int PrintPovPartLgeo(SceneWriter* w, FILE* fp, PartEntry* part, int isModel, int source);
