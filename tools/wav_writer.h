// 32-bit float WAVE files. The length is fixed when the file is opened so the
// header can be written once and the samples streamed after it, whatever the
// length of the render.
#pragma once

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace tools {

class WavWriter {
public:
    // Throws std::runtime_error when the file cannot be created or the sizes do
    // not fit the format's 32-bit fields.
    WavWriter(const std::string& path, int channels, int sample_rate, uint64_t frames);

    // One vector per channel, each holding at least `frames` samples.
    void Write(const std::vector<std::vector<float>>& channels, size_t frames);

    // Checks that every announced frame arrived and that the data reached the disk.
    void Finish();

private:
    void Check();

    std::string path_;
    std::ofstream file_;
    int channels_;
    uint64_t frames_left_;
    std::vector<char> interleaved_;
};

}  // namespace tools
