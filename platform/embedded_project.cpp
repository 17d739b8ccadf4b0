#include "platform/embedded_project.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>

namespace platform {

namespace {

constexpr char kTrailerMark[8] = {'W', 'S', '1', ' ', '1', '6', '5', '\n'};
constexpr std::size_t kTrailerSize = sizeof(uint32_t) + sizeof kTrailerMark;

// The stored project inside a file's bytes: offset and length, when present.
std::optional<std::pair<std::size_t, std::size_t>> FindTrailer(std::span<const uint8_t> file) {
    if (file.size() < kTrailerSize) return std::nullopt;
    const std::size_t mark_at = file.size() - sizeof kTrailerMark;
    if (std::memcmp(file.data() + mark_at, kTrailerMark, sizeof kTrailerMark) != 0) return std::nullopt;
    const std::size_t length_at = mark_at - sizeof(uint32_t);
    const uint32_t length = uint32_t(file[length_at]) | uint32_t(file[length_at + 1]) << 8 |
                            uint32_t(file[length_at + 2]) << 16 | uint32_t(file[length_at + 3]) << 24;
    if (length > length_at) return std::nullopt;
    return std::make_pair(length_at - length, std::size_t(length));
}

}  // namespace

std::optional<std::vector<uint8_t>> ReadWholeFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return std::nullopt;
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (file.bad()) return std::nullopt;
    return bytes;
}

bool WriteWholeFile(const std::string& path, std::span<const uint8_t> bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(file);
}

std::optional<std::vector<uint8_t>> ProjectInTrailer(std::span<const uint8_t> file) {
    const auto found = FindTrailer(file);
    if (!found) return std::nullopt;
    const auto begin = file.begin() + static_cast<std::ptrdiff_t>(found->first);
    return std::vector<uint8_t>(begin, begin + static_cast<std::ptrdiff_t>(found->second));
}

std::vector<uint8_t> WithEmbeddedProject(std::span<const uint8_t> library, std::span<const uint8_t> stored_project) {
    std::size_t library_end = library.size();
    if (const auto found = FindTrailer(library)) library_end = found->first;
    std::vector<uint8_t> result(library.begin(), library.begin() + static_cast<std::ptrdiff_t>(library_end));
    result.insert(result.end(), stored_project.begin(), stored_project.end());
    const auto length = static_cast<uint32_t>(stored_project.size());
    for (int i = 0; i < 4; ++i) result.push_back(static_cast<uint8_t>(length >> (8 * i)));
    result.insert(result.end(), std::begin(kTrailerMark), std::end(kTrailerMark));
    return result;
}

}  // namespace platform
