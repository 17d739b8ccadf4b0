// The two ways `wirestack info` shows a plug-in: JSON for programs, text for people.
#pragma once

#include <string>

#include "tools/plugin_info.h"

namespace tools {

std::string InfoJson(const PluginInfo& info);
std::string InfoText(const PluginInfo& info);

}  // namespace tools
