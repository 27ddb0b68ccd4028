// POV-Ray: its command line for a picture, a band or a frame, and the reading of its console
// output into stages, a percentage, the first error, and the messages the user must see.
#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "TqRender/TqRender.h"

namespace tqrender {

namespace {

// POV-Ray splits a command-line option at blanks even inside one argument, so every path goes
// in double quotes; a path that itself holds one cannot be written at all (PovrayNameProblem).
std::string Quoted(const std::string& path) {
    return "\"" + path + "\"";
}

void AddQualityOptions(const RenderOptions& options, std::vector<std::string>* args) {
    // Without jitter the samples do not depend on where a band starts, so a picture joined
    // from bands equals one rendered whole. More effort means adaptive antialiasing (+AM2) with
    // a lower threshold and a deeper subdivision (+R). For the normal preset two levels of
    // subdivision give edges that look the same as three and cost about a third less: the time
    // goes into soft shadows instead.
    switch (options.quality) {
        case Quality::kDraft:
            args->push_back("-A");
            break;
        case Quality::kNormal:
            args->insert(args->end(), {"+A0.3", "+AM2", "+R2", "-J"});
            break;
        case Quality::kHigh:
            args->insert(args->end(), {"+A0.1", "+AM2", "+R4", "-J"});
            break;
    }
    if (options.transparent) args->push_back("+UA");
    if (options.look != Look::kPlain) {
        // tqr's scene declares its settings before the look's #version 3.7 can come; the
        // option says it up front, so POV-Ray does not warn that it came late.
        args->push_back("+MV3.7");
        // The look reads its effort and background from these; a scene rendered by hand without
        // them gets the look's defaults (normal effort, the backdrop).
        args->push_back("Declare=TqStudioQuality=" + std::to_string((int)options.quality));
        if (options.transparent) args->push_back("Declare=TqStudioTransparent=1");
    }
}

bool StartsWith(const std::string& s, const char* prefix) {
    return s.rfind(prefix, 0) == 0;
}

// Any "... Error:" line but a "Possible ..." one, which is only a warning; the prefixes are
// POV-Ray's fatal complaints about the command line and the scene.
bool IsErrorLine(const std::string& line) {
    bool error =
        line.find("Error:") != std::string::npos && line.find("Possible ") == std::string::npos;
    return error || StartsWith(line, "Fatal error") || StartsWith(line, "Problem with option") ||
           StartsWith(line, "Failed to parse");
}

// A line POV-Ray rewrites in place (ending in a carriage return): a progress report.
void HandleStatus(PovrayReport* r, const std::string& segment) {
    long done = 0, total = 0;
    int percent = 0;
    if (sscanf(segment.c_str(), "Rendered %ld of %ld pixels (%d%%)", &done, &total, &percent) ==
        3) {
        r->stage = PovrayStage::kRendering;
        r->percent = percent;
    } else if (StartsWith(segment, "Parsing")) {
        r->stage = std::max(r->stage, PovrayStage::kParsing);
    }
}

// True when the line is part of the banner or a stage marker; updates the stage. The banner
// (names, copyrights, libraries) says nothing about this render and would bury what does, and
// the note that the user has no configuration file of POV-Ray's own is harmless.
bool IsBannerOrMarker(PovrayReport* r, const std::string& line) {
    if (StartsWith(line, "Persistence of Vision")) r->inBanner = true;
    // A stage marker ends the banner even if its blank line never came.
    if (r->inBanner && !StartsWith(line, "==== [")) {
        if (StartsWith(line, "Support libraries used by POV-Ray")) r->bannerEnding = true;
        return true;
    }
    r->inBanner = r->bannerEnding = false;
    if (StartsWith(line, "==== [Parsing")) r->stage = std::max(r->stage, PovrayStage::kParsing);
    if (StartsWith(line, "==== [Rendering")) r->stage = PovrayStage::kRendering;
    return StartsWith(line, "==== [") || StartsWith(line, "POV-Ray finished") ||
           StartsWith(line, "povray: cannot open the user configuration file");
}

void HandleLine(PovrayReport* r, const std::string& line, std::vector<std::string>* forward) {
    if (line.empty()) {
        // The banner's last block (the support libraries) ends with the first blank line.
        if (r->bannerEnding) r->inBanner = r->bannerEnding = false;
        r->errorOpen = false;
        return;
    }
    if (IsBannerOrMarker(r, line)) return;
    if (StartsWith(line, "Rendered ") && line.find(" pixels (") != std::string::npos) {
        HandleStatus(r, line);
        return;
    }
    // Everything else is a message for the user, passed on unchanged.
    forward->push_back(line);
    if (line.find("Timed out waiting for worker thread startup") != std::string::npos)
        r->startTimedOut = true;
    // The first error and its indented continuation lines make the one-line reason printed when
    // the render fails; later errors are usually its consequences.
    if (r->firstError.empty() && IsErrorLine(line)) {
        r->firstError = line;
        r->errorOpen = true;
    } else if (r->errorOpen && line[0] == ' ') {
        r->firstError.append(" ").append(line, line.find_first_not_of(' '));
    } else {
        r->errorOpen = false;
    }
}

}  // namespace

std::vector<std::string> PovrayArguments(const RenderOptions& options, const PovrayCall& call) {
    // Bands are Targa files, which --assemble reads without an inflater; pictures are PNG.
    std::vector<std::string> args = {"povray",
                                     "+I" + Quoted(call.scene),
                                     "+O" + Quoted(call.output),
                                     call.targa ? "+FT" : "+FN",
                                     "+W" + std::to_string(options.width),
                                     "+H" + std::to_string(options.height)};
    // No display window, no pause; progress on (+V) but no option listing or statistics.
    args.insert(args.end(), {"-D", "-P", call.quiet ? "-V" : "+V", "-GS", "-GR"});
    AddQualityOptions(options, &args);
    // A band still makes a picture of full size; only its own rows are rendered.
    if (call.firstRow > 0) {
        args.push_back("+SR" + std::to_string(call.firstRow));
        args.push_back("+ER" + std::to_string(call.lastRow));
    }
    if (call.clockGiven) {
        char clock[32];
        snprintf(clock, sizeof(clock), "+K%g", call.clock);
        args.push_back(clock);
    }
    if (call.threads > 0) args.push_back("+WT" + std::to_string(call.threads));
    for (const std::string& dir : call.libraryDirs) args.push_back("+L" + Quoted(dir));
    return args;
}

void ScanPovrayOutput(PovrayReport* report, std::string_view chunk,
                      std::vector<std::string>* forward) {
    // POV-Ray rewrites its progress line with carriage returns and ends every other line with a
    // line feed. A chunk may stop in the middle of either; the rest waits in pending.
    for (char c : chunk) {
        if (c == '\r') {
            HandleStatus(report, report->pending);
            report->pending.clear();
        } else if (c == '\n') {
            HandleLine(report, report->pending, forward);
            report->pending.clear();
        } else {
            report->pending += c;
        }
    }
}

}  // namespace tqrender
