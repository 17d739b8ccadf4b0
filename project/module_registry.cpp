#include "project/module_registry.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <optional>
#include <string_view>

#include "engine/ug_base.h"
#include "platform/platform.h"
#include "project/doc_objects.h"
#include "project/module_table.h"
#include "project/runtime_class.h"

namespace {

// The string resources the library carries for module names and groups.
std::string StringResource(int32_t id) {
    switch (id) {
        case 494: return "VST Input";
        case 495: return "VST Output";
        case 32819: return "Oscillator";
        case 32820: return "Waveform";
        case 32821: return "ADSR";
        case 32822: return "Phase Dist Osc";
        case 32824: return "Multistage Envelope";
        case 32825: return "Soundfont Osc";
        default: return {};
    }
}

void ReportDuplicate(const std::string& unique_id) {
    platform::ShowMessage("RegisterModule Error. Module found twice. " + unique_id, platform::kMessageOk);
}

// The entry a row describes, with the row's flags as they are.
std::unique_ptr<Module_Info> EntryFromRow(const module_type_row& row) {
    auto entry = std::make_unique<Module_Info>();
    entry->unique_id = row.unique_id;
    entry->legacy_id = row.legacy_id;
    entry->flags = row.flags;
    entry->name_string_id = row.name_string_id;
    entry->group_string_id = row.group_string_id;
    entry->document_class = row.document_class;
    return entry;
}

std::unique_ptr<Module_Info> EntryFromArguments(const module_type_row& row) {
    std::unique_ptr<Module_Info> entry = EntryFromRow(row);
    entry->flags |= MF_REGISTERED_FROM_ARGUMENTS;
    return entry;
}

std::unique_ptr<Module_Info> EntryFromStaticRecord(const static_module_record& record) {
    std::unique_ptr<Module_Info> entry = EntryFromRow({record.unique_id, -1, record.flags, record.name_string_id,
                                                       record.group_string_id, record.document_class});
    for (const plug_row& row : record.plugs) {
        AddInterface(entry->plugs, {.direction = row.direction,
                                    .name = row.name,
                                    .default_value = row.default_value,
                                    .list_values = row.list_values,
                                    .flags = row.flags,
                                    .data_type = row.data_type});
    }
    return entry;
}

// The object of the entry's document class, or none when no such class has
// been linked in (or it is not a document class).
std::unique_ptr<CDocOb> MakeDocumentOfClass(const Module_Info& entry) {
    const runtime_class* record = runtime_class::Find(entry.document_class);
    if (record == nullptr || record->create == nullptr) return nullptr;
    std::unique_ptr<CObject> object = record->create();
    if (!object->Is<CDocOb>()) return nullptr;
    return std::unique_ptr<CDocOb>(static_cast<CDocOb*>(object.release()));
}

std::optional<int32_t> ParseLegacyNumber(std::string_view digits) {
    int32_t number = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
    if (digits.empty() || error != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
    return number;
}

bool SameTextIgnoringCase(std::string_view a, std::string_view b) {
    return std::ranges::equal(a, b,
                              [](unsigned char x, unsigned char y) { return std::tolower(x) == std::tolower(y); });
}

constexpr std::size_t kFileTypeSlots = 12;

}  // namespace

std::unique_ptr<ug_base> Module_Info::CreateDspObject() const {
    return make_unit_generator ? make_unit_generator() : nullptr;
}

ModuleRegistry& ModuleRegistry::Instance() {
    static ModuleRegistry registry;
    return registry;
}

ModuleRegistry::ModuleRegistry() {
    RegisterBuiltInTypes();
    file_types_ = {
        {"*", "default"},
        {"wav", "Wave Files"},
        {"ws1", "Wirestack Files"},
        {"mid", "MIDI Files"},
        {"sf2", "SoundFont Files"},
        {"dll", "Plugin"},
        {"fxb", "VST Bank"},
        {"fxp", "VST Inst"},
        {"bmp", "Image Files"},
        {"png", "Image Files"},
        {"*", "Embeddable Files"},
    };
    file_types_.resize(kFileTypeSlots);
}

// The built-in table goes first so that its legacy numbers (its positions)
// win over any later registration of the same ID.
void ModuleRegistry::RegisterBuiltInTypes() {
    int32_t legacy_id = 1;
    for (const built_in_row& row : BuiltInModuleTable()) {
        if (std::string_view(row.unique_id) == kBuiltInTableEnd) break;
        RegisterModule(EntryFromArguments(
            {row.unique_id, legacy_id++, row.flags, row.name_string_id, row.group_string_id, row.document_class}));
    }
    for (const module_type_row& row : ArgumentModuleTable()) RegisterModule(EntryFromArguments(row));
    for (const static_module_record& record : StaticModuleRecords()) RegisterModule(EntryFromStaticRecord(record));
}

bool ModuleRegistry::RegisterModule(std::unique_ptr<Module_Info> entry) {
    if (entry->unique_id.empty()) return false;
    const std::string unique_id = entry->unique_id;
    if (!entries_.emplace(unique_id, std::move(entry)).second) ReportDuplicate(unique_id);
    return true;
}

Module_Info* ModuleRegistry::FindModule(const std::string& unique_id) const {
    if (auto found = entries_.find(unique_id); found != entries_.end()) return found->second.get();
    if (!unique_id.starts_with("BI")) return nullptr;
    const std::optional<int32_t> legacy_id = ParseLegacyNumber(std::string_view(unique_id).substr(2));
    if (!legacy_id) return nullptr;
    const std::string name = NameForLegacyId(*legacy_id);
    return name.empty() ? nullptr : FindModule(name);
}

// -1 marks an entry without a legacy number, so it is no number to look up.
std::string ModuleRegistry::NameForLegacyId(int32_t legacy_id) const {
    if (legacy_id < 0) return {};
    for (const auto& [unique_id, entry] : entries_)
        if (entry->legacy_id == legacy_id) return unique_id;
    return {};
}

std::unique_ptr<CDocOb> ModuleRegistry::CreateDocObject(const std::string& unique_id) const {
    Module_Info* entry = FindModule(unique_id);
    if (entry == nullptr) return nullptr;
    std::unique_ptr<CDocOb> object = entry->make_document ? entry->make_document(entry) : MakeDocumentOfClass(*entry);
    if (!object) return nullptr;
    object->SetModuleInfo(entry);
    // A container is never without the module that holds its inside plugs.
    if (object->Is<CContainer>()) static_cast<CContainer*>(object.get())->GetIOModule();
    return object;
}

std::unique_ptr<ug_base> ModuleRegistry::CreateUnitGenerator(const std::string& unique_id) const {
    const Module_Info* entry = FindModule(unique_id);
    return entry != nullptr ? entry->CreateDspObject() : nullptr;
}

void ModuleRegistry::AttachUnitGenerator(const std::string& unique_id, ug_factory factory) {
    if (!entries_.contains(unique_id)) {
        auto unlisted = std::make_unique<Module_Info>();
        unlisted->unique_id = unique_id;
        // It lists its own plugs, as every type registered from arguments does.
        unlisted->flags = MF_REGISTERED_FROM_ARGUMENTS;
        if (!RegisterModule(std::move(unlisted))) return;
    }
    Module_Info& entry = *entries_.at(unique_id);
    if (entry.make_unit_generator) {
        ReportDuplicate(unique_id);
        return;
    }
    entry.make_unit_generator = std::move(factory);
    if ((entry.flags & MF_REGISTERED_FROM_ARGUMENTS) == 0) return;  // its static rows describe its plugs
    if (std::unique_ptr<ug_base> listing = entry.CreateDspObject()) listing->ListInterface(entry.plugs);
}

std::string ModuleRegistry::DisplayName(const Module_Info& entry) const {
    return entry.name_string_id != 0 ? StringResource(entry.name_string_id) : entry.unique_id;
}

std::string ModuleRegistry::GroupName(const Module_Info& entry) const {
    return entry.group_string_id != 0 ? StringResource(entry.group_string_id) : entry.group_text;
}

void ModuleRegistry::SetDataFolder(const std::string& folder) {
    for (file_type& slot : file_types_) slot.folder = folder;
}

// Unfilled slots have no extension and match nothing.
const file_type& ModuleRegistry::FileTypeForExtension(const std::string& extension) const {
    auto match = std::ranges::find_if(file_types_, [&extension](const file_type& slot) {
        return !slot.extension.empty() && SameTextIgnoringCase(slot.extension, extension);
    });
    return match != file_types_.end() ? *match : file_types_.front();
}
