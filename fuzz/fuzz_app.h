#pragma once
#include <string>
#include "game/app/office_app.h"

namespace fuzz {

// The game's application without a window; the errors it would show are the
// input's, and expected.
class FuzzApp : public OfficeApp {
public:
    FuzzApp() { mNoWindow = true; }
    void ShowError(const std::string&, const std::string&) override {}
};

} // namespace fuzz
