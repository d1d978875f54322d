#include "port_section.h"

#include <span>

#include "capture_format.h"
#include "common/byte_order.h"

namespace vantor {

using namespace byte_order;

namespace {

struct ChannelDescriptor {
    uint32_t id;
    const char* name;
    uint32_t flags;
};

constexpr const char* kAtmPortName = "CPP:4 LIF:5";
constexpr const char* kMacPortNames[kPortCount] = {"EFP:3  Port 1", "EFP:3  NOT USED",
                                                   "EFP:3  Port 1 Trace"};

constexpr ChannelDescriptor kAtmChannels[] = {
    {0x0FA0, "1\n ", 1}, {0x0FA1, "2\n ", 1}, {0x0FA2, "3\n ", 1}, {0x0FA3, "Other\nVCs", 0x80}};
constexpr uint32_t kMacChannelIds[kPortCount] = {0x0BB8, 0x0BB9, 0x0BBA};

void AppendZeroWords(std::vector<uint8_t>& out, int count) {
    out.resize(out.size() + 4 * static_cast<size_t>(count));
}

void AppendDescriptorStart(std::vector<uint8_t>& out, uint32_t id, const char* name) {
    AppendBE32(out, id);
    AppendCountedString(out, name);
    AppendCountedString(out, "Tx");
    AppendCountedString(out, "Rx");
    AppendBE32(out, 8);
}

void AppendAtmDescriptor(std::vector<uint8_t>& out, const ChannelDescriptor& channel) {
    AppendDescriptorStart(out, channel.id, channel.name);
    AppendBE32(out, 2);
    AppendBE32(out, channel.flags);
    AppendZeroWords(out, 7);
    AppendBE32(out, 1);
}

void AppendMacDescriptor(std::vector<uint8_t>& out, int port) {
    AppendDescriptorStart(out, kMacChannelIds[port], kMacPortNames[port]);
    AppendZeroWords(out, 3);
    AppendBE32(out, 0x10000000);
    AppendZeroWords(out, 5);
    AppendBE32(out, 1);
}

void AppendPortBlock(std::vector<uint8_t>& out, int kind, int port) {
    AppendBE32(out, 3);
    AppendBE32(out, static_cast<uint32_t>(port));
    if (kind == kKindAtm) {
        // The trace port and the second port list every channel; the third only the first.
        const std::span<const ChannelDescriptor> channels =
            port == 2 ? std::span<const ChannelDescriptor>(kAtmChannels, 1) : kAtmChannels;
        AppendBE32(out, static_cast<uint32_t>(channels.size()));
        for (const ChannelDescriptor& channel : channels) {
            AppendAtmDescriptor(out, channel);
        }
    } else {
        AppendBE32(out, 1);
        AppendMacDescriptor(out, port);
    }
}

}  // namespace

std::vector<uint8_t> BuildPortSection(int kind, int port, const std::string& configText) {
    std::vector<uint8_t> out;
    AppendCountedString(out, kind == kKindAtm ? kAtmPortName : kMacPortNames[port]);
    AppendBE32(out, 0xFFFFFFFF);
    // The stored length leaves out the text's final newline.
    AppendBE32(out, static_cast<uint32_t>(configText.size() - 1));
    out.insert(out.end(), configText.begin(), configText.end());
    AppendPortBlock(out, kind, port);
    return out;
}

}  // namespace vantor
