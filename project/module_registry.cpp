#include "project/module_registry.h"

#include "engine/ug_base.h"

ModuleRegistry& ModuleRegistry::Instance() {
    static ModuleRegistry registry;
    return registry;
}

void ModuleRegistry::RegisterUnitGenerator(const std::string& unique_id, ug_factory factory) {
    factories_[unique_id] = std::move(factory);
}

std::unique_ptr<ug_base> ModuleRegistry::CreateUnitGenerator(const std::string& unique_id) const {
    auto found = factories_.find(unique_id);
    return found != factories_.end() ? found->second() : nullptr;
}
