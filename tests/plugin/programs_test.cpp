// Programs, host parameters and chunks as a host sees them through the entry.
#include <gtest/gtest.h>

#include <cstring>

#include "support/patch_plugin.h"
#include "support/plugin_host.h"

namespace {

constexpr int32_t kBankTag = 852171;

// Reads what a chunk's header says, as a host-side inspector would.
struct chunk_header {
    explicit chunk_header(const std::vector<uint8_t>& bytes) : bytes_(bytes) {
        tag = Next();
        controls = Next();
        parameters = Next();
        for (int32_t i = 0; i < controls + parameters; ++i) ids.push_back(Next());
        programs = Next();
    }
    int32_t Next() {
        int32_t value = 0;
        std::memcpy(&value, bytes_.data() + position_, 4);
        position_ += 4;
        return value;
    }
    const std::vector<uint8_t>& bytes_;
    std::size_t position_ = 0;
    int32_t tag = 0, controls = 0, parameters = 0, programs = 0;
    std::vector<int32_t> ids;
};

class PluginPrograms : public ::testing::Test {
protected:
    std::unique_ptr<packed_plugin> library =
        PackPatchFile(std::string(WS_TEST_FIXTURES_DIR) + "/plugin/fixtures/programs.json");
    std::unique_ptr<plugin_host> host = Load();

    std::unique_ptr<plugin_host> Load() const { return std::make_unique<plugin_host>(2300, library->Path().c_str()); }

    static std::vector<uint8_t> Chunk(plugin_host& from, bool single_program) {
        void* data = nullptr;
        const intptr_t size = from.Dispatch(vst::effGetChunk, single_program ? 1 : 0, 0, &data);
        if (size <= 0 || data == nullptr) return {};
        const auto* bytes = static_cast<const uint8_t*>(data);
        return {bytes, bytes + size};
    }
    static void SetChunk(plugin_host& to, std::vector<uint8_t> bytes, bool single_program) {
        to.Dispatch(vst::effSetChunk, single_program ? 1 : 0, static_cast<intptr_t>(bytes.size()), bytes.data());
    }
    static float Get(plugin_host& from, int index) { return from.Effect()->getParameter(from.Effect(), index); }
    static void Set(plugin_host& to, int index, float value) { to.Effect()->setParameter(to.Effect(), index, value); }
    // Index of the parameter the host sees under that name, or -1.
    static int IndexOf(plugin_host& in, const std::string& name) {
        for (int i = 0; i < in.Effect()->numParams; ++i)
            if (in.Text(vst::effGetParamName, i) == name) return i;
        return -1;
    }
};

TEST_F(PluginPrograms, TheHostSeesPublicParametersByNameAndProgramsWithTheirNames) {
    ASSERT_NE(host->Effect(), nullptr);
    EXPECT_EQ(host->Effect()->numPrograms, 16);
    ASSERT_EQ(host->Effect()->numParams, 4) << "the private parameter stays hidden";
    const std::vector<std::string> expected{"Accent", "Comment", "Pitch", "Wave"};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(host->Text(vst::effGetParamName, i), expected[i]);
        EXPECT_EQ(host->Dispatch(vst::effCanBeAutomated, i), 1);
    }
    EXPECT_EQ(host->Text(vst::effGetProgramNameIndexed, 0), "Warm");
    EXPECT_EQ(host->Text(vst::effGetProgramNameIndexed, 1), "Patch   2");
    EXPECT_FLOAT_EQ(Get(*host, IndexOf(*host, "Pitch")), 0.5f) << "5 on the 0..10 range";
    EXPECT_FLOAT_EQ(Get(*host, IndexOf(*host, "Wave")), 1.0f / 6.0f) << "Saw, the second of seven entries";
    EXPECT_EQ(host->Text(vst::effGetParamDisplay, IndexOf(*host, "Wave")), "Saw");
}

TEST_F(PluginPrograms, SelectingAProgramShowsItsValuesWithoutAutomating) {
    const int pitch = IndexOf(*host, "Pitch");
    const int accent = IndexOf(*host, "Accent");
    host->Dispatch(vst::effSetProgram, 0, 3);
    EXPECT_EQ(host->Dispatch(vst::effGetProgram), 3);
    EXPECT_EQ(host->Text(vst::effGetProgramName), "Bright");
    EXPECT_FLOAT_EQ(Get(*host, pitch), 0.25f);
    host->Dispatch(vst::effSetProgram, 0, 5);
    EXPECT_FLOAT_EQ(Get(*host, accent), 1.0f);
    EXPECT_FLOAT_EQ(Get(*host, pitch), 0.5f);
    EXPECT_TRUE(host->automated.empty());
}

TEST_F(PluginPrograms, HostChangesAreNotEchoedButKeptPerProgram) {
    const int pitch = IndexOf(*host, "Pitch");
    Set(*host, pitch, 0.8f);
    EXPECT_FLOAT_EQ(Get(*host, pitch), 0.8f);
    EXPECT_EQ(host->Text(vst::effGetParamDisplay, pitch), "8.000");
    EXPECT_TRUE(host->automated.empty()) << "the host is not told what it set itself";
    host->Dispatch(vst::effSetProgram, 0, 1);
    EXPECT_FLOAT_EQ(Get(*host, pitch), 0.5f);
    host->Dispatch(vst::effSetProgram, 0, 0);
    EXPECT_FLOAT_EQ(Get(*host, pitch), 0.8f);
}

TEST_F(PluginPrograms, CopyingNamesTheCopyAfterTheCurrentProgramAndCopiesItsValues) {
    host->Dispatch(vst::effSetProgram, 0, 3);
    host->Dispatch(vst::effCopyProgram, 5);
    EXPECT_EQ(host->Text(vst::effGetProgramNameIndexed, 5), "(Copy 1) Bright");
    host->Dispatch(vst::effSetProgram, 0, 5);
    EXPECT_FLOAT_EQ(Get(*host, IndexOf(*host, "Pitch")), 0.25f);
    EXPECT_FLOAT_EQ(Get(*host, IndexOf(*host, "Accent")), 0.0f) << "program 3's value replaced program 5's";
}

TEST_F(PluginPrograms, ABankChunkCarriesAllProgramsWhateverTheProgramCount) {
    const std::vector<uint8_t> bank = Chunk(*host, false);
    const chunk_header header(bank);
    EXPECT_EQ(header.tag, kBankTag);
    EXPECT_EQ(header.parameters, 5) << "private parameters are state too";
    EXPECT_EQ(header.programs, 128);
    const chunk_header single(Chunk(*host, true));
    EXPECT_EQ(single.programs, 1);
}

TEST_F(PluginPrograms, AChunkRestoresEveryProgramInAFreshInstance) {
    const int pitch = IndexOf(*host, "Pitch");
    const int wave = IndexOf(*host, "Wave");
    host->Dispatch(vst::effSetProgram, 0, 2);
    Set(*host, pitch, 0.1f);
    Set(*host, wave, 1.0f);
    char name[] = "Reedy";
    host->Dispatch(vst::effSetProgramName, 0, 0, name);
    const std::vector<uint8_t> bank = Chunk(*host, false);

    const std::unique_ptr<plugin_host> restored = Load();
    SetChunk(*restored, bank, false);
    EXPECT_EQ(Chunk(*restored, false), bank) << "a second save gives the same bytes";
    restored->Dispatch(vst::effSetProgram, 0, 2);
    EXPECT_EQ(restored->Text(vst::effGetProgramName), "Reedy");
    EXPECT_FLOAT_EQ(Get(*restored, pitch), 0.1f);
    EXPECT_FLOAT_EQ(Get(*restored, wave), 1.0f);
    restored->Dispatch(vst::effSetProgram, 0, 3);
    EXPECT_EQ(restored->Text(vst::effGetProgramName), "Bright");
}

TEST_F(PluginPrograms, ASingleProgramChunkFillsOnlyTheCurrentProgram) {
    const int pitch = IndexOf(*host, "Pitch");
    Set(*host, pitch, 0.9f);
    const std::vector<uint8_t> single = Chunk(*host, true);

    const std::unique_ptr<plugin_host> restored = Load();
    restored->Dispatch(vst::effSetProgram, 0, 4);
    SetChunk(*restored, single, true);
    EXPECT_FLOAT_EQ(Get(*restored, pitch), 0.9f);
    EXPECT_EQ(restored->Text(vst::effGetProgramName), "Warm");
    restored->Dispatch(vst::effSetProgram, 0, 0);
    EXPECT_FLOAT_EQ(Get(*restored, pitch), 0.5f) << "program 0 itself is untouched";
}

// Damaged chunks: cut anywhere, a foreign tag, a parameter the patch lacks.
TEST_F(PluginPrograms, DamagedChunksChangeNothingTheyCannotReadWhole) {
    const int pitch = IndexOf(*host, "Pitch");
    Set(*host, pitch, 0.7f);
    const std::vector<uint8_t> bank = Chunk(*host, false);
    const std::unique_ptr<plugin_host> other = Load();
    for (std::size_t cut = 0; cut < bank.size(); cut += 97) {
        SetChunk(*other, std::vector<uint8_t>(bank.begin(), bank.begin() + cut), false);
        ASSERT_FLOAT_EQ(Get(*other, pitch), 0.5f) << "cut at " << cut;
    }
    std::vector<uint8_t> foreign = bank;
    foreign[0] ^= 0x55;
    SetChunk(*other, foreign, false);
    EXPECT_FLOAT_EQ(Get(*other, pitch), 0.5f);

    // The first stored parameter id (Pitch, 7) renamed to one the patch lacks:
    // the values before it are applied, the read stops there and says so.
    std::vector<uint8_t> unknown = bank;
    const int32_t missing = 999;
    std::memcpy(unknown.data() + 12, &missing, 4);
    testing::internal::CaptureStderr();
    SetChunk(*other, unknown, false);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("Some parameters could not be loaded"), std::string::npos);
    EXPECT_FLOAT_EQ(Get(*other, pitch), 0.5f);
    EXPECT_EQ(other->Text(vst::effGetProgramNameIndexed, 3), "Bright");
}

}  // namespace
