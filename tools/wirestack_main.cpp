// The `wirestack` command: a VST 2 host that inspects and renders plug-ins.
#include <iostream>
#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

#include "tools/command_line.h"
#include "tools/commands.h"
#include "tools/hosted_source.h"
#include "tools/note_text.h"

namespace {

constexpr int kFailed = 1;
constexpr int kBadUsage = 2;

std::string PluginLibrary() { return tools::LibraryBesideExecutable(WS_DEFAULT_PLUGIN_NAME); }

int Run(const tools::HelpRequest&) {
    std::cout << tools::UsageText();
    return 0;
}

int Run(const tools::InfoOptions& options) {
    if (options.tree) {
        std::cout << tools::RunInfo(options, options.source);
        return 0;
    }
    const tools::HostedSource source(options.source, PluginLibrary());
    std::cout << tools::RunInfo(options, source.LibraryPath());
    return 0;
}

// What the built-in demo plays when no notes are given: a short rising phrase.
constexpr const char* kDemoPhrase = "60@0+1.5,64@0.5+1.5,67@1+1.5,72@1.5+2:110";

int Run(tools::RenderOptions options) {
    if (options.source.empty() && !options.PlaysSomething()) options.notes = tools::ParseNotes(kDemoPhrase);
    const tools::HostedSource source(options.source, PluginLibrary());
    tools::RenderResult result = tools::RunRender(options, source.LibraryPath());
    std::cout << "wrote " << result.path << " (" << result.channels << " channels, " << result.seconds
              << " seconds, " << result.sample_rate << " Hz)\n";
    if (result.outgoing_midi_events != 0)
        std::cerr << "the plug-in sent " << result.outgoing_midi_events << " MIDI events\n";
    return 0;
}

int Run(const tools::StateSaveOptions& options) {
    const tools::HostedSource source(options.source, PluginLibrary());
    tools::StateSaveResult result = tools::RunStateSave(options, source.LibraryPath());
    std::cout << "wrote " << result.path << " (program " << result.program << ", chunk of " << result.chunk_bytes
              << " bytes)\n";
    return 0;
}

int Run(const tools::CompileOptions& options) {
    std::cout << "wrote " << tools::RunCompile(options) << "\n";
    return 0;
}

int Run(const tools::DecompileOptions& options) {
    tools::DecompileResult result = tools::RunDecompile(options);
    if (options.output.empty())
        std::cout << result.text;
    else
        std::cout << "wrote " << options.output << "\n";
    if (!result.warning.empty()) std::cerr << "wirestack: warning: " << result.warning << "\n";
    return 0;
}

int Run(const tools::PackOptions& options) {
    std::cout << "wrote " << tools::RunPack(options, PluginLibrary()) << "\n";
    return 0;
}

// Callers read one line per failure, whatever the text from the system held.
std::string OneLine(std::string text) {
    for (char& c : text)
        if (c == '\n' || c == '\r') c = ' ';
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        tools::Command command = tools::ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
        return std::visit([](const auto& options) { return Run(options); }, command);
    } catch (const std::invalid_argument& error) {
        std::cerr << "wirestack: " << OneLine(error.what()) << "\n";
        return kBadUsage;
    } catch (const std::exception& error) {
        std::cerr << "wirestack: " << OneLine(error.what()) << "\n";
        return kFailed;
    }
}
