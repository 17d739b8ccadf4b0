// The error that ends graph construction: a feedback path, or note sources
// nested in containers.
#pragma once

#include <cstdint>
#include <exception>
#include <string>
#include <utility>

class ug_base;

enum ws_exception_code : int32_t {
    WSE_FEEDBACK = 1,
    WSE_NESTED_NOTE_SOURCES = 2,
};

class WsException : public std::exception {
public:
    WsException(int32_t error_code, ug_base* first_ug, ug_base* second_ug, std::string text = {})
        : code(error_code), first(first_ug), second(second_ug), message_(std::move(text)) {}

    // The text shown to the user, once construction has worked it out.
    const char* what() const noexcept override { return message_.c_str(); }

    int32_t code;
    // Valid only while the graph they belong to exists.
    ug_base* first;
    ug_base* second;

private:
    std::string message_;
};
