#include "platform/embedded_project.h"

#include <windows.h>

#include <cstring>

namespace platform {

namespace {

constexpr const char* kResourceType = "WS1";
constexpr WORD kResourceNumber = 165;

std::optional<std::vector<uint8_t>> ResourceOf(HMODULE module) {
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(kResourceNumber), kResourceType);
    if (found == nullptr) return std::nullopt;
    HGLOBAL loaded = LoadResource(module, found);
    const void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
    if (bytes == nullptr) return std::nullopt;
    std::vector<uint8_t> copy(SizeofResource(module, found));
    if (!copy.empty()) std::memcpy(copy.data(), bytes, copy.size());
    return copy;
}

}  // namespace

std::optional<std::vector<uint8_t>> ReadEmbeddedProject(const std::string& library_path) {
    // The plug-in asks about itself, already loaded; any other library is
    // opened for its resources only, without running its code.
    if (HMODULE loaded = GetModuleHandleA(library_path.c_str())) return ResourceOf(loaded);
    HMODULE data = LoadLibraryExA(library_path.c_str(), nullptr,
                                  LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (data == nullptr) return std::nullopt;
    std::optional<std::vector<uint8_t>> project = ResourceOf(data);
    FreeLibrary(data);
    return project;
}

}  // namespace platform
