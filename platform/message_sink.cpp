#include <cstdio>
#include <mutex>
#include <utility>

#include "platform/message_sink.h"
#include "platform/platform.h"

namespace platform {

namespace detail {

void WriteMessageToStandardError(const std::string& text, int /*style*/) {
    std::fprintf(stderr, "%s\n", text.c_str());
    std::fflush(stderr);
}

}  // namespace detail

namespace {

// The sink is replaced from the main thread only; the mutex keeps a test that
// captures messages safe against a message shown from another thread.
std::mutex sink_mutex;
MessageSink& CurrentSink() {
    static MessageSink sink = detail::ShowMessageBySystem;
    return sink;
}

}  // namespace

MessageSink SetMessageSink(MessageSink sink) {
    std::lock_guard<std::mutex> lock(sink_mutex);
    MessageSink previous = std::move(CurrentSink());
    CurrentSink() = sink ? std::move(sink) : MessageSink(detail::ShowMessageBySystem);
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

}  // namespace platform
