// Operating-system services used by the rest of the system. Nothing outside this
// folder includes an operating-system header.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace platform {

// Full path of the library (or executable) that contains this code.
std::string OwnLibraryPath();
// Full path of the running program.
std::string ExecutablePath();
uint32_t CurrentProcessId();

// Message-box styles, as the system's callers pass them.
enum MessageStyle : int {
    kMessageOk = 0,
    kMessageIconError = 0x10,
    kMessageIconWarning = 0x30,
    kMessageIconInformation = 0x40,
};

// Message boxes go through a replaceable sink: a capture in tests, a window
// once an editor exists. The default writes to standard error when the process
// has one (a command, a test), so nothing headless ever waits for a click; on
// Windows a process without one (a host with a window) gets a message box.
using MessageSink = std::function<void(const std::string& text, int style)>;

// Installs a sink and returns the one it replaces; an empty sink restores the default.
MessageSink SetMessageSink(MessageSink sink);
void ShowMessage(const std::string& text, int style = kMessageOk);

// Milliseconds from an arbitrary fixed point; wraps.
uint32_t MilliSeconds();

// Identity of the calling thread, comparable for equality.
uint64_t CurrentThreadId();

// Gives up the rest of the time slice (a zero-length sleep).
void YieldThread();
void SleepMilliSeconds(unsigned milliseconds);

// A dynamic library loaded by path, closed when the object goes away.
class DynamicLibrary {
public:
    DynamicLibrary() = default;
    explicit DynamicLibrary(const std::string& path);
    ~DynamicLibrary();
    DynamicLibrary(DynamicLibrary&& other) noexcept;
    DynamicLibrary& operator=(DynamicLibrary&& other) noexcept;
    DynamicLibrary(const DynamicLibrary&) = delete;
    DynamicLibrary& operator=(const DynamicLibrary&) = delete;

    bool IsLoaded() const { return handle_ != nullptr; }
    // Why the last load failed, in the system's words.
    const std::string& Error() const { return error_; }
    void* Symbol(const char* name) const;

private:
    void* handle_ = nullptr;
    std::string error_;
};

}  // namespace platform
