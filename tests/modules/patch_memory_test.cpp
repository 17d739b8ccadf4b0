// Patch-memory modules with real neighbours: a patch parameter feeds
// "PatchMemFloatIn", whose value becomes a voltage through "FloatToVolts";
// host automation moves the voltage; the plug-in plays the stored value.
#include <gtest/gtest.h>

#include <thread>

#include <algorithm>
#include <numeric>
#include <string>
#include <vector>

#include "engine/message_stream.h"
#include "engine/patch_parameters.h"
#include "project/patch_manager.h"
#include "project/project_document.h"
#include "support/graph_rig.h"
#include "support/packed_plugin.h"
#include "support/plugin_host.h"
#include "tools/patch_text.h"
#include "tools/project_writer.h"

namespace {

// A memory's value turned into volts, unsmoothed, sent to the left output.
constexpr const char* kMemoryToVolts = R"({
  "format": "wirestack patch",
  "settings": {"id": "WsPm", "vendor": "Wirestack", "program_count": 4},
  "modules": [
    {
      "type": "Container",
      "title": "Wirestack",
      "modules": [
        {"type": "PatchMemFloatIn", "title": "Memory", "plugs": {"Min Value": "0", "Max Value": "10"}},
        {"type": "FloatToVolts", "title": "Volts", "plugs": {"Smoothing": "0"}}
      ],
      "wires": [
        {"from": "Memory/Value Out", "to": "Volts/Float In"},
        {"from": "Volts/Volts Out", "to": "IO Mod/Left"}
      ]
    }
  ]
})";

CContainer& TopOf(project_document& document) {
    return static_cast<CContainer&>(*document.root->Children().front());
}

CUG& ModuleOf(const CContainer& container, const std::string& title) {
    for (const auto& child : container.Children())
        if (child->Is<CUG>() && static_cast<CUG&>(*child).Title() == title) return static_cast<CUG&>(*child);
    throw std::invalid_argument("no module " + title);
}

// The memory's value as a float patch parameter of the top container.
int32_t BindMemory(CContainer& top, float value) {
    if (top.PatchManager() == nullptr) top.SetPatchManager(std::make_unique<CPatchManager>());
    patch_parameter_record parameter;
    parameter.type_id = DT_FLOAT;
    parameter.id = 1;
    parameter.plug = ModuleOf(top, "Memory").FindPlugByName("Value");
    parameter.name = "Memory";
    parameter.values.assign(kProgramCount, value);
    top.PatchManager()->RegisterParameter(parameter);
    return parameter.message_handle;
}

float Mean(const std::vector<float>& samples) {
    return std::accumulate(samples.begin(), samples.end(), 0.0f) / static_cast<float>(samples.size());
}

TEST(PatchMemory, AutomationOfTheBoundParameterMovesTheVoltage) {
    const auto document = tools::CompilePatchText(kMemoryToVolts);
    CContainer& top = TopOf(*document);
    const int32_t identity = BindMemory(top, 2.0f);
    graph_rig rig(*document->root);
    rig.Start();
    UPlug* volts = graph_rig::AudioPlugOf(&ModuleOf(top, "Volts"), "Volts Out");
    const std::vector<float> before = rig.Record(volts, 2);
    EXPECT_NEAR(Mean(before), 0.2f, 1e-6f);  // 2 V
    EXPECT_NEAR(*std::max_element(before.begin(), before.end()), 0.2f, 1e-6f);

    message_out(rig.master.AutomationQueue(), identity, MessageCode("ppca")).WriteFloat(0.75f).Send();
    const std::vector<float> after = rig.Record(volts, 2);
    EXPECT_NEAR(after.front(), 0.75f, 1e-6f) << "the new value is there from the block's first sample";
    EXPECT_NEAR(Mean(after), 0.75f, 1e-6f);  // 7.5 V
}

TEST(PatchMemory, TheMemorySleepsOnceItHasPassedItsValueOn) {
    const auto document = tools::CompilePatchText(kMemoryToVolts);
    CContainer& top = TopOf(*document);
    BindMemory(top, 4.0f);
    graph_rig rig(*document->root);
    rig.Start();
    rig.Run(3);
    EXPECT_TRUE(ModuleOf(top, "Memory").unit_generator->sleeping);
}

TEST(PatchMemory, ThePlugInPlaysTheStoredValue) {
    const auto document = tools::CompilePatchText(kMemoryToVolts);
    BindMemory(TopOf(*document), 3.0f);
    const packed_plugin plugin(tools::WriteProjectArchive(*document));
    plugin_host host(2300, plugin.Path().c_str());
    ASSERT_NE(host.Effect(), nullptr);
    host.Resume();
    plugin_host::buffers in(host.Effect()->numInputs, 512, 0.0f);
    plugin_host::buffers out(host.Effect()->numOutputs, 512, 0.0f);
    host.Process(in, out, 512);
    host.Process(in, out, 512);
    ASSERT_GE(out.data.size(), 1u);
    const auto [lowest, highest] = std::minmax_element(out.data[0].begin(), out.data[0].end());
    EXPECT_NEAR(*lowest, 0.3f, 1e-6f);  // 3 V, not the plug's own 0
    EXPECT_NEAR(*highest, 0.3f, 1e-6f);
}

// The host's two paths: another thread travels as "ppca" through the
// automation queue, the creating thread through the panel side; both reach the
// sound at the next block, and the panel learns the audio side's value back.
TEST(PatchMemory, HostParametersReachTheNextBlockFromEitherThread) {
    const auto document = tools::CompilePatchText(kMemoryToVolts);
    BindMemory(TopOf(*document), 3.0f);
    const packed_plugin plugin(tools::WriteProjectArchive(*document));
    plugin_host host(2300, plugin.Path().c_str());
    ASSERT_NE(host.Effect(), nullptr);
    ASSERT_EQ(host.Effect()->numParams, 1);
    EXPECT_EQ(host.Text(vst::effGetParamName, 0), "Memory");
    host.Resume();
    plugin_host::buffers in(host.Effect()->numInputs, 256, 0.0f);
    plugin_host::buffers out(host.Effect()->numOutputs, 256, 0.0f);
    host.Process(in, out, 256);
    EXPECT_NEAR(out.data[0].back(), 0.3f, 1e-6f);

    std::thread([&] { host.Effect()->setParameter(host.Effect(), 0, 0.75f); }).join();
    host.Process(in, out, 256);
    EXPECT_NEAR(out.data[0].front(), 0.75f, 1e-6f);
    host.Dispatch(vst::effIdle);
    EXPECT_FLOAT_EQ(host.Effect()->getParameter(host.Effect(), 0), 0.75f);
    EXPECT_EQ(host.Text(vst::effGetParamDisplay, 0), "7.500") << "the panel side took the audio side's report";

    host.Effect()->setParameter(host.Effect(), 0, 0.5f);
    host.Process(in, out, 256);
    EXPECT_NEAR(out.data[0].front(), 0.5f, 1e-6f);
    host.Dispatch(vst::effIdle);
    EXPECT_TRUE(host.automated.empty()) << "nothing the host did itself is sent back to it";
}

}  // namespace
