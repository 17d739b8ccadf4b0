// Named parameters that document objects offer over one of their fields.
#pragma once

#include <functional>
#include <string>

#include "engine/plug.h"
#include "project/generic_parameter.h"

class field_parameter : public generic_parameter {
public:
    using getter = std::function<std::string()>;
    using setter = std::function<void(const std::string&)>;

    // A list parameter when `list` is given: its value text is an entry's value.
    field_parameter(std::string name, int32_t data_type, getter get, setter set, getter list = {});

    std::string getName() const override { return name_; }
    std::string getValueText() const override { return get_(); }
    void setValueText(const std::string& text) override { set_(text); }
    int32_t getDataType() const override { return data_type_; }
    std::string getListText() const override { return list_ ? list_() : std::string(); }
    float getNormalised() const override;
    void setNormalised(float value) override;

private:
    std::string name_;
    int32_t data_type_;
    getter get_;
    setter set_;
    getter list_;
};
