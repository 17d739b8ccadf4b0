#include "project/patch_manager.h"

#include <cstdio>

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

patch_value ReadPatchValue(archive_reader& archive, int32_t type_id) {
    switch (type_id) {
        case DT_ENUM: return archive.ReadInt16();
        case DT_TEXT: return archive.ReadText();
        case DT_BOOL: return archive.ReadBool();
        case DT_FLOAT: return archive.ReadFloat();
        default: return archive.ReadInt32();
    }
}

}  // namespace

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
        parameters_.push_back(ReadParameter(archive, type_id));
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
