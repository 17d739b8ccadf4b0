// Audio to panel: the audio thread writes, the panel thread's message pump
// reads. The audio thread never waits for room: when the panel does not drain
// the ring (no editor, a stalled host), messages are dropped until the next pump.
#pragma once

#include <atomic>
#include <cstdint>

#include "engine/lock_free_fifo.h"
#include "engine/message_stream.h"

class dsp_to_ui_que : public lock_free_fifo {
public:
    static constexpr std::size_t kSize = 10000;

    dsp_to_ui_que() : lock_free_fifo(kSize, when_full::drop) {}

    bool Overflowed() const { return overflowed_.load(std::memory_order_acquire); }
    // How many pumps have finished; a writer that saw a number posted before
    // the pump that follows it has run.
    uint32_t PumpCount() const { return pumps_.load(std::memory_order_acquire); }

    // The panel thread: hands every waiting message to `deliver`, then clears
    // the overflow mark so that writers may post again.
    template <class Deliver>
    void Pump(Deliver&& deliver) {
        DeliverMessages(*this, deliver);
        overflowed_.store(false, std::memory_order_release);
        pumps_.fetch_add(1, std::memory_order_acq_rel);
    }

protected:
    bool Refuses() const override { return Overflowed(); }
    void Full() override { overflowed_.store(true, std::memory_order_release); }

private:
    std::atomic<bool> overflowed_{false};
    std::atomic<uint32_t> pumps_{0};
};
