#include "tool_run.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

namespace tools_test {

namespace {

// Single quotes keep every byte as it is for /bin/sh.
std::string ShellQuoted(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) {
        if (c == '\'')
            quoted += "'\\''";
        else
            quoted += c;
    }
    return quoted + "'";
}

std::string FileText(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

}  // namespace

TempFolder::TempFolder() {
    std::random_device random;
    path_ = std::filesystem::temp_directory_path() / ("ws_tools_test_" + std::to_string(random()) + std::to_string(random()));
    std::filesystem::create_directories(path_);
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

ToolRun RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                   const std::filesystem::path& folder) {
    // std::system's status encoding is the platform's own, so the shell writes
    // the exit code to a file instead.
    std::string command = "cd " + ShellQuoted(folder.string()) + " && " + ShellQuoted(program);
    for (const std::string& argument : arguments) {
        command += ' ';
        command += ShellQuoted(argument);
    }
    command += " </dev/null >.stdout 2>.stderr; echo $? >.exit_code";
    if (std::system(command.c_str()) != 0) throw std::runtime_error("cannot run " + program);
    ToolRun run;
    run.exit_code = std::stoi(FileText(folder / ".exit_code"));
    run.out = FileText(folder / ".stdout");
    run.err = FileText(folder / ".stderr");
    return run;
}

ToolRun RunWirestack(const std::vector<std::string>& arguments, const std::filesystem::path& folder) {
    return RunProgram(WS_TOOL_PATH, arguments, folder);
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) lines.push_back(line);
    return lines;
}

void ExpectRenderFailed(const ToolRun& run, const std::string& named, const std::filesystem::path& folder) {
    EXPECT_EQ(run.exit_code, 1) << named;
    EXPECT_EQ(Lines(run.err).size(), 1u) << run.err;
    EXPECT_NE(run.err.find(named), std::string::npos) << run.err;
    EXPECT_FALSE(std::filesystem::exists(folder / "wirestack.wav"));
}

}  // namespace tools_test
