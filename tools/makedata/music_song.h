// The music's text description (tracker-like notation, documented at the top of music/pork.txt) and
// its parsed form.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct SongChannel {
    std::string name;
    int voices = 1;
    int firstColumn = 0;         // index of its first XM channel
    std::vector<int> pans;       // per voice, 0..255; empty = the samples' own panning
    bool legato = false;         // a note equal to the one still held is tied instead of struck again
    std::string echoOf;          // non-empty: this channel repeats that one, later and softer
    int echoDelayRows = 0;
    int echoPercent = 0;
};

struct SongInstrument {
    std::string name;  // one of synthInstrumentNames()
    int volume = 64;   // 0..64
    int pan = 128;     // 0..255
};

struct SongElement {
    std::uint8_t note = 0;  // 0 none, 1..96, 97 key-off
    std::string instrument; // empty: the clip's
    int volume = -1;        // -1: none
    bool hasEffect = false;
    std::uint8_t effect = 0;
    std::uint8_t param = 0;
};

struct SongToken {
    std::vector<SongElement> elements;  // one per voice; a single note-less element reaches every voice
    int line = 0;
};

struct SongClip {
    std::string name;
    std::string instrument;
    std::vector<SongToken> rows;
    int line = 0;
};

struct SongClipUse {
    std::string clip;  // empty: a rest of `restRows`
    int restRows = 0;
    int transpose = 0;
    std::string instrument;  // empty: the clip's
    int volume = -1;         // for the clip's notes that give none; -1: the instrument's own
    int count = 1;
};

struct SongLane {
    std::string channel;
    std::vector<SongClipUse> uses;
    int line = 0;
};

struct SongPattern {
    std::string name;
    int rows = 64;
    std::vector<SongLane> lanes;
    int line = 0;
};

struct Song {
    std::string title;
    int bpm = 125;
    int speed = 6;
    std::vector<SongChannel> channels;
    std::vector<SongInstrument> instruments;
    std::vector<SongClip> clips;
    std::vector<SongPattern> patterns;
    std::vector<std::string> order;
    int restart = 0;
    int columns = 0;  // XM channels: the sum of all voices
};

// Parses the description; on failure the message starts with "line N:".
bool parseSong(std::string_view text, Song* song, std::string* error);

// The show's own description, built into the program.
std::string_view porkSongText();

const SongChannel* findChannel(const Song& song, const std::string& name);
const SongClip* findClip(const Song& song, const std::string& name);
const SongPattern* findPattern(const Song& song, const std::string& name);
int findInstrument(const Song& song, const std::string& name);  // 1-based XM number, 0 if missing
