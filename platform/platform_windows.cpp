#include "platform/platform.h"
#include "platform/message_sink.h"

#include <windows.h>

#include <utility>

namespace platform {

namespace {

// A host started from a window has no standard error to write to.
bool HasStandardError() {
    HANDLE handle = GetStdHandle(STD_ERROR_HANDLE);
    return handle != nullptr && handle != INVALID_HANDLE_VALUE && GetFileType(handle) != FILE_TYPE_UNKNOWN;
}

std::string ModulePath(HMODULE module) {
    std::string path(MAX_PATH, '\0');
    for (;;) {
        const DWORD length = GetModuleFileNameA(module, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return {};
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);  // cut short: the path is longer than the buffer
    }
}

std::string SystemErrorText(DWORD code) {
    char* text = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
        0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string result = length != 0 ? std::string(text, length) : "error " + std::to_string(code);
    if (text != nullptr) LocalFree(text);
    while (!result.empty() && (result.back() == '\n' || result.back() == '\r' || result.back() == ' '))
        result.pop_back();
    return result;
}

}  // namespace

void detail::ShowMessageBySystem(const std::string& text, int style) {
    if (HasStandardError())
        detail::WriteMessageToStandardError(text, style);
    else
        MessageBoxA(nullptr, text.c_str(), "Wirestack", static_cast<UINT>(style) | MB_SETFOREGROUND);
}

std::string OwnLibraryPath() {
    HMODULE module = nullptr;
    if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCSTR>(&OwnLibraryPath), &module))
        return {};
    return ModulePath(module);
}

std::string ExecutablePath() { return ModulePath(nullptr); }

uint32_t CurrentProcessId() { return GetCurrentProcessId(); }

uint32_t MilliSeconds() { return GetTickCount(); }

uint64_t CurrentThreadId() { return GetCurrentThreadId(); }

void YieldThread() { Sleep(0); }

void SleepMilliSeconds(unsigned milliseconds) { Sleep(milliseconds); }

DynamicLibrary::DynamicLibrary(const std::string& path) {
    // A broken library is reported here, never in a dialog box that waits for a click.
    DWORD previous_mode = 0;
    SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &previous_mode);
    handle_ = LoadLibraryA(path.c_str());
    const DWORD error = GetLastError();
    SetThreadErrorMode(previous_mode, nullptr);
    if (handle_ == nullptr) error_ = path + ": " + SystemErrorText(error);
}

DynamicLibrary::~DynamicLibrary() {
    if (handle_ != nullptr) FreeLibrary(static_cast<HMODULE>(handle_));
}

DynamicLibrary::DynamicLibrary(DynamicLibrary&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)), error_(std::move(other.error_)) {}

DynamicLibrary& DynamicLibrary::operator=(DynamicLibrary&& other) noexcept {
    if (this != &other) {
        if (handle_ != nullptr) FreeLibrary(static_cast<HMODULE>(handle_));
        handle_ = std::exchange(other.handle_, nullptr);
        error_ = std::move(other.error_);
    }
    return *this;
}

void* DynamicLibrary::Symbol(const char* name) const {
    if (handle_ == nullptr) return nullptr;
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), name));
}

}  // namespace platform
