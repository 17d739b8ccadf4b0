// Named lookup tables shared by every module of an engine: a table is filled
// once (in a module's Open) and reused by every voice and instance until the
// sample rate it was made for changes.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class LookupTable {
public:
    virtual ~LookupTable() = default;
    int size = 0;
    bool initialised = false;
};

class ULookup : public LookupTable {
public:
    std::vector<float> values;

    void Resize(int entries) {
        size = entries;
        values.assign(static_cast<std::size_t>(entries), 0.0f);
    }
    // x in 0 ... 1 (10 V) over 512 steps: entry trunc(x * 512) and linear
    // interpolation to the next; negative x reads entry 0, x from 1 up entry
    // 512. Tables read this way hold 514 entries.
    float Interpolate(float x) const {
        if (!(x > 0.0f)) return values[0];
        if (x >= 1.0f) return values[512];
        const float position = x * 512.0f;
        const auto index = static_cast<int>(position);
        const float fraction = position - static_cast<float>(index);
        return values[static_cast<std::size_t>(index)] +
               fraction * (values[static_cast<std::size_t>(index) + 1] - values[static_cast<std::size_t>(index)]);
    }
};

class ULookup_Integer : public LookupTable {
public:
    std::vector<int32_t> values;

    void Resize(int entries) {
        size = entries;
        values.assign(static_cast<std::size_t>(entries), 0);
    }
};

// The tables of one application, by name. A table asked for at another
// sample rate is marked uninitialised so that its caller fills it anew.
class lookup_table_registry {
public:
    enum class kind { floats, integers };

    LookupTable* GetTable(const std::string& name, int sample_rate, kind table_kind);
    ULookup* GetFloatTable(const std::string& name, int sample_rate) {
        return static_cast<ULookup*>(GetTable(name, sample_rate, kind::floats));
    }
    ULookup_Integer* GetIntegerTable(const std::string& name, int sample_rate) {
        return static_cast<ULookup_Integer*>(GetTable(name, sample_rate, kind::integers));
    }

private:
    struct entry {
        std::string name;
        std::unique_ptr<LookupTable> table;
        int sample_rate;
    };
    std::vector<entry> entries_;
};
