#include "media_writer.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <cstring>
#include <vector>

namespace {

std::string describe(int code)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

// Everything the encoders need to know about one kind of file.
struct Flavour {
    const char* muxer;
    const char* videoEncoder;
    AVPixelFormat pixelFormat;
    const char* audioEncoder;
};

const Flavour LOSSLESS{"matroska", "ffv1", AV_PIX_FMT_BGR0, "flac"};
// BGR0 is the byte order of X8R8G8B8 words in memory on a little-endian machine.
const Flavour DELIVERY{"mp4", "libx264", AV_PIX_FMT_YUV420P, "aac"};

constexpr int64_t AAC_BIT_RATE = 192'000;
constexpr int VARIABLE_FRAME_SAMPLES = 4096;

class FfmpegWriter final : public MediaWriter {
public:
    FfmpegWriter(const MediaSettings& settings) : settings(settings), flavour(settings.lossless ? LOSSLESS : DELIVERY) {}
    ~FfmpegWriter() override;

    bool open(const std::string& path);
    bool writeFrame(const uint8_t* pixels, int pitchBytes) override;
    bool writeAudio(const int16_t* stereo, size_t frames) override;
    bool finish() override;
    const std::string& error() const override { return message; }

private:
    bool fail(const std::string& what, int code = 0);
    bool openVideo();
    bool openAudio();
    bool openConverters();
    AVCodecContext* newEncoder(const char* name, AVMediaType type);
    bool startStream(AVCodecContext* encoder, AVStream*& stream, AVDictionary** options);
    bool encode(AVCodecContext* encoder, AVStream* stream, AVFrame* frame);
    bool fillVideoFrame(const uint8_t* pixels, int pitchBytes);
    bool sendAudio(int samples);

    MediaSettings settings;
    Flavour flavour;
    std::string message;
    AVFormatContext* format = nullptr;
    AVCodecContext* video = nullptr;
    AVCodecContext* audio = nullptr;
    AVStream* videoStream = nullptr;
    AVStream* audioStream = nullptr;
    SwsContext* toYuv = nullptr;
    SwrContext* toAudioFormat = nullptr;
    AVAudioFifo* fifo = nullptr;
    AVFrame* videoFrame = nullptr;
    AVPacket* packet = nullptr;
    std::vector<uint8_t> enlarged;
    int audioFrameSamples = 0;
    int64_t videoPts = 0;
    int64_t audioPts = 0;
    bool finished = false;
    bool failed = false;
};

FfmpegWriter::~FfmpegWriter()
{
    if (format && format->pb)
        avio_closep(&format->pb);
    avformat_free_context(format);
    avcodec_free_context(&video);
    avcodec_free_context(&audio);
    sws_freeContext(toYuv);
    swr_free(&toAudioFormat);
    if (fifo)
        av_audio_fifo_free(fifo);
    av_frame_free(&videoFrame);
    av_packet_free(&packet);
}

bool FfmpegWriter::fail(const std::string& what, int code)
{
    failed = true;
    message = code ? what + ": " + describe(code) : what;
    return false;
}

AVCodecContext* FfmpegWriter::newEncoder(const char* name, AVMediaType type)
{
    const AVCodec* codec = avcodec_find_encoder_by_name(name);
    if (!codec || codec->type != type) {
        fail(std::string("this FFmpeg has no ") + name + " encoder");
        return nullptr;
    }
    AVCodecContext* encoder = avcodec_alloc_context3(codec);
    if (!encoder) {
        fail("out of memory");
        return nullptr;
    }
    // No version strings, dates or random ids: the same show gives the same bytes.
    encoder->flags |= AV_CODEC_FLAG_BITEXACT;
    if (format->oformat->flags & AVFMT_GLOBALHEADER)
        encoder->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    return encoder;
}

bool FfmpegWriter::startStream(AVCodecContext* encoder, AVStream*& stream, AVDictionary** options)
{
    int code = avcodec_open2(encoder, encoder->codec, options);
    av_dict_free(options);
    if (code < 0)
        return fail(std::string("cannot start the ") + encoder->codec->name + " encoder", code);
    stream = avformat_new_stream(format, nullptr);
    if (!stream)
        return fail("out of memory");
    stream->time_base = encoder->time_base;
    code = avcodec_parameters_from_context(stream->codecpar, encoder);
    return code < 0 ? fail("cannot describe a stream", code) : true;
}

bool FfmpegWriter::openVideo()
{
    video = newEncoder(flavour.videoEncoder, AVMEDIA_TYPE_VIDEO);
    if (!video)
        return false;
    video->width = settings.width * settings.scale;
    video->height = settings.height * settings.scale;
    video->pix_fmt = flavour.pixelFormat;
    video->time_base = AVRational{1, settings.fps};
    video->framerate = AVRational{settings.fps, 1};
    video->sample_aspect_ratio = AVRational{1, 1};
    AVDictionary* options = nullptr;
    if (settings.lossless) {
        // Every frame a key frame, with checksummed slices: an archive copy that can be
        // cut anywhere and checked for damage.
        video->gop_size = 1;
        av_dict_set(&options, "level", "3", 0);
        av_dict_set(&options, "slicecrc", "1", 0);
    } else {
        video->gop_size = 2 * settings.fps;
        video->color_range = AVCOL_RANGE_MPEG;
        video->colorspace = AVCOL_SPC_BT709;
        video->color_primaries = AVCOL_PRI_BT709;
        video->color_trc = AVCOL_TRC_BT709;
        av_dict_set(&options, "preset", "medium", 0);
        av_dict_set(&options, "crf", "18", 0);
    }
    if (!startStream(video, videoStream, &options))
        return false;
    videoStream->avg_frame_rate = video->framerate;
    return true;
}

bool FfmpegWriter::openAudio()
{
    audio = newEncoder(flavour.audioEncoder, AVMEDIA_TYPE_AUDIO);
    if (!audio)
        return false;
    audio->sample_fmt = audio->codec->sample_fmts ? audio->codec->sample_fmts[0] : AV_SAMPLE_FMT_S16;
    audio->sample_rate = static_cast<int>(settings.sampleRate);
    audio->time_base = AVRational{1, audio->sample_rate};
    const AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
    av_channel_layout_copy(&audio->ch_layout, &stereo);
    if (!settings.lossless)
        audio->bit_rate = AAC_BIT_RATE;
    AVDictionary* options = nullptr;
    if (!startStream(audio, audioStream, &options))
        return false;
    audioFrameSamples = audio->frame_size > 0 ? audio->frame_size : VARIABLE_FRAME_SAMPLES;
    return true;
}

bool FfmpegWriter::openConverters()
{
    videoFrame = av_frame_alloc();
    packet = av_packet_alloc();
    if (!videoFrame || !packet)
        return fail("out of memory");
    videoFrame->format = video->pix_fmt;
    videoFrame->width = video->width;
    videoFrame->height = video->height;
    if (int code = av_frame_get_buffer(videoFrame, 0); code < 0)
        return fail("cannot allocate a video frame", code);
    if (!settings.lossless) {
        toYuv = sws_getContext(video->width, video->height, AV_PIX_FMT_BGR0, video->width, video->height,
                               AV_PIX_FMT_YUV420P, SWS_BILINEAR | SWS_ACCURATE_RND, nullptr, nullptr, nullptr);
        if (!toYuv)
            return fail("cannot set up the colour conversion");
        // Full-range RGB into the limited-range BT.709 the stream is tagged with.
        const int* bt709 = sws_getCoefficients(SWS_CS_ITU709);
        sws_setColorspaceDetails(toYuv, bt709, 1, bt709, 0, 0, 1 << 16, 1 << 16);
        if (settings.scale > 1)
            enlarged.resize(static_cast<size_t>(video->width) * video->height * 4);
    }
    AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
    int code = swr_alloc_set_opts2(&toAudioFormat, &stereo, audio->sample_fmt, audio->sample_rate, &stereo,
                                   AV_SAMPLE_FMT_S16, audio->sample_rate, 0, nullptr);
    if (code < 0 || (code = swr_init(toAudioFormat)) < 0)
        return fail("cannot set up the sample conversion", code);
    fifo = av_audio_fifo_alloc(audio->sample_fmt, 2, audioFrameSamples * 2);
    return fifo ? true : fail("out of memory");
}

bool FfmpegWriter::open(const std::string& path)
{
    int code = avformat_alloc_output_context2(&format, nullptr, flavour.muxer, path.c_str());
    if (code < 0 || !format)
        return fail(std::string("cannot set up the ") + flavour.muxer + " muxer", code);
    format->flags |= AVFMT_FLAG_BITEXACT;
    if (!openVideo() || !openAudio() || !openConverters())
        return false;
    if ((code = avio_open(&format->pb, path.c_str(), AVIO_FLAG_WRITE)) < 0)
        return fail("cannot write " + path, code);
    AVDictionary* options = nullptr;
    if (!settings.lossless)
        av_dict_set(&options, "movflags", "+faststart", 0); // playable while it downloads
    code = avformat_write_header(format, &options);
    av_dict_free(&options);
    return code < 0 ? fail("cannot write the file header", code) : true;
}

bool FfmpegWriter::encode(AVCodecContext* encoder, AVStream* stream, AVFrame* frame)
{
    int code = avcodec_send_frame(encoder, frame);
    if (code < 0)
        return fail(std::string("the ") + encoder->codec->name + " encoder refused a frame", code);
    while ((code = avcodec_receive_packet(encoder, packet)) >= 0) {
        av_packet_rescale_ts(packet, encoder->time_base, stream->time_base);
        packet->stream_index = stream->index;
        if ((code = av_interleaved_write_frame(format, packet)) < 0)
            return fail("cannot write to the video file", code);
    }
    if (code != AVERROR(EAGAIN) && code != AVERROR_EOF)
        return fail(std::string("the ") + encoder->codec->name + " encoder failed", code);
    return true;
}

bool FfmpegWriter::fillVideoFrame(const uint8_t* pixels, int pitchBytes)
{
    if (int code = av_frame_make_writable(videoFrame); code < 0)
        return fail("cannot allocate a video frame", code);
    if (settings.lossless) {
        upscaleNearest(pixels, settings.width, settings.height, pitchBytes, settings.scale, videoFrame->data[0],
                       videoFrame->linesize[0]);
        return true;
    }
    const uint8_t* source = pixels;
    int sourcePitch = pitchBytes;
    if (settings.scale > 1) {
        sourcePitch = video->width * 4;
        upscaleNearest(pixels, settings.width, settings.height, pitchBytes, settings.scale, enlarged.data(),
                       sourcePitch);
        source = enlarged.data();
    }
    sws_scale(toYuv, &source, &sourcePitch, 0, video->height, videoFrame->data, videoFrame->linesize);
    return true;
}

bool FfmpegWriter::writeFrame(const uint8_t* pixels, int pitchBytes)
{
    if (failed || finished)
        return false;
    if (!fillVideoFrame(pixels, pitchBytes))
        return false;
    videoFrame->pts = videoPts++;
    return encode(video, videoStream, videoFrame);
}

bool FfmpegWriter::sendAudio(int samples)
{
    AVFrame* frame = av_frame_alloc();
    if (!frame)
        return fail("out of memory");
    frame->nb_samples = samples;
    frame->format = audio->sample_fmt;
    frame->sample_rate = audio->sample_rate;
    av_channel_layout_copy(&frame->ch_layout, &audio->ch_layout);
    int code = av_frame_get_buffer(frame, 0);
    if (code >= 0)
        code = av_audio_fifo_read(fifo, reinterpret_cast<void**>(frame->data), samples);
    bool ok = code >= 0 ? true : fail("cannot allocate an audio frame", code);
    if (ok) {
        frame->pts = audioPts;
        audioPts += samples;
        ok = encode(audio, audioStream, frame);
    }
    av_frame_free(&frame);
    return ok;
}

bool FfmpegWriter::writeAudio(const int16_t* stereo, size_t frames)
{
    if (failed || finished)
        return false;
    if (frames == 0)
        return true;
    uint8_t** converted = nullptr;
    const int count = static_cast<int>(frames);
    int code = av_samples_alloc_array_and_samples(&converted, nullptr, 2, count, audio->sample_fmt, 0);
    if (code < 0)
        return fail("cannot allocate audio samples", code);
    const uint8_t* input = reinterpret_cast<const uint8_t*>(stereo);
    code = swr_convert(toAudioFormat, converted, count, &input, count);
    if (code >= 0)
        code = av_audio_fifo_write(fifo, reinterpret_cast<void**>(converted), code);
    av_freep(&converted[0]);
    av_freep(&converted);
    if (code < 0)
        return fail("cannot convert audio samples", code);
    while (av_audio_fifo_size(fifo) >= audioFrameSamples)
        if (!sendAudio(audioFrameSamples))
            return false;
    return true;
}

bool FfmpegWriter::finish()
{
    if (failed || finished)
        return false;
    // The encoders take a short last frame, so the music ends on the last video frame.
    if (av_audio_fifo_size(fifo) > 0 && !sendAudio(av_audio_fifo_size(fifo)))
        return false;
    if (!encode(video, videoStream, nullptr) || !encode(audio, audioStream, nullptr))
        return false;
    if (int code = av_write_trailer(format); code < 0)
        return fail("cannot complete the video file", code);
    if (int code = avio_closep(&format->pb); code < 0)
        return fail("cannot complete the video file", code);
    finished = true;
    return true;
}

} // namespace

std::unique_ptr<MediaWriter> MediaWriter::open(const std::string& path, const MediaSettings& settings,
                                               std::string& error)
{
    // The libraries' own chatter (encoder statistics) would break the progress line;
    // their errors still come through, and every failure is reported by us as well.
    av_log_set_level(AV_LOG_ERROR);
    auto writer = std::make_unique<FfmpegWriter>(settings);
    if (!writer->open(path)) {
        error = writer->error();
        return nullptr;
    }
    return writer;
}

void upscaleNearest(const uint8_t* pixels, int width, int height, int pitchBytes, int scale, uint8_t* out,
                    int outPitchBytes)
{
    const size_t rowBytes = static_cast<size_t>(width) * 4;
    for (int y = 0; y < height; ++y) {
        const uint32_t* source = reinterpret_cast<const uint32_t*>(pixels + static_cast<size_t>(y) * pitchBytes);
        uint8_t* firstRow = out + static_cast<size_t>(y) * scale * outPitchBytes;
        if (scale == 1) {
            std::memcpy(firstRow, source, rowBytes);
            continue;
        }
        uint32_t* target = reinterpret_cast<uint32_t*>(firstRow);
        for (int x = 0; x < width; ++x)
            for (int k = 0; k < scale; ++k)
                *target++ = source[x];
        for (int k = 1; k < scale; ++k)
            std::memcpy(firstRow + static_cast<size_t>(k) * outPitchBytes, firstRow, rowBytes * scale);
    }
}
