#include "platform/platform.h"
#include "platform/message_sink.h"

#include <dlfcn.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>
#include <utility>

namespace platform {

void detail::ShowMessageBySystem(const std::string& text, int style) { detail::WriteMessageToStandardError(text, style); }

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
