// Shared test helpers: a fresh run of the converter per test, real temporary directories, running
// the binary and capturing what a run writes.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "Tqr/Tqr.h"

/// A stream into memory, for what writers put into a scene or listing.
class MemoryStream {
public:
    MemoryStream() : fp_(open_memstream(&buffer_, &size_)) {}
    ~MemoryStream() {
        if (fp_) fclose(fp_);
        free(buffer_);
    }
    MemoryStream(const MemoryStream&) = delete;
    MemoryStream& operator=(const MemoryStream&) = delete;
    FILE* fp() { return fp_; }
    /// Everything written so far.
    std::string Text() {
        fflush(fp_);
        return std::string(buffer_, size_);
    }

private:
    char* buffer_ = nullptr;
    size_t size_ = 0;
    FILE* fp_;
};

/// A fresh run of the converter, its records connected as the program connects them, with its
/// standard output and message stream in memory. Each test makes its own: nothing is reset,
/// because nothing is shared.
class TestRun {
public:
    TestRun();
    TestRun(const TestRun&) = delete;
    TestRun& operator=(const TestRun&) = delete;
    /// The run's records.
    TqrRun* run() { return run_.get(); }
    TqSettings& settings() { return run_->settings; }
    TqPovRecord& pov() { return run_->settings.TqPov; }
    Diagnostics* diag() { return &run_->diag; }
    Library* library() { return &run_->library; }
    ColourTable* colours() { return &run_->colours; }
    Model* model() { return &run_->model; }
    Loader* loader() { return &run_->loader; }
    SceneWriter* writer() { return &run_->writer; }
    /// What went to the run's standard output (input diagnostics, listings) so far.
    std::string Out() { return out_.Text(); }
    /// What went to its message stream so far.
    std::string Err() { return err_.Text(); }
    /// Makes root the run's LDraw library (colours read, search directories computed).
    void UseLibrary(const std::string& root);
    /// The loader again, after settings that it reads were changed (warning level, -cpa, -check).
    void RefreshLoader();
    /// Reads an LDraw text into the entry named name as ReadDatFile would read a file; returns
    /// what the diagnostics printed on standard output meanwhile.
    std::string ReadDatText(const std::string& text, const char* name, bool isMainModel,
                            PartEntry** entry = nullptr);

private:
    MemoryStream out_, err_;
    std::unique_ptr<TqrRun> run_;
    std::string libraryRoot_;
};

/// What a run writes from now on, to its standard output and its message stream.
class RunCapture {
public:
    explicit RunCapture(TestRun& run)
        : run_(run), outMark_(run.Out().size()), errMark_(run.Err().size()) {}
    /// Standard output since the capture began.
    std::string Out() { return run_.Out().substr(outMark_); }
    /// The message stream since the capture began.
    std::string Err() { return run_.Err().substr(errMark_); }

private:
    TestRun& run_;
    size_t outMark_, errMark_;
};

/// Fixture with a fresh run for each test.
class TqrTest : public ::testing::Test {
protected:
    TestRun t;
};

/// A temporary directory removed with everything in it at the end of the scope.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    /// Absolute path of the directory.
    const std::string& Path() const { return path_; }
    /// Absolute path of a name inside it.
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }
    /// Writes a file (creating parent directories); returns its path.
    std::string Write(const std::string& name, const std::string& content) const;
    /// Creates a directory (and parents); returns its path.
    std::string MakeDir(const std::string& name) const;

private:
    std::string path_;
};

/// What a run of the binary produced.
struct RunResult {
    int status = -1;
    std::string out;
    std::string err;
    long peakKb = 0;  ///< the run's peak resident memory
};

/// Value that removes a variable from the environment of RunTqr.
inline const std::string kUnsetEnv = "<unset>";
/// How RunTqr runs the binary, beyond arguments, directory and environment.
struct RunOptions {
    int timeoutSeconds = 0;        ///< kill the run after this long (status kTimedOut); 0 = none
    std::string stdoutPath;        ///< standard output goes to this file instead of RunResult.out
    long long fileSizeLimit = -1;  ///< RLIMIT_FSIZE in bytes; -1 = unchanged
    bool unprivileged = false;     ///< when run as root, drop to user and group nobody first
};
/// RunResult::status of a run killed by its timeout.
constexpr int kTimedOut = -2;
/// Runs the tqr binary in dir with the arguments; env entries are set (kUnsetEnv = removed).
RunResult RunTqr(const std::vector<std::string>& args, const std::string& dir = "",
                 const std::map<std::string, std::string>& env = {},
                 const RunOptions& options = {});

/// Sets environment variables for a scope (kUnsetEnv removes one) and restores them afterwards.
class EnvGuard {
public:
    explicit EnvGuard(const std::map<std::string, std::string>& values);
    ~EnvGuard();
    EnvGuard(const EnvGuard&) = delete;
    EnvGuard& operator=(const EnvGuard&) = delete;

private:
    std::map<std::string, std::pair<bool, std::string>> saved_;
};

/// The variables that steer library lookup, all removed, with HOME pointing at home.
std::map<std::string, std::string> CleanLibraryEnv(const std::string& home);

/// The stored lines of a part.
std::vector<LineEntry*> LinesOf(const PartEntry* part);

/// A file or case name as a test name: every character but letters and digits becomes '_'.
std::string TestNameOf(std::string name);

/// Reads a whole file; empty when missing.
std::string ReadFile(const std::string& path);
/// True when the file exists.
bool FileExists(const std::string& path);

/// True when the text holds a NaN or an infinity written by printf ("nan", "inf").
bool HasNonFiniteNumber(const std::string& text);
/// True when the povray binary is installed.
bool HavePovray();
/// Renders a scene with POV-Ray at width x height (library paths as +L); returns "" on success,
/// else POV-Ray's messages.
std::string RenderScene(const std::string& scene, const std::string& png, int width, int height,
                        const std::vector<std::string>& libraryPaths = {},
                        const std::string& options = "");

/// Path of the shared LDraw library or "" when absent.
std::string SharedLDrawDir();
/// Path of the shared models or "" when absent.
std::string SharedModelsDir();
/// Path of the source tree.
std::string SourceDir();

/// Captures what a block writes to the process's standard output.
class CaptureStdout {
public:
    CaptureStdout();
    ~CaptureStdout();
    /// Stops capturing and returns standard output.
    std::string Out();

private:
    bool stopped_ = false;
    std::string out_;
};
