// Encodes frames and music into one video file through FFmpeg's libraries: MP4 with
// H.264 and AAC, or Matroska with FFV1 and FLAC for a lossless archive copy.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

struct MediaSettings {
    bool lossless = false;
    int fps = 60;
    int scale = 1;              // each source pixel becomes scale x scale pixels
    int64_t sampleRate = 44100;
    int width = 640, height = 480; // of the source frames
};

class MediaWriter {
public:
    // Opens `path` (created or truncated) and prepares both streams; null with a
    // reason in `error` when that fails.
    static std::unique_ptr<MediaWriter> open(const std::string& path, const MediaSettings& settings,
                                             std::string& error);
    virtual ~MediaWriter() = default;

    // The next video frame: X8R8G8B8 rows of the source size.
    virtual bool writeFrame(const uint8_t* pixels, int pitchBytes) = 0;
    // The next interleaved stereo samples.
    virtual bool writeAudio(const int16_t* stereo, size_t frames) = 0;
    // Flushes the encoders and completes the file; nothing is complete before this.
    virtual bool finish() = 0;
    virtual const std::string& error() const = 0;
};

// Nearest-neighbour enlargement of X8R8G8B8 rows by a whole factor into `out`
// (pitch outPitchBytes, at least width * scale * 4).
void upscaleNearest(const uint8_t* pixels, int width, int height, int pitchBytes, int scale, uint8_t* out,
                    int outPitchBytes);
