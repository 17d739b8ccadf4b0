// "VST Plugin": the module that hosts another maker's plug-in, as the project
// stores it: the library's name and the hosted plug-in's saved state.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "project/doc_objects.h"

// The hosted plug-in as it was when the project was saved.
struct hosted_plugin_state {
    int32_t unique_id = 0;
    bool programs_are_chunks = false;
    int32_t parameter_count = 0;
    int32_t program_count = 0;
    int32_t current_program = 0;
    std::vector<std::string> program_names;
};

class Ctl_VST_Plugin : public CUG_with_patches {
    WS_DECLARE_CLASS(Ctl_VST_Plugin)
public:
    // The saved chunk, parameter values and MIDI assignments belong to a
    // loaded plug-in; without one they are read and left.
    void Serialize(archive_reader& archive) override;

    const std::string& StoredName() const { return stored_name_; }
    const hosted_plugin_state& SavedState() const { return saved_; }

private:
    void ReadSavedPrograms(archive_reader& archive);

    std::string stored_name_;
    hosted_plugin_state saved_;
};
