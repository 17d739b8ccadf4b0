#include "project/patch_manager.h"

#include <algorithm>
#include <cstdio>
#include <random>

#include "project/doc_plugs.h"

WS_IMPLEMENT_CLASS(CPatchManager, CObject, 1, false);

namespace {

// Version rules of the patch manager record.
constexpr int32_t kFirstWithParameters = 95311;
constexpr int32_t kFirstWithParameterTerminator = 95321;
constexpr int32_t kLastWithoutParameterName = 95390;
constexpr int32_t kLastWithoutProgramChangeSetting = 95400;
constexpr int32_t kLastWithoutPrivateFlag = 95600;

// A program number and the shortest name: a number and an empty text.
constexpr std::size_t kSmallestNamePair = 5;

}  // namespace

patch_value ReadPatchValue(archive_reader& archive, int32_t type_id) {
    switch (type_id) {
        case DT_ENUM: return archive.ReadInt16();
        case DT_TEXT: return archive.ReadText();
        case DT_BOOL: return archive.ReadBool();
        case DT_FLOAT: return archive.ReadFloat();
        default: return archive.ReadInt32();
    }
}

bool IsPatchParameterType(int32_t type_id) {
    return type_id == DT_ENUM || type_id == DT_TEXT || type_id == DT_BOOL || type_id == DT_FLOAT || type_id == DT_INT;
}

patch_value DefaultPatchValue(int32_t type_id) {
    switch (type_id) {
        case DT_ENUM: return int16_t{0};
        case DT_TEXT: return std::string();
        case DT_BOOL: return false;
        case DT_FLOAT: return 0.0f;
        default: return int32_t{0};
    }
}

const patch_value& patch_parameter_record::ValueFor(int32_t program) const {
    if (ignore_program_change || program < 0 || program >= static_cast<int32_t>(values.size())) return values.at(0);
    return values[static_cast<std::size_t>(program)];
}

void CPatchManager::Serialize(archive_reader& archive) {
    current_program_ = archive.ReadInt32();
    ReadProgramNames(archive);
    if (archive.version >= kFirstWithParameters) ReadParameters(archive);
}

void CPatchManager::ReadProgramNames(archive_reader& archive) {
    const int32_t count = archive.ReadInt32();
    if (count < 0) archive.Fail("negative program name count");
    archive.RequireBytes(static_cast<std::size_t>(count) * kSmallestNamePair, "program names");
    for (int32_t i = 0; i < count; ++i) {
        const int32_t program = archive.ReadInt32();
        program_names_[program] = archive.ReadText();
    }
}

void CPatchManager::ReadParameters(archive_reader& archive) {
    // Older records count their parameters; newer ones end the list with a
    // negative type id. Both stop at a negative type id.
    const bool counted = archive.version < kFirstWithParameterTerminator;
    const uint32_t count = counted ? archive.ReadUInt32() : 0;
    for (uint32_t read = 0; !counted || read < count; ++read) {
        const int32_t type_id = archive.ReadInt32();
        if (type_id < 0) break;
        if (!IsPatchParameterType(type_id)) archive.Fail("unknown patch parameter type " + std::to_string(type_id));
        RegisterParameter(ReadParameter(archive, type_id));
    }
}

patch_parameter_record CPatchManager::ReadParameter(archive_reader& archive, int32_t type_id) {
    patch_parameter_record parameter;
    parameter.type_id = type_id;
    parameter.id = archive.ReadInt32();
    // Every version that stores parameters stores the bound plug.
    parameter.plug = archive.ReadObjectOf<CPlug2>();
    if (archive.version > kLastWithoutParameterName) parameter.name = archive.ReadText();
    if (archive.version > kLastWithoutProgramChangeSetting) {
        parameter.ignore_program_change = archive.ReadBool();
        parameter.setting = archive.ReadInt32();
    }
    if (archive.version > kLastWithoutPrivateFlag) parameter.is_private = archive.ReadBool();
    archive.ReadInt32();  // the value type id: the parameter's type id already says it
    // The writer stores one value per program; more than that is not a patch
    // parameter this system wrote.
    const uint32_t stored = archive.ReadUInt32();
    if (stored > static_cast<uint32_t>(kProgramCount))
        archive.Fail("patch parameter with " + std::to_string(stored) + " values");
    parameter.values.assign(kProgramCount, DefaultPatchValue(type_id));
    for (uint32_t program = 0; program < stored; ++program) parameter.values[program] = ReadPatchValue(archive, type_id);
    return parameter;
}

std::string CPatchManager::ProgramName(int32_t program) const {
    program = ProgramOrCurrent(program);
    auto found = program_names_.find(program);
    if (found != program_names_.end()) return found->second;
    char name[32];
    std::snprintf(name, sizeof name, "Patch %3d", program + 1);
    return name;
}

void CPatchManager::SetProgramName(int32_t program, const std::string& name) {
    program_names_[ProgramOrCurrent(program)] = name;
}

patch_parameter_record* CPatchManager::FindParameter(int32_t id) {
    const auto found = std::ranges::find(parameters_, id, &patch_parameter_record::id);
    return found != parameters_.end() ? &*found : nullptr;
}

patch_parameter_record& CPatchManager::RegisterParameter(patch_parameter_record parameter) {
    constexpr int32_t kLargestId = 0xFFFF;
    if (parameter.id < 0 || parameter.id > kLargestId || FindParameter(parameter.id) != nullptr) {
        // Seeded by the manager's draw count: ids stay the same from run to run.
        std::minstd_rand random(++id_draws_);
        std::uniform_int_distribution<int32_t> any_id(0, kLargestId);
        do parameter.id = any_id(random);
        while (FindParameter(parameter.id) != nullptr);
    }
    const auto position = std::ranges::upper_bound(parameters_, parameter.id, {}, &patch_parameter_record::id);
    return *parameters_.insert(position, std::move(parameter));
}

void CPatchManager::SetValue(patch_parameter_record& parameter, int32_t program, const patch_value& value,
                             value_source source) {
    program = parameter.ignore_program_change ? 0 : ProgramOrCurrent(program);
    if (program < 0 || program >= static_cast<int32_t>(parameter.values.size())) return;
    patch_value& stored = parameter.values[static_cast<std::size_t>(program)];
    if (stored == value) return;
    stored = value;
    if (&parameter.ValueFor(current_program_) != &stored) return;
    for (patch_parameter_listener* listener : listeners_) listener->OnPatchValueChanged(parameter, source);
}

void CPatchManager::SelectProgram(int32_t program) {
    if (program == current_program_ || program < 0 || program >= kProgramCount) return;
    const int32_t previous = current_program_;
    current_program_ = program;
    for (const patch_parameter_record& parameter : parameters_) {
        if (parameter.ValueFor(previous) == parameter.ValueFor(program)) continue;
        for (patch_parameter_listener* listener : listeners_)
            listener->OnPatchValueChanged(parameter, value_source::program);
    }
    for (patch_parameter_listener* listener : listeners_) listener->OnProgramSelected(program);
}

void CPatchManager::CopyCurrentProgram(int32_t first, int32_t last) {
    first = std::max(first, 0);
    last = std::min(last, kProgramCount - 1);
    for (patch_parameter_record& parameter : parameters_) {
        const patch_value current = parameter.ValueFor(current_program_);
        for (int32_t program = first; program <= last; ++program) parameter.values[program] = current;
    }
}

void CPatchManager::RemoveListener(patch_parameter_listener* listener) { std::erase(listeners_, listener); }
