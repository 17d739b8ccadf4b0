#include "plugin/ws_vst.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/float_mode.h"
#include "platform/platform.h"
#include "plugin/host_parameters.h"
#include "plugin/program_chunk.h"
#include "plugin/top_container.h"
#include "plugin/vst_io.h"
#include "project/doc_objects.h"
#include "project/doc_plugs.h"
#include "project/patch_manager.h"
#include "project/programs.h"

namespace {

constexpr std::size_t kInitialOutgoingEvents = 256;
// Hosts hand program names a 24-byte buffer.
constexpr std::size_t kLongestProgramName = 23;

void CopyText(char* destination, const std::string& text, std::size_t limit) {
    const std::size_t length = std::min(text.size(), limit);
    std::memcpy(destination, text.data(), length);
    destination[length] = '\0';
}

// The ID text, padded with spaces to four characters, first character on top.
int32_t PackUniqueId(std::string text) {
    text.resize(std::max<std::size_t>(text.size(), 4), ' ');
    return static_cast<int32_t>((uint32_t(uint8_t(text[0])) << 24) | (uint32_t(uint8_t(text[1])) << 16) |
                                (uint32_t(uint8_t(text[2])) << 8) | uint32_t(uint8_t(text[3])));
}

bool IsProgramChangeOrPressure(int status) { return status >= 0xC0 && status <= 0xDF; }

}  // namespace

WsVst::WsVst(vst::HostCallback host, bool& failed) : vst_plugin_base(host) {
    effect_.flags |= vst::effFlagsProgramChunks;
    if (!app_.InitInstance(this) || app_.TopContainer() == nullptr) {
        failed = true;
        return;
    }
    top_ = app_.TopContainer();
    const project_settings& settings = app_.Document()->settings;
    effect_.numPrograms = kProgramCount;
    SetProgram(0);
    effect_.numPrograms = top_->FollowsProgramChanges() ? std::clamp(settings.program_count, 1, kProgramCount) : 1;
    programs_ = ProgramsOf(*top_);
    if (programs_ != nullptr) programs_->AddListener(this);
    app_.WirePluginIO();
    parameters_ = BuildHostParameters(*top_, *this);
    effect_.numParams = static_cast<int32_t>(parameters_.size());
    effect_.numInputs = CountWiredPlugs(*top_, DR_IN, DT_AUDIO);
    effect_.numOutputs = CountWiredPlugs(*top_, DR_OUT, DT_AUDIO);
    if (settings.can_mono) effect_.flags |= vst::effFlagsCanMono;
    effect_.flags |= vst::effFlagsCanReplacing;
    if ((settings.options & PO_SYNTH) != 0) effect_.flags |= vst::effFlagsIsSynth;
    CallHost(vst::audioMasterNeedIdle);
    effect_.uniqueID = PackUniqueId(settings.id_text);

    outgoing_midi_.reserve(kInitialOutgoingEvents);
}

uint32_t WsVst::Options() const { return app_.Document()->settings.options; }

std::string WsVst::ProgramName(int program) const {
    const CPatchManager* programs = ProgramsOf(*top_);
    if (program < 0 || program >= effect_.numPrograms) return {};
    return programs != nullptr ? programs->ProgramName(program) : std::string();
}

WsVst::~WsVst() {
    Suspend();
    if (programs_ != nullptr) programs_->RemoveListener(this);
    while (!parameters_.empty()) parameters_.pop_back();
}

// ---- suspend and resume ------------------------------------------------------

void WsVst::WaitForAudioCall() {
    while (in_process_.load()) platform::YieldThread();
}

void WsVst::Suspend() {
    resumed_ = false;
    WaitForAudioCall();
    app_.StopAudio();
}

void WsVst::Resume() {
    resumed_ = false;
    WaitForAudioCall();
    app_.SetSampleRate(sample_rate_);
    pending_events_ = nullptr;
    if (CountWiredPlugs(*top_, DR_IN, DT_MIDI) > 0) CallHost(vst::audioMasterWantMidi, 0, 1);
    app_.StartAudio(block_size_);
    CallHost(vst::audioMasterNeedIdle);
    replacing_ = true;
    resumed_ = true;
}

void WsVst::SetSampleRate(float rate) {
    if (rate == sample_rate_) return;
    sample_rate_ = rate;
    if (resumed_.load()) {
        Suspend();
        Resume();
    }
}

void WsVst::SetProgram(int program) {
    if (program < 0 || program >= effect_.numPrograms) return;
    current_program_ = program;
    SelectProgram(*ProgramOwner(*top_), program);
}

void WsVst::OnProgramSelected(int32_t program) {
    if (program == current_program_ || program < 0 || program >= effect_.numPrograms) return;
    current_program_ = program;
    CallHost(vst::audioMasterUpdateDisplay);
}

void WsVst::SetProgramName(const std::string& name) {
    if (CPatchManager* programs = ProgramsOf(*top_)) programs->SetProgramName(current_program_, name);
}

void WsVst::CopyProgram(int destination) {
    if (destination < 0 || destination >= effect_.numPrograms) return;
    ::CopyProgram(*top_, destination, destination);
}

intptr_t WsVst::GetChunk(void** data, bool single_program) {
    if (data == nullptr) return 0;
    chunk_ = WriteProgramChunk(*top_, single_program);
    *data = chunk_.data();
    return static_cast<intptr_t>(chunk_.size());
}

intptr_t WsVst::SetChunk(const void* data, intptr_t size, bool single_program) {
    if (data == nullptr || size <= 0) return 0;
    const std::span<const uint8_t> bytes(static_cast<const uint8_t*>(data), static_cast<std::size_t>(size));
    if (ReadProgramChunk(*top_, bytes, single_program) == chunk_read_result::incomplete)
        platform::ShowMessage("Some parameters could not be loaded", platform::kMessageOk);
    return 0;
}

// ---- dispatcher ----------------------------------------------------------------

intptr_t WsVst::Dispatch(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) {
    using namespace vst;
    auto* text = static_cast<char*>(ptr);
    switch (opcode) {
        case effSetProgram: SetProgram(static_cast<int>(value)); return 0;
        case effGetProgram: return current_program_;
        case effSetProgramName:
            if (text != nullptr) SetProgramName(text);
            return 0;
        case effGetProgramName:
            if (text != nullptr) CopyText(text, ProgramName(current_program_), kLongestProgramName);
            return 0;
        case effGetParamLabel: CopyParameterText(index, text, &vst_parameter::getLabel); return 0;
        case effGetParamDisplay: CopyParameterText(index, text, &vst_parameter::getDisplay); return 0;
        case effGetParamName: CopyParameterText(index, text, &vst_parameter::getName); return 0;
        case effSetSampleRate: SetSampleRate(opt); return 0;
        case effSetBlockSize: block_size_ = static_cast<int32_t>(value); return 0;
        case effMainsChanged:
            if (value == 0)
                Suspend();
            else
                Resume();
            return 0;
        case effIdentify: return 0x4E764566;
        case effProcessEvents:
            pending_events_ = static_cast<VstEvents*>(ptr);
            return 1;
        case effGetChunk: return GetChunk(static_cast<void**>(ptr), index != 0);
        case effSetChunk: return SetChunk(ptr, value, index != 0);
        case effCanBeAutomated: {
            const vst_parameter* parameter = Parameter(index);
            return parameter != nullptr && parameter->isAutomatable() && !parameter->isOutput() ? 1 : 0;
        }
        case effGetNumProgramCategories: return 1;
        case effGetProgramNameIndexed:
            if (text != nullptr) CopyText(text, ProgramName(index), kLongestProgramName);
            return 1;
        case effCopyProgram: CopyProgram(index); return 1;
        case effConnectInput:
        case effConnectOutput: return 1;
        case effGetOutputProperties: return GetOutputProperties(index, static_cast<VstPinProperties*>(ptr));
        case effGetPlugCategory: return (effect_.flags & effFlagsIsSynth) != 0 ? kPlugCategSynth : kPlugCategUnknown;
        case effGetEffectName:
            if (text != nullptr) CopyText(text, top_->Title(), 31);
            return 1;
        case effGetVendorString:
            if (text != nullptr) CopyText(text, app_.Document()->settings.vendor, 63);
            return 1;
        case effGetProductString:
            if (text != nullptr) CopyText(text, app_.Document()->settings.product, 63);
            return 1;
        case effGetVendorVersion: return 1;
        case effCanDo: return text != nullptr ? CanDo(text) : 0;
        case effIdle:
        case effEditIdle:
            app_.Idle();
            return 1;
        case effKeysRequired: return 1;
        case effGetVstVersion: return 2300;
        default: return 0;
    }
}

intptr_t WsVst::CanDo(const char* text) const {
    const auto answer = [](bool yes) -> intptr_t { return yes ? 1 : -1; };
    if (std::strcmp(text, "receiveVstMidiEvent") == 0) return answer(CountWiredPlugs(*top_, DR_IN, DT_MIDI) > 0);
    if (std::strcmp(text, "sendVstMidiEvent") == 0) return answer(CountWiredPlugs(*top_, DR_OUT, DT_MIDI) > 0);
    if (std::strcmp(text, "sendVstTimeInfo") == 0) return answer((Options() & PO_SEND_TIME_INFO) != 0);
    return 0;
}

intptr_t WsVst::GetOutputProperties(int index, vst::VstPinProperties* properties) const {
    if (properties == nullptr) return 0;
    std::memset(properties, 0, sizeof *properties);
    const CPlug2* plug = AudioPlug(*top_, DR_OUT, index);
    if (plug == nullptr) return 0;
    const int outputs = effect_.numOutputs;
    const bool stereo = outputs >= 2 && outputs % 2 == 0 && (Options() & PO_STEREO_PAIRS) != 0;
    properties->flags = vst::kVstPinIsActive | (stereo ? vst::kVstPinIsStereo : 0);
    const std::string name = plug->Name();
    CopyText(properties->label, name, sizeof properties->label - 1);
    CopyText(properties->shortLabel, name, sizeof properties->shortLabel - 1);
    return 1;
}

// ---- parameters ----------------------------------------------------------------

vst_parameter* WsVst::Parameter(int index) const {
    if (index < 0 || index >= static_cast<int>(parameters_.size())) return nullptr;
    return parameters_[static_cast<std::size_t>(index)].get();
}

void WsVst::CopyParameterText(int index, char* destination, std::string (vst_parameter::*get)() const) const {
    if (destination == nullptr) return;
    const vst_parameter* parameter = Parameter(index);
    CopyText(destination, parameter != nullptr ? (parameter->*get)() : std::string(), 31);
}

void WsVst::SetParameter(int32_t index, float value) {
    vst_parameter* parameter = Parameter(index);
    if (parameter == nullptr || parameter->getNormalised() == value) return;
    WsAudioMaster* audio_master = app_.AudioMaster();
    if (audio_master != nullptr && platform::CurrentThreadId() != app_.CreatingThread())
        parameter->postNormalised(value, audio_master);
    else
        parameter->setNormalised(value);
}

float WsVst::GetParameter(int32_t index) {
    const vst_parameter* parameter = Parameter(index);
    return parameter != nullptr ? parameter->getNormalised() : 0.0f;
}

// ---- audio -----------------------------------------------------------------------

void WsVst::ProcessReplacing(float** inputs, float** outputs, int32_t sample_frames) {
    Process(inputs, outputs, sample_frames);
}

void WsVst::ProcessAccumulating(float** inputs, float** outputs, int32_t sample_frames) {
    replacing_ = false;
    Process(inputs, outputs, sample_frames);
}

void WsVst::Process(float** inputs, float** outputs, int32_t sample_frames) {
    in_process_ = true;
    if (resumed_.load() && sample_frames >= 0 && !app_.IsAudioRunning()) {
        // The engine refused the patch: the host still gets silence.
        if (replacing_.load())
            for (int32_t i = 0; i < effect_.numOutputs; ++i) std::fill(outputs[i], outputs[i] + sample_frames, 0.0f);
    } else if (resumed_.load() && sample_frames >= 0) {
        const platform::scoped_flush_denormals flush_denormals;
        if (output_module_ != nullptr) output_module_->SetHostBuffers(outputs, effect_.numOutputs);
        if (input_module_ != nullptr) input_module_->SetHostBuffers(inputs, effect_.numInputs);
        QueueHostMidi();
        app_.AudioMaster()->Process(sample_frames);
        pending_events_ = nullptr;
        CollectOutgoingMidi(sample_frames);
    }
    in_process_ = false;
}

void WsVst::QueueHostMidi() {
    if (pending_events_ == nullptr || input_module_ == nullptr) return;
    const uint32_t now = input_module_->sample_clock;
    // The host allocates the block with as many pointers as it has events.
    vst::VstEvent* const* events = pending_events_->events;
    for (int32_t i = 0; i < pending_events_->numEvents; ++i) {
        const vst::VstEvent* event = events[i];
        if (event == nullptr || event->type != vst::kVstMidiType) continue;
        const auto* midi = reinterpret_cast<const vst::VstMidiEvent*>(event);
        const int32_t word = uint8_t(midi->midiData[0]) | (uint8_t(midi->midiData[1]) << 8) |
                             (uint8_t(midi->midiData[2]) << 16);
        input_module_->QueueHostMidi(now + static_cast<uint32_t>(std::max(midi->deltaFrames, 0)), word);
    }
}

void WsVst::CollectOutgoingMidi(int32_t sample_frames) {
    if (output_module_ == nullptr) return;
    std::vector<midi_record>& queue = output_module_->MidiQueue();
    if (midi_read_position_ >= queue.size()) return;

    outgoing_midi_.clear();
    const uint32_t block_start = output_module_->sample_clock - static_cast<uint32_t>(sample_frames);
    for (; midi_read_position_ < queue.size(); ++midi_read_position_) {
        const midi_record& record = queue[midi_read_position_];
        const auto offset = static_cast<int32_t>(record.time - block_start);
        if (offset >= sample_frames) break;  // stays for the block it falls in
        vst::VstMidiEvent event{};
        event.type = vst::kVstMidiType;
        event.byteSize = 24;
        event.deltaFrames = std::max(offset, 0);
        const int status = record.message & 0xff;
        event.midiData[0] = static_cast<char>(status);
        event.midiData[1] = static_cast<char>((record.message >> 8) & 0xff);
        event.midiData[2] = static_cast<char>(IsProgramChangeOrPressure(status) ? 255 : (record.message >> 16) & 0xff);
        outgoing_midi_.push_back(event);
    }
    // Sent records are dropped so the queue never fills up with history.
    queue.erase(queue.begin(), queue.begin() + static_cast<std::ptrdiff_t>(midi_read_position_));
    midi_read_position_ = 0;
    if (outgoing_midi_.empty()) return;

    const std::size_t header = offsetof(vst::VstEvents, events);
    const std::size_t needed = header + outgoing_midi_.size() * sizeof(vst::VstEvent*);
    if (outgoing_block_.size() < needed) outgoing_block_.resize(std::max(needed, header + kInitialOutgoingEvents * sizeof(vst::VstEvent*)));
    auto* block = reinterpret_cast<vst::VstEvents*>(outgoing_block_.data());
    block->numEvents = static_cast<int32_t>(outgoing_midi_.size());
    block->reserved = 0;
    vst::VstEvent** events = block->events;
    for (std::size_t i = 0; i < outgoing_midi_.size(); ++i)
        events[i] = reinterpret_cast<vst::VstEvent*>(&outgoing_midi_[i]);
    CallHost(vst::audioMasterProcessEvents, 0, 0, block);
}
