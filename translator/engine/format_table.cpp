#include "format_table.h"

#include <strings.h>

#include <algorithm>

namespace translator {

constexpr FormatRow FormatTable[kFormatCount] = {
    {FMT_UN, "Unknown Analyzer Type", "UN", ".unknown", ".unknown"},
    {FMT_TL, "Trellan (Veltrix)", "TL", ".dat", ".Trellan.dat"},
    {FMT_TD, "tcpdump/libpcap", "TD", ".pcap", ".Tcpdump.pcap"},
    {FMT_OS, "Ostrel (Veltrix)", "OS", ".dat", ".Ostrel.dat"},
    {FMT_XR, "SnifferPro/NetXRay (Network General)", "XR", ".cap", ".Netxray.cap"},
    {FMT_SN, "Sniffer DOS (Network General)", "SN", ".syc", ".Sniffer.syc"},
    {FMT_DM, "Domino (Acterna/WWG)", "DM", ".cap", ".Domino.cap"},
    {FMT_LV, "LinkView PRO (Acterna/WWG)", "LV", ".cap", ".LinkView.cap"},
    {FMT_SO, "Snoop (Sun)", "SO", ".snoop", ".Sun.snoop"},
    {FMT_SH, "Surveyor (Finisar/Shomiti)", "SH", ".cap", ".Surveyor.cap"},
    {FMT_PR, "Protocol Inspector (Fluke)", "PR", ".cap", ".ProtoInspector.cap"},
    {FMT_FB, "FireBerd 500 (Acterna/TTC)", "FB", ".pkt", ".FireBerd.pkt"},
    {FMT_FP, "FireBerd 500 PC (Acterna/TTC)", "FP", ".cap", ".FireBerdPC.cap"},
    {FMT_FD, "FireBerd DNA-323 (Acterna/TTC)", "FD", ".trc", ".FireBerdDNA.trc"},
    {FMT_VN, "Vantor (Veltrix)", "VN", ".data_recording", ".Vantor.dat"},
    {FMT_PL, "Pellora (Veltrix)", "PL", ".cap", ".Pellora.cap"},
    {FMT_QL, "Quillon (Veltrix)", "QL", ".trc", ".Quillon.trc"},
    {FMT_EP, "EtherPeek (WildPackets)", "EP", ".pkt", ".EtherPeek.pkt"},
    {FMT_TP, "TokenPeek (WildPackets)", "TP", ".tpc", ".TokenPeek.tpc"},
    // Spelled as the format name has always been stored; settings files keep it.
    {FMT_WP, "WANPeek (WildPakets)", "WP", ".wpc", ".WANPeek.wpc"},
    {FMT_AP, "AiroPeek (WildPackets)", "AP", ".apc", ".AiroPeek.apc"},
    {FMT_PG, "PacketGrabber (WildPackets)", "PG", ".cap", ".PacketGrabber.cap"},
    {FMT_TX, "HexDump (Ascii)", "TX", ".txt", ".HexDump.txt"},
    {FMT_OB, "Observer (Network Instruments)", "OB", ".bfr", ".Observer.bfr"},
    {FMT_N2, "NetMon (Microsoft, SMS 2.0)", "N2", ".cap", ".NetMon.cap"},
    {FMT_TV, "Tervo (Veltrix)", "TV", ".cap", ".Tervo.cap"},
    {FMT_FL, "Feldane (Veltrix)", "FL", ".rec", ".Feldane.dat"},
    {FMT_NG, "pcapng", "NG", ".pcapng", ".pcapng"},
};

namespace {

// Every id has its row, in order: a missing row would be zero-filled (id 0).
constexpr bool EveryRowInPlace() {
    for (int id = 0; id < kFormatCount; ++id) {
        if (FormatTable[id].id != id || FormatTable[id].name == nullptr) {
            return false;
        }
    }
    return true;
}
static_assert(EveryRowInPlace(), "FormatTable needs one row per FormatId, in enum order");

}  // namespace

namespace {

const char* const kInterfaceNames[] = {
    "Unknown Interface Type",
    "Ethernet",
    "Token Ring",
    "ARCNET",
    "FDDI",
    "WAN",
    "DS3",
    "E3",
    "T1",
    "E1",
    "V Series",
    "E Series",
    "T Series",
    "ATM",
    "ATM OC3",
    "ATM T1",
    "ATM E1",
    "ATM E3",
    "ATM DS1",
    "ATM DS3",
    "ATM 25M",
    "802.11 Wireless",
    "HSSI",
    "DDS",
    "OC12",
    "STM1E",
    "",
};

const char* const kWanNames[] = {
    "Unknown WAN Type", "HDLC",   "SDLC", "X25", "ISDN", "PPP", "LAPB", "LAPD",
    "Frame Relay",      "Raw IP", "",
};

const FormatRow& Row(int id) {
    return FormatTable[id >= 0 && id < kFormatCount ? id : 0];
}

}  // namespace

const char* FormatName(int id) {
    return Row(id).name;
}
const char* FormatCode(int id) {
    return Row(id).code;
}
const char* FormatExtension(int id) {
    return Row(id).extension;
}
const char* FormatSuffix(int id) {
    return Row(id).suffix;
}

FormatId FindFormat(const char* text) {
    if (text == nullptr) {
        return FMT_UN;
    }
    for (int id = 0; id < kFormatCount; ++id) {
        if (strcasecmp(text, FormatTable[id].name) == 0 ||
            strcasecmp(text, FormatTable[id].code) == 0) {
            return static_cast<FormatId>(id);
        }
    }
    return FMT_UN;
}

bool HasFormat(std::span<const FormatId> formats, int formatId) {
    return std::find(formats.begin(), formats.end(), formatId) != formats.end();
}

const char* InterfaceName(int type) {
    return type >= IF_UNKNOWN && type <= IF_NONE ? kInterfaceNames[type] : kInterfaceNames[0];
}

const char* WanName(int type) {
    return type >= WAN_UNKNOWN && type <= WAN_NONE ? kWanNames[type] : kWanNames[0];
}

bool IsAtmInterface(int type) {
    return type >= IF_ATM && type <= IF_ATM_25M;
}

bool IsLanGroupInterface(int type) {
    return type == IF_ETHERNET || type == IF_TOKEN_RING || type == IF_FDDI;
}

bool IsWanFamilyInterface(int type) {
    return (type >= IF_WAN && type <= IF_T_SERIES) || (type >= IF_HSSI && type <= IF_STM1E);
}

int32_t DefaultLineRate(int type, int32_t rate) {
    if (rate != 0) {
        return rate;
    }
    switch (type) {
        case IF_ETHERNET:
            return 10000000;
        case IF_TOKEN_RING:
            return 16000000;
        case IF_802_11:
            return 11000000;
        case IF_FDDI:
            return 100000000;
        default:
            return 0;
    }
}

}  // namespace translator
