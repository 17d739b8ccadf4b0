#include "tools/bounded_file.h"

#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace tools {

std::vector<uint8_t> ReadFileBytes(const std::string& path, std::uintmax_t largest) {
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error) throw std::runtime_error("cannot read " + path + ": " + error.message());
    if (size > largest)
        throw std::runtime_error(path + " is " + std::to_string(size) + " bytes, more than the " +
                                 std::to_string(largest) + " this reads");
    std::vector<uint8_t> bytes(size);
    std::ifstream file(path, std::ios::binary);
    file.read(reinterpret_cast<char*>(bytes.data()), std::streamsize(size));
    if (!file || file.gcount() != std::streamsize(size)) throw std::runtime_error("cannot read " + path);
    return bytes;
}

}  // namespace tools
