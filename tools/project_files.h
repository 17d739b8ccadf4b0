// Project archives and patch texts as files.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class project_document;

namespace tools {

// A project archive is told from a plug-in library by its first bytes: a
// library starts with an ELF or "MZ" header. False for a file that cannot be
// read, which is left to the library loader to report.
bool IsProjectArchive(const std::string& path);

// Throw std::runtime_error naming the file.
std::string ReadFileText(const std::string& path);
void WriteFile(const std::string& path, const std::string& text);
void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes);

// Reads the project as the plug-in does. Throws std::runtime_error naming the
// file and, for a malformed archive, the archive error with its byte offset,
// or for an archive of a newer version the reader's message.
std::unique_ptr<project_document> ReadProjectFile(const std::string& path);

}  // namespace tools
