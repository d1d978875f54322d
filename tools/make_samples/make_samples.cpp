// Writes the bundled sample captures into the folder named on the command
// line. The frames are synthetic: made-up hosts talking plausible protocols.
#include <filesystem>
#include <string>

#include "support/files.h"
#include "support/pcap_builder.h"

using namespace testsupport;

namespace {

constexpr uint32_t kStart = 1767225600;  // 2026-01-01 00:00:00 UTC

// An Ethernet II frame carrying IPv4/UDP, padded to the minimum and without
// its FCS, as capture tools store frames they receive.
std::vector<uint8_t> UdpFrame(uint8_t host, uint16_t port, size_t payload) {
    Bytes f;
    f.u8(0x02).u8(0x00).u8(0x5e).u8(0x10).u8(0x00).u8(host);  // destination
    f.u8(0x02).u8(0x00).u8(0x5e).u8(0x20).u8(0x00).u8(0x01);  // source
    f.be16(0x0800);
    const uint16_t ipLength = static_cast<uint16_t>(20 + 8 + payload);
    f.u8(0x45).u8(0).be16(ipLength).be16(host).be16(0x4000).u8(64).u8(17).be16(0);
    f.u8(192).u8(0).u8(2).u8(1).u8(192).u8(0).u8(2).u8(host);
    f.be16(5000).be16(port).be16(static_cast<uint16_t>(8 + payload)).be16(0);
    f.ramp(payload, host);
    std::vector<uint8_t> bytes = f.data();
    while (bytes.size() < 60) {
        bytes.push_back(0);
    }
    return bytes;
}

// A PPP frame (address, control, protocol) carrying IPv4/UDP.
std::vector<uint8_t> PppFrame(uint8_t n) {
    Bytes f;
    f.u8(0xff).u8(0x03).be16(0x0021);
    f.u8(0x45).u8(0).be16(40).be16(n).be16(0).u8(64).u8(17).be16(0);
    f.u8(198).u8(51).u8(100).u8(1).u8(198).u8(51).u8(100).u8(n);
    f.be16(5000).be16(9).be16(20).be16(0);
    f.ramp(12, n);
    return f.data();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        return 2;
    }
    const std::string dir = argv[1];
    std::filesystem::create_directories(dir);

    std::vector<PcapRecord> ethernet;
    for (uint32_t i = 0; i < 24; ++i) {
        const size_t payload = 18 + (i * 97) % 1400;
        ethernet.push_back(
            {kStart + i / 4, (i % 4) * 250000 + i, UdpFrame(uint8_t(10 + i % 5), 9, payload), 0});
    }
    WriteFile(dir + "/office-lan.pcap", PcapFile(0xA1B2C3D4, false, 1, ethernet).data());

    std::vector<PcapRecord> ppp;
    for (uint32_t i = 0; i < 8; ++i) {
        ppp.push_back({kStart + 60 + i, i * 1000, PppFrame(uint8_t(i + 1)), 0});
    }
    WriteFile(dir + "/dialup-ppp.pcap", PcapFile(0xD4C3B2A1, true, 9, ppp).data());
    return 0;
}
