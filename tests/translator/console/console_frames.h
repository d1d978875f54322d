#pragma once

#include <vector>

#include "support/pcap_builder.h"

namespace translator {

// The three frames of the small capture the console tests convert.
inline const std::vector<testsupport::PcapRecord> kFrames = {
    {1213853938, 538217, testsupport::RampFrame(64), 0},
    {1213853939, 946263, testsupport::RampFrame(200, 9), 0},
    {1213853940, 1, testsupport::RampFrame(70, 3), 0},
};

}  // namespace translator
