// The library's exported entry points.
#include <new>

#include "plugin/ws_vst.h"

namespace {

vst::AEffect* CreatePlugin(vst::HostCallback host) {
    if (host == nullptr || host(nullptr, vst::audioMasterVersion, 0, 0, nullptr, 0.0f) == 0) return nullptr;
    bool failed = false;
    WsVst* plugin = new (std::nothrow) WsVst(host, failed);
    if (plugin == nullptr) return nullptr;
    if (failed) {
        delete plugin;
        return nullptr;
    }
    return plugin->Effect();
}

}  // namespace

extern "C" {

__attribute__((visibility("default"))) vst::AEffect* VSTPluginMain(vst::HostCallback host) {
    return CreatePlugin(host);
}

// Older hosts look for an entry named "main"; C++ forbids declaring a "main"
// that returns a pointer, so the symbol name is given to the linker directly.
__attribute__((visibility("default"))) vst::AEffect* vst_legacy_main(vst::HostCallback host) __asm__("main");
vst::AEffect* vst_legacy_main(vst::HostCallback host) { return CreatePlugin(host); }
}
