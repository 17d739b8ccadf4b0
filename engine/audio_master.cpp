#include "engine/audio_master.h"

#include <algorithm>
#include <cmath>

#include "engine/message_stream.h"
#include "engine/ug_base.h"
#include "platform/platform.h"

int CalcBlockSize(int host_block_size) {
    constexpr int kSmallest = 96;
    const int n = host_block_size;
    if (n < kSmallest) return n;
    const int quotient = n / kSmallest;
    int best = kSmallest;
    for (int d = quotient; d >= 1; --d) {
        if (n % d == 0) {
            best = n / d;
            break;
        }
    }
    // A fraction below 96 replaces it when it is large enough.
    const int limit = n / std::max(192 - best, 30);
    for (int d = quotient + 1; d < limit; ++d) {
        if (n % d == 0) {
            best = n / d;
            break;
        }
    }
    return best;
}

WsAudioMaster::WsAudioMaster(audio_master_client* client, int host_block_size, float sample_rate)
    : client_(client),
      block_size_(CalcBlockSize(std::max(host_block_size, 1))),
      sample_rate_(sample_rate),
      silent_block_(block_size_) {
    time_info_.tempo = 120.0;
    if (client_ != nullptr) RegisterTarget(this, client_->MessageHandle());
}

WsAudioMaster::~WsAudioMaster() = default;

void WsAudioMaster::Start(ug_base* top) {
    sample_clock_ = block_start_ = sub_block_end_ = 0;
    current_ = nullptr;
    run_head_ = nullptr;
    work_pending_ = false;
    panel_pending_ = false;
    top->audio_master = this;
    top->Open();
    running_ = true;
}

void WsAudioMaster::DeliverPendingWork() {
    if (!work_pending_.exchange(false)) return;
    if (automation_pending_.exchange(false)) DeliverAutomationQueue();
    if (panel_pending_.exchange(false)) DeliverPanelQueue();
    if (callback_pending_.exchange(false) && client_ != nullptr) client_->OnAudioCallback();
}

void WsAudioMaster::Deliver(lock_free_fifo& queue) {
    DeliverMessages(queue, [this](const queued_message& message) {
        dsp_msg_target* target = FindTarget(message.target);
        if (target == nullptr) return;
        message_stream stream(message.payload);
        target->OnMessage(message.code, &stream);
    });
}

void WsAudioMaster::DeliverPanelQueue() { Deliver(panel_queue_); }
void WsAudioMaster::DeliverAutomationQueue() { Deliver(automation_queue_); }

void WsAudioMaster::OnPanelMessage() {
    if (running_ && AudioFlowing()) {
        panel_pending_ = true;
        work_pending_ = true;
    } else {
        DeliverPanelQueue();
    }
}

void WsAudioMaster::OnAutomationMessage() {
    automation_pending_ = true;
    work_pending_ = true;
}

void ui_to_dsp_que::OnCommit() { master_.OnPanelMessage(); }

void ui_to_dsp_que::Full() {
    master_.SetAudioFlowing(false);
    master_.DeliverPanelQueue();
}

void que_automation_to_dsp::OnCommit() { master_.OnAutomationMessage(); }

void WsAudioMaster::RequestApplicationCallback() {
    callback_pending_ = true;
    work_pending_ = true;
}

void WsAudioMaster::Process(int sample_count) {
    DeliverPendingWork();
    host_call_clock_ = sample_clock_;
    uint32_t next_boundary = block_start_ + static_cast<uint32_t>(block_size_);
    int remaining = sample_count;
    do {
        uint32_t chunk = next_boundary - sample_clock_;
        if (chunk == 0) {
            block_start_ = next_boundary;
            next_boundary += static_cast<uint32_t>(block_size_);
            chunk = static_cast<uint32_t>(block_size_);
        }
        chunk = std::min(chunk, static_cast<uint32_t>(remaining));
        sub_block_end_ = sample_clock_ + chunk;
        RunSubBlock(static_cast<int>(chunk));
        sample_clock_ += chunk;
        remaining -= static_cast<int>(chunk);
    } while (remaining > 0);
}

void WsAudioMaster::RunSubBlock(int chunk) {
    for (ug_base* ug = run_head_; ug != nullptr;) {
        current_ = ug;
        current_removed_ = false;
        ug->DoProcess(chunk);
        ug = current_removed_ ? walk_next_ : ug->run_next;
    }
    current_ = nullptr;
    current_removed_ = false;
}

void WsAudioMaster::InsertToRunList(ug_base* ug) {
    if (ug == current_) current_removed_ = false;  // back on the list during its own call
    ug_base* previous = nullptr;
    ug_base* next = run_head_;
    while (next != nullptr && next->sort_order >= ug->sort_order) {
        previous = next;
        next = next->run_next;
    }
    ug->run_prev = previous;
    ug->run_next = next;
    (previous != nullptr ? previous->run_next : run_head_) = ug;
    if (next != nullptr) next->run_prev = ug;

    // A unit generator whose place in this walk has passed starts at the next sub-block.
    const bool walk_passed = current_ != nullptr && ug->sort_order > current_->sort_order;
    if (current_removed_ && next == walk_next_ && !walk_passed) walk_next_ = ug;
    ug->SetClock(walk_passed ? sub_block_end_ : sample_clock_);
}

void WsAudioMaster::RemoveFromRunList(ug_base* ug) {
    if (ug == current_) {
        current_removed_ = true;
        walk_next_ = ug->run_next;
    } else if (current_removed_ && ug == walk_next_) {
        walk_next_ = ug->run_next;
    }
    (ug->run_prev != nullptr ? ug->run_prev->run_next : run_head_) = ug->run_next;
    if (ug->run_next != nullptr) ug->run_next->run_prev = ug->run_prev;
    ug->run_prev = nullptr;
}

void WsAudioMaster::RegisterTarget(dsp_msg_target* target, int32_t handle) {
    targets_[handle] = target;
    target->SetHandle(handle);
}

void WsAudioMaster::UnregisterTarget(dsp_msg_target* target) {
    auto found = targets_.find(target->Handle());
    if (found != targets_.end() && found->second == target) targets_.erase(found);
}

dsp_msg_target* WsAudioMaster::FindTarget(int32_t handle) const {
    auto found = targets_.find(handle);
    return found != targets_.end() ? found->second : nullptr;
}

void WsAudioMaster::PostNotification(ug_base* ug, int32_t code, int32_t value) {
    if (running_)
        ug->AddEvent(ug->NewEvent(sample_clock_, UET_UI_NOTIFY, code, nullptr, value));
    else
        ug->OnNotify(code, value);
}

void WsAudioMaster::PostPanelNotification(int32_t identity, int32_t code, int32_t value) {
    message_out(panel_queue_, Handle(), MessageCode("noti"))
        .Write32(platform::MilliSeconds())
        .Write32(0)
        .Write32(static_cast<uint32_t>(identity))
        .Write32(static_cast<uint32_t>(code))
        .Write32(static_cast<uint32_t>(value))
        .Send();
}

void WsAudioMaster::OnMessage(int32_t code, message_stream* stream) {
    if (code != MessageCode("noti")) return;
    stream->Read32();  // the time it was sent
    stream->Read32();
    const int32_t identity = stream->ReadInt32();
    const int32_t notification = stream->ReadInt32();
    const int32_t value = stream->ReadInt32();
    if (auto* ug = dynamic_cast<ug_base*>(FindTarget(identity))) PostNotification(ug, notification, value);
}

const vst::VstTimeInfo* WsAudioMaster::GetTimeInfo(int32_t wanted_flags) {
    if (client_ == nullptr) return nullptr;
    const vst::VstTimeInfo* host = client_->HostTimeInfo(wanted_flags | vst::kVstPpqPosValid | vst::kVstBarsValid);
    if (host == nullptr) return nullptr;
    time_info_ = *host;

    const uint32_t offset = block_start_ - host_call_clock_;
    const double ticks_per_sample = time_info_.tempo * 24.0 / (sample_rate_ * 60.0);
    const double ticks = time_info_.ppqPos * 24.0 + offset * ticks_per_sample;
    time_info_.samplePos += offset;
    if ((wanted_flags & vst::kVstPpqPosValid) != 0) {
        time_info_.ppqPos = ticks / 24.0;
        if ((wanted_flags & vst::kVstBarsValid) != 0) time_info_.barStartPos = std::floor(time_info_.ppqPos);
        time_info_.samplesToNextClock = static_cast<int32_t>((std::floor(ticks) - ticks) / ticks_per_sample);
        time_info_.flags |= vst::kVstPpqPosValid;
    }
    return &time_info_;
}

void WsAudioMaster::ShowMessage(const std::string& text, int style) {
    message_out(PanelOutQueue(), message_handles::kApplication, MessageCode("mbox"))
        .WriteText(text)
        .Write32(static_cast<uint32_t>(style))
        .Send();
}
