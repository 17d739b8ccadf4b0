#include "tools/project_files.h"

#include <algorithm>
#include <array>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

#include "platform/platform.h"
#include "project/doc_objects.h"
#include "project/project_document.h"

namespace tools {

namespace {

constexpr std::array<char, 4> kElfHeader = {'\x7f', 'E', 'L', 'F'};
constexpr std::array<char, 2> kExecutableHeader = {'M', 'Z'};

// Messages the reader shows during a read, kept instead of shown.
class message_capture {
public:
    message_capture()
        : previous_(platform::SetMessageSink([this](const std::string& text, int) { messages_.push_back(text); })) {}
    ~message_capture() { platform::SetMessageSink(previous_); }
    message_capture(const message_capture&) = delete;
    message_capture& operator=(const message_capture&) = delete;
    const std::vector<std::string>& Messages() const { return messages_; }

private:
    std::vector<std::string> messages_;
    platform::MessageSink previous_;
};

template <std::size_t size>
bool StartsWith(const std::string& bytes, const std::array<char, size>& header) {
    return bytes.size() >= size && std::equal(header.begin(), header.end(), bytes.begin());
}

std::ofstream OpenForWriting(const std::string& path) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (!file) throw std::runtime_error("cannot write " + path);
    return file;
}

void Finish(std::ofstream& file, const std::string& path) {
    file.close();
    if (!file) throw std::runtime_error("cannot write " + path);
}

}  // namespace

bool IsProjectArchive(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return false;
    std::string start(kElfHeader.size(), '\0');
    file.read(start.data(), static_cast<std::streamsize>(start.size()));
    start.resize(static_cast<std::size_t>(file.gcount()));
    return !StartsWith(start, kElfHeader) && !StartsWith(start, kExecutableHeader);
}

std::string ReadFileText(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) throw std::runtime_error("cannot read " + path);
    std::ostringstream text;
    text << file.rdbuf();
    if (file.bad()) throw std::runtime_error("cannot read " + path);
    return text.str();
}

void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream file = OpenForWriting(path);
    file.write(text.data(), static_cast<std::streamsize>(text.size()));
    Finish(file, path);
}

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream file = OpenForWriting(path);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    Finish(file, path);
}

std::unique_ptr<project_document> ReadProjectFile(const std::string& path) {
    const std::string text = ReadFileText(path);
    const std::vector<uint8_t> bytes(text.begin(), text.end());
    auto document = std::make_unique<project_document>();
    message_capture messages;
    project_read_result result;
    try {
        result = ReadProject(bytes, *document, false);
    } catch (const archive_error& error) {
        throw std::runtime_error(path + ": " + error.what());
    }
    if (result != project_read_result::ok)
        throw std::runtime_error(path + ": " + (messages.Messages().empty() ? "not read" : messages.Messages().front()));
    return document;
}

}  // namespace tools
