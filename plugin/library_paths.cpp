#include "plugin/library_paths.h"

namespace {
constexpr const char* kSeparators = "/\\";

std::size_t NameStart(const std::string& path) {
    const std::size_t separator = path.find_last_of(kSeparators);
    return separator == std::string::npos ? 0 : separator + 1;
}

// Position of the extension's dot, or npos; a dot in a folder name does not count.
std::size_t ExtensionDot(const std::string& path) {
    const std::size_t dot = path.find_last_of('.');
    return dot == std::string::npos || dot < NameStart(path) ? std::string::npos : dot;
}
}  // namespace

std::string LibraryFolder(const std::string& library_path) { return library_path.substr(0, NameStart(library_path)); }

std::string LibraryBaseName(const std::string& library_path) {
    const std::size_t start = NameStart(library_path);
    const std::size_t dot = ExtensionDot(library_path);
    return library_path.substr(start, dot == std::string::npos ? std::string::npos : dot - start);
}

std::string LibraryDataFolder(const std::string& library_path) {
    const std::size_t start = NameStart(library_path);
    const char separator = start > 0 ? library_path[start - 1] : '/';
    return LibraryFolder(library_path) + LibraryBaseName(library_path) + separator;
}

std::string ProjectDataFilePath(const std::string& library_path) {
    return library_path.substr(0, ExtensionDot(library_path)) + ".dat";
}
