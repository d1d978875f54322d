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
};

TEST(GoldenOutput, SampleConvertsToTheSameBytes) {
    const Golden cases[] = {
        {"TD", false, false, 0xee9284bfe2e35993ull}, {"TD", true, false, 0xfa57e687b633537bull},
        {"TD", false, true, 0xabda6d6c8ae62e99ull},  {"SO", false, false, 0x53dc3ba69e541fa1ull},
        {"SH", false, false, 0x963455405bd685a7ull}, {"N2", false, false, 0xcf2f04e78b154f21ull},
        {"TX", false, false, 0x9c86d6d4a4419d0full},
    };
    for (const Golden& g : cases) {
        Conversion c;
        c.options.pcapnanoseconds = g.nanoseconds;
        c.options.pcapmodified = g.modified;
        const std::string source = std::string(TRANSLATOR_SOURCE_DIR) + "/samples/office-lan.pcap";
        ASSERT_TRUE(c.Convert(source, FindFormat(g.code))) << g.code;
        char hex[32];
        snprintf(hex, sizeof hex, "0x%016llx", static_cast<unsigned long long>(Fnv1a(c.Output())));
        EXPECT_EQ(Fnv1a(c.Output()), g.hash) << g.code << " " << hex;
    }
}

}  // namespace
}  // namespace translator
