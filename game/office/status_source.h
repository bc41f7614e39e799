#pragma once
#include <string>

// What a status indicator (a patience bar, a bubble) reads of the object it
// watches: clients, workers and the phone offer it.
class StatusSource {
public:
    virtual ~StatusSource() = default;
    virtual bool IsShown() = 0;
    virtual bool GetFlag() = 0;
    virtual bool GetFlag2() = 0;
    // False when there is no value to show (value may still be written).
    virtual bool GetValue(float& value) = 0;
    virtual bool GetIconName(bool& lastOrder, std::string& name) = 0;
    virtual bool GetName(std::string& name) = 0;
};
