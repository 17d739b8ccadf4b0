#include "tools/state_file.h"

#include <array>
#include <cstring>

#include "tools/bounded_file.h"
#include "tools/project_files.h"

namespace tools {

namespace {

constexpr std::array<uint8_t, 4> kMagic = {'W', 's', 'S', 't'};
constexpr size_t kHeaderSize = 16;

void PutWord(std::vector<uint8_t>& bytes, uint32_t word) {
    for (int shift = 0; shift < 32; shift += 8) bytes.push_back(uint8_t(word >> shift));
}

uint32_t WordAt(std::span<const uint8_t> bytes, size_t offset) {
    uint32_t word = 0;
    for (int i = 3; i >= 0; --i) word = (word << 8) | bytes[offset + size_t(i)];
    return word;
}

}  // namespace

std::vector<uint8_t> EncodeState(const HostState& state) {
    if (state.chunk.size() > kLargestStateChunk)
        throw StateFileError("a chunk of " + std::to_string(state.chunk.size()) + " bytes is too large to keep");
    std::vector<uint8_t> bytes(kMagic.begin(), kMagic.end());
    PutWord(bytes, kStateFileVersion);
    PutWord(bytes, uint32_t(state.program));
    PutWord(bytes, uint32_t(state.chunk.size()));
    bytes.insert(bytes.end(), state.chunk.begin(), state.chunk.end());
    return bytes;
}

HostState DecodeState(std::span<const uint8_t> bytes) {
    if (bytes.size() < kHeaderSize)
        throw StateFileError("truncated: " + std::to_string(bytes.size()) + " bytes, a state file has at least " +
                             std::to_string(kHeaderSize));
    if (!std::equal(kMagic.begin(), kMagic.end(), bytes.begin()))
        throw StateFileError("not a Wirestack state file (it does not start with \"WsSt\")");
    const uint32_t version = WordAt(bytes, 4);
    if (version != kStateFileVersion)
        throw StateFileError("state file version " + std::to_string(version) + " is not the version " +
                             std::to_string(kStateFileVersion) + " this reads");
    HostState state;
    state.program = int32_t(WordAt(bytes, 8));
    const uint32_t length = WordAt(bytes, 12);
    const size_t left = bytes.size() - kHeaderSize;
    if (length == 0) throw StateFileError("the state file holds no chunk");
    if (length > left)
        throw StateFileError("truncated: the chunk is " + std::to_string(length) + " bytes but only " +
                             std::to_string(left) + " follow the header");
    if (length < left)
        throw StateFileError(std::to_string(left - length) + " bytes follow the " + std::to_string(length) +
                             "-byte chunk");
    state.chunk.assign(bytes.begin() + kHeaderSize, bytes.end());
    return state;
}

void WriteStateFile(const std::string& path, const HostState& state) { WriteFile(path, EncodeState(state)); }

HostState ReadStateFile(const std::string& path) {
    std::vector<uint8_t> bytes;
    try {
        bytes = ReadFileBytes(path, kHeaderSize + kLargestStateChunk);
    } catch (const std::runtime_error& error) {
        throw StateFileError(error.what());
    }
    try {
        return DecodeState(bytes);
    } catch (const StateFileError& error) {
        throw StateFileError(path + ": " + error.what());
    }
}

}  // namespace tools
