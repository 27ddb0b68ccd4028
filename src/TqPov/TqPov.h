// The scene writer: header and declarations, colours, primitive equivalents, LGEO tables, part and
// replacement declarations, trailer with statistics, automatic camera and lights, and the checked
// text buffer and exact "%g" through which all of them write numbers.
#pragma once

#include <cstdio>
#include <cstring>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "TqInput/TqInput.h"

/// The scene file while it is being written (the loader's hooks write into it); null otherwise.
extern FILE* PovFp;
/// Registers the scene writer with the loader: declarations, replacements, camera points.
void ConnectSceneWriter();

// ---------------------------------------------------------------- scene text

/// Writes value in decimal as printf("%lu") would; returns the end (terminated).
char* FormatUnsigned(char* out, unsigned long value);
/// Writes value as printf("%g") would (out needs room for 32 characters); returns the end.
char* FormatG(char* out, double value);

/// Scene text built in a fixed buffer (the one way writers assemble a line). Every append is
/// checked against the capacity: text that does not fit is cut, and Overflowed() says so, instead
/// of anything being written past the end. Numbers go through FormatG, the fast exact "%g".
template <size_t N>
class TextBuffer {
public:
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
            used_ = (size_t)(FormatG(data_ + used_, value) - data_);
            return *this;
        }
        char number[32];
        return Add(number, (size_t)(FormatG(number, value) - number));
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
            p = FormatG(p, v[0]);
            *p++ = ',';
            p = FormatG(p, v[1]);
            *p++ = ',';
            p = FormatG(p, v[2]);
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
};

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

/// The scene writer's working state: the buffers behind the functions that return text (each
/// valid until the function's next call), the cut identifiers handed out and the nesting of
/// declarations. PrintPovInit starts every scene with a clean record.
struct SceneWriterState {
    TextBuffer<112> vector;              ///< PovGGG
    TextBuffer<96> rgb;                  ///< Pov255
    TextBuffer<24> colourName;           ///< DatColorStr
    TextBuffer<64> colourRef;            ///< PovColorRef
    TextBuffer<32> finishTag;            ///< PovFinishTag
    TextBuffer<24> percent;              ///< PovStatPct
    TextBuffer<160> povName;             ///< PovName: a file's identifier
    TextBuffer<kTokenMax + 8> lgeoName;  ///< GetLgeoName
    CutIdentifiers cutIdentifiers;       ///< PovName's cut identifiers of this scene
    int declarationDepth;                ///< PrintPovPart calls around the current one
};
/// The scene writer's state.
extern SceneWriterState SceneWriter;
/// Starts a scene: no cut identifiers handed out, no declaration open.
void ResetSceneWriter();

// ---------------------------------------------------------------- header

/// Writer of extra header lines, with its user data.
typedef void (*PrintPovHeaderExtraFuncT)(FILE* fp, void* userData);

/// Set once the header is written, so that only the first declaration writes it; cleared by
/// PrintPovInit; 0.
extern int PovHeaderPrinted;
/// Output offset just after the comment header, where PrintPovErrFile starts its banner; 0.
extern long PovEndOfHeaderPosition;
/// Full path of the model file shown in the header; set by PrintPovInit; "".
extern const char* PrintPovHeaderInputFullPath;
/// Optional writer of further header lines (the run's colour file and command line); set by
/// PrintPovInit; null.
extern PrintPovHeaderExtraFuncT PrintPovHeaderExtraFunc;
/// Its argument; null.
extern void* PrintPovHeaderExtraUserData;
/// Include kind of PrintPovIncludeFile, recognised by its address, not its text: TqBegin.inc of
/// the TQRPARTS directory, included before the guarded declarations unless -i3b- is given.
extern const char kIncludeTqBegin[];
/// Include kind of PrintPovIncludeFile, recognised by its address: TqEnd.inc of the TQRPARTS
/// directory, included at the end of the scene unless -i3e- is given.
extern const char kIncludeTqEnd[];

/// Writes the comment header and the declarations, once per conversion.
void PrintPovHeader(FILE* fp);
/// Writes all global declarations.
void PrintPovDefines(FILE* fp);
/// Writes a blank line and "//// " + text.
void PrintPovBookmark(FILE* fp, const char* format, ...) TQ_PRINTF(2, 3);
/// n tab characters (0..8).
const char* Tabs(int n);
/// Include line under a bookmark; label kIncludeTqBegin/kIncludeTqEnd looks in TQRPARTS.
void PrintPovIncludeFile(FILE* fp, const char* label, const char* path);
/// Include of an LGEO file name + ".inc", indented by depth tabs.
void PrintPovIncludeLgeo(FILE* fp, int depth, const char* name);

// ---------------------------------------------------------------- colours

/// Numbers that FormatG was given although they were infinite or not a number: POV-Ray cannot
/// read them, so a scene that got one must not count as written. Reset by PrintPovInit; 0.
extern long nNonFiniteNumbers;
/// Reports a scene value that is not a finite number ("The model is too large to frame: …").
void ReportNonFiniteSceneValue();
/// "<%g,%g,%g>".
const char* PovGGG(const float* v);
/// "%g,%g,%g" of each component times 255.
const char* Pov255(const float* rgb);
/// "_slope" or "".
const char* SlopeSuffix(int slope);
/// "_clear" or "".
const char* ClearSuffix(int clear);
/// Scene name of a colour number: decimal, or 0x%08lX for direct colours.
const char* DatColorStr(int colour);
/// "material { TqColor<name><suffix> }".
const char* PovColorRef(int colour, int slope);
/// Finish name of a finish index: Opaque, Chrome, ..., Transparent.
const char* PovFinishTag(int finish);
/// Writes one texture macro call; 1 when transparent or luminous.
int PrintPovColorTexture(FILE* fp, const float* rgb, unsigned attributes);
/// Writes the declaration group of one colour.
void PrintPovColor(FILE* fp, int colour);
/// Declares every used colour not yet written.
void PrintUsedColors(FILE* fp);

// ---------------------------------------------------------------- primitive equivalents

/// A POV-Ray solid standing for a primitive.
struct PovEquivEntry {
    const char* Name;  ///< primitive file name with ".dat"
    ::BBox Box;        ///< box in the primitive's coordinates
    const char* Text;  ///< POV-Ray text, or "=" + the name of the entry it stands for
};
/// Number of fixed equivalents.
constexpr int kPovEquivCount = 53;
/// The fixed table.
extern const PovEquivEntry PovEquivs[kPovEquivCount];
/// Overwritten by every generated equivalent (ring, cone, torus); valid until the next lookup.
extern PovEquivEntry DynPovEquiv;

/// Equivalent of a primitive name (lower case), or null.
const PovEquivEntry* FindPovEquiv(const char* name);
/// LGEO object text standing for an equivalent's primitive, or null.
const char* FindLgeoEquiv(const char* name);
/// Lists the primitives with equivalents (-pp).
void PrintPovEquivsList(FILE* fp);
/// Test objects for one primitive; 0, or -1 without an equivalent.
int PrintPovEquivTest(FILE* fp, const char* name);
/// The all-equivalents test scene; has no content.
int MakePovEquivPovfile();

// ---------------------------------------------------------------- LGEO tables

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

/// The element list, sorted by cmpLgeoElmts; read once with -lgeo or -kv; null.
extern LgeoElmt* LgeoElmts;
/// Elements in the list; 0.
extern int nLgeoElmts;
/// Elements allocated; 0.
extern int nLgeoElmtsAlloc;
/// The colour list in file order; read once with -lgeo or -kv; null.
extern LgeoColr* LgeoColrs;
/// Colours in the list; 0.
extern int nLgeoColrs;
/// Colours allocated; 0.
extern int nLgeoColrsAlloc;
/// "lg_elements.lst", "lg_colors.lst".
extern const char* const LgeoFilenames[2];

/// Element order: leading number, then bytes.
int cmpLgeoElmts(const void* a, const void* b);
/// Opens list index (0 elements, 1 colours) in the LGEO directory; path left in pathBuf.
FILE* OpenLgeoLst(int index, char* pathBuf);
/// Reads the lines of list index (0 elements, 1 colours) from an open stream; -1 when a table
/// could not grow.
int ReadLgeoListStream(int index, FILE* fp);
/// Reads both lists; 0 ok, -1 otherwise.
int ReadLgeoTabs();
/// Element for a part file name with the source chosen from ReplaceOrder; null when none or when
/// wanted ('L'/'B') differs from the chosen source.
LgeoElmt* FindLgeoElmt(const char* name, int wanted);
/// "lg_" or "kv_" + LgeoName.
const char* GetLgeoName(const LgeoElmt* elmt);
/// LGEO colour name of a colour number, or null.
const char* FindLgeoColr(int colour);
/// Prints both tables (-d).
void PrintLgeoTabs();
/// Frees both tables.
void FreeLgeoTabs();
/// Writes the LGEO element test scene.
int PrintPovLgeoTest(FILE* fp);

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

/// Declarations started for parts (files of PARTS); reset by PrintPovInit; 0.
extern int nPovTotalFromPARTS;
/// Declarations started for primitives (files of P); reset by PrintPovInit; 0.
extern int nPovTotalFromP;
/// Appended to every identifier PovName makes, except a cut one: "", and "_lgeo" in the scene of
/// -test -lgeo.
extern char PovNameSuffix[8];

/// Writes part's declaration (and those of sub-files not yet declared).
void PrintPovPart(FILE* fp, PartEntry* part, int isModel);
/// POV-Ray identifier of a file name; names cut to fit POV-Ray's limit stay unique in a scene, and
/// a name that would be a reserved word ("box") gets a leading "_".
const char* PovName(const char* name);
/// True for a word POV-Ray reserves (only those without an underscore are known).
bool IsPovReservedWord(const char* identifier);
/// "matrix <...>" of a type 1 line, no line end.
void PrintPovMatrix(FILE* fp, const LineEntry* line);
/// Seam matrix of part with the width text, and a line end.
void PrintPovSeamMatrix(FILE* fp, const PartEntry* part, const char* width);
/// One triangle of a type 3/4 line starting at corner first.
void PrintPovPartTriangle(FILE* fp, const LineEntry* line, int first);
/// Closes the current clock condition and with open starts the next.
void PrintPovPartStep(FILE* fp, int* counter, int open);
/// Intro (bookmark and #ifndef) or outro (#end).
void PrintPovPartXxtro(FILE* fp, const PartEntry* part, int isModel, int intro);
/// "// title" from the part's first line.
void PrintPovPartFirstLineComment(FILE* fp, const PartEntry* part);
/// Comment text of a type 0 line, else "".
const char* GetDatComment(const LineEntry* line);
/// The line in LDraw syntax and a line end.
void PrintDatLine(FILE* fp, const LineEntry* line);

// ---------------------------------------------------------------- trailer

/// Primitives declared as their POV-Ray equivalent; reset by PrintPovInit; 0.
extern int nPovEquivFromP;
/// Primitives declared as the LGEO counterpart of their equivalent (-lgeo); reset by
/// PrintPovInit; 0.
extern int nPovLgeoFromP;
/// Parts declared as LGEO models (-lgeo); reset by PrintPovInit; 0.
extern int nPovLgeoFromPARTS;
/// Parts declared as Brenholt models (-kv); 0, not reset by PrintPovInit.
extern int nPovKvFromPARTS;
/// Primitives declared as Brenholt models: there are none, so it stays 0 (a column of the
/// statistics).
extern int nPovKvFromP;
/// Parts declared through TQRPARTS files; reset by PrintPovInit; 0.
extern int nPovTqrFromPARTS;
/// Primitives declared through TQRPARTS files; reset by PrintPovInit; 0.
extern int nPovTqrFromP;
/// 1 once the LGEO tables have been read: they are read once per process; 0.
extern int LgeoTabsRead;
/// Centre of the main model's box, set by the trailer before the camera and lights use it.
extern float BBoxCenter[3];

/// Prepares the scene writer; 0, or -1 when the LGEO tables could not be read.
int PrintPovInit(const char* modelPath, PrintPovHeaderExtraFuncT extra, void* userData);
/// Writes everything after the last declaration; 0, -1 error, -2 empty model.
int PrintPovTrailer(FILE* fp, int loadResult);
/// Writes the model object.
void PrintPovModel(FILE* fp);
/// Overwrites the scene after the header with an error banner; returns code.
int PrintPovErrFile(FILE* fp, int code);
/// "(%d%%)" of a in b, rounded.
const char* PovStatPct(int a, int b);
/// Writes the statistics with a line prefix.
int PrintPovStatistics(FILE* fp, const char* prefix);

// ---------------------------------------------------------------- camera

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
/// The automatic camera: set up by PreCalcCamera, widened by CalcCameraAddPoint.
extern CameraDataS CameraData;
/// Look-at point computed by CalcCamera; stays 0,0,0 without a camera (-ic).
extern float LookAt[3];
/// Camera location computed by CalcCamera; stays 0,0,0 without a camera (-ic).
extern float Location[3];

/// Fills CameraData from the settings.
void PreCalcCamera();
/// Offers a point of the main model (mode 3 only).
void CalcCameraAddPoint(const float* point);
/// Offers the eight corners of the model box when no point was offered.
void CalcCameraAddBoxCorners(const float* box);
/// Computes LookAt and Location and writes the camera; -1 when no camera can be placed (reported).
int CalcCamera(FILE* fp);

// ---------------------------------------------------------------- lights

/// One light source.
struct LightEntry {
    float Position[4];    ///< latitude, longitude, radius (Globe) or x, y, z
    float Rgb[4];         ///< colour 0..1
    unsigned char Flags;  ///< kLightGlobe
};
/// LightEntry flag: Position holds latitude, longitude and radius (-lg and the default lights).
constexpr unsigned char kLightGlobe = 0x01;

/// The light list: the -lg and -lc options in their order, then the default lights; null.
extern LightEntry* Lights;
/// Lights in the list; 0.
extern int nLights;
/// Lights allocated; 0.
extern int nLightsAlloc;

/// New zero-filled light at the end of the list, or null (reported).
LightEntry* AddLight();
/// Appends the three default lights when due; 0 ok, -1 out of memory.
int AddDefaultLights();
/// Writes every light; -1 (reported, nothing written) when a position is not a finite number.
int CalcLights(FILE* fp);

// ---------------------------------------------------------------- replacements

/// "\ttransform TqLgeoToLDraw\n".
extern const char MatrixLgeo2LDraw[];

/// The TQRPARTS include file of an LDraw name, opened, or null.
FILE* FindTqrPart(const char* name);
/// Declares part through its TQRPARTS file; 1 done, 0 not.
int PrintPovPartTqrPart(FILE* fp, PartEntry* part, int isModel);
/// Declares part as a POV-Ray equivalent; 1 done, 0 not.
int PrintPovPartPovEquiv(FILE* fp, PartEntry* part, int isModel);
/// Declares part from the LGEO library, source 'L' or 'B'; 1 done, 0 not.
int PrintPovPartLgeo(FILE* fp, PartEntry* part, int isModel, int source);
