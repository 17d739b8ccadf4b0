#include "engine/event.h"

const char* GetEventTypeName(int32_t kind) {
    switch (kind) {
        case UET_STAT_CHANGE: return "UET_STAT_CHANGE";
        case UET_SUSPEND: return "UET_SUSPEND";
        case UET_MIDI: return "UET_MIDI";
        case UET_RUN_FUNCTION: return "UET_RUN_FUNCTION";
        case UET_IO_FUNC: return "UET_IO_FUNC";
        case UET_UI_NOTIFY: return "UET_UI_NOTIFY";
        case UET_PROG_CHANGE: return "UET_PROG_CHANGE";
        default: return "UnKnowen";
    }
}

event_pool::event_pool(int initial_records) { Grow(initial_records); }

void event_pool::Grow(int records) {
    auto chunk = std::make_unique<ug_event[]>(static_cast<std::size_t>(records));
    for (int i = 0; i < records; ++i) {
        chunk[i].next = free_head_;
        free_head_ = &chunk[i];
    }
    chunks_.push_back(std::move(chunk));
    capacity_ += records;
}

ug_event* event_pool::Allocate() {
    // Growing allocates; a pool sized for the patch only grows during warm-up.
    if (free_head_ == nullptr) Grow(capacity_ > 0 ? capacity_ : 64);
    ug_event* event = free_head_;
    free_head_ = event->next;
    event->prev = event->next = nullptr;
    ++in_use_;
    return event;
}

void event_pool::Free(ug_event* event) {
    event->extra.reset();
    event->time = 0;
    event->kind = event->parm1 = event->value = 0;
    event->ptr = nullptr;
    event->prev = nullptr;
    event->next = free_head_;
    free_head_ = event;
    --in_use_;
}

void event_list::InsertAfter(ug_event* position, ug_event* event) {
    event->prev = position;
    event->next = position != nullptr ? position->next : head_;
    if (event->next != nullptr)
        event->next->prev = event;
    else
        tail_ = event;
    if (position != nullptr)
        position->next = event;
    else
        head_ = event;
}

void event_list::Unlink(ug_event* event) {
    (event->prev != nullptr ? event->prev->next : head_) = event->next;
    (event->next != nullptr ? event->next->prev : tail_) = event->prev;
    event->prev = event->next = nullptr;
}
