// Inside the platform layer: what each system does with a message when no
// sink has been installed.
#pragma once

#include <string>

namespace platform::detail {

void WriteMessageToStandardError(const std::string& text, int style);
void ShowMessageBySystem(const std::string& text, int style);

}  // namespace platform::detail
