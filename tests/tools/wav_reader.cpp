#include "wav_reader.h"

#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace tools_test {

namespace {

class Bytes {
public:
    explicit Bytes(std::vector<uint8_t> data) : data_(std::move(data)) {}
    uint32_t U32(size_t at) const { return U16(at) | uint32_t(U16(at + 2)) << 16; }
    uint16_t U16(size_t at) const {
        Need(at, 2);
        return uint16_t(data_[at] | data_[at + 1] << 8);
    }
    std::string Tag(size_t at) const {
        Need(at, 4);
        return std::string(data_.begin() + long(at), data_.begin() + long(at) + 4);
    }
    void Need(size_t at, size_t size) const {
        if (at + size > data_.size()) throw std::runtime_error("WAVE file ends too early");
    }
    const std::vector<uint8_t>& Data() const { return data_; }

private:
    std::vector<uint8_t> data_;
};

void ReadFormat(const Bytes& bytes, size_t at, WavFile& wav) {
    wav.format_tag = bytes.U16(at);
    wav.channels = bytes.U16(at + 2);
    wav.sample_rate = bytes.U32(at + 4);
    wav.byte_rate = bytes.U32(at + 8);
    wav.block_align = bytes.U16(at + 12);
    wav.bits_per_sample = bytes.U16(at + 14);
    if (wav.format_tag == 0xFFFE) {
        bytes.Need(at + 24, 16);
        wav.sub_format.assign(bytes.Data().begin() + long(at) + 24, bytes.Data().begin() + long(at) + 40);
    }
}

void ReadSamples(const Bytes& bytes, size_t at, uint32_t size, WavFile& wav) {
    bytes.Need(at, size);
    wav.data_size = size;
    wav.samples.resize(size / sizeof(float));
    if (!wav.samples.empty())  // an empty vector may have no storage to copy to
        std::memcpy(wav.samples.data(), bytes.Data().data() + at, wav.samples.size() * sizeof(float));
}

}  // namespace

std::vector<float> WavFile::Channel(size_t channel) const {
    std::vector<float> values;
    for (size_t i = channel; i < samples.size(); i += channels) values.push_back(samples[i]);
    return values;
}

WavFile ReadWav(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) throw std::runtime_error("cannot open " + path);
    Bytes bytes(std::vector<uint8_t>(std::istreambuf_iterator<char>(file), {}));
    if (bytes.Tag(0) != "RIFF" || bytes.Tag(8) != "WAVE") throw std::runtime_error(path + " is not a WAVE file");
    WavFile wav;
    wav.riff_size = bytes.U32(4);
    wav.file_size = bytes.Data().size();
    for (size_t at = 12; at < bytes.Data().size();) {
        std::string tag = bytes.Tag(at);
        uint32_t size = bytes.U32(at + 4);
        if (tag == "fmt ") ReadFormat(bytes, at + 8, wav);
        if (tag == "fact") {
            wav.fact_frames = bytes.U32(at + 8);
            wav.has_fact = true;
        }
        if (tag == "data") ReadSamples(bytes, at + 8, size, wav);
        at += 8 + size + (size & 1);
    }
    return wav;
}

}  // namespace tools_test
