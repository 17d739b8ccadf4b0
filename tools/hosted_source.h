// What `info` and `render` host: a plug-in library as given, or a project
// archive packed into a temporary copy of the plug-in, or, with no source, the
// built-in demo patch packed the same way.
#pragma once

#include <filesystem>
#include <string>

namespace tools {

class HostedSource {
public:
    // `plugin_library` is the Wirestack plug-in to pack projects into.
    HostedSource(const std::string& given, const std::string& plugin_library);
    ~HostedSource();
    HostedSource(const HostedSource&) = delete;
    HostedSource& operator=(const HostedSource&) = delete;

    const std::string& LibraryPath() const { return library_path_; }

private:
    std::filesystem::path temporary_folder_;
    std::string library_path_;
};

// The patch text of the built-in demo: a small polyphonic synth.
const char* DemoPatchText();

}  // namespace tools
