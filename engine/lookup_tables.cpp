#include "engine/lookup_tables.h"

LookupTable* lookup_table_registry::GetTable(const std::string& name, int sample_rate, kind table_kind) {
    for (entry& existing : entries_) {
        if (existing.name != name) continue;
        if (existing.sample_rate != sample_rate) {
            existing.table->initialised = false;
            existing.sample_rate = sample_rate;
        }
        return existing.table.get();
    }
    std::unique_ptr<LookupTable> table;
    if (table_kind == kind::floats)
        table = std::make_unique<ULookup>();
    else
        table = std::make_unique<ULookup_Integer>();
    entries_.push_back({name, std::move(table), sample_rate});
    return entries_.back().table.get();
}
