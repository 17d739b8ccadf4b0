#include <gtest/gtest.h>

#include <filesystem>

#include "support/patch_plugin.h"
#include "support/plugin_host.h"

namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> ExampleArchive(const char* name) {
    const auto document = tools::CompilePatchText(tools::ReadFileText(std::string(WS_EXAMPLES_DIR) + "/" + name));
    return tools::WriteProjectArchive(*document);
}

std::string EffectName(plugin_host& host) { return host.Text(vst::effGetEffectName); }

TEST(PluginProject, ALibraryWithoutAProjectGivesNoPlugin) {
    plugin_host host(2300, WS_PLUGIN_PATH);
    EXPECT_EQ(host.Effect(), nullptr);
}

TEST(PluginProject, TheDatFileBesideTheLibraryIsReadWhenTheLibraryCarriesNone) {
    const packed_plugin empty(std::vector<uint8_t>{});  // a folder to work in
    const fs::path library = empty.Folder() / "Synth.beta.so";
    fs::copy_file(WS_PLUGIN_PATH, library);
    platform::WriteWholeFile((empty.Folder() / "Synth.beta.dat").string(), ExampleArchive("synth_chain.json"));
    plugin_host host(2300, library.string().c_str());
    ASSERT_NE(host.Effect(), nullptr);
    EXPECT_FALSE(EffectName(host).empty());
}

TEST(PluginProject, ACarriedProjectWinsOverADatFile) {
    const packed_plugin carried(ExampleArchive("synth_chain.json"));
    platform::WriteWholeFile((carried.Folder() / "patch.dat").string(), std::vector<uint8_t>{1, 2, 3});
    plugin_host host(2300, carried.Path().c_str());
    ASSERT_NE(host.Effect(), nullptr);
}

TEST(PluginProject, AMalformedProjectGivesNoPlugin) {
    const packed_plugin broken(std::vector<uint8_t>{0x1E, 0x76, 0x01, 0x00, 0x01});
    plugin_host host(2300, broken.Path().c_str());
    EXPECT_EQ(host.Effect(), nullptr);
}

TEST(PluginProject, TheTopContainersPlugsAreTheHostsPins) {
    const auto plugin = PackPatchFile(std::string(WS_TEST_FIXTURES_DIR) + "/plugin/fixtures/passthrough.json");
    plugin_host host(2300, plugin->Path().c_str());
    ASSERT_NE(host.Effect(), nullptr);
    EXPECT_EQ(EffectName(host), "Wirestack");
    EXPECT_EQ(host.Effect()->numInputs, 2);
    EXPECT_EQ(host.Effect()->numOutputs, 2);
    EXPECT_EQ(host.Text(vst::effGetProductString), "") << "the plug-in keeps its own product text";
}

}  // namespace
