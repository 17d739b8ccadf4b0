// Paths derived from the plug-in library's own path.
#pragma once

#include <string>

// The folder, up to and including the last separator.
std::string LibraryFolder(const std::string& library_path);
// The file name without folder and extension.
std::string LibraryBaseName(const std::string& library_path);
// The library's folder, its base name, then a separator: where embedded files
// are written and module libraries are loaded from.
std::string LibraryDataFolder(const std::string& library_path);
// The library path with its extension replaced by ".dat" (appended when it has none).
std::string ProjectDataFilePath(const std::string& library_path);
