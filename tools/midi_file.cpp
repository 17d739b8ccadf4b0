#include "tools/midi_file.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>

#include "tools/bounded_file.h"

namespace tools {

namespace {

constexpr std::array<uint8_t, 4> kHeaderId = {'M', 'T', 'h', 'd'};
constexpr std::array<uint8_t, 4> kTrackId = {'M', 'T', 'r', 'k'};
constexpr size_t kHeaderFields = 6;      // format, track count, division
constexpr int kLongestQuantity = 4;      // bytes of a variable-length quantity
constexpr uint32_t kDefaultTempo = 500000;  // microseconds per quarter note: 120 beats a minute
constexpr uint8_t kSysEx = 0xF0;
constexpr uint8_t kSysExEscape = 0xF7;
constexpr uint8_t kMeta = 0xFF;
constexpr uint8_t kMetaEndOfTrack = 0x2F;
constexpr uint8_t kMetaTempo = 0x51;
// Frames past this are beyond any render; keeping them there keeps the
// arithmetic in range for absurd tempos and tick counts.
constexpr double kLatestFrame = 9.0e15;

std::string Hex(unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", value);
    return text;
}

// Reads a byte range front to back, refusing to step past its end. Offsets in
// messages count from the start of the file.
class ByteReader {
public:
    ByteReader(std::span<const uint8_t> bytes, size_t file_offset) : bytes_(bytes), file_offset_(file_offset) {}

    bool AtEnd() const { return position_ == bytes_.size(); }
    size_t Left() const { return bytes_.size() - position_; }
    size_t Offset() const { return file_offset_ + position_; }

    uint8_t Byte(const std::string& what) {
        Need(1, what);
        return bytes_[position_++];
    }

    uint32_t BigEndian(int count, const std::string& what) {
        Need(size_t(count), what);
        uint32_t value = 0;
        for (int i = 0; i < count; ++i) value = (value << 8) | bytes_[position_++];
        return value;
    }

    uint32_t Quantity(const std::string& what) {
        const size_t start = Offset();
        uint32_t value = 0;
        for (int i = 0; i < kLongestQuantity; ++i) {
            uint8_t byte = Byte(what);
            value = (value << 7) | (byte & 0x7Fu);
            if ((byte & 0x80u) == 0) return value;
        }
        throw MidiFileError(what + " at byte " + std::to_string(start) + " is longer than " +
                            std::to_string(kLongestQuantity) + " bytes");
    }

    std::span<const uint8_t> Take(size_t count, const std::string& what) {
        Need(count, what);
        auto taken = bytes_.subspan(position_, count);
        position_ += count;
        return taken;
    }

private:
    void Need(size_t count, const std::string& what) const {
        if (count > Left())
            throw MidiFileError(what + " at byte " + std::to_string(Offset()) + " needs " + std::to_string(count) +
                                " bytes but only " + std::to_string(Left()) + " are left");
    }

    std::span<const uint8_t> bytes_;
    size_t file_offset_;
    size_t position_ = 0;
};

// A tick lasts tick_time / tick_scale seconds: with ticks per quarter note,
// tick_time is the tempo in microseconds per quarter; with time code, 1.
struct Division {
    uint32_t ticks_per_quarter = 0;  // 0 for time code
    double tick_scale = 0;
};

struct Header {
    uint32_t track_count = 0;
    Division division;
};

enum class EventKind { kChannel, kTempo, kTrackEnd };

struct TickEvent {
    uint64_t tick = 0;
    EventKind kind = EventKind::kChannel;
    std::array<uint8_t, 3> bytes{};
    uint32_t tempo = 0;
};

Division ReadDivision(uint32_t word) {
    if ((word & 0x8000u) == 0) {
        if (word == 0) throw MidiFileError("the header's division is 0 ticks per quarter note");
        return {word, 1.0e6 * word};
    }
    const int frames_per_second = -int(int8_t(word >> 8));
    const uint32_t ticks_per_frame = word & 0xFFu;
    const double rate = frames_per_second == 29 ? 30000.0 / 1001.0 : frames_per_second;
    if (frames_per_second != 24 && frames_per_second != 25 && frames_per_second != 29 && frames_per_second != 30)
        throw MidiFileError("the header's time code of " + std::to_string(frames_per_second) +
                            " frames a second is not 24, 25, 29 or 30");
    if (ticks_per_frame == 0) throw MidiFileError("the header's time code has 0 ticks per frame");
    return {0, rate * ticks_per_frame};
}

Header ReadHeader(ByteReader& file) {
    auto id = file.Take(std::min(file.Left(), kHeaderId.size()), "the header");
    if (!std::equal(id.begin(), id.end(), kHeaderId.begin(), kHeaderId.end()))
        throw MidiFileError("not a Standard MIDI File (it does not start with \"MThd\")");
    const uint32_t length = file.BigEndian(4, "the header's length");
    if (length < kHeaderFields)
        throw MidiFileError("the header is " + std::to_string(length) + " bytes long, less than " +
                            std::to_string(kHeaderFields));
    ByteReader fields(file.Take(length, "the header"), file.Offset() - length);
    const uint32_t format = fields.BigEndian(2, "the format");
    if (format > 1) throw MidiFileError("format " + std::to_string(format) + " is not read (only formats 0 and 1)");
    Header header;
    header.track_count = fields.BigEndian(2, "the track count");
    if (header.track_count == 0) throw MidiFileError("the header announces no tracks");
    header.division = ReadDivision(fields.BigEndian(2, "the division"));
    return header;
}

size_t DataBytes(uint8_t status) {
    const uint8_t kind = status & 0xF0u;
    return kind == 0xC0 || kind == 0xD0 ? 1 : 2;
}

// One track's events with their absolute ticks, ending with its end.
class TrackReader {
public:
    TrackReader(ByteReader track, std::vector<TickEvent>& events) : track_(track), events_(events) {}

    void Read() {
        while (!track_.AtEnd()) {
            tick_ += track_.Quantity("a delta time");
            if (!ReadEvent()) break;
        }
        events_.push_back({tick_, EventKind::kTrackEnd});
    }

private:
    // False at the end-of-track event.
    bool ReadEvent() {
        const size_t at = track_.Offset();
        uint8_t status = track_.Byte("an event");
        if (status < 0x80) {
            // Running status: the byte is the first data byte of a message like the last one.
            if (running_status_ == 0)
                throw MidiFileError("data byte " + Hex(status) + " at byte " + std::to_string(at) +
                                    " has no status byte before it");
            ReadChannelMessage(running_status_, status);
            return true;
        }
        if (status == kMeta) return ReadMeta();
        if (status == kSysEx || status == kSysExEscape) {
            track_.Take(track_.Quantity("a system-exclusive length"), "a system-exclusive message");
            return true;
        }
        if (status > kSysEx)
            throw MidiFileError("status byte " + Hex(status) + " at byte " + std::to_string(at) +
                                " has no place in a MIDI file");
        running_status_ = status;
        ReadChannelMessage(status, track_.Byte("a channel message"));
        return true;
    }

    void ReadChannelMessage(uint8_t status, uint8_t first) {
        TickEvent event{tick_, EventKind::kChannel, {status, first, 0}};
        if (DataBytes(status) == 2) event.bytes[2] = track_.Byte("a channel message");
        for (size_t i = 1; i <= DataBytes(status); ++i)
            if (event.bytes[i] >= 0x80)
                throw MidiFileError("data byte " + Hex(event.bytes[i]) + " of the message " + Hex(status) +
                                    " ending at byte " + std::to_string(track_.Offset()) + " has its top bit set");
        events_.push_back(event);
    }

    bool ReadMeta() {
        const uint8_t type = track_.Byte("a meta event");
        const size_t at = track_.Offset();
        auto data = track_.Take(track_.Quantity("a meta event's length"), "a meta event");
        if (type == kMetaEndOfTrack) return false;
        if (type == kMetaTempo) {
            if (data.size() != 3)
                throw MidiFileError("the tempo event at byte " + std::to_string(at) + " has " +
                                    std::to_string(data.size()) + " data bytes, not 3");
            events_.push_back({tick_, EventKind::kTempo, {}, uint32_t(data[0]) << 16 | uint32_t(data[1]) << 8 | data[2]});
        }
        return true;
    }

    ByteReader track_;
    std::vector<TickEvent>& events_;
    uint64_t tick_ = 0;
    uint8_t running_status_ = 0;
};

std::vector<TickEvent> ReadTracks(ByteReader& file, uint32_t track_count) {
    std::vector<TickEvent> events;
    for (uint32_t found = 0; found < track_count;) {
        if (file.AtEnd())
            throw MidiFileError("the header announces " + std::to_string(track_count) + " tracks but the file has " +
                                std::to_string(found));
        const size_t at = file.Offset();
        auto id = file.Take(4, "a chunk's name");
        const uint32_t length = file.BigEndian(4, "a chunk's length");
        if (length > file.Left())
            throw MidiFileError("the chunk at byte " + std::to_string(at) + " is " + std::to_string(length) +
                                " bytes long but only " + std::to_string(file.Left()) + " bytes are left");
        const size_t data_at = file.Offset();
        auto data = file.Take(length, "a chunk");
        if (!std::equal(id.begin(), id.end(), kTrackId.begin(), kTrackId.end())) continue;
        ++found;
        try {
            TrackReader(ByteReader(data, data_at), events).Read();
        } catch (const MidiFileError& error) {
            throw MidiFileError("track " + std::to_string(found) + ": " + error.what());
        }
    }
    return events;
}

// Walks the events in time order, turning ticks into frames through the tempo map.
MidiPerformance Perform(std::vector<TickEvent> events, const Division& division, double sample_rate) {
    std::stable_sort(events.begin(), events.end(),
                     [](const TickEvent& a, const TickEvent& b) { return a.tick < b.tick; });
    MidiPerformance performance;
    uint64_t segment_tick = 0;
    double segment_seconds = 0;
    double tick_time = division.ticks_per_quarter != 0 ? kDefaultTempo : 1.0;
    for (const TickEvent& event : events) {
        const double seconds = segment_seconds + double(event.tick - segment_tick) * tick_time / division.tick_scale;
        switch (event.kind) {
            case EventKind::kChannel: {
                const double frame = std::min(std::round(seconds * sample_rate), kLatestFrame);
                performance.messages.push_back({int64_t(frame), event.bytes});
                break;
            }
            case EventKind::kTempo:
                if (division.ticks_per_quarter == 0) break;  // time code ignores tempo
                segment_tick = event.tick;
                segment_seconds = seconds;
                tick_time = event.tempo;
                break;
            case EventKind::kTrackEnd:
                performance.end_seconds = std::max(performance.end_seconds, seconds);
                break;
        }
    }
    return performance;
}

}  // namespace

MidiPerformance ReadMidiFile(std::span<const uint8_t> bytes, double sample_rate) {
    ByteReader file(bytes, 0);
    const Header header = ReadHeader(file);
    return Perform(ReadTracks(file, header.track_count), header.division, sample_rate);
}

MidiPerformance ReadMidiFileAt(const std::string& path, double sample_rate) {
    const std::vector<uint8_t> bytes = ReadFileBytes(path, kLargestMidiFile);
    try {
        return ReadMidiFile(bytes, sample_rate);
    } catch (const MidiFileError& error) {
        throw MidiFileError(path + ": " + error.what());
    }
}

}  // namespace tools
