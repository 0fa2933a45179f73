#include "progress.h"

#include <algorithm>

namespace {

constexpr int BAR_WIDTH = 30;
constexpr auto REDRAW_INTERVAL = std::chrono::milliseconds(100);

std::string minutesAndSeconds(double seconds)
{
    const long whole = static_cast<long>(std::max(0.0, seconds) + 0.5);
    char text[32];
    std::snprintf(text, sizeof text, "%ld:%02ld", whole / 60, whole % 60);
    return text;
}

} // namespace

std::string formatProgress(int64_t framesDone, int64_t expectedFrames, double speed, double secondsLeft)
{
    const int64_t total = std::max<int64_t>(expectedFrames, 1);
    const double fraction = std::clamp(static_cast<double>(framesDone) / static_cast<double>(total), 0.0, 1.0);
    const int filled = static_cast<int>(fraction * BAR_WIDTH);
    std::string bar(static_cast<size_t>(filled), '#');
    bar.append(static_cast<size_t>(BAR_WIDTH - filled), '.');
    char text[160];
    std::snprintf(text, sizeof text, "[%s] %3d%%  frame %lld/%lld  %.1fx real time  %s left", bar.c_str(),
                  static_cast<int>(fraction * 100.0), static_cast<long long>(framesDone),
                  static_cast<long long>(expectedFrames), speed, minutesAndSeconds(secondsLeft).c_str());
    return text;
}

ProgressBar::ProgressBar(std::FILE* stream, bool enabled, int64_t expectedFrames, int fps)
    : stream(stream), enabled(enabled), expectedFrames(expectedFrames), fps(fps),
      started(std::chrono::steady_clock::now()), lastDrawn(started)
{
}

double ProgressBar::elapsedSeconds() const
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
}

double ProgressBar::speed(int64_t framesDone) const
{
    const double elapsed = elapsedSeconds();
    return elapsed > 0.0 ? static_cast<double>(framesDone) / fps / elapsed : 0.0;
}

void ProgressBar::update(int64_t framesDone)
{
    if (!enabled)
        return;
    const auto now = std::chrono::steady_clock::now();
    if (drawn && now - lastDrawn < REDRAW_INTERVAL)
        return;
    lastDrawn = now;
    drawn = true;
    const double currentSpeed = speed(framesDone);
    const double showSecondsLeft = static_cast<double>(std::max<int64_t>(expectedFrames - framesDone, 0)) / fps;
    const double secondsLeft = currentSpeed > 0.0 ? showSecondsLeft / currentSpeed : 0.0;
    std::fprintf(stream, "\r%s\033[K", formatProgress(framesDone, expectedFrames, currentSpeed, secondsLeft).c_str());
    std::fflush(stream);
}

void ProgressBar::close()
{
    if (enabled && drawn) {
        std::fprintf(stream, "\r\033[K");
        std::fflush(stream);
    }
}
