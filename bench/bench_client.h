// The application side an engine needs in a benchmark: no host, no messages.
#pragma once

#include <string>

#include "engine/audio_master.h"

class bench_client : public audio_master_client {
public:
    const vst::VstTimeInfo* HostTimeInfo(int32_t) override { return nullptr; }
};
