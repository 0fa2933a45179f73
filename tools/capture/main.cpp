// tovira-capture: renders the show into a video file on a virtual clock.
#include "capture.h"

#include <csignal>
#include <unistd.h>

namespace {

// The first interrupt lets the capture stop at the next frame and clean up; a second
// one removes the unfinished file at once.
void onInterrupt(int)
{
    static volatile std::sig_atomic_t interrupted = 0;
    if (!interrupted) {
        interrupted = 1;
        requestCaptureStop();
        return;
    }
    const char* partial = partialOutputPath();
    if (partial[0] != '\0')
        unlink(partial);
    _exit(130);
}

void installInterruptHandlers()
{
    struct sigaction action = {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaction(signal, &action, nullptr);
}

} // namespace

int main(int argc, char** argv)
{
    installInterruptHandlers();
    const std::vector<std::string> args(argv + 1, argv + argc);
    return captureMain(args, stdout, stderr, isatty(STDERR_FILENO) != 0);
}
