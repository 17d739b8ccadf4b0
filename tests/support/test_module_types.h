// Module types that exist only in tests: plug descriptions written by hand
// and registry entries made from them. Test IDs start with "test:" so that
// they never meet a real module type.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engine/plug.h"
#include "project/module_registry.h"

inline InterfaceObject Describe(int32_t direction, int32_t data_type, const std::string& name, uint32_t flags = 0,
                                const std::string& list = "", const std::string& default_value = "") {
    return {.direction = direction, .name = name, .default_value = default_value, .list_values = list, .flags = flags,
            .data_type = data_type};
}

// The registry keeps the entry; descriptions pass the rule for audio inputs
// as a module's own listing would.
inline void RegisterTestModuleType(const std::string& id, const std::vector<InterfaceObject>& descriptions,
                                   uint32_t flags, doc_factory factory = {}) {
    auto entry = std::make_unique<Module_Info>();
    entry->unique_id = id;
    entry->flags = flags;
    entry->make_document = std::move(factory);
    for (const InterfaceObject& description : descriptions) AddInterface(entry->plugs, description);
    ModuleRegistry::Instance().RegisterModule(std::move(entry));
}
