// Runs the audio graph: the sample clock and block grid, the run list of awake
// unit generators in sort order, the message targets and the host's transport.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <string>

#include "engine/event.h"
#include "engine/lock_free_fifo.h"
#include "engine/lookup_tables.h"
#include "engine/msg_target.h"
#include "engine/panel_queue.h"
#include "engine/sample_block.h"
#include "project/message_handle.h"
#include "platform/vst2.h"

class ug_base;
class ug_container;
class WsAudioMaster;

// Panel to audio: delivered at the next host call while audio flows, else at
// once on the writer's thread.
class ui_to_dsp_que : public lock_free_fifo {
public:
    explicit ui_to_dsp_que(WsAudioMaster& master) : lock_free_fifo(4096, when_full::wait), master_(master) {}

protected:
    void OnCommit() override;
    void Full() override;

private:
    WsAudioMaster& master_;
};

// Host automation to audio: always delivered at the start of a host call.
class que_automation_to_dsp : public lock_free_fifo {
public:
    explicit que_automation_to_dsp(WsAudioMaster& master) : lock_free_fifo(2048, when_full::drop), master_(master) {}

protected:
    void OnCommit() override;

private:
    WsAudioMaster& master_;
};

// What the audio master needs from the application that owns it.
class audio_master_client {
public:
    virtual ~audio_master_client() = default;
    // The host's transport with the wanted flags, or null when the host has none.
    virtual const vst::VstTimeInfo* HostTimeInfo(int32_t wanted_flags) = 0;
    // Called at the start of a host call when the application asked for it.
    virtual void OnAudioCallback() {}
    virtual int32_t MessageHandle() const { return message_handles::kApplication; }

    // Tables shared by every module of the application's engines.
    lookup_table_registry lookup_tables;
    // Messages from the audio side to the panel side, outliving each engine.
    dsp_to_ui_que to_panel;
};

// Engine block size for a host block size: the smallest exact fraction of the
// host's block that is at least 96 samples, or a large enough smaller one.
int CalcBlockSize(int host_block_size);

class WsAudioMaster : public dsp_msg_target {
public:
    WsAudioMaster(audio_master_client* client, int host_block_size, float sample_rate);
    ~WsAudioMaster() override;
    WsAudioMaster(const WsAudioMaster&) = delete;
    WsAudioMaster& operator=(const WsAudioMaster&) = delete;

    int BlockSize() const { return block_size_; }
    float SampleRate() const { return sample_rate_; }
    uint32_t SampleClock() const { return sample_clock_; }
    uint32_t BlockStart() const { return block_start_; }
    uint32_t SubBlockEnd() const { return sub_block_end_; }
    bool IsRunning() const { return running_; }
    ug_base* CurrentUg() const { return current_; }
    ug_base* RunListHead() const { return run_head_; }
    audio_master_client* Client() const { return client_; }

    void Start(ug_base* top);
    void Stop() { running_ = false; }
    void Process(int sample_count);

    void InsertToRunList(ug_base* ug);
    void RemoveFromRunList(ug_base* ug);

    void RegisterTarget(dsp_msg_target* target, int32_t handle);
    void UnregisterTarget(dsp_msg_target* target);
    dsp_msg_target* FindTarget(int32_t handle) const;
    void OnMessage(int32_t code, message_stream* stream) override;

    // Tells a unit generator something at the current sample (on the audio
    // thread while running), or at once while the engine is not running.
    void PostNotification(ug_base* ug, int32_t code, int32_t value);
    // The same from the panel thread: travels as "noti" through the panel
    // queue to the unit generator registered under that identity.
    void PostPanelNotification(int32_t identity, int32_t code, int32_t value);

    ui_to_dsp_que& PanelQueue() { return panel_queue_; }
    que_automation_to_dsp& AutomationQueue() { return automation_queue_; }
    void DeliverPanelQueue();
    void DeliverAutomationQueue();
    // Called by the queues when a message was committed.
    void OnPanelMessage();
    void OnAutomationMessage();
    // The host's transport corrected to the current block, or null.
    const vst::VstTimeInfo* GetTimeInfo(int32_t wanted_flags);
    // Asks the panel side to show a message box ("mbox" to the application).
    void ShowMessage(const std::string& text, int style);
    // Where messages for the panel side go; a master without an application
    // writes into a ring of its own that nobody reads.
    dsp_to_ui_que& PanelOutQueue() { return client_ != nullptr ? client_->to_panel : unread_panel_queue_; }

    // Set by the input module's heartbeat while the host keeps calling.
    void SetAudioFlowing(bool flowing) { audio_flowing_.store(flowing); }
    bool AudioFlowing() const { return audio_flowing_.load(); }
    void RequestApplicationCallback();

    event_pool& Events() { return events_; }
    lookup_table_registry& LookupTables() { return client_->lookup_tables; }
    // A block of silence for audio inputs that have no connection.
    USampBlock& SilentBlock() { return silent_block_; }

private:
    void DeliverPendingWork();
    void Deliver(lock_free_fifo& queue);
    void RunSubBlock(int chunk);

    audio_master_client* client_;
    int block_size_;
    float sample_rate_;

    uint32_t sample_clock_ = 0;
    uint32_t block_start_ = 0;
    uint32_t sub_block_end_ = 0;
    uint32_t host_call_clock_ = 0;

    std::atomic<bool> work_pending_{false};
    std::atomic<bool> panel_pending_{false};
    std::atomic<bool> automation_pending_{false};
    std::atomic<bool> callback_pending_{false};
    std::atomic<bool> audio_flowing_{false};
    std::atomic<bool> running_{false};

    ug_base* run_head_ = nullptr;
    ug_base* current_ = nullptr;
    // Where the walk goes on when the unit generator it is running leaves the list.
    ug_base* walk_next_ = nullptr;
    bool current_removed_ = false;

    vst::VstTimeInfo time_info_{};
    std::map<int32_t, dsp_msg_target*> targets_;
    event_pool events_;
    USampBlock silent_block_;
    ui_to_dsp_que panel_queue_{*this};
    que_automation_to_dsp automation_queue_{*this};
    dsp_to_ui_que unread_panel_queue_;
};
