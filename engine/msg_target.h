// Something on the audio side that messages from the panel can be addressed to.
#pragma once

#include <cstdint>

class message_stream;

// Four-character message codes held as 32-bit values, first character on top.
constexpr int32_t MessageCode(const char (&text)[5]) {
    return static_cast<int32_t>((uint32_t(uint8_t(text[0])) << 24) | (uint32_t(uint8_t(text[1])) << 16) |
                                (uint32_t(uint8_t(text[2])) << 8) | uint32_t(uint8_t(text[3])));
}

class dsp_msg_target {
public:
    virtual ~dsp_msg_target() = default;
    virtual void OnMessage(int32_t code, message_stream* stream) = 0;

    int32_t Handle() const { return handle_; }
    void SetHandle(int32_t handle) { handle_ = handle; }

private:
    int32_t handle_ = -1;
};

// Something on the panel side that messages from the audio side can be
// addressed to; a document module answers under its unit generator's identity.
class ui_msg_target {
public:
    virtual ~ui_msg_target() = default;
    virtual void OnPanelMessage(int32_t code, message_stream& stream) = 0;
    // Called from the application's idle step while on its idle list; false
    // takes the object off the list.
    virtual bool OnIdle() { return false; }
};
