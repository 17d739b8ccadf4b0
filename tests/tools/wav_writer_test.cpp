#include "tools/wav_writer.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "tool_run.h"
#include "wav_reader.h"

namespace tools {
namespace {

using tools_test::ReadWav;
using tools_test::TempFolder;
using tools_test::WavFile;

// A recognisable value for every sample.
float SampleAt(size_t frame, size_t channel) { return float(frame) * 0.001f - float(channel); }

void WriteInBlocks(WavWriter& writer, int channels, size_t frames, size_t block) {
    for (size_t start = 0; start < frames; start += block) {
        size_t count = std::min(block, frames - start);
        std::vector<std::vector<float>> buffers(static_cast<size_t>(channels), std::vector<float>(block));
        for (size_t c = 0; c < buffers.size(); ++c)
            for (size_t i = 0; i < count; ++i) buffers[c][i] = SampleAt(start + i, c);
        writer.Write(buffers, count);
    }
}

TEST(WavWriter, WritesFloatSamplesAReaderGetsBack) {
    struct Case {
        int channels;
        int rate;
        size_t frames;
        uint16_t format_tag;
    };
    const Case cases[] = {{1, 44100, 10, 3}, {2, 48000, 1000, 3}, {3, 22050, 5, 0xFFFE}, {2, 8000, 0, 3}};
    TempFolder folder;
    for (const Case& c : cases) {
        std::string path = (folder.Path() / "out.wav").string();
        WavWriter writer(path, c.channels, c.rate, c.frames);
        WriteInBlocks(writer, c.channels, c.frames, 64);
        writer.Finish();

        WavFile wav = ReadWav(path);
        SCOPED_TRACE(testing::Message() << c.channels << " channels, " << c.frames << " frames");
        EXPECT_EQ(wav.format_tag, c.format_tag);
        EXPECT_EQ(wav.channels, c.channels);
        EXPECT_EQ(wav.sample_rate, uint32_t(c.rate));
        EXPECT_EQ(wav.bits_per_sample, 32);
        EXPECT_EQ(wav.block_align, c.channels * 4);
        EXPECT_EQ(wav.byte_rate, uint32_t(c.rate * c.channels * 4));
        EXPECT_TRUE(wav.has_fact);
        EXPECT_EQ(wav.fact_frames, c.frames);
        EXPECT_EQ(wav.data_size, c.frames * size_t(c.channels) * 4);
        EXPECT_EQ(wav.riff_size, wav.file_size - 8);
        if (c.format_tag == 0xFFFE) {
            EXPECT_EQ(wav.sub_format.at(0), 3);  // IEEE float
        }
        ASSERT_EQ(wav.Frames(), c.frames);
        for (size_t frame = 0; frame < c.frames; ++frame)
            for (int channel = 0; channel < c.channels; ++channel)
                ASSERT_EQ(wav.samples[frame * size_t(c.channels) + size_t(channel)], SampleAt(frame, size_t(channel)));
    }
}

TEST(WavWriter, RefusesWhatTheFormatOrTheDiskCannotHold) {
    TempFolder folder;
    std::string path = (folder.Path() / "out.wav").string();
    EXPECT_THROW(WavWriter(path, 2, 44100, uint64_t(1) << 31), std::runtime_error);
    EXPECT_THROW(WavWriter(path, 0, 44100, 10), std::runtime_error);
    EXPECT_THROW(WavWriter((folder.Path() / "missing" / "out.wav").string(), 2, 44100, 10), std::runtime_error);
}

TEST(WavWriter, FinishingEarlyIsAnError) {
    TempFolder folder;
    WavWriter writer((folder.Path() / "out.wav").string(), 1, 44100, 100);
    WriteInBlocks(writer, 1, 50, 50);
    EXPECT_THROW(writer.Finish(), std::logic_error);
}

}  // namespace
}  // namespace tools
