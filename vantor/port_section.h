// A port section: the counted port name, 0xFFFFFFFF, the configuration text
// with its length, and the binary port block with its channel descriptors.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vantor {

// The section of port 0, 1 or 2 of an ATM (kind 7) or MAC (kind 8) file.
std::vector<uint8_t> BuildPortSection(int kind, int port, const std::string& configText);

}  // namespace vantor
