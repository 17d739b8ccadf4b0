#include "project/module_registry.h"

#include "engine/ug_base.h"
#include "project/doc_objects.h"

std::unique_ptr<ug_base> Module_Info::CreateDspObject() const {
    return make_unit_generator ? make_unit_generator() : nullptr;
}

ModuleRegistry& ModuleRegistry::Instance() {
    static ModuleRegistry registry;
    return registry;
}

ModuleRegistry::ModuleRegistry() { RegisterBuiltInTypes(); }

void ModuleRegistry::RegisterBuiltInTypes() {}

bool ModuleRegistry::RegisterModule(std::unique_ptr<Module_Info> entry) {
    if (entry->unique_id.empty()) return false;
    entries_.emplace(entry->unique_id, std::move(entry));
    return true;
}

Module_Info* ModuleRegistry::FindModule(const std::string& unique_id) const {
    auto found = entries_.find(unique_id);
    return found != entries_.end() ? found->second.get() : nullptr;
}

std::unique_ptr<ug_base> ModuleRegistry::CreateUnitGenerator(const std::string& unique_id) const {
    const Module_Info* entry = FindModule(unique_id);
    return entry != nullptr ? entry->CreateDspObject() : nullptr;
}

void ModuleRegistry::AttachUnitGenerator(const std::string& unique_id, ug_factory factory) {
    Module_Info* entry = FindModule(unique_id);
    if (entry == nullptr) {
        auto created = std::make_unique<Module_Info>();
        created->unique_id = unique_id;
        entry = created.get();
        RegisterModule(std::move(created));
    }
    entry->make_unit_generator = std::move(factory);
    std::unique_ptr<ug_base> listing = entry->make_unit_generator();
    entry->plugs.clear();
    listing->ListInterface(entry->plugs);
}
