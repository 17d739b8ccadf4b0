#include "engine/patch_parameter_setup.h"

#include <string>

#include "engine/audio_master.h"
#include "engine/message_stream.h"
#include "engine/patch_parameters.h"
#include "engine/ug_container.h"
#include "project/doc_objects.h"
#include "project/doc_plugs.h"
#include "project/enum_list.h"
#include "project/patch_manager.h"
#include "project/patch_values.h"

namespace {

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

void WriteMetadata(message_out& out, int32_t kind, const patch_parameter_record& parameter) {
    const patch_metadata metadata = MetadataOf(parameter);
    switch (kind) {
        case PP_TEXT: out.WriteText(parameter.plug != nullptr ? parameter.plug->getFileType() : std::string()); break;
        case PP_LIST: out.WriteText(metadata.list_text); break;
        case PP_FLOAT: out.WriteFloat(metadata.minimum).WriteFloat(metadata.maximum); break;
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
    WriteMessageValue(out, parameter.ValueFor(program));
    WriteMetadata(out, kind, parameter);
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
