#include "project/vst_plugin_record.h"

WS_IMPLEMENT_CLASS(Ctl_VST_Plugin, CUG_with_patches, 1, false);

namespace {

// Version rules of the record.
constexpr int32_t kLastWithoutModuleFields = 49;
constexpr int32_t kLastWithoutUniqueId = 54;
constexpr int32_t kLastWithChunkPerProgram = 38;
constexpr int32_t kLastWithoutMidiAssignments = 41;

constexpr std::size_t kParameterValueBytes = 4;
constexpr std::size_t kMidiAssignmentBytes = 4;

// Older projects stored the library's whole path.
std::string FileNameOf(const std::string& path) {
    const std::size_t backslash = path.rfind('\\');
    return backslash == std::string::npos ? path : path.substr(backslash + 1);
}

int32_t ReadSavedCount(archive_reader& archive, const char* what) {
    const int32_t count = archive.ReadInt32();
    if (count < 0) archive.Fail(std::string("negative ") + what);
    return count;
}

// A 32-bit byte count and that many bytes.
void SkipChunk(archive_reader& archive) { archive.Skip(archive.ReadUInt32()); }

}  // namespace

void Ctl_VST_Plugin::Serialize(archive_reader& archive) {
    if (archive.version > kLastWithoutModuleFields) CUG_with_patches::Serialize(archive);
    stored_name_ = archive.ReadText();
    if (archive.version > kLastWithoutUniqueId)
        saved_.unique_id = archive.ReadInt32();
    else
        stored_name_ = FileNameOf(stored_name_);
    saved_.programs_are_chunks = archive.ReadInt32() != 0;
    saved_.parameter_count = ReadSavedCount(archive, "parameter count");
    saved_.program_count = ReadSavedCount(archive, "program count");
    saved_.current_program = archive.ReadInt32();
    if (archive.version > kLastWithChunkPerProgram && saved_.programs_are_chunks) SkipChunk(archive);
    ReadSavedPrograms(archive);
    if (archive.version > kLastWithoutMidiAssignments)
        archive.Skip(static_cast<std::size_t>(archive.ReadUInt32()) * kMidiAssignmentBytes);
}

void Ctl_VST_Plugin::ReadSavedPrograms(archive_reader& archive) {
    const std::size_t value_bytes = static_cast<std::size_t>(saved_.parameter_count) * kParameterValueBytes;
    for (int32_t program = 0; program < saved_.program_count; ++program) {
        saved_.program_names.push_back(archive.ReadText());
        if (!saved_.programs_are_chunks)
            archive.Skip(value_bytes);
        else if (archive.version <= kLastWithChunkPerProgram)
            SkipChunk(archive);
    }
}
