#pragma once

#include <cstdint>
#include <span>

namespace translator {

// Row index into FormatTable; every capture format is known by it.
enum FormatId : int32_t {
    FMT_UN = 0,
    FMT_TL,
    FMT_TD,
    FMT_OS,
    FMT_XR,
    FMT_SN,
    FMT_DM,
    FMT_LV,
    FMT_SO,
    FMT_SH,
    FMT_PR,
    FMT_FB,
    FMT_FP,
    FMT_FD,
    FMT_VN,
    FMT_PL,
    FMT_QL,
    FMT_EP,
    FMT_TP,
    FMT_WP,
    FMT_AP,
    FMT_PG,
    FMT_TX,
    FMT_OB,
    FMT_N2,
    FMT_TV,
    FMT_FL,
    FMT_NG,
    // Not a format: the number of rows, so new formats go above it.
    FMT_COUNT,
};

constexpr int kFormatCount = FMT_COUNT;

// One row of FormatTable; id is the row's own index, checked when compiling.
struct FormatRow {
    FormatId id;
    const char* name;
    const char* code;
    const char* extension;
    const char* suffix;
};

extern const FormatRow FormatTable[kFormatCount];

enum InterfaceType : int32_t {
    IF_UNKNOWN = 0,
    IF_ETHERNET,
    IF_TOKEN_RING,
    IF_ARCNET,
    IF_FDDI,
    IF_WAN,
    IF_DS3,
    IF_E3,
    IF_T1,
    IF_E1,
    IF_V_SERIES,
    IF_E_SERIES,
    IF_T_SERIES,
    IF_ATM,
    IF_ATM_OC3,
    IF_ATM_T1,
    IF_ATM_E1,
    IF_ATM_E3,
    IF_ATM_DS1,
    IF_ATM_DS3,
    IF_ATM_25M,
    IF_802_11,
    IF_HSSI,
    IF_DDS,
    IF_OC12,
    IF_STM1E,
    IF_NONE,
};

enum WanType : int32_t {
    WAN_UNKNOWN = 0,
    WAN_HDLC,
    WAN_SDLC,
    WAN_X25,
    WAN_ISDN,
    WAN_PPP,
    WAN_LAPB,
    WAN_LAPD,
    WAN_FRAME_RELAY,
    WAN_RAW_IP,
    WAN_NONE,
};

const char* FormatName(int id);
const char* FormatCode(int id);
const char* FormatExtension(int id);
const char* FormatSuffix(int id);
// Row whose name or code matches text case-insensitively; 0 when none does.
FormatId FindFormat(const char* text);
// Whether formatId is one of formats (a module's declared list).
bool HasFormat(std::span<const FormatId> formats, int formatId);

const char* InterfaceName(int type);
const char* WanName(int type);

bool IsAtmInterface(int type);
bool IsLanGroupInterface(int type);
bool IsWanFamilyInterface(int type);

// The rate when given, else the usual rate of the interface (0 when it has none).
int32_t DefaultLineRate(int type, int32_t rate);

}  // namespace translator
