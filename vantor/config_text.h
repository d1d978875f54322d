// The configuration text stored in every port section: "pbv." key lines that
// describe the tester's port, its time base and its protocol stack.
#pragma once

#include <string>

namespace vantor {

// The text for an ATM (kind 7) or MAC (kind 8) capture starting at captureStart.
std::string BuildConfigText(int kind, double captureStart);

}  // namespace vantor
