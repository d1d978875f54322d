// The bytes every writer produces for the bundled sample, pinned so that
// speed work cannot change an output unnoticed.
#include <gtest/gtest.h>

#include <cstdio>

#include "translator/conversion.h"

namespace translator {
namespace {

uint64_t Fnv1a(const std::vector<uint8_t>& bytes) {
    uint64_t hash = 0xCBF29CE484222325ull;
    for (uint8_t b : bytes) {
        hash = (hash ^ b) * 0x100000001B3ull;
    }
    return hash;
}

struct Golden {
    const char* code;
    bool nanoseconds;
    bool modified;
    uint64_t hash;
    // With pcapfcs: the sample's frames taken as carrying their FCS.
    uint64_t hashWithFcs;
};

TEST(GoldenOutput, SampleConvertsToTheSameBytes) {
    const Golden cases[] = {
        {"TD", false, false, 0x31ff029a4b674201ull, 0x31ff029a4b674201ull},
        {"TD", true, false, 0x523c3ede32595d1dull, 0x523c3ede32595d1dull},
        {"TD", false, true, 0x7029d0ea34df9a53ull, 0x7029d0ea34df9a53ull},
        {"SO", false, false, 0x53dc3ba69e541fa1ull, 0x015bc41c88975df1ull},
        {"SH", false, false, 0x963455405bd685a7ull, 0xf6b39569d2f855a2ull},
        {"N2", false, false, 0xcf2f04e78b154f21ull, 0x3b14517af04251c4ull},
        {"TX", false, false, 0x9c86d6d4a4419d0full, 0x46c34b7183e5dd9cull},
    };
    for (const Golden& g : cases) {
        for (bool pcapfcs : {false, true}) {
            Conversion c;
            c.options.pcapnanoseconds = g.nanoseconds;
            c.options.pcapmodified = g.modified;
            c.options.pcapfcs = pcapfcs;
            const std::string source =
                std::string(TRANSLATOR_SOURCE_DIR) + "/samples/office-lan.pcap";
            ASSERT_TRUE(c.Convert(source, FindFormat(g.code))) << g.code;
            const uint64_t hash = Fnv1a(c.Output());
            char hex[32];
            snprintf(hex, sizeof hex, "0x%016llx", static_cast<unsigned long long>(hash));
            EXPECT_EQ(hash, pcapfcs ? g.hashWithFcs : g.hash)
                << g.code << " " << pcapfcs << " " << hex;
        }
    }
}

}  // namespace
}  // namespace translator
