// Runs the built `wirestack` command as a separate process, the way a person or
// a script would, and keeps what it printed.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace tools_test {

struct ToolRun {
    int exit_code = -1;
    std::string out;
    std::string err;
};

// A fresh folder under the system's temporary folder, removed with the object.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::filesystem::path& Path() const { return path_; }

private:
    std::filesystem::path path_;
};

// Runs `program` with `arguments` inside `folder`, which also keeps its output.
ToolRun RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                   const std::filesystem::path& folder);

// The `wirestack` command of this build.
ToolRun RunWirestack(const std::vector<std::string>& arguments, const std::filesystem::path& folder);

std::vector<std::string> Lines(const std::string& text);

// A render that failed as it should: exit code 1, one line on standard error
// holding `named`, and no output file "wirestack.wav" left in `folder`.
void ExpectRenderFailed(const ToolRun& run, const std::string& named, const std::filesystem::path& folder);

}  // namespace tools_test
