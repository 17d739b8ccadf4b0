#include "platform/platform.h"

#include <dlfcn.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <thread>
#include <utility>

namespace platform {

namespace {

void WriteToStandardError(const std::string& text, int /*style*/) {
    std::fprintf(stderr, "%s\n", text.c_str());
    std::fflush(stderr);
}

// The sink is replaced from the main thread only; the mutex keeps a test that
// captures messages safe against a message shown from another thread.
std::mutex sink_mutex;
MessageSink& CurrentSink() {
    static MessageSink sink = WriteToStandardError;
    return sink;
}

}  // namespace

std::string OwnLibraryPath() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&OwnLibraryPath), &info) == 0 || info.dli_fname == nullptr)
        return {};
    return info.dli_fname;
}

std::string ExecutablePath() {
    // Linux names the running executable here; argv[0] may be relative to the caller's folder.
    std::error_code error;
    return std::filesystem::read_symlink("/proc/self/exe", error).string();
}

uint32_t CurrentProcessId() { return static_cast<uint32_t>(::getpid()); }

MessageSink SetMessageSink(MessageSink sink) {
    std::lock_guard<std::mutex> lock(sink_mutex);
    MessageSink previous = std::move(CurrentSink());
    CurrentSink() = sink ? std::move(sink) : MessageSink(WriteToStandardError);
    return previous;
}

void ShowMessage(const std::string& text, int style) {
    MessageSink sink;
    {
        std::lock_guard<std::mutex> lock(sink_mutex);
        sink = CurrentSink();
    }
    sink(text, style);
}

uint32_t MilliSeconds() {
    using namespace std::chrono;
    return static_cast<uint32_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

uint64_t CurrentThreadId() {
    return static_cast<uint64_t>(std::hash<std::thread::id>{}(std::this_thread::get_id()));
}

void YieldThread() { std::this_thread::yield(); }

void SleepMilliSeconds(unsigned milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

DynamicLibrary::DynamicLibrary(const std::string& path) {
    handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr) {
        const char* reason = dlerror();
        error_ = reason != nullptr ? reason : "cannot load " + path;
    }
}

DynamicLibrary::~DynamicLibrary() {
    if (handle_ != nullptr) dlclose(handle_);
}

DynamicLibrary::DynamicLibrary(DynamicLibrary&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)), error_(std::move(other.error_)) {}

DynamicLibrary& DynamicLibrary::operator=(DynamicLibrary&& other) noexcept {
    if (this != &other) {
        if (handle_ != nullptr) dlclose(handle_);
        handle_ = std::exchange(other.handle_, nullptr);
        error_ = std::move(other.error_);
    }
    return *this;
}

void* DynamicLibrary::Symbol(const char* name) const {
    return handle_ != nullptr ? dlsym(handle_, name) : nullptr;
}

}  // namespace platform
