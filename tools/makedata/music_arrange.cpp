#include "music_arrange.h"

#include <algorithm>

namespace {

constexpr std::uint8_t volumeColumnBase = 0x10;
constexpr std::uint8_t volumeColumnPan = 0xC0;
constexpr std::uint8_t effectSetPan = 0x08;

bool isPitch(std::uint8_t note) { return note >= 1 && note <= 96; }

bool hasVolume(const XmCell& cell) { return cell.volume >= 0x10 && cell.volume <= 0x50; }

class Arranger {
public:
    explicit Arranger(const Song& song) : song_(song) {}
    bool run(XmModule* module, std::string* error);

private:
    bool fail(const std::string& message) {
        error_ = message;
        return false;
    }
    bool layOut(const SongPattern& pattern, XmPattern* out);
    bool layOutLane(const SongPattern& pattern, const SongLane& lane, XmPattern* out);
    bool place(const SongChannel& channel, const SongClip& clip, const SongClipUse& use, const SongToken& token,
               int row, XmPattern* out);
    bool makeCell(const SongElement& element, const SongClip& clip, const SongClipUse& use, XmCell* cell);
    bool merge(XmCell* into, const XmCell& add, int row, int voice);
    std::vector<XmCell*> column(int index);
    void tieLegatoNotes(const SongChannel& channel);
    bool addEcho(const SongChannel& channel);
    XmCell echoOf(const XmCell& source, int percent) const;
    bool addPanning(const SongChannel& channel);
    void store(XmModule* module) const;

    const Song& song_;
    std::vector<XmPattern> played_;  // one per order entry
    std::string error_;
    std::string where_;
};

bool Arranger::run(XmModule* module, std::string* error) {
    bool ok = true;
    for (const std::string& name : song_.order) {
        XmPattern pattern;
        ok = ok && layOut(*findPattern(song_, name), &pattern);
        played_.push_back(pattern);
    }
    for (const SongChannel& channel : song_.channels)
        if (ok && channel.legato) tieLegatoNotes(channel);
    for (const SongChannel& channel : song_.channels)
        if (ok && !channel.echoOf.empty()) ok = addEcho(channel);
    for (const SongChannel& channel : song_.channels)
        if (ok && !channel.pans.empty()) ok = addPanning(channel);
    if (!ok) {
        if (error) *error = error_;
        return false;
    }
    store(module);
    return true;
}

bool Arranger::layOut(const SongPattern& pattern, XmPattern* out) {
    out->rows = pattern.rows;
    out->cells.assign(static_cast<std::size_t>(pattern.rows * song_.columns), XmCell{});
    for (const SongLane& lane : pattern.lanes) {
        where_ = "line " + std::to_string(lane.line) + ": pattern '" + pattern.name + "', channel '" + lane.channel + "': ";
        if (!layOutLane(pattern, lane, out)) return false;
    }
    return true;
}

bool Arranger::layOutLane(const SongPattern& pattern, const SongLane& lane, XmPattern* out) {
    const SongChannel& channel = *findChannel(song_, lane.channel);
    int row = 0;
    for (const SongClipUse& use : lane.uses) {
        if (use.clip.empty()) {
            row += use.restRows;
            continue;
        }
        const SongClip& clip = *findClip(song_, use.clip);
        for (int repeat = 0; repeat < use.count; ++repeat) {
            for (const SongToken& token : clip.rows) {
                if (row >= pattern.rows)
                    return fail(where_ + "clips run past the pattern's " + std::to_string(pattern.rows) + " rows");
                if (!place(channel, clip, use, token, row++, out)) return false;
            }
        }
    }
    if (row > pattern.rows) return fail(where_ + "rests run past the pattern's end");
    return true;
}

bool Arranger::place(const SongChannel& channel, const SongClip& clip, const SongClipUse& use, const SongToken& token,
                     int row, XmPattern* out) {
    const std::vector<SongElement>& elements = token.elements;
    if (static_cast<int>(elements.size()) > channel.voices)
        return fail(where_ + "clip '" + clip.name + "' (line " + std::to_string(token.line) + ") has more notes than voices");
    const bool everyVoice = elements.size() == 1 && !isPitch(elements[0].note);
    for (int voice = 0; voice < channel.voices; ++voice) {
        if (!everyVoice && voice >= static_cast<int>(elements.size())) break;
        XmCell cell;
        if (!makeCell(everyVoice ? elements[0] : elements[static_cast<std::size_t>(voice)], clip, use, &cell))
            return false;
        const int column = channel.firstColumn + voice;
        if (!merge(&out->cells[static_cast<std::size_t>(row * song_.columns + column)], cell, row, voice)) return false;
    }
    return true;
}

bool Arranger::makeCell(const SongElement& element, const SongClip& clip, const SongClipUse& use, XmCell* cell) {
    if (isPitch(element.note)) {
        const int note = element.note + use.transpose;
        if (note < 1 || note > 96) return fail(where_ + "clip '" + clip.name + "' transposed out of C-0..B-7");
        const std::string& name = !element.instrument.empty() ? element.instrument
                                  : !use.instrument.empty()   ? use.instrument
                                                              : clip.instrument;
        cell->note = static_cast<std::uint8_t>(note);
        cell->instrument = static_cast<std::uint8_t>(findInstrument(song_, name));
    } else {
        cell->note = element.note;
    }
    const int volume = element.volume >= 0 ? element.volume : isPitch(element.note) ? use.volume : -1;
    if (volume >= 0) cell->volume = static_cast<std::uint8_t>(volumeColumnBase + volume);
    if (element.hasEffect) {
        cell->effect = element.effect;
        cell->param = element.param;
    }
    return true;
}

// Lanes on one channel may share rows as long as they set different fields of a cell.
bool Arranger::merge(XmCell* into, const XmCell& add, int row, int voice) {
    const bool clash = (into->note && add.note) || (into->instrument && add.instrument) ||
                       (into->volume && add.volume) || ((into->effect || into->param) && (add.effect || add.param));
    if (clash)
        return fail(where_ + "row " + std::to_string(row) + ", voice " + std::to_string(voice) + " is set twice");
    if (add.note) into->note = add.note;
    if (add.instrument) into->instrument = add.instrument;
    if (add.volume) into->volume = add.volume;
    if (add.effect || add.param) {
        into->effect = add.effect;
        into->param = add.param;
    }
    return true;
}

// One XM channel's cells in playing order, across every order entry.
std::vector<XmCell*> Arranger::column(int index) {
    std::vector<XmCell*> cells;
    for (XmPattern& pattern : played_)
        for (int row = 0; row < pattern.rows; ++row)
            cells.push_back(&pattern.cells[static_cast<std::size_t>(row * song_.columns + index)]);
    return cells;
}

// The first row of the song and of the restart position can follow different rows, so nothing is tied there.
void Arranger::tieLegatoNotes(const SongChannel& channel) {
    for (int voice = 0; voice < channel.voices; ++voice) {
        std::uint8_t heldNote = 0, heldInstrument = 0;
        for (std::size_t order = 0; order < played_.size(); ++order) {
            XmPattern& pattern = played_[order];
            if (order == 0 || static_cast<int>(order) == song_.restart) heldNote = 0;
            for (int row = 0; row < pattern.rows; ++row) {
                XmCell& cell = pattern.cells[static_cast<std::size_t>(row * song_.columns + channel.firstColumn + voice)];
                if (isPitch(cell.note) && cell.note == heldNote && cell.instrument == heldInstrument) {
                    cell.note = 0;
                    cell.instrument = 0;
                } else if (isPitch(cell.note)) {
                    heldNote = cell.note;
                    heldInstrument = cell.instrument;
                } else if (cell.note == xmKeyOff) {
                    heldNote = 0;
                }
            }
        }
    }
}

XmCell Arranger::echoOf(const XmCell& source, int percent) const {
    XmCell echo;
    int volume = -1;
    if (isPitch(source.note)) {
        echo.note = source.note;
        echo.instrument = source.instrument;
        volume = hasVolume(source) ? source.volume - volumeColumnBase : song_.instruments[source.instrument - 1u].volume;
    } else if (source.note == xmKeyOff) {
        echo.note = xmKeyOff;
    } else if (hasVolume(source)) {
        volume = source.volume - volumeColumnBase;
    }
    if (volume >= 0) echo.volume = static_cast<std::uint8_t>(volumeColumnBase + (volume * percent + 50) / 100);
    return echo;
}

// The echo's first rows after a loop repeat the end of the song, so that end must match what precedes the
// restart position on the first pass.
bool Arranger::addEcho(const SongChannel& channel) {
    const SongChannel& source = *findChannel(song_, channel.echoOf);
    const int delay = channel.echoDelayRows;
    std::size_t restartRow = 0;
    for (int order = 0; order < song_.restart; ++order) restartRow += static_cast<std::size_t>(played_[order].rows);
    for (int voice = 0; voice < channel.voices; ++voice) {
        const std::vector<XmCell*> from = column(source.firstColumn + voice);
        const std::vector<XmCell*> to = column(channel.firstColumn + voice);
        for (std::size_t row = static_cast<std::size_t>(delay); row < to.size(); ++row)
            *to[row] = echoOf(*from[row - static_cast<std::size_t>(delay)], channel.echoPercent);
        for (int back = 1; back <= delay; ++back) {
            const XmCell atEnd = echoOf(*from[from.size() - static_cast<std::size_t>(back)], channel.echoPercent);
            const bool before = restartRow >= static_cast<std::size_t>(back);
            const XmCell first = before ? echoOf(*from[restartRow - static_cast<std::size_t>(back)], channel.echoPercent) : XmCell{};
            if (!(atEnd == first))
                return fail("echo channel '" + channel.name + "': the song's last rows and the rows before the restart "
                            "position differ, so the echo would change after the loop");
        }
    }
    return true;
}

bool Arranger::addPanning(const SongChannel& channel) {
    for (int voice = 0; voice < channel.voices; ++voice) {
        const int pan = channel.pans[static_cast<std::size_t>(voice)];
        const std::vector<XmCell*> cells = column(channel.firstColumn + voice);
        for (XmCell* cell : cells) {
            if (!cell->instrument) continue;
            if (!cell->effect && !cell->param) {
                cell->effect = effectSetPan;
                cell->param = static_cast<std::uint8_t>(pan);
            } else if (!cell->volume) {
                cell->volume = static_cast<std::uint8_t>(volumeColumnPan | (pan >> 4));
            } else {
                return fail("channel '" + channel.name + "': a note with both volume and effect leaves no room for its panning");
            }
        }
    }
    return true;
}

void Arranger::store(XmModule* module) const {
    module->name = song_.title;
    module->tracker = "tovira makedata";
    module->channels = song_.columns;
    module->speed = song_.speed;
    module->bpm = song_.bpm;
    module->restart = song_.restart;
    module->patterns.clear();
    module->orders.clear();
    for (const XmPattern& pattern : played_) {
        const auto same = std::find(module->patterns.begin(), module->patterns.end(), pattern);
        module->orders.push_back(static_cast<std::uint8_t>(same - module->patterns.begin()));
        if (same == module->patterns.end()) module->patterns.push_back(pattern);
    }
}

}  // namespace

bool arrangeSong(const Song& song, XmModule* module, std::string* error) {
    Arranger arranger(song);
    return arranger.run(module, error);
}
