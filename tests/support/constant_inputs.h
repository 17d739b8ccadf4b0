// Inputs for modules under test: constants fed the way graph construction
// feeds unwired inputs, and running sources holding the same values.
#pragma once

#include <initializer_list>
#include <string>
#include <utility>

#include "support/module_harness.h"

// Sort order of sources: they run before the module under test (100) and
// whatever reads it (0).
constexpr int kSourceOrder = 1 << 16;

// The input's value comes from a hidden constant output (a second call
// changes that output, announced at the next block). The hidden module is
// given a place in the run order ahead of the module, as sort orders worked
// out for a whole graph would give it.
inline void SetConstant(ug_base* module, int plug, const std::string& text) {
    module->ApplyDefault(module->GetPlug(plug), text);
    module->GetPlug(plug)->connections.front()->from->owner->sort_order = kSourceOrder;
}

// An input held at `volts`, as a constant or as a running source.
inline void Drive(engine_fixture& engine, ug_base* module, int plug, float volts, bool running) {
    if (!running) {
        SetConstant(module, plug, std::to_string(volts));
        return;
    }
    auto* source = engine.Add<ug_source>(kSourceOrder);
    source->value = volts * 0.1f;
    Connect(source->GetPlug(0), module->GetPlug(plug));
}

// Several constant inputs at once: (plug index, text) pairs.
inline void SetConstants(ug_base* module, std::initializer_list<std::pair<int, const char*>> values) {
    for (const auto& [plug, text] : values) SetConstant(module, plug, text);
}
