#include "tools/info_report.h"

#include <sstream>

#include "tools/json_writer.h"

namespace tools {

namespace {

void WriteParameter(JsonWriter& json, const ParameterInfo& parameter) {
    json.BeginObject()
        .Key("index").Integer(parameter.index)
        .Key("name").String(parameter.name)
        .Key("label").String(parameter.label)
        .Key("display").String(parameter.display)
        .Key("value").Float(parameter.value)
        .Key("automatable").Bool(parameter.automatable)
        .EndObject();
}

void WriteOutput(JsonWriter& json, const OutputInfo& output) {
    json.BeginObject()
        .Key("index").Integer(output.index)
        .Key("label").String(output.label)
        .Key("short_label").String(output.short_label)
        .Key("flags").Integer(output.flags)
        .EndObject();
}

void WriteLists(JsonWriter& json, const PluginInfo& info) {
    json.Key("can_do").BeginObject();
    for (const auto& [question, answer] : info.can_do) json.Key(question).Integer(answer);
    json.EndObject();
    json.Key("programs").BeginArray();
    for (const std::string& program : info.programs) json.String(program);
    json.EndArray();
    json.Key("current_program").Integer(info.current_program);
    json.Key("parameters").BeginArray();
    for (const ParameterInfo& parameter : info.parameters) WriteParameter(json, parameter);
    json.EndArray();
    json.Key("outputs").BeginArray();
    for (const OutputInfo& output : info.outputs) WriteOutput(json, output);
    json.EndArray();
}

}  // namespace

std::string InfoJson(const PluginInfo& info) {
    JsonWriter json;
    json.BeginObject()
        .Key("effect_name").String(info.effect_name)
        .Key("vendor").String(info.vendor)
        .Key("product").String(info.product)
        .Key("unique_id").String(UniqueIdText(info.unique_id))
        .Key("unique_id_int").Integer(info.unique_id)
        .Key("vst_version").Integer(info.vst_version)
        .Key("num_inputs").Integer(info.num_inputs)
        .Key("num_outputs").Integer(info.num_outputs)
        .Key("num_programs").Integer(info.num_programs)
        .Key("num_params").Integer(info.num_params)
        .Key("flags").Integer(info.flags)
        .Key("is_synth").Bool(info.IsSynth())
        .Key("category").Integer(info.category);
    WriteLists(json, info);
    json.EndObject();
    return json.Text() + "\n";
}

std::string InfoText(const PluginInfo& info) {
    std::ostringstream out;
    out << info.effect_name << " by " << info.vendor << " (product \"" << info.product << "\")\n"
        << "unique id:    " << UniqueIdText(info.unique_id) << " (" << info.unique_id << ")\n"
        << "VST version:  " << info.vst_version << "\n"
        << "category:     " << info.category << (info.IsSynth() ? " (synth)" : "") << "\n"
        << "flags:        " << info.flags << "\n"
        << "audio:        " << info.num_inputs << " in, " << info.num_outputs << " out\n"
        << "can do:      ";
    for (const auto& [question, answer] : info.can_do) out << " " << question << "=" << answer;
    out << "\nprograms:     " << info.num_programs << ", current " << info.current_program << "\n";
    for (size_t i = 0; i < info.programs.size(); ++i) out << "  " << i << "  " << info.programs[i] << "\n";
    out << "parameters:   " << info.num_params << "\n";
    for (const ParameterInfo& p : info.parameters)
        out << "  " << p.index << "  " << p.name << " = " << p.display << " " << p.label << "  (" << p.value
            << (p.automatable ? ", automatable" : "") << ")\n";
    out << "outputs:\n";
    for (const OutputInfo& o : info.outputs)
        out << "  " << o.index << "  " << o.label << " [" << o.short_label << "] flags " << o.flags << "\n";
    return out.str();
}

}  // namespace tools
