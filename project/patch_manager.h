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

    // In the order the project stores them.
    const std::vector<patch_parameter_record>& Parameters() const { return parameters_; }
    // Appends a parameter made in code (projects built by tools and tests).
    void AddParameter(patch_parameter_record parameter) { parameters_.push_back(std::move(parameter)); }

private:
    void ReadProgramNames(archive_reader& archive);
    void ReadParameters(archive_reader& archive);
    patch_parameter_record ReadParameter(archive_reader& archive, int32_t type_id);
    int32_t ProgramOrCurrent(int32_t program) const { return program < 0 ? current_program_ : program; }

    int32_t message_handle_ = message_handles::Next();
    int32_t current_program_ = 0;
    std::map<int32_t, std::string> program_names_;
    std::vector<patch_parameter_record> parameters_;
};
