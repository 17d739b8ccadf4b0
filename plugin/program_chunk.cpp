#include "plugin/program_chunk.h"

#include <algorithm>
#include <optional>
#include <string>

#include "project/archive.h"
#include "project/archive_out.h"
#include "project/controls.h"
#include "project/doc_objects.h"
#include "project/patch_manager.h"
#include "project/patch_values.h"
#include "project/programs.h"

namespace {

// The controls a chunk lists, with the id each is stored under.
struct chunk_control {
    CControl* control;
    int32_t id;
};

std::vector<chunk_control> ChunkControls(const CContainer& top) {
    const std::vector<CControl*> walk = ParameterControls(top);
    std::vector<chunk_control> controls;
    for (std::size_t i = 0; i < walk.size(); ++i) controls.push_back({walk[i], static_cast<int32_t>(i)});
    std::ranges::stable_sort(
        controls, [](const chunk_control& a, const chunk_control& b) { return InHostOrder(*a.control, *b.control); });
    return controls;
}

// Everything a chunk holds, read whole before anything is applied.
struct chunk_contents {
    int32_t tag = 0;
    std::vector<int32_t> control_ids;
    std::vector<std::string> control_names;
    std::vector<int32_t> parameter_ids;
    std::vector<std::string> program_names;
    std::vector<std::vector<std::string>> control_texts;
    // Per stored parameter that was read whole: its id and values.
    std::vector<std::pair<int32_t, std::vector<patch_value>>> parameter_values;
    bool parameters_cut_short = false;
};

bool AcceptedTag(int32_t tag) {
    return tag == kChunkByListOrder || tag == kChunkWithControlIds || tag == kChunkWithParameters ||
           tag == kChunkWithControlNames;
}

// A count of items that each take at least `smallest` bytes.
uint32_t ReadCount(archive_reader& archive, std::size_t smallest, const char* what) {
    const int32_t count = archive.ReadInt32();
    if (count < 0) archive.Fail(std::string("negative count of ") + what);
    archive.RequireBytes(static_cast<std::size_t>(count) * smallest, what);
    return static_cast<uint32_t>(count);
}

std::vector<std::string> ReadTexts(archive_reader& archive, uint32_t count) {
    archive.RequireBytes(count, "texts");
    std::vector<std::string> texts;
    texts.reserve(count);
    for (uint32_t i = 0; i < count; ++i) texts.push_back(archive.ReadText());
    return texts;
}

chunk_contents ReadContents(archive_reader& archive, int32_t tag, CPatchManager* manager) {
    chunk_contents contents;
    contents.tag = tag;
    const uint32_t control_count = ReadCount(archive, 1, "controls");
    const uint32_t parameter_count = tag == kChunkWithParameters ? ReadCount(archive, 4, "parameters") : 0;
    if (tag == kChunkWithControlNames) {
        contents.control_names = ReadTexts(archive, control_count);
    } else {
        archive.RequireBytes((std::size_t(control_count) + parameter_count) * 4, "ids");
        for (uint32_t i = 0; i < control_count; ++i) contents.control_ids.push_back(archive.ReadInt32());
        for (uint32_t i = 0; i < parameter_count; ++i) contents.parameter_ids.push_back(archive.ReadInt32());
    }
    const uint32_t program_count = ReadCount(archive, 1, "programs");
    contents.program_names = ReadTexts(archive, program_count);
    for (uint32_t i = 0; i < control_count; ++i) contents.control_texts.push_back(ReadTexts(archive, program_count));
    for (int32_t id : contents.parameter_ids) {
        // The size of a parameter's values depends on its kind: one the
        // container does not know ends what can be read.
        const patch_parameter_record* parameter = manager != nullptr ? manager->FindParameter(id) : nullptr;
        if (parameter == nullptr) {
            contents.parameters_cut_short = true;
            break;
        }
        const uint32_t value_count = ReadCount(archive, 1, "parameter values");
        std::vector<patch_value> values;
        values.reserve(value_count);
        for (uint32_t i = 0; i < value_count; ++i) values.push_back(ReadPatchValue(archive, parameter->type_id));
        contents.parameter_values.emplace_back(id, std::move(values));
    }
    return contents;
}

// The control a stored one stands for: by position, else by id or name.
class control_matcher {
public:
    control_matcher(std::vector<chunk_control> controls, int32_t tag) : controls_(std::move(controls)), tag_(tag) {}

    CControl* Match(const chunk_contents& contents, std::size_t stored) {
        if (tag_ == kChunkByListOrder) return next_ < controls_.size() ? controls_[next_++].control : nullptr;
        const auto same = [&](const chunk_control& candidate) {
            return tag_ == kChunkWithControlNames ? candidate.control->getName() == contents.control_names[stored]
                                                  : candidate.id == contents.control_ids[stored];
        };
        if (next_ < controls_.size() && same(controls_[next_])) return controls_[next_++].control;
        const auto found = std::ranges::find_if(controls_, same);
        if (found == controls_.end()) return nullptr;
        next_ = static_cast<std::size_t>(found - controls_.begin()) + 1;
        return found->control;
    }

private:
    std::vector<chunk_control> controls_;
    int32_t tag_;
    std::size_t next_ = 0;
};

// Program numbers the stored programs go to.
int32_t FirstProgram(const CPatchManager* programs, bool single_program) {
    return single_program && programs != nullptr ? programs->CurrentProgram() : 0;
}

bool Apply(CContainer& top, const chunk_contents& contents, bool single_program) {
    CPatchManager* programs = ProgramsOf(top);
    const int32_t first = FirstProgram(programs, single_program);
    const auto program_at = [&](std::size_t i) { return first + static_cast<int32_t>(i); };
    if (programs != nullptr) {
        for (std::size_t i = 0; i < contents.program_names.size(); ++i)
            if (program_at(i) < kProgramCount) programs->SetProgramName(program_at(i), contents.program_names[i]);
    }
    bool complete = !contents.parameters_cut_short;
    control_matcher matcher(ChunkControls(top), contents.tag);
    for (std::size_t stored = 0; stored < contents.control_texts.size(); ++stored) {
        CControl* control = matcher.Match(contents, stored);
        if (control == nullptr) {
            complete = false;
            continue;
        }
        const std::vector<std::string>& texts = contents.control_texts[stored];
        for (std::size_t i = 0; i < texts.size(); ++i) {
            if (program_at(i) >= kProgramCount) continue;
            control->SetValueText(control->FollowsPrograms() ? program_at(i) : -1, texts[i]);
        }
    }
    CPatchManager* manager = top.PatchManager();
    for (const auto& [id, values] : contents.parameter_values) {
        patch_parameter_record* parameter = manager->FindParameter(id);
        for (std::size_t i = 0; i < values.size(); ++i)
            if (program_at(i) < kProgramCount) manager->SetValue(*parameter, program_at(i), values[i], value_source::program);
    }
    return complete;
}

}  // namespace

std::vector<uint8_t> WriteProgramChunk(const CContainer& top, bool single_program) {
    const CPatchManager* programs = ProgramsOf(top);
    const CPatchManager* manager = top.PatchManager();
    const std::vector<chunk_control> controls = ChunkControls(top);
    const std::vector<patch_parameter_record> no_parameters;
    const std::vector<patch_parameter_record>& parameters = manager != nullptr ? manager->Parameters() : no_parameters;
    const int32_t first = FirstProgram(programs, single_program);
    const int32_t count = single_program ? 1 : kProgramCount;

    archive_byte_writer chunk;
    chunk.WriteInt32(kChunkWithParameters);
    chunk.WriteInt32(static_cast<int32_t>(controls.size()));
    chunk.WriteInt32(static_cast<int32_t>(parameters.size()));
    for (const chunk_control& control : controls) chunk.WriteInt32(control.id);
    for (const patch_parameter_record& parameter : parameters) chunk.WriteInt32(parameter.id);
    chunk.WriteInt32(count);
    for (int32_t program = first; program < first + count; ++program)
        chunk.WriteText(programs != nullptr ? programs->ProgramName(program) : std::string());
    for (const chunk_control& control : controls) {
        const bool per_program = control.control->FollowsPrograms();
        for (int32_t program = first; program < first + count; ++program)
            chunk.WriteText(control.control->ValueText(per_program ? program : -1));
    }
    for (const patch_parameter_record& parameter : parameters) {
        chunk.WriteInt32(count);
        for (int32_t program = first; program < first + count; ++program)
            WritePatchValue(chunk, parameter.values[static_cast<std::size_t>(program)]);
    }
    return chunk.TakeBytes();
}

chunk_read_result ReadProgramChunk(CContainer& top, std::span<const uint8_t> bytes, bool single_program) {
    if (bytes.size() < 4) return chunk_read_result::ignored;
    archive_reader archive(bytes);
    chunk_contents contents;
    try {
        const int32_t tag = archive.ReadInt32();
        if (!AcceptedTag(tag)) return chunk_read_result::ignored;
        contents = ReadContents(archive, tag, top.PatchManager());
    } catch (const archive_error&) {
        return chunk_read_result::ignored;
    }
    return Apply(top, contents, single_program) ? chunk_read_result::complete : chunk_read_result::incomplete;
}
