// Time-stamped events in a unit generator's own list, and the pool their
// records come from so that steady-state audio never calls the allocator.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class ug_base;

enum ug_event_type : int32_t {
    UET_STAT_CHANGE = 0,
    UET_SUSPEND = 1,
    UET_MIDI = 2,
    UET_RUN_FUNCTION = 3,
    UET_IO_FUNC = 4,
    UET_UI_NOTIFY = 5,
    UET_PROG_CHANGE = 6,
    // Private kinds of the module families that queue them.
    UET_NOTE_ON = 7,
    UET_NOTE_OFF = 8,
    UET_NOTE_OFF_HARD = 9,
    UET_PITCH_BEND = 10,
    UET_AFTERTOUCH = 11,
    UET_GLIDE_START = 12,
    UET_DRUM_TRIGGER = 14,
    UET_CONTROLLER = 15,
    UET_DELAYED_STATUS = 19,
    UET_SET_OUTPUT_VALUE = 20,
    UET_RUN_UG_FUNCTION = 21,
};

// Sample clocks wrap as unsigned 32-bit counts; compare them by difference.
inline bool TimeBefore(uint32_t a, uint32_t b) { return static_cast<int32_t>(a - b) < 0; }

// Name of an event kind for diagnostics.
const char* GetEventTypeName(int32_t kind);

// A function a unit generator schedules for itself (kind 21).
using ug_function = void (*)(ug_base* target);

struct ug_event {
    uint32_t time = 0;
    int32_t kind = 0;
    int32_t parm1 = 0;  // status, MIDI message, patch, notification code, note...
    void* ptr = nullptr;  // connection, plug, voice or function
    int32_t value = 0;  // carried plug value, velocity, notification value
    std::unique_ptr<std::string> extra;  // text carried by a text value

    ug_event* prev = nullptr;
    ug_event* next = nullptr;
};

// Fixed-size records handed out from chunks; a freed record is reused. Only the
// audio thread (or the building thread while audio is stopped) touches a pool.
class event_pool {
public:
    explicit event_pool(int initial_records = 1024);
    event_pool(const event_pool&) = delete;
    event_pool& operator=(const event_pool&) = delete;

    ug_event* Allocate();
    void Free(ug_event* event);
    // Records handed out since creation that are not yet back.
    int InUse() const { return in_use_; }
    int Capacity() const { return capacity_; }

private:
    void Grow(int records);

    std::vector<std::unique_ptr<ug_event[]>> chunks_;
    ug_event* free_head_ = nullptr;
    int in_use_ = 0;
    int capacity_ = 0;
};

// Doubly linked list of events in time order; the ordering rules live in ug_base.
class event_list {
public:
    ug_event* Head() const { return head_; }
    ug_event* Tail() const { return tail_; }
    bool Empty() const { return head_ == nullptr; }

    // Inserts after `position`, or at the head when position is null.
    void InsertAfter(ug_event* position, ug_event* event);
    void Unlink(ug_event* event);

private:
    ug_event* head_ = nullptr;
    ug_event* tail_ = nullptr;
};
