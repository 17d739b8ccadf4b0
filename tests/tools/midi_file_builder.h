// Standard MIDI Files written byte by byte for tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tools_test {

using Bytes = std::vector<uint8_t>;

inline void Append(Bytes& to, const Bytes& more) { to.insert(to.end(), more.begin(), more.end()); }

inline Bytes BigEndian(uint32_t value, int count) {
    Bytes bytes;
    for (int shift = 8 * (count - 1); shift >= 0; shift -= 8) bytes.push_back(uint8_t(value >> shift));
    return bytes;
}

inline Bytes Quantity(uint32_t value) {
    Bytes bytes{uint8_t(value & 0x7F)};
    while (value >>= 7) bytes.insert(bytes.begin(), uint8_t(0x80 | (value & 0x7F)));
    return bytes;
}

inline Bytes Chunk(const std::string& id, const Bytes& data) {
    Bytes bytes(id.begin(), id.end());
    Append(bytes, BigEndian(uint32_t(data.size()), 4));
    Append(bytes, data);
    return bytes;
}

inline Bytes Header(uint16_t format, uint16_t tracks, uint16_t division) {
    Bytes fields = BigEndian(format, 2);
    Append(fields, BigEndian(tracks, 2));
    Append(fields, BigEndian(division, 2));
    return Chunk("MThd", fields);
}

// An event after `delta` ticks.
inline Bytes At(uint32_t delta, const Bytes& event) {
    Bytes bytes = Quantity(delta);
    Append(bytes, event);
    return bytes;
}

inline Bytes Tempo(uint32_t microseconds_per_quarter) {
    Bytes bytes{0xFF, 0x51, 0x03};
    Append(bytes, BigEndian(microseconds_per_quarter, 3));
    return bytes;
}

inline const Bytes kEndOfTrack{0xFF, 0x2F, 0x00};

inline Bytes File(uint16_t format, uint16_t division, const std::vector<Bytes>& tracks) {
    Bytes bytes = Header(format, uint16_t(tracks.size()), division);
    for (const Bytes& track : tracks) Append(bytes, Chunk("MTrk", track));
    return bytes;
}

}  // namespace tools_test
