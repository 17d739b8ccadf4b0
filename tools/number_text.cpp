#include "tools/number_text.h"

#include <charconv>
#include <cmath>
#include <stdexcept>
#include <system_error>

namespace tools {

namespace {

template <typename Number>
Number ParseWhole(const std::string& text, const std::string& what) {
    Number value{};
    const char* end = text.data() + text.size();
    auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || stop != end)
        throw std::invalid_argument(what + " \"" + text + "\" is not a number");
    return value;
}

}  // namespace

long long ParseInteger(const std::string& text, const std::string& what, long long lowest,
                       long long highest) {
    long long value = ParseWhole<long long>(text, what);
    if (value < lowest || value > highest)
        throw std::invalid_argument(what + " \"" + text + "\" is out of range (" +
                                    std::to_string(lowest) + " to " + std::to_string(highest) + ")");
    return value;
}

double ParseReal(const std::string& text, const std::string& what) {
    double value = ParseWhole<double>(text, what);
    if (!std::isfinite(value))
        throw std::invalid_argument(what + " \"" + text + "\" is not a finite number");
    return value;
}

}  // namespace tools
