#include "project/runtime_class.h"

#include <map>
#include <string>

namespace {
std::map<std::string, const runtime_class*, std::less<>>& ClassTable() {
    static std::map<std::string, const runtime_class*, std::less<>> table;
    return table;
}
}  // namespace

const runtime_class CObject::class_info{"CObject", 1, false, nullptr, nullptr};

bool runtime_class::IsDerivedFrom(const runtime_class* other) const {
    for (const runtime_class* record = this; record != nullptr; record = record->base)
        if (record == other) return true;
    return false;
}

const runtime_class* runtime_class::Find(std::string_view name) {
    auto found = ClassTable().find(name);
    return found != ClassTable().end() ? found->second : nullptr;
}

runtime_class_registration::runtime_class_registration(const runtime_class* record) {
    ClassTable().emplace(record->name, record);
}
