#include "capture_options.h"

#include <cctype>
#include <charconv>
#include <cstdio>

const char CAPTURE_USAGE[] =
    "usage: tovira-capture [--fps N] [--scale K] [--lossless] [--from S] [--to S]\n"
    "                      [--png-at T1,T2,...] (OUTPUT | --null)\n"
    "\n"
    "Renders the show from ./data into a video file, one frame every 1/N second of\n"
    "show time, with its music.\n"
    "\n"
    "  OUTPUT         the video: MP4 (H.264, AAC), or Matroska (FFV1, FLAC) with\n"
    "                 --lossless; its name ends in .mp4 or .mkv accordingly\n"
    "  --null         render the show without writing a video (to time it)\n"
    "  --fps N        frames per second of show time, 1 to 240 (default 60)\n"
    "  --scale K      enlarge each frame K times, nearest neighbour, 1 to 8 (default 1)\n"
    "  --lossless     write Matroska with FFV1 video and FLAC audio\n"
    "  --from S       start the video S seconds into the show (default 0)\n"
    "  --to S         end the video S seconds into the show (default: the show's end)\n"
    "  --png-at T,... also write the frames on screen at these seconds as PNG\n"
    "                 stills at the show's own size, beside OUTPUT and named after\n"
    "                 it (show.mp4 --png-at 5 gives show-5.000s.png; tovira-5.000s.png\n"
    "                 in the current directory with --null)\n"
    "  --help         show this text\n";

namespace {

constexpr int64_t MICROS_PER_SECOND = 1'000'000;

bool parseWhole(const std::string& text, int low, int high, int& value)
{
    const char* end = text.data() + text.size();
    auto [last, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && last == end && value >= low && value <= high;
}

bool parseTimeList(const std::string& text, std::vector<int64_t>& times)
{
    size_t begin = 0;
    while (true) {
        const size_t comma = text.find(',', begin);
        const auto time = parseSeconds(text.substr(begin, comma - begin));
        if (!time)
            return false;
        times.push_back(*time);
        if (comma == std::string::npos)
            return true;
        begin = comma + 1;
    }
}

bool endsWithIgnoringCase(const std::string& text, const std::string& suffix)
{
    if (text.size() < suffix.size())
        return false;
    for (size_t i = 0; i < suffix.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(text[text.size() - suffix.size() + i])) != suffix[i])
            return false;
    return true;
}

// Splits "--name=value" and "--name value"; `index` moves past what was used.
struct ArgumentReader {
    const std::vector<std::string>& args;
    size_t index = 0;

    bool valueFor(const std::string& name, std::string& value, std::string& error)
    {
        const std::string& arg = args[index];
        if (arg.size() > name.size() && arg.compare(0, name.size() + 1, name + "=") == 0) {
            value = arg.substr(name.size() + 1);
            return true;
        }
        if (index + 1 >= args.size()) {
            error = name + " needs a value";
            return false;
        }
        value = args[++index];
        return true;
    }
};

bool isOption(const std::string& arg, const char* name)
{
    const std::string n = name;
    return arg == n || arg.rfind(n + "=", 0) == 0;
}

bool parseOne(ArgumentReader& reader, CaptureOptions& o, std::string& error)
{
    const std::string& arg = reader.args[reader.index];
    std::string value;
    if (arg == "--help" || arg == "-h") {
        o.help = true;
    } else if (arg == "--lossless") {
        o.lossless = true;
    } else if (arg == "--null") {
        o.nullOutput = true;
    } else if (isOption(arg, "--fps")) {
        if (!reader.valueFor("--fps", value, error))
            return false;
        if (!parseWhole(value, 1, 240, o.fps))
            return error = "--fps takes a whole number from 1 to 240, not \"" + value + "\"", false;
    } else if (isOption(arg, "--scale")) {
        if (!reader.valueFor("--scale", value, error))
            return false;
        if (!parseWhole(value, 1, 8, o.scale))
            return error = "--scale takes a whole number from 1 to 8, not \"" + value + "\"", false;
    } else if (isOption(arg, "--from") || isOption(arg, "--to")) {
        const bool from = isOption(arg, "--from");
        const std::string name = from ? "--from" : "--to";
        if (!reader.valueFor(name, value, error))
            return false;
        const auto time = parseSeconds(value);
        if (!time)
            return error = name + " takes seconds such as 12 or 61.5, not \"" + value + "\"", false;
        (from ? o.fromMicros : o.toMicros.emplace()) = *time;
    } else if (isOption(arg, "--png-at")) {
        if (!reader.valueFor("--png-at", value, error))
            return false;
        if (!parseTimeList(value, o.stillMicros))
            return error = "--png-at takes seconds separated by commas, such as 5,12.5, not \"" + value + "\"",
                   false;
    } else if (arg.size() > 1 && arg[0] == '-') {
        return error = "unknown option " + arg, false;
    } else if (!o.output.empty()) {
        return error = "only one OUTPUT may be given (\"" + o.output + "\" and \"" + arg + "\")", false;
    } else {
        o.output = arg;
    }
    return true;
}

bool checkConsistency(const CaptureOptions& o, std::string& error)
{
    if (o.nullOutput && !o.output.empty())
        return error = "give either OUTPUT or --null, not both", false;
    if (!o.nullOutput && o.output.empty())
        return error = "no OUTPUT given (or --null to render without writing a video)", false;
    if (o.toMicros && *o.toMicros <= o.fromMicros)
        return error = "--to must be later than --from", false;
    for (int64_t still : o.stillMicros)
        if (o.toMicros && still >= *o.toMicros)
            return error = "--png-at " + formatSeconds(still) + " is not before --to", false;
    if (!o.output.empty()) {
        const char* extension = o.lossless ? ".mkv" : ".mp4";
        if (!endsWithIgnoringCase(o.output, extension))
            return error = std::string(o.lossless ? "--lossless writes Matroska" : "the video is MP4") +
                           ": OUTPUT must end in " + extension,
                   false;
    }
    return true;
}

} // namespace

std::optional<int64_t> parseSeconds(const std::string& text)
{
    const size_t dot = text.find('.');
    const std::string whole = text.substr(0, dot);
    const std::string fraction = dot == std::string::npos ? "" : text.substr(dot + 1);
    if (whole.empty() && fraction.empty())
        return std::nullopt;
    if (whole.size() > 9 || fraction.size() > 6)
        return std::nullopt;
    for (const std::string* part : {&whole, &fraction})
        for (char c : *part)
            if (!std::isdigit(static_cast<unsigned char>(c)))
                return std::nullopt;
    int64_t micros = 0;
    for (char c : whole)
        micros = micros * 10 + (c - '0');
    micros *= MICROS_PER_SECOND;
    int64_t unit = MICROS_PER_SECOND / 10;
    for (char c : fraction) {
        micros += (c - '0') * unit;
        unit /= 10;
    }
    return micros;
}

std::string formatSeconds(int64_t micros)
{
    char text[32];
    if (micros % 1000 == 0)
        std::snprintf(text, sizeof text, "%lld.%03lld", static_cast<long long>(micros / MICROS_PER_SECOND),
                      static_cast<long long>(micros % MICROS_PER_SECOND / 1000));
    else
        std::snprintf(text, sizeof text, "%lld.%06lld", static_cast<long long>(micros / MICROS_PER_SECOND),
                      static_cast<long long>(micros % MICROS_PER_SECOND));
    return text;
}

bool parseCaptureOptions(const std::vector<std::string>& args, CaptureOptions& options, std::string& error)
{
    options = CaptureOptions{};
    ArgumentReader reader{args};
    for (; reader.index < args.size(); ++reader.index)
        if (!parseOne(reader, options, error))
            return false;
    if (options.help)
        return true;
    return checkConsistency(options, error);
}
