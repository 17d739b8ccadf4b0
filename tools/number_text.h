// Reading numbers typed by a person. The whole text must be the number, so that
// "44.1k" or "1,5" is refused rather than read as a prefix.
#pragma once

#include <string>

namespace tools {

// Both throw std::invalid_argument whose message quotes the text and names what
// it was meant to be (e.g. "sample rate").
long long ParseInteger(const std::string& text, const std::string& what, long long lowest,
                       long long highest);
double ParseReal(const std::string& text, const std::string& what);  // finite only

}  // namespace tools
