// A container's unit generator: owns the unit generators inside it and makes
// the hidden helpers that wiring needs (adders, constant sources).
#pragma once

#include <memory>
#include <vector>

#include "engine/ug_base.h"

class ug_container : public ug_module<ug_container> {
public:
    ug_container();
    ~ug_container() override;

    // Takes ownership; the unit generator joins this container and its audio master.
    ug_base* Add(std::unique_ptr<ug_base> ug);
    const std::vector<std::unique_ptr<ug_base>>& UnitGenerators() const { return unit_generators_; }

    // A hidden "Float Adder" or "MIDI Adder2" for a plug of the given type.
    ug_base* CreateHiddenAdder(int32_t data_type);
    // A new output of the hidden source that feeds constant defaults to
    // unconnected inputs; patch-parameter plugs get their own source.
    UPlug* AddHiddenSource(int32_t data_type, bool patch_parameter);

    void Open() override;
    void Close() override;

private:
    ug_base* HiddenSource(bool patch_parameter);

    std::vector<std::unique_ptr<ug_base>> unit_generators_;
    ug_base* constant_source_ = nullptr;
    ug_base* parameter_source_ = nullptr;
};
