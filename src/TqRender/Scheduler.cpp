// Runs render jobs: a conversion when the job needs its own scene, then POV-Ray with its console
// output read through a pipe, several at once for animations; each finished picture is renamed
// from its partial name to its final one.
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "TqRender/TqRender.h"

namespace tqrender {

namespace {

// A POV-Ray at work: the pipe its console output comes through, and what was shown of it.
struct Running {
    size_t job = 0;
    pid_t pid = -1;
    int fd = -1;
    PovrayReport report;
    PovrayStage shownStage = PovrayStage::kStarting;
    int shownPercent = -1;
    double started = 0;
};

// The state of one RunRenderJobs call, shared by its helpers.
struct Batch {
    const Tools& tools;
    const RenderOptions& options;
    std::vector<RenderJob>& jobs;
    WorkPlace* place;
    std::vector<Running> running;
    std::vector<size_t> retries;  // jobs to start again
    int written = 0;
    bool failed = false;
};

bool ConvertForJob(Batch* b, RenderJob* job) {
    if (job->convertArgs.empty()) return true;
    Conversion c = RunConversion(b->tools, job->convertArgs, b->place->dir, true);
    if (!c.ok && !InterruptSignal()) ProgressNote("%s: the conversion failed", job->label.c_str());
    if (!c.ok) return false;
    // Known only now: the scene names the library and LGEO directories its includes come from.
    for (const std::string& dir : SceneLibraryDirs(job->call.scene))
        job->call.libraryDirs.push_back(dir);
    // A kept frame scene renders elsewhere with the images of its printed parts beside it.
    const std::string& kept = b->options.keepSceneDir;
    return kept.empty() || CopySceneImages(b->options, job->call.scene, kept);
}

bool StartJob(Batch* b, size_t index) {
    RenderJob& job = b->jobs[index];
    if (!ConvertForJob(b, &job)) return false;
    // Close-on-exec: a POV-Ray that inherited another's write end would hold that pipe open, and
    // its reader would see no end of file until both had ended.
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return false;
    // The partial picture and POV-Ray's state file go if the run stops before publishing.
    RegisterTemporary(job.call.output);
    RegisterTemporary(RenderStatePath(job.call.output));
    PovrayCall seen;
    if (!LinkPovrayCall(b->place, job.call, &seen)) {
        close(fds[0]);
        close(fds[1]);
        ProgressNote("cannot create the links POV-Ray works with in %s",
                     b->place->povrayDir.c_str());
        return false;
    }
    Running r;
    r.job = index;
    r.started = NowSeconds();
    // Output and errors share the pipe, so that messages arrive in the order POV-Ray wrote them.
    r.pid = StartChild(b->tools.povray, PovrayArguments(b->options, seen), fds[1], fds[1],
                       b->place->povrayDir);
    // Only the child holds the write end now, so its exit ends the pipe.
    close(fds[1]);
    r.fd = fds[0];
    if (r.pid < 0) {
        close(r.fd);
        ProgressNote("cannot run POV-Ray (%s)", b->tools.povray.c_str());
        return false;
    }
    b->running.push_back(std::move(r));
    return true;
}

// Stage lines for a still when the output is not a terminal; a terminal gets a status line.
void ShowStillProgress(const RenderOptions& o, Running* r) {
    const PovrayReport& rep = r->report;
    if (rep.stage > r->shownStage) {
        if (rep.stage == PovrayStage::kParsing) ProgressNote("parsing the scene");
        if (rep.stage == PovrayStage::kRendering)
            ProgressNote("rendering %dx%d", o.width, o.height);
        r->shownStage = rep.stage;
    }
    // One line per tenth: enough to see a log move without flooding it.
    if (rep.percent >= 0 && rep.percent / 10 > r->shownPercent / 10) {
        ProgressNote("render %d%%", rep.percent);
        r->shownPercent = rep.percent;
    }
}

std::string StageText(const Running& r) {
    switch (r.report.stage) {
        case PovrayStage::kStarting:
            return "starting";
        case PovrayStage::kParsing:
            return "parsing";
        case PovrayStage::kRendering:
            break;
    }
    return r.report.percent >= 0 ? std::to_string(r.report.percent) + "%" : "rendering";
}

// The terminal's status line: frames done and each running frame's stage, or a still's stage.
void ShowStatus(Batch* b) {
    std::string text = "tqr-render:";
    if (b->jobs.size() > 1) {
        text.append(" ").append(std::to_string(b->written)).append("/");
        text.append(std::to_string(b->jobs.size())).append(" done;");
        for (const Running& r : b->running)
            text.append(" ").append(b->jobs[r.job].label).append(" ").append(StageText(r));
    } else if (!b->running.empty()) {
        const PovrayReport& report = b->running[0].report;
        if (report.stage == PovrayStage::kStarting) text += " starting POV-Ray";
        if (report.stage == PovrayStage::kParsing) text += " parsing the scene";
        if (report.stage == PovrayStage::kRendering) text += " rendering";
        if (report.stage == PovrayStage::kRendering && report.percent >= 0)
            text.append(" ").append(std::to_string(report.percent)).append("%");
    }
    ProgressStatus(text);
}

void FinishJob(Batch* b, Running* r) {
    close(r->fd);
    int status = WaitChild(r->pid);
    RenderJob& job = b->jobs[r->job];
    // On a busy machine POV-Ray may fail to start its threads; that is no fault of the scene.
    // The job goes back in the queue once, ahead of jobs not yet started; a second failure is
    // reported like any other.
    if (status != 0 && r->report.startTimedOut && !job.retried && !InterruptSignal()) {
        job.retried = true;
        b->retries.push_back(r->job);
        return;
    }
    if (job.removeScene) unlink(job.call.scene.c_str());
    // Interrupted: the registered partial files are removed at the end of the run.
    if (InterruptSignal()) return;
    // The picture gets its name only now that it is complete, by a rename that puts it in place
    // in one step: the final name never shows a half-written picture.
    bool complete = status == 0 && PathExists(job.call.output);
    if (complete && PublishPicture(job.call.output, job.finalPath, b->options.force)) {
        b->written++;
        if (!job.label.empty() && !ProgressOnTerminal())
            ProgressNote("%s written: %s (%.1f s)", job.label.c_str(), job.finalPath.c_str(),
                         NowSeconds() - r->started);
        return;
    }
    b->failed = true;
    // Not published for a reason already told (the name was taken meanwhile).
    if (complete) return;
    std::string why = !r->report.firstError.empty() ? r->report.firstError
                      : status == 0                 ? "it wrote no picture"
                                                    : "exit status " + std::to_string(status);
    ProgressNote("POV-Ray failed%s%s: %s", job.label.empty() ? "" : " on ", job.label.c_str(),
                 why.c_str());
    if (b->options.keepSceneDir.empty() && b->options.planFile.empty())
        ProgressNote("keep the scene to look at it: --keep-scene DIR");
}

// Reads what is there from every running POV-Ray; finished ones are completed and dropped.
void PollRunning(Batch* b) {
    std::vector<pollfd> fds;
    for (const Running& r : b->running) fds.push_back({r.fd, POLLIN, 0});
    // A quarter second at most, so that an interruption is acted on and the status line moves.
    int ready = poll(fds.data(), fds.size(), 250);
    if (ready < 0 && errno != EINTR) return;
    // Backwards, so that dropping a finished job leaves the indices still to visit in place.
    for (size_t i = fds.size(); i-- > 0;) {
        if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
        Running& r = b->running[i];
        char buffer[4096];
        ssize_t n = read(r.fd, buffer, sizeof(buffer));
        if (n < 0 && errno == EINTR) continue;
        if (n > 0) {
            std::vector<std::string> forward;
            ScanPovrayOutput(&r.report, std::string_view(buffer, (size_t)n), &forward);
            for (const std::string& line : forward) ProgressForward(line);
            if (b->jobs.size() == 1 && !ProgressOnTerminal()) ShowStillProgress(b->options, &r);
            continue;
        }
        // End of file (or a read error): POV-Ray has closed its output; collect its status.
        FinishJob(b, &r);
        b->running.erase(b->running.begin() + (long)i);
    }
    if (ProgressOnTerminal() && !b->running.empty()) ShowStatus(b);
}

}  // namespace

// Renders side by side share the cores instead of each starting a thread per core.
int ThreadsPerJob(int concurrency) {
    if (concurrency <= 1) return 0;
    long cores = sysconf(_SC_NPROCESSORS_ONLN);
    return std::max(1, (int)(cores > 0 ? cores : 1) / concurrency);
}

int RunRenderJobs(const Tools& tools, const RenderOptions& options, std::vector<RenderJob>* jobs,
                  int concurrency, WorkPlace* place) {
    Batch b{tools, options, *jobs, place, {}, {}, 0, false};
    size_t next = 0;
    for (;;) {
        // Fill the free places: jobs to retry first, then the next in order.
        while (!b.failed && !InterruptSignal() && (int)b.running.size() < concurrency &&
               (!b.retries.empty() || next < jobs->size())) {
            size_t index = next;
            if (!b.retries.empty()) {
                index = b.retries.back();
                b.retries.pop_back();
            } else {
                next++;
            }
            if (!StartJob(&b, index)) b.failed = true;
        }
        if (b.running.empty()) break;
        // Told again on every round until their pipes close; a second SIGTERM does no harm.
        if (InterruptSignal()) StopChildren();
        PollRunning(&b);
    }
    ProgressDone();
    return b.written;
}

}  // namespace tqrender
