#include "tools/command_line.h"

#include <cstdint>
#include <functional>
#include <map>
#include <stdexcept>

#include "tools/number_text.h"

namespace tools {

namespace {

constexpr int kLargestBlock = 8192;
constexpr int kHighestRate = 1 << 30;

template <typename Options>
struct OptionTable {
    std::map<std::string, std::function<void(Options&, const std::string&)>> with_value;
    std::map<std::string, std::function<void(Options&)>> flags;
};

bool IsHelp(const std::string& argument) { return argument == "--help" || argument == "-h"; }

// "--name=value" counts as "--name value".
std::pair<std::string, std::optional<std::string>> SplitInlineValue(const std::string& argument) {
    auto equals = argument.find('=');
    if (argument.rfind("--", 0) != 0 || equals == std::string::npos) return {argument, std::nullopt};
    return {argument.substr(0, equals), argument.substr(equals + 1)};
}

template <typename Options>
Options ParseOptions(const std::vector<std::string>& arguments, const OptionTable<Options>& table) {
    Options options;
    bool have_source = false;
    for (size_t i = 0; i < arguments.size(); ++i) {
        auto [name, value] = SplitInlineValue(arguments[i]);
        if (auto flag = table.flags.find(name); flag != table.flags.end() && !value) {
            flag->second(options);
        } else if (auto option = table.with_value.find(name); option != table.with_value.end()) {
            if (!value && i + 1 == arguments.size()) throw std::invalid_argument("option " + name + " needs a value");
            option->second(options, value ? *value : arguments[++i]);
        } else if (name.empty() || name[0] == '-') {
            throw std::invalid_argument("unknown option \"" + arguments[i] + "\"");
        } else if (have_source) {
            throw std::invalid_argument("unexpected argument \"" + name + "\" (one file at a time)");
        } else {
            options.source = name;
            have_source = true;
        }
    }
    return options;
}

// Zero is a render of nothing: the plug-in is loaded, switched on and off.
double ParseSeconds(const std::string& text) {
    double seconds = ParseReal(text, "length in seconds");
    if (seconds < 0) throw std::invalid_argument("length in seconds \"" + text + "\" must not be negative");
    return seconds;
}

ParameterSetting ParseParameterSetting(const std::string& text) {
    auto equals = text.rfind('=');
    if (equals == std::string::npos || equals == 0)
        throw std::invalid_argument("parameter setting \"" + text + "\" is not NAME_OR_INDEX=VALUE");
    double value = ParseReal(text.substr(equals + 1), "parameter value");
    if (value < 0 || value > 1)
        throw std::invalid_argument("parameter value in \"" + text + "\" is outside 0 to 1");
    return {text.substr(0, equals), float(value)};
}

const OptionTable<InfoOptions>& InfoTable() {
    static const OptionTable<InfoOptions> table{{},
                                                {{"--json", [](InfoOptions& o) { o.json = true; }},
                                                 {"--tree", [](InfoOptions& o) { o.tree = true; }}}};
    return table;
}

// Both commands take one file and where to write.
template <typename Options>
const OptionTable<Options>& TranslateTable() {
    static const OptionTable<Options> table{{{"-o", [](Options& o, const std::string& v) { o.output = v; }}}, {}};
    return table;
}

template <typename Options>
Options ParseTranslation(const std::vector<std::string>& arguments, const char* command) {
    Options options = ParseOptions(arguments, TranslateTable<Options>());
    if (options.source.empty()) throw std::invalid_argument(std::string(command) + " needs a file to read");
    return options;
}

// The plug-in settings both `render` and `state save` make before they start.
template <typename Options>
void AddSettings(OptionTable<Options>& table) {
    using V = const std::string&;
    table.with_value["-o"] = [](Options& o, V v) { o.output = v; };
    table.with_value["--program"] = [](Options& o, V v) { o.program = int(ParseInteger(v, "program", 0, INT32_MAX)); };
    table.with_value["--param"] = [](Options& o, V v) { o.parameters.push_back(ParseParameterSetting(v)); };
}

const OptionTable<RenderOptions>& RenderTable() {
    using O = RenderOptions;
    using V = const std::string&;
    static const OptionTable<RenderOptions> table = [] {
        OptionTable<RenderOptions> made{{
            {"--seconds", [](O& o, V v) { o.seconds = ParseSeconds(v); }},
            {"--rate", [](O& o, V v) { o.sample_rate = int(ParseInteger(v, "sample rate", 1, kHighestRate)); }},
            {"--block", [](O& o, V v) { o.block_size = int(ParseInteger(v, "block size", 1, kLargestBlock)); }},
            {"--notes", [](O& o, V v) { o.notes = ParseNotes(v); }},
            {"--notes-file", [](O& o, V v) { o.notes_file = v; }},
            {"--midi", [](O& o, V v) { o.midi_file = v; }},
            {"--state", [](O& o, V v) { o.state_file = v; }},
        }};
        AddSettings(made);
        return made;
    }();
    return table;
}

RenderOptions ParseRender(const std::vector<std::string>& arguments) {
    RenderOptions options = ParseOptions(arguments, RenderTable());
    if (int(!options.notes.empty()) + int(options.notes_file.has_value()) + int(options.midi_file.has_value()) > 1)
        throw std::invalid_argument("render plays one of --notes, --notes-file and --midi, not several");
    return options;
}

StateSaveOptions ParseStateSave(const std::vector<std::string>& arguments) {
    if (arguments.empty() || arguments[0] != "save")
        throw std::invalid_argument("state needs a subcommand: wirestack state save SOURCE -o STATE.bin");
    static const OptionTable<StateSaveOptions> table = [] {
        OptionTable<StateSaveOptions> made;
        AddSettings(made);
        return made;
    }();
    StateSaveOptions options = ParseOptions({arguments.begin() + 1, arguments.end()}, table);
    if (options.output.empty()) throw std::invalid_argument("state save needs -o STATE.bin, the file to write");
    return options;
}

}  // namespace

Command ParseCommandLine(const std::vector<std::string>& arguments) {
    if (arguments.empty() || IsHelp(arguments[0]) || arguments[0] == "help") return HelpRequest{};
    std::vector<std::string> rest(arguments.begin() + 1, arguments.end());
    for (const std::string& argument : rest)
        if (IsHelp(argument)) return HelpRequest{};
    if (arguments[0] == "info") return ParseOptions(rest, InfoTable());
    if (arguments[0] == "render") return ParseRender(rest);
    if (arguments[0] == "state") return ParseStateSave(rest);
    if (arguments[0] == "compile") return ParseTranslation<CompileOptions>(rest, "compile");
    if (arguments[0] == "decompile") return ParseTranslation<DecompileOptions>(rest, "decompile");
    if (arguments[0] == "pack") {
        PackOptions options = ParseTranslation<PackOptions>(rest, "pack");
        if (options.output.empty()) throw std::invalid_argument("pack needs -o LIBRARY, the library to write");
        return options;
    }
    throw std::invalid_argument("unknown command \"" + arguments[0] + "\" (try wirestack --help)");
}

std::string UsageText() {
    return "usage: wirestack info [SOURCE] [--json] [--tree]\n"
           "       wirestack render [SOURCE] [-o OUT.wav] [--seconds S] [--rate HZ] [--block N]\n"
           "                        [--notes NOTES | --notes-file FILE | --midi FILE.mid]\n"
           "                        [--state STATE.bin] [--program N] [--param NAME_OR_INDEX=VALUE]...\n"
           "       wirestack state save [SOURCE] -o STATE.bin [--program N] [--param NAME_OR_INDEX=VALUE]...\n"
           "       wirestack compile PATCH.json [-o PROJECT.ws1]\n"
           "       wirestack decompile PROJECT.ws1 [-o PATCH.json]\n"
           "       wirestack pack PROJECT.ws1 -o LIBRARY\n"
           "\n"
           "A VST 2 host. SOURCE is a plug-in library or a project archive; left out,\n"
           "the Wirestack plug-in built beside this command.\n"
           "\n"
           "info       shows what a host sees: names, ids, programs, parameters, outputs;\n"
           "           of a project archive, its settings (--tree: and its whole document).\n"
           "render     runs the plug-in on silent inputs and writes its outputs to a 32-bit\n"
           "           float WAVE file (default wirestack.wav), one channel per output.\n"
           "state save keeps what a host keeps of the plug-in in its session: the current\n"
           "           program and the bank chunk, in a state file for render --state.\n"
           "compile    turns a patch text (JSON, see docs/patch-format.md) into a project\n"
           "           archive (default: PATCH with the extension .ws1).\n"
           "decompile  writes a project archive as a patch text (default: to standard output).\n"
           "pack       writes a copy of the Wirestack plug-in that carries the project.\n"
           "\n"
           "  -o FILE            file to write\n"
           "  --seconds S        length, 0 or more (default: the notes' end + 1 s, or 2 s)\n"
           "  --rate HZ          sample rate (default 44100)\n"
           "  --block N          host block size, 1 to 8192 (default 512)\n"
           "  --notes NOTES      notes on MIDI channel 1: key@start+duration[:velocity],...\n"
           "                     in seconds, e.g. \"69@0+1:100,72@0.5+1\" (velocity 100 if left out)\n"
           "  --notes-file FILE  notes one a line: key start_s duration_s velocity (# comments)\n"
           "  --midi FILE.mid    a Standard MIDI File (format 0 or 1) played through its tempo map\n"
           "  --state STATE.bin  restore a state saved by state save before the settings below\n"
           "  --program N        program to select before processing\n"
           "  --param P=V        set parameter P (index or name) to V, normalised 0 to 1\n";
}

}  // namespace tools
