#include "engine/ug_container.h"

#include <stdexcept>

#include "engine/audio_master.h"
#include "project/module_registry.h"

namespace {

// Holds constant outputs added on demand; it never changes them, so it sleeps
// from the start and its outputs announce themselves when opened downstream.
class ug_hidden_source : public ug_module<ug_hidden_source> {
public:
    void Open() override {
        ug_base::Open();
        SetProcess(&ug_base::SleepIfIdle);
    }
};

}  // namespace

ug_container::ug_container() = default;

ug_container::~ug_container() {
    // Children go in reverse order of creation, before the container's own plugs.
    while (!unit_generators_.empty()) unit_generators_.pop_back();
}

ug_base* ug_container::Add(std::unique_ptr<ug_base> ug) {
    ug->container = this;
    if (ug->parameter_container == nullptr) ug->parameter_container = this;
    ug->audio_master = audio_master;
    unit_generators_.push_back(std::move(ug));
    return unit_generators_.back().get();
}

ug_base* ug_container::CreateHiddenAdder(int32_t data_type) {
    const char* name = data_type == DT_MIDI ? "MIDI Adder2" : "Float Adder";
    std::unique_ptr<ug_base> adder = ModuleRegistry::Instance().CreateUnitGenerator(name);
    if (!adder) throw std::invalid_argument(std::string("module not registered: ") + name);
    ug_base* added = Add(std::move(adder));
    added->CreatePlugsFromInterface();
    added->SetupPlugs();
    return added;
}

ug_base* ug_container::HiddenSource(bool patch_parameter) {
    ug_base*& source = patch_parameter ? parameter_source_ : constant_source_;
    if (source == nullptr) {
        source = Add(std::make_unique<ug_hidden_source>());
        // Runs before everything it feeds.
        source->sort_order = INT32_MAX / 2;
    }
    return source;
}

UPlug* ug_container::AddHiddenSource(int32_t data_type, bool patch_parameter) {
    ug_base* source = HiddenSource(patch_parameter);
    UPlug* plug = source->AddPlug(DR_OUT, data_type);
    plug->CreateStorage(BlockSize());
    return plug;
}

void ug_container::Open() {
    ug_base::Open();
    SetProcess(&ug_base::SleepIfIdle);
    for (const auto& ug : unit_generators_) {
        ug->audio_master = audio_master;
        ug->Open();
    }
}

void ug_container::Close() {
    for (const auto& ug : unit_generators_) ug->Close();
    ug_base::Close();
}
