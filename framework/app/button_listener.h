#pragma once
#include <cstdint>

namespace Zephra {

// Receives a button's notifications; every call carries the button's id.
class ButtonListener {
public:
    virtual ~ButtonListener() = default;
    virtual void ButtonPressWithCount(intptr_t id, int clickCount) {
        (void)clickCount;
        ButtonPress(id);
    }
    virtual void ButtonPress(intptr_t id) { (void)id; }
    virtual void ButtonDepress(intptr_t id) { (void)id; }
    virtual void ButtonDownTick(intptr_t id) { (void)id; }
    virtual void ButtonMouseEnter(intptr_t id) { (void)id; }
    virtual void ButtonMouseLeave(intptr_t id) { (void)id; }
    virtual void ButtonMouseMove(intptr_t id, int x, int y) { (void)id; (void)x; (void)y; }
};

} // namespace Zephra
