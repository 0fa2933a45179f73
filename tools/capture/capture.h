// tovira-capture as a library: the whole tool behind its command line, so that tests
// can run it in-process and the executable stays a thin entry.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

enum CaptureExit {
    CAPTURE_OK = 0,
    CAPTURE_FAILED = 1,      // nothing (or, for missing stills, not everything) was written
    CAPTURE_USAGE_ERROR = 2,
    CAPTURE_INTERRUPTED = 130,
};

// Runs the tool on `args` (without the program name) in the current directory, which
// must hold the data set in data/. Reports go to `out`, errors to `err`; the progress
// bar is drawn on `err` when `showProgress`.
int captureMain(const std::vector<std::string>& args, std::FILE* out, std::FILE* err, bool showProgress);

// Asks a running capture to stop at the next frame and remove what it wrote. Safe to
// call from a signal handler.
void requestCaptureStop();

// The unfinished output file of the running capture, or "" when there is none; for a
// signal handler that must give up at once.
const char* partialOutputPath();
