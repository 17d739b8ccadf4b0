#include "tools/wav_writer.h"

#include <array>
#include <bit>
#include <limits>
#include <stdexcept>

namespace tools {

namespace {

constexpr uint16_t kFormatIeeeFloat = 3;
constexpr uint16_t kFormatExtensible = 0xFFFE;
constexpr uint32_t kBytesPerSample = 4;
// Past two channels a reader needs the extensible header to know the layout.
constexpr int kMostPlainChannels = 2;
// The sub-format identifier of IEEE float samples in an extensible header.
constexpr std::array<uint8_t, 16> kIeeeFloatSubFormat = {0x03, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                                                         0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

class LittleEndian {
public:
    void Tag(const char (&text)[5]) { bytes_.insert(bytes_.end(), text, text + 4); }
    void U16(uint16_t value) { Put(value, 2); }
    void U32(uint32_t value) { Put(value, 4); }
    void Append(const std::vector<char>& data) { bytes_.insert(bytes_.end(), data.begin(), data.end()); }
    void Append(const std::array<uint8_t, 16>& data) { bytes_.insert(bytes_.end(), data.begin(), data.end()); }
    const std::vector<char>& Data() const { return bytes_; }

private:
    void Put(uint32_t value, int size) {
        for (int i = 0; i < size; ++i) bytes_.push_back(char((value >> (8 * i)) & 0xFF));
    }
    std::vector<char> bytes_;
};

std::vector<char> FormatChunk(int channels, int sample_rate) {
    bool extensible = channels > kMostPlainChannels;
    LittleEndian out;
    out.Tag("fmt ");
    out.U32(extensible ? 40 : 18);
    out.U16(extensible ? kFormatExtensible : kFormatIeeeFloat);
    out.U16(uint16_t(channels));
    out.U32(uint32_t(sample_rate));
    out.U32(uint32_t(sample_rate) * channels * kBytesPerSample);
    out.U16(uint16_t(channels * kBytesPerSample));
    out.U16(8 * kBytesPerSample);
    if (!extensible) {
        out.U16(0);
        return out.Data();
    }
    out.U16(22);
    out.U16(8 * kBytesPerSample);
    out.U32(0);  // no speaker positions: the outputs are whatever the plug-in says they are
    out.Append(kIeeeFloatSubFormat);
    return out.Data();
}

std::vector<char> Header(int channels, int sample_rate, uint64_t frames) {
    std::vector<char> format = FormatChunk(channels, sample_rate);
    uint64_t data_size = frames * uint64_t(channels) * kBytesPerSample;
    uint64_t riff_size = 4 + format.size() + 12 + 8 + data_size;
    if (riff_size > std::numeric_limits<uint32_t>::max())
        throw std::runtime_error("the render is too long for a WAVE file (4 GiB at most)");

    LittleEndian out;
    out.Tag("RIFF");
    out.U32(uint32_t(riff_size));
    out.Tag("WAVE");
    out.Append(format);
    out.Tag("fact");
    out.U32(4);
    out.U32(uint32_t(frames));
    out.Tag("data");
    out.U32(uint32_t(data_size));
    return out.Data();
}

}  // namespace

WavWriter::WavWriter(const std::string& path, int channels, int sample_rate, uint64_t frames)
    : path_(path), channels_(channels), frames_left_(frames) {
    static_assert(std::endian::native == std::endian::little, "samples are written in memory order");
    if (channels <= 0 || channels > std::numeric_limits<uint16_t>::max())
        throw std::runtime_error("a WAVE file cannot have " + std::to_string(channels) + " channels");
    if (sample_rate <= 0) throw std::runtime_error("a WAVE file needs a sample rate above zero");
    std::vector<char> header = Header(channels, sample_rate, frames);
    file_.open(path, std::ios::binary | std::ios::trunc);
    file_.write(header.data(), std::streamsize(header.size()));
    Check();
}

void WavWriter::Write(const std::vector<std::vector<float>>& channels, size_t frames) {
    if (channels.size() != size_t(channels_) || frames > frames_left_)
        throw std::logic_error("more samples than the WAVE header announced");
    interleaved_.resize(frames * channels.size() * kBytesPerSample);
    char* out = interleaved_.data();
    for (size_t frame = 0; frame < frames; ++frame) {
        for (const std::vector<float>& channel : channels) {
            auto bytes = std::bit_cast<std::array<char, kBytesPerSample>>(channel.at(frame));
            out = std::copy(bytes.begin(), bytes.end(), out);
        }
    }
    file_.write(interleaved_.data(), std::streamsize(interleaved_.size()));
    frames_left_ -= frames;
    Check();
}

void WavWriter::Finish() {
    if (frames_left_ != 0) throw std::logic_error("fewer samples than the WAVE header announced");
    file_.close();
    Check();
}

void WavWriter::Check() {
    if (file_.fail()) throw std::runtime_error("cannot write " + path_);
}

}  // namespace tools
