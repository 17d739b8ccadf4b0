// What `wirestack info` shows of a project archive: its settings, and with
// --tree its whole document.
#pragma once

#include <string>

class project_document;

namespace tools {

std::string ProjectSummaryText(const project_document& document);
// Containers, modules with their titles and type IDs, plugs with their values,
// and wires; modules of types the registry does not know are shown too.
std::string ProjectTreeText(const project_document& document);

}  // namespace tools
