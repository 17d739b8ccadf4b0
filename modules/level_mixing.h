// Level, mixing and arithmetic modules.
#pragma once

#include <vector>

#include "engine/ug_base.h"

// "Float Adder": sums every source wired into its multi-input. Static sources
// are summed once per change; running ones are added sample by sample.
class ug_adder : public ug_module<ug_adder> {
public:
    void ListInterface(std::vector<InterfaceObject>& list) override;
    void Open() override;
    void OnPlugStateChange(uint32_t time, plug_connection* connection, state_type status) override;

private:
    class sources : public input_array {
    public:
        struct entry {
            plug_connection* connection;
            bool running;
        };
        void ConnectionAdded(plug_connection* connection) override;
        void ConnectionRemoved(plug_connection* connection) override;
        std::vector<entry> entries;
    };

    void Rebuild();
    void RunSum(int start, int count);
    void StaticSum(int start, int count);
    void ProcessOutput(uint32_t time);

    sources inputs_;
    input_array* inputs_variable_ = &inputs_;
    std::vector<const float*> running_;
    float static_sum_ = 0.0f;
    float* out_ = nullptr;
};
