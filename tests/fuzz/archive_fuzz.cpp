// libFuzzer entry: any bytes are read as a project archive. A clean read, a
// refused version or an archive_error are all fine; anything else is a bug.
#include <cstddef>
#include <cstdint>

#include "platform/platform.h"
#include "project/project_document.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool quiet = [] {
        platform::SetMessageSink([](const std::string&, int) {});
        return true;
    }();
    (void)quiet;
    project_document document;
    try {
        ReadProject({data, size}, document, true);
    } catch (const archive_error&) {
    }
    return 0;
}
