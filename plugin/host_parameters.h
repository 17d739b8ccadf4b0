// The host parameter table: the top container's patch parameters
// (`param_info_new`) and the controls that follow its programs (`param_info`),
// inputs before outputs, then by name.
#pragma once

#include <atomic>
#include <memory>
#include <vector>

#include "plugin/vst_parameter.h"
#include "project/notifier.h"
#include "project/patch_manager.h"
#include "project/patch_values.h"

class CContainer;
class CControl;
class WsVst;

// What both kinds share: their place in the host's table and the host's
// automation callback, sent only when the value moved since the last one.
class host_parameter : public vst_parameter {
public:
    void attachToPlugin(WsVst* plugin, int index);
    float getNormalised() const override { return normalised_.load(std::memory_order_relaxed); }

protected:
    void Track(float normalised) { normalised_.store(normalised, std::memory_order_relaxed); }
    void AutomateIfMoved(float normalised);

private:
    WsVst* plugin_ = nullptr;
    int index_ = -1;
    float last_sent_ = -1.0f;
    // The value the host reads back, from any thread.
    std::atomic<float> normalised_{0.0f};
};

class param_info_new : public host_parameter, public patch_parameter_listener {
public:
    param_info_new(CPatchManager& manager, const patch_parameter_record& parameter);
    ~param_info_new() override;

    void setNormalised(float value) override;
    void postNormalised(float value, WsAudioMaster* audio_master) override;
    std::string getName() const override;
    std::string getLabel() const override { return {}; }
    std::string getDisplay() const override;
    bool isAutomatable() const override { return true; }
    bool isOutput() const override { return false; }

    void OnPatchValueChanged(const patch_parameter_record& parameter, value_source source) override;

private:
    const patch_parameter_record* Parameter() const;

    CPatchManager& manager_;
    int32_t id_;
    int32_t message_handle_;
    patch_metadata metadata_;
};

class param_info : public host_parameter, public doc_observer {
public:
    explicit param_info(CControl& control);
    ~param_info() override;

    void setNormalised(float value) override;
    void postNormalised(float value, WsAudioMaster* audio_master) override;
    std::string getName() const override;
    std::string getLabel() const override;
    std::string getDisplay() const override;
    bool isAutomatable() const override;
    bool isOutput() const override;

    void OnDocNotify(int code, CObject* subject, CObject* about) override;

private:
    CControl& control_;
    bool setting_from_host_ = false;
};

// The table for a top container, sorted and attached to the plug-in.
std::vector<std::unique_ptr<vst_parameter>> BuildHostParameters(const CContainer& top, WsVst& plugin);
