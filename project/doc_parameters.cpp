#include "project/doc_parameters.h"

#include <cmath>
#include <cstdlib>

#include "project/enum_list.h"

field_parameter::field_parameter(std::string name, int32_t data_type, getter get, setter set, getter list)
    : name_(std::move(name)), data_type_(data_type), get_(std::move(get)), set_(std::move(set)), list_(std::move(list)) {}

float field_parameter::getNormalised() const {
    if (data_type_ != DT_ENUM) return 0.0f;
    const it_enum_list list(getListText());
    if (list.Count() < 2) return 0.0f;
    const int64_t position = list.PositionOfValue(std::atoi(getValueText().c_str()));
    return position < 0 ? 0.0f : static_cast<float>(position) / static_cast<float>(list.Count() - 1);
}

void field_parameter::setNormalised(float value) {
    if (data_type_ != DT_ENUM) return;
    const it_enum_list list(getListText());
    if (list.Count() == 0) return;
    const auto position = static_cast<int64_t>(std::floor((static_cast<double>(list.Count()) - 0.00001) * value));
    if (position >= 0 && position < list.Count()) setValueText(std::to_string(list.ValueAt(position)));
}
