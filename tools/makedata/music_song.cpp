#include "music_song.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <optional>

namespace {

std::string_view songText =
#include "music/pork.txt"
    ;

bool isNameChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

bool isName(std::string_view s) { return !s.empty() && std::all_of(s.begin(), s.end(), isNameChar); }

std::optional<int> parseInt(std::string_view s) {
    int value = 0;
    if (s.empty()) return std::nullopt;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
    if (ec != std::errc() || end != s.data() + s.size()) return std::nullopt;
    return value;
}

std::optional<int> parseHexByte(std::string_view s) {
    int value = 0;
    if (s.size() != 2) return std::nullopt;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + 2, value, 16);
    if (ec != std::errc() || end != s.data() + 2) return std::nullopt;
    return value;
}

// A comment starts with a '#' that begins a word, so sharps such as "C#4" stay notes.
std::string_view withoutComment(std::string_view line) {
    for (std::size_t i = 0; i < line.size(); ++i)
        if (line[i] == '#' && (i == 0 || std::isspace(static_cast<unsigned char>(line[i - 1])))) return line.substr(0, i);
    return line;
}

std::vector<std::string_view> splitWords(std::string_view line) {
    std::vector<std::string_view> words;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && std::isspace(static_cast<unsigned char>(line[i]))) ++i;
        const std::size_t start = i;
        while (i < line.size() && !std::isspace(static_cast<unsigned char>(line[i]))) ++i;
        if (i > start) words.push_back(line.substr(start, i - start));
    }
    return words;
}

// "C-4", "C#4": 1..96 with C-0 = 1.
std::optional<int> parseNote(std::string_view s) {
    static const std::string_view letters = "C D EF G A B";
    if (s.size() != 3 || (s[1] != '-' && s[1] != '#') || s[2] < '0' || s[2] > '7') return std::nullopt;
    const std::size_t semitone = letters.find(s[0]);
    if (s[0] == ' ' || semitone == std::string_view::npos) return std::nullopt;
    const int sharp = s[1] == '#' ? 1 : 0;
    const int note = (s[2] - '0') * 12 + static_cast<int>(semitone) + sharp + 1;
    if (sharp && (s[0] == 'E' || s[0] == 'B')) return std::nullopt;
    return note;
}

std::optional<int> effectType(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c == 'G') return 16;
    if (c == 'H') return 17;
    if (c == 'K') return 20;
    if (c == 'P') return 25;
    return std::nullopt;  // L, R, T, X and the rest are refused: players disagree on them
}

// Effects whose zero parameter means "as last time": they must carry their own value.
bool hasMemory(int type) { return type == 1 || type == 2 || type == 3 || type == 4 || type == 10 || type == 17 || type == 25; }

class Parser {
public:
    explicit Parser(Song& song) : song_(song) {}
    bool run(std::string_view text, std::string* error);

private:
    bool fail(const std::string& message) {
        error_ = "line " + std::to_string(line_) + ": " + message;
        return false;
    }
    bool statement(const std::vector<std::string_view>& words);
    bool continuation(const std::vector<std::string_view>& words);
    bool parseChannels(const std::vector<std::string_view>& words);
    bool parsePan(const std::vector<std::string_view>& words);
    bool parseLegato(const std::vector<std::string_view>& words);
    bool parseEcho(const std::vector<std::string_view>& words);
    bool parseInstrument(const std::vector<std::string_view>& words);
    bool parseTempo(const std::vector<std::string_view>& words);
    bool parseRestart(const std::vector<std::string_view>& words);
    bool beginClip(const std::vector<std::string_view>& words);
    bool beginPattern(const std::vector<std::string_view>& words);
    bool addTokens(const std::vector<std::string_view>& words, std::size_t from);
    bool addLane(const std::vector<std::string_view>& words);
    bool addOrder(const std::vector<std::string_view>& words, std::size_t from);
    bool parseToken(std::string_view word, SongToken* token);
    bool parseElement(std::string_view word, SongElement* element);
    bool parseSuffix(char kind, std::string_view value, SongElement* element);
    bool parseEffect(std::string_view value, SongElement* element);
    bool parseUse(std::string_view word, SongClipUse* use);
    SongChannel* channel(std::string_view name);
    bool checkReferences();

    enum class Block { none, clip, pattern, order };
    Song& song_;
    Block block_ = Block::none;
    int line_ = 0;
    std::string error_;
};

bool Parser::run(std::string_view text, std::string* error) {
    std::size_t start = 0;
    bool ok = true;
    while (ok && start <= text.size()) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        ++line_;
        line = withoutComment(line);
        const std::vector<std::string_view> words = splitWords(line);
        if (words.empty()) continue;
        const bool indented = std::isspace(static_cast<unsigned char>(line[0]));
        ok = indented ? continuation(words) : statement(words);
    }
    if (ok) ok = checkReferences();
    if (!ok && error) *error = error_;
    return ok;
}

bool Parser::statement(const std::vector<std::string_view>& words) {
    block_ = Block::none;
    const std::string_view keyword = words[0];
    if (keyword == "title") {
        if (words.size() != 2) return fail("title takes one word");
        song_.title = std::string(words[1]);
        return true;
    }
    if (keyword == "tempo") return parseTempo(words);
    if (keyword == "channels") return parseChannels(words);
    if (keyword == "pan") return parsePan(words);
    if (keyword == "legato") return parseLegato(words);
    if (keyword == "echo") return parseEcho(words);
    if (keyword == "instrument") return parseInstrument(words);
    if (keyword == "clip") return beginClip(words);
    if (keyword == "pattern") return beginPattern(words);
    if (keyword == "order") {
        block_ = Block::order;
        return addOrder(words, 1);
    }
    if (keyword == "restart") return parseRestart(words);
    return fail("unknown keyword '" + std::string(keyword) + "'");
}

bool Parser::continuation(const std::vector<std::string_view>& words) {
    switch (block_) {
        case Block::clip: return addTokens(words, 0);
        case Block::pattern: return addLane(words);
        case Block::order: return addOrder(words, 0);
        case Block::none: break;
    }
    return fail("indented line outside a clip, pattern or order list");
}

bool Parser::parseTempo(const std::vector<std::string_view>& words) {
    const auto bpm = words.size() == 3 ? parseInt(words[1]) : std::nullopt;
    const auto speed = words.size() == 3 ? parseInt(words[2]) : std::nullopt;
    if (!bpm || !speed || *bpm < 32 || *bpm > 255 || *speed < 1 || *speed > 31)
        return fail("tempo takes BPM 32..255 and ticks per row 1..31");
    song_.bpm = *bpm;
    song_.speed = *speed;
    return true;
}

bool Parser::parseChannels(const std::vector<std::string_view>& words) {
    if (!song_.channels.empty()) return fail("channels are already declared");
    for (std::size_t i = 1; i < words.size(); ++i) {
        const std::size_t colon = words[i].find(':');
        SongChannel c;
        c.name = std::string(words[i].substr(0, colon));
        const auto voices = colon == std::string_view::npos ? std::optional<int>(1) : parseInt(words[i].substr(colon + 1));
        if (!isName(c.name) || !voices || *voices < 1 || *voices > 8) return fail("bad channel '" + std::string(words[i]) + "'");
        if (channel(c.name)) return fail("channel '" + c.name + "' declared twice");
        c.voices = *voices;
        c.firstColumn = song_.columns;
        song_.columns += c.voices;
        song_.channels.push_back(c);
    }
    if (song_.columns < 2 || song_.columns > 32 || song_.columns % 2 != 0)
        return fail("channel voices must add up to an even number from 2 to 32");
    return true;
}

SongChannel* Parser::channel(std::string_view name) {
    for (SongChannel& c : song_.channels)
        if (c.name == name) return &c;
    return nullptr;
}

bool Parser::parsePan(const std::vector<std::string_view>& words) {
    SongChannel* c = words.size() >= 2 ? channel(words[1]) : nullptr;
    if (!c) return fail("pan needs a declared channel");
    if (words.size() != static_cast<std::size_t>(2 + c->voices)) return fail("pan needs one value per voice");
    c->pans.clear();
    for (std::size_t i = 2; i < words.size(); ++i) {
        const auto pan = parseInt(words[i]);
        if (!pan || *pan < 0 || *pan > 255) return fail("pan values are 0..255");
        c->pans.push_back(*pan);
    }
    return true;
}

bool Parser::parseLegato(const std::vector<std::string_view>& words) {
    if (words.size() < 2) return fail("legato needs channels");
    for (std::size_t i = 1; i < words.size(); ++i) {
        SongChannel* c = channel(words[i]);
        if (!c) return fail("unknown channel '" + std::string(words[i]) + "'");
        c->legato = true;
    }
    return true;
}

bool Parser::parseEcho(const std::vector<std::string_view>& words) {
    SongChannel* c = words.size() == 5 ? channel(words[1]) : nullptr;
    const SongChannel* source = words.size() == 5 ? channel(words[2]) : nullptr;
    if (!c || !source) return fail("echo takes: channel, source channel, delay rows, volume percent");
    const auto delay = parseInt(words[3]);
    const auto percent = parseInt(words[4]);
    if (!delay || *delay < 1 || *delay > 64 || !percent || *percent < 1 || *percent > 100)
        return fail("echo delay is 1..64 rows and volume 1..100 percent");
    if (c == source || c->voices != source->voices || !source->echoOf.empty())
        return fail("an echo needs another plain channel with as many voices");
    c->echoOf = source->name;
    c->echoDelayRows = *delay;
    c->echoPercent = *percent;
    return true;
}

bool Parser::parseInstrument(const std::vector<std::string_view>& words) {
    const auto volume = words.size() == 4 ? parseInt(words[2]) : std::nullopt;
    const auto pan = words.size() == 4 ? parseInt(words[3]) : std::nullopt;
    if (!volume || !pan || !isName(words[1]) || *volume < 0 || *volume > 64 || *pan < 0 || *pan > 255)
        return fail("instrument takes a name, volume 0..64 and pan 0..255");
    if (findInstrument(song_, std::string(words[1]))) return fail("instrument declared twice");
    if (song_.instruments.size() >= 128) return fail("more than 128 instruments");
    song_.instruments.push_back({std::string(words[1]), *volume, *pan});
    return true;
}

bool Parser::parseRestart(const std::vector<std::string_view>& words) {
    const auto index = words.size() == 2 ? parseInt(words[1]) : std::nullopt;
    if (!index || *index < 0) return fail("restart takes an order index");
    song_.restart = *index;
    return true;
}

bool Parser::beginClip(const std::vector<std::string_view>& words) {
    if (words.size() < 3 || !isName(words[1]) || !isName(words[2])) return fail("clip takes a name and an instrument");
    if (findClip(song_, std::string(words[1]))) return fail("clip '" + std::string(words[1]) + "' declared twice");
    SongClip clip;
    clip.name = std::string(words[1]);
    clip.instrument = std::string(words[2]);
    clip.line = line_;
    song_.clips.push_back(clip);
    block_ = Block::clip;
    return addTokens(words, 3);
}

bool Parser::addTokens(const std::vector<std::string_view>& words, std::size_t from) {
    SongClip& clip = song_.clips.back();
    for (std::size_t i = from; i < words.size(); ++i) {
        if (words[i] == "|") continue;
        std::string_view word = words[i];
        int count = 1;
        const std::size_t star = word.rfind('*');
        if (star != std::string_view::npos) {
            const auto n = parseInt(word.substr(star + 1));
            if (!n || *n < 1 || *n > 256) return fail("bad repeat count in '" + std::string(word) + "'");
            count = *n;
            word = word.substr(0, star);
        }
        SongToken token;
        if (!parseToken(word, &token)) return false;
        clip.rows.insert(clip.rows.end(), static_cast<std::size_t>(count), token);
        if (clip.rows.size() > 4096) return fail("clip too long");
    }
    return true;
}

bool Parser::parseToken(std::string_view word, SongToken* token) {
    token->line = line_;
    std::size_t start = 0;
    while (true) {
        const std::size_t comma = word.find(',', start);
        SongElement element;
        if (!parseElement(word.substr(start, comma - start), &element)) return false;
        token->elements.push_back(element);
        if (comma == std::string_view::npos) break;
        start = comma + 1;
    }
    if (token->elements.size() > 8) return fail("more than 8 voices in '" + std::string(word) + "'");
    return true;
}

bool Parser::parseElement(std::string_view word, SongElement* element) {
    const std::size_t headEnd = std::min(word.find_first_of("/:@"), word.size());
    const std::string_view head = word.substr(0, headEnd);
    if (head == "off") {
        element->note = 97;
    } else if (head != ".") {
        const auto note = parseNote(head);
        if (!note) return fail("bad note '" + std::string(head) + "' (write C-4, C#4, '.' or 'off')");
        element->note = static_cast<std::uint8_t>(*note);
    }
    std::size_t i = headEnd;
    while (i < word.size()) {
        const std::size_t next = std::min(word.find_first_of("/:@", i + 1), word.size());
        if (!parseSuffix(word[i], word.substr(i + 1, next - i - 1), element)) return false;
        i = next;
    }
    return true;
}

bool Parser::parseSuffix(char kind, std::string_view value, SongElement* element) {
    if (kind == '/') {
        const auto volume = parseInt(value);
        if (!volume || *volume < 0 || *volume > 64) return fail("volume '" + std::string(value) + "' is not 0..64");
        element->volume = *volume;
        return true;
    }
    if (kind == ':') return parseEffect(value, element);
    if (!isName(value)) return fail("bad instrument name '" + std::string(value) + "'");
    element->instrument = std::string(value);
    return true;
}

bool Parser::parseEffect(std::string_view value, SongElement* element) {
    const auto type = value.size() == 3 ? effectType(value[0]) : std::nullopt;
    const auto param = value.size() == 3 ? parseHexByte(value.substr(1)) : std::nullopt;
    if (!type || !param) return fail("bad effect '" + std::string(value) + "' (write type and two hex digits)");
    const int subCommand = *param >> 4;
    if (*type == 14 && (subCommand == 5 || subCommand == 6 || subCommand == 14))
        return fail("effect E" + std::string(1, value[1]) + "x behaves differently between players");
    if (*type == 15 && *param == 0) return fail("F00 stops some players");
    if (hasMemory(*type) && *param == 0) return fail("effect '" + std::string(value) + "' needs its own parameter");
    element->hasEffect = true;
    element->effect = static_cast<std::uint8_t>(*type);
    element->param = static_cast<std::uint8_t>(*param);
    return true;
}

bool Parser::beginPattern(const std::vector<std::string_view>& words) {
    const auto rows = words.size() == 3 ? parseInt(words[2]) : std::nullopt;
    if (!rows || !isName(words[1]) || *rows < 1 || *rows > 256) return fail("pattern takes a name and 1..256 rows");
    if (findPattern(song_, std::string(words[1]))) return fail("pattern '" + std::string(words[1]) + "' declared twice");
    SongPattern pattern;
    pattern.name = std::string(words[1]);
    pattern.rows = *rows;
    pattern.line = line_;
    song_.patterns.push_back(pattern);
    block_ = Block::pattern;
    return true;
}

bool Parser::addLane(const std::vector<std::string_view>& words) {
    SongLane lane;
    lane.channel = std::string(words[0]);
    lane.line = line_;
    for (std::size_t i = 1; i < words.size(); ++i) {
        SongClipUse use;
        if (!parseUse(words[i], &use)) return false;
        lane.uses.push_back(use);
    }
    song_.patterns.back().lanes.push_back(lane);
    return true;
}

// "name", "name+5", "name-2@lead/30*4", "~16".
bool Parser::parseUse(std::string_view word, SongClipUse* use) {
    if (word[0] == '~') {
        const auto rows = parseInt(word.substr(1));
        if (!rows || *rows < 1 || *rows > 256) return fail("bad rest '" + std::string(word) + "'");
        use->restRows = *rows;
        return true;
    }
    std::size_t i = 0;
    while (i < word.size() && isNameChar(word[i])) ++i;
    use->clip = std::string(word.substr(0, i));
    while (i < word.size()) {
        const std::size_t next = std::min(word.find_first_of("+-@/*", i + 1), word.size());
        const std::string_view value = word.substr(i + 1, next - i - 1);
        const auto number = parseInt(value);
        const char kind = word[i];
        if (kind == '@' && isName(value)) use->instrument = std::string(value);
        else if ((kind == '+' || kind == '-') && number && *number <= 48) use->transpose = kind == '+' ? *number : -*number;
        else if (kind == '/' && number && *number >= 0 && *number <= 64) use->volume = *number;
        else if (kind == '*' && number && *number >= 1 && *number <= 256) use->count = *number;
        else return fail("bad clip use '" + std::string(word) + "'");
        i = next;
    }
    if (use->clip.empty()) return fail("bad clip use '" + std::string(word) + "'");
    return true;
}

bool Parser::addOrder(const std::vector<std::string_view>& words, std::size_t from) {
    for (std::size_t i = from; i < words.size(); ++i) song_.order.emplace_back(words[i]);
    if (song_.order.size() > 256) return fail("order list longer than 256");
    return true;
}

bool Parser::checkReferences() {
    line_ = 0;
    if (song_.channels.empty()) return fail("no channels declared");
    for (const SongClip& clip : song_.clips) {
        line_ = clip.line;
        if (clip.rows.empty()) return fail("clip '" + clip.name + "' is empty");
        if (!findInstrument(song_, clip.instrument)) return fail("unknown instrument '" + clip.instrument + "'");
        for (const SongToken& token : clip.rows)
            for (const SongElement& e : token.elements)
                if (!e.instrument.empty() && !findInstrument(song_, e.instrument))
                    return fail("unknown instrument '" + e.instrument + "'");
    }
    for (const SongPattern& pattern : song_.patterns) {
        for (const SongLane& lane : pattern.lanes) {
            line_ = lane.line;
            const SongChannel* c = findChannel(song_, lane.channel);
            if (!c) return fail("unknown channel '" + lane.channel + "'");
            if (!c->echoOf.empty()) return fail("channel '" + c->name + "' is an echo and takes no clips");
            for (const SongClipUse& use : lane.uses) {
                if (!use.clip.empty() && !findClip(song_, use.clip)) return fail("unknown clip '" + use.clip + "'");
                if (!use.instrument.empty() && !findInstrument(song_, use.instrument))
                    return fail("unknown instrument '" + use.instrument + "'");
            }
        }
    }
    line_ = 0;
    if (song_.order.empty()) return fail("empty order list");
    for (const std::string& name : song_.order)
        if (!findPattern(song_, name)) return fail("order names unknown pattern '" + name + "'");
    if (song_.restart >= static_cast<int>(song_.order.size())) return fail("restart lies beyond the order list");
    return true;
}

}  // namespace

bool parseSong(std::string_view text, Song* song, std::string* error) {
    Song parsed;
    Parser parser(parsed);
    if (!parser.run(text, error)) return false;
    *song = std::move(parsed);
    return true;
}

std::string_view porkSongText() { return songText; }

const SongChannel* findChannel(const Song& song, const std::string& name) {
    for (const SongChannel& c : song.channels)
        if (c.name == name) return &c;
    return nullptr;
}

const SongClip* findClip(const Song& song, const std::string& name) {
    for (const SongClip& c : song.clips)
        if (c.name == name) return &c;
    return nullptr;
}

const SongPattern* findPattern(const Song& song, const std::string& name) {
    for (const SongPattern& p : song.patterns)
        if (p.name == name) return &p;
    return nullptr;
}

int findInstrument(const Song& song, const std::string& name) {
    for (std::size_t i = 0; i < song.instruments.size(); ++i)
        if (song.instruments[i].name == name) return static_cast<int>(i) + 1;
    return 0;
}
