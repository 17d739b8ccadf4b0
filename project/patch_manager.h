// The programs of a container: which one is current, their names, and the
// patch parameters with one value per program, as the project stores them.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "project/archive.h"
#include "project/message_handle.h"

class CPlug2;

constexpr int32_t kProgramCount = 128;

// One stored value of a patch parameter; the alternative follows the kind:
// list index, text, bool, float, integer.
using patch_value = std::variant<int16_t, std::string, bool, float, int32_t>;

struct patch_parameter_record {
    int32_t type_id = 0;  // DT_ENUM, DT_TEXT, DT_BOOL, DT_FLOAT or DT_INT
    int32_t id = 0;
    CPlug2* plug = nullptr;  // the bound plug, owned by its module
    std::string name;
    bool ignore_program_change = false;
    int32_t setting = 0;
    bool is_private = false;
    std::vector<patch_value> values;  // one per program
    // The identity this parameter and its audio-side twin answer messages under.
    int32_t message_handle = message_handles::Next();

    // The value that program shows: program 0's when program changes are ignored.
    const patch_value& ValueFor(int32_t program) const;
};

// Whether a type id names a patch parameter kind.
bool IsPatchParameterType(int32_t type_id);
// The value a program holds before anything is stored in it.
patch_value DefaultPatchValue(int32_t type_id);
// One value of that kind as archives and chunks store it.
patch_value ReadPatchValue(archive_reader& archive, int32_t type_id);

// Where a value change came from: the host and the audio side are not told
// back their own changes, and program selection is no automation.
enum class value_source {
    panel,
    host,            // the host set it on its main thread
    audio,           // the audio side changed it (a MIDI controller)
    host_via_audio,  // host automation the audio side applied and reported
    program,         // a program was selected or loaded
};

class patch_parameter_listener {
public:
    virtual ~patch_parameter_listener() = default;
    virtual void OnPatchValueChanged(const patch_parameter_record& parameter, value_source source) {}
    virtual void OnProgramSelected(int32_t program) {}
};

class CPatchManager : public CObject {
    WS_DECLARE_CLASS(CPatchManager)
public:
    void Serialize(archive_reader& archive) override;

    // The identity the manager and its audio-side twin answer messages under.
    int32_t MessageHandle() const { return message_handle_; }

    int32_t CurrentProgram() const { return current_program_; }
    void SetCurrentProgram(int32_t program) { current_program_ = program; }
    // The stored name, or "Patch %3d" with the number + 1; -1 names the current program.
    std::string ProgramName(int32_t program) const;
    void SetProgramName(int32_t program, const std::string& name);
    const std::map<int32_t, std::string>& ProgramNames() const { return program_names_; }

    // In id order.
    const std::vector<patch_parameter_record>& Parameters() const { return parameters_; }
    patch_parameter_record* FindParameter(int32_t id);
    // Keeps the parameter's id when it is free and within 16 bits, else draws a
    // free one at random; returns the parameter as stored.
    patch_parameter_record& RegisterParameter(patch_parameter_record parameter);

    // Stores a value for a program (-1: the current one; a parameter that
    // ignores program changes keeps program 0's) and tells the listeners when
    // the value shown changed.
    void SetValue(patch_parameter_record& parameter, int32_t program, const patch_value& value, value_source source);
    // The current program becomes n and every parameter shows its value for it.
    void SelectProgram(int32_t program);
    // Copies the current program's values into programs first..last.
    void CopyCurrentProgram(int32_t first, int32_t last);

    void AddListener(patch_parameter_listener* listener) { listeners_.push_back(listener); }
    void RemoveListener(patch_parameter_listener* listener);

private:
    void ReadProgramNames(archive_reader& archive);
    void ReadParameters(archive_reader& archive);
    patch_parameter_record ReadParameter(archive_reader& archive, int32_t type_id);
    int32_t ProgramOrCurrent(int32_t program) const { return program < 0 ? current_program_ : program; }

    int32_t message_handle_ = message_handles::Next();
    int32_t current_program_ = 0;
    std::map<int32_t, std::string> program_names_;
    std::vector<patch_parameter_record> parameters_;
    std::vector<patch_parameter_listener*> listeners_;
    uint32_t id_draws_ = 0;
};
