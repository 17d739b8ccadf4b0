// libFuzzer entry: any bytes are read as a host's chunk, bank or single
// program, into a patch with programs, patch parameters of every kind and
// controls. Whatever the bytes, the read ends and the patch stays whole.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "platform/platform.h"
#include "plugin/program_chunk.h"
#include "project/doc_objects.h"
#include "project/project_document.h"
#include "tools/patch_text.h"
#include "tools/project_files.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::unique_ptr<project_document> document = [] {
        platform::SetMessageSink([](const std::string&, int) {});
        return tools::CompilePatchText(tools::ReadFileText(WS_CHUNK_FUZZ_PATCH));
    }();
    CContainer* top = document->TopContainer();
    const bool single_program = size > 0 && (data[size - 1] & 1) != 0;
    ReadProgramChunk(*top, {data, size}, single_program);
    return 0;
}
