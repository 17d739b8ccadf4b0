// The registry of module types: finds a module type by its unique ID and
// makes its unit generator.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>

class ug_base;

class ModuleRegistry {
public:
    using ug_factory = std::function<std::unique_ptr<ug_base>()>;

    static ModuleRegistry& Instance();

    void RegisterUnitGenerator(const std::string& unique_id, ug_factory factory);
    // Null when no module type has that ID.
    std::unique_ptr<ug_base> CreateUnitGenerator(const std::string& unique_id) const;

private:
    std::map<std::string, ug_factory> factories_;
};

// Registers a unit generator class under a module's unique ID at start-up.
template <class Module>
struct ug_registration {
    explicit ug_registration(const char* unique_id) {
        ModuleRegistry::Instance().RegisterUnitGenerator(unique_id, [] { return std::make_unique<Module>(); });
    }
};
