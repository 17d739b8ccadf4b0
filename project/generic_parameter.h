// The face a value offers to the host parameter table and to panel controls.
#pragma once

#include <cstdint>
#include <string>

class generic_parameter {
public:
    virtual ~generic_parameter() = default;
    virtual std::string getName() const = 0;
    virtual std::string getValueText() const = 0;
    virtual void setValueText(const std::string& text) = 0;
    virtual int32_t getDataType() const = 0;
    virtual std::string getListText() const { return {}; }
    virtual std::string getUnits() const { return {}; }
    virtual std::string getFileType() const { return {}; }
    virtual std::string getHint() const { return {}; }
    virtual float getNormalised() const = 0;
    virtual void setNormalised(float value) = 0;
    virtual bool isAutomatable() const { return false; }
    virtual bool isOutput() const { return false; }
};
