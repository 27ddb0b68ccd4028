// tqr-render: turns an LDraw model into a PNG in one command. It runs the tqr converter and
// POV-Ray as child processes, and also makes building-step and turntable animations, and plans of
// independent commands that spread one render over several machines.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <string_view>
#include <vector>

/// Marks a printf-like function so that the compiler checks its format against its arguments.
#ifndef TQ_PRINTF
#define TQ_PRINTF(fmtIndex, argIndex) __attribute__((format(printf, fmtIndex, argIndex)))
#endif

/// Everything lives in a namespace: the test binary links this program's code next to the
/// converter's library, whose free functions use the same naming style.
namespace tqrender {

/// The picture style: the studio include files, the instructions include files (edge lines, a
/// white page), or tqr's own camera, lights and colours.
enum class Look { kStudio, kInstructions, kPlain };
/// Render effort: antialiasing and the studio look's TqStudioQuality.
enum class Quality { kDraft = 0, kNormal = 1, kHigh = 2 };

/// The largest width or height of a picture: --assemble holds one whole, 1 GiB at 4 bytes a pixel.
constexpr int kMaxPictureSide = 16384;
/// The most frames an animation may have (turntable frames or building steps).
constexpr int kMaxFrames = 3600;

/// Everything the command line asks for; SetRenderDefaults gives the defaults.
struct RenderOptions {
    std::string model;         ///< MODEL as typed; required except for --assemble and --help
    std::string out;           ///< OUT.png; "" = the model's base name with .png, current dir
    int width;                 ///< --size: image width in pixels; 800
    int height;                ///< --size: image height in pixels; 600
    bool sizeGiven;            ///< --size appeared (--assemble then checks the bands against it)
    Look look;                 ///< --look: studio, instructions or plain; studio
    Quality quality;           ///< --quality: draft, normal or high; normal
    bool transparent;          ///< --transparent: alpha channel instead of a background; off
    bool force;                ///< --force: overwrite existing pictures; off
    std::string keepSceneDir;  ///< --keep-scene: where the scene and its includes stay; "" = none
    bool steps;                ///< --steps: one frame per building step; off
    bool fade;                 ///< --fade: with --steps, earlier steps' parts faded; off
    int turntable;             ///< --turntable: frames orbiting the model; 0 = a still
    int jobs;                  ///< --jobs: frames rendered at once, or bands of a plan; 1
    bool jobsGiven;            ///< --jobs appeared on the command line
    std::string planFile;      ///< --plan: write commands there instead of rendering; ""
    bool help;                 ///< --help: print the usage and stop
    bool assemble;             ///< --assemble: join the bands that follow OUT into OUT
    std::vector<std::string> bands;       ///< --assemble: band files, top first
    std::vector<std::string> tqrOptions;  ///< everything after "--", passed to tqr unchanged
};

/// Puts every field of the record to its default.
void SetRenderDefaults(RenderOptions* options);
/// Reads the command line (GNU style: --opt=value or --opt value, "--" ends the options).
/// Returns false with a one-line reason in *error when something is unknown or malformed.
bool ParseRenderOptions(int argc, char** argv, RenderOptions* options, std::string* error);
/// The usage text.
void PrintRenderUsage(FILE* fp);

// ---- Paths and files (FileUtil.cpp) ----

/// The last component of a path ("dir/car.ldr" -> "car.ldr").
std::string BaseName(const std::string& path);
/// Everything before the last component; "" when there is none.
std::string DirName(const std::string& path);
/// The base name without its last extension ("dir/car.ldr" -> "car").
std::string StemOf(const std::string& path);
/// dir/name, or name alone when dir is "" or ".".
std::string JoinPath(const std::string& dir, const std::string& name);
/// The picture a model makes by default: its base name with ".png", in the current directory.
std::string DefaultOutputPath(const std::string& model);
/// Frame index (from 1) of an animation: OUT-stem-NNN.png beside OUT.
std::string FramePath(const std::string& out, int index);
/// The printf pattern of the frames, for ffmpeg.
std::string FramePattern(const std::string& out);
/// The animated GIF assembled beside OUT.
std::string AnimationPath(const std::string& out);
/// The scene of a still or of --steps (frame 0), or of turntable frame i, in dir: named after
/// OUT where the scene stays (--keep-scene, --plan), a fixed name in the private directory.
std::string ScenePath(const RenderOptions& options, const std::string& dir, int frame);
/// The state file POV-Ray keeps beside an output while it renders (for +C); it stays when the
/// render is stopped.
std::string RenderStatePath(const std::string& output);
/// True when something exists at the path.
bool PathExists(const std::string& path);
/// True for a directory.
bool IsDirectory(const std::string& path);
/// Creates a directory and its parents; true when it exists afterwards.
bool MakeDirectories(const std::string& path);
/// Reads a whole file; false when it cannot be read.
bool ReadWholeFile(const std::string& path, std::string* text);
/// Writes a whole file; false on any failure.
bool WriteWholeFile(const std::string& path, std::string_view text);
/// The regular files of a directory, by name; empty when it cannot be listed.
std::vector<std::string> RegularFilesIn(const std::string& dir);
/// True when two files can be read and hold the same bytes.
bool SameContent(const std::string& a, const std::string& b);
/// Copies one file; false on any failure.
bool CopyFile(const std::string& from, const std::string& to);
/// Quotes an argument for a POSIX shell when it needs it.
std::string ShellQuote(const std::string& arg);
/// An argument vector as one shell command line.
std::string ShellCommand(const std::vector<std::string>& argv);

// ---- Names (Names.cpp) ----

/// Why POV-Ray cannot take a path on its command line, "" when it can: only printable ASCII
/// other than '"' and a backslash (its paths go in double quotes, where a backslash starts an
/// escape), and at most 200 characters (a longer scene name overruns a buffer in POV-Ray).
std::string PovrayNameProblem(const std::string& path);
/// Refuses (with a message that ends in `what`) the first path POV-Ray cannot take.
bool CheckPovrayNames(const std::vector<std::string>& paths, const char* what);
/// True when the text holds a control character (below 32, or 127).
bool HasControlCharacter(const std::string& text);
/// A name for a message: every control character shown as '?'.
std::string ShownName(const std::string& name);
/// A path as a program's argument: "./" before one that starts with '-', so that it is no option.
std::string ArgumentPath(const std::string& path);
/// The hidden name a picture is written under until it is complete, beside it: short printable
/// ASCII whatever the final name, so that POV-Ray can write it, ending in extension.
std::string PartialPath(const std::string& finalPath, const char* extension);

// ---- Locating the helper programs and the look (Tools.cpp) ----

/// The programs and files a run uses; empty strings for what was not found.
struct Tools {
    std::string tqr;     ///< the converter: next to this program, else on PATH
    std::string povray;  ///< POV-Ray on PATH
    std::string ffmpeg;  ///< ffmpeg on PATH, for animations
    std::string povDir;  ///< the studio look's include files
    std::string self;    ///< this program as a command name for printed commands
};

/// Finds everything a run may need.
Tools LocateTools();
/// The absolute path of an executable found through PATH, or "".
std::string FindOnPath(const std::string& name);
/// The directory of the running program ("" when unknown).
std::string ExecutableDir();
/// The studio look's directory: $TQR_POV_DIR, <exe>/../share/tqr/pov, then the source tree.
std::string FindPovDir();
/// True when the directory holds the studio look's include files.
bool HasStudioLook(const std::string& dir);
/// The studio look's materials and settings file, by bare name.
extern const char kStudioInclude[];
/// The lights of the studio look, by bare name.
extern const char kStudioLightsInclude[];
/// The instructions look's settings file (it includes the studio's), by bare name.
extern const char kInstructionsInclude[];
/// The page and lights of the instructions look, by bare name.
extern const char kInstructionsLightsInclude[];

// ---- Children, signals and temporary files (Children.cpp) ----

/// Makes SIGINT, SIGTERM, SIGHUP and SIGPIPE stop every child and mark the run as interrupted.
void InstallSignalHandlers();
/// Puts /dev/null on standard input, output or error where one is closed, so that no file the
/// run opens takes its place; a closed standard output stays unwritable, so its loss is seen.
void GuardStandardStreams();
/// The signal that interrupted the run, 0 while none did.
int InterruptSignal();
/// Starts program with argv (argv[0] is the name shown); standard output and error go to the
/// descriptors given (-1 keeps ours); it works in dir ("" = ours). Returns the process id, or -1
/// when it could not start.
pid_t StartChild(const std::string& program, const std::vector<std::string>& argv, int outFd,
                 int errFd, const std::string& dir = "");
/// Waits for a child started by StartChild: its exit status, 128 + signal, or -1.
int WaitChild(pid_t pid);
/// Sends SIGTERM to every running child.
void StopChildren();
/// Runs a child to its end with standard output and error written to two files.
int RunChildToFiles(const std::string& program, const std::vector<std::string>& argv,
                    const std::string& outPath, const std::string& errPath);
/// Remembers a file or directory that must not outlive the run.
void RegisterTemporary(const std::string& path);
/// Forgets a registered path (after it was renamed to its final name).
void ForgetTemporary(const std::string& path);
/// Removes every registered path.
void RemoveTemporaries();
/// A new private directory under $TMPDIR (or /tmp), registered; "" on failure.
std::string MakeTemporaryDirectory();

// ---- Where POV-Ray works (WorkPlace.cpp) ----

/// The private directory of a run, and POV-Ray's working directory inside it. POV-Ray runs there,
/// so that no povray.ini of the user's directory applies, and reaches every file through a link
/// with a short ASCII name, so that it can take any name the user chose.
struct WorkPlace {
    std::string dir;        ///< the private directory: tqr's messages, scenes nobody keeps
    std::string povrayDir;  ///< POV-Ray's working directory: links only
    std::string startDir;   ///< the directory the run was started in, absolute
    std::map<std::string, std::string> links;  ///< link name by absolute target, made once
};
/// Makes POV-Ray's directory inside the private one; false (with a message) on failure.
bool MakeWorkPlace(const std::string& dir, WorkPlace* place);

// ---- Progress on standard error (Progress.cpp) ----

/// Chooses the display: a rewritten status line on a terminal, plain lines otherwise.
void ProgressInit(bool terminal);
/// True when progress goes to a terminal.
bool ProgressOnTerminal();
/// Prints "tqr-render: " and a message as a line of its own.
void ProgressNote(const char* format, ...) TQ_PRINTF(1, 2);
/// Passes a line of a child's output on unchanged.
void ProgressForward(const std::string& line);
/// Replaces the status line (terminal only).
void ProgressStatus(const std::string& text);
/// Ends the status line.
void ProgressDone();
/// Seconds since an arbitrary fixed point, for timings.
double NowSeconds();

// ---- The conversion (Conversion.cpp) ----

/// What one run of tqr produced.
struct Conversion {
    bool ok = false;     ///< tqr ended with status 0 and wrote the scene
    std::string output;  ///< tqr's messages that are worth passing on
};

/// The tqr argument vector for a scene of the model with the options of the run; extra options
/// (such as -sc or a camera) go last so that they win over the user's.
std::vector<std::string> ConversionArguments(const RenderOptions& options,
                                             const std::string& scenePath,
                                             const std::vector<std::string>& extra);
/// The instructions look's -edges value for a picture this wide (tqr counts pixels of a picture
/// 800 wide).
std::string EdgePixelsFor(int width);
/// The tqr options that apply the chosen look (empty for the plain look).
std::vector<std::string> LookConversionOptions(const RenderOptions& options);
/// Runs tqr (the scene path is the last argument). Its messages are passed on: on success
/// only those worth showing, and none when quiet (a turntable's frames repeat the first one's).
Conversion RunConversion(const Tools& tools, const std::vector<std::string>& args,
                         const std::string& workDir, bool quiet);
/// The lines of tqr's messages worth showing: everything but the routine report.
std::string InterestingConverterLines(const std::string& out, const std::string& err, bool ok);
/// The building steps of a scene converted with -sc, read from its clock conditions (not from
/// tqr's messages, which echo file names): the largest count of any model or sub-model, 0 when
/// there are none, -1 when the scene cannot be read.
int SceneStepCount(const std::string& scene);
/// The distance of a scene's automatic camera from the point it looks at; false when the scene
/// records none.
bool SceneCameraDistance(const std::string& scene, double* distance);
/// Directories POV-Ray must search for a scene's include files (TQRPARTS, LGEO).
std::vector<std::string> SceneLibraryDirs(const std::string& scene);
/// An image a scene prints on a part (-mesh): looked for by name beside the scene or in a library
/// directory first, else at the path tqr found it.
struct SceneImage {
    std::string name;  ///< the file name the scene tries first
    std::string path;  ///< where tqr found it
};
/// The images a scene names, each once.
std::vector<SceneImage> SceneImages(const std::string& scene);
/// Copies a scene's images into dir, where a kept scene or a plan looks for them first, so that
/// the directory renders on any machine. An image already there unchanged is left; another file
/// of its name is replaced only with --force. False (with a message) on failure.
bool CopySceneImages(const RenderOptions& options, const std::string& scene,
                     const std::string& dir);
/// The framing margin passed to tqr as -cfit: per cent of the picture on each side.
extern const int kFramingMargin;

// ---- POV-Ray (Povray.cpp) ----

/// One POV-Ray run of a scene.
struct PovrayCall {
    std::string scene;                     ///< scene file
    std::string output;                    ///< image file written
    bool targa = false;                    ///< Targa (for bands) instead of PNG
    int firstRow = 0;                      ///< first row of a band (from 1); 0 = whole picture
    int lastRow = 0;                       ///< last row of a band
    bool clockGiven = false;               ///< pass clock
    double clock = 0;                      ///< POV-Ray's clock for a step frame
    int threads = 0;                       ///< render threads; 0 = POV-Ray's choice
    bool quiet = false;                    ///< no progress output (commands of a plan)
    std::vector<std::string> libraryDirs;  ///< +L directories
};

/// The POV-Ray argument vector (argv[0] = "povray"); paths quoted the way POV-Ray wants.
std::vector<std::string> PovrayArguments(const RenderOptions& options, const PovrayCall& call);
/// (WorkPlace.cpp) The call as POV-Ray sees it from place->povrayDir: the scene, the output's
/// directory and the library directories through links there, the start directory first among the
/// library directories (POV-Ray looked for the user's include files there). False when a link
/// fails.
bool LinkPovrayCall(WorkPlace* place, const PovrayCall& call, PovrayCall* seen);

/// How far a POV-Ray run has come; later stages compare greater.
enum class PovrayStage { kStarting, kParsing, kRendering };

/// What a POV-Ray run has said so far; fed with its console output piece by piece.
struct PovrayReport {
    PovrayStage stage = PovrayStage::kStarting;
    int percent = -1;            ///< rendering progress; -1 before the first report
    std::string firstError;      ///< first error message (continuation lines joined)
    bool inBanner = false;       ///< inside the program banner (not passed on)
    bool bannerEnding = false;   ///< the banner's last block has started
    bool errorOpen = false;      ///< continuation lines still belong to firstError
    bool startTimedOut = false;  ///< POV-Ray gave up starting its worker threads (busy machine)
    std::string pending;         ///< unfinished line
};
/// Scans a piece of POV-Ray's console output. Message lines (warnings, errors, #debug) are
/// appended to *forward unchanged; the banner, blank lines and progress are not.
void ScanPovrayOutput(PovrayReport* report, std::string_view chunk,
                      std::vector<std::string>* forward);

// ---- Running renders (Scheduler.cpp) ----

/// One picture to make: optionally a conversion first, then POV-Ray.
struct RenderJob {
    std::string label;                     ///< "frame 3/24", or "" for a still
    std::vector<std::string> convertArgs;  ///< tqr arguments; empty when the scene exists
    bool removeScene = false;              ///< delete the scene once rendered
    PovrayCall call;                       ///< the render (call.output is the partial name)
    std::string finalPath;                 ///< renamed to this when complete
    bool retried = false;                  ///< started a second time after a failed start
};
/// Runs the jobs, at most `concurrency` at once, and renames each finished picture. Returns
/// the number of pictures written; stops starting new jobs after the first failure.
int RunRenderJobs(const Tools& tools, const RenderOptions& options, std::vector<RenderJob>* jobs,
                  int concurrency, WorkPlace* place);
/// Render threads per POV-Ray when `concurrency` run at once.
int ThreadsPerJob(int concurrency);

// ---- Animations (Animation.cpp) ----

/// Camera latitude and longitude from the user's tqr options (-cg).
void CameraFromOptions(const std::vector<std::string>& tqrOptions, double* latitude,
                       double* longitude);
/// The ffmpeg command that joins the frames into an animated GIF.
std::vector<std::string> AnimationCommand(const std::string& ffmpeg, const RenderOptions& options,
                                          int frames);
/// Frames per second: building steps stay longer on screen than turntable angles.
int AnimationRate(const RenderOptions& options);
/// The frames of a --steps animation of a scene converted with -sc: one per building step, one
/// when there are none (said so). False (with a message) when the scene cannot be read or has
/// more steps than an animation may have frames.
bool StepFrames(const std::string& scene, int* frames);
/// Renders a building-step or turntable animation; returns the exit status.
int RunAnimation(const Tools& tools, const RenderOptions& options, WorkPlace* place);
/// The tqr camera option of every turntable frame: one distance, the largest that a conversion of
/// each frame's view needs to fit the model.
bool PrepareTurntable(const Tools& tools, const RenderOptions& options, const std::string& workDir,
                      std::vector<std::vector<std::string>>* frameOptions);

// ---- Plans and bands (Plan.cpp, Assemble.cpp) ----

/// Rows of band `index` (from 0) of `count`, from 1 as POV-Ray counts them.
void BandRows(int height, int count, int index, int* firstRow, int* lastRow);
/// The file name of band `index` (from 0) of `count` of the plan with `token` for a picture named
/// `stem`: "<stem>-band-03-of-08-<token>.tga" ("<stem>-band-03-of-08.tga" without a token).
std::string BandFileName(const std::string& stem, int index, int count, const std::string& token);
/// Reads the band's place and plan back from such a name (any directory; the token is "" when
/// there is none); false for other names.
bool ParseBandFileName(const std::string& path, int* index, int* count, std::string* token);
/// A token that tells the bands of this plan from those of any other plan.
std::string PlanToken();
/// Writes the plan file and its scenes, prints the assembling command; returns the exit status.
int WritePlan(const Tools& tools, const RenderOptions& options, const std::string& workDir);
/// Joins Targa bands into OUT; returns the exit status.
int RunAssemble(const RenderOptions& options);

// ---- Pictures (Raster.cpp, PngWriter.cpp) ----

/// A picture in memory: rows top first, 3 (RGB) or 4 (RGBA) bytes a pixel.
struct Raster {
    int width = 0;                ///< pixels a row
    int height = 0;               ///< rows
    int channels = 3;             ///< 3 (RGB) or 4 (RGBA)
    std::vector<uint8_t> pixels;  ///< width * height * channels bytes, top row first
};
/// Reads an uncompressed or run-length Targa file as POV-Ray writes it; "" or the reason. The
/// picture must be width x height, or when those are 0 at most kMaxPictureSide either way; this
/// and the file's length are checked before any memory is taken for the pixels.
std::string ReadTarga(const std::string& path, int width, int height, Raster* raster);
/// The PNG file bytes of a picture (8 bits per channel, sRGB).
std::string EncodePng(const Raster& raster);
/// Writes a picture as PNG; false on failure.
bool WritePng(const std::string& path, const Raster& raster);

// ---- Existing files (Targets.cpp) ----

/// Refuses (with a message) a picture name that cannot be used: one with a control character
/// (a line break would split the names printed on standard output), or one too long for a file.
bool CheckPictureName(const std::string& out);
/// Refuses (with a message) to write any of the paths where it would replace the model, a band
/// being joined or anything but a regular file or symbolic link, or, without --force, anything.
bool CheckOverwrite(const RenderOptions& options, const std::vector<std::string>& paths);
/// Copies the regular files of `from` into `to`, after checking them all: a file there with the
/// same content is left as it is, another one is replaced only as CheckOverwrite allows. The
/// names of the files written go to *written. False (with a message) on a refusal or failure.
bool CopyLook(const RenderOptions& options, const std::string& from, const std::string& to,
              std::vector<std::string>* written);
/// Copies files (source paths) into the directory to under their names (the same count), what
/// telling the message what they are. A copy there that equals its source is left alone; any
/// other file in the way needs --force. The copies made go to *written.
bool CopyFilesInto(const RenderOptions& options, const std::vector<std::string>& sources,
                   const std::vector<std::string>& names, const std::string& to, const char* what,
                   std::vector<std::string>* written);
/// Renames a finished picture into place; without `replace` only where nothing has appeared
/// under the name meanwhile. False (with a message) on failure.
bool PublishPicture(const std::string& partial, const std::string& finalPath, bool replace);

// ---- The run (RunSequence.cpp) ----

/// Where POV-Ray finds the look's include files: the kept copies, or the look's directory.
std::vector<std::string> LookLibraryDirs(const Tools& tools, const RenderOptions& options);
/// False (with a message) when standard output could not be written: the names of the pictures,
/// or a plan's command, are lost.
bool StandardOutputWritten();
/// The whole program: returns the exit status.
int TqRenderMain(int argc, char** argv);

}  // namespace tqrender
