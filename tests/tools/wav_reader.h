// Reads back WAVE files for checking: the header fields as stored, and the
// 32-bit float samples.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tools_test {

struct WavFile {
    uint16_t format_tag = 0;
    uint16_t channels = 0;
    uint32_t sample_rate = 0;
    uint32_t byte_rate = 0;
    uint16_t block_align = 0;
    uint16_t bits_per_sample = 0;
    uint32_t fact_frames = 0;
    bool has_fact = false;
    std::vector<uint8_t> sub_format;  // extensible files only
    uint32_t riff_size = 0;
    uint64_t file_size = 0;
    uint32_t data_size = 0;
    std::vector<float> samples;  // interleaved

    size_t Frames() const { return channels == 0 ? 0 : samples.size() / channels; }
    std::vector<float> Channel(size_t channel) const;
};

// Throws std::runtime_error when the file is missing or malformed.
WavFile ReadWav(const std::string& path);

}  // namespace tools_test
