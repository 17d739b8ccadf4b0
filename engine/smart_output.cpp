#include "engine/smart_output.h"

#include <algorithm>

#include "engine/audio_master.h"
#include "engine/plug.h"
#include "engine/ug_base.h"

void smart_output::Attach(UPlug* plug) {
    plug_ = plug;
    block_ = plug->Block();
}

void smart_output::Set(uint32_t time, float target, int length) {
    if (target == target_ && idle_) return;
    if (kind_ == step || length < 1) length = 1;
    target_ = target;
    StartRamp(target - current_, length);
    idle_ = false;
    if (length > 1) plug_->TransmitStatus(time, ST_RUN);
}

// The smooth curve is current + d (3x² − 2x³) with x = k / n, stepped by its
// differences so that each sample costs three additions.
void smart_output::StartRamp(float distance, int length) {
    samples_left_ = length - 1;
    if (kind_ != smooth) {
        difference1_ = distance / static_cast<float>(length);
        next_ = current_ + difference1_;
        difference2_ = difference3_ = 0.0f;
        return;
    }
    const float n = static_cast<float>(length);
    const float df = distance / (n * n * n);
    const float first_step = df * (3.0f * n - 2.0f);
    next_ = current_ + first_step;
    difference1_ = first_step + 6.0f * df * (n - 2.0f);
    difference2_ = 6.0f * df * (n - 2.0f) - 12.0f * df;
    difference3_ = -12.0f * df;
}

bool smart_output::Process(int start, int count) {
    float* out = block_->Data() + start;
    int written = 0;
    while (!idle_ && written < count) {
        float* sample = out + written;
        *sample = current_ = next_;
        next_ += difference1_;
        difference1_ += difference2_;
        difference2_ += difference3_;
        ++written;
        if (--samples_left_ < 0) Finish(sample, TimeAt(start + written - 1));
    }
    if (!idle_ || fill_countdown_ <= 0 || written == count) return written > 0;
    const int remaining = count - written;
    std::fill_n(out + written, std::min(fill_countdown_, remaining), target_);
    fill_countdown_ -= remaining;
    return true;
}

// The owner may process its block in several calls between events; block
// positions map to sample times through the block start.
uint32_t smart_output::TimeAt(int position) const {
    return plug_->owner->audio_master->BlockStart() + static_cast<uint32_t>(position);
}

void smart_output::Finish(float* last_sample, uint32_t time) {
    *last_sample = current_ = target_;
    idle_ = true;
    fill_countdown_ = plug_->owner->BlockSize();
    plug_->TransmitStatus(time, ST_STATIC);
}

void smart_output::Resume() {
    if (fill_countdown_ > 0) fill_countdown_ = plug_->owner->BlockSize();
}
