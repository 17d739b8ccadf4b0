#include "tools/vst_host.h"

#include <filesystem>

#include <algorithm>
#include <map>
#include <mutex>

namespace tools {

namespace {

using EntryPoint = vst::AEffect*(WS_VST_CALL*)(vst::HostCallback);

// More channels than any real plug-in has: a larger count is a broken AEffect.
constexpr int32_t kMostChannels = 1024;

// The plug-in's first calls come from inside its entry point, before the host
// knows its AEffect; those go to the host that is loading on this thread.
thread_local VstHost* loading_host = nullptr;

struct LoadingScope {
    explicit LoadingScope(VstHost* host) { loading_host = host; }
    ~LoadingScope() { loading_host = nullptr; }
};

std::mutex hosts_mutex;
std::map<const vst::AEffect*, VstHost*>& Hosts() {
    static std::map<const vst::AEffect*, VstHost*> hosts;
    return hosts;
}

void Register(const vst::AEffect* effect, VstHost* host) {
    std::lock_guard lock(hosts_mutex);
    if (host != nullptr)
        Hosts()[effect] = host;
    else
        Hosts().erase(effect);
}

VstHost* HostOf(const vst::AEffect* effect) {
    std::lock_guard lock(hosts_mutex);
    auto found = Hosts().find(effect);
    return found != Hosts().end() ? found->second : loading_host;
}

vst::AEffect* CreateEffect(const platform::DynamicLibrary& library, const std::string& path,
                           vst::HostCallback callback) {
    if (!library.IsLoaded()) throw HostError("cannot load " + path + ": " + library.Error());
    void* symbol = library.Symbol("VSTPluginMain");
    if (symbol == nullptr) symbol = library.Symbol("main");
    if (symbol == nullptr) throw HostError(path + " has no VSTPluginMain or main entry point");
    vst::AEffect* effect = reinterpret_cast<EntryPoint>(symbol)(callback);
    if (effect == nullptr) throw HostError("the entry point of " + path + " returned no plug-in");
    if (effect->magic != vst::kEffectMagic) throw HostError(path + " returned something that is not a VST 2 plug-in");
    return effect;
}

void CheckChannelCount(int32_t count, const char* what) {
    if (count < 0 || count > kMostChannels)
        throw HostError("the plug-in reports " + std::to_string(count) + " " + what);
}

void Allocate(std::vector<std::vector<float>>& buffers, std::vector<float*>& pointers, int32_t count,
              int frames) {
    buffers.assign(size_t(count), std::vector<float>(size_t(frames), 0.0f));
    pointers.clear();
    for (auto& buffer : buffers) pointers.push_back(buffer.data());
}

}  // namespace

std::string BufferText(const char* buffer, size_t size) {
    return std::string(buffer, std::find(buffer, buffer + size, '\0'));
}

// A bare file name would send the loader searching the system's folders.
VstHost::VstHost(const std::string& library_path) : library_(std::filesystem::absolute(library_path).string()) {
    LoadingScope scope(this);
    effect_ = CreateEffect(library_, library_path, &VstHost::Callback);
    Register(effect_, this);
    Dispatch(vst::effOpen);
}

VstHost::~VstHost() {
    if (resumed_) Dispatch(vst::effMainsChanged, 0, 0);
    Dispatch(vst::effClose);
    Register(effect_, nullptr);
}

intptr_t VstHost::Dispatch(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) const {
    return effect_->dispatcher(effect_, opcode, index, value, ptr, opt);
}

std::string VstHost::Text(int32_t opcode, int32_t index, size_t buffer_size) const {
    std::vector<char> buffer(buffer_size, '\0');
    Dispatch(opcode, index, 0, buffer.data());
    return BufferText(buffer.data(), buffer.size());
}

float VstHost::Parameter(int32_t index) const { return effect_->getParameter(effect_, index); }

void VstHost::SetParameter(int32_t index, float value) { effect_->setParameter(effect_, index, value); }

void VstHost::Resume(int sample_rate, int block_size) {
    CheckChannelCount(effect_->numInputs, "inputs");
    CheckChannelCount(effect_->numOutputs, "outputs");
    if (effect_->processReplacing == nullptr) throw HostError("the plug-in has no processReplacing");
    sample_rate_ = sample_rate;
    block_size_ = block_size;
    Allocate(inputs_, input_pointers_, effect_->numInputs, block_size);
    Allocate(outputs_, output_pointers_, effect_->numOutputs, block_size);
    Dispatch(vst::effSetSampleRate, 0, 0, nullptr, float(sample_rate));
    Dispatch(vst::effSetBlockSize, 0, block_size);
    Dispatch(vst::effMainsChanged, 0, 1);
    resumed_ = true;
    Dispatch(vst::effIdle);
}

const std::vector<std::vector<float>>& VstHost::Process(vst::VstEvents* events, int frames) {
    if (!resumed_ || frames < 0 || frames > block_size_)
        throw std::logic_error("a block must fit the size announced at resume");
    for (auto& output : outputs_) std::fill(output.begin(), output.end(), 0.0f);
    UpdateTime();
    if (events != nullptr && events->numEvents > 0) Dispatch(vst::effProcessEvents, 0, 0, events);
    effect_->processReplacing(effect_, input_pointers_.data(), output_pointers_.data(), frames);
    position_ += frames;
    // A host's user-interface loop runs between audio blocks; one idle call per
    // block lets the plug-in show what its audio side reported.
    Dispatch(vst::effIdle);
    return outputs_;
}

void VstHost::UpdateTime() {
    time_ = {};
    time_.samplePos = double(position_);
    time_.sampleRate = sample_rate_;
    time_.tempo = kTempo;
    time_.ppqPos = double(position_) / sample_rate_ * kTempo / 60.0;
    time_.flags = vst::kVstTempoValid | vst::kVstPpqPosValid | vst::kVstTransportPlaying;
}

intptr_t WS_VST_CALL VstHost::Callback(vst::AEffect* effect, int32_t opcode, int32_t /*index*/,
                                       intptr_t /*value*/, void* ptr, float /*opt*/) {
    if (opcode == vst::audioMasterVersion) return kVersion;
    VstHost* host = HostOf(effect);
    return host != nullptr ? host->Answer(opcode, ptr) : 0;
}

intptr_t VstHost::Answer(int32_t opcode, void* ptr) {
    switch (opcode) {
        case vst::audioMasterGetTime:
            return reinterpret_cast<intptr_t>(&time_);
        case vst::audioMasterProcessEvents:
            CountOutgoing(static_cast<const vst::VstEvents*>(ptr));
            return 1;
        case vst::audioMasterWantMidi:
        case vst::audioMasterNeedIdle:
        case vst::audioMasterUpdateDisplay:
            return 1;
        default:
            return 0;
    }
}

void VstHost::CountOutgoing(const vst::VstEvents* events) {
    if (events == nullptr) return;
    // The pointer array runs past its declared two entries.
    const vst::VstEvent* const* slots = events->events;
    for (int32_t i = 0; i < events->numEvents; ++i) {
        const vst::VstEvent* event = slots[i];
        if (event != nullptr && event->type == vst::kVstMidiType) ++outgoing_midi_;
    }
}

}  // namespace tools
