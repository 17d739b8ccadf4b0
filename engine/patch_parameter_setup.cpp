#include "engine/patch_parameter_setup.h"

#include <cstdlib>
#include <utility>
#include <variant>

#include "engine/audio_master.h"
#include "engine/message_stream.h"
#include "engine/patch_parameters.h"
#include "engine/ug_container.h"
#include "project/doc_objects.h"
#include "project/doc_plugs.h"
#include "project/enum_list.h"
#include "project/patch_manager.h"

namespace {

constexpr float kDefaultMinimum = 0.0f;
constexpr float kDefaultMaximum = 10.0f;

// Document plugs that become audio plugs flagged as patch parameters.
bool MakesPatchParameterPlug(const CPlug2& plug) {
    const uint32_t flags = plug.Flags();
    if ((flags & IO_PATCH_PARAMETER) == 0) return false;
    return (flags & DPF_PARAMETER_STYLE) == 0 || (flags & IO_PATCH_PARAMETER_HIGH) != 0;
}

// How many patch-parameter plugs come before it on its module; -1 when the
// plug is none.
int32_t PlugOrdinal(const CPlug2& plug) {
    if (!MakesPatchParameterPlug(plug)) return -1;
    int32_t ordinal = 0;
    for (const auto& other : plug.owner->Plugs()) {
        if (other.get() == &plug) return ordinal;
        if (MakesPatchParameterPlug(*other)) ++ordinal;
    }
    return -1;
}

// A list's entries: the bound plug's own list, else the list a list output of
// the same module leads to (a patch-memory list takes the list of what it
// feeds).
std::string ListTextFor(const CPlug2* plug) {
    if (plug == nullptr) return {};
    std::string text = plug->ListText();
    if (!text.empty() || plug->owner == nullptr) return text;
    for (const auto& other : plug->owner->Plugs()) {
        if (other->Direction() != DR_OUT || other->DataType() != DT_ENUM) continue;
        text = other->ListText();
        if (!text.empty()) break;
    }
    return text;
}

// A float's range: the bound plug's "range" list, else the module's "Min
// Value" and "Max Value" when they differ, else 0 to 10.
std::pair<float, float> FloatRangeFor(const CPlug2* plug) {
    if (plug == nullptr) return {kDefaultMinimum, kDefaultMaximum};
    const it_enum_list list(plug->ListText());
    if (list.IsRange() && list.Count() > 0)
        return {static_cast<float>(list.ValueAt(0)), static_cast<float>(list.ValueAt(list.Count() - 1))};
    const CPlug2* low = plug->owner != nullptr ? plug->owner->FindPlugByName("Min Value") : nullptr;
    const CPlug2* high = plug->owner != nullptr ? plug->owner->FindPlugByName("Max Value") : nullptr;
    if (low != nullptr && high != nullptr) {
        const float minimum = std::strtof(low->ValueText().c_str(), nullptr);
        const float maximum = std::strtof(high->ValueText().c_str(), nullptr);
        if (minimum != maximum) return {minimum, maximum};
    }
    return {kDefaultMinimum, kDefaultMaximum};
}

void WriteValue(message_out& out, const patch_value& value) {
    std::visit(
        [&out](const auto& held) {
            using held_type = std::decay_t<decltype(held)>;
            if constexpr (std::is_same_v<held_type, std::string>) out.WriteText(held);
            else if constexpr (std::is_same_v<held_type, int16_t>) out.Write16(static_cast<uint16_t>(held));
            else if constexpr (std::is_same_v<held_type, bool>) out.Write8(held ? 1 : 0);
            else if constexpr (std::is_same_v<held_type, float>) out.WriteFloat(held);
            else out.Write32(static_cast<uint32_t>(held));
        },
        value);
}

void WriteMetadata(message_out& out, int32_t kind, const CPlug2* plug) {
    switch (kind) {
        case PP_TEXT: out.WriteText(plug != nullptr ? plug->getFileType() : std::string()); break;
        case PP_LIST: out.WriteText(ListTextFor(plug)); break;
        case PP_FLOAT: {
            const auto [minimum, maximum] = FloatRangeFor(plug);
            out.WriteFloat(minimum).WriteFloat(maximum);
            break;
        }
        default: break;
    }
}

}  // namespace

bool WriteParameterInit(message_out& out, const patch_parameter_record& parameter, int32_t program) {
    const int32_t kind = DspParameterKind(parameter.type_id);
    if (kind < 0 || parameter.values.empty()) return false;
    const CPlug2* plug = parameter.plug;
    const bool bound = plug != nullptr && plug->owner != nullptr;
    out.Write32(static_cast<uint32_t>(kind));
    out.Write32(static_cast<uint32_t>(parameter.message_handle));
    out.Write32(static_cast<uint32_t>(bound ? plug->owner->MessageHandle() : -1));
    out.Write32(static_cast<uint32_t>(bound ? PlugOrdinal(*plug) : -1));
    out.Write32(static_cast<uint32_t>(controller_keys::kNone));
    WriteValue(out, parameter.ValueFor(program));
    WriteMetadata(out, kind, plug);
    return true;
}

void CreateDspPatchManager(const CPatchManager& panel, ug_container& parameters) {
    WsAudioMaster& master = *parameters.audio_master;
    // A container that shares its parent's patch memory adds to its manager.
    if (parameters.PatchManager() == nullptr) parameters.SetPatchManager(std::make_unique<dsp_patch_manager>(parameters));
    parameters.PatchManager()->AnswerTo(panel.MessageHandle());
    for (const patch_parameter_record& parameter : panel.Parameters()) {
        message_out out(master.PanelQueue(), panel.MessageHandle(), MessageCode("init"));
        if (WriteParameterInit(out, parameter, panel.CurrentProgram())) out.Send();
    }
}
