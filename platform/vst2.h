// Our own description of the VST 2.3 binary interface: record layouts, opcode and
// callback numbers, event records. Written from the published behaviour of the
// interface; layouts must match byte for byte what hosts expect on each ABI.
#pragma once

#include <cstdint>

namespace vst {

#if defined(_WIN32)
#define WS_VST_CALL __cdecl
#define WS_VST_EXPORT __declspec(dllexport)
#else
#define WS_VST_CALL
#define WS_VST_EXPORT __attribute__((visibility("default")))
#endif

struct AEffect;

using HostCallback = intptr_t(WS_VST_CALL*)(AEffect* effect, int32_t opcode, int32_t index,
                                             intptr_t value, void* ptr, float opt);
using DispatcherProc = intptr_t(WS_VST_CALL*)(AEffect* effect, int32_t opcode, int32_t index,
                                               intptr_t value, void* ptr, float opt);
using ProcessProc = void(WS_VST_CALL*)(AEffect* effect, float** inputs, float** outputs,
                                        int32_t sampleFrames);
using ProcessDoubleProc = void(WS_VST_CALL*)(AEffect* effect, double** inputs, double** outputs,
                                              int32_t sampleFrames);
using SetParameterProc = void(WS_VST_CALL*)(AEffect* effect, int32_t index, float value);
using GetParameterProc = float(WS_VST_CALL*)(AEffect* effect, int32_t index);

// 'VstP' packed with the first character in the top byte.
constexpr int32_t kEffectMagic = 0x56737450;

// The plug-in record handed to the host by the entry point.
struct AEffect {
    int32_t magic;
    DispatcherProc dispatcher;
    ProcessProc process;  // accumulating
    SetParameterProc setParameter;
    GetParameterProc getParameter;
    int32_t numPrograms;
    int32_t numParams;
    int32_t numInputs;
    int32_t numOutputs;
    int32_t flags;
    intptr_t resvd1;
    intptr_t resvd2;
    int32_t initialDelay;
    int32_t realQualities;
    int32_t offQualities;
    float ioRatio;
    void* object;
    void* user;
    int32_t uniqueID;
    int32_t version;
    ProcessProc processReplacing;
    ProcessDoubleProc processDoubleReplacing;  // unused by 2.3 plug-ins: always null
    char future[56];
};

// AEffect::flags
enum EffectFlags : int32_t {
    effFlagsHasEditor = 1,
    effFlagsHasClip = 2,
    effFlagsHasVu = 4,
    effFlagsCanMono = 8,
    effFlagsCanReplacing = 16,
    effFlagsProgramChunks = 32,
    effFlagsIsSynth = 256,
};

// Dispatcher opcodes (host to plug-in).
enum EffectOpcode : int32_t {
    effOpen = 0,
    effClose = 1,
    effSetProgram = 2,
    effGetProgram = 3,
    effSetProgramName = 4,
    effGetProgramName = 5,
    effGetParamLabel = 6,
    effGetParamDisplay = 7,
    effGetParamName = 8,
    effGetVu = 9,
    effSetSampleRate = 10,
    effSetBlockSize = 11,
    effMainsChanged = 12,
    effEditGetRect = 13,
    effEditOpen = 14,
    effEditClose = 15,
    effEditIdle = 19,
    effIdentify = 22,
    effGetChunk = 23,
    effSetChunk = 24,
    effProcessEvents = 25,
    effCanBeAutomated = 26,
    effGetNumProgramCategories = 28,
    effGetProgramNameIndexed = 29,
    effCopyProgram = 30,
    effConnectInput = 31,
    effConnectOutput = 32,
    effGetInputProperties = 33,
    effGetOutputProperties = 34,
    effGetPlugCategory = 35,
    effGetEffectName = 45,
    effGetVendorString = 47,
    effGetProductString = 48,
    effGetVendorVersion = 49,
    effCanDo = 51,
    effIdle = 53,
    effKeysRequired = 57,
    effGetVstVersion = 58,
    effEditKeyDown = 59,
    effEditKeyUp = 60,
    effSetEditKnobMode = 61,
    effBeginSetProgram = 67,
    effEndSetProgram = 68,
};

// Host callback opcodes (plug-in to host).
enum HostOpcode : int32_t {
    audioMasterAutomate = 0,
    audioMasterVersion = 1,
    audioMasterCurrentId = 2,
    audioMasterIdle = 3,
    audioMasterWantMidi = 6,
    audioMasterGetTime = 7,
    audioMasterProcessEvents = 8,
    audioMasterNeedIdle = 14,
    audioMasterUpdateDisplay = 42,
};

// effGetPlugCategory answers.
enum PlugCategory : int32_t { kPlugCategUnknown = 0, kPlugCategEffect = 1, kPlugCategSynth = 2 };

// Event records.
enum EventType : int32_t { kVstMidiType = 1 };

struct VstEvent {
    int32_t type;
    int32_t byteSize;
    int32_t deltaFrames;
    int32_t flags;
    char data[16];
};

struct VstMidiEvent {
    int32_t type;
    int32_t byteSize;  // size after the first two fields: 24
    int32_t deltaFrames;
    int32_t flags;
    int32_t noteLength;
    int32_t noteOffset;
    char midiData[4];
    char detune;
    char noteOffVelocity;
    char reserved1;
    char reserved2;
};

// A block of events: the host allocates it with as many pointers as it needs.
struct VstEvents {
    int32_t numEvents;
    intptr_t reserved;
    VstEvent* events[2];
};

// Host transport information (audioMasterGetTime).
struct VstTimeInfo {
    double samplePos;
    double sampleRate;
    double nanoSeconds;
    double ppqPos;
    double tempo;
    double barStartPos;
    double cycleStartPos;
    double cycleEndPos;
    int32_t timeSigNumerator;
    int32_t timeSigDenominator;
    int32_t smpteOffset;
    int32_t smpteFrameRate;
    int32_t samplesToNextClock;
    int32_t flags;
};

enum TimeInfoFlags : int32_t {
    kVstTransportChanged = 1,
    kVstTransportPlaying = 2,
    kVstNanosValid = 1 << 8,
    kVstPpqPosValid = 1 << 9,
    kVstTempoValid = 1 << 10,
    kVstBarsValid = 1 << 11,
    kVstCyclePosValid = 1 << 12,
    kVstTimeSigValid = 1 << 13,
    kVstSmpteValid = 1 << 14,
    kVstClockValid = 1 << 15,
};

// Pin description for effGetOutputProperties.
struct VstPinProperties {
    char label[64];
    int32_t flags;
    int32_t arrangementType;
    char shortLabel[8];
    char future[48];
};

enum PinFlags : int32_t { kVstPinIsActive = 1, kVstPinIsStereo = 2 };

// Editor rectangle (effEditGetRect).
struct ERect {
    int16_t top;
    int16_t left;
    int16_t bottom;
    int16_t right;
};

static_assert(sizeof(VstMidiEvent) == 32);
static_assert(sizeof(VstEvent) == 32);
static_assert(sizeof(VstTimeInfo) == 88);
static_assert(sizeof(VstPinProperties) == 128);
static_assert(sizeof(ERect) == 8);

// Packs a four-character identity, first character in the top byte.
constexpr int32_t FourCC(const char (&text)[5]) {
    return static_cast<int32_t>((uint32_t(uint8_t(text[0])) << 24) | (uint32_t(uint8_t(text[1])) << 16) |
                                (uint32_t(uint8_t(text[2])) << 8) | uint32_t(uint8_t(text[3])));
}

}  // namespace vst
