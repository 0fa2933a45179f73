#include "capture.h"

#include "capture_options.h"
#include "frame_timing.h"
#include "media_writer.h"
#include "png_still.h"
#include "progress.h"
#include "show_driver.h"

#include <raster.h>
#include <win32_host.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>

namespace {

std::atomic<bool> stopRequested{false};
char partialPath[4096] = "";

bool isFile(const std::string& path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// The show reports missing pictures itself (its message boxes, caught while it runs);
// a missing music file or model it would pass over in silence.
bool checkDataSet(std::string& error)
{
    const char* needed[] = {"data\\pork.xm", "data\\knodu.r3d", "data\\thingy.r3d", "data\\obu.r3d",
                            "data\\glimmora.r3d"};
    const std::string here = std::filesystem::current_path().string();
    for (const char* file : needed) {
        if (!isFile(win32host::hostPath(file))) {
            std::string name = file;
            name[4] = '/';
            error = "no complete data set in " + here + "/data (" + name +
                    " is missing); make one with: tovira-makedata data";
            return false;
        }
    }
    return true;
}

std::string stillPath(const CaptureOptions& options, int64_t micros)
{
    std::string stem = "tovira";
    if (!options.nullOutput)
        stem = options.output.substr(0, options.output.size() - 4); // drop ".mp4" / ".mkv"
    return stem + "-" + formatSeconds(micros) + "s.png";
}

// One run of the show into the requested outputs.
class CaptureSession {
public:
    CaptureSession(const CaptureOptions& options, std::FILE* err, bool showProgress);

    bool reserveOutput(std::string& error);
    void run();
    int conclude(std::FILE* out, std::FILE* err);

private:
    bool onFrame(const PresentedFrame& frame);
    bool writeStills(const PresentedFrame& frame);
    bool encode(const PresentedFrame& frame);
    bool withinRange(int64_t index) const { return index >= firstFrame && (!endFrame || index < *endFrame); }
    void discardOutput();
    int fail(std::FILE* err, const std::string& message);
    int finishOutput(std::FILE* out, std::FILE* err);
    void report(std::FILE* out) const;

    const CaptureOptions& options;
    FrameTiming timing;
    int64_t firstFrame;
    std::optional<int64_t> endFrame;
    std::string temporary;
    std::unique_ptr<MediaWriter> writer;
    std::vector<bool> stillWritten;
    ProgressBar progress;
    ShowRunResult result;
    int64_t framesEncoded = 0;
    int width = 0, height = 0;
    std::string error;
    bool interrupted = false;
};

int64_t expectedFrames(const FrameTiming& timing, const CaptureOptions& options)
{
    return timing.firstFrameFrom(options.toMicros.value_or(SHOW_LENGTH_MICROS));
}

CaptureSession::CaptureSession(const CaptureOptions& options, std::FILE* err, bool showProgress)
    : options(options), timing{options.fps, SHOW_SAMPLE_RATE}, firstFrame(timing.firstFrameFrom(options.fromMicros)),
      stillWritten(options.stillMicros.size(), false),
      progress(err, showProgress, expectedFrames(timing, options), options.fps)
{
    if (options.toMicros)
        endFrame = timing.firstFrameFrom(*options.toMicros);
}

// Claims a temporary name beside the output now, so that an unwritable place is
// reported before the show runs; the output itself appears only when complete.
bool CaptureSession::reserveOutput(std::string& message)
{
    if (options.nullOutput)
        return true;
    if (std::filesystem::is_directory(options.output))
        return message = "cannot write " + options.output + ": it is a directory", false;
    temporary = options.output + ".partial-" + std::to_string(getpid());
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    if (fd < 0) {
        message = "cannot write " + options.output + ": " + std::strerror(errno);
        temporary.clear();
        return false;
    }
    ::close(fd);
    std::snprintf(partialPath, sizeof partialPath, "%s", temporary.c_str());
    return true;
}

void CaptureSession::run()
{
    // The encoder keeps every core busy, and drawing threads that must wait for one another
    // would only take time from it: while it runs, the show draws on one thread.
    if (!options.nullOutput)
        raster::setDrawThreads(1);
    result = runShowHeadless(timing, [this](const PresentedFrame& frame) { return onFrame(frame); });
    raster::setDrawThreads(0);
    progress.close();
}

bool CaptureSession::onFrame(const PresentedFrame& frame)
{
    if (stopRequested.load()) {
        interrupted = true;
        return false;
    }
    const auto& boxes = win32host::shownMessageBoxes();
    if (!boxes.empty()) {
        error = "the data set in data/ is incomplete: \"" + boxes.front().text + "\" (" + boxes.front().caption + ")";
        return false;
    }
    if (!writeStills(frame) || (withinRange(frame.index) && !encode(frame)))
        return false;
    progress.update(frame.index + 1);
    return !(endFrame && frame.index + 1 >= *endFrame);
}

bool CaptureSession::writeStills(const PresentedFrame& frame)
{
    for (size_t i = 0; i < options.stillMicros.size(); ++i) {
        if (timing.frameShownAt(options.stillMicros[i]) != frame.index)
            continue;
        const std::string path = stillPath(options, options.stillMicros[i]);
        if (!writePngStill(path, frame.pixels, frame.width, frame.height, frame.pitchBytes, error))
            return false;
        stillWritten[i] = true;
    }
    return true;
}

bool CaptureSession::encode(const PresentedFrame& frame)
{
    if (options.nullOutput)
        return true;
    if (!writer) {
        width = frame.width;
        height = frame.height;
        const MediaSettings settings{options.lossless, options.fps, options.scale, timing.sampleRate, width, height};
        writer = MediaWriter::open(temporary, settings, error);
        if (!writer)
            return false;
    }
    if (frame.width != width || frame.height != height) {
        error = "the show changed its frame size while it ran";
        return false;
    }
    if (!writer->writeFrame(frame.pixels, frame.pitchBytes) || !writer->writeAudio(frame.audio, frame.audioFrames)) {
        error = writer->error();
        return false;
    }
    ++framesEncoded;
    return true;
}

void CaptureSession::discardOutput()
{
    writer.reset();
    if (!temporary.empty())
        std::remove(temporary.c_str());
    partialPath[0] = '\0';
}

int CaptureSession::fail(std::FILE* err, const std::string& message)
{
    discardOutput();
    std::fprintf(err, "tovira-capture: %s\n", message.c_str());
    if (!options.nullOutput)
        std::fprintf(err, "tovira-capture: %s was not written\n", options.output.c_str());
    return CAPTURE_FAILED;
}

int CaptureSession::finishOutput(std::FILE* out, std::FILE* err)
{
    if (!options.nullOutput) {
        if (!writer->finish())
            return fail(err, writer->error());
        writer.reset();
        if (std::rename(temporary.c_str(), options.output.c_str()) != 0)
            return fail(err, "cannot write " + options.output + ": " + std::strerror(errno));
        partialPath[0] = '\0';
    }
    report(out);
    for (size_t i = 0; i < options.stillMicros.size(); ++i)
        if (stillWritten[i])
            std::fprintf(out, "wrote %s\n", stillPath(options, options.stillMicros[i]).c_str());
    return CAPTURE_OK;
}

void CaptureSession::report(std::FILE* out) const
{
    const double showSeconds = static_cast<double>(result.framesHandedOver) / options.fps;
    const double speed = progress.speed(result.framesHandedOver);
    if (options.nullOutput) {
        std::fprintf(out, "rendered %lld frames (%.3f s of show) in %.2f s: %.3gx real time\n",
                     static_cast<long long>(result.framesHandedOver), showSeconds, progress.elapsedSeconds(), speed);
        return;
    }
    std::error_code ignored;
    const std::string where = std::filesystem::absolute(options.output, ignored).string();
    std::fprintf(out, "wrote %s: %lld frames, %.3f s, %dx%d at %d fps (rendered at %.3gx real time)\n", where.c_str(),
                 static_cast<long long>(framesEncoded), static_cast<double>(framesEncoded) / options.fps,
                 width * options.scale, height * options.scale, options.fps, speed);
}

int CaptureSession::conclude(std::FILE* out, std::FILE* err)
{
    if (interrupted) {
        discardOutput();
        std::fprintf(err, "tovira-capture: interrupted; %s\n",
                     options.nullOutput ? "stopped" : (options.output + " was not written").c_str());
        return CAPTURE_INTERRUPTED;
    }
    if (!error.empty())
        return fail(err, error);
    if (result.exitCode == 0) {
        const auto& boxes = win32host::shownMessageBoxes();
        return fail(err, "the show could not start" +
                             (boxes.empty() ? std::string() : ": \"" + boxes.back().text + "\""));
    }
    const double endSeconds = static_cast<double>(result.framesPresented) / options.fps;
    if (!options.nullOutput && framesEncoded == 0)
        return fail(err, "nothing to write: the show ended at " + formatSeconds(result.framesPresented * 1'000'000 /
                                                                                 options.fps) + " s");
    int status = finishOutput(out, err);
    for (size_t i = 0; i < options.stillMicros.size(); ++i) {
        if (stillWritten[i])
            continue;
        std::fprintf(err, "tovira-capture: no still at %s s: the show ended at %.3f s\n",
                     formatSeconds(options.stillMicros[i]).c_str(), endSeconds);
        status = CAPTURE_FAILED;
    }
    return status;
}

} // namespace

void requestCaptureStop()
{
    stopRequested.store(true);
}

const char* partialOutputPath()
{
    return partialPath;
}

int captureMain(const std::vector<std::string>& args, std::FILE* out, std::FILE* err, bool showProgress)
{
    CaptureOptions options;
    std::string error;
    if (!parseCaptureOptions(args, options, error)) {
        std::fprintf(err, "tovira-capture: %s\n(tovira-capture --help tells more)\n", error.c_str());
        return CAPTURE_USAGE_ERROR;
    }
    if (options.help) {
        std::fputs(CAPTURE_USAGE, out);
        return CAPTURE_OK;
    }
    if (!checkDataSet(error)) {
        std::fprintf(err, "tovira-capture: %s\n", error.c_str());
        return CAPTURE_FAILED;
    }
    CaptureSession session(options, err, showProgress);
    if (!session.reserveOutput(error)) {
        std::fprintf(err, "tovira-capture: %s\n", error.c_str());
        return CAPTURE_FAILED;
    }
    session.run();
    const int status = session.conclude(out, err);
    stopRequested.store(false); // the stop was for this capture only
    return status;
}
