#include "xm_writer.h"

#include <algorithm>

namespace {

constexpr std::uint32_t headerSize = 276;
constexpr std::uint32_t patternHeaderSize = 9;
constexpr std::uint32_t instrumentHeaderSize = 263;
constexpr std::uint32_t sampleHeaderSize = 40;

bool fail(std::string* error, const std::string& message) {
    if (error) *error = message;
    return false;
}

bool isPlainText(const std::string& text, std::size_t limit) {
    return text.size() <= limit &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= 32 && c < 127; });
}

bool validateHeader(const XmModule& m, std::string* error) {
    if (!isPlainText(m.name, 20) || !isPlainText(m.tracker, 20))
        return fail(error, "module or tracker name is not printable ASCII of at most 20 characters");
    if (m.channels < 2 || m.channels > xmMaxChannels || m.channels % 2 != 0)
        return fail(error, "channel count must be even and between 2 and 32");
    if (m.speed < 1 || m.speed > 31) return fail(error, "speed must be 1..31");
    if (m.bpm < 32 || m.bpm > 255) return fail(error, "BPM must be 32..255");
    if (m.orders.empty() || m.orders.size() > 256) return fail(error, "order list must hold 1..256 entries");
    if (m.restart < 0 || m.restart >= static_cast<int>(m.orders.size()))
        return fail(error, "restart position lies outside the order list");
    if (m.patterns.empty() || m.patterns.size() > 256) return fail(error, "pattern count must be 1..256");
    for (std::uint8_t order : m.orders)
        if (order >= m.patterns.size()) return fail(error, "order list names a pattern that is not stored");
    if (m.instruments.empty() || m.instruments.size() > 128) return fail(error, "instrument count must be 1..128");
    return true;
}

// FT2 drops a note whose pitch after the sample's relative note leaves 1..119.
bool playable(const XmCell& cell, const std::vector<XmInstrument>& instruments) {
    if (cell.note < 1 || cell.note > 96 || cell.instrument == 0) return true;
    const XmInstrument& instrument = instruments[cell.instrument - 1u];
    const std::uint8_t index = instrument.keymap[cell.note - 1u];
    if (index >= instrument.samples.size()) return true;  // reported with the instrument
    const int pitch = cell.note + instrument.samples[index].relativeNote;
    return pitch >= 1 && pitch < 120;
}

bool validateCell(const XmCell& cell, const std::vector<XmInstrument>& instruments) {
    return cell.note <= xmKeyOff && cell.instrument <= instruments.size() && cell.effect <= 35 &&
           playable(cell, instruments);
}

bool validatePatterns(const XmModule& m, std::string* error) {
    for (std::size_t p = 0; p < m.patterns.size(); ++p) {
        const XmPattern& pattern = m.patterns[p];
        const std::string where = "pattern " + std::to_string(p) + ": ";
        if (pattern.rows < 1 || pattern.rows > xmMaxRows) return fail(error, where + "rows must be 1..256");
        if (pattern.cells.size() != static_cast<std::size_t>(pattern.rows * m.channels))
            return fail(error, where + "cell count does not match rows times channels");
        for (std::size_t i = 0; i < pattern.cells.size(); ++i)
            if (!validateCell(pattern.cells[i], m.instruments))
                return fail(error, where + "row " + std::to_string(i / m.channels) + ", channel " +
                                       std::to_string(i % m.channels) + ": cell out of range or note unplayable");
        if (packXmPattern(pattern, m.channels).size() > 0xFFFF) return fail(error, where + "packed data too large");
    }
    return true;
}

bool validateEnvelope(const XmEnvelope& envelope) {
    const std::size_t count = envelope.points.size();
    if (count > xmMaxEnvelopePoints) return false;
    if (envelope.enabled && count == 0) return false;
    for (std::size_t i = 0; i < count; ++i) {
        if (envelope.points[i].value > 64) return false;
        if (i == 0 ? envelope.points[i].tick != 0 : envelope.points[i].tick <= envelope.points[i - 1].tick)
            return false;
    }
    if (envelope.sustainOn && envelope.sustain >= count) return false;
    if (envelope.loopOn && (envelope.loopStart > envelope.loopEnd || envelope.loopEnd >= count)) return false;
    return true;
}

bool validateSample(const XmSample& s) {
    if (!isPlainText(s.name, 22) || s.pcm.empty() || s.pcm.size() > 0x3FFFFFFF) return false;
    if (s.loopStart > s.pcm.size() || s.loopLength > s.pcm.size() - s.loopStart) return false;
    return s.volume <= 64 && s.relativeNote >= -48 && s.relativeNote <= 71;
}

bool validateInstrument(const XmInstrument& instrument, std::string* error, const std::string& where) {
    if (!isPlainText(instrument.name, 22)) return fail(error, where + "name is not printable ASCII of at most 22");
    const std::size_t count = instrument.samples.size();
    if (count < 1 || count > xmMaxSamplesPerInstrument) return fail(error, where + "needs 1..16 samples");
    for (std::uint8_t index : instrument.keymap)
        if (index >= count) return fail(error, where + "keymap names a missing sample");
    if (!validateEnvelope(instrument.volumeEnvelope) || !validateEnvelope(instrument.panEnvelope))
        return fail(error, where + "envelope out of range");
    if (instrument.fadeout > 0xFFF) return fail(error, where + "fadeout must be at most 0xFFF");
    for (const XmSample& sample : instrument.samples)
        if (!validateSample(sample)) return fail(error, where + "sample '" + sample.name + "' out of range");
    return true;
}

class ByteWriter {
public:
    explicit ByteWriter(std::vector<std::uint8_t>& out) : out_(out) {}
    void u8(unsigned value) { out_.push_back(static_cast<std::uint8_t>(value)); }
    void u16(unsigned value) { u8(value & 0xFF); u8((value >> 8) & 0xFF); }
    void u32(std::uint32_t value) { u16(value & 0xFFFF); u16(value >> 16); }
    void text(const std::string& s, std::size_t width, char pad) {
        for (std::size_t i = 0; i < width; ++i) u8(i < s.size() ? static_cast<unsigned char>(s[i]) : pad);
    }
    void zeros(std::size_t count) { out_.insert(out_.end(), count, 0); }
    void bytes(const std::vector<std::uint8_t>& data) { out_.insert(out_.end(), data.begin(), data.end()); }

private:
    std::vector<std::uint8_t>& out_;
};

void writeHeader(ByteWriter& w, const XmModule& m) {
    w.text("Extended Module: ", 17, ' ');
    w.text(m.name, 20, ' ');
    w.u8(0x1A);
    w.text(m.tracker, 20, ' ');
    w.u16(0x0104);
    w.u32(headerSize);
    w.u16(static_cast<unsigned>(m.orders.size()));
    w.u16(static_cast<unsigned>(m.restart));
    w.u16(static_cast<unsigned>(m.channels));
    w.u16(static_cast<unsigned>(m.patterns.size()));
    w.u16(static_cast<unsigned>(m.instruments.size()));
    w.u16(1);  // linear frequency table
    w.u16(static_cast<unsigned>(m.speed));
    w.u16(static_cast<unsigned>(m.bpm));
    for (std::size_t i = 0; i < 256; ++i) w.u8(i < m.orders.size() ? m.orders[i] : 0);
}

void writePattern(ByteWriter& w, const XmPattern& pattern, int channels) {
    const std::vector<std::uint8_t> packed = packXmPattern(pattern, channels);
    w.u32(patternHeaderSize);
    w.u8(0);
    w.u16(static_cast<unsigned>(pattern.rows));
    w.u16(static_cast<unsigned>(packed.size()));
    w.bytes(packed);
}

void writeEnvelopePoints(ByteWriter& w, const XmEnvelope& envelope) {
    for (std::size_t i = 0; i < xmMaxEnvelopePoints; ++i) {
        const XmEnvelopePoint point = i < envelope.points.size() ? envelope.points[i] : XmEnvelopePoint{};
        w.u16(point.tick);
        w.u16(point.value);
    }
}

unsigned envelopeFlags(const XmEnvelope& envelope) {
    return (envelope.enabled ? 1u : 0u) | (envelope.sustainOn ? 2u : 0u) | (envelope.loopOn ? 4u : 0u);
}

void writeInstrumentHeader(ByteWriter& w, const XmInstrument& instrument) {
    w.u32(instrumentHeaderSize);
    w.text(instrument.name, 22, '\0');
    w.u8(0);
    w.u16(static_cast<unsigned>(instrument.samples.size()));
    w.u32(sampleHeaderSize);
    for (std::uint8_t index : instrument.keymap) w.u8(index);
    writeEnvelopePoints(w, instrument.volumeEnvelope);
    writeEnvelopePoints(w, instrument.panEnvelope);
    const XmEnvelope& vol = instrument.volumeEnvelope;
    const XmEnvelope& pan = instrument.panEnvelope;
    w.u8(static_cast<unsigned>(vol.points.size()));
    w.u8(static_cast<unsigned>(pan.points.size()));
    for (unsigned v : {unsigned{vol.sustain}, unsigned{vol.loopStart}, unsigned{vol.loopEnd}}) w.u8(v);
    for (unsigned v : {unsigned{pan.sustain}, unsigned{pan.loopStart}, unsigned{pan.loopEnd}}) w.u8(v);
    w.u8(envelopeFlags(vol));
    w.u8(envelopeFlags(pan));
    w.u8(instrument.vibrato.type);
    w.u8(instrument.vibrato.sweep);
    w.u8(instrument.vibrato.depth);
    w.u8(instrument.vibrato.rate);
    w.u16(instrument.fadeout);
    w.zeros(22);
}

void writeSampleHeader(ByteWriter& w, const XmSample& s) {
    w.u32(static_cast<std::uint32_t>(s.pcm.size() * 2));
    w.u32(s.loopStart * 2);
    w.u32(s.loopLength * 2);
    w.u8(s.volume);
    w.u8(static_cast<std::uint8_t>(s.finetune));
    w.u8((s.loopLength > 0 ? 1u : 0u) | 0x10u);  // forward loop, 16-bit
    w.u8(s.pan);
    w.u8(static_cast<std::uint8_t>(s.relativeNote));
    w.u8(0);
    w.text(s.name, 22, '\0');
}

// Sample data is stored as wrapping 16-bit differences.
void writeSampleData(ByteWriter& w, const XmSample& s) {
    std::uint16_t previous = 0;
    for (std::int16_t value : s.pcm) {
        const auto current = static_cast<std::uint16_t>(value);
        w.u16(static_cast<std::uint16_t>(current - previous));
        previous = current;
    }
}

void writeInstrument(ByteWriter& w, const XmInstrument& instrument) {
    writeInstrumentHeader(w, instrument);
    for (const XmSample& sample : instrument.samples) writeSampleHeader(w, sample);
    for (const XmSample& sample : instrument.samples) writeSampleData(w, sample);
}

void packCell(std::vector<std::uint8_t>& out, const XmCell& c) {
    if (c.note && c.instrument && c.volume && c.effect && c.param) {
        out.insert(out.end(), {c.note, c.instrument, c.volume, c.effect, c.param});
        return;
    }
    const std::uint8_t flags = static_cast<std::uint8_t>(0x80 | (c.note ? 1 : 0) | (c.instrument ? 2 : 0) |
                                                         (c.volume ? 4 : 0) | (c.effect ? 8 : 0) | (c.param ? 16 : 0));
    out.push_back(flags);
    for (std::uint8_t field : {c.note, c.instrument, c.volume, c.effect, c.param})
        if (field) out.push_back(field);
}

}  // namespace

std::vector<std::uint8_t> packXmPattern(const XmPattern& pattern, int channels) {
    std::vector<std::uint8_t> out;
    const std::size_t count = static_cast<std::size_t>(pattern.rows) * static_cast<std::size_t>(channels);
    for (std::size_t i = 0; i < count && i < pattern.cells.size(); ++i) packCell(out, pattern.cells[i]);
    return out;
}

bool validateXm(const XmModule& module, std::string* error) {
    if (!validateHeader(module, error) || !validatePatterns(module, error)) return false;
    for (std::size_t i = 0; i < module.instruments.size(); ++i)
        if (!validateInstrument(module.instruments[i], error, "instrument " + std::to_string(i + 1) + ": "))
            return false;
    return true;
}

std::vector<std::uint8_t> encodeXm(const XmModule& module) {
    std::vector<std::uint8_t> out;
    ByteWriter w(out);
    writeHeader(w, module);
    for (const XmPattern& pattern : module.patterns) writePattern(w, pattern, module.channels);
    for (const XmInstrument& instrument : module.instruments) writeInstrument(w, instrument);
    return out;
}
