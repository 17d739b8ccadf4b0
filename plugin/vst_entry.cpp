// The library's exported entry points.
#include <new>

#include "platform/vst2.h"
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

// Older hosts look for an entry named "main"; C++ forbids declaring a "main"
// that returns a pointer, so the linker gives this entry that second name.
extern "C" WS_VST_EXPORT vst::AEffect* VSTPluginMain(vst::HostCallback host) { return CreatePlugin(host); }
