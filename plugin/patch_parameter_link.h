// Keeps the audio-side twins of a patch manager's parameters in step with the
// panel side: panel and host changes go to the audio side as "ppc", and what
// the audio side changes (controllers, automation) comes back the same way.
#pragma once

#include <memory>
#include <vector>

#include "engine/msg_target.h"
#include "project/patch_manager.h"

class CWirestackAppVST;

class patch_parameter_link : public patch_parameter_listener {
public:
    patch_parameter_link(CWirestackAppVST& app, CPatchManager& manager);
    ~patch_parameter_link() override;
    patch_parameter_link(const patch_parameter_link&) = delete;
    patch_parameter_link& operator=(const patch_parameter_link&) = delete;

    void OnPatchValueChanged(const patch_parameter_record& parameter, value_source source) override;

private:
    // Answers the audio side's messages for one parameter.
    class parameter_target : public ui_msg_target {
    public:
        parameter_target(CPatchManager& manager, int32_t id) : manager_(manager), id_(id) {}
        void OnPanelMessage(int32_t code, message_stream& stream) override;

    private:
        CPatchManager& manager_;
        int32_t id_;
    };

    CWirestackAppVST& app_;
    CPatchManager& manager_;
    std::vector<std::pair<int32_t, std::unique_ptr<parameter_target>>> targets_;
};
