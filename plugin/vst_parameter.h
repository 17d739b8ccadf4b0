// A host parameter: one entry of the table the host sees by index.
#pragma once

#include <string>

class WsAudioMaster;

class vst_parameter {
public:
    virtual ~vst_parameter() = default;
    virtual float getNormalised() const = 0;
    virtual void setNormalised(float value) = 0;
    // From the audio thread: the value travels to the audio side as a message.
    virtual void postNormalised(float value, WsAudioMaster* audio_master) = 0;
    virtual std::string getName() const = 0;
    virtual std::string getLabel() const = 0;
    virtual std::string getDisplay() const = 0;
    virtual bool isAutomatable() const = 0;
    virtual bool isOutput() const = 0;
};
