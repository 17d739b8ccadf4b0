#include "modules/filters.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <functional>
#include <limits>
#include <map>
#include <numbers>
#include <string>
#include <vector>

#include "project/module_registry.h"
#include "support/module_harness.h"

namespace {

using transfer = std::function<std::complex<double>(double omega)>;
constexpr double kTwoPi = 2.0 * std::numbers::pi;

// A filter made through the registry as graph construction makes it: every
// input at its listed default unless `volts` names it; inputs in `running`
// come from a running source of that value instead; Signal, when neither
// names it, from a sine source. Outputs in `wired` feed probes.
struct filter_setup {
    std::string unique_id;
    std::map<std::string, std::string> volts;
    std::vector<std::string> running;
    std::vector<std::string> wired;
    float rate = 44100.0f;
};

class filter_graph {
public:
    explicit filter_graph(const filter_setup& setup) : engine(64, setup.rate) {
        filter = static_cast<filter_base*>(
            engine.top->Add(ModuleRegistry::Instance().CreateUnitGenerator(setup.unique_id)));
        filter->CreatePlugsFromInterface();
        filter->SetupPlugs();
        filter->sort_order = 50;
        source = engine.Add<ug_sine_source>(100);
        std::vector<InterfaceObject> descriptions;
        filter->ListInterface(descriptions);
        for (std::size_t i = 0; i < descriptions.size(); ++i) FeedInput(setup, descriptions[i], filter->GetPlug(int(i)));
        RunSourcesFirst();
        for (const std::string& name : setup.wired) {
            auto* probe = engine.Add<ug_probe>(0);
            Connect(Plug(name), probe->GetPlug(0));
            probes.push_back(probe);
        }
        engine.Start();
    }

    UPlug* Plug(const std::string& name) { return filter->GetPlugByName(name); }
    std::vector<float> Run(const std::string& output, double seconds) {
        return Capture(engine, Plug(output), Samples(seconds));
    }
    int Samples(double seconds) const { return static_cast<int>(seconds * engine.master->SampleRate()); }
    bool Asleep(const ug_base* ug) const { return ug->sleeping && !engine.OnRunList(ug); }
    // Blocks processed until the filter leaves the run list, up to `limit`.
    int BlocksUntilAsleep(int limit) {
        for (int blocks = 0; blocks < limit; ++blocks) {
            if (Asleep(filter)) return blocks;
            engine.master->Process(engine.master->BlockSize());
        }
        return limit;
    }

    engine_fixture engine;
    filter_base* filter = nullptr;
    ug_sine_source* source = nullptr;
    std::vector<ug_source*> running_sources;
    std::vector<ug_probe*> probes;

private:
    // As graph construction orders them: whatever feeds the filter runs before it.
    void RunSourcesFirst() {
        for (const auto& input : filter->Plugs())
            for (plug_connection* connection : input->connections)
                if (input->IsInput()) connection->from->owner->sort_order = std::max(connection->from->owner->sort_order, 100);
    }
    void FeedInput(const filter_setup& setup, const InterfaceObject& description, UPlug* input) {
        if (!input->IsInput()) return;
        const auto given = setup.volts.find(description.name);
        const std::string text = given != setup.volts.end() ? given->second : description.default_value;
        if (std::ranges::find(setup.running, description.name) != setup.running.end()) {
            auto* constant = engine.Add<ug_source>(100);
            constant->value = text.empty() ? 0.0f : std::stof(text) * 0.1f;
            Connect(constant->GetPlug(0), input);
            running_sources.push_back(constant);
        } else if (description.name == "Signal" && given == setup.volts.end()) {
            Connect(source->GetPlug(0), input);
        } else if (!text.empty()) {
            filter->ApplyDefault(input, text);
        }
    }
};

// ---- the responses the per-sample equations give, from their z transforms ----

double OctaveHz(double volts) { return 440.0 * std::pow(2.0, volts - 5.0); }
std::complex<double> UnitDelay(double omega) { return std::polar(1.0, -omega); }

enum class sv_output { low, high, band, reject };

transfer StateVariable(double pitch_volts, double resonance_volts, double rate, sv_output output) {
    const double f = kTwoPi * std::min(OctaveHz(pitch_volts), rate / 2) / rate;
    const double q = 2.0 - 2.0 * std::min(resonance_volts / 10.0, 0.9992);
    return [=](double omega) {
        const auto z1 = UnitDelay(omega);
        const auto u = 1.0 - z1;
        const auto denominator = u * u + f * q * u * z1 + f * f * z1;
        switch (output) {
            case sv_output::low: return f * f * z1 / denominator;
            case sv_output::high: return u * u / denominator;
            case sv_output::band: return f * u / denominator;
            case sv_output::reject: break;
        }
        return (u * u + f * f * z1) / denominator;
    };
}

transfer OnePole(double cutoff_hz, double rate, bool low_pass) {
    const double a = std::exp(-kTwoPi * std::min(cutoff_hz, 0.495 * rate) / rate);
    return [=](double omega) {
        const auto z1 = UnitDelay(omega);
        const auto low = (1.0 - a) / (1.0 - a * z1);
        return low_pass ? low : 1.0 - low;
    };
}

transfer AllPass(double pitch_volts, double resonance_volts, double rate) {
    const double width = std::clamp(resonance_volts / 10.0 * 1.5 + 0.5, 0.5, 4.0);
    const double g = std::min(OctaveHz(pitch_volts) / rate, 0.5);
    const double a1 = 2.0 * std::exp(-std::numbers::pi * width * g) * std::cos(kTwoPi * g);
    const double a2 = std::exp(-kTwoPi * width * g);
    return [=](double omega) {
        const auto z1 = UnitDelay(omega);
        return (a2 - a1 * z1 + z1 * z1) / (1.0 - a1 * z1 + a2 * z1 * z1);
    };
}

transfer Ladder(double pitch_volts, double resonance_volts, double rate) {
    const double f = 2.0 * std::min(OctaveHz(pitch_volts), rate / 2) / rate;
    const double k = 3.6 * f - 1.6 * f * f - 1.0;
    const double p = (k + 1.0) * 0.5;
    const double r = resonance_volts / 10.0 * std::exp((1.0 - p) * 1.386249);
    return [=](double omega) {
        const auto z1 = UnitDelay(omega);
        const auto stages = std::pow(p * (1.0 + z1) / (1.0 + k * z1), 4);
        return stages / (1.0 + r * z1 * stages);
    };
}

transfer Peaking(double pitch_volts, double octaves, double gain_db, double rate) {
    const double omega0 = kTwoPi * OctaveHz(pitch_volts) / rate;
    const double alpha = std::sin(omega0) * std::sinh(std::log(2.0) / 2 * octaves * omega0 / std::sin(omega0));
    const double a = std::pow(10.0, gain_db / 40.0);
    const double cs = std::cos(omega0);
    return [=](double omega) {
        const auto z1 = UnitDelay(omega);
        return (1.0 + alpha * a - 2.0 * cs * z1 + (1.0 - alpha * a) * z1 * z1) /
               (1.0 + alpha / a - 2.0 * cs * z1 + (1.0 - alpha / a) * z1 * z1);
    };
}

// ---- plugs and registration ----------------------------------------------

TEST(Filters, EachModuleIdMakesItsUnitGenerator) {
    const auto made_as = [](const char* unique_id) {
        std::unique_ptr<ug_base> ug = ModuleRegistry::Instance().CreateUnitGenerator(unique_id);
        return ug ? std::string(typeid(*ug).name()) : std::string("none");
    };
    EXPECT_EQ(made_as("SV Filter"), typeid(ug_filter_sv).name());
    EXPECT_EQ(made_as("1 Pole LP"), typeid(ug_filter_1pole).name());
    EXPECT_EQ(made_as("1 Pole HP"), typeid(ug_filter_1pole_hp).name());
    EXPECT_EQ(made_as("All Pass"), typeid(ug_filter_allpass).name());
    for (const char* ladder : {"Moog Filter", "Filter2 obsolete", "Filter obs"})
        EXPECT_EQ(made_as(ladder), typeid(ug_filter_biquad).name()) << ladder;
    EXPECT_EQ(made_as("Parametric EQ"), typeid(ug_filter_eq_parametric).name());
}

TEST(Filters, PlugListsInArchiveOrder) {
    const std::map<std::string, std::string> expected = {
        {"SV Filter", "Signal|Pitch|Resonance|Low Pass|Hi Pass|Band Pass|Band Reject|Freq Scale"},
        {"1 Pole LP", "Signal|Pitch|Output|Freq Scale"},
        {"1 Pole HP", "Signal|Pitch|Output|Freq Scale"},
        {"All Pass", "Signal|Pitch|Resonance|Output|Freq Scale"},
        {"Moog Filter", "Signal|Pitch|Resonance|Output|Mode|Boost/Cut|Freq Scale"},
        {"Filter obs", "Signal|Pitch|Resonance|Output|Mode|Boost/Cut|Freq Scale"},
        {"Parametric EQ", "Signal|Pitch|Resonance|Output|Mode|Boost/Cut|Freq Scale"},
    };
    for (const auto& [unique_id, names] : expected) {
        const std::vector<InterfaceObject>& plugs = ModuleRegistry::Instance().FindModule(unique_id)->plugs;
        std::string joined;
        for (const InterfaceObject& plug : plugs) joined += (joined.empty() ? "" : "|") + plug.name;
        EXPECT_EQ(joined, names) << unique_id;
        EXPECT_EQ(plugs.front().flags, uint32_t(IO_NOT_POLYPHONIC)) << unique_id;
        const InterfaceObject& scale = plugs.back();
        EXPECT_EQ(scale.direction, DR_PARAMETER);
        EXPECT_EQ(scale.data_type, DT_ENUM);
        EXPECT_EQ(scale.list_values, "1 Volt/Octave, 1 Volt/kHz ");
        EXPECT_EQ(scale.default_value, "0");
    }
    const std::vector<InterfaceObject>& eq = ModuleRegistry::Instance().FindModule("Parametric EQ")->plugs;
    EXPECT_EQ(eq[4].data_type, DT_ENUM);
    EXPECT_EQ(eq[4].list_values, "4 Pole LP");
    EXPECT_EQ(eq[5].data_type, DT_AUDIO);
    EXPECT_EQ(eq[5].list_values, "10,-10,10,-10");
    EXPECT_EQ(ModuleRegistry::Instance().FindModule("SV Filter")->plugs[0].default_value, "0");
}

// ---- shared tables -----------------------------------------------------------

TEST(Filters, SharedTablesHoldTheirFormulas) {
    struct entry {
        const char* table;
        float rate;
        int index;
        double expected;
    };
    const entry entries[] = {
        {"ug_filter_sv Cutoff", 44100, 256, 0.0626893791},  // 440 Hz
        {"ug_filter_sv Cutoff", 22050, 512, 3.14159275},    // 14080 Hz, held at half the rate
        {"ug_filter_sv Resonance Limit", 44100, 0, 0.78},
        {"ug_filter_sv Resonance Limit", 44100, 511, 1.8927025},
        {"1 pole l", 44100, 256, 0.939235174},
        {"1 pole l", 22050, 512, 0.0445930696},  // held at 0.495 of the rate
        {"ug_filter_allpass A", 44100, 64, 0.455938117},
        {"ug_filter_allpass A", 44100, 512, 0.00186744237},
        {"ug_filter_allpass B", 44100, 0, 2.0},
        {"ug_filter_allpass B", 44100, 128, 0.0},
        {"Moog LP kp", 44100, 256, -0.928800366},
        {"Moog LP kp", 44100, 512, 0.646384295},
        {"Moog LP Scale", 44100, 256, 3.80721819},
        {"Moog LP Scale", 44100, 512, 1.27774871},
    };
    for (const entry& e : entries) {
        filter_graph graph({.unique_id = "SV Filter", .rate = e.rate});
        for (const char* other : {"1 Pole LP", "All Pass", "Moog Filter"}) {
            ug_base* ug = graph.engine.top->Add(ModuleRegistry::Instance().CreateUnitGenerator(other));
            ug->CreatePlugsFromInterface();
            ug->SetupPlugs();
            ug->Open();
        }
        const bool per_rate = std::string(e.table).find("allpass") == std::string::npos &&
                              std::string(e.table).find("Limit") == std::string::npos;
        const ULookup* table =
            graph.engine.client.lookup_tables.GetFloatTable(e.table, per_rate ? static_cast<int>(e.rate) : -1);
        ASSERT_TRUE(table->initialised) << e.table;
        ASSERT_EQ(table->size, 514);
        EXPECT_NEAR(table->values[std::size_t(e.index)], e.expected, 2e-7 * std::max(1.0, std::abs(e.expected)))
            << e.table << " entry " << e.index << " at " << e.rate;
    }
}

// ---- responses -------------------------------------------------------------

struct response_case {
    filter_setup setup;
    std::string output;
    double frequency;
    transfer expected;
    double amplitude = 0.1;
};

// Gain by RMS over whole cycles and phase by a windowed DFT, both after half
// a second of settling.
std::complex<double> MeasuredResponse(const response_case& c) {
    filter_graph graph(c.setup);
    graph.source->frequency = c.frequency;
    graph.source->amplitude = c.amplitude;
    const double rate = c.setup.rate;
    graph.Run(c.output, 0.5);
    UPlug* const plugs[] = {graph.source->GetPlug(0), graph.Plug(c.output)};
    const auto captured = Capture(graph.engine, plugs, graph.Samples(0.5));
    const double cycles = std::floor(captured[0].size() * c.frequency / rate);
    const auto whole = static_cast<std::size_t>(std::round(cycles * rate / c.frequency));
    const std::span<const float> in(captured[0].data(), whole);
    const std::span<const float> out(captured[1].data(), whole);
    const double gain = Rms(out) / Rms(in);
    return std::polar(gain, std::arg(Phasor(out, c.frequency, rate) / Phasor(in, c.frequency, rate)));
}

void ExpectResponses(const std::vector<response_case>& cases) {
    for (const response_case& c : cases) {
        const std::complex<double> expected = c.expected(kTwoPi * c.frequency / c.setup.rate);
        const std::complex<double> measured = MeasuredResponse(c);
        const std::string label = c.setup.unique_id + " " + c.output + " at " + std::to_string(c.frequency) +
                                  " Hz, rate " + std::to_string(c.setup.rate);
        EXPECT_NEAR(std::abs(measured), std::abs(expected), 0.002 + 0.01 * std::abs(expected)) << label;
        if (std::abs(expected) > 0.05) {
            EXPECT_NEAR(std::remainder(std::arg(measured) - std::arg(expected), kTwoPi), 0.0, 0.01) << label;
        }
    }
}

TEST(Filters, StateVariableResponses) {
    const auto sv = [](std::string output, std::map<std::string, std::string> volts = {},
                       std::vector<std::string> running = {}, float rate = 44100.0f) {
        return filter_setup{"SV Filter", std::move(volts), std::move(running), {std::move(output)}, rate};
    };
    const transfer low = StateVariable(5, 5, 44100, sv_output::low);
    const transfer high = StateVariable(5, 5, 44100, sv_output::high);
    ExpectResponses({
        {sv("Low Pass"), "Low Pass", 220, low},
        {sv("Low Pass"), "Low Pass", 440, low},
        {sv("Low Pass"), "Low Pass", 1760, low},
        {sv("Hi Pass"), "Hi Pass", 220, high},
        {sv("Hi Pass"), "Hi Pass", 1760, high},
        {sv("Band Pass"), "Band Pass", 440, StateVariable(5, 5, 44100, sv_output::band)},
        {sv("Band Reject"), "Band Reject", 440, StateVariable(5, 5, 44100, sv_output::reject)},
        {sv("Band Reject"), "Band Reject", 1760, StateVariable(5, 5, 44100, sv_output::reject)},
        {sv("Low Pass", {{"Resonance", "9"}}), "Low Pass", 440, StateVariable(5, 9, 44100, sv_output::low)},
        {sv("Low Pass", {{"Pitch", "7.5"}}, {}, 96000), "Low Pass", 1244.5,
         StateVariable(7.5, 5, 96000, sv_output::low)},
        // Per-sample coefficients: the same response from a running Pitch or Resonance.
        {sv("Low Pass", {}, {"Pitch"}), "Low Pass", 440, low},
        {sv("Hi Pass", {}, {"Pitch"}), "Hi Pass", 1760, high},
        {sv("Band Pass", {{"Resonance", "8"}}, {"Resonance"}), "Band Pass", 440,
         StateVariable(5, 8, 44100, sv_output::band)},
    });
}

TEST(Filters, OnePoleResponses) {
    const auto one_pole = [](const char* id, std::map<std::string, std::string> volts = {},
                             std::vector<std::string> running = {}, float rate = 44100.0f) {
        return filter_setup{id, std::move(volts), std::move(running), {"Output"}, rate};
    };
    const transfer low = OnePole(440, 44100, true);
    const transfer high = OnePole(440, 44100, false);
    ExpectResponses({
        {one_pole("1 Pole LP"), "Output", 110, low},
        {one_pole("1 Pole LP"), "Output", 440, low},
        {one_pole("1 Pole LP"), "Output", 3520, low},
        {one_pole("1 Pole HP"), "Output", 110, high},
        {one_pole("1 Pole HP"), "Output", 3520, high},
        {one_pole("1 Pole HP", {}, {"Pitch"}), "Output", 440, high},
        {one_pole("1 Pole LP", {{"Freq Scale", "1"}, {"Pitch", "0.44"}}), "Output", 440, low},
        {one_pole("1 Pole LP", {{"Pitch", "10"}}), "Output", 5000, OnePole(14080, 44100, true)},
        {one_pole("1 Pole LP", {{"Pitch", "10"}}, {}, 22050), "Output", 5000, OnePole(22050 * 0.495, 22050, true)},
    });
}

TEST(Filters, AllPassKeepsTheLevelAndTurnsThePhase) {
    const auto all_pass = [](std::map<std::string, std::string> volts = {}, std::vector<std::string> running = {}) {
        return filter_setup{"All Pass", std::move(volts), std::move(running), {"Output"}};
    };
    const transfer turn = AllPass(5, 5, 44100);
    ExpectResponses({
        {all_pass(), "Output", 110, turn},
        {all_pass(), "Output", 440, turn},
        {all_pass(), "Output", 1760, turn},
        {all_pass({{"Resonance", "0"}}), "Output", 440, AllPass(5, 0, 44100)},
        {all_pass({}, {"Pitch"}), "Output", 440, turn},
        {all_pass({{"Resonance", "2"}}, {"Resonance"}), "Output", 440, AllPass(5, 2, 44100)},
        {all_pass({{"Pitch", "-1"}}), "Output", 110, AllPass(-1, 5, 44100)},
    });
}

TEST(Filters, LadderResponses) {
    const auto ladder = [](std::map<std::string, std::string> volts, std::vector<std::string> running = {},
                           float rate = 44100.0f) {
        return filter_setup{"Moog Filter", std::move(volts), std::move(running), {"Output"}, rate};
    };
    // Small signals, so that the soft clip stays out of the measurement.
    constexpr double kSmall = 0.01;
    const transfer plain = Ladder(5, 0, 44100);
    ExpectResponses({
        {ladder({{"Resonance", "0"}}), "Output", 55, plain, kSmall},
        {ladder({{"Resonance", "0"}}), "Output", 440, plain, kSmall},
        {ladder({{"Resonance", "0"}}), "Output", 1760, plain, kSmall},
        {ladder({}), "Output", 440, Ladder(5, 5, 44100), kSmall},
        {ladder({{"Resonance", "9"}}), "Output", 440, Ladder(5, 9, 44100), kSmall},
        {ladder({{"Resonance", "5"}}, {"Pitch", "Resonance"}), "Output", 440, Ladder(5, 5, 44100), kSmall},
        {ladder({{"Pitch", "7.5"}}, {}, 96000), "Output", 880, Ladder(7.5, 5, 96000), kSmall},
    });
    // Unity gain at low frequencies without resonance.
    EXPECT_NEAR(std::abs(plain(kTwoPi * 20 / 44100)), 1.0, 0.01);
}

TEST(Filters, PeakingEqualiserResponses) {
    const auto eq = [](std::map<std::string, std::string> volts, std::vector<std::string> running = {}) {
        return filter_setup{"Parametric EQ", std::move(volts), std::move(running), {"Output"}};
    };
    const std::map<std::string, std::string> boost = {{"Resonance", "1"}, {"Boost/Cut", "0.6"}};
    const transfer six_db_up = Peaking(5, 1, 6, 44100);
    ExpectResponses({
        {eq({}), "Output", 110, Peaking(5, 5, 0, 44100)},
        {eq({}), "Output", 440, Peaking(5, 5, 0, 44100)},
        {eq({}), "Output", 3520, Peaking(5, 5, 0, 44100)},
        {eq(boost), "Output", 440, six_db_up},
        {eq(boost), "Output", 220, six_db_up},
        {eq(boost), "Output", 1760, six_db_up},
        {eq({{"Resonance", "2"}, {"Boost/Cut", "-1.2"}}), "Output", 440, Peaking(5, 2, -12, 44100)},
        {eq(boost, {"Boost/Cut"}), "Output", 440, six_db_up},
        {eq(boost, {"Pitch"}), "Output", 440, six_db_up},
    });
    // Boost/Cut 0 V is unity everywhere; 0.6 V is 6 dB at the centre.
    EXPECT_NEAR(std::abs(Peaking(5, 5, 0, 44100)(1.0)), 1.0, 1e-12);
    EXPECT_NEAR(20 * std::log10(std::abs(six_db_up(kTwoPi * 440 / 44100))), 6.0, 1e-9);
}

// ---- resonance and clipping --------------------------------------------------

TEST(Filters, StateVariableStaysStableAtFullResonanceAndCutoff) {
    for (float rate : {22050.0f, 44100.0f}) {
        filter_graph graph({.unique_id = "SV Filter",
                            .volts = {{"Pitch", "10"}, {"Resonance", "10"}},
                            .wired = {"Low Pass", "Band Pass"},
                            .rate = rate});
        graph.source->frequency = rate / 3;
        graph.source->amplitude = 0.5;
        const std::vector<float> burst = graph.Run("Band Pass", 0.1);
        graph.source->Hold(0.0f);
        const std::vector<float> tail = graph.Run("Band Pass", 0.3);
        EXPECT_TRUE(std::ranges::all_of(burst, [](float v) { return std::isfinite(v); })) << rate;
        EXPECT_LT(Rms(std::span(tail).last(graph.Samples(0.05))), 0.01 * Rms(burst)) << rate;
        EXPECT_LE(graph.BlocksUntilAsleep(graph.Samples(3.0) / 64), graph.Samples(2.0) / 64) << rate;
    }
}

TEST(Filters, LadderClipsSoftlyAndNeverTurnsTheSign) {
    filter_graph graph({.unique_id = "Moog Filter", .volts = {{"Resonance", "0"}}, .wired = {"Output"}});
    graph.source->frequency = 110;
    graph.source->amplitude = 5.0;  // 50 V
    const std::vector<float> driven = graph.Run("Output", 0.5);
    const float clip_ceiling = std::sqrt(2.0f) - std::pow(std::sqrt(2.0f), 3.0f) / 6.0f;
    EXPECT_LE(std::ranges::max(driven), clip_ceiling + 1e-6f);
    EXPECT_GE(std::ranges::min(driven), -clip_ceiling - 1e-6f);

    filter_graph held({.unique_id = "Moog Filter",
                       .volts = {{"Signal", "50"}, {"Resonance", "0"}, {"Pitch", "10"}},
                       .wired = {"Output"}});
    const std::vector<float> step = held.Run("Output", 0.1);
    EXPECT_GE(std::ranges::min(step), 0.0f);
    EXPECT_LE(std::ranges::max(step), clip_ceiling + 1e-6f);
}

// ---- status and sleep --------------------------------------------------------

TEST(Filters, ConstantInputWritesOneBlockThenSleeps) {
    struct sleep_case {
        const char* unique_id;
        const char* signal_volts;
        std::map<std::string, float> outputs;
        int blocks;  // until off the run list
    };
    const sleep_case cases[] = {
        {"SV Filter", "3", {{"Low Pass", 0.3f}, {"Hi Pass", 0.0f}, {"Band Pass", 0.0f}, {"Band Reject", 0.3f}}, 2},
        {"1 Pole LP", "3", {{"Output", 0.3f}}, 2},
        {"1 Pole HP", "3", {{"Output", 0.0f}}, 2},
        {"All Pass", "3", {{"Output", 0.3f}}, 2},
        {"Parametric EQ", "0", {{"Output", 0.0f}}, 2},
        // The ladder looks 50 samples after a change.
        {"Moog Filter", "0", {{"Output", 0.0f}}, 3},
    };
    for (const sleep_case& c : cases) {
        filter_setup setup{.unique_id = c.unique_id, .volts = {{"Signal", c.signal_volts}}};
        for (const auto& [output, value] : c.outputs) setup.wired.push_back(output);
        filter_graph graph(setup);
        EXPECT_EQ(graph.BlocksUntilAsleep(10), c.blocks) << c.unique_id;
        for (const auto& [output, value] : c.outputs) {
            const std::vector<float> held = graph.Run(output, 0.01);
            EXPECT_TRUE(std::ranges::all_of(held, [value](float v) { return v == value; }))
                << c.unique_id << " " << output;
        }
        for (ug_probe* probe : graph.probes) EXPECT_TRUE(graph.Asleep(probe)) << c.unique_id;
    }
}

const char* const kAllFilters[] = {"SV Filter", "1 Pole LP", "1 Pole HP", "All Pass", "Moog Filter", "Parametric EQ"};

std::string FirstOutput(const std::string& unique_id) { return unique_id == "SV Filter" ? "Low Pass" : "Output"; }

TEST(Filters, SettledOutputSleepsWithinAboutASecond) {
    for (float rate : {44100.0f, 96000.0f}) {
        for (const char* unique_id : kAllFilters) {
            filter_graph graph({.unique_id = unique_id, .wired = {FirstOutput(unique_id)}, .rate = rate});
            graph.Run(FirstOutput(unique_id), 0.25);
            ASSERT_FALSE(graph.Asleep(graph.filter)) << unique_id;
            graph.source->Hold(0.0f);
            const int blocks = graph.BlocksUntilAsleep(graph.Samples(3.0) / 64);
            EXPECT_LE(blocks, graph.Samples(2.0) / 64) << unique_id << " at " << rate;
            const std::vector<float> after = graph.Run(FirstOutput(unique_id), 0.01);
            EXPECT_TRUE(std::ranges::all_of(after, [](float v) { return v == 0.0f; })) << unique_id;
            EXPECT_TRUE(graph.Asleep(graph.probes.front())) << unique_id;
        }
    }
}

// A settled filter that gets a new constant input filters the step rather
// than jumping to it, and settles on it.
TEST(Filters, StepOfAConstantInputIsFiltered) {
    for (const char* unique_id : {"SV Filter", "1 Pole LP", "Moog Filter"}) {
        filter_graph graph({.unique_id = unique_id,
                            .volts = {{"Signal", "0"}, {"Resonance", "0"}},
                            .wired = {FirstOutput(unique_id)}});
        graph.BlocksUntilAsleep(10);
        ASSERT_TRUE(graph.Asleep(graph.filter)) << unique_id;
        graph.filter->ApplyDefault(graph.Plug("Signal"), "0.1");
        const std::vector<float> rise = graph.Run(FirstOutput(unique_id), 0.01);
        EXPECT_LT(rise.front(), 0.001f) << unique_id;
        EXPECT_TRUE(std::ranges::is_sorted(std::span(rise).first(32))) << unique_id;
        EXPECT_LE(graph.BlocksUntilAsleep(graph.Samples(3.0) / 64), graph.Samples(2.0) / 64) << unique_id;
        const float settled = graph.Run(FirstOutput(unique_id), 0.01).back();
        EXPECT_NEAR(settled, 0.01f, 1e-4f) << unique_id;
    }
}

TEST(Filters, RecoverFromANonFiniteInput) {
    struct spoilt_input {
        const char* unique_id;
        const char* input;
    };
    std::vector<spoilt_input> cases = {{"SV Filter", "Resonance"}, {"SV Filter", "Pitch"}, {"All Pass", "Resonance"},
                                       {"Moog Filter", "Pitch"}, {"Parametric EQ", "Boost/Cut"}};
    for (const char* unique_id : kAllFilters) cases.push_back({unique_id, "Signal"});
    for (const spoilt_input& c : cases) {
        filter_graph graph({.unique_id = c.unique_id, .running = {c.input}, .wired = {FirstOutput(c.unique_id)}});
        ug_source* spoilt = graph.running_sources.front();
        const float good = spoilt->value;
        spoilt->value = std::numeric_limits<float>::quiet_NaN();
        graph.Run(FirstOutput(c.unique_id), 0.001);
        spoilt->value = good;
        const std::vector<float> recovered = graph.Run(FirstOutput(c.unique_id), 1.1);
        // A non-finite Signal always reaches the state; other inputs may be read around.
        if (std::string(c.input) == "Signal") {
            EXPECT_TRUE(std::isnan(recovered.front())) << c.unique_id;
        }
        EXPECT_TRUE(std::ranges::all_of(std::span(recovered).last(64), [](float v) { return std::isfinite(v); }))
            << c.unique_id << " " << c.input;
    }
}

// The tail of an impulse fades to 0 without passing through denormal
// numbers, whatever the processor's flush mode.
TEST(Filters, ImpulseTailsStayClearOfDenormals) {
    for (const char* unique_id : kAllFilters) {
        // Without a boost the equaliser has no tail at all.
        filter_graph graph({.unique_id = unique_id,
                            .volts = {{"Boost/Cut", "0.6"}},
                            .running = {"Signal"},
                            .wired = {FirstOutput(unique_id)}});
        ug_source* signal = graph.running_sources.front();
        signal->value = 0.5f;
        graph.Run(FirstOutput(unique_id), 0.001);
        signal->value = 0.0f;
        const std::vector<float> tail = graph.Run(FirstOutput(unique_id), 3.0);
        EXPECT_TRUE(std::ranges::none_of(tail, [](float v) { return std::fpclassify(v) == FP_SUBNORMAL; }))
            << unique_id;
        EXPECT_LT(std::abs(tail.back()), 1e-20f) << unique_id;
    }
}

}  // namespace
