// Graphs built from documents for tests: a document made of registry modules
// and wires, the graph BuildGraph makes from it, and the engine that runs it.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/graph_builder.h"
#include "engine/ug_container.h"
#include "project/doc_objects.h"
#include "project/doc_plugs.h"
#include "project/module_registry.h"
#include "project/wiring.h"
#include "support/engine_fixture.h"

// The probe and the source of engine_fixture.h as module types of the registry.
inline constexpr const char* kProbeModule = "test:graph probe";
inline constexpr const char* kSourceModule = "test:graph source";

inline void RegisterGraphTestModules() {
    static const bool registered = [] {
        ModuleRegistry::Instance().AttachUnitGenerator(kProbeModule, [] { return std::make_unique<ug_probe>(); });
        ModuleRegistry::Instance().AttachUnitGenerator(kSourceModule, [] { return std::make_unique<ug_source>(); });
        return true;
    }();
    (void)registered;
}

inline std::unique_ptr<CContainer> MakeContainer(const std::string& title) {
    std::unique_ptr<CDocOb> made = ModuleRegistry::Instance().CreateDocObject("Container");
    auto container = std::unique_ptr<CContainer>(static_cast<CContainer*>(made.release()));
    container->CreatePlugsFromType();
    container->SetTitle(title);
    return container;
}

inline CUG* AddModule(CContainer& parent, const std::string& unique_id, const std::string& title) {
    std::unique_ptr<CDocOb> made = ModuleRegistry::Instance().CreateDocObject(unique_id);
    EXPECT_NE(made, nullptr) << unique_id;
    auto* module = static_cast<CUG*>(parent.AddChild(std::move(made)));
    if (!module->Is<CContainer>()) module->CreatePlugsFromType();
    module->SetTitle(title);
    return module;
}

inline CContainer* AddContainer(CContainer& parent, const std::string& title) {
    return static_cast<CContainer*>(parent.AddChild(MakeContainer(title)));
}

inline CPlug2& PlugOf(const CUG& module, const std::string& name) {
    CPlug2* plug = module.FindPlugByName(name);
    if (plug == nullptr) throw std::invalid_argument(module.Title() + " has no plug " + name);
    return *plug;
}

// The unpaired boundary plug of a container, outside or (on its IO module) inside.
inline CPlug2& OutsideSpare(const CContainer& container) { return PlugOf(container, "Spare"); }
inline CPlug2& InsideSpare(const CContainer& container) { return PlugOf(*container.FindIOModule(), "Spare"); }

inline CLine2* Wire(CPlug2& from, CPlug2& to) {
    CLine2* wire = Connect(&from, &to);
    EXPECT_NE(wire, nullptr) << from.Name() << " -> " << to.Name();
    return wire;
}

// Builds the graph of a document and runs it.
class graph_rig {
public:
    explicit graph_rig(CContainer& root, int block_size = 64, float sample_rate = 44100.0f)
        : root_(root), master(&client, block_size, sample_rate), top(BuildGraph(root, master)) {}
    ~graph_rig() {
        if (started_) top->Close();
        ClearUnitGeneratorLinks(root_);
        top.reset();
    }
    graph_rig(const graph_rig&) = delete;
    graph_rig& operator=(const graph_rig&) = delete;

    void Start() {
        master.Start(top.get());
        started_ = true;
    }
    // Runs whole blocks and returns what each plug held, one vector per plug.
    std::vector<std::vector<float>> Record(const std::vector<UPlug*>& plugs, int blocks) {
        const int block_size = master.BlockSize();
        std::vector<std::vector<float>> recorded(plugs.size());
        for (int block = 0; block < blocks; ++block) {
            master.Process(block_size);
            for (std::size_t i = 0; i < plugs.size(); ++i) {
                const float* data = plugs[i]->Block()->Data();
                recorded[i].insert(recorded[i].end(), data, data + block_size);
            }
        }
        return recorded;
    }
    std::vector<float> Record(UPlug* plug, int blocks) { return Record(std::vector<UPlug*>{plug}, blocks).front(); }
    void Run(int blocks) {
        for (int block = 0; block < blocks; ++block) master.Process(master.BlockSize());
    }

    template <class Module = ug_base>
    static Module& UnitOf(const CUG* module) {
        return *static_cast<Module*>(module->unit_generator);
    }
    static UPlug* AudioPlugOf(const CUG* module, const std::string& name) {
        return module->unit_generator->GetPlugByName(name);
    }

private:
    CContainer& root_;
    bool started_ = false;

public:
    test_client client;
    WsAudioMaster master;
    std::unique_ptr<ug_container> top;
};

// The unit generators connected to an output, in connection order.
inline std::vector<ug_base*> Destinations(const UPlug* output) {
    std::vector<ug_base*> found;
    for (const plug_connection* connection : output->connections) found.push_back(connection->to->owner);
    return found;
}
